#include "clips.h"

#include <string.h>

#include "test_util.h"
#include "vorn/expand.h"
#include "vorn/vorn.h"
#include "vornmake/vornmake.h"

static uint32_t Hash(uint32_t x) {
  x ^= x >> 16;
  x *= 0x7feb352d;
  x ^= x >> 15;
  x *= 0x846ca68b;
  x ^= x >> 16;
  return x;
}

// Background texture at integer world coordinates.
static uint8_t Texture(int x, int y, uint32_t seed, int channel, uint32_t noise) {
  uint32_t h = Hash((uint32_t)x * 73856093u ^ (uint32_t)y * 19349663u ^ (seed * 83492791u) ^ (uint32_t)channel);
  if (!noise) {
    // Soft waves.
    int v = 128 + ((x * 5 + channel * 30) % 200 - 100) * ((y * 3) % 64) / 64;
    return (uint8_t)(v < 0 ? 0 : v > 255 ? 255 : v);
  }
  int stripes = ((x + 2 * y) / 6) & 1 ? 60 : 0;
  int smooth = (x * 3 + y * 2 + channel * 40) & 255;
  return (uint8_t)((smooth + stripes + (int)(h % (noise + 1))) & 255);
}

std::vector<TestPicture> TestClip(uint32_t width, uint32_t height, uint32_t frames, int dx, int dy,
                                  uint32_t seed, uint32_t noise) {
  std::vector<TestPicture> clip(frames);
  for (uint32_t f = 0; f < frames; f++) {
    TestPicture& p = clip[f];
    p.width = width;
    p.height = height;
    p.bgra.resize((size_t)width * height * 4);
    const int sx = (int)(f * 3) % (int)(width + 8), sy = (int)(f * 2) % (int)(height + 8);
    for (uint32_t y = 0; y < height; y++)
      for (uint32_t x = 0; x < width; x++) {
        uint8_t* px = &p.bgra[((size_t)y * width + x) * 4];
        int wx = (int)x + dx * (int)f, wy = (int)y + dy * (int)f;
        for (int c = 0; c < 3; c++) px[c] = Texture(wx, wy, seed, c, noise);
        // A flat square moving over the background.
        if ((int)x >= sx - 4 && (int)x < sx + 8 && (int)y >= sy - 4 && (int)y < sy + 6) {
          px[0] = 30;
          px[1] = (uint8_t)(200 - f);
          px[2] = 240;
        }
        // A gradient band that fades in.
        if (y < height / 4) px[1] = (uint8_t)((x * 255 / (width ? width : 1) + f * 5) & 255);
        px[3] = (uint8_t)((x * 8 + y * 4 + f * 16) & 255);
      }
  }
  return clip;
}

struct Capture {
  std::vector<TestPlanes> frames;
};

static void Hook(void* user, uint32_t frame, const VmkPlane* recon, uint32_t planes) {
  Capture* c = (Capture*)user;
  if (c->frames.size() <= frame) c->frames.resize(frame + 1);
  for (uint32_t p = 0; p < planes; p++)
    c->frames[frame].plane[p].assign(recon[p].data, recon[p].data + (size_t)recon[p].width * recon[p].height);
}

std::vector<TestPlanes> TestEncodeClip(const std::string& path, const std::vector<TestPicture>& clip,
                                       const TestEncode& e) {
  if (clip.empty()) return {};
  const uint32_t frames = e.frames ? e.frames : (uint32_t)clip.size();
  VornMakeHandle* h = VornMake(path.c_str(), (int32_t)clip[0].width * 4, (int32_t)clip[0].width,
                               clip[0].height, frames, e.keyInterval, e.mode, e.rateNum, e.rateDen, 0,
                               nullptr, e.window, nullptr);
  if (!h) return {};
  Capture cap;
  h->frameHook = Hook;
  h->frameHookUser = &cap;
  for (const TestPicture& p : clip)
    VornMakePutVideo(h, e.target, e.maximum, 0, e.levels, e.soften, p.bgra.data());
  VornMakeClose(h, 0);
  return cap.frames;
}

static uint32_t Le32(const uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | (uint32_t)p[3] << 24; }

