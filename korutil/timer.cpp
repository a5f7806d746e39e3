// The millisecond clock.
#include "korutil/korutil.h"
#include "platform/plat.h"

extern "C" uint32_t KORTimerRead(void) { return PlatClockMs(); }
