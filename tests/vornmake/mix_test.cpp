// VornMix: replacing, removing and adding tracks, the silence of a delay,
// a new frame rate, the kept revision, cancelling and damaged inputs.
#include <gtest/gtest.h>
#include <unistd.h>

#include "sound_signals.h"
#include "soundfile.h"

namespace {

struct MixLog {
  std::vector<std::string> errors;
  int cancelAt = -1;
  uint32_t calls = 0;
  VornMixStatus last{};
};
MixLog* g_log;

int MixCallback(int32_t code, VornMakeHandle* h, const char* text) {
  if (code == 2) {
    g_log->errors.push_back(text);
    return 0;
  }
  g_log->calls++;
  g_log->last = *(const VornMixStatus*)h;
  return g_log->cancelAt >= 0 && g_log->last.frame == (uint32_t)g_log->cancelAt;
}

class Mix : public testing::Test {
 protected:
  void SetUp() override {
    dir = TestTempDir();
    g_log = &log;
    a.pcm = MakeSound(SOUND_TONES, 22050, 1, 22050 * 3);
    b.pcm = MakeSound(SOUND_NOISE_BURSTS, 11025, 2, 11025 * 3);
    base = dir + "/base.vrn";
    ASSERT_TRUE(TestMakeSoundFile(base, 20, 10, 1,
                                  {TestTrack(5, 22050, 1, &a), TestTrack(7, 11025, 2, &b)}));
    ASSERT_TRUE(TestReadLayout(base, &in));
  }
  uint32_t Run(const std::vector<VornMakeTrack>& t, int32_t delay = 0, uint32_t num = 0,
               uint32_t den = 0, const std::string& from = "") {
    out = dir + "/out.vrn";
    return VornMix((from.empty() ? base : from).c_str(), out.c_str(), 0, num, den, delay,
                   (uint32_t)t.size(), t.data(), MixCallback);
  }
  std::string dir, base, out;
  TestSource a, b;
  TestVornLayout in;
  MixLog log;
};

}  // namespace

TEST_F(Mix, ReplacingKeepsThePlaceAddingAppendsRemovingClosesTheGap) {
  struct Case {
    const char* what;
    std::vector<uint32_t> ids;  // caller records: id, callback when id < 100
    std::vector<uint32_t> want;
  };
  const Case cases[] = {
      {"replace the first", {5}, {5, 7}},
      {"add two", {9, 8}, {5, 7, 9, 8}},
      {"remove the first", {105}, {7}},
      {"remove one, replace one, add one", {107, 5, 3}, {5, 3}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<TestSource> sources(c.ids.size());
    std::vector<VornMakeTrack> tracks;
    for (size_t i = 0; i < c.ids.size(); i++) {
      sources[i].pcm = MakeSound(SOUND_CHORDS, 16000, 1, 16000 * 3, (uint32_t)i + 2);
      const uint32_t id = c.ids[i] % 100;
      tracks.push_back(TestTrack(id, 16000, 1, c.ids[i] < 100 ? &sources[i] : nullptr));
    }
    ASSERT_GT(Run(tracks), 0u);
    EXPECT_TRUE(log.errors.empty());
    TestVornLayout o;
    ASSERT_TRUE(TestReadLayout(out, &o));
    EXPECT_EQ(o.ids, c.want);
    ASSERT_EQ(o.frames, in.frames);
    for (uint32_t k = 0; k < o.frames; k++) EXPECT_EQ(o.video[k], in.video[k]) << k;
    for (uint32_t t = 0; t < o.tracks; t++) {
      const uint32_t id = o.ids[t];
      const int was = id == 5 ? 0 : id == 7 ? 1 : -1;
      const bool recoded = std::find(c.ids.begin(), c.ids.end(), id) != c.ids.end();
      if (was >= 0 && !recoded) {
        // Kept: packets and table entries as they were.
        EXPECT_EQ(o.formats[t], in.formats[was]);
        EXPECT_EQ(o.buffers[t], in.buffers[was]);
        for (uint32_t k = 0; k < o.frames; k++) EXPECT_EQ(o.packets[k][t], in.packets[k][was]);
      } else {
        EXPECT_EQ(o.formats[t], 16000u | 0xC0000000u);
        const size_t i = std::find(c.ids.begin(), c.ids.end(), id) - c.ids.begin();
        std::vector<int16_t> got = TestDecodeTrack(o, t);
        ASSERT_EQ(got.size(), 2u * 16000);
        EXPECT_GE(SoundSnr(sources[i].pcm.data(), got.data(), 0, got.size()), 15.0);
        // The sources see the mix's status record.
        EXPECT_EQ(sources[i].lastHandle != nullptr, true);
      }
    }
    EXPECT_EQ(log.last.frame, in.frames - 1);
    EXPECT_EQ(log.last.frames, in.frames);
  }
}

TEST_F(Mix, DelayInsertsSilenceBeforeTheNewSound) {
  struct Case {
    int32_t delay;
    uint32_t silentSamples;  // at 16000 Hz mono, 10 fps
  };
  const Case cases[] = {{0, 0}, {1, 0}, {2, 1600}, {4, 4800}, {-500, 8000}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "delay " << c.delay);
    TestSource s;
    s.pcm = MakeSound(SOUND_TONES, 16000, 1, 16000 * 3);
    ASSERT_GT(Run({TestTrack(9, 16000, 1, &s)}, c.delay), 0u);
    TestVornLayout o;
    ASSERT_TRUE(TestReadLayout(out, &o));
    std::vector<int16_t> got = TestDecodeTrack(o, 2);
    ASSERT_EQ(got.size(), 32000u);
    std::vector<int16_t> want(c.silentSamples, 0);
    want.insert(want.end(), s.pcm.begin(), s.pcm.begin() + (32000 - c.silentSamples));
    const uint32_t quiet = c.silentSamples > 1024 ? c.silentSamples - 1024 : 0;
    for (uint32_t i = 0; i < quiet; i++) ASSERT_EQ(got[i], 0) << i;
    EXPECT_GE(SoundSnr(want.data(), got.data(), 0, got.size()), 15.0);
    // The source was asked only for what follows the silence.
    EXPECT_GE(s.at, (size_t)(32000 - c.silentSamples) * 2);
    EXPECT_LE(s.at, (size_t)(32000 - c.silentSamples + 1024) * 2);
  }
}

