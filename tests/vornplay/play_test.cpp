// The player run headless: scripted keys, message boxes, what it played.
#include <gtest/gtest.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <algorithm>

#include <string>
#include <vector>

#include "test_util.h"
#include "vornplay/player.h"

namespace {

struct Box {
  std::string caption, text;
  unsigned flags;
};
std::vector<Box> g_boxes;

int CatchBox(const char* caption, const char* text, unsigned flags) {
  g_boxes.push_back(Box{caption ? caption : "", text ? text : "", flags});
  return PLAT_ID_OK;
}

class Play : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("KOR_HEADLESS", "1", 1);
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    vectors_ = TestVectorsDir();
    if (vectors_.empty()) GTEST_SKIP() << "no vectors";
    g_boxes.clear();
    PlatMessageBoxSetHook(CatchBox);
  }
  void TearDown() override {
    PlatMessageBoxSetHook(nullptr);
    PlatScriptSet(nullptr);
  }
  std::string Vec(const char* name) { return vectors_ + "/vorn/" + name; }
  // Runs with a script; returns the exit code.
  int Run(const std::string& line, const char* script = "", const char* stored = "") {
    PlatScriptSet(script);
    g_boxes.clear();
    uint32_t t0 = PlatClockMs();
    int code = VornPlayRun(stored, line.c_str());
    elapsed_ = PlatClockMs() - t0;
    return code;
  }
  const PlayerState& St() { return *VornPlayState(); }
  std::string vectors_;
  uint32_t elapsed_ = 0;
};

const char kSmall[] = "large-h-176x144.vrn";  // 8 frames, no sound
const char kSound[] = "large-i-320x240.vrn";  // 6 frames, 44100 Hz stereo

TEST_F(Play, HelpForNoNamesOrBadSwitch) {
  for (const char* line : {"", "/S", "a.vrn /Pq", "a.vrn /B3 /B4"}) {
    EXPECT_EQ(Run(line), 1) << line;
    ASSERT_EQ(g_boxes.size(), 1u) << line;
    EXPECT_EQ(g_boxes[0].caption, "Vorn Video Player Help");
    EXPECT_EQ(g_boxes[0].flags, (unsigned)PLAT_MB_ICONINFO);
    EXPECT_NE(g_boxes[0].text.find("SYNTAX: VornPlay"), std::string::npos);
  }
}

TEST_F(Play, ErrorBoxes) {
  std::string dir = TestTempDir();
  std::string junk = dir + "/junk.vrn";
  ASSERT_TRUE(TestWriteFile(junk, "not a vorn file at all, really not.........", 44));
  struct Case {
    std::string line;
    const char* text;
  };
  const Case kCases[] = {
      {dir + "/missing.vrn", "Error opening file."},
      {dir + "/missing.vrn|0", "Error opening file."},
      {junk, "Not a Vorn file."},
      {Vec(kSmall) + " /B6", "No capable blitting style available."},
      {Vec(kSmall) + " /F " + dir + "/missing.vrn", "Error opening file."},  // a later file
  };
  for (const Case& c : kCases) {
    EXPECT_EQ(Run(c.line), 1) << c.line;
    ASSERT_EQ(g_boxes.size(), 1u) << c.line;
    EXPECT_EQ(g_boxes[0].caption, "Vorn Error");
    EXPECT_EQ(g_boxes[0].text, c.text);
    EXPECT_EQ(g_boxes[0].flags, (unsigned)PLAT_MB_ICONERROR);
  }
}

TEST_F(Play, FastPlaySummary) {
  ASSERT_EQ(Run(Vec(kSmall) + " /F /S"), 0);
  EXPECT_EQ(St().framesShown, 8u);
  EXPECT_TRUE(St().endCardShown);
  EXPECT_GE(St().endCardFrames, 1u);
  ASSERT_EQ(g_boxes.size(), 1u);
  EXPECT_EQ(g_boxes[0].caption, "Vorn Playback Summary");
  const std::string& t = g_boxes[0].text;
  EXPECT_EQ(t.rfind("Video: 176 x 144 at 29.9 frames/sec\nTotal frames: 8\n\nTotal frames played: 8\n", 0), 0u) << t;
  EXPECT_NE(t.find("Frame rate played: As fast as possible\n"), std::string::npos);
  EXPECT_NE(t.find("Blitting style: DirectDraw primary surface\n"), std::string::npos);
  EXPECT_NE(t.find("Second slowest frame: "), std::string::npos);
}

