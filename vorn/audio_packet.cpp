// Walking one sound packet of a track: blocks until the packet's PCM byte
// count is reached, bounded by the packet and by the caller's buffer.
#include <string.h>

#include "vorn/audio.h"

uint32_t VornAudioDecodePacketRing(VornAudio* a, const uint8_t* packet, uint32_t packetSize,
                                   uint8_t* ring, uint32_t ringSize, uint32_t writePos,
                                   uint32_t room) {
  if (!a || !packet || packetSize < 4 || !ring || !ringSize) return 0;
  writePos %= ringSize;
  if (room > ringSize) room = ringSize;
  uint32_t owed = (uint32_t)packet[0] | (uint32_t)packet[1] << 8 | (uint32_t)packet[2] << 16 |
                  (uint32_t)packet[3] << 24;
  const uint8_t* p = packet + 4;
  const uint8_t* const end = packet + packetSize;
  uint32_t written = 0;
  while (owed && written < room && p < end) {
    uint32_t pcmBytes, overrun;
    const uint8_t* next;
    const uint8_t* s = (const uint8_t*)VornAudioDecodeBlock(a, p, end, &pcmBytes, &next, &overrun);
    uint32_t take = pcmBytes < owed ? pcmBytes : owed;
    owed -= take;
    if (take > room - written) take = room - written;
    written += take;
    while (take) {
      uint32_t piece = ringSize - writePos < take ? ringSize - writePos : take;
      memcpy(ring + writePos, s, piece);
      s += piece;
      take -= piece;
      writePos += piece;
      if (writePos == ringSize) writePos = 0;
    }
    if (overrun) break;
    p = next;
  }
  return written;
}

uint32_t VornAudioDecodePacket(VornAudio* a, const uint8_t* packet, uint32_t packetSize,
                               uint8_t* out, uint32_t capacity) {
  return VornAudioDecodePacketRing(a, packet, packetSize, out, capacity, 0, capacity);
}

void VornAudioTo8Bit(uint8_t* dst, const int16_t* src, uint32_t samples) {
  for (uint32_t i = 0; i < samples; i++) dst[i] = (uint8_t)((src[i] >> 8) + 128);
}
