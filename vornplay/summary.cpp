// The playback summary text.
#include <stdio.h>
#include <string.h>

#include "vornplay/player.h"

void PlayerDuration(char* out, uint32_t size, uint32_t n) {
  auto s = [](uint32_t v) { return v == 1 ? "" : "s"; };
  if (n <= 999) {
    snprintf(out, size, "%u millisecond%s", n, s(n));
  } else if (n <= 59999) {
    snprintf(out, size, "%u second%s", n / 1000, s(n / 1000));
  } else if (n >= 3600000) {
    uint32_t h = n / 3600000, m = n % 3600000 / 60000;
    snprintf(out, size, "%u hour%s%u minute%s", h, h == 1 ? " " : "s ", m, s(m));
  } else {
    uint32_t m = n / 60000, sec = n % 60000 / 1000;
    snprintf(out, size, "%u minute%s%u second%s", m, m == 1 ? " " : "s ", sec, s(sec));
  }
}

// value / 10 "." value mod 10
static void Tenths(char* out, uint32_t size, uint64_t value) {
  snprintf(out, size, "%u.%01u", (uint32_t)(value / 10), (uint32_t)(value % 10));
}

static uint64_t Part(uint32_t ms, uint32_t total) { return total ? (uint64_t)ms * 1000 / total : 0; }

void PlayerSummaryText(char* out, uint32_t size, const VornTotals* t, const PlayerDisplay* d) {
  char fileRate[32], played[48], obtained[32], pct[6][32], playTime[64], openTime[64];
  char slow[32], second[96] = "";
  Tenths(fileRate, sizeof fileRate,
         t->fileRateDivisor ? (uint64_t)t->fileRate * 10 / t->fileRateDivisor : 0);
  if (t->rate == 0 || t->rateDivisor == 0) {
    snprintf(played, sizeof played, "As fast as possible");
  } else {
    Tenths(played, sizeof played, (uint64_t)t->rate * 10 / t->rateDivisor);
    strcat(played, " frames/sec");
  }
  Tenths(obtained, sizeof obtained, t->playTime ? (uint64_t)t->framesPlayed * 10000 / t->playTime : 0);
  const uint32_t parts[6] = {t->videoTime, t->audioTime, t->blitTime, t->frameReadTime, t->busyReadAheadTime, t->backgroundTime};
  for (int i = 0; i < 6; i++) Tenths(pct[i], sizeof pct[i], Part(parts[i], t->playTime));
  PlayerDuration(playTime, sizeof playTime, t->playTime);
  PlayerDuration(openTime, sizeof openTime, t->openTime);
  Tenths(slow, sizeof slow, 10000 / (t->slowest ? t->slowest : 1));
  if (t->framesPlayed >= 2) {
    char v[32];
    Tenths(v, sizeof v, 10000 / (t->secondSlowest ? t->secondSlowest : 1));
    snprintf(second, sizeof second, "Second slowest frame: %i (%s frames/sec)\n",
             (int)t->secondSlowestFrame, v);
  }
  int32_t sw = 0, sh = 0, bits = 0;
  PlatScreenSize(&sw, &sh, &bits);
  snprintf(out, size,
           "Video: %i x %i at %s frames/sec\nTotal frames: %i\n\nTotal frames played: %i\n"
           "Frame rate played: %s\nFrame rate obtained: %s frames/sec\nSkipped frames: %i\n"
           "Skipped blits: %i\nSound skips: %i\n\nPercentage spent decompressing video: %s\n"
           "Percentage spent decompressing audio: %s\nPercentage spent blitting: %s\n"
           "Percentage spent reading: %s\nPercentage spent reading while idle: %s\n"
           "Percentage spent reading in background: %s\nSpeed of playback device: %i bytes/sec\n\n"
           "Total playback time: %s\nTotal open time: %s\nSlowest frame: %i (%s frames/sec)\n%s"
           "Average data rate: %i\nAverage frame size: %i\nPeak data rate: %i bytes/sec (frame: %i)\n\n"
           "Total memory used: %i\nTotal input memory: %i\nHighest input memory used: %i\n\n"
           "Blitting style: %s\nVideo mode: %i x %i at %i bits\n",
           (int)t->width, (int)t->height, fileRate, (int)t->frames, (int)t->framesPlayed, played,
           obtained, (int)t->skippedFrames, (int)t->skippedBlits, (int)t->soundSkips, pct[0], pct[1],
           pct[2], pct[3], pct[4], pct[5], (int)t->deviceSpeed, playTime, openTime,
           (int)t->slowestFrame, slow, second, (int)t->averageDataRate, (int)t->averageFrameSize,
           (int)t->peakSecondBytes, (int)t->peakSecondFrame, (int)t->totalMemory, (int)t->readBufferSize,
           (int)t->highestFill, PlayerDisplayStyleName(d), d ? (int)d->screenWidth : (int)sw,
           d ? (int)d->screenHeight : (int)sh, d ? (int)d->screenBits : (int)bits);
}