TEST_F(Play, NoSummaryWhenNothingPlayed) {
  ASSERT_EQ(Run(Vec(kSmall) + " /S", "0 key esc\n"), 0);
  EXPECT_EQ(St().framesShown, 0u);
  EXPECT_TRUE(St().endCardShown);
  EXPECT_TRUE(g_boxes.empty());
}

TEST_F(Play, EscapeEndCardEscape) {
  ASSERT_EQ(Run(Vec(kSmall) + " /L", "100 key esc\n300 key esc\n"), 0);
  EXPECT_TRUE(St().endCardShown);
  EXPECT_GE(St().endCardFrames, 1u);
  EXPECT_GT(St().framesShown, 0u);
  EXPECT_LT(elapsed_, 2000u);
  // Without the second Esc the card stays 2250 ms.
  ASSERT_EQ(Run(Vec(kSmall) + " /L", "100 key esc\n"), 0);
  EXPECT_GE(elapsed_, 2250u);
  // A click on the card opens the web page.
  ASSERT_EQ(Run(Vec(kSmall) + " /L", "50 key esc\n100 click 10 10\n150 key esc\n"), 0);
  EXPECT_NE(strstr(St().lastUrl, "from=vornplay&ver=1.0q"), nullptr);
}

TEST_F(Play, ControlsDisabled) {
  ASSERT_EQ(Run(Vec(kSmall) + " /L /F30 /U7",
                "100 key esc\n150 key dot\n200 key space\n250 key enter\n600 close\n"), 0);
  EXPECT_FALSE(St().endCardShown);
  ASSERT_EQ(St().eventCount, 5);  // the focus on showing, then the keys
  // Space did not pause: frames kept coming.
  EXPECT_GT(St().framesShown, St().eventFrames[3] + 5);
  EXPECT_STREQ(St().opened, (Vec(kSmall) + "\n").c_str());
}

TEST_F(Play, SpaceAndEnterStep) {
  ASSERT_EQ(Run(Vec(kSmall) + " /L /F20",
                "150 key space\n400 key enter\n650 key enter\n900 key space\n1100 key esc\n"), 0);
  ASSERT_EQ(St().eventCount, 6);
  const uint32_t* k = St().eventFrames + 1;
  EXPECT_GE(k[0], 2u);
  EXPECT_EQ(k[1], k[0]);      // paused
  EXPECT_EQ(k[2], k[0] + 1);  // one frame per Enter
  EXPECT_EQ(k[3], k[0] + 2);
  EXPECT_GT(k[4], k[3] + 2);  // running again
}

TEST_F(Play, FocusLossPausesUnlessJ) {
  for (bool j : {false, true}) {
    ASSERT_EQ(Run(Vec(kSmall) + " /L /F20" + (j ? " /J" : ""), "150 unfocus\n500 focus\n750 key esc\n800 key esc\n"), 0);
    ASSERT_EQ(St().eventCount, 5);
    const uint32_t* k = St().eventFrames + 1;
    if (j) {
      EXPECT_GT(k[1], k[0] + 3);
    } else {
      EXPECT_EQ(k[1], k[0]);  // no frame while the focus was away
    }
    EXPECT_GT(k[2], k[1] + 1);  // and frames again once it is back
  }
}

TEST_F(Play, ListsAndLoops) {
  std::string a = Vec(kSmall), b = Vec("large-i-320x240.vrn");
  ASSERT_EQ(Run("/L3 /F " + a + " " + b), 0);
  EXPECT_EQ(std::string(St().opened), a + "\n" + b + "\n" + a + "\n" + b + "\n" + a + "\n" + b + "\n");
  EXPECT_EQ(St().framesShown, 3u * (8 + 6));
  ASSERT_EQ(Run("/L3 /F " + a), 0);
  EXPECT_EQ(std::string(St().opened), a + "\n");
  EXPECT_EQ(St().framesShown, 24u);
  // "." skips to the next file.
  ASSERT_EQ(Run("/L /F20 " + a + " " + b, "100 key dot\n300 key esc\n"), 0);
  EXPECT_EQ(std::string(St().opened), a + "\n" + b + "\n");
}

