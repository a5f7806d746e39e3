// Frame copy: converts a decoded picture (luma plane, two chroma planes, an
// optional alpha plane) into a caller's pixel buffer of one of fifteen pixel
// formats, at 1x or doubled width and height, in colour or grayscale.
//
// Picture buffer layout (one block): the luma plane, pitch P bytes, R rows;
// then the first chroma plane (P / 2 by R / 2), then the second. The first
// holds the red difference (V) and the second the blue difference (U); files
// of the oldest revisions store them the other way round and set
// VORN_COPY_EXCHANGE. Each chroma sample serves the 2 x 2 luma pixels above
// it. The alpha plane, when there is one, is a separate buffer of pitch P and
// R rows.
//
// Block map: one byte per 16 x 16 luma area, rows of P / 16 bytes, R / 16
// rows, then a terminating 0. A non-zero byte marks an area that changed.
#pragma once

#include <stddef.h>
#include <stdint.h>

// Copy flags. The handle's flags contribute the display option, the
// luminance-only bit (the same bit as grayscale) and the exchange bit.
#define VORN_COPY_FORMAT 0x0000000Fu    // pixel format code (below)
#define VORN_COPY_EXCHANGE 0x00010000u  // first chroma plane is Cb (older files): planes swapped for every output
#define VORN_COPY_GRAY 0x00020000u      // chroma ignored (YUV outputs get 128)
#define VORN_COPY_NO_SIMD 0x00040000u   // plain C++ converters only
#define VORN_COPY_NEVER_SKIP 0x00080000u  // never skip the copy when late (the caller's concern)
#define VORN_COPY_MODE 0x70000000u      // scaling mode, VORN_MODE_* << 28
#define VORN_COPY_MODE_SHIFT 28
#define VORN_COPY_WHOLE 0x80000000u     // convert everything, ignoring the block map

// Scaling modes (display options).
enum {
  VORN_MODE_NONE = 0,
  VORN_MODE_DOUBLE_HEIGHT = 1,      // every row written twice
  VORN_MODE_INTERLACE = 2,          // every row to every other output line
  VORN_MODE_DOUBLE_WIDTH = 3,       // every pixel written twice
  VORN_MODE_DOUBLE = 4,             // doubled width and height
  VORN_MODE_DOUBLE_INTERLACE = 5,   // doubled width, interlaced height
  VORN_MODE_HALF_INTERLACE = 6,     // 1x; only even source rows, onto their own lines
};

// Pixel formats (bytes per pixel; memory order).
enum {
  VORN_FMT_NONE = 0,       // nothing is copied
  VORN_FMT_BGR24 = 1,      // 3: blue, green, red
  VORN_FMT_RGB24 = 2,      // 3: red, green, blue
  VORN_FMT_BGR32 = 3,      // 4: blue, green, red, 0 (dword 0x00RRGGBB)
  VORN_FMT_RGB32 = 4,      // 4: red, green, blue, 0 (dword 0x00BBGGRR)
  VORN_FMT_BGRA32 = 5,     // as 3 with the alpha byte on top when there is alpha
  VORN_FMT_RGBA32 = 6,     // as 4 with the alpha byte on top when there is alpha
  VORN_FMT_ARGB4444 = 7,   // 2: red 4 at bit 8, green 4 at 4, blue 4 at 0, alpha 4 at 12
  VORN_FMT_ARGB1555 = 8,   // 2: 5-5-5, alpha's top bit at 15
  VORN_FMT_RGB555 = 9,     // 2: red 5 at 10, green 5 at 5, blue 5 at 0
  VORN_FMT_RGB565 = 10,    // 2: red 5 at 11, green 6 at 5, blue 5 at 0
  VORN_FMT_RGB556 = 11,    // 2: red 5 at 11, green 5 at 6, blue 6 at 0
  VORN_FMT_RGB466 = 12,    // 2: red 4 at 12, green 6 at 6, blue 6 at 0
  VORN_FMT_YUY2 = 13,      // 2: packed 4:2:2, Y0 U Y1 V
  VORN_FMT_UYVY = 14,      // 2: packed 4:2:2, U Y0 V Y1
  VORN_FMT_YV12 = 15,      // planar 4:2:0: Y, then V (pitch / 2), then U
};

