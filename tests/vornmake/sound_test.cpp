// Sound tracks of VornMake: packet timing with the lead-in, the decoded
// sound against its source, silent and short tracks, the sound-buffer
// entries and the sound estimate the rate control uses.
#include <gtest/gtest.h>

#include "sound_signals.h"
#include "soundfile.h"
#include "vornmake/sound.h"

TEST(SoundTracks, PacketsKeepTheLeadAndDecodeToTheSource) {
  struct Case {
    uint32_t rate, channels, fpsNum, fpsDen, frames;
  };
  static const Case cases[] = {
      {22050, 2, 25, 1, 60}, {11025, 1, 30000, 1001, 50}, {44100, 2, 10, 1, 24}, {48000, 1, 24, 1, 40},
      {48000, 2, 1, 3, 4}};  // packets of 3 s: larger than the staging area
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.rate << " Hz, " << c.channels << " channels, "
                                    << c.fpsNum << "/" << c.fpsDen << " fps");
    const std::string path = TestTempDir() + "/timing.vrn";
    TestSource src;
    const uint64_t bps = (uint64_t)c.rate * c.channels * 2;
    const uint64_t total = (bps * c.frames * c.fpsDen / c.fpsNum + 3) & ~3ull;
    src.pcm = MakeSound(SOUND_CHORDS, c.rate, c.channels, (uint32_t)(total / 2 / c.channels + 4000));
    ASSERT_TRUE(TestMakeSoundFile(path, c.frames, c.fpsNum, c.fpsDen, {TestTrack(3, c.rate, c.channels, &src)}));
    TestVornLayout l;
    ASSERT_TRUE(TestReadLayout(path, &l));
    ASSERT_EQ(l.tracks, 1u);
    EXPECT_EQ(l.formats[0], c.rate | 0x80000000u | 0x40000000u | (c.channels == 2 ? 0x20000000u : 0));
    EXPECT_EQ(l.ids[0], 3u);
    VornAudioGeometry g;
    VornAudioGetGeometry(&g, c.rate, c.channels);
    const uint64_t block = (g.n - g.overlap) * 2;
    const uint64_t lead = (uint64_t)c.rate * c.channels * 6 / 4;
    uint64_t done = 0;
    uint32_t largest = 0;
    for (uint32_t k = 0; k < c.frames; k++) {
      const std::vector<uint8_t>& p = l.packets[k][0];
      const uint32_t pcm = p.size() > 4 ? TestLe32(p.data() + 4) : 0;
      largest = std::max(largest, pcm);
      done += pcm;
      // Frame k's packet brings the sound up to 0.75 s past frame k's time,
      // in whole blocks, until the track's end.
      // The last frame's packet takes what is left.
      const uint64_t target =
          k + 1 == c.frames ? total : std::min<uint64_t>(total, lead + bps * k * c.fpsDen / c.fpsNum);
      EXPECT_GE(done, target) << "frame " << k;
      EXPECT_LT(done, target + block) << "frame " << k;
      if (k + 1 == c.frames) {
        EXPECT_EQ(done, total);
      }
      if (p.size() == 4) {
        EXPECT_EQ(TestLe32(p.data()), 0u);
      }
    }
    EXPECT_EQ(done, total);
    EXPECT_EQ(l.buffers[0], largest);
    // The decoded track is the source, sample for sample in time.
    std::vector<int16_t> got = TestDecodeTrack(l, 0);
    ASSERT_EQ(got.size() * 2, total);
    const double snr = SoundSnr(src.pcm.data(), got.data(), 0, got.size());
    printf("  file track %5u Hz %u ch at %u/%u fps: SNR %.1f dB\n", c.rate, c.channels, c.fpsNum,
           c.fpsDen, snr);
    EXPECT_GE(snr, 15.0);
  }
}

TEST(SoundTracks, SilentAndShortTracksArePaddedToTheirLength) {
  const std::string path = TestTempDir() + "/short.vrn";
  TestSource shortSrc;
  shortSrc.pcm = MakeSound(SOUND_TONES, 22050, 1, 5000);  // well under the 2 s of pictures
  ASSERT_TRUE(TestMakeSoundFile(path, 20, 10, 1,
                                {TestTrack(1, 22050, 1, nullptr), TestTrack(2, 22050, 1, &shortSrc)}));
  TestVornLayout l;
  ASSERT_TRUE(TestReadLayout(path, &l));
  ASSERT_EQ(l.tracks, 2u);
  for (uint32_t t = 0; t < 2; t++) {
    std::vector<int16_t> got = TestDecodeTrack(l, t);
    ASSERT_EQ(got.size(), 2u * 22050) << "track " << t;
    for (size_t i = 0; i < got.size(); i++) {
      // After the source ends (and a block's reach of coding noise) the
      // track is silent.
      if (t == 0 || i > 5000 + 1024) {
        ASSERT_EQ(got[i], 0) << "track " << t << " sample " << i;
      }
    }
    if (t == 1) {
      EXPECT_GE(SoundSnr(shortSrc.pcm.data(), got.data(), 0, 4000), 15.0);
    }
  }
}

TEST(SoundTracks, TracksThatCannotBeCodedWriteEmptyPackets) {
  const std::string path = TestTempDir() + "/bad.vrn";
  TestSource src;
  src.pcm = MakeSound(SOUND_TONES, 8000, 1, 8000);
  ASSERT_TRUE(TestMakeSoundFile(path, 5, 5, 1, {TestTrack(1, 0, 1, &src), TestTrack(2, 70000, 2, &src)}));
  TestVornLayout l;
  ASSERT_TRUE(TestReadLayout(path, &l));
  for (uint32_t t = 0; t < 2; t++) {
    EXPECT_EQ(l.formats[t] & 0x80000000u, 0u);
    for (const auto& ps : l.packets) EXPECT_EQ(ps[t].size(), 4u);
  }
  EXPECT_EQ(src.calls, 0u);
}

TEST(SoundTracks, EstimateFollowsTheCompressionRatio) {
  VornMakeTrack src = TestTrack(1, 44100, 2, nullptr);
  VornMakeHandle h;
  memset(&h, 0, sizeof h);
  VmkTrack t;
  VmkTrackInit(&t, &src, 100, 25, 1);
  h.tracks = &t;
  h.trackCount = 1;
  h.rateNum = 25;
  h.rateDen = 1;
  // Before anything is coded the ratio is 10 / 45.
  EXPECT_EQ(VmkSoundEstimate(&h, 25), 176400 * 10 / 45);
  t.sourceBytes = 176400;
  t.compressedBytes = 17640;
  EXPECT_EQ(VmkSoundEstimate(&h, 25), 17640);
  VmkTrackFree(&t);
}