TEST_F(Mix, NewRateTimesTheNewTracks) {
  TestSource s;
  s.pcm = MakeSound(SOUND_TONES, 16000, 1, 16000 * 3);
  ASSERT_GT(Run({TestTrack(9, 16000, 1, &s)}, 0, 20, 1), 0u);
  TestVornLayout o;
  ASSERT_TRUE(TestReadLayout(out, &o));
  EXPECT_EQ(o.rateNum, 20u);
  EXPECT_EQ(o.rateDen, 1u);
  EXPECT_EQ(TestDecodeTrack(o, 2).size(), 16000u);  // 20 frames at 20 fps
  // The lead-in is kept in frames of the new rate.
  EXPECT_EQ(TestLe32(o.packets[1][2].data() + 4) > 0, true);
}

TEST_F(Mix, RevisionIsKeptAndAnUnmatchedRecordWithoutSourceStillRewrites) {
  for (char rev : {'f', 'g', 'h', 'i'}) {
    std::vector<uint8_t> bytes = in.bytes;
    bytes[3] = (uint8_t)rev;
    const std::string from = dir + "/rev.vrn";
    ASSERT_TRUE(TestWriteFile(from, bytes.data(), bytes.size()));
    ASSERT_EQ(Run({TestTrack(42, 22050, 1, nullptr)}, 0, 0, 0, from), bytes.size());
    // Same tracks, same bytes.
    EXPECT_EQ(TestReadFile(out), bytes) << rev;
  }
  EXPECT_TRUE(log.errors.empty());
}

TEST_F(Mix, CancelLeavesNoOutput) {
  const std::vector<uint8_t> old = {1, 2, 3};
  out = dir + "/out.vrn";
  ASSERT_TRUE(TestWriteFile(out, old.data(), old.size()));
  log.cancelAt = 3;
  TestSource s;
  s.pcm = MakeSound(SOUND_TONES, 16000, 1, 16000);
  EXPECT_GT(Run({TestTrack(9, 16000, 1, &s)}), 0u);
  EXPECT_EQ(log.last.frame, 3u);
  EXPECT_EQ(TestReadFile(out), old);  // the earlier file is untouched
  EXPECT_NE(access((out + ".tmp").c_str(), F_OK), 0);
}

TEST_F(Mix, BadInputsAreReportedAndWriteNothing) {
  std::vector<uint8_t> damaged = in.bytes;
  // An index entry past the end of the file.
  const uint32_t at = 44 + 12 * in.tracks + 4 * 5;
  damaged[at + 3] = 0x70;
  const std::string bad = dir + "/bad.vrn", notVorn = dir + "/not.vrn";
  ASSERT_TRUE(TestWriteFile(bad, damaged.data(), damaged.size()));
  ASSERT_TRUE(TestWriteFile(notVorn, "RIFF....WAVE", 12));
  std::vector<uint8_t> truncated(in.bytes.begin(), in.bytes.begin() + 60);
  const std::string cut = dir + "/cut.vrn";
  ASSERT_TRUE(TestWriteFile(cut, truncated.data(), truncated.size()));
  struct Case {
    std::string from, message;
  };
  const Case cases[] = {{dir + "/missing.vrn", "Couldn't open input Vorn file."},
                        {notVorn, "Input file isn't a Vorn file."},
                        {cut, "Input Vorn file is damaged: its tables run past its end."},
                        {bad, "Input Vorn file is damaged: its frame index runs past its end."}};
  TestSource s;
  s.pcm = MakeSound(SOUND_TONES, 16000, 1, 16000);
  for (const Case& c : cases) {
    log.errors.clear();
    EXPECT_EQ(Run({TestTrack(9, 16000, 1, &s)}, 0, 0, 0, c.from), 0u) << c.from;
    ASSERT_EQ(log.errors.size(), 1u) << c.from;
    EXPECT_EQ(log.errors[0], c.message);
    EXPECT_NE(access(out.c_str(), F_OK), 0);
    EXPECT_NE(access((out + ".tmp").c_str(), F_OK), 0);
  }
  // No records: nothing at all happens.
  EXPECT_EQ(VornMix(base.c_str(), out.c_str(), 0, 0, 0, 0, 0, nullptr, MixCallback), 0u);
}