bool TestDecodeFile(const std::string& path, TestDecoded* out) {
  std::vector<uint8_t> f = TestReadFile(path);
  if (f.size() < 44 || memcmp(f.data(), "VRNi", 4)) return false;
  TestDecoded& d = *out;
  d.frames = Le32(&f[8]);
  d.declared = Le32(&f[16]);
  d.width = Le32(&f[20]);
  d.height = Le32(&f[24]);
  d.rateNum = Le32(&f[28]);
  d.rateDen = Le32(&f[32]);
  d.flags = Le32(&f[36]);
  d.tracks = Le32(&f[40]);
  const size_t indexAt = 44 + 12 * (size_t)d.tracks;
  if (f.size() < indexAt + 4 * ((size_t)d.declared + 1)) return false;
  d.index.resize(d.declared + 1);
  for (uint32_t i = 0; i <= d.declared; i++) d.index[i] = Le32(&f[indexAt + 4 * i]);
  const uint32_t cw = ((d.width + 1) / 2 + 7) & ~7u, ch = ((d.height + 1) / 2 + 7) & ~7u;
  const uint32_t P = 2 * cw, R = 2 * ch, pw = (d.width + 7) & ~7u, ph = (d.height + 7) & ~7u;
  const size_t picture = (size_t)P * R + 2 * (size_t)cw * ch;
  std::vector<uint8_t> pic[2], alpha[2];
  for (int i = 0; i < 2; i++) {
    pic[i].assign(picture, 0);
    alpha[i].assign((size_t)P * R, 0);
  }
  uint32_t sizes[9];
  ExpandBundleSizes(sizes, P);
  std::vector<std::vector<uint8_t>> bundleMem(9);
  uint8_t* bundles[9];
  for (int i = 0; i < 9; i++) {
    bundleMem[i].resize(sizes[i]);
    bundles[i] = bundleMem[i].data();
  }
  std::vector<uint8_t> map((P / 16) * (R / 16) + 1);
  const uint32_t grey = d.flags & 0x20000, hasAlpha = d.flags & 0x100000;
  const uint32_t handleFlags = grey | hasAlpha;
  int cur = 0;
  d.planes.clear();
  for (uint32_t i = 0; i < d.frames; i++) {
    const uint32_t start = d.index[i] & ~1u, end = d.index[i + 1] & ~1u;
    if (end < start || end > f.size()) return false;
    size_t pos = start;
    for (uint32_t t = 0; t < d.tracks; t++) {
      if (pos + 4 > end) return false;
      pos += 4 + Le32(&f[pos]);
    }
    if (pos > end) return false;
    const int next = cur ^ 1;
    memset(map.data(), 0, map.size());
    ExpandVorn(pic[next].data(), pic[cur].data(), alpha[next].data(), alpha[cur].data(), map.data(), d.width,
               d.height, P, R, &f[pos], d.index[i] & 1, bundles, handleFlags, d.flags, (uint32_t)(end - pos));
    cur = next;
    TestPlanes tp;
    tp.plane[VMK_Y].resize((size_t)pw * ph);
    tp.plane[VMK_ALPHA].resize((size_t)pw * ph);
    for (uint32_t y = 0; y < ph; y++) {
      memcpy(&tp.plane[VMK_Y][(size_t)y * pw], &pic[cur][(size_t)y * P], pw);
      memcpy(&tp.plane[VMK_ALPHA][(size_t)y * pw], &alpha[cur][(size_t)y * P], pw);
    }
    if (!hasAlpha) tp.plane[VMK_ALPHA].clear();
    if (!grey) {
      const uint8_t* c0 = pic[cur].data() + (size_t)P * R;
      const uint8_t* c1 = c0 + (size_t)cw * ch;
      tp.plane[VMK_CR].assign(c0, c0 + (size_t)cw * ch);
      tp.plane[VMK_CB].assign(c1, c1 + (size_t)cw * ch);
    }
    d.planes.push_back(tp);
  }
  return true;
}

bool TestOpenFile(const std::string& path, std::vector<TestPlanes>* out) {
  VornHandle* h = VornOpen(path.c_str(), VORN_OPEN_NOTHREAD | VORN_OPEN_ALPHA | VORN_OPEN_OPTION(7));
  if (!h) return false;
  const uint32_t pw = (h->decodeWidth + 7) & ~7u, ph = (h->decodeHeight + 7) & ~7u;
  const uint32_t cw = h->pitch / 2, ch = h->rows / 2;
  out->clear();
  for (uint32_t n = 1; n <= h->frames; n++) {
    if (n > 1) VornAdvanceFrame(h);
    if (VornDecodeFrame(h)) {
      VornClose(h);
      return false;
    }
    TestPlanes tp;
    const uint8_t* pic = VornCurrentPlanes(h);
    const uint8_t* alpha = VornCurrentAlpha(h);
    for (uint32_t y = 0; y < ph; y++) {
      tp.plane[VMK_Y].insert(tp.plane[VMK_Y].end(), pic + (size_t)y * h->pitch, pic + (size_t)y * h->pitch + pw);
      if (alpha)
        tp.plane[VMK_ALPHA].insert(tp.plane[VMK_ALPHA].end(), alpha + (size_t)y * h->pitch,
                                   alpha + (size_t)y * h->pitch + pw);
    }
    if (!(h->flags & VORN_OPEN_GRAY)) {
      const uint8_t* c0 = pic + (size_t)h->pitch * h->rows;
      tp.plane[VMK_CR].assign(c0, c0 + (size_t)cw * ch);
      tp.plane[VMK_CB].assign(c0 + (size_t)cw * ch, c0 + 2 * (size_t)cw * ch);
    }
    out->push_back(tp);
  }
  VornClose(h);
  return true;
}
