// Makes the end card: a one-key-frame 224 x 252 revision "i" Vorn file,
// written as a C++ source of its bytes. The picture (a title card) is drawn
// with the built-in font, converted to YUV and coded block by block as fill,
// pattern or raw blocks; every tree is the plain 4-bit code.
#include <stdio.h>
#include <stdint.h>
#include <string.h>

#include <vector>

#include "vorn/tables.h"
#include "vornplay/endcard.h"
#include "vornplay/font.h"

namespace {

const int kW = VORN_END_CARD_WIDTH, kH = VORN_END_CARD_HEIGHT;
const uint32_t kFileBytes = 14848;

// ---------------------------------------------------------------- picture
struct Rgb {
  int r, g, b;
};

struct Picture {
  // RGB pixels over the decoded area (rows past the picture repeat the
  // background).
  std::vector<uint32_t> px;
  int w, h;
};

uint32_t Pack(Rgb c) { return (uint32_t)c.r << 16 | (uint32_t)c.g << 8 | (uint32_t)c.b; }

void Text(Picture& p, int y, const char* s, int scale, Rgb c) {
  int x = (kW - PlayerTextWidth(s, scale) + scale) / 2;
  PlayerTextDraw(p.px.data(), p.w, p.w, p.h, x, y, s, scale, Pack(c), 0xFFFFFFFFu);
}

void Bar(Picture& p, int x0, int y0, int x1, int y1, Rgb c) {
  for (int y = y0; y < y1; y++)
    for (int x = x0; x < x1; x++) p.px[(size_t)y * p.w + x] = Pack(c);
}

// Text sits inside 16-row bands of one background colour, so that every
// 8 x 8 luma block and every chroma block holds at most two values.
Picture Draw() {
  Picture p;
  p.w = 224;
  p.h = 256;
  p.px.resize((size_t)p.w * p.h);
  for (int y = 0; y < p.h; y++) {
    int band = y / 16;  // 0..15: navy fading to near black
    Rgb c = {18 - band, 28 - band, 74 - 3 * band};
    for (int x = 0; x < p.w; x++) p.px[(size_t)y * p.w + x] = Pack(c);
  }
  Text(p, 32, "KOR", 6, {250, 250, 250});
  Bar(p, 40, 96, 184, 100, {255, 150, 20});
  Text(p, 112, "VIDEO TOOL KIT", 2, {140, 200, 255});
  Text(p, 144, "Vorn Video Player", 1, {200, 200, 210});
  Text(p, 160, "vornplay 1.0q", 1, {150, 150, 165});
  Text(p, 224, "click for the web page", 1, {255, 190, 90});
  return p;
}

// BT.601 studio range.
void ToYuv(uint32_t rgb, int* y, int* u, int* v) {
  double r = (rgb >> 16 & 255) / 255.0, g = (rgb >> 8 & 255) / 255.0, b = (rgb & 255) / 255.0;
  *y = (int)(16 + 65.481 * r + 128.553 * g + 24.966 * b + 0.5);
  *u = (int)(128 - 37.797 * r - 74.203 * g + 112.0 * b + 0.5);
  *v = (int)(128 + 112.0 * r - 93.786 * g - 18.214 * b + 0.5);
}

// ---------------------------------------------------------------- bits
struct BitWriter {
  std::vector<uint8_t> bytes;
  uint64_t acc = 0;
  int n = 0;
  void Put(uint32_t value, int bits) {
    for (int i = 0; i < bits; i++) {
      acc |= (uint64_t)(value >> i & 1) << n;
      if (++n == 32) Flush();
    }
  }
  void Flush() {
    for (int i = 0; i < 4; i++) bytes.push_back((uint8_t)(acc >> (8 * i)));
    acc = 0;
    n = 0;
  }
  void Align() {
    if (n) Flush();
  }
  void Symbol(int s) { Put(kVornCodes[0][s].bits, kVornCodes[0][s].length); }
};

int BitLength(uint32_t v) {
  int n = 0;
  while (v) {
    n++;
    v >>= 1;
  }
  return n;
}

// ---------------------------------------------------------------- plane
enum { kTypes, kSubTypes, kColours, kPatterns, kXOff, kYOff, kIntraDc, kInterDc, kRuns, kBundles };

struct Plane {
  const uint8_t* s;  // samples, pitch w
  int w, h;          // decoded size (multiples of 8)
};

// Values each bundle takes, row by row.
struct RowValues {
  std::vector<int> v[kBundles];
};

void CodePlane(BitWriter& bw, const Plane& p) {
  int blocks = p.w / 8, rows = p.h / 8;
  std::vector<RowValues> perRow(rows);
  for (int by = 0; by < rows; by++) {
    RowValues& rv = perRow[by];
    for (int bx = 0; bx < blocks; bx++) {
      int vals[64];
      for (int i = 0; i < 64; i++) vals[i] = p.s[(size_t)(by * 8 + i / 8) * p.w + bx * 8 + i % 8];
      int c0 = vals[0], c1 = -1, distinct = 1;
      for (int i = 1; i < 64; i++)
        if (vals[i] != c0 && vals[i] != c1) {
          if (c1 < 0) {
            c1 = vals[i];
            distinct = 2;
          } else {
            distinct = 3;
          }
        }
      if (distinct == 1) {
        rv.v[kTypes].push_back(6);
        rv.v[kColours].push_back(c0);
      } else if (distinct == 2) {
        rv.v[kTypes].push_back(8);
        rv.v[kColours].push_back(c0);
        rv.v[kColours].push_back(c1);
        for (int r = 0; r < 8; r++) {
          int m = 0;
          for (int i = 0; i < 8; i++)
            if (vals[r * 8 + i] == c1) m |= 1 << i;
          rv.v[kPatterns].push_back(m);
        }
      } else {
        rv.v[kTypes].push_back(9);
        for (int i = 0; i < 64; i++) rv.v[kColours].push_back(vals[i]);
      }
    }
  }
  // Tree descriptions: tree 0, identity, for types, sub-types, 16 high
  // nibbles, colours, patterns, X, Y, runs.
  for (int i = 0; i < 23; i++) bw.Put(0, 4);
  static const int kPerBlock[kBundles] = {1, 1, 64, 8, 1, 1, 1, 1, 48};
  int left[kBundles] = {};
  bool done[kBundles] = {};
  for (int by = 0; by < rows; by++) {
    for (int b = 0; b < kBundles; b++) {
      if (left[b] > 0 || done[b]) continue;
      int width = b == kSubTypes ? p.w / 2 : p.w;
      uint32_t cap = 511 + (uint32_t)kPerBlock[b] * (width / 8);
      int bits = BitLength(cap);
      // Whole rows from this one while they fit.
      std::vector<int> chunk;
      for (int r = by; r < rows; r++) {
        const std::vector<int>& v = perRow[r].v[b];
        if (chunk.size() + v.size() > cap) break;
        chunk.insert(chunk.end(), v.begin(), v.end());
      }
      bw.Put((uint32_t)chunk.size(), bits);
      if (chunk.empty()) {
        done[b] = true;
        continue;
      }
      left[b] = (int)chunk.size();
      bool same = true;
      for (int x : chunk) same &= x == chunk[0];
      if (b == kTypes) {
        bw.Put(same, 1);
        if (same) {
          bw.Put((uint32_t)chunk[0], 4);
        } else {
          for (int x : chunk) bw.Symbol(x);
        }
      } else if (b == kColours) {
        bw.Put(same, 1);
        for (size_t i = 0; i < (same ? 1 : chunk.size()); i++) {
          bw.Symbol(chunk[i] >> 4);
          bw.Symbol(chunk[i] & 15);
        }
      } else if (b == kPatterns) {
        for (int x : chunk) {
          bw.Symbol(x & 15);
          bw.Symbol(x >> 4);
        }
      }
    }
    for (int b = 0; b < kBundles; b++) left[b] -= (int)perRow[by].v[b].size();
  }
  bw.Align();
}

void Put32(std::vector<uint8_t>& f, size_t at, uint32_t v) {
  for (int i = 0; i < 4; i++) f[at + i] = (uint8_t)(v >> (8 * i));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  Picture pic = Draw();
  const int lw = 224, lh = 256, cw = 112, ch = 128;
  std::vector<uint8_t> y(lw * lh), u(cw * ch), v(cw * ch);
  for (int j = 0; j < lh; j++)
    for (int i = 0; i < lw; i++) {
      int yy, uu, vv;
      ToYuv(pic.px[(size_t)j * lw + i], &yy, &uu, &vv);
      y[(size_t)j * lw + i] = (uint8_t)yy;
      // Each chroma sample takes its top-left pixel's colour.
      if (!(i & 1) && !(j & 1)) {
        u[(size_t)(j / 2) * cw + i / 2] = (uint8_t)uu;
        v[(size_t)(j / 2) * cw + i / 2] = (uint8_t)vv;
      }
    }
  BitWriter luma, chroma;
  CodePlane(luma, Plane{y.data(), lw, lh});
  CodePlane(chroma, Plane{v.data(), cw, ch});  // Cr first, then Cb
  CodePlane(chroma, Plane{u.data(), cw, ch});

  const uint32_t frameAt = 44 + 8;
  std::vector<uint8_t> file(frameAt);
  memcpy(file.data(), "VRNi", 4);
  std::vector<uint8_t> frame(4);
  Put32(frame, 0, (uint32_t)(4 + luma.bytes.size()));
  frame.insert(frame.end(), luma.bytes.begin(), luma.bytes.end());
  frame.insert(frame.end(), chroma.bytes.begin(), chroma.bytes.end());
  if (frameAt + frame.size() > kFileBytes) {
    fprintf(stderr, "endcard_gen: the picture takes %zu bytes, more than %u\n", frameAt + frame.size(), kFileBytes);
    return 1;
  }
  frame.resize(kFileBytes - frameAt, 0);  // spare bytes after the planes
  file.insert(file.end(), frame.begin(), frame.end());
  Put32(file, 4, kFileBytes - 8);
  Put32(file, 8, 1);                          // frames
  Put32(file, 12, (uint32_t)frame.size());    // largest frame
  Put32(file, 16, 1);                         // index entries
  Put32(file, 20, kW);
  Put32(file, 24, kH);
  Put32(file, 28, 10);
  Put32(file, 32, 1);
  Put32(file, 36, 0);                         // video flags
  Put32(file, 40, 0);                         // tracks
  Put32(file, 44, frameAt | 1);               // frame 1, key
  Put32(file, 48, kFileBytes);

  FILE* f = fopen(argv[1], "w");
  if (!f) return 1;
  fprintf(f, "// Made by endcard_gen.\n#include \"vornplay/endcard.h\"\n\nconst uint8_t kVornEndCard[] = {\n");
  for (size_t i = 0; i < file.size(); i++)
    fprintf(f, "%s0x%02x,%s", i % 16 ? "" : "  ", file[i], i % 16 == 15 ? "\n" : " ");
  fprintf(f, "};\nconst size_t kVornEndCardBytes = %zu;\n", file.size());
  return fclose(f) == 0 ? 0 : 1;
}
