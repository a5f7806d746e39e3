#include <gtest/gtest.h>
#include <limits.h>

#include "korutil/korutil.h"

TEST(Rates, Atofr) {
  struct Case {
    const char* text;
    int num, den, used;
  } cases[] = {
      {"29.97", 2997, 100, 5},     {"30000;1001", 30000, 1001, 10}, {"-40", -40, 1, 3},
      {"12.50 x", 25, 2, 5},       {".5", 1, 2, 2},                 {"2;0", 2, 1, 3},
      {"3;-2", -3, 2, 4},          {"10;", 10, 1, 2},               {"x1", 0, 1, 0},
      {"1.00000000000001", 1, 1, 16},
  };
  for (const Case& c : cases) {
    int32_t n = 7, d = 7;
    const char* end = atofr(c.text, &n, &d);
    EXPECT_EQ(n, c.num) << c.text;
    EXPECT_EQ(d, c.den) << c.text;
    EXPECT_EQ(end - c.text, c.used) << c.text;
  }
  // Numbers too large for 32 bits stay positive fractions.
  int32_t n, d;
  atofr("99999999999999999;3", &n, &d);
  EXPECT_GT(n, 0);
  EXPECT_GT(d, 0);
}

TEST(Rates, GCDNums) {
  struct Case {
    int32_t n, d, rn, rd;
  } cases[] = {{6, -4, 3, -2}, {0, 5, 0, 5}, {5, 0, 5, 0}, {INT_MIN, 2, INT_MIN / 2, 1}, {7, 3, 7, 3}};
  for (const Case& c : cases) {
    int32_t n = c.n, d = c.d;
    GCDNums(&n, &d);
    EXPECT_EQ(n, c.rn);
    EXPECT_EQ(d, c.rd);
  }
}

TEST(Rates, MakeFrameRate) {
  struct Case {
    int32_t in, out;
  } cases[] = {{15, 6666},        {-40, 4000},    {-20000, 20000}, {100000, 5},
               {0, 0},            {1, 100000},    {-1500, 150000}, {-1501, 1501},
               {INT_MIN, INT_MAX}};
  for (const Case& c : cases) EXPECT_EQ(MakeFrameRate(c.in), c.out) << c.in;
}

TEST(Format, CommaNum) {
  struct Case {
    uint32_t v;
    const char* s;
  } cases[] = {{0, "0"}, {999, "999"}, {1000, "1,000"}, {1234567, "1,234,567"},
               {4294967295u, "4,294,967,295"}};
  for (const Case& c : cases) {
    char buf[16];
    EXPECT_STREQ(CommaNum(buf, c.v), c.s);
  }
}

TEST(Format, ElapsedTime) {
  struct Case {
    uint32_t ms;
    const char* s;
  } cases[] = {
      {0, "0 milliseconds"},         {1, "1 millisecond"},
      {5, "5 milliseconds"},         {1000, "1 second"},
      {59999, "59 seconds"},         {61000, "1 minute 1 second"},
      {120000, "2 minutes 0 seconds"}, {3599999, "59 minutes 59 seconds"},
      {3660000, "1 hour 1 minute"},  {7200000, "2 hours 0 minutes"},
      {4294967295u, "1193 hours 2 minutes"},
  };
  for (const Case& c : cases) {
    char buf[40];
    EXPECT_STREQ(GetElapsedTime(buf, c.ms), c.s) << c.ms;
  }
}
