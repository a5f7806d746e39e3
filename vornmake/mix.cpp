// VornMix: an existing Vorn file rewritten with sound tracks replaced,
// removed or added, its video copied untouched.
#include <stdio.h>
#include <string.h>
#include <sys/stat.h>

#include "korutil/korutil.h"
#include "vornmake/parallel.h"
#include "vornmake/sound.h"
#include "vornmake/vmk.h"

static const char kTempText[] =
    "Couldn't create temporary file.\n\nSome possible reasons for this error include:\n"
    "  1) mixing to a read-only drive (like a CD-ROM),\n"
    "  2) mixing to a drive that is full (out of disk space), or\n"
    "  3) mixing multiple files to the same Vorn output filename.";

enum { kBuffer = 256 * 1024 };

static inline uint32_t Le32(const uint8_t* p) {
  return (uint32_t)p[0] | (uint32_t)p[1] << 8 | (uint32_t)p[2] << 16 | (uint32_t)p[3] << 24;
}

// One output track: a copy of input track `input`, or sound coded anew.
struct MixTrack {
  int32_t input;  // >= 0: copied from that input track; -1: coded
  VmkTrack coded;
};

struct Mix {
  VornMakeCallback callback;
  VornMixStatus status;
  KORFile* in;
  KORFile* out;
  uint8_t* frame;
  uint32_t* inIndex;
  uint32_t* outIndex;
  uint32_t* inTables;  // sound-buffer entries, formats, ids: trackCount each
  MixTrack* tracks;
  uint32_t trackCount;
  char temp[KOR_PATH_SIZE];
};

static void Message(Mix* m, const char* text) {
  if (m->callback) m->callback(2, (VornMakeHandle*)&m->status, text);
}

static void Release(Mix* m) {
  if (m->tracks)
    for (uint32_t i = 0; i < m->trackCount; i++)
      if (m->tracks[i].input < 0) VmkTrackFree(&m->tracks[i].coded);
  korfree(m->tracks);
  korfree(m->frame);
  korfree(m->inIndex);
  korfree(m->outIndex);
  korfree(m->inTables);
  if (m->in) KORFileClose(m->in);
  m->in = nullptr;
}

// Ends a failed mix: nothing is left behind.
static uint32_t Fail(Mix* m, const char* text) {
  if (text) Message(m, text);
  if (m->out) {
    KORFileClose(m->out);
    KORFileErase(m->temp);
  }
  Release(m);
  return 0;
}

static void* Zeroed(uint64_t bytes) {
  if (!bytes) bytes = 4;
  if (bytes > 0x7FFFFF00u) return nullptr;
  void* p = kormalloc((int32_t)bytes);
  if (p) memset(p, 0, (size_t)bytes);
  return p;
}

static int ReadOnly(const char* name) {
  struct stat st;
  return stat(name, &st) == 0 && S_ISREG(st.st_mode) && !(st.st_mode & 0222);
}

