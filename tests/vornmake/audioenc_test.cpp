// The sound encoder against the kit's decoder: field widths, block
// accounting, the perceptual model's rules and the quality of the result.
#include <gtest/gtest.h>
#include <math.h>
#include <string.h>

#include <vector>

#include "sound_signals.h"
#include "test_util.h"
#include "vorn/audio.h"
#include "vornmake/audioenc.h"
#include "vornmake/audiopsy.h"

// Encodes pcm block by block and decodes every block as a packet walker
// would; returns the decoded sound (as long as the input) and the coded
// bytes in *coded.
static std::vector<int16_t> RoundTrip(const std::vector<int16_t>& pcm, uint32_t rate,
                                      uint32_t channels, int32_t quality, size_t* coded = nullptr) {
  VmkAudioEnc* e = VmkAudioEncOpen(rate, channels);
  VornAudio* d = VornAudioOpen(rate, channels, 1);
  EXPECT_TRUE(e && d);
  std::vector<int16_t> out;
  size_t at = 0, bytes = 0;
  const size_t total = pcm.size() * 2;
  uint64_t accounted = 0;
  while (accounted < total) {
    uint32_t room;
    int16_t* in = VmkAudioEncInput(e, &room);
    uint32_t put = (uint32_t)std::min<size_t>(room, total - at * 2);
    memcpy(in, pcm.data() + at, put);
    at += put / 2;
    uint32_t length, pcmBytes;
    const uint8_t* block = VmkAudioEncBlock(e, quality, put, &length, &pcmBytes);
    EXPECT_EQ(length % 4, 0u);
    EXPECT_LE(length, e->outputSize);
    bytes += length;
    uint32_t decoded = 0, overrun = 1;
    const uint8_t* next = nullptr;
    const int16_t* s = VornAudioDecodeBlock(d, block, block + length, &decoded, &next, &overrun);
    EXPECT_EQ(overrun, 0u);
    EXPECT_EQ(next, block + length);  // the decoder ends where the block does
    uint32_t keep = std::min<uint64_t>(pcmBytes, total - accounted);
    out.insert(out.end(), s, s + keep / 2);
    accounted += keep;
    if (!pcmBytes) break;
  }
  VmkAudioEncClose(e);
  VornAudioClose(d);
  if (coded) *coded = bytes;
  return out;
}

TEST(AudioEncoder, PackedFloatsAndScalesFitTheirFields) {
  EXPECT_EQ(VmkAudioPackFloat(1.0f), 0x08000001u);
  EXPECT_EQ(VmkAudioPackFloat(-1.0f), 0x18000001u);
  EXPECT_EQ(VmkAudioPackFloat(0.0f), 0u);
  const float values[] = {1000.f, 0.3f, -0.75f, 12345.678f, 4194303.9f, 8388607.f, 1e9f, -1e9f,
                          1023.6f, 1023.4f, 0.49999f};
  for (float v : values) {
    const uint32_t p = VmkAudioPackFloat(v);
    EXPECT_EQ(p >> 29, 0u) << v;
    EXPECT_LE(p & 31, 23u) << v;
    const float back = VornAudioUnpackFloat(p);
    const float want = fabsf(v) > 8388607.f ? copysignf(8388607.f, v) : v;
    EXPECT_NEAR(back, want, fabsf(want) * 2e-7f + 1e-6f) << v;
  }
  EXPECT_EQ(VmkAudioScaleOf(0.5f), 0u);
  EXPECT_EQ(VmkAudioScaleOf(1.0f), 0u);
  EXPECT_EQ(VmkAudioScaleOf(17592186044416.f), 199u);  // 2^44, the largest step
  for (uint32_t q = 0; q < 200; q++) EXPECT_EQ(VmkAudioScaleOf(VornAudioBandScale(q)), q);
}

