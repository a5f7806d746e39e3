// Every conformance vector decodes through VornOpen and VornDecodeFrame to
// its expected YUV4MPEG2 output, byte for byte; kor convert writes the same.
#include <dirent.h>
#include <gtest/gtest.h>
#include <stdio.h>
#include <string.h>
#include <sys/wait.h>

#include <algorithm>
#include <string>
#include <vector>

#include "test_util.h"
#include "vorn/vorn.h"

namespace {

std::vector<std::string> VornVectors() {
  std::vector<std::string> names;
  std::string dir = TestVectorsDir();
  if (dir.empty()) return names;
  DIR* d = opendir((dir + "/vorn").c_str());
  if (!d) return names;
  while (dirent* e = readdir(d)) {
    std::string n = e->d_name;
    if (n.size() > 4 && n.compare(n.size() - 4, 4, ".vrn") == 0) names.push_back(dir + "/vorn/" + n);
  }
  closedir(d);
  std::sort(names.begin(), names.end());
  return names;
}

std::string Stem(const std::string& path) { return path.substr(0, path.size() - 4); }

void Append(std::vector<uint8_t>& out, const char* text) { out.insert(out.end(), text, text + strlen(text)); }

void AppendPlane(std::vector<uint8_t>& out, const uint8_t* p, uint32_t pitch, uint32_t w, uint32_t h) {
  for (uint32_t y = 0; y < h; y++) out.insert(out.end(), p + (size_t)y * pitch, p + (size_t)y * pitch + w);
}

struct Decoded {
  std::vector<uint8_t> video, alpha;
  std::string error;
};

// Decodes every frame in order into YUV4MPEG2 streams.
Decoded DecodeAll(VornHandle* h) {
  Decoded d;
  uint32_t w = h->decodeWidth, ht = h->decodeHeight, cw = (w + 1) / 2, ch = (ht + 1) / 2;
  char head[128];
  snprintf(head, sizeof head, "YUV4MPEG2 W%u H%u F%u:%u Ip A1:1 ", w, ht, h->fileRate, h->fileRateDivisor);
  Append(d.video, head);
  Append(d.video, "C420jpeg\n");
  bool alpha = (h->flags & VORN_OPEN_ALPHA) != 0;
  if (alpha) {
    Append(d.alpha, head);
    Append(d.alpha, "Cmono\n");
  }
  std::vector<uint8_t> gray(cw, 128);
  for (uint32_t n = 1; n <= h->frames; n++) {
    if (n > 1) VornAdvanceFrame(h);
    if (VornDecodeFrame(h) != 0) {
      d.error = "read error at frame " + std::to_string(n);
      return d;
    }
    VornPlanes* p = VornCurrentPlanes(h);
    Append(d.video, "FRAME\n");
    AppendPlane(d.video, p, h->pitch, w, ht);
    const uint8_t* c1 = VornPlanesChroma1(p, h->pitch, h->rows);
    const uint8_t* c2 = VornPlanesChroma2(p, h->pitch, h->rows);
    if (h->flags & VORN_VIDEO_GRAY) c1 = c2 = gray.data();
    bool cbFirst = (h->flags & VORN_FLAG_CB_FIRST) != 0;
    uint32_t cp = (h->flags & VORN_VIDEO_GRAY) ? 0 : h->pitch / 2;
    AppendPlane(d.video, cbFirst ? c1 : c2, cp, cw, ch);
    AppendPlane(d.video, cbFirst ? c2 : c1, cp, cw, ch);
    if (alpha) {
      Append(d.alpha, "FRAME\n");
      AppendPlane(d.alpha, VornCurrentAlpha(h), h->pitch, w, ht);
    }
  }
  return d;
}

// Empty when equal, else where the first difference lies.
std::string Compare(const std::vector<uint8_t>& got, const std::vector<uint8_t>& want, size_t frameBytes,
                    size_t headBytes) {
  if (got == want) return "";
  size_t i = 0;
  while (i < got.size() && i < want.size() && got[i] == want[i]) i++;
  std::string where = "sizes " + std::to_string(got.size()) + " / " + std::to_string(want.size()) +
                      ", first difference at byte " + std::to_string(i);
  if (i >= headBytes && frameBytes)
    where += " (frame " + std::to_string((i - headBytes) / frameBytes + 1) + ", byte " +
             std::to_string((i - headBytes) % frameBytes) + " of it)";
  return where;
}

void ExpectMatches(VornHandle* h, const std::string& path, const char* how) {
  ASSERT_NE(h, nullptr) << path << " (" << how << "): " << VornErrorText();
  Decoded d = DecodeAll(h);
  uint32_t w = h->decodeWidth, ht = h->decodeHeight;
  size_t frame = 6 + (size_t)w * ht + 2 * (size_t)((w + 1) / 2) * ((ht + 1) / 2);
  size_t head = d.video.size() - h->frames * frame;
  bool alpha = (h->flags & VORN_OPEN_ALPHA) != 0;
  VornClose(h);
  ASSERT_EQ(d.error, "") << path << " (" << how << ")";
  std::vector<uint8_t> want = TestReadFile(Stem(path) + ".y4m");
  EXPECT_EQ(Compare(d.video, want, frame, head), "") << path << " (" << how << ")";
  std::vector<uint8_t> wantAlpha = TestReadFile(Stem(path) + ".alpha.y4m");
  EXPECT_EQ(alpha, !wantAlpha.empty()) << path;
  if (alpha) {
    EXPECT_EQ(Compare(d.alpha, wantAlpha, 6 + (size_t)w * ht, 0), "") << path << " alpha (" << how << ")";
  }
}

TEST(VornConformance, EveryVectorByNameAndFromMemory) {
  std::vector<std::string> vectors = VornVectors();
  if (vectors.empty()) GTEST_SKIP() << "no conformance vectors";
  for (size_t i = 0; i < vectors.size(); i++) {
    const std::string& path = vectors[i];
    // By name, with the background thread and a small ring on every other
    // vector, preloaded (the default for these small files) on the rest.
    uint32_t flags = VORN_OPEN_ALPHA;
    if (i % 2) {
      VornPresetReadBuffer(4096);
      flags |= VORN_OPEN_IOSIZE;
    }
    ExpectMatches(VornOpen(path.c_str(), flags), path, i % 2 ? "by name, ring" : "by name");
    std::vector<uint8_t> file = TestReadFile(path);
    VornPresetMemorySize(file.size());
    ExpectMatches(VornOpen((const char*)file.data(), VORN_OPEN_MEMORY | VORN_OPEN_ALPHA), path, "memory");
  }
}

std::string Kor() { return std::string(KOR_BIN_DIR) + "/kor"; }

int RunKor(const std::string& command) {
  int rc = system((command + " 2>/dev/null").c_str());
  return WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
}

TEST(KorConvert, WritesTheVectorsOutput) {
  std::string dir = TestVectorsDir();
  if (dir.empty()) GTEST_SKIP() << "no conformance vectors";
  std::string tmp = TestTempDir();
  for (const char* name : {"container-h-46", "all-i-03", "motion-g-09", "scaled-f-16"}) {
    std::string in = dir + "/vorn/" + name + ".vrn";
    std::vector<uint8_t> wantAlpha = TestReadFile(dir + "/vorn/" + name + ".alpha.y4m");
    std::string cmd = Kor() + " convert '" + in + "' '" + tmp + "/out.y4m'";
    if (!wantAlpha.empty()) cmd += " --alpha '" + tmp + "/out.alpha.y4m'";
    ASSERT_EQ(RunKor(cmd), 0) << cmd;
    EXPECT_TRUE(TestReadFile(tmp + "/out.y4m") == TestReadFile(dir + "/vorn/" + name + ".y4m")) << name;
    if (!wantAlpha.empty()) {
      EXPECT_TRUE(TestReadFile(tmp + "/out.alpha.y4m") == wantAlpha) << name;
    }
  }
  // '-' writes to standard output.
  std::string in = dir + "/vorn/intra-h-06.vrn";
  ASSERT_EQ(RunKor(Kor() + " convert '" + in + "' - > '" + tmp + "/piped.y4m'"), 0);
  EXPECT_TRUE(TestReadFile(tmp + "/piped.y4m") == TestReadFile(dir + "/vorn/intra-h-06.y4m"));
}

TEST(KorConvert, ExitCodes) {
  std::string tmp = TestTempDir();
  std::string junk = tmp + "/junk.vrn";
  ASSERT_TRUE(TestWriteFile(junk, "not a vorn file at all, really not", 34));
  struct Case {
    std::string args;
    int rc;
  } cases[] = {
      {"convert --help", 0},
      {"info --help", 0},
      {"convert", 2},
      {"convert a", 2},
      {"convert a b c", 2},
      {"convert --bogus a b", 2},
      {"convert /nonexistent.vrn " + tmp + "/o.y4m", 1},
      {"convert " + junk + " " + tmp + "/o.y4m", 1},
      {"info " + junk, 1},
      {"info", 2},
  };
  for (const Case& c : cases) EXPECT_EQ(RunKor(Kor() + " " + c.args), c.rc) << c.args;
  // The decoder's error text reaches the user.
  FILE* p = popen((Kor() + " convert " + junk + " " + tmp + "/o.y4m 2>&1").c_str(), "r");
  ASSERT_NE(p, nullptr);
  char line[256] = {};
  ASSERT_NE(fgets(line, sizeof line, p), nullptr);
  pclose(p);
  EXPECT_NE(strstr(line, "Not a Vorn file."), nullptr) << line;
}

TEST(KorInfo, DescribesTheFile) {
  std::string dir = TestVectorsDir();
  if (dir.empty()) GTEST_SKIP() << "no conformance vectors";
  FILE* p = popen((Kor() + " info '" + dir + "/vorn/audio-h-38.vrn'").c_str(), "r");
  ASSERT_NE(p, nullptr);
  std::string out;
  char buf[512];
  while (fgets(buf, sizeof buf, p)) out += buf;
  EXPECT_EQ(pclose(p), 0);
  for (const char* want : {"Revision:        VRNh", "Picture:         130 x 64, luminance only",
                           "Frame rate:      24000/1001", "Frames:          4 (index holds 4), 4 key frames",
                           "Display option:  2 (shown 130 x 128)", "Tracks:          4",
                           "0xecce701f   11025         1    16"})
    EXPECT_NE(out.find(want), std::string::npos) << want << "\n" << out;
}

}  // namespace
