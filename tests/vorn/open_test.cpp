// Opening Vorn files: revisions, flags, presets, track choice, buffers,
// open modes and refused headers.
#include <gtest/gtest.h>
#include <stdint.h>
#include <string.h>

#include <string>
#include <vector>

#include "test_util.h"
#include "vorn/alloc.h"
#include "vorn/vorn.h"
#include "vorn_file.h"

namespace {

TestVornFile SmallFile(uint32_t frames = 3) {
  TestVornFile f;
  for (uint32_t i = 0; i < frames; i++) f.frames.push_back(f.MakeFrame(64 + 16 * i, i));
  return f;
}

VornHandle* OpenMemory(const std::vector<uint8_t>& b, uint32_t flags = 0) {
  VornPresetMemorySize(b.size());
  return VornOpen((const char*)b.data(), VORN_OPEN_MEMORY | flags);
}

std::string WriteTemp(const std::vector<uint8_t>& b, const char* name = "t.vrn") {
  std::string path = TestTempDir() + "/" + name;
  EXPECT_TRUE(TestWriteFile(path, b.data(), b.size()));
  return path;
}

TEST(VornOpen, RevisionLetters) {
  struct Case {
    char letter;
    bool opens;
    uint32_t flags;
  } cases[] = {
      {'f', true, VORN_FLAG_OLD_CODING | VORN_FLAG_CB_FIRST},
      {'g', true, VORN_FLAG_OLD_CODING | VORN_FLAG_CB_FIRST},
      {'h', true, VORN_FLAG_OLD_CODING},
      {'i', true, 0},
      {'e', false, 0},
      {'j', false, 0},
      {'I', false, 0},
  };
  for (const Case& c : cases) {
    TestVornFile f = SmallFile();
    f.revision = c.letter;
    std::vector<uint8_t> b = f.Build();
    VornHandle* h = OpenMemory(b);
    EXPECT_EQ(h != nullptr, c.opens) << c.letter;
    if (h) {
      EXPECT_EQ(h->flags & (VORN_FLAG_OLD_CODING | VORN_FLAG_CB_FIRST), c.flags) << c.letter;
      VornClose(h);
    } else {
      EXPECT_STREQ(VornErrorText(), "Not a Vorn file.");
    }
  }
}

TEST(VornOpen, FrameCountZeroAndOne) {
  TestVornFile f = SmallFile(1);
  f.spareIndexEntries = 3;
  std::vector<uint8_t> b = f.Build();
  TestPut32(b, 8, 0);
  EXPECT_EQ(OpenMemory(b), nullptr);
  EXPECT_STREQ(VornErrorText(), "The file doesn't contain any compressed frames yet.");

  TestPut32(b, 8, 1);
  VornHandle* h = OpenMemory(b);
  ASSERT_NE(h, nullptr);
  EXPECT_STREQ(VornErrorText(), "");
  EXPECT_EQ(h->frames, 1u);
  EXPECT_EQ(h->frameNumber, 1u);
  EXPECT_EQ(VornDecodeFrame(h), 0u);
  VornAdvanceFrame(h);
  EXPECT_EQ(h->frameNumber, 1u);
  VornClose(h);
}

TEST(VornOpen, PictureBuffersAndGeometry) {
  TestVornFile f = SmallFile();
  f.width = 33;
  f.height = 17;
  f.videoFlags = VORN_VIDEO_ALPHA;
  for (bool allKey : {true, false}) {
    f.keys = {true, allKey, true};
    std::vector<uint8_t> b = f.Build();
    VornHandle* h = OpenMemory(b, VORN_OPEN_ALPHA);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(h->pitch, 48u);
    EXPECT_EQ(h->rows, 32u);
    EXPECT_EQ(h->chromaWidth, 24u);
    EXPECT_EQ(h->blockCount, 6u);
    EXPECT_EQ(h->allKey, allKey ? 1u : 0u);
    EXPECT_EQ(h->pictures[0] == h->pictures[1], allKey);
    EXPECT_EQ(h->alphas[0] == h->alphas[1], allKey);
    ASSERT_NE(h->alphas[0], nullptr);
    // Pictures start zero-filled; the block map ends in a 0 byte.
    for (uint32_t i = 0; i < VornPlanesBytes(h->pitch, h->rows); i++) ASSERT_EQ(h->pictures[0][i], 0);
    EXPECT_EQ(h->blockMap[h->blockCount], 0);
    VornClose(h);
  }
  // Alpha is decoded only when both the open and the file ask for it.
  f.videoFlags = 0;
  std::vector<uint8_t> b = f.Build();
  VornHandle* h = OpenMemory(b, VORN_OPEN_ALPHA);
  ASSERT_NE(h, nullptr);
  EXPECT_FALSE(h->flags & VORN_OPEN_ALPHA);
  EXPECT_EQ(h->alphas[0], nullptr);
  VornClose(h);
}

TEST(VornOpen, DisplayOptionAndOutputSize) {
  struct Case {
    uint32_t fileOption, openOption, width, height;
  } cases[] = {
      {1, 7, 16, 16}, {1, 0, 16, 32}, {1, 3, 32, 16}, {0, 4, 32, 32},
      {0, 5, 32, 32}, {2, 0, 16, 32}, {6, 0, 16, 16}, {7, 0, 16, 16},
  };
  for (const Case& c : cases) {
    TestVornFile f = SmallFile();
    f.videoFlags = VORN_OPEN_OPTION(c.fileOption);
    std::vector<uint8_t> b = f.Build();
    VornHandle* h = OpenMemory(b, VORN_OPEN_OPTION(c.openOption));
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(h->width, c.width) << c.fileOption << " " << c.openOption;
    EXPECT_EQ(h->height, c.height) << c.fileOption << " " << c.openOption;
    EXPECT_EQ(h->decodeWidth, 16u);
    VornClose(h);
  }
}

TEST(VornOpen, FrameRatePresetIsTakenOnce) {
  TestVornFile f = SmallFile();
  f.rate = 25;
  std::vector<uint8_t> b = f.Build();
  VornPresetFrameRate(50, 1);
  VornHandle* h = OpenMemory(b);  // without the flag the preset stays
  ASSERT_NE(h, nullptr);
  EXPECT_EQ(h->rate, 25u);
  VornClose(h);
  h = OpenMemory(b, VORN_OPEN_RATE);
  ASSERT_NE(h, nullptr);
  EXPECT_EQ(h->rate, 50u);
  EXPECT_EQ(h->fileRate, 25u);
  EXPECT_EQ(h->skipThreshold, 40u);
  VornClose(h);
  h = OpenMemory(b, VORN_OPEN_RATE);
  ASSERT_NE(h, nullptr);
  EXPECT_EQ(h->rate, 25u);
  VornClose(h);
}

// A sound back end that accepts every track and notes its format.
uint32_t g_soundRate, g_soundBits, g_soundChannels;
int g_soundCloses;
void FakeClose(VornSoundOut*) { g_soundCloses++; }
int FakeOpen(VornSoundOut* s, uint32_t rate, uint32_t bits, uint32_t channels, uint32_t, VornHandle*) {
  g_soundRate = rate;
  g_soundBits = bits;
  g_soundChannels = channels;
  s->close = FakeClose;
  s->latency = 250;
  return 1;
}
VornSoundTrackOpen FakeSystem(void*) { return FakeOpen; }

TEST(VornOpen, SoundTrackChoice) {
  ASSERT_TRUE(VornSelectSoundOutput(FakeSystem, nullptr));
  const uint32_t sound = VORN_TRACK_SOUND | VORN_TRACK_16BIT | VORN_TRACK_STEREO | 22050;
  struct Case {
    uint32_t id0, id1;
    int32_t preset;  // -2: open without VORN_OPEN_TRACK
    uint32_t format1;
    int32_t track;
  } cases[] = {
      {3, 7, 7, sound, 1},
      {3, 5, 7, sound, -1},
      {3, 7, -2, sound, 0},
      {3, 7, -1, sound, -1},
      {3, 7, 7, sound & ~VORN_TRACK_SOUND, -1},  // no sound in the chosen track
  };
  for (const Case& c : cases) {
    TestVornFile f = SmallFile();
    f.tracks = {{1000, sound, c.id0}, {1000, c.format1, c.id1}};
    f.frames.clear();
    for (uint32_t i = 0; i < 3; i++) f.frames.push_back(f.MakeFrame(64, i));
    std::vector<uint8_t> b = f.Build();
    if (c.preset != -2) VornPresetTrack(c.preset);
    int closes = g_soundCloses;
    VornHandle* h = OpenMemory(b, c.preset != -2 ? VORN_OPEN_TRACK : 0);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(h->soundTrack, c.track) << c.id1 << " " << c.preset;
    if (c.track >= 0) {
      EXPECT_EQ(h->soundRingSize, 1024u);
      // 750 ms less the back end's 250 ms of 22050 Hz 16-bit stereo.
      EXPECT_EQ(h->soundStartFill, 1024u);
      EXPECT_NE(h->thread, nullptr);
    }
    VornClose(h);
    EXPECT_EQ(g_soundCloses - closes, c.track >= 0 ? 1 : 0);
  }
  // Twice the frame rate opens the sound at twice the sample rate.
  TestVornFile f = SmallFile();
  f.rate = 15;
  f.tracks = {{100000, sound, 9}};
  f.frames.clear();
  for (uint32_t i = 0; i < 3; i++) f.frames.push_back(f.MakeFrame(64, i));
  std::vector<uint8_t> b = f.Build();
  VornPresetFrameRate(30, 1);
  VornHandle* h = OpenMemory(b, VORN_OPEN_RATE);
  ASSERT_NE(h, nullptr);
  EXPECT_EQ(g_soundRate, 44100u);
  EXPECT_EQ(g_soundBits, 16u);
  EXPECT_EQ(g_soundChannels, 2u);
  EXPECT_EQ(h->soundStartFill, 44100u * 4 / 2);
  VornClose(h);
  EXPECT_TRUE(!VornSelectSoundOutput(nullptr, nullptr));
}

TEST(VornOpen, MemoryIsUsedInPlaceAndNotFreed) {
  TestVornFile f = SmallFile();
  std::vector<uint8_t> b = f.Build();
  for (int round = 0; round < 2; round++) {
    VornHandle* h = OpenMemory(b);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(h->thread, nullptr);
    for (uint32_t n = 1; n <= 3; n++) {
      ASSERT_GE(h->frame, b.data());
      ASSERT_LE(h->frame + h->frameBytes, b.data() + b.size());
      EXPECT_EQ(h->frameBytes, f.frames[n - 1].size());
      EXPECT_EQ(memcmp(h->frame, f.frames[n - 1].data(), h->frameBytes), 0);
      VornAdvanceFrame(h);
    }
    VornClose(h);
  }
}

TEST(VornOpen, DescriptorWithBaseOffsetIsNotClosed) {
  TestVornFile f = SmallFile();
  std::vector<uint8_t> b = f.Build();
  std::vector<uint8_t> program(1000 + b.size(), 0x5A);
  memcpy(program.data() + 1000, b.data(), b.size());
  std::string path = WriteTemp(program, "prog.bin");
  PlatFile fd = PlatFileOpen(path.c_str(), PLAT_FILE_READ);
  ASSERT_NE(fd, PLAT_FILE_INVALID);
  ASSERT_EQ(PlatFileSeek(fd, 1000, 0), 1000);
  VornHandle* h = VornOpen(VORN_FD_NAME(fd), VORN_OPEN_HANDLE | VORN_OPEN_NOTHREAD);
  ASSERT_NE(h, nullptr) << VornErrorText();
  EXPECT_EQ(h->reader.baseOffset, 1000);
  for (uint32_t n = 1; n <= 3; n++) {
    ASSERT_EQ(h->frameBytes, f.frames[n - 1].size());
    EXPECT_EQ(memcmp(h->frame, f.frames[n - 1].data(), h->frameBytes), 0);
    VornAdvanceFrame(h);
  }
  VornClose(h);
  EXPECT_GE(PlatFileTell(fd), 0);  // still open
  PlatFileClose(fd);
}

// A custom reader over a vector, with the default reader's contract.
const std::vector<uint8_t>* g_custom;
uint32_t g_customPos;
uint32_t CustomRead(VornReader*, uint32_t offset, void* dst, uint32_t n) {
  if (offset != VORN_READ_HERE) g_customPos = offset;
  uint32_t left = g_customPos < g_custom->size() ? (uint32_t)g_custom->size() - g_customPos : 0;
  if (n > left) n = left;
  memcpy(dst, g_custom->data() + g_customPos, n);
  g_customPos += n;
  return n;
}
uint32_t CustomFrame(VornReader* r, uint32_t, uint32_t offset, void* dst, uint32_t n) {
  uint32_t got = CustomRead(r, offset, dst, n);
  if (got < n) r->readError = 1;
  return got;
}
uint32_t CustomSize(VornReader*, uint32_t n) { return (n + 4095) & ~4095u; }
void CustomInfo(VornReader*, uint8_t*, uint32_t, uint32_t, uint32_t) {}
int32_t CustomIdle(VornReader*) { return 0; }
void CustomClose(VornReader*) {}
int CustomOpen(VornReader* r, const char*, uint32_t) {
  r->readHeader = CustomRead;
  r->readFrame = CustomFrame;
  r->bufferSize = CustomSize;
  r->setInfo = CustomInfo;
  r->idle = CustomIdle;
  r->close = CustomClose;
  r->length = (int64_t)g_custom->size();
  return 1;
}

TEST(VornOpen, CustomReaderSlotIsEmptiedByEveryOpen) {
  TestVornFile f = SmallFile();
  std::vector<uint8_t> b = f.Build();
  g_custom = &b;
  VornSetCustomReader(CustomOpen);
  VornPresetReadBuffer(0);
  VornHandle* h = VornOpen("no such file", VORN_OPEN_CUSTOMIO | VORN_OPEN_IOSIZE | VORN_OPEN_NOTHREAD);
  ASSERT_NE(h, nullptr) << VornErrorText();
  EXPECT_EQ(h->reader.readFrame, CustomFrame);
  VornAdvanceFrame(h);
  ASSERT_EQ(h->frameBytes, f.frames[1].size());
  EXPECT_EQ(memcmp(h->frame, f.frames[1].data(), h->frameBytes), 0);
  VornClose(h);
  EXPECT_EQ(VornOpen("no such file", VORN_OPEN_CUSTOMIO), nullptr);
  EXPECT_STREQ(VornErrorText(), "Error opening file.");
}

// Allocations go through an installed pair when there is one; every block
// is 32-byte aligned and the pair sees as many frees as allocations.
int g_allocs, g_frees;
void* CountingAlloc(size_t n) {
  g_allocs++;
  return malloc(n);
}
void CountingFree(void* p) {
  g_frees++;
  free(p);
}

TEST(VornOpen, InstalledAllocatorAndAlignment) {
  TestVornFile f;
  for (uint32_t i = 0; i < 3; i++) f.frames.push_back(f.MakeFrame(8000, i));
  f.videoFlags = VORN_VIDEO_ALPHA;
  f.keys = {true, false, false};
  std::string path = WriteTemp(f.Build());
  VornSetMemory(CountingAlloc, CountingFree);
  g_allocs = g_frees = 0;
  VornPresetReadBuffer(4096);
  VornHandle* h = VornOpen(path.c_str(), VORN_OPEN_ALPHA | VORN_OPEN_IOSIZE);
  ASSERT_NE(h, nullptr) << VornErrorText();
  EXPECT_EQ((uintptr_t)h % 32, 0u);
  // Handle block, picture block, frame buffer and ring.
  EXPECT_EQ(g_allocs, 4);
  EXPECT_GT(h->totalMemory, (uint32_t)sizeof(VornHandle) + 2 * VornPlanesBytes(16, 16));
  VornClose(h);
  EXPECT_EQ(g_frees, g_allocs);
  VornSetMemory(nullptr, nullptr);
}

TEST(VornAlloc, GroupLayoutStaggersPieces) {
  VornGroup g;
  VornGroupStart(&g, 100);
  size_t sizes[] = {1024, 1024, 40, 0, 4096};
  for (size_t s : sizes) VornGroupAddPointer(&g, nullptr, s);
  size_t at[8];
  size_t total = VornGroupLayout(&g, at);
  // Main object rounded to 16 (112); then k = (T/32 - (S/32 mod 32) + 1) mod 32.
  EXPECT_EQ(at[0], 112u + 1 * 32);                     // T 0, S/32 32 -> k 1
  EXPECT_EQ(at[1], 112u + 1056 + 2 * 32);              // T 1056 (33) -> k 2
  EXPECT_EQ(at[2], 112u + 2144 + 3 * 32);              // T 2144 (67 mod 32 = 3), S/32 1 -> k 3
  EXPECT_EQ(at[3], 112u + 2288 + 8 * 32);              // T 2288 (71 -> 7) -> k 8
  EXPECT_EQ(at[4], 112u + 2544 + 16 * 32);             // T 2544 (79 -> 15), S/32 128 -> k 16
  EXPECT_EQ(total, 112u + 2544 + 16 * 32 + 4096);
  for (int i = 0; i < VORN_GROUP_MAX; i++) VornGroupAddPointer(&g, nullptr, 1);
  EXPECT_EQ(VornGroupLayout(&g, at), 0u);  // more than 128 pieces
}

// Headers that promise what no file can keep are refused with a reason.
TEST(VornOpen, RefusesImpossibleHeaders) {
  TestVornFile f = SmallFile();
  f.tracks = {{100, VORN_TRACK_SOUND | 22050, 1}};
  f.frames.clear();
  for (uint32_t i = 0; i < 3; i++) f.frames.push_back(f.MakeFrame(64, i));
  const std::vector<uint8_t> good = f.Build();
  const uint32_t index = 44 + 12;  // one track
  struct Case {
    const char* what;
    size_t at;
    uint32_t value;
    const char* error;
  } cases[] = {
      {"width 0", 20, 0, "The picture size in the file is out of range (1 to 16384 pixels)."},
      {"height 16385", 24, 16385, "The picture size in the file is out of range (1 to 16384 pixels)."},
      {"width 2^31", 20, 0x80000000u, "The picture size in the file is out of range (1 to 16384 pixels)."},
      {"rate divisor 0", 32, 0, "The frame rate in the file is out of range."},
      {"rate 4e9", 28, 4000000000u, "The frame rate in the file is out of range."},
      {"data size 2^32-1", 4, 0xFFFFFFFFu, "The data size in the file is out of range."},
      {"frames past the index", 8, 4, "The file has more frames than its frame index holds."},
      {"track count 2^30", 40, 0x40000000u, "The track count does not fit the file's size."},
      {"index entries 2^30", 16, 0x40000000u, "The frame index runs past the end of the file."},
      {"index into the header", index, 8 | 1, "The frame index points into the file's header."},
      {"index backwards", index + 8, 100, "The frame index goes backwards."},
      {"frame past the data", index + 12, 0x7FFFFFF0u, "A frame runs past the end of the data."},
      {"largest frame too small", 12, 63, "The largest-frame size in the file is smaller than a frame."},
      {"magic", 0, 0x12345678u, "Not a Vorn file."},
  };
  for (const Case& c : cases) {
    std::vector<uint8_t> b = good;
    TestPut32(b, c.at, c.value);
    EXPECT_EQ(OpenMemory(b), nullptr) << c.what;
    EXPECT_STREQ(VornErrorText(), c.error) << c.what;
    // The same from a file.
    std::string path = WriteTemp(b);
    EXPECT_EQ(VornOpen(path.c_str(), 0), nullptr) << c.what;
    EXPECT_STREQ(VornErrorText(), c.error) << c.what;
  }
  // A file cut inside its tables; memory sizes shorter than the header.
  std::vector<uint8_t> cut(good.begin(), good.begin() + index + 4);
  EXPECT_EQ(VornOpen(WriteTemp(cut).c_str(), 0), nullptr);
  EXPECT_STREQ(VornErrorText(), "The file ends before the end of its frame index.");
  EXPECT_EQ(OpenMemory(cut), nullptr);
  EXPECT_STREQ(VornErrorText(), "The file ends before the end of its frame index.");
  for (size_t size : {0, 20}) {
    VornPresetMemorySize(size);
    EXPECT_EQ(VornOpen((const char*)good.data(), VORN_OPEN_MEMORY), nullptr);
    EXPECT_STREQ(VornErrorText(), "Not a Vorn file.");
  }
  EXPECT_EQ(VornOpen("/nonexistent/x.vrn", 0), nullptr);
  EXPECT_STREQ(VornErrorText(), "Error opening file.");
}

// Per-frame damage: the frame is not decoded and decoding stops.
TEST(VornOpen, PacketsPastTheFrameStopDecoding) {
  TestVornFile f = SmallFile();
  f.tracks = {{100, VORN_TRACK_SOUND | 22050, 1}, {100, VORN_TRACK_SOUND | 22050, 2}};
  f.frames.clear();
  for (uint32_t i = 0; i < 3; i++) f.frames.push_back(f.MakeFrame(64, i));
  // Packet words (offset, value) written into frame 2 of 64 bytes.
  struct Case {
    uint32_t at0, value0, at1, value1;
  } cases[] = {
      {0, 61, 4, 0},           // first packet past the frame
      {0, 4, 8, 53},           // second packet one byte past the frame
      {0, 2, 4, 0},            // too short for its size word
      {0, 0xFFFFFFFFu, 4, 0},  // absurd size
  };
  for (const Case& c : cases) {
    TestVornFile g = f;
    memcpy(&g.frames[1][c.at0], &c.value0, 4);
    memcpy(&g.frames[1][c.at1], &c.value1, 4);
    std::vector<uint8_t> b = g.Build();
    VornHandle* h = OpenMemory(b);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(VornDecodeFrame(h), 0u);
    VornAdvanceFrame(h);
    EXPECT_EQ(VornDecodeFrame(h), 1u) << c.value0 << " " << c.value1;
    EXPECT_EQ(h->readError, 1u);
    VornAdvanceFrame(h);
    EXPECT_EQ(VornDecodeFrame(h), 1u);
    VornClose(h);
  }
}

}  // namespace
