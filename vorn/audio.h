// Vorn sound: the transform-coded audio blocks of a track's packets and
// their decoder. One decoder per track; blocks must be fed in order.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include "vorn/rdft.h"

#ifdef __cplusplus
extern "C" {
#endif

enum {
  VORN_AUDIO_BANDS_MAX = 25,
  VORN_AUDIO_BLOCK_MAX = 4096,  // interleaved samples in one transform block
};

// Band start frequencies in Hz.
extern const uint16_t VornAudioBandHz[VORN_AUDIO_BANDS_MAX];
// Group lengths, in units of 8 values, selected by the 4-bit length code.
extern const uint8_t VornAudioGroupUnits[16];

// Block geometry of a track.
typedef struct VornAudioGeometry {
  uint32_t rate;      // samples per second per channel
  uint32_t channels;  // 1 or 2
  uint32_t n;         // interleaved samples per transform block
  uint32_t overlap;   // L = n / 16, cross-faded into the next block
  uint32_t bands;     // B, 1 .. 25
  uint32_t edges[VORN_AUDIO_BANDS_MAX + 1];  // band b: bins edges[b] <= k < edges[b + 1]
  float gain;         // 2 / sqrt(n)
} VornAudioGeometry;

// Fills g for a track; 0 (g untouched) when rate is 0 or channels is not 1
// or 2.
int VornAudioGetGeometry(VornAudioGeometry* g, uint32_t rate, uint32_t channels);
// Band scale for a coded scale value: 10^(0.0664 q), single precision.
float VornAudioBandScale(uint32_t q);
// 29-bit packed float: exponent x in bits 0-4, mantissa m in bits 5-27,
// sign in bit 28; value m * 2^(x - 23). Exponents 24 to 31 follow the same
// formula (at most 2^31, finite).
float VornAudioUnpackFloat(uint32_t bits);

// Output of the transform to samples: y * gain rounded to the nearest
// integer (halves to even), limited to -32768 .. 32767 (not a number gives
// 0); n a multiple of 16. Index 0 is the plain C++ reference; SIMD versions
// are null when this processor lacks them.
typedef void (*VornAudioRoundProc)(int16_t* out, const float* y, float gain, uint32_t n);
enum { VORN_ROUND_REFERENCE = 0, VORN_ROUND_SSE2 = 1, VORN_ROUND_KERNELS = 2 };
VornAudioRoundProc VornAudioRoundKernel(int which);

// Decoder state: one block of 32-byte aligned memory.
typedef struct VornAudio {
  VornAudioGeometry geo;
  uint32_t first;       // 1 until the first block has been decoded
  int16_t* out;         // n samples: the last decoded block
  int16_t* tail;        // overlap samples saved from the previous block
  float* work;          // n floats, or null: then a decode uses the stack
  VornRdft rdft;
  VornAudioRoundProc round;
} VornAudio;

// Opens a decoder for a track. workInState 1 keeps the transform's work
// area in the state, 0 puts it on the stack of each decode. Null when the
// geometry is invalid or memory is short.
VornAudio* VornAudioOpen(uint32_t rate, uint32_t channels, uint32_t workInState);
void VornAudioClose(VornAudio* a);  // null is accepted

// Decodes the block starting at data, reading nothing at or past end
// (bits missing there read as 0). Returns the block's n samples (valid until
// the next decode), of which the first n - overlap are new sound and the
// rest are held back for the cross-fade into the next block. Optional
// outputs: *pcmBytes = (n - overlap) * 2; *next = the word after the block,
// at most end; *overrun = 1 when the block needed bits past end (the
// caller should stop walking the packet), else 0.
const int16_t* VornAudioDecodeBlock(VornAudio* a, const uint8_t* data, const uint8_t* end,
                                    uint32_t* pcmBytes, const uint8_t** next, uint32_t* overrun);

// Decodes one packet of a track: packet points at the bytes after the
// packet's length word (a u32 PCM byte count, then blocks) and packetSize is
// that length (the caller has checked that many bytes are there). Blocks are decoded until the count is reached, the packet's
// data ends or a block runs past it; of the last block only the bytes
// still owed are kept. Writes at most capacity bytes to out and returns the
// bytes written.
uint32_t VornAudioDecodePacket(VornAudio* a, const uint8_t* packet, uint32_t packetSize,
                               uint8_t* out, uint32_t capacity);
// The same into a ring of ringSize bytes: writing starts at ring + writePos
// and wraps at the ring's end; at most room bytes are written, and decoding
// stops once they are. Returns the bytes written.
uint32_t VornAudioDecodePacketRing(VornAudio* a, const uint8_t* packet, uint32_t packetSize,
                                   uint8_t* ring, uint32_t ringSize, uint32_t writePos,
                                   uint32_t room);

// 16-bit signed samples to 8-bit unsigned ones for 8-bit tracks: each
// sample s becomes (s >> 8) + 128. dst may be the same memory as src.
void VornAudioTo8Bit(uint8_t* dst, const int16_t* src, uint32_t samples);

#ifdef __cplusplus
}
#endif
