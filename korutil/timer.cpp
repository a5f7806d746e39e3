// The millisecond clock: the monotonic clock, counted from the first call.
#include "korutil/korutil.h"
#include "platform/plat.h"

extern "C" uint32_t KORTimerRead(void) {
  static const uint64_t origin = PlatClockUs();
  return (uint32_t)((PlatClockUs() - origin) / 1000);
}
