// Counted heap allocation. The tracking table keeps the first 1024 live blocks
// in slot order for the shutdown report; a small address index beside it finds
// a block's slot without scanning the table, so a free costs the same whether
// the table is empty or full.
#include "foundation/memory.h"

#include <cstdint>
#include <cstdlib>
#include <mutex>

#include "foundation/trace.h"
#include "platform/sys.h"

namespace {

enum { kSlots = 1024, kIndexSize = 2048 };

struct IndexEntry {
  void *block;  // nullptr: empty
  int slot;     // its slot in the table
};

// Allocation accounting; every field is guarded by ProcessLock().
struct Tracker {
  unsigned live;                 // blocks handed out and not given back
  void *slots[kSlots];           // recorded live blocks, first empty slot first
  int free_hint;                 // no empty slot below this index
  IndexEntry index[kIndexSize];  // block -> slot, linear probing
  unsigned fail_countdown;       // fault injection: 0 off, else allocations left
};

Tracker g_mem;

unsigned Home(const void *p) {
  uint64_t v = (uint64_t)(uintptr_t)p;
  v ^= v >> 29;
  v *= 0x9E3779B97F4A7C15ull;
  return (unsigned)(v >> 53) & (kIndexSize - 1);  // 11 bits
}

void IndexInsert(void *p, int slot) {
  unsigned i = Home(p);
  while (g_mem.index[i].block) i = (i + 1) & (kIndexSize - 1);
  g_mem.index[i].block = p;
  g_mem.index[i].slot = slot;
}

// Removes p from the index; returns its slot or -1 when it was not recorded.
int IndexRemove(void *p) {
  unsigned i = Home(p);
  while (g_mem.index[i].block && g_mem.index[i].block != p) i = (i + 1) & (kIndexSize - 1);
  if (!g_mem.index[i].block) return -1;
  int slot = g_mem.index[i].slot;
  // Backward-shift deletion keeps every probe chain unbroken.
  unsigned hole = i;
  unsigned j = (i + 1) & (kIndexSize - 1);
  while (g_mem.index[j].block) {
    unsigned h = Home(g_mem.index[j].block);
    bool stays = hole <= j ? (h > hole && h <= j) : (h > hole || h <= j);
    if (!stays) {
      g_mem.index[hole] = g_mem.index[j];
      hole = j;
    }
    j = (j + 1) & (kIndexSize - 1);
  }
  g_mem.index[hole].block = nullptr;
  g_mem.index[hole].slot = 0;
  return slot;
}

}  // namespace

void *MemAlloc(size_t n) {
  // calloc(0) may legally return nullptr; a zero-byte request still gets a block.
  void *p = calloc(n ? n : 1, 1);
  std::unique_lock<std::mutex> guard(ProcessLock());  // once per block: threads allocate too
  bool refused = g_mem.fail_countdown && --g_mem.fail_countdown == 0;
  if (refused || !p) {
    guard.unlock();
    free(p);
    return nullptr;
  }
  g_mem.live++;
  int i = g_mem.free_hint;
  while (i < kSlots && g_mem.slots[i]) i++;
  if (i < kSlots) {
    g_mem.slots[i] = p;
    IndexInsert(p, i);
    g_mem.free_hint = i + 1;
  } else {
    g_mem.free_hint = kSlots;
  }
  return p;
}

int MemFree(void *p) {
  if (!p) return 0;
  {
    std::lock_guard<std::mutex> guard(ProcessLock());
    g_mem.live--;
    int slot = IndexRemove(p);
    if (slot >= 0) {
      g_mem.slots[slot] = nullptr;
      if (slot < g_mem.free_hint) g_mem.free_hint = slot;
    }
  }
  free(p);
  return 1;
}

void _MEMCHECK(void) {
  // Copy under the lock, print outside it: the trace sink may allocate.
  void *snapshot[kSlots];
  unsigned live;
  {
    std::lock_guard<std::mutex> guard(ProcessLock());
    live = g_mem.live;
    for (int i = 0; i < kSlots; i++) snapshot[i] = g_mem.slots[i];
  }
  if (live == 0) {
    DebugPrint("_MEMCHECK: Unfreed Allocations Chack :OK\n");
    return;
  }
  DebugPrint("_MEMCHECK: Unfreed Allocations Chack :NG !!!!! (%d)\n", (int)live);
  for (int i = 0; i < kSlots; i++) {
    // Full 64-bit addresses: eight hex digits at least, never cut.
    if (snapshot[i]) DebugPrint("----[%d]0x%08lx\n", i, (unsigned long)(uintptr_t)snapshot[i]);
  }
}

unsigned MemLiveCount(void) {
  std::lock_guard<std::mutex> guard(ProcessLock());
  return g_mem.live;
}

void MemFailAt(unsigned nth) {
  std::lock_guard<std::mutex> guard(ProcessLock());
  g_mem.fail_countdown = nth;
}
