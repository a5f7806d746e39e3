// Monotonic clock, counted from its first use; tests may replace it.
#include "platform/plat.h"

#include <time.h>

#include <atomic>

static std::atomic<PlatClockHook> g_hook;

static uint64_t NowUs() {
  struct timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return (uint64_t)ts.tv_sec * 1000000ull + (uint64_t)ts.tv_nsec / 1000;
}

static uint64_t Origin() {
  static const uint64_t origin = NowUs();
  return origin;
}

PlatClockHook PlatClockSetHook(PlatClockHook hook) { return g_hook.exchange(hook); }

uint64_t PlatClockUs(void) {
  if (PlatClockHook hook = g_hook.load()) return hook();
  uint64_t o = Origin();
  return NowUs() - o;
}

uint32_t PlatClockMs(void) { return (uint32_t)(PlatClockUs() / 1000); }
