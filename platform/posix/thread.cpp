// Threads and sleeping on pthreads.
#include "platform/plat.h"

#include <errno.h>
#include <pthread.h>
#include <stdlib.h>
#include <time.h>
#include <unistd.h>

struct PlatThread {
  pthread_t id;
  PlatThreadProc proc;
  void* arg;
};

static void* ThreadMain(void* p) {
  PlatThread* t = (PlatThread*)p;
  t->proc(t->arg);
  return nullptr;
}

PlatThread* PlatThreadCreate(PlatThreadProc proc, void* arg) {
  PlatThread* t = (PlatThread*)calloc(1, sizeof(PlatThread));
  if (!t) return nullptr;
  t->proc = proc;
  t->arg = arg;
  if (pthread_create(&t->id, nullptr, ThreadMain, t) != 0) {
    free(t);
    return nullptr;
  }
  return t;
}

void PlatThreadJoin(PlatThread* t) {
  if (!t) return;
  pthread_join(t->id, nullptr);
  free(t);
}

void PlatSleep(uint32_t ms) {
  struct timespec ts;
  ts.tv_sec = ms / 1000;
  ts.tv_nsec = (long)(ms % 1000) * 1000000L;
  while (nanosleep(&ts, &ts) != 0 && errno == EINTR) {
  }
}

uint32_t PlatCpuCount(void) {
  long n = sysconf(_SC_NPROCESSORS_ONLN);
  return n < 1 ? 1 : (uint32_t)n;
}