// Bytes per pixel of a format code (0 for 0 and 15).
int32_t VornFormatBytes(uint32_t format);

// Converts a decoded picture into dest; this is the whole of the conversion
// step of VornCopyFrame, which passes its own arguments and the handle's
// newest picture through unchanged:
//
//   VornConvertFrame(dest, pitch, height, x, y, newestPicture,
//                    alphaDecoded ? newestAlpha : NULL, blockMap,
//                    decodeWidth, decodeHeight, lumaPitch, lumaRows,
//                    flags | (handleFlags & 0x70030000));
//
// dest, pitch, destHeight: the caller's buffer (pitch in bytes; negative for
// a bottom-up buffer, whose first line in memory is its last line on screen).
// x, y: where the picture's top-left output pixel lands (output pixels and
// lines). Output lines at or past destHeight are not written.
// alpha: the alpha plane or null; formats 5-8 use their alpha forms only with
// one. blockMap: null, or the decoder's map; only the marked 16 x 16 areas
// are converted (plus the columns and rows right and below the last whole
// areas), unless flags has VORN_COPY_WHOLE or every area is marked.
// width, height: picture size; pitch and rows of the luma plane (even, at
// least width and height).
// Format 15 lays the planes out in dest as luma (|pitch| x destHeight), then
// V and U (|pitch| / 2 x destHeight / 2 each); a negative pitch makes each of
// the three planes bottom-up. Its start is rounded up and its size down to
// even, and the scaling mode does not apply.
// Returns 1 when done (also for format 0), 0 for unusable arguments.
int32_t VornConvertFrame(uint8_t* dest, int32_t pitch, int32_t destHeight, int32_t x, int32_t y,
                         const uint8_t* picture, const uint8_t* alpha, const uint8_t* blockMap,
                         int32_t width, int32_t height, int32_t planePitch, int32_t planeRows,
                         uint32_t flags);

// Converts the source rectangle (sx, sy, width, height) of a picture to dest
// at output position (x, y): the rectangle's top-left pixel lands at byte
// x * bytes per pixel + y * pitch. pitch may be negative (rows then go up in
// memory). Nothing outside the rectangle's output area is written: the output
// covers width (doubled in modes 3-5) pixels and height lines (doubled in
// modes 1, 2, 4, 5; in modes 2 and 5 only every other one is written; in
// mode 6 only the lines of even source rows). destHeight: 0, or the number of
// lines from dest (counted the way pitch goes); lines at or past it are not
// written. Format 15 needs it: its chroma planes follow |pitch| x destHeight
// and |pitch| / 2 x destHeight / 2 bytes after dest, and a negative pitch
// makes each plane bottom-up as in VornConvertFrame.
// Returns 1, or 0 for unusable arguments.
int32_t VornConvertRect(uint8_t* dest, int32_t x, int32_t y, int32_t pitch, int32_t destHeight,
                        const uint8_t* picture, const uint8_t* alpha, int32_t sx, int32_t sy,
                        int32_t width, int32_t height, int32_t planePitch, int32_t planeRows,
                        uint32_t flags);

#ifdef __cplusplus
extern "C" {
#endif

// The 32-bit conversion as korutil exports it. YUV_init builds the tables and
// probes the processor; conversions do it themselves on first use, so calling
// it is optional. The tables of every format are built at once, so a format
// code (or -1) changes nothing.
void YUV_init(int32_t format);
// Rectangle conversion to format 3 (YUV_blit_32bpp) or 5 (YUV_blit_32abpp,
// with the alpha byte on top; a null alpha plane gives format 3). The format
// bits of flags are ignored; the other copy flags apply. A bottom-up buffer
// is passed as a pointer to the rectangle's first output line with a
// negative pitch. Returns 1, or 0 for unusable arguments.
int32_t YUV_blit_32bpp(void* dest, int32_t x, int32_t y, int32_t pitch, const void* planes,
                       int32_t sx, int32_t sy, int32_t width, int32_t height, int32_t planePitch,
                       int32_t planeRows, uint32_t flags);
int32_t YUV_blit_32abpp(void* dest, int32_t x, int32_t y, int32_t pitch, const void* planes,
                        int32_t sx, int32_t sy, int32_t width, int32_t height, int32_t planePitch,
                        int32_t planeRows, const void* alpha, uint32_t flags);

#ifdef __cplusplus
}
#endif
