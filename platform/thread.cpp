// POSIX threads with an explicit stack size. The record of a thread lives on
// the heap until it is joined; the finished flag lets callers test for the end
// without blocking.
#include "platform/thread.h"

#include <pthread.h>
#include <sched.h>

#include <atomic>
#include <new>

struct ThreadRec {
  pthread_t id;               // the running thread
  void (*fn)(void *);         // its function
  void *arg;                  // and argument
  std::atomic<int> finished;  // 1 once fn has returned
};

namespace {

void *Trampoline(void *p) {
  ThreadRec *t = (ThreadRec *)p;
  t->fn(t->arg);
  t->finished.store(1, std::memory_order_release);
  return nullptr;
}

}  // namespace

int StartThread(void (*fn)(void *), void *arg, size_t stack_bytes, ThreadHandle *out) {
  if (out) *out = nullptr;
  if (!fn || !out) return 0;
  ThreadRec *t = new (std::nothrow) ThreadRec;
  if (!t) return 0;
  t->fn = fn;
  t->arg = arg;
  t->finished.store(0);
  pthread_attr_t attr;
  if (pthread_attr_init(&attr) != 0) {
    delete t;
    return 0;
  }
  if (stack_bytes > 0) pthread_attr_setstacksize(&attr, stack_bytes);
  int rc = pthread_create(&t->id, &attr, Trampoline, t);
  pthread_attr_destroy(&attr);
  if (rc != 0) {
    delete t;
    return 0;
  }
  *out = t;
  return 1;
}

void JoinThread(ThreadHandle *h) {
  if (!h || !*h) return;
  pthread_join((*h)->id, nullptr);
  delete *h;
  *h = nullptr;
}

int ThreadFinished(ThreadHandle h) {
  return h && h->finished.load(std::memory_order_acquire) ? 1 : 0;
}

int ProcessorCount(void) {
  cpu_set_t set;
  if (sched_getaffinity(0, sizeof set, &set) == 0) {
    int n = CPU_COUNT(&set);
    if (n > 0) return n;
  }
  return 1;
}