TEST_F(Play, FrameRates) {
  struct Case {
    const char* sw;
    uint32_t rate, div;
  };
  static const Case kCases[] = {{"", 30000, 1001}, {"/F30;1.001", 30000, 1001}, {"/F12.5", 25, 2}, {"/F", 0, 0}};
  for (const Case& c : kCases) {
    ASSERT_EQ(Run(Vec(kSmall) + " /L " + c.sw, "50 key esc\n80 key esc\n"), 0) << c.sw;
    EXPECT_EQ(St().rate, c.rate) << c.sw;
    EXPECT_EQ(St().rateDivisor, c.div) << c.sw;
  }
}

TEST_F(Play, OutputSizes) {
  struct Case {
    const char* sw;
    int32_t pw, ph, ow, oh;
    uint32_t option, stretch;
    const char* style;
  };
  static const Case kCases[] = {
      {"", 320, 240, 320, 240, 0, 0, "DirectDraw primary surface"},
      {"/W640 /H480", 640, 480, 640, 480, 4, 0, "DirectDraw primary surface"},
      {"/W-2", 640, 240, 640, 240, 3, 0, "DirectDraw primary surface"},
      {"/H-2", 320, 480, 320, 480, 1, 0, "DirectDraw primary surface"},
      {"/W-3", 320, 240, 960, 240, 0, PLAYER_W_INT_ENLARGE, "DIB Section"},
      {"/W400 /H120", 320, 240, 400, 120, 0, PLAYER_W_ENLARGE | PLAYER_H_INT_REDUCE, "DIB Section"},
      {"/A1 /W640 /H480", 320, 480, 640, 480, 1, PLAYER_W_INT_ENLARGE, "DIB Section"},
      {"/W-1", 320, 240, 1024, 240, 0, PLAYER_W_ENLARGE, "DIB Section"},
      {"/B3 /W-3", 320, 240, 960, 240, 0, PLAYER_W_INT_ENLARGE, "DirectDraw YV12 overlay"},
      {"/B10", 320, 240, 320, 240, 0, 0, "DirectDraw RGB off-screen system surface"},
  };
  for (const Case& c : kCases) {
    ASSERT_EQ(Run(Vec(kSound) + " /L " + c.sw, "50 key esc\n80 key esc\n"), 0) << c.sw;
    const PlayerState& s = St();
    EXPECT_EQ(s.pictureWidth, c.pw) << c.sw;
    EXPECT_EQ(s.pictureHeight, c.ph) << c.sw;
    EXPECT_EQ(s.outputWidth, c.ow) << c.sw;
    EXPECT_EQ(s.outputHeight, c.oh) << c.sw;
    EXPECT_EQ(s.handleFlags >> 28 & 7, c.option) << c.sw;
    EXPECT_EQ(s.stretchFlags, c.stretch) << c.sw;
    EXPECT_STREQ(s.styleName, c.style) << c.sw;
  }
}

TEST_F(Play, NameForms) {
  std::string dir = TestTempDir();
  std::vector<unsigned char> clip = TestReadFile(Vec(kSmall));
  ASSERT_TRUE(TestWriteFile(dir + "/my clip.vrn", clip.data(), clip.size()));
  std::vector<unsigned char> inner(100, 0x55);
  inner.insert(inner.end(), clip.begin(), clip.end());
  ASSERT_TRUE(TestWriteFile(dir + "/inner.bin", inner.data(), inner.size()));
  ASSERT_EQ(Run("\"" + dir + "/my clip\" /F"), 0);
  EXPECT_EQ(std::string(St().opened), dir + "/my clip.vrn\n");
  EXPECT_EQ(St().framesShown, 8u);
  ASSERT_EQ(Run(dir + "/inner.bin|100 /F"), 0);
  EXPECT_EQ(St().framesShown, 8u);
}

