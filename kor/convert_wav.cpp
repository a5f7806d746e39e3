// kor convert to WAV: one sound track of a Vorn file as 16-bit PCM, decoded
// packet by packet in frame order with one decoder for the whole track.
#include <stdio.h>
#include <string.h>

#include <vector>

#include "kor/kor.h"
#include "vorn/audio.h"
#include "vorn/vorn.h"

static void Put16(uint8_t* p, uint32_t v) {
  p[0] = (uint8_t)v;
  p[1] = (uint8_t)(v >> 8);
}
static void Put32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; i++) p[i] = (uint8_t)(v >> (8 * i));
}

static void WavHeader(uint8_t* h, uint32_t rate, uint32_t channels, uint32_t dataBytes) {
  memcpy(h, "RIFF", 4);
  Put32(h + 4, 36 + dataBytes);
  memcpy(h + 8, "WAVEfmt ", 8);
  Put32(h + 16, 16);
  Put16(h + 20, 1);  // PCM
  Put16(h + 22, channels);
  Put32(h + 24, rate);
  Put32(h + 28, rate * channels * 2);
  Put16(h + 32, channels * 2);
  Put16(h + 34, 16);
  memcpy(h + 36, "data", 4);
  Put32(h + 40, dataBytes);
}

// The most PCM bytes a packet of n bytes can yield: every block takes at
// least two words and yields at most VORN_AUDIO_BLOCK_MAX samples.
static uint32_t PacketBound(uint32_t n) {
  uint64_t blocks = (n - 4) / 8 + 1;
  uint64_t most = blocks * VORN_AUDIO_BLOCK_MAX * 2;
  return most > 0xFFFFFFFFu ? 0xFFFFFFFFu : (uint32_t)most;
}

// Decodes the track's packets in frame order into f after the header.
// Returns 0, or 1 after an error message; *total gets the PCM bytes.
static int WriteSound(VornHandle* h, VornAudio* a, uint32_t track, uint32_t channels, FILE* f,
                      const char* in, const char* out, uint64_t* total) {
  std::vector<uint8_t> pcm;
  *total = 0;
  for (uint32_t n = 1; n <= h->frames; n++) {
    if (n > 1) VornAdvanceFrame(h);
    if (!h->frame || h->readError || PlatAtomicLoad(&h->reader.readError)) {
      fprintf(stderr, "kor convert: %s: frame %u cannot be read (the file is truncated or damaged)\n",
              in, n);
      return 1;
    }
    const uint8_t* packet = nullptr;
    uint32_t bytes = 0;
    if (VornFramePacket(h->frame, h->frameBytes, h->trackCount, track, &packet, &bytes) < 0) {
      fprintf(stderr, "kor convert: %s: the sound packets of frame %u run past its end\n", in, n);
      return 1;
    }
    if (!packet) continue;
    uint32_t owed = VornLe32(packet), bound = PacketBound(bytes);
    pcm.resize(owed < bound ? owed : bound);
    uint32_t got = VornAudioDecodePacket(a, packet, bytes, pcm.data(), (uint32_t)pcm.size());
    got -= got % (2 * channels);
    *total += got;
    if (*total > 0xFFFFFFFFu - 36) {
      fprintf(stderr, "kor convert: the sound of %s is too long for a WAV file\n", in);
      return 1;
    }
    if (got && fwrite(pcm.data(), 1, got, f) != got) {
      fprintf(stderr, "kor convert: cannot write %s\n", out);
      return 1;
    }
  }
  return 0;
}

// Writes track `track` (-1: the first with sound) of in to out.
static int ConvertTrack(VornHandle* h, const char* in, const char* out, int track) {
  if (track < 0) {
    for (uint32_t t = 0; t < h->trackCount && track < 0; t++)
      if (VornTrackFormat(h, t) & VORN_TRACK_SOUND) track = (int)t;
    if (track < 0) {
      fprintf(stderr, "kor convert: %s has no sound track\n", in);
      return 1;
    }
  } else if ((uint32_t)track >= h->trackCount) {
    fprintf(stderr, "kor convert: %s has no track %d (it has %u track%s, numbered from 0)\n", in,
            track, h->trackCount, h->trackCount == 1 ? "" : "s");
    return 1;
  }
  uint32_t format = VornTrackFormat(h, (uint32_t)track);
  uint32_t rate = format & VORN_TRACK_RATE_MASK;
  uint32_t channels = format & VORN_TRACK_STEREO ? 2 : 1;
  if (!(format & VORN_TRACK_SOUND)) {
    fprintf(stderr, "kor convert: track %d of %s carries no sound\n", track, in);
    return 1;
  }
  VornAudio* a = VornAudioOpen(rate, channels, 1);
  if (!a) {
    fprintf(stderr, "kor convert: track %d of %s cannot be decoded (sample rate %u)\n", track, in,
            rate);
    return 1;
  }
  FILE* f = fopen(out, "wb");
  if (!f) {
    fprintf(stderr, "kor convert: cannot create %s\n", out);
    VornAudioClose(a);
    return 1;
  }
  uint8_t header[44];
  WavHeader(header, rate, channels, 0);
  uint64_t total = 0;
  int status = fwrite(header, 1, sizeof header, f) != sizeof header;
  if (status) fprintf(stderr, "kor convert: cannot write %s\n", out);
  if (!status) status = WriteSound(h, a, (uint32_t)track, channels, f, in, out, &total);
  VornAudioClose(a);
  if (!status) {
    WavHeader(header, rate, channels, (uint32_t)total);
    bool ok = fseek(f, 0, SEEK_SET) == 0 && fwrite(header, 1, sizeof header, f) == sizeof header;
    if (fclose(f) != 0) ok = false;
    if (!ok) fprintf(stderr, "kor convert: cannot write %s\n", out);
    status = !ok;
  } else {
    fclose(f);
  }
  // No half-written file is left behind.
  if (status) remove(out);
  return status;
}

int KorConvertWav(const char* in, const char* out, int track) {
  VornHandle* h = VornOpen(in, VORN_OPEN_NOTHREAD | VORN_OPEN_OPTION(7));
  if (!h) {
    fprintf(stderr, "kor convert: %s: %s\n", in, VornErrorText());
    return 1;
  }
  int status = ConvertTrack(h, in, out, track);
  VornClose(h);
  return status;
}
