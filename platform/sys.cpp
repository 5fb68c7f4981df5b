// Clock, sleeping, local time, the process-wide lock and the environment: thin
// wrappers so that nothing above this layer calls the operating system itself.
#include "platform/sys.h"

#include <sched.h>
#include <sys/time.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

uint32_t TickCount(void) {
  struct timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  uint64_t ms = (uint64_t)ts.tv_sec * 1000u + (uint64_t)ts.tv_nsec / 1000000u;
  return (uint32_t)ms;
}

void SleepMs(unsigned ms) {
  if (ms == 0) {
    sched_yield();
    return;
  }
  struct timespec req;
  req.tv_sec = ms / 1000;
  req.tv_nsec = (long)(ms % 1000) * 1000000L;
  // A signal (Ctrl-C handler) must not shorten the pause.
  while (nanosleep(&req, &req) != 0 && errno == EINTR) {
  }
}

void YieldCpu(void) {
  sched_yield();
}

void GetLocalTimeMs(LocalTimeMs *out) {
  if (!out) return;
  struct timespec ts;
  clock_gettime(CLOCK_REALTIME, &ts);
  time_t secs = ts.tv_sec;
  struct tm tmv;
  if (!localtime_r(&secs, &tmv)) {
    *out = LocalTimeMs{1970, 1, 1, 0, 0, 0, 0};
    return;
  }
  out->year = tmv.tm_year + 1900;
  out->month = tmv.tm_mon + 1;
  out->day = tmv.tm_mday;
  out->hour = tmv.tm_hour;
  out->minute = tmv.tm_min;
  out->second = tmv.tm_sec;
  out->millisecond = (int)(ts.tv_nsec / 1000000L);
}

std::mutex &ProcessLock(void) {
  // Constructed on first use, never destroyed: allocations may still be
  // counted by static destructors of other modules at exit.
  static std::mutex *lock = new std::mutex;
  return *lock;
}

long ProcessIdNumber(void) {
  return (long)getpid();
}

const char *GetEnv(const char *name) {
  if (!name || !*name) return nullptr;
  return getenv(name);
}
