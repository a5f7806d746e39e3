// Data sent to a controlling program: one record on its descriptor.
#include "korutil/korutil.h"
#include "platform/plat.h"

extern "C" int32_t CopyData(KORWindow window, KORWindow sender, uint32_t code, int32_t size,
                            const void* data) {
  (void)sender;
  if (window < 0 || window > 0x7FFFFFFF || size < 0 || (size > 0 && !data)) return 0;
  PlatFile fd = (PlatFile)window;
  uint8_t head[8];
  uint32_t words[2] = {code, (uint32_t)size};
  for (int i = 0; i < 8; i++) head[i] = (uint8_t)(words[i / 4] >> (8 * (i % 4)));
  if (PlatFileWriteNoSignal(fd, head, 8) != 8) return 0;
  return PlatFileWriteNoSignal(fd, data, (uint32_t)size) == (uint32_t)size;
}