TEST(AudioEncoder, PerceptualModelRules) {
  // Quality 3 starts each band at half its threshold in quiet (at least 1);
  // a band with no masking allowance keeps that step.
  const float v[4] = {3, -2, 1, 0};
  for (int j = 0; j < 25; j++) {
    const float s = std::max(1.0f, 0.5f * VmkPsyQuiet[j]);
    EXPECT_EQ(VmkAudioStepSearch(v, 4, s, 0), s);
  }
  // The step grows while the noise stays below the allowance.
  const float loud[8] = {1000, -900, 850, 20, -700, 400, 5, 300};
  const float big = VmkAudioStepSearch(loud, 8, 1, 1e6f);
  const float small = VmkAudioStepSearch(loud, 8, 1, 1e3f);
  EXPECT_GT(big, small);
  EXPECT_GT(small, 1);
  // Tonality: flat noise is 0-ish, a line spectrum 1.
  std::vector<float> flat(512, 4.0f), line(512, 1e-6f);
  line[40] = 1e9f;
  EXPECT_LT(VmkPsyTonality(flat.data(), 512), 0.01f);
  EXPECT_EQ(VmkPsyTonality(line.data(), 512), 1.0f);
}

TEST(AudioEncoder, StepsFallByAtMostAFifthAndScalesNeverNegative) {
  VmkAudioEnc* e = VmkAudioEncOpen(44100, 1);
  ASSERT_TRUE(e);
  std::vector<int16_t> loud = MakeSound(SOUND_NOISE_BURSTS, 44100, 1, 2048, 3);
  for (auto& s : loud) s = (int16_t)(s * 2);
  float last[25];
  for (int b = 0; b < 4; b++) {
    uint32_t room, len, pcm;
    int16_t* in = VmkAudioEncInput(e, &room);
    // Loud, then silence: the floor holds the steps up.
    if (b < 2)
      memcpy(in, loud.data(), room);
    else
      memset(in, 0, room);
    VmkAudioEncBlock(e, 0, room, &len, &pcm);
    for (uint32_t j = 0; j < e->geo.bands; j++) {
      const float used = VornAudioBandScale(e->scales[j]);
      // The coded scale is within half a scale unit (a factor 1.08).
      if (b) {
        EXPECT_GE(used * 1.08f, 0.8f * last[j]) << "block " << b << " band " << j;
      }
      last[j] = e->steps[j];
    }
  }
  VmkAudioEncClose(e);
}

TEST(AudioEncoder, WidestValuesFitTheBlockAndTheDecoderWalksIt) {
  // Widths 0 to 15 in runs of every length and a short last unit.
  std::vector<int16_t> c(4094);
  uint32_t seed = 7;
  for (size_t i = 0; i < c.size(); i++) {
    seed = seed * 1103515245u + 12345u;
    const int w = (int)((i / 40) % 16);
    const int32_t m = w ? (int32_t)((seed >> 8) & ((1u << w) - 1)) : 0;
    c[i] = (int16_t)(seed & 0x80000000u ? -m : m);
  }
  c[100] = 32767;
  c[101] = -32767;
  c[4093] = -32767;
  std::vector<int16_t> widest(4094, -32767);
  for (const std::vector<int16_t>* v : {&c, &widest}) {
    std::vector<uint32_t> words(VmkAudioBlockBound(4096) / 4 + 4);
    // DC, Nyquist, 25 scales of 0 (step 1), then the groups.
    const uint64_t end = VmkAudioPutGroups(words.data(), 58 + 200, v->data(), 4094);
    const uint32_t bytes = (uint32_t)((end + 31) / 32 * 4);
    ASSERT_LE(bytes, VmkAudioBlockBound(4096));
    VornAudio* d = VornAudioOpen(44100, 2, 1);
    const uint8_t* next = nullptr;
    uint32_t overrun = 1;
    const uint8_t* data = (const uint8_t*)words.data();
    VornAudioDecodeBlock(d, data, data + bytes, nullptr, &next, &overrun);
    EXPECT_EQ(overrun, 0u);
    EXPECT_EQ(next, data + bytes);
    VornAudioClose(d);
  }
}

// The quality kor uses unless told otherwise.
enum { kDefaultQuality = 1 };

