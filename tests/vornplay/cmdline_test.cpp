// Working command line: switch forms, cancellations, names, output sizes,
// duration texts.
#include <gtest/gtest.h>
#include <string.h>

#include <string>

#include "test_util.h"
#include "vornplay/player.h"

namespace {

struct ParseCase {
  const char* stored;
  const char* line;
  int ok;
  const char* names;  // what is left
};

TEST(PlayerParse, AcceptsOrShowsHelp) {
  static const ParseCase kCases[] = {
      {"", "", 0, ""},
      {"", "/P /S", 0, " "},                // only switches
      {"", "a.vrn /Pq", 0, "a.vrn /Pq"},    // misspelt switch
      {"", "a.vrn /P /P", 0, "a.vrn  /P"},  // repeated switch
      {"", "a.vrn /P", 1, "a.vrn "},
      {"", "/S a.vrn,b.vrn", 1, " a.vrn,b.vrn"},
      {"/P~~~~~", "a.vrn", 1, " a.vrn"},
      {"/P", "/-P a.vrn", 1, "  a.vrn"},
      {"", "a.vrn /D14", 0, "a.vrn "},      // no such resolution
      {"", "a.vrn /D708", 0, "a.vrn "},     // no such depth
      {"", "a.vrn /-", 1, "a.vrn "},
  };
  for (const ParseCase& c : kCases) {
    PlayerState st = {};
    EXPECT_EQ(PlayerParse(&st, c.stored, c.line), c.ok) << c.line;
    EXPECT_STREQ(st.line, c.names) << c.line;
  }
}

TEST(PlayerParse, SwitchValues) {
  PlayerState st = {};
  ASSERT_EQ(PlayerParse(&st, "", "a /L /F /T7 /X-10 /Y20 /W-2 /H1.5 /M5000 /E-1 /U7 /I101 /A102 /B3 /#9"), 1);
  const PlayerSwitches& s = st.sw;
  EXPECT_EQ(s.loops, 0);
  EXPECT_EQ(s.rateNum, 0);
  EXPECT_EQ(s.rateDen, 0);
  EXPECT_EQ(s.track, 7);
  EXPECT_EQ(s.x, -10);
  EXPECT_EQ(s.y, 20);
  EXPECT_EQ(s.wNum, -2);
  EXPECT_EQ(s.wDen, 1);
  EXPECT_EQ(s.hNum, 3);
  EXPECT_EQ(s.hDen, 2);
  EXPECT_EQ(s.readSpeed, 5000);
  EXPECT_EQ(s.readBuffer, -1);
  EXPECT_EQ(s.controls, 7);
  EXPECT_EQ(s.windowStyle, 101);
  EXPECT_EQ(s.style, 3);
  EXPECT_EQ(s.parent, 9);
  EXPECT_EQ(st.openFlags, (uint32_t)(VORN_OPEN_RATE | VORN_OPEN_TRACK | VORN_OPEN_SIMULATE |
                                     VORN_OPEN_OPTION(2) | VORN_OPEN_GRAY));
  ASSERT_EQ(PlayerParse(&st, "", "a /L3 /F30;1.001 /P /A9"), 1);
  EXPECT_EQ(st.sw.loops, 3);
  EXPECT_EQ(st.sw.rateNum, 30000);
  EXPECT_EQ(st.sw.rateDen, 1001);
  EXPECT_EQ(st.openFlags, (uint32_t)(VORN_OPEN_RATE | VORN_OPEN_PRELOAD | VORN_OPEN_OPTION(7)));
}

TEST(PlayerParse, CancelsStoredSwitches) {
  PlayerState st = {};
  ASSERT_EQ(PlayerParse(&st, "/P /T5 /X\"12\"", "/-p /-t /-X a.vrn"), 1);
  EXPECT_EQ(st.sw.preload, 0);
  EXPECT_EQ(st.sw.track, 0);
  EXPECT_EQ(st.sw.x, -3000);
  EXPECT_EQ(st.openFlags, 0u);
}

TEST(PlayerParse, QuickPlayFromIni) {
  std::string dir = TestTempDir();
  std::string ini = dir + "/win.ini";
  ASSERT_TRUE(TestWriteFile(ini, "[KOR Video Tools]\nVornQuickPlay=/S /L2\n", 39));
  const char* old = getenv("KOR_INI");
  std::string saved = old ? old : "";
  setenv("KOR_INI", ini.c_str(), 1);
  PlayerState st = {};
  EXPECT_EQ(PlayerParse(&st, "", "a.vrn /!"), 1);
  EXPECT_EQ(st.sw.summary, 1);
  EXPECT_EQ(st.sw.loops, 2);
  setenv("KOR_INI", saved.c_str(), 1);
}

TEST(PlayerParse, PathsAreNotSwitches) {
  std::string dir = TestTempDir();
  PlayerState st = {};
  std::string line = dir + "/clip.vrn /S";
  ASSERT_EQ(PlayerParse(&st, "", line.c_str()), 1);
  EXPECT_EQ(st.sw.summary, 1);
  char name[256];
  ASSERT_TRUE(PlayerTakeName(st.line, name, sizeof name));
  EXPECT_EQ(std::string(name), dir + "/clip.vrn");
}

TEST(PlayerTakeName, FormsAndSeparators) {
  char text[128] = "  \"my clip.vrn\" , b.vrn ,c :1234 d|5 e,f";
  static const char* const kNames[] = {"my clip.vrn", "b.vrn", "c", ":1234", "d|5", "e,f"};
  char name[64];
  for (const char* want : kNames) {
    ASSERT_TRUE(PlayerTakeName(text, name, sizeof name));
    EXPECT_STREQ(name, want);
  }
  EXPECT_FALSE(PlayerTakeName(text, name, sizeof name));
}

TEST(PlayerParseRational, Forms) {
  struct Case {
    const char* text;
    int32_t num, den;
    int used;
  };
  static const Case kCases[] = {
      {"30", 30, 1, 2},          {"29.97", 2997, 100, 5}, {"30;1.001", 30000, 1001, 8},
      {"-2", -2, 1, 2},          {"-1 x", -1, 1, 2},      {"12.50", 25, 2, 5},
      {"5;0", 5, 1, 3},          {"x", 0, 0, 0},
  };
  for (const Case& c : kCases) {
    int32_t n = 0, d = 0;
    EXPECT_EQ(PlayerParseRational(c.text, &n, &d), c.used) << c.text;
    if (c.used) {
      EXPECT_EQ(n, c.num) << c.text;
      EXPECT_EQ(d, c.den) << c.text;
    }
  }
}

TEST(PlayerClassify, Axis) {
  struct Case {
    int32_t num, den, size;
    int32_t target;
    uint32_t bits;
  };
  const uint32_t b = PLAYER_W_REDUCE;
  static const Case kCases[] = {
      {0, 0, 320, 320, 0},           {-2, 1, 320, 640, b * 8},  {-1, 1, 320, 1024, b * 4},
      {640, 1, 320, 640, b * 8},     {160, 1, 320, 160, b * 2}, {400, 1, 320, 400, b * 4},
      {300, 1, 320, 300, b},         {320, 1, 320, 320, 0},     {-3, 2, 320, 480, b * 4},
  };
  for (const Case& c : kCases) {
    uint32_t bits = 0;
    EXPECT_EQ(PlayerClassify(c.num, c.den, c.size, b, 1024, &bits), c.target) << c.num << "/" << c.den;
    EXPECT_EQ(bits, c.bits) << c.num << "/" << c.den;
  }
}

TEST(PlayerDuration, Units) {
  struct Case {
    uint32_t ms;
    const char* text;
  };
  static const Case kCases[] = {
      {1, "1 millisecond"},        {999, "999 milliseconds"},
      {1000, "1 second"},          {59999, "59 seconds"},
      {60000, "1 minute 0 seconds"}, {125000, "2 minutes 5 seconds"},
      {3600000, "1 hour 0 minutes"}, {7260000, "2 hours 1 minute"},
  };
  char out[64];
  for (const Case& c : kCases) {
    PlayerDuration(out, sizeof out, c.ms);
    EXPECT_STREQ(out, c.text);
  }
}

TEST(PlayerHelp, Layout) {
  const char* h = PlayerHelpText();
  EXPECT_NE(strstr(h, "  SYNTAX: VornPlay <Vorn1 Vorn2 ...> [/Switches]:\n"), nullptr);
  EXPECT_NE(strstr(h, "    /P  \t- Preload the entire Vorn video into memory.\n"), nullptr);
  EXPECT_NE(strstr(h, "\n         \t    scaling (i.e. for 2x, use '/w-2')."), nullptr);
  EXPECT_NE(strstr(h, "10=DirectDraw RGB system memory off-screen.\n"), nullptr);
}

}  // namespace
