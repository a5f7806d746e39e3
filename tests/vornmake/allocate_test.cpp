// Option list reductions and the greedy allocation with its tie rules.
#include <gtest/gtest.h>

#include <vector>

#include "vornmake/alloc.h"
#include "vornmake/reduce.h"

namespace {

VmkOptions List(std::initializer_list<std::pair<int, int>> costError) {
  VmkOptions o;
  o.count = 0;
  for (auto ce : costError) {
    o.cost[o.count] = ce.first;
    o.error[o.count] = ce.second;
    o.param[o.count] = (uint16_t)o.count;  // remembers the original place
    o.type[o.count] = 0;
    o.count++;
  }
  return o;
}

std::vector<int> Params(const VmkOptions& o) { return std::vector<int>(o.param, o.param + o.count); }

TEST(Reduce, ParetoKeepsTheStaircaseUpToErrorZero) {
  VmkOptions o = List({{50, 10}, {10, 100}, {10, 90}, {30, 90}, {40, 0}, {60, 0}, {20, 50}});
  VmkPareto(&o);
  EXPECT_EQ(Params(o), std::vector<int>({2, 6, 4}));
}

TEST(Reduce, HullDropsPointsAboveItAndKeepsCollinearOnes) {
  // (20,50) lies above the line from (10,60) to (30,20).
  VmkOptions o = List({{0, 100}, {10, 60}, {20, 50}, {30, 20}, {40, 0}});
  VmkHull(&o);
  EXPECT_EQ(Params(o), std::vector<int>({0, 1, 3, 4}));
  // Equal slopes: the nearer point is taken, then the farther.
  VmkOptions c = List({{0, 30}, {20, 10}, {10, 20}, {30, 0}});
  VmkHull(&c);
  EXPECT_EQ(Params(c), std::vector<int>({0, 2, 1, 3}));
}

TEST(Reduce, ThinningKeepsFirstAndLast) {
  VmkOptions o;
  o.count = 100;
  for (int i = 0; i < 100; i++) {
    o.cost[i] = i;
    o.error[i] = 100 - i;
    o.param[i] = (uint16_t)i;
    o.type[i] = 0;
  }
  VmkThin(&o, 32);
  ASSERT_EQ(o.count, 32);
  EXPECT_EQ(o.param[0], 0);
  EXPECT_EQ(o.param[1], 99 / 31);
  EXPECT_EQ(o.param[31], 99);
}

VmkBlock Block(std::initializer_list<std::pair<int, int>> costError) {
  VmkBlock b = {};
  for (auto ce : costError) {
    b.cost[b.count] = ce.first;
    b.error[b.count] = ce.second;
    b.count++;
  }
  return b;
}

TEST(Allocate, SteepestFirstAndTiesInQueueOrder) {
  // Budget of 1 byte = 2048 units. Both lists start free; each step costs
  // 1024. The first and second have equal first slopes: the first queued
  // goes first; after its step its next slope (equal again) waits behind
  // the second's.
  std::vector<VmkBlock> b = {Block({{0, 100}, {1024, 50}, {2048, 0}}), Block({{0, 100}, {1024, 50}, {2048, 0}}),
                             Block({{0, 10}, {1024, 9}})};
  std::vector<VmkBlock*> lists = {&b[0], &b[1], &b[2]};
  std::vector<uint8_t> scratch(VmkAllocateScratch(3));
  VmkAllocate(lists.data(), 3, 1, scratch.data());
  EXPECT_EQ(b[0].chosen, 1);
  EXPECT_EQ(b[1].chosen, 1);
  EXPECT_EQ(b[2].chosen, 0);
}

TEST(Allocate, LastStepMayOverdrawAndZeroBudgetTakesTheCheapest) {
  std::vector<VmkBlock> b = {Block({{100, 100}, {5000, 0}})};
  std::vector<VmkBlock*> lists = {&b[0]};
  std::vector<uint8_t> scratch(VmkAllocateScratch(1));
  VmkAllocate(lists.data(), 1, 1, scratch.data());  // 2048 - 100 left: the step is taken
  EXPECT_EQ(b[0].chosen, 1);
  VmkAllocate(lists.data(), 1, 0, scratch.data());
  EXPECT_EQ(b[0].chosen, 0);
}

}  // namespace
