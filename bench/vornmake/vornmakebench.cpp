// vornmakebench: encoding speed and quality on generated clips that move
// like real video (pans and zooms over textured scenes), at 640 x 480 and
// 1280 x 720 and a few data rates. Prints frames per second on 1 and 2
// threads, PSNR of Y, Cb and Cr against the encoder's prepared planes, and
// how far frames went over their maximum.
//
// usage: vornmakebench [--frames N] [--sizes vga,720p] [--rates R1,R2] [--runs N]
//                      [--stages] [--out DIR] [--save DIR] [--no-vp8]
// Where vpxenc and vpxdec are installed (Debian's vpx-tools), each clip is
// also encoded as VP8 at the same data rate and measured the same way.
//        (--vectors DIR is accepted and ignored)
#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/plat.h"
#include "vornmake/prepare.h"
#include "vornmake/vmk.h"
#include "vornmake/vornmake.h"

namespace {

// ---------------------------------------------------------------- scenes

uint32_t Hash(uint32_t x) {
  x ^= x >> 16;
  x *= 0x7feb352d;
  x ^= x >> 15;
  x *= 0x846ca68b;
  x ^= x >> 16;
  return x;
}

float Lattice(int x, int y, uint32_t seed) { return (Hash((uint32_t)x * 73856093u ^ (uint32_t)y * 19349663u ^ seed) & 0xFFFF) / 65535.0f; }

float ValueNoise(float x, float y, uint32_t seed) {
  int x0 = (int)floorf(x), y0 = (int)floorf(y);
  float fx = x - x0, fy = y - y0;
  fx = fx * fx * (3 - 2 * fx);
  fy = fy * fy * (3 - 2 * fy);
  float a = Lattice(x0, y0, seed), b = Lattice(x0 + 1, y0, seed), c = Lattice(x0, y0 + 1, seed),
        d = Lattice(x0 + 1, y0 + 1, seed);
  return (a + (b - a) * fx) + ((c + (d - c) * fx) - (a + (b - a) * fx)) * fy;
}

float Fbm(float x, float y, uint32_t seed, int octaves) {
  float v = 0, amp = 0.5f;
  for (int o = 0; o < octaves; o++) {
    v += amp * ValueNoise(x, y, seed + (uint32_t)o * 101);
    x *= 2.03f;
    y *= 2.03f;
    amp *= 0.5f;
  }
  return v;
}

// A landscape: sky with clouds, hills with grass texture, houses with
// windows and sharp edges, a lake. RGB, 3 bytes per pixel.
struct Scene {
  uint32_t w, h;
  std::vector<uint8_t> rgb;
};

Scene MakeScene(uint32_t w, uint32_t h, uint32_t seed) {
  Scene s{w, h, std::vector<uint8_t>((size_t)w * h * 3)};
  const float horizon = h * 0.42f;
  for (uint32_t y = 0; y < h; y++)
    for (uint32_t x = 0; x < w; x++) {
      float r, g, b;
      float hill = horizon + h * 0.12f * (Fbm(x / 180.0f, 0.5f, seed, 4) - 0.5f) * 2;
      if (y < hill) {
        float t = y / hill, cloud = Fbm(x / 90.0f, y / 45.0f, seed + 7, 5);
        cloud = cloud > 0.55f ? (cloud - 0.55f) * 2.5f : 0;
        r = 90 + 80 * t + 150 * cloud;
        g = 140 + 60 * t + 120 * cloud;
        b = 230 - 20 * t + 25 * cloud;
      } else {
        float n = Fbm(x / 60.0f, y / 60.0f, seed + 3, 5), grain = Lattice((int)x, (int)y, seed + 11);
        r = 60 + 70 * n + 30 * grain;
        g = 110 + 80 * n + 40 * grain;
        b = 40 + 30 * n + 20 * grain;
        if (y > h * 0.78f && Fbm(x / 300.0f, y / 80.0f, seed + 5, 3) > 0.55f) {  // a lake
          float ripple = sinf(x * 0.15f + y * 0.9f) * 12;
          r = 40 + ripple;
          g = 80 + ripple;
          b = 150 + ripple;
        }
      }
      uint8_t* p = &s.rgb[((size_t)y * w + x) * 3];
      p[0] = (uint8_t)std::clamp(r, 0.0f, 255.0f);
      p[1] = (uint8_t)std::clamp(g, 0.0f, 255.0f);
      p[2] = (uint8_t)std::clamp(b, 0.0f, 255.0f);
    }
  // Houses: walls, roofs and windows.
  for (int i = 0; i < 40; i++) {
    uint32_t hs = Hash(seed * 977 + (uint32_t)i);
    int bw = 30 + (int)(hs % 70), bh = 25 + (int)((hs >> 8) % 60);
    int bx = (int)((hs >> 16) % (w - (uint32_t)bw)), by = (int)(horizon + (Hash(hs) % (uint32_t)(h * 0.45f)));
    uint8_t wall[3] = {(uint8_t)(150 + hs % 100), (uint8_t)(120 + (hs >> 4) % 90), (uint8_t)(90 + (hs >> 12) % 80)};
    for (int y = by; y < by + bh && y < (int)h; y++)
      for (int x = bx; x < bx + bw; x++) {
        uint8_t* p = &s.rgb[((size_t)y * w + (uint32_t)x) * 3];
        bool window = ((x - bx) % 12 > 3 && (x - bx) % 12 < 9 && (y - by) % 14 > 4 && (y - by) % 14 < 11);
        for (int c = 0; c < 3; c++) p[c] = window ? (uint8_t)(40 + 30 * c) : wall[c];
      }
    for (int y = by - bw / 3; y < by && y >= 0; y++) {  // roof
      int half = (by - y) * 3 / 2;
      for (int x = bx + half; x < bx + bw - half; x++) {
        uint8_t* p = &s.rgb[((size_t)y * w + (uint32_t)x) * 3];
        p[0] = 170;
        p[1] = 50;
        p[2] = 40;
      }
    }
  }
  return s;
}

// Frame t of a camera that pans across the scene and zooms in and out,
// sampled bilinearly into blue, green, red, alpha pixels.
void Camera(const Scene& s, uint32_t w, uint32_t h, uint32_t t, uint8_t* bgra) {
  const float zoom = 1.0f + 0.25f * sinf(t * 0.07f);
  const float cx = s.w * 0.5f + (s.w * 0.25f) * sinf(t * 0.013f) + t * 1.7f - 30;
  const float cy = s.h * 0.5f + (s.h * 0.12f) * sinf(t * 0.021f);
  for (uint32_t y = 0; y < h; y++)
    for (uint32_t x = 0; x < w; x++) {
      float sx = cx + ((float)x - w * 0.5f) / zoom, sy = cy + ((float)y - h * 0.5f) / zoom;
      sx = std::clamp(sx, 0.0f, (float)s.w - 2);
      sy = std::clamp(sy, 0.0f, (float)s.h - 2);
      int x0 = (int)sx, y0 = (int)sy;
      float fx = sx - x0, fy = sy - y0;
      const uint8_t* a = &s.rgb[((size_t)y0 * s.w + (uint32_t)x0) * 3];
      const uint8_t* c = a + (size_t)s.w * 3;
      uint8_t* p = bgra + ((size_t)y * w + x) * 4;
      for (int k = 0; k < 3; k++) {
        float top = a[k] + (a[k + 3] - a[k]) * fx, bottom = c[k] + (c[k + 3] - c[k]) * fx;
        p[2 - k] = (uint8_t)(top + (bottom - top) * fy + 0.5f);
      }
      p[3] = 255;
    }
}

// ---------------------------------------------------------------- runs

struct Quality {
  double se[3] = {0, 0, 0};
  uint64_t n[3] = {0, 0, 0};
  std::vector<uint8_t> src[3];  // prepared planes of the frame in flight
  std::vector<std::vector<uint8_t>> prepared[3];
  uint32_t w, h;
  std::vector<uint32_t> lastStep;  // per frame, bytes
  VornMakeHandle* handle;
  bool keep;  // keep the reconstructions
  std::vector<std::vector<uint8_t>> recon[3];
  uint64_t stageUs[VMK_STAGES];
};

// Keeps a copy of each reconstruction; the comparison runs after the timed
// calls.
void Hook(void* user, uint32_t frame, const VmkPlane* recon, uint32_t) {
  Quality* q = (Quality*)user;
  q->lastStep[frame] = q->handle->lastStep;
  memcpy(q->stageUs, q->handle->stageUs, sizeof q->stageUs);
  if (!q->keep) return;
  const int planes[3] = {VMK_Y, VMK_CB, VMK_CR};
  for (int i = 0; i < 3; i++)
    q->recon[i][frame].assign(recon[planes[i]].data,
                              recon[planes[i]].data + (size_t)recon[planes[i]].width * recon[planes[i]].height);
}

void Measure(Quality* q, uint32_t frames, uint32_t pitchY, uint32_t pitchC) {
  for (uint32_t f = 0; f < frames; f++)
    for (int i = 0; i < 3; i++) {
      const uint32_t pw = i ? pitchC : pitchY;
      const uint32_t w = i ? (q->w + 1) / 2 : q->w, h = i ? (q->h + 1) / 2 : q->h;
      const std::vector<uint8_t>& s = q->prepared[i][f];
      const std::vector<uint8_t>& r = q->recon[i][f];
      if (r.empty()) continue;
      for (uint32_t y = 0; y < h; y++)
        for (uint32_t x = 0; x < w; x++) {
          int d = s[(size_t)y * pw + x] - r[(size_t)y * pw + x];
          q->se[i] += d * d;
        }
      q->n[i] += (uint64_t)w * h;
    }
}

uint64_t CpuUs() {
  timespec t;
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return (uint64_t)t.tv_sec * 1000000 + (uint64_t)t.tv_nsec / 1000;
}

struct Result {
  double fps;
  double cpuMs;  // processor time per frame, all threads
  double psnr[3];
  double bytesPerFrame;
  uint32_t overMax;     // frames whose record exceeds the maximum
  uint32_t worstOver;   // bytes over the maximum, worst frame
  uint32_t overStep;    // frames over the maximum by more than their last allocation step
  double stageMs[VMK_STAGES];  // wall time per frame in each stage
  // The prepared planes (quality runs): Y, Cb, Cr per frame, padded pitch.
  std::vector<std::vector<uint8_t>> prepared[3];
  uint32_t pitchY, pitchC;
  std::vector<uint8_t> file;
};

Result Encode(const Scene& scene, uint32_t w, uint32_t h, uint32_t frames, uint32_t rate, uint32_t threads,
              const std::string& path, bool quality) {
  Result r{};
  VornMakeSetMaxCPUs(threads);
  const uint32_t target = rate / 25, maximum = 2 * target;
  VornMakeHandle* hd =
      VornMake(path.c_str(), (int32_t)w * 4, (int32_t)w, h, frames, 250, 0, 25, 1, 0, nullptr, 16, nullptr);
  if (!hd) {
    fprintf(stderr, "vornmakebench: cannot create %s\n", path.c_str());
    exit(1);
  }
  Quality q;
  q.w = w;
  q.h = h;
  q.handle = hd;
  q.keep = quality;
  q.lastStep.assign(frames, 0);
  for (auto& r : q.recon) r.resize(frames);
  for (auto& p : q.prepared) p.resize(frames);
  hd->frameHook = Hook;
  hd->frameHookUser = &q;
  VmkPrepareGeometry g = {w, h, (int32_t)w * 4, 0, w, h, hd->paddedWidth, hd->paddedHeight, hd->chromaWidth,
                          hd->chromaHeight};
  std::vector<uint8_t> bgra((size_t)w * h * 4), s0(bgra.size()), s1(bgra.size());
  uint64_t spent = 0, cpu = 0;
  for (uint32_t t = 0; t < frames; t++) {
    Camera(scene, w, h, t, bgra.data());
    if (quality) {
      std::vector<uint8_t> y((size_t)hd->paddedWidth * hd->paddedHeight), a(y.size());
      std::vector<uint8_t> cr((size_t)hd->chromaWidth * hd->chromaHeight), cb(cr.size());
      VmkPrepare(&g, bgra.data(), 0, 0, y.data(), cr.data(), cb.data(), a.data(), s0.data(), s1.data());
      q.prepared[0][t] = std::move(y);
      q.prepared[1][t] = std::move(cb);
      q.prepared[2][t] = std::move(cr);
    }
    uint64_t t0 = PlatClockUs(), c0 = CpuUs();
    VornMakePutVideo(hd, target, maximum, 0, 0, 0, bgra.data());
    spent += PlatClockUs() - t0;
    cpu += CpuUs() - c0;
  }
  uint64_t t0 = PlatClockUs(), c0 = CpuUs();
  const uint32_t pitchY = hd->paddedWidth, pitchC = hd->chromaWidth;
  VornMakeClose(hd, 0);
  spent += PlatClockUs() - t0;
  cpu += CpuUs() - c0;
  r.fps = frames / (spent / 1e6);
  if (quality) Measure(&q, frames, pitchY, pitchC);
  r.pitchY = pitchY;
  r.pitchC = pitchC;
  if (quality)
    for (int i = 0; i < 3; i++) r.prepared[i] = std::move(q.prepared[i]);
  r.cpuMs = cpu / 1000.0 / frames;
  for (int i = 0; i < VMK_STAGES; i++) r.stageMs[i] = q.stageUs[i] / 1000.0 / frames;
  for (int i = 0; i < 3; i++) r.psnr[i] = q.n[i] ? 10 * log10(255.0 * 255.0 * q.n[i] / std::max(q.se[i], 1e-9)) : 0;
  FILE* f = fopen(path.c_str(), "rb");
  if (f) {
    fseek(f, 0, SEEK_END);
    r.file.resize((size_t)ftell(f));
    fseek(f, 0, SEEK_SET);
    if (fread(r.file.data(), 1, r.file.size(), f) != r.file.size()) r.file.clear();
    fclose(f);
  }
  if (r.file.size() >= 44 + 4 * ((size_t)frames + 1)) {
    auto le = [&](size_t at) { return (uint32_t)r.file[at] | r.file[at + 1] << 8 | r.file[at + 2] << 16 | (uint32_t)r.file[at + 3] << 24; };
    uint64_t total = 0;
    for (uint32_t i = 0; i < frames; i++) {
      uint32_t size = (le(44 + 4 * (i + 1)) & ~1u) - (le(44 + 4 * i) & ~1u);
      total += size;
      if (size > maximum) {
        r.overMax++;
        r.worstOver = std::max(r.worstOver, size - maximum);
        if (quality && size - maximum > q.lastStep[i]) r.overStep++;
      }
    }
    r.bytesPerFrame = (double)total / frames;
  }
  unlink(path.c_str());
  return r;
}

// ---------------------------------------------------------------- VP8

// The prepared planes as a YUV4MPEG2 file (4:2:0, U = Cb, V = Cr).
bool WriteY4m(const std::string& path, const Result& r, uint32_t w, uint32_t h, uint32_t frames) {
  FILE* f = fopen(path.c_str(), "wb");
  if (!f) return false;
  fprintf(f, "YUV4MPEG2 W%u H%u F25:1 Ip A1:1 C420jpeg\n", w, h);
  for (uint32_t t = 0; t < frames; t++) {
    fputs("FRAME\n", f);
    for (int i = 0; i < 3; i++) {
      const uint32_t pw = i ? r.pitchC : r.pitchY, cw = i ? (w + 1) / 2 : w, ch = i ? (h + 1) / 2 : h;
      for (uint32_t y = 0; y < ch; y++) fwrite(&r.prepared[i][t][(size_t)y * pw], 1, cw, f);
    }
  }
  return fclose(f) == 0;
}

struct Vp8 {
  bool ok = false;
  double fps = 0, psnr[3] = {0, 0, 0}, bytesPerFrame = 0;
};

// Encodes the y4m file with vpxenc (VP8, good quality, speed 4, one pass,
// constant bit rate at the same data rate, 2 threads), decodes it with
// vpxdec and measures PSNR against the same planes as ours.
Vp8 RunVp8(const std::string& dir, const Result& r, uint32_t w, uint32_t h, uint32_t frames, uint32_t rate) {
  Vp8 v;
  const std::string base = dir + "/vornmakebench-" + std::to_string(getpid());
  const std::string y4m = base + ".y4m", ivf = base + ".ivf", yuv = base + ".yuv";
  if (!WriteY4m(y4m, r, w, h, frames)) return v;
  const std::string enc = "vpxenc --codec=vp8 --good --cpu-used=4 --passes=1 --end-usage=cbr --threads=2 "
                          "--target-bitrate=" + std::to_string(rate * 8 / 1000) + " -q -o " + ivf + " " + y4m +
                          " 2>/dev/null";
  const uint64_t t0 = PlatClockUs();
  const int rc = system(enc.c_str());
  const double seconds = (PlatClockUs() - t0) / 1e6;
  if (rc == 0 && system(("vpxdec --i420 -o " + yuv + " " + ivf + " 2>/dev/null").c_str()) == 0) {
    FILE* f = fopen(yuv.c_str(), "rb");
    FILE* g = fopen(ivf.c_str(), "rb");
    const uint32_t cw = (w + 1) / 2, ch = (h + 1) / 2;
    std::vector<uint8_t> pic((size_t)w * h + 2 * (size_t)cw * ch);
    double se[3] = {0, 0, 0};
    uint32_t got = 0;
    while (f && got < frames && fread(pic.data(), 1, pic.size(), f) == pic.size()) {
      const uint8_t* plane = pic.data();
      for (int i = 0; i < 3; i++) {
        const uint32_t pw = i ? r.pitchC : r.pitchY, pwid = i ? cw : w, pht = i ? ch : h;
        for (uint32_t y = 0; y < pht; y++)
          for (uint32_t x = 0; x < pwid; x++) {
            const int d = r.prepared[i][got][(size_t)y * pw + x] - plane[(size_t)y * pwid + x];
            se[i] += d * d;
          }
        plane += (size_t)pwid * pht;
      }
      got++;
    }
    if (got == frames && g) {
      fseek(g, 0, SEEK_END);
      const long size = ftell(g);
      v.ok = true;
      v.fps = frames / seconds;
      v.bytesPerFrame = (double)(size - 32 - 12 * (long)frames) / frames;
      for (int i = 0; i < 3; i++) {
        const double n = (double)frames * (i ? (double)cw * ch : (double)w * h);
        v.psnr[i] = 10 * log10(255.0 * 255.0 * n / std::max(se[i], 1e-9));
      }
    }
    if (f) fclose(f);
    if (g) fclose(g);
  }
  unlink(y4m.c_str());
  unlink(ivf.c_str());
  unlink(yuv.c_str());
  return v;
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  const size_t n = v.size();
  return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

const char* const kStageNames[VMK_STAGES] = {"prepare", "rate",  "scratch", "colour", "analysis",
                                             "alloc",   "merge", "write",   "record"};

}  // namespace

int main(int argc, char** argv) {
  uint32_t frames = 20, runs = 1;
  bool stages = false, vp8 = true;
  std::string sizes = "vga,720p", dir = "/tmp", rates, save;
  for (int i = 1; i < argc; i++) {
    if (!strcmp(argv[i], "--frames") && i + 1 < argc) frames = (uint32_t)atoi(argv[++i]);
    else if (!strcmp(argv[i], "--sizes") && i + 1 < argc) sizes = argv[++i];
    else if (!strcmp(argv[i], "--rates") && i + 1 < argc) rates = std::string(",") + argv[++i] + ",";
    else if (!strcmp(argv[i], "--runs") && i + 1 < argc) runs = (uint32_t)atoi(argv[++i]);
    else if (!strcmp(argv[i], "--stages")) stages = true;
    else if (!strcmp(argv[i], "--no-vp8")) vp8 = false;
    else if (!strcmp(argv[i], "--save") && i + 1 < argc) save = argv[++i];
    else if (!strcmp(argv[i], "--out") && i + 1 < argc) dir = argv[++i];
    else if (!strcmp(argv[i], "--vectors") && i + 1 < argc) i++;
    else {
      fprintf(stderr,
              "usage: vornmakebench [--frames N] [--sizes vga,720p] [--rates R1,R2] [--runs N] [--stages] "
              "[--out DIR] [--save DIR] [--no-vp8]\n");
      return 2;
    }
  }
  if (frames < 2) frames = 2;
  if (runs < 1) runs = 1;
  const struct {
    const char* name;
    uint32_t w, h;
    uint32_t rates[3];
  } configs[] = {{"vga", 640, 480, {150000, 400000, 1000000}}, {"720p", 1280, 720, {400000, 1200000, 3000000}}};
  printf("%u frames at 25 fps, window 16; rate in bytes per second; maximum = 2 x the per-frame share\n", frames);
  if (runs > 1) printf("fps and cpu ms/frame: medians of %u runs each\n", runs);
  if (vp8 && system("vpxenc --help > /dev/null 2>&1") != 0) {
    printf("(vpxenc not found: no VP8 comparison; apt-get install vpx-tools adds it)\n");
    vp8 = false;
  }
  if (vp8)
    printf("VP8 rows: vpxenc --codec=vp8 --good --cpu-used=4 --passes=1 --end-usage=cbr --threads=2 at the same\n"
           "rate, decoded with vpxdec --i420, PSNR against the same planes; fps = frames / vpxenc's wall time\n");
  printf("%-5s %8s %9s %9s %6s %8s %8s %7s %7s %7s %10s %9s %9s %s\n", "size", "rate", "fps 1thr", "fps 2thr",
         "ratio", "cpu ms/f", "cpu 2thr", "PSNR Y", "PSNR Cb", "PSNR Cr", "bytes/frm", "over max", "over step",
         "same file");
  for (const auto& c : configs) {
    if (sizes.find(c.name) == std::string::npos) continue;
    Scene scene = MakeScene(c.w * 5 / 2, c.h * 5 / 2, 17);
    for (uint32_t rate : c.rates) {
      if (!rates.empty() && rates.find("," + std::to_string(rate) + ",") == std::string::npos) continue;
      const std::string path = dir + "/vornmakebench-" + std::to_string(getpid()) + ".vrn";
      std::vector<double> fps1, fps2, cpu1, cpu2;
      double stage1[VMK_STAGES] = {}, stage2[VMK_STAGES] = {};
      Result one, two;
      bool same = true;
      for (uint32_t k = 0; k < runs; k++) {
        Result a = Encode(scene, c.w, c.h, frames, rate, 1, path, false);
        Result b = Encode(scene, c.w, c.h, frames, rate, 2, path, k == 0);
        fps1.push_back(a.fps);
        fps2.push_back(b.fps);
        cpu1.push_back(a.cpuMs);
        cpu2.push_back(b.cpuMs);
        for (int s = 0; s < VMK_STAGES; s++) {
          stage1[s] += a.stageMs[s] / runs;
          stage2[s] += b.stageMs[s] / runs;
        }
        if (k == 0) {
          one = std::move(a);
          two = std::move(b);
        } else {
          same = same && a.file == one.file && b.file == one.file;
        }
      }
      same = same && one.file == two.file;
      if (!save.empty()) {
        const std::string name = save + "/" + c.name + "-" + std::to_string(rate) + ".vrn";
        FILE* f = fopen(name.c_str(), "wb");
        if (f) {
          fwrite(two.file.data(), 1, two.file.size(), f);
          fclose(f);
        }
      }
      const double f1 = Median(fps1), f2 = Median(fps2);
      printf("%-5s %8u %9.1f %9.1f %6.2f %8.1f %8.1f %7.2f %7.2f %7.2f %10.0f %4u/%-4u %9u %s\n", c.name, rate, f1,
             f2, f2 / f1, Median(cpu1), Median(cpu2), two.psnr[0], two.psnr[1], two.psnr[2], two.bytesPerFrame,
             two.overMax, two.worstOver, two.overStep, same ? "yes" : "NO");
      if (vp8) {
        const Vp8 v = RunVp8(dir, two, c.w, c.h, frames, rate);
        if (v.ok)
          printf("%-5s %8s %9s %9.1f %6s %8s %8s %7.2f %7.2f %7.2f %10.0f\n", "", "VP8", "", v.fps, "", "", "",
                 v.psnr[0], v.psnr[1], v.psnr[2], v.bytesPerFrame);
        else
          printf("%-5s %8s (vpxenc or vpxdec failed)\n", "", "VP8");
      }
      if (stages) {
        printf("      stage ms/frame (1thr/2thr):");
        for (int s = 0; s < VMK_STAGES; s++) printf(" %s %.1f/%.1f", kStageNames[s], stage1[s], stage2[s]);
        printf("\n");
      }
      fflush(stdout);
    }
  }
  return 0;
}
