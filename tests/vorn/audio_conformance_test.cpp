// Track 0 of every vector with sound, decoded packet by packet, against the
// expected 16-bit PCM.
#include <dirent.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <string>
#include <vector>

#include "test_util.h"
#include "vorn/audio.h"

namespace {

uint32_t Le32(const std::vector<unsigned char>& d, size_t at) {
  return d[at] | d[at + 1] << 8 | d[at + 2] << 16 | (uint32_t)d[at + 3] << 24;
}

// The samples of a WAV file's data chunk, with its rate and channels.
bool ReadWav(const std::vector<unsigned char>& d, uint32_t* rate, uint32_t* channels,
             std::vector<int16_t>* samples) {
  if (d.size() < 12 || memcmp(d.data(), "RIFF", 4) || memcmp(d.data() + 8, "WAVE", 4)) return false;
  bool fmt = false;
  for (size_t at = 12; at + 8 <= d.size();) {
    uint32_t size = Le32(d, at + 4);
    if (size > d.size() - at - 8) return false;
    if (!memcmp(d.data() + at, "fmt ", 4) && size >= 16) {
      *channels = d[at + 10] | d[at + 11] << 8;
      *rate = Le32(d, at + 12);
      fmt = (d[at + 22] | d[at + 23] << 8) == 16;
    } else if (!memcmp(d.data() + at, "data", 4)) {
      samples->resize(size / 2);
      memcpy(samples->data(), d.data() + at + 8, size / 2 * 2);
      return fmt;
    }
    at += 8 + size + (size & 1);
  }
  return false;
}

// Decodes track 0 of a Vorn file in frame order; false when the container
// does not hold together.
bool DecodeTrack0(const std::vector<unsigned char>& d, uint32_t* rate, uint32_t* channels,
                  std::vector<int16_t>* pcm, std::string* why) {
  if (d.size() < 44) return *why = "short header", false;
  const uint32_t frames = Le32(d, 8), entries = Le32(d, 16), tracks = Le32(d, 40);
  if (!tracks) return *why = "no tracks", false;
  const size_t indexAt = 44 + 12 * (size_t)tracks;
  if (frames > entries || indexAt + 4 * ((size_t)entries + 1) > d.size())
    return *why = "index past the end", false;
  const uint32_t format = Le32(d, 44 + 4 * tracks);
  *rate = format & 0xFFFF;
  *channels = format & 0x20000000 ? 2 : 1;
  VornAudio* a = VornAudioOpen(*rate, *channels, 1);
  if (!a) return *why = "decoder not opened", false;
  std::vector<uint8_t> buf;
  bool ok = true;
  for (uint32_t f = 0; f < frames && ok; f++) {
    const size_t start = Le32(d, indexAt + 4 * f) & ~1u;
    const size_t end = Le32(d, indexAt + 4 * (f + 1)) & ~1u;
    if (start + 4 > end || end > d.size()) {
      *why = "frame " + std::to_string(f) + " out of bounds";
      ok = false;
      break;
    }
    const uint32_t n = Le32(d, start);
    if (n > end - start - 4) {
      *why = "packet of frame " + std::to_string(f) + " past the frame";
      ok = false;
      break;
    }
    if (!n) continue;
    const uint32_t owed = n >= 4 ? Le32(d, start + 4) : 0;
    buf.assign(owed, 0);
    uint32_t got = VornAudioDecodePacket(a, d.data() + start + 4, n, buf.data(), owed);
    if (got != owed) {
      *why = "frame " + std::to_string(f) + ": " + std::to_string(got) + " of " +
             std::to_string(owed) + " bytes";
      ok = false;
    }
    size_t old = pcm->size();
    pcm->resize(old + got / 2);
    memcpy(pcm->data() + old, buf.data(), got / 2 * 2);
  }
  VornAudioClose(a);
  return ok;
}

TEST(VornAudioConformance, Track0MatchesWav) {
  const std::string dir = TestVectorsDir();
  if (dir.empty()) GTEST_SKIP() << "no vectors";
  DIR* dp = opendir((dir + "/vorn").c_str());
  if (!dp) GTEST_SKIP() << "no vorn vectors";
  std::vector<std::string> names;
  while (dirent* e = readdir(dp)) {
    std::string n = e->d_name;
    if (n.size() > 4 && n.compare(n.size() - 4, 4, ".wav") == 0)
      names.push_back(n.substr(0, n.size() - 4));
  }
  closedir(dp);
  std::sort(names.begin(), names.end());
  if (names.empty()) GTEST_SKIP() << "no vectors with sound";
  for (const std::string& name : names) {
    SCOPED_TRACE(name);
    const std::vector<unsigned char> vrn = TestReadFile(dir + "/vorn/" + name + ".vrn");
    const std::vector<unsigned char> wav = TestReadFile(dir + "/vorn/" + name + ".wav");
    if (vrn.empty()) continue;
    uint32_t wavRate = 0, wavChannels = 0;
    std::vector<int16_t> want, got;
    ASSERT_TRUE(ReadWav(wav, &wavRate, &wavChannels, &want));
    uint32_t rate = 0, channels = 0;
    std::string why;
    EXPECT_TRUE(DecodeTrack0(vrn, &rate, &channels, &got, &why)) << why;
    EXPECT_EQ(rate, wavRate);
    EXPECT_EQ(channels, wavChannels);
    ASSERT_EQ(got.size(), want.size());
    size_t bad = 0, first = 0;
    int worst = 0;
    for (size_t i = 0; i < got.size(); i++) {
      int diff = abs(got[i] - want[i]);
      if (diff > 2 && !bad++) first = i;
      worst = std::max(worst, diff);
    }
    EXPECT_EQ(bad, 0u) << "first at sample " << first << " (" << got[first] << " vs "
                       << want[first] << "), largest difference " << worst;
  }
}

}  // namespace