extern "C" uint32_t VornMix(const char* input, const char* output, uint32_t offset,
                            uint32_t rateNum, uint32_t rateDen, int32_t delay, uint32_t count,
                            const VornMakeTrack* callerTracks, VornMakeCallback callback) {
  if (!count || !callerTracks) return 0;
  VmkCpuInit();
  Mix mix;
  memset(&mix, 0, sizeof mix);
  Mix* m = &mix;
  m->callback = callback;
  m->in = input ? KORFileOpen(kBuffer, input, KORFILE_READ) : nullptr;
  if (!m->in) return Fail(m, "Couldn't open input Vorn file.");
  const uint32_t inSize = KORFileSize(m->in);
  m->status.inputSize = inSize;
  uint8_t head[44];
  KORFileSetPos(m->in, offset);
  if (offset > inSize || KORFileGetNB(m->in, head, 44) != 44 || memcmp(head, "VRN", 3) ||
      head[3] < 'f' || head[3] > 'i')
    return Fail(m, "Input file isn't a Vorn file.");
  // Everything the header claims must lie inside the file.
  const uint64_t avail = (uint64_t)inSize - offset;
  uint32_t frames = Le32(head + 8);
  const uint32_t entries = Le32(head + 16);
  const uint32_t inTracks = Le32(head + 40);
  const uint64_t tableEnd = 44 + 12ull * inTracks + 4ull * ((uint64_t)entries + 1);
  if (tableEnd > avail || frames > entries)
    return Fail(m, "Input Vorn file is damaged: its tables run past its end.");

  if (output == nullptr || snprintf(m->temp, sizeof m->temp, "%s.tmp", output) >= (int)sizeof m->temp)
    return Fail(m, kTempText);
  m->out = KORFileCreate(kBuffer, m->temp);
  if (!m->out) return Fail(m, kTempText);

  uint32_t num = Le32(head + 28), den = Le32(head + 32);
  if (rateNum && rateDen) {
    num = rateNum;
    den = rateDen;
  }
  m->status.width = Le32(head + 20);
  m->status.height = Le32(head + 24);
  m->status.frames = frames;
  m->status.rateNum = num;
  m->status.rateDen = den;

  m->inIndex = (uint32_t*)Zeroed(4ull * ((uint64_t)entries + 1));
  m->outIndex = (uint32_t*)Zeroed(4ull * ((uint64_t)entries + 1));
  m->inTables = (uint32_t*)Zeroed(12ull * inTracks);
  m->tracks = (MixTrack*)Zeroed(sizeof(MixTrack) * ((uint64_t)inTracks + count));
  uint8_t* used = (uint8_t*)Zeroed(count);
  if (!m->inIndex || !m->outIndex || !m->inTables || !m->tracks || !used) {
    korfree(used);
    return Fail(m, "Out of memory!");
  }
  KORFileGetNB(m->in, m->inTables, (int32_t)(12 * inTracks));
  KORFileGetNB(m->in, m->inIndex, (int32_t)(4 * (entries + 1)));
  // Frames must run forwards inside the file; the largest one sizes the
  // buffer.
  uint32_t largest = 0;
  for (uint32_t k = 0; k < frames; k++) {
    const uint32_t a = m->inIndex[k] & ~1u, b = m->inIndex[k + 1] & ~1u;
    if (a < tableEnd || b < a || b > avail) {
      korfree(used);
      return Fail(m, "Input Vorn file is damaged: its frame index runs past its end.");
    }
    if (b - a > largest) largest = b - a;
  }
  m->frame = (uint8_t*)Zeroed(largest);
  if (!m->frame) {
    korfree(used);
    return Fail(m, "Out of memory!");
  }

  // The output tracks: input tracks kept or re-coded in place (removed ones
  // close the gap), then the new ones.
  auto AddCoded = [&](const VornMakeTrack* src) {
    MixTrack* t = &m->tracks[m->trackCount++];
    t->input = -1;
    VmkTrackInit(&t->coded, src, frames, num, den);
    const uint64_t bps = t->coded.bytesPerSecond;
    uint64_t silence = 0;
    if (delay > 1 && num)
      silence = bps * (uint64_t)(delay - 1) * den / num;
    else if (delay < 0)
      silence = bps * (uint64_t)(-(int64_t)delay) / 1000;
    silence &= ~3ull;
    t->coded.silence = silence > 0xFFFFFFFCu ? 0xFFFFFFFCu : (uint32_t)silence;
    if (!m->status.track) m->status.track = src;
  };
  for (uint32_t i = 0; i < inTracks; i++) {
    const uint32_t id = m->inTables[2 * inTracks + i];
    uint32_t c = 0;
    while (c < count && (used[c] || callerTracks[c].id != id)) c++;
    if (c == count) {
      MixTrack* t = &m->tracks[m->trackCount++];
      t->input = (int32_t)i;
      continue;
    }
    used[c] = 1;
    if (callerTracks[c].callback)
      AddCoded(&callerTracks[c]);
    else if (!m->status.track)
      m->status.track = &callerTracks[c];
  }
  for (uint32_t c = 0; c < count; c++) {
    if (used[c]) continue;
    used[c] = 1;
    if (callerTracks[c].callback) AddCoded(&callerTracks[c]);
  }
  korfree(used);
  const uint32_t outTracks = m->trackCount;

  // The head, patched at the end.
  KORFile* out = m->out;
  uint8_t zero[44] = {0};
  KORFilePutNB(out, zero, 44);
  for (uint64_t i = 0; i < 3ull * outTracks + entries + 1; i++) KORFilePut32(out, 0);

  int cancel = 0;
  uint32_t largestOut = 0;
  const char* failure = nullptr;
  for (uint32_t k = 0; k < frames && !cancel; k++) {
    const uint32_t h = KORFileGetPos(out);
    m->status.frame = k;
    m->status.position = h;
    if (callback && callback(1, (VornMakeHandle*)&m->status, "")) cancel = 1;
    const uint32_t a = m->inIndex[k] & ~1u, b = m->inIndex[k + 1] & ~1u;
    const uint32_t bytes = b - a;
    KORFileSetPos(m->in, offset + a);
    if (KORFileGetNB(m->in, m->frame, (int32_t)bytes) != (int32_t)bytes) {
      failure = "Input Vorn file is damaged: a frame cannot be read.";
      break;
    }
    // The input's packets, one per input track.
    uint32_t pos = 0;
    const uint8_t* packet[64];
    uint32_t packetBytes[64];
    bool ok = true;
    for (uint32_t i = 0; i < inTracks && ok; i++) {
      if (bytes - pos < 4) {
        ok = false;
        break;
      }
      const uint32_t n = Le32(m->frame + pos);
      if (n > bytes - pos - 4) ok = false;
      if (i < 64) {
        packet[i] = m->frame + pos;
        packetBytes[i] = 4 + n;
      }
      pos += 4 + n;
    }
    if (!ok) {
      failure = "Input Vorn file is damaged: a frame's sound runs past its end.";
      break;
    }
    m->outIndex[k] = h | (m->inIndex[k] & 1);
    for (uint32_t t = 0; t < outTracks; t++) {
      MixTrack* mt = &m->tracks[t];
      if (mt->input < 0) {
        VmkWritePacket(out, &mt->coded, k, num, den, &m->status);
      } else if (mt->input < 64) {
        KORFilePutNB(out, packet[mt->input], (int32_t)packetBytes[mt->input]);
      } else {
        // Tracks past the first 64: found by walking again.
        uint32_t p = 0;
        for (int32_t i = 0; i < mt->input; i++) p += 4 + Le32(m->frame + p);
        KORFilePutNB(out, m->frame + p, (int32_t)(4 + Le32(m->frame + p)));
      }
    }
    KORFilePutNB(out, m->frame + pos, (int32_t)(bytes - pos));
    const uint32_t end = KORFileGetPos(out);
    m->outIndex[k + 1] = end | (m->inIndex[k + 1] & 1);
    if (end - h > largestOut) largestOut = end - h;
    if (out->write_failed) {
      failure = "Couldn't write the mixed Vorn file.";
      break;
    }
    if (end > 0xF0000000u) {
      failure = "The mixed Vorn file would pass its largest size (4 GB).";
      break;
    }
  }
  KORFileClose(m->in);
  m->in = nullptr;
  if (failure) return Fail(m, failure);

  // Header (the input's with the new rate and track count), tables, index.
  const uint32_t size = KORFileGetPos(out);
  memcpy(zero, head, 44);
  auto Put = [&](int at, uint32_t v) {
    for (int i = 0; i < 4; i++) zero[at + i] = (uint8_t)(v >> (8 * i));
  };
  Put(4, size - 8);
  Put(12, largestOut);
  Put(28, num);
  Put(32, den);
  Put(40, outTracks);
  KORFileSetPos(out, 0);
  KORFilePutNB(out, zero, 44);
  for (int table = 0; table < 3; table++)
    for (uint32_t t = 0; t < outTracks; t++) {
      const MixTrack* mt = &m->tracks[t];
      uint32_t v;
      if (mt->input >= 0)
        v = m->inTables[table * inTracks + (uint32_t)mt->input];
      else
        v = table == 0 ? mt->coded.largestPacket : table == 1 ? mt->coded.format : mt->coded.id;
      KORFilePut32(out, v);
    }
  for (uint32_t t = 0; t < outTracks; t++)
    if (m->tracks[t].input < 0) VmkTrackFree(&m->tracks[t].coded);
  KORFilePutNB(out, m->outIndex, (int32_t)(4 * (entries + 1)));
  KORFileFlush(out, 1);
  const int writeFailed = out->write_failed;
  KORFileClose(out);
  m->out = nullptr;
  Release(m);
  if (writeFailed) {
    KORFileErase(m->temp);
    if (callback) callback(2, (VornMakeHandle*)&m->status, "Couldn't write the mixed Vorn file.");
    return 0;
  }
  if (cancel) {
    KORFileErase(m->temp);
    return size;
  }
  const int erased = ReadOnly(output) ? 2 : KORFileErase(output);
  if (erased == 2) {
    char text[700];
    snprintf(text, sizeof text, "Vorn couldn't overwrite, '%s', so the new Vorn file is called: '%s'.",
             output, m->temp);
    if (callback) callback(2, (VornMakeHandle*)&m->status, text);
  } else {
    KORFileRename(output, m->temp);
  }
  return size;
}