static const char* KindName(SoundKind k) {
  return k == SOUND_TONES ? "tones" : k == SOUND_CHORDS ? "chords" : "noise bursts";
}

static void ExpectSnr(const char* what, const std::vector<int16_t>& pcm, uint32_t rate,
                      uint32_t channels, double floor) {
  size_t coded = 0;
  std::vector<int16_t> out = RoundTrip(pcm, rate, channels, kDefaultQuality, &coded);
  ASSERT_EQ(out.size(), pcm.size());
  const double snr = SoundSnr(pcm.data(), out.data(), 0, pcm.size());
  printf("  %-12s %5u Hz %s: SNR %5.1f dB (floor %4.1f), %4.1f:1\n", what, rate,
         channels == 2 ? "stereo" : "mono  ", snr, floor, pcm.size() * 2.0 / coded);
  EXPECT_GE(snr, floor) << what << " " << rate << " Hz, " << channels << " channels";
}

TEST(AudioEncoder, RoundTripStaysCloseToTheSource) {
  struct Case {
    SoundKind kind;
    uint32_t rate, channels;
    double floor;  // dB
  };
  static const Case cases[] = {
      {SOUND_TONES, 11025, 1, 17},        {SOUND_TONES, 22050, 2, 21},
      {SOUND_TONES, 44100, 1, 17},        {SOUND_TONES, 48000, 2, 22},
      {SOUND_CHORDS, 11025, 2, 18},       {SOUND_CHORDS, 22050, 1, 15},
      {SOUND_CHORDS, 32000, 2, 18},       {SOUND_CHORDS, 44100, 2, 18},
      {SOUND_CHORDS, 48000, 1, 15},       {SOUND_NOISE_BURSTS, 11025, 1, 9.5},
      {SOUND_NOISE_BURSTS, 22050, 2, 11}, {SOUND_NOISE_BURSTS, 44100, 2, 11},
      {SOUND_NOISE_BURSTS, 48000, 1, 10.5},
  };
  for (const Case& c : cases)
    ExpectSnr(KindName(c.kind), MakeSound(c.kind, c.rate, c.channels, c.rate * 2), c.rate,
              c.channels, c.floor);
}

// A voice spoken by espeak-ng (22050 Hz mono), also taken to 11025 Hz and to
// 44100 Hz stereo.
TEST(AudioEncoder, SpeechStaysCloseToTheSource) {
  if (system("command -v espeak-ng >/dev/null 2>&1") != 0) GTEST_SKIP() << "espeak-ng is not installed";
  const std::string dir = TestTempDir();
  const std::string wav = dir + "/voice.wav";
  const std::string cmd = "espeak-ng -w '" + wav +
                          "' 'The quick brown fox jumps over the lazy dog. Seven silver swans sing softly.' "
                          ">/dev/null 2>&1";
  ASSERT_EQ(system(cmd.c_str()), 0);
  TestWav w;
  ASSERT_TRUE(TestReadWav(TestReadFile(wav), &w));
  ASSERT_EQ(w.bits, 16u);
  ASSERT_EQ(w.channels, 1u);
  std::vector<int16_t> voice(w.data.size() / 2);
  memcpy(voice.data(), w.data.data(), voice.size() * 2);
  ExpectSnr("speech", voice, w.rate, 1, 16);
  std::vector<int16_t> half(voice.size() / 2), wide(voice.size() * 4);
  for (size_t i = 0; i < half.size(); i++) half[i] = (int16_t)((voice[2 * i] + voice[2 * i + 1]) / 2);
  for (size_t i = 0; i < voice.size(); i++) {
    const int next = i + 1 < voice.size() ? voice[i + 1] : voice[i];
    wide[4 * i] = wide[4 * i + 1] = voice[i];
    wide[4 * i + 2] = (int16_t)((voice[i] + next) / 2);
    wide[4 * i + 3] = (int16_t)(wide[4 * i + 2] * 3 / 4);
  }
  ExpectSnr("speech", half, w.rate / 2, 1, 16);
  ExpectSnr("speech", wide, w.rate * 2, 2, 16);
}
