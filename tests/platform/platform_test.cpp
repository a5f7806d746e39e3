#include <gtest/gtest.h>
#include <stdlib.h>
#include <string.h>

#include <string>

#include "platform/plat.h"
#include "test_util.h"

TEST(PlatFile, ReadWriteSeekAndTimes) {
  std::string dir = TestTempDir();
  std::string a = dir + "/a.bin", b = dir + "/b.bin";
  PlatFile f = PlatFileOpen(a.c_str(), PLAT_FILE_READ | PLAT_FILE_WRITE | PLAT_FILE_CREATE);
  ASSERT_NE(f, PLAT_FILE_INVALID);
  EXPECT_EQ(PlatFileWrite(f, "hello world", 11), 11u);
  EXPECT_EQ(PlatFileSize(f), 11);
  EXPECT_EQ(PlatFileSeek(f, 6, 0), 6);
  char buf[16] = {};
  EXPECT_EQ(PlatFileRead(f, buf, 16), 5u);
  EXPECT_STREQ(buf, "world");
  // Windows file time with only a high part, as the bit-file layer sets it.
  uint64_t t = (uint64_t)0x01D00000 << 32;
  EXPECT_TRUE(PlatFileSetTime(f, t));
  EXPECT_EQ(PlatFileGetTime(f) >> 32, t >> 32);
  PlatFileClose(f);

  EXPECT_EQ(PlatFileRename(a.c_str(), b.c_str()), 0);
  EXPECT_EQ(PlatFileRename(a.c_str(), b.c_str()), 1);
  EXPECT_EQ(PlatFileDelete(b.c_str()), 0);
  EXPECT_EQ(PlatFileDelete(b.c_str()), 1);
  EXPECT_EQ(PlatFileOpen(dir.c_str(), PLAT_FILE_READ), PLAT_FILE_INVALID);
}

TEST(PlatFile, FullPath) {
  char out[4096];
  struct Case {
    const char* in;
    const char* want;
  } cases[] = {
      {"/a/b/../c/./d", "/a/c/d"}, {"/..", "/"}, {"/a//b/", "/a/b/"}, {"/", "/"},
  };
  for (const Case& c : cases) {
    ASSERT_TRUE(PlatFullPath(c.in, out, sizeof out)) << c.in;
    EXPECT_STREQ(out, c.want) << c.in;
  }
  ASSERT_TRUE(PlatFullPath("x", out, sizeof out));
  EXPECT_EQ(out[0], '/');
  EXPECT_FALSE(PlatFullPath("/abc", out, 3));
}

TEST(PlatProfile, CaseInsensitiveSectionsAndKeys) {
  std::string dir = TestTempDir();
  std::string ini = dir + "/win.ini";
  const char* text =
      "; comment\n[Other]\nVornQuickPlay=no\n[KOR Video Tools]\r\n  vornquickplay = /L /Q  \n"
      "Number=-42\nQuoted=\"a b\"\n[wender]\nDebug=1\n";
  ASSERT_TRUE(TestWriteFile(ini, text, strlen(text)));
  setenv("KOR_INI", ini.c_str(), 1);
  char buf[64];
  EXPECT_EQ(PlatProfileString("kor video tools", "VORNQUICKPLAY", "", buf, sizeof buf), 5u);
  EXPECT_STREQ(buf, "/L /Q");
  PlatProfileString("KOR Video Tools", "Quoted", "", buf, sizeof buf);
  EXPECT_STREQ(buf, "a b");
  PlatProfileString("KOR Video Tools", "Missing", "dflt", buf, sizeof buf);
  EXPECT_STREQ(buf, "dflt");
  PlatProfileString("KOR Video Tools", "VornQuickPlay", "", buf, 3);
  EXPECT_STREQ(buf, "/L");
  EXPECT_EQ(PlatProfileInt("Wender", "Debug", 0), 1);
  EXPECT_EQ(PlatProfileInt("KOR Video Tools", "Number", 0), -42);
  EXPECT_EQ(PlatProfileInt("Nowhere", "Debug", 7), 7);

  EXPECT_TRUE(PlatProfileWrite("wender", "DEBUG", "0"));
  EXPECT_TRUE(PlatProfileWrite("New", "Key", "v"));
  EXPECT_EQ(PlatProfileInt("Wender", "Debug", 5), 0);
  PlatProfileString("new", "key", "", buf, sizeof buf);
  EXPECT_STREQ(buf, "v");
  PlatProfileString("Other", "VornQuickPlay", "", buf, sizeof buf);
  EXPECT_STREQ(buf, "no");

  setenv("KOR_INI", (dir + "/missing.ini").c_str(), 1);
  EXPECT_EQ(PlatProfileInt("Wender", "Debug", 3), 3);
  unsetenv("KOR_INI");
}

static std::string g_caption, g_text;
static int Capture(const char* caption, const char* text, unsigned) {
  g_caption = caption;
  g_text = text;
  return PLAT_ID_YES;
}

TEST(PlatMessageBox, HookCapturesAndRestores) {
  PlatMessageBoxHook old = PlatMessageBoxSetHook(Capture);
  EXPECT_EQ(PlatMessageBox("Cap", "Text", PLAT_MB_YESNO), PLAT_ID_YES);
  EXPECT_EQ(g_caption, "Cap");
  EXPECT_EQ(g_text, "Text");
  EXPECT_EQ(PlatMessageBoxSetHook(old), Capture);
  // Headless (set by the test environment): no display, and a question has
  // no terminal to ask, so the answer is No.
  FILE* tty = fopen("/dev/tty", "r");
  if (tty) {
    fclose(tty);
  } else if (!PlatHasDisplay()) {
    EXPECT_EQ(PlatMessageBox("Cap", "Question?", PLAT_MB_YESNO), PLAT_ID_NO);
  }
}

static void Bump(void* p) {
  for (int i = 0; i < 100000; i++) PlatAtomicInc((volatile int32_t*)p);
}

TEST(PlatThread, CountersAndClock) {
  volatile int32_t n = 0;
  PlatThread* a = PlatThreadCreate(Bump, (void*)&n);
  PlatThread* b = PlatThreadCreate(Bump, (void*)&n);
  ASSERT_TRUE(a && b);
  PlatThreadJoin(a);
  PlatThreadJoin(b);
  EXPECT_EQ(n, 200000);
  uint32_t t0 = PlatClockMs();
  PlatSleep(20);
  EXPECT_GE(PlatClockMs() - t0, 19u);
  EXPECT_GE(PlatCpuCount(), 1u);
}
