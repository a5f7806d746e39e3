// vornbench: whole-file decoding speed. Each file is preloaded; a run decodes
// every frame, repeating the file until the run lasts long enough; the median
// of the runs is printed as frames per second and megabytes of picture
// (Y, Cb and Cr at the picture size) per second.
//
// usage: vornbench FILE.vrn [...]
//        vornbench --vectors DIR   (the largest .vrn in DIR/vorn)
#include <dirent.h>
#include <stdio.h>
#include <string.h>
#include <sys/stat.h>

#include <algorithm>
#include <string>
#include <vector>

#include "vorn/vorn.h"

static const int kRuns = 7;
static const uint64_t kRunUs = 300000;

static std::string LargestVector(const std::string& dir) {
  std::string best;
  off_t bestSize = -1;
  std::string folder = dir + "/vorn";
  DIR* d = opendir(folder.c_str());
  if (!d) return best;
  while (dirent* e = readdir(d)) {
    std::string n = e->d_name;
    if (n.size() < 5 || n.compare(n.size() - 4, 4, ".vrn") != 0) continue;
    struct stat st;
    std::string path = folder + "/" + n;
    if (stat(path.c_str(), &st) == 0 && st.st_size > bestSize) {
      bestSize = st.st_size;
      best = path;
    }
  }
  closedir(d);
  return best;
}

// Decodes the whole file once; returns the frames decoded.
static uint32_t DecodePass(VornHandle* h) {
  VornSeekFrame(h, 1);
  h->lastDecodedFrame = 0;  // decode frame 1 again even in a one-frame file
  uint32_t n = 0;
  for (;;) {
    if (VornDecodeFrame(h)) return n;
    n++;
    if (h->frameNumber == h->frames) return n;
    VornAdvanceFrame(h);
  }
}

static int Bench(const char* path) {
  VornHandle* h = VornOpen(path, VORN_OPEN_PRELOAD | VORN_OPEN_NOTHREAD | VORN_OPEN_ALPHA);
  if (!h) {
    fprintf(stderr, "vornbench: %s: %s\n", path, VornErrorText());
    return 1;
  }
  uint32_t w = h->decodeWidth, ht = h->decodeHeight;
  double pictureBytes = (double)w * ht + 2.0 * ((w + 1) / 2) * ((ht + 1) / 2);
  std::vector<double> fps;
  for (int run = 0; run < kRuns; run++) {
    uint64_t start = PlatClockUs(), frames = 0, now;
    do {
      uint32_t n = DecodePass(h);
      if (n < h->frames) {
        fprintf(stderr, "vornbench: %s: read error at frame %u\n", path, n + 1);
        VornClose(h);
        return 1;
      }
      frames += n;
      now = PlatClockUs();
    } while (now - start < kRunUs);
    fps.push_back(frames * 1e6 / (double)(now - start));
  }
  std::sort(fps.begin(), fps.end());
  double median = fps[kRuns / 2];
  printf("%s: %u x %u, %u frames: %.1f frames/s, %.1f MB/s of picture (median of %d runs)\n", path,
         w, ht, h->frames, median, median * pictureBytes / 1e6, kRuns);
  VornClose(h);
  return 0;
}

int main(int argc, char** argv) {
  if (argc < 2) {
    fprintf(stderr, "usage: vornbench FILE.vrn [...] | vornbench --vectors DIR\n");
    return 2;
  }
  if (!strcmp(argv[1], "--vectors")) {
    if (argc != 3) return 2;
    std::string file = LargestVector(argv[2]);
    if (file.empty()) {
      fprintf(stderr, "vornbench: no .vrn in %s/vorn\n", argv[2]);
      return 1;
    }
    return Bench(file.c_str());
  }
  int status = 0;
  for (int i = 1; i < argc; i++) status |= Bench(argv[i]);
  return status;
}
