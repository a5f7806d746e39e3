#include "kor/progress.h"

#include <stdio.h>
#include <unistd.h>

#include "platform/plat.h"

void KorProgressStart(KorProgress* p, uint32_t total) {
  p->on = isatty(2);
  p->total = total;
  p->startUs = PlatClockUs();
  p->lastUs = 0;
}

void KorProgressUpdate(KorProgress* p, uint32_t done) {
  if (!p->on) return;
  const uint64_t now = PlatClockUs();
  if (done < p->total && now - p->lastUs < 100000) return;
  p->lastUs = now;
  const double secs = (now - p->startUs) / 1e6;
  const double fps = secs > 0 ? done / secs : 0;
  const int width = 30;
  const int fill = p->total ? (int)((uint64_t)done * width / p->total) : width;
  char bar[width + 1];
  for (int i = 0; i < width; i++) bar[i] = i < fill ? '#' : '.';
  bar[width] = 0;
  fprintf(stderr, "\r[%s] %u/%u frames  %.1f fps", bar, done, p->total, fps);
  if (fps > 0 && done < p->total) {
    const unsigned left = (unsigned)((p->total - done) / fps + 0.5);
    fprintf(stderr, "  %u:%02u left ", left / 60, left % 60);
  } else {
    fprintf(stderr, "            ");
  }
  fflush(stderr);
}

void KorProgressEnd(KorProgress* p) {
  if (p->on) fprintf(stderr, "\n");
}
