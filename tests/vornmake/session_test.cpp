// The session and its file: header, index, window and mode rules, closing,
// discarding, replacing, flushing and threads.
#include <gtest/gtest.h>
#include <string.h>
#include <sys/stat.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "clips.h"
#include "platform/plat.h"
#include "test_util.h"
#include "vornmake/vornmake.h"

namespace {

uint32_t Le32(const std::vector<uint8_t>& f, size_t at) {
  return f[at] | f[at + 1] << 8 | f[at + 2] << 16 | (uint32_t)f[at + 3] << 24;
}

std::vector<std::string> g_messages;
int g_cancelAt = -1;

int Callback(int32_t code, VornMakeHandle* h, const char* text) {
  if (code == 2) g_messages.push_back(text);
  if (code == 1 && h && !strcmp(text, "Compressing") && g_cancelAt >= 0 && h->progressFrame >= g_cancelAt)
    return 1;
  return 0;
}

struct Session : ::testing::Test {
  std::string dir = TestTempDir();
  std::vector<TestPicture> clip = TestClip(40, 24, 6, 1, 1, 3);
  void SetUp() override {
    g_messages.clear();
    g_cancelAt = -1;
  }
  VornMakeHandle* Make(const std::string& name, uint32_t frames, uint32_t mode = 0, uint32_t window = 3,
                       uint32_t num = 25, uint32_t den = 1, uint32_t key = 0) {
    return VornMake(name.c_str(), 40 * 4, 40, 24, frames, key, mode, num, den, 0, nullptr, window, Callback);
  }
  void Put(VornMakeHandle* h, uint32_t n, uint32_t maximum = 4000) {
    for (uint32_t i = 0; i < n; i++) VornMakePutVideo(h, 2000, maximum, 0, 0, 0, clip[i % clip.size()].bgra.data());
  }
};

TEST_F(Session, WindowAndRateAreNormalised) {
  const struct {
    uint32_t window, expect;
  } windows[] = {{0, 2}, {1, 2}, {2, 2}, {17, 17}, {64, 64}, {100, 64}};
  for (const auto& w : windows) {
    VornMakeHandle* h = Make(dir + "/w.vrn", 2, 0, w.window);
    ASSERT_TRUE(h);
    EXPECT_EQ(h->windowSize, w.expect) << w.window;
    VornMakeClose(h, 1);
  }
  const struct {
    uint32_t num, den, wantNum, wantDen;
  } rates[] = {{60, 2, 30, 1}, {25, 1, 25, 1}, {30000, 1001, 30000, 1001}, {48, 36, 4, 3}};
  for (const auto& r : rates) {
    VornMakeHandle* h = Make(dir + "/r.vrn", 1, 0, 2, r.num, r.den);
    ASSERT_TRUE(h);
    Put(h, 1);
    VornMakeClose(h, 0);
    auto f = TestReadFile(dir + "/r.vrn");
    ASSERT_GE(f.size(), 44u);
    EXPECT_EQ(Le32(f, 28), r.wantNum);
    EXPECT_EQ(Le32(f, 32), r.wantDen);
  }
}

TEST_F(Session, ModesSetSizeFlagsAndPlanes) {
  const struct {
    uint32_t mode, width, height, flags;
  } modes[] = {
      {0, 40, 24, 0},
      {2, 40, 12, 0x20000000},
      {3, 20, 24, 0x30000000},
      {1004, 20, 12, 0x40100000},
      {100, 40, 24, 0x20000},
      {1100, 40, 24, 0x120000},
      {7, 40, 24, 0},  // undefined scale modes count as none
  };
  for (const auto& m : modes) {
    const std::string path = dir + "/m.vrn";
    VornMakeHandle* h = Make(path, 3, m.mode);
    ASSERT_TRUE(h);
    Put(h, 3);
    VornMakeClose(h, 0);
    TestDecoded d;
    ASSERT_TRUE(TestDecodeFile(path, &d)) << m.mode;
    EXPECT_EQ(d.width, m.width) << m.mode;
    EXPECT_EQ(d.height, m.height) << m.mode;
    EXPECT_EQ(d.flags, m.flags) << m.mode;
    EXPECT_EQ(d.frames, 3u);
  }
}

TEST_F(Session, ExtraFramesAreIgnoredAndTheFirstIsKey) {
  const std::string path = dir + "/x.vrn";
  VornMakeHandle* h = Make(path, 3, 0, 2, 25, 1, 2);
  Put(h, 6);
  VornMakeClose(h, 0);
  TestDecoded d;
  ASSERT_TRUE(TestDecodeFile(path, &d));
  EXPECT_EQ(d.frames, 3u);
  EXPECT_EQ(d.index[0] & 1, 1u);  // no key request, still a key frame
  EXPECT_EQ(d.index[1] & 1, 0u);
  EXPECT_EQ(d.index[2] & 1, 1u);  // interval 2
  EXPECT_EQ(d.index[3], TestReadFile(path).size());
}

TEST_F(Session, CloseBeforeAllFramesKeepsWhatWasGiven) {
  const std::string path = dir + "/c.vrn";
  VornMakeHandle* h = Make(path, 6, 0, 4);
  Put(h, 4);  // all still in the window
  EXPECT_GT(VornMakeClose(h, 0), 0u);
  auto f = TestReadFile(path);
  ASSERT_GE(f.size(), 44u + 7 * 4);
  EXPECT_EQ(Le32(f, 8), 4u);
  EXPECT_EQ(Le32(f, 16), 6u);
  EXPECT_EQ(Le32(f, 4), f.size() - 8);
  EXPECT_EQ(Le32(f, 44 + 4 * 4), f.size());
  EXPECT_EQ(Le32(f, 44 + 5 * 4), 0u);
  EXPECT_EQ(Le32(f, 44 + 6 * 4), 0u);
  TestDecoded d;
  EXPECT_TRUE(TestDecodeFile(path, &d));
  EXPECT_EQ(d.planes.size(), 4u);
}

TEST_F(Session, DiscardLeavesAnExistingFileAlone) {
  const std::string path = dir + "/d.vrn";
  ASSERT_TRUE(TestWriteFile(path, "old", 3));
  VornMakeHandle* h = Make(path, 4);
  Put(h, 4);
  VornMakeClose(h, 1);
  EXPECT_EQ(TestReadFile(path), std::vector<uint8_t>({'o', 'l', 'd'}));
  EXPECT_FALSE(PlatFileExists((path + ".tmp").c_str()));
}

TEST_F(Session, ReadOnlyOutputKeepsTheTemporaryName) {
  const std::string path = dir + "/ro.vrn";
  ASSERT_TRUE(TestWriteFile(path, "old", 3));
  chmod(path.c_str(), 0444);
  VornMakeHandle* h = Make(path, 2);
  Put(h, 2);
  VornMakeClose(h, 0);
  EXPECT_EQ(TestReadFile(path).size(), 3u);
  TestDecoded d;
  EXPECT_TRUE(TestDecodeFile(path + ".tmp", &d));
  ASSERT_EQ(g_messages.size(), 1u);
  EXPECT_EQ(g_messages[0], "Vorn couldn't overwrite, '" + path + "', so the new Vorn file is called: '" + path +
                               ".tmp'.");
}

TEST_F(Session, ExistingOutputIsReplaced) {
  const std::string path = dir + "/r.vrn";
  ASSERT_TRUE(TestWriteFile(path, "old", 3));
  VornMakeHandle* h = Make(path, 2);
  Put(h, 2);
  VornMakeClose(h, 0);
  TestDecoded d;
  EXPECT_TRUE(TestDecodeFile(path, &d));
  EXPECT_TRUE(g_messages.empty());
}

TEST_F(Session, UncreatableTemporaryFileFails) {
  EXPECT_FALSE(Make(dir + "/missing/dir/out.vrn", 2));
  ASSERT_EQ(g_messages.size(), 1u);
  EXPECT_EQ(g_messages[0].rfind("Couldn't create temporary file.\n\nSome possible reasons", 0), 0u);
}

TEST_F(Session, CancelKeepsTheShortenedFile) {
  const std::string path = dir + "/k.vrn";
  g_cancelAt = 2;
  VornMakeHandle* h = Make(path, 6, 0, 2);
  Put(h, 6);
  VornMakeClose(h, 0);
  TestDecoded d;
  ASSERT_TRUE(TestDecodeFile(path, &d));
  EXPECT_EQ(d.frames, 2u);
  EXPECT_EQ(d.declared, 6u);
}

TEST_F(Session, MaximumOfZeroTakesTheCheapestOptions) {
  const std::string a = dir + "/a.vrn", b = dir + "/b.vrn";
  VornMakeHandle* h = Make(a, 4);
  Put(h, 4, 0);
  VornMakeClose(h, 0);
  h = Make(b, 4);
  Put(h, 4, 8000);
  VornMakeClose(h, 0);
  EXPECT_LT(TestReadFile(a).size() * 2, TestReadFile(b).size());
  TestDecoded d;
  EXPECT_TRUE(TestDecodeFile(a, &d));
}

TEST_F(Session, SetMaxCpusKeepsItsRange) {
  const uint32_t was = VornMakeSetMaxCPUs(0);
  EXPECT_EQ(VornMakeSetMaxCPUs(33), was);
  EXPECT_EQ(VornMakeSetMaxCPUs(5), was);
  EXPECT_EQ(VornMakeSetMaxCPUs(32), 5u);
  EXPECT_EQ(VornMakeSetMaxCPUs(was), 32u);
}

// Any number of threads, and flushes from another thread at any moment,
// give the same file.
TEST_F(Session, ThreadsAndFlushesDoNotChangeTheFile) {
  auto big = TestClip(72, 56, 8, 2, 1, 9);
  auto encode = [&](const std::string& path, uint32_t cpus, bool flushing) {
    const uint32_t was = VornMakeSetMaxCPUs(cpus);
    VornMakeHandle* h =
        VornMake(path.c_str(), 72 * 4, 72, 56, 8, 5, 0, 25, 1, 0, nullptr, 3, Callback);
    std::atomic<bool> stop{false};
    std::atomic<int> flushed{0};
    std::thread t;
    if (flushing)
      t = std::thread([&] {
        while (!stop) {
          flushed += VornMakeFlush(h);
          PlatSleep(1);
        }
      });
    for (auto& p : big) VornMakePutVideo(h, 3000, 6000, 0, 0, 0, p.bgra.data());
    stop = true;
    if (t.joinable()) t.join();
    VornMakeClose(h, 0);
    VornMakeSetMaxCPUs(was);
    if (flushing) {
      EXPECT_GT(flushed.load(), 0);
    }
    return TestReadFile(path);
  };
  auto one = encode(dir + "/1.vrn", 1, false);
  ASSERT_GT(one.size(), 1000u);
  EXPECT_EQ(encode(dir + "/2.vrn", 2, false), one);
  EXPECT_EQ(encode(dir + "/7.vrn", 7, true), one);
}

}  // namespace
