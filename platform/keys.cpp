// The stop key flag. Requests may come from a signal handler, so the flag is a
// lock-free atomic and nothing here allocates or locks.
#include "platform/keys.h"

#include <atomic>

namespace {
std::atomic<int> g_escape{0};
std::atomic<int (*)(void)> g_poll{nullptr};
static_assert(std::atomic<int>::is_always_lock_free, "stop flag must be signal-safe");
}  // namespace

int EscapePressed(void) {
  int (*fn)(void) = g_poll.load(std::memory_order_acquire);
  if (fn) return fn() ? 1 : 0;
  return g_escape.exchange(0, std::memory_order_acq_rel) ? 1 : 0;
}

void EscapeRequest(void) {
  g_escape.store(1, std::memory_order_release);
}

void EscapeSetPoll(int (*fn)(void)) {
  g_poll.store(fn, std::memory_order_release);
}
