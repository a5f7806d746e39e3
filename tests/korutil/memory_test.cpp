#include <gtest/gtest.h>
#include <limits.h>
#include <string.h>

#include <string>

#include "korutil/korutil.h"
#include "platform/plat.h"

static int g_boxes;
static std::string g_caption, g_text;
static unsigned g_flags;
static int CaptureBox(const char* caption, const char* text, unsigned flags) {
  g_boxes++;
  g_caption = caption;
  g_text = text;
  g_flags = flags;
  return PLAT_ID_OK;
}

TEST(Memory, AlignedBlocks) {
  for (int32_t n : {1, 31, 32, 33, 4096}) {
    uint8_t* p = (uint8_t*)kormalloc(n);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ((uintptr_t)p % 32, 0u);
    memset(p, 0xAB, (size_t)n);
    korfree(p);
  }
  korfree(nullptr);
}

TEST(Memory, FailuresAndTheBox) {
  PlatMessageBoxHook old = PlatMessageBoxSetHook(CaptureBox);
  g_boxes = 0;
  EXPECT_EQ(kormalloc(0), nullptr);
  EXPECT_EQ(kormalloc(-1), nullptr);
  EXPECT_EQ(g_boxes, 0);
  // -32 would wrap the size with the 32 extra bytes to 0; negative counts
  // fail like exhaustion, one box per call.
  for (int32_t n : {-32, -2, INT_MIN}) EXPECT_EQ(kormalloc(n), nullptr) << n;
  EXPECT_EQ(g_boxes, 3);
  EXPECT_EQ(g_caption, "Memory Error");
  EXPECT_EQ(g_text, "Error: ran out of memory!");
  EXPECT_EQ(g_flags & 0xF0, (unsigned)PLAT_MB_ICONERROR);
  PlatMessageBoxSetHook(old);
}
