// Frame copy internals: conversion tables, the per-call context, the row
// converters (plain C++, SSE2, AVX2) and the drivers that walk a rectangle.
#pragma once

#include <stdint.h>

#include "vorn/convert.h"

// Colour tables, built once. The clamp table is indexed from -512 to 767.
struct VornConvTables {
  int16_t luma[256];     // (clamp(y - 16, 0, 219) * 38154) >> 15
  int16_t red[256];      // 52299 * (v - 128) / 32768, truncated
  int16_t greenV[256];   // -26639 * (v - 128) / 32768
  int16_t greenU[256];   // -12837 * (u - 128) / 32768
  int16_t blue[256];     // 66101 * (u - 128) / 32768
  uint8_t gray[256];     // 0 to 16, 255 from 235, else (y - 16) * 255 / 219
  uint8_t clampBase[1280];
  const uint8_t* clamp;  // clampBase + 512
  // 16-bit layouts (formats 7 to 12): value 0-255 placed in the top, middle
  // and bottom field; alpha4 and alpha1 the alpha bits of formats 7 and 8.
  uint16_t field[6][3][256];
  uint16_t alpha4[256];
  uint16_t alpha1[256];
};
const VornConvTables* VornConvGetTables(void);

// 16-bit layouts of formats 7 to 12: widths of the top (red), middle (green)
// and bottom (blue) field, and the top field's position.
static const uint8_t kVornLayouts[6][4] = {
    {4, 4, 4, 8}, {5, 5, 5, 10}, {5, 5, 5, 10}, {5, 6, 5, 11}, {5, 5, 6, 11}, {4, 6, 6, 12},
};

// Kinds of pixel writer.
enum { VORN_KIND_RGB24, VORN_KIND_RGB32, VORN_KIND_RGB16, VORN_KIND_YUV };

// What one conversion call writes; fixed for the call.
struct VornConvCtx {
  uint8_t kind;    // VORN_KIND_*
  uint8_t bpp;     // bytes per output pixel
  uint8_t wide;    // every source pixel written twice
  uint8_t gray;    // chroma ignored
  uint8_t swapRB;  // RGB: red in the low byte / bottom field (order R, G, B)
  uint8_t alpha;   // RGB32: alpha byte on top; RGB16: alpha bits (4 or 1); else 0
  uint8_t uyvy;    // YUV: chroma byte before luma
  uint8_t layout;  // RGB16: 0-5 for formats 7-12
  // RGB16 fields: widths of the top, middle and bottom field; the top's
  // position (the middle sits at botBits).
  uint8_t topBits, midBits, botBits, topPos;
  const VornConvTables* t;
};

// One run of one or two source rows (same chroma row) into their output rows.
struct VornRowArgs {
  uint8_t* d0;         // output of row 0
  uint8_t* d1;         // output of row 1; null for a single row
  const uint8_t* y0;
  const uint8_t* y1;
  const uint8_t* cv;   // RGB: red-difference chroma; YUV: chroma of the odd output slot
  const uint8_t* cu;   // RGB: blue-difference chroma; YUV: chroma of the even output slot
  const uint8_t* a0;   // alpha rows (null without alpha)
  const uint8_t* a1;
  int32_t n;           // source pixels
  uint8_t odd;         // the first pixel is the right one of its chroma pair
  uint8_t xodd;        // YUV: the first output pixel is at an odd column
};

// A row converter: converts a leading part of the run and returns its pixel
// count. SIMD converters need odd = 0, do whole groups only and return a
// multiple of 2; the plain converter does everything.
typedef int32_t (*VornRowFn)(const VornConvCtx* ctx, const VornRowArgs* a);

struct VornConvBackend {
  const char* name;
  VornRowFn row;
  uint8_t id;  // index of its line-writer tuning records
};

int32_t VornConvRowRef(const VornConvCtx* ctx, const VornRowArgs* a);
int32_t VornConvRowSse2(const VornConvCtx* ctx, const VornRowArgs* a);
int32_t VornConvRowAvx2(const VornConvCtx* ctx, const VornRowArgs* a);

const VornConvBackend* VornConvBackendRef(void);
const VornConvBackend* VornConvBackendSse2(void);  // null without SSE2
const VornConvBackend* VornConvBackendAvx2(void);  // null without AVX2
// The backend a conversion with these flags uses.
const VornConvBackend* VornConvBackendFor(uint32_t flags);

// VornConvertFrame and VornConvertRect with a chosen backend.
int32_t VornConvertFrameWith(const VornConvBackend* be, uint8_t* dest, int32_t pitch,
                             int32_t destHeight, int32_t x, int32_t y, const uint8_t* picture,
                             const uint8_t* alpha, const uint8_t* blockMap, int32_t width,
                             int32_t height, int32_t planePitch, int32_t planeRows,
                             uint32_t flags);
int32_t VornConvertRectWith(const VornConvBackend* be, uint8_t* dest, int32_t x, int32_t y,
                            int32_t pitch, int32_t destHeight, const uint8_t* picture,
                            const uint8_t* alpha, int32_t sx, int32_t sy, int32_t width,
                            int32_t height, int32_t planePitch, int32_t planeRows,
                            uint32_t flags);

// Doubled-height line writer: -1 tunes (default), 0 always converts each row
// twice, 1 always converts into a line buffer and copies it to both lines.
void VornConvSetLineWriter(int32_t choice);