TEST_F(Play, StatisticsLine) {
  ASSERT_EQ(Run(Vec(kSmall) + " /Q /L", "300 key esc\n350 key esc\n"), 0);
  EXPECT_EQ(std::string(St().statsText).rfind("Fr: ", 0), 0u) << St().statsText;
  EXPECT_NE(strstr(St().statsText, ", FPS: "), nullptr);
}

// ---------------------------------------------------------------- the program itself
std::string Shell(const std::string& cmd, int* code) {
  std::string out;
  FILE* p = popen(cmd.c_str(), "r");
  if (!p) return out;
  char buf[512];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
  int status = pclose(p);
  *code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return out;
}

// Writes a command line into a copy's stored area.
bool Patch(std::vector<unsigned char>& exe, const char* line) {
  std::string marker = std::string("KOR:VORNPLAY:") + "CMDLINE:01";
  auto it = std::search(exe.begin(), exe.end(), marker.begin(), marker.end());
  if (it == exe.end()) return false;
  size_t at = (size_t)(it - exe.begin()) + 24;
  memcpy(&exe[at], line, strlen(line) + 1);
  return true;
}

TEST_F(Play, ProgramWithAppendedFileAndStoredLine) {
  std::string dir = TestTempDir();
  std::vector<unsigned char> exe = TestReadFile(std::string(KOR_BIN_DIR) + "/vornplay");
  ASSERT_FALSE(exe.empty());
  std::vector<unsigned char> clip = TestReadFile(Vec(kSmall));
  size_t offset = exe.size();
  struct Case {
    const char* stored;
    std::string args;
    int code;
    const char* want;
    bool summary;
  };
  const Case kCases[] = {
      {"", ":" + std::to_string(offset) + " /F /S", 0, "Total frames played: 8\n", true},
      {"/S /F", ":" + std::to_string(offset), 0, "Total frames played: 8\n", true},
      {"/S /F", "/-S :" + std::to_string(offset), 0, "", false},
      {"/Pq", ":" + std::to_string(offset), 1, "Vorn Video Player Help", false},
      {"", ":" + std::to_string(offset + 1) + " /F", 1, "Vorn Error: Not a Vorn file.", false},
  };
  int i = 0;
  for (const Case& c : kCases) {
    std::vector<unsigned char> copy = exe;
    if (*c.stored) {
      ASSERT_TRUE(Patch(copy, c.stored));
    }
    copy.insert(copy.end(), clip.begin(), clip.end());
    std::string path = dir + "/vp" + std::to_string(i++);
    ASSERT_TRUE(TestWriteFile(path, copy.data(), copy.size()));
    chmod(path.c_str(), 0755);
    int code = -1;
    std::string out = Shell("KOR_HEADLESS=1 SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy " + path + " " +
                                c.args + " 2>&1",
                            &code);
    EXPECT_EQ(code, c.code) << c.stored << " " << c.args << "\n" << out;
    EXPECT_NE(out.find(c.want), std::string::npos) << out;
    EXPECT_EQ(out.find("Vorn Playback Summary") != std::string::npos, c.summary) << out;
  }
}

}  // namespace

namespace {

int SummaryValue(const std::string& text, const char* key) {
  size_t at = text.find(key);
  return at == std::string::npos ? -1 : atoi(text.c_str() + at + strlen(key));
}

// A slow device makes frames late: with sound the copies are skipped (the
// sound's clock is never moved), unless /N; every frame is still decoded.
TEST_F(Play, LateFramesSkipBlitsWithSound) {
  struct Case {
    const char* sw;
    bool skips;
  };
  static const Case kCases[] = {{"", true}, {" /N", false}, {" /Z", true}};
  for (const Case& c : kCases) {
    ASSERT_EQ(Run(Vec(kSound) + " /S /M150000 /G /E65536" + c.sw), 0) << c.sw;
    ASSERT_EQ(g_boxes.size(), 1u);
    const std::string& t = g_boxes[0].text;
    EXPECT_EQ(SummaryValue(t, "Total frames played: "), 6) << t;
    EXPECT_EQ(SummaryValue(t, "Skipped blits: ") > 0, c.skips) << c.sw << "\n" << t;
    EXPECT_EQ(SummaryValue(t, "Skipped frames: "), 0);
  }
}

}  // namespace
