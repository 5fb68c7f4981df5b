// The string pool. A text's 64-bit hash picks its shard (top bits) and its
// place in the shard's open-addressing table (low bits); each shard keeps
// its texts in an arena of its own and is guarded by its own mutex, so two
// threads interning different names rarely meet. Texts never move once
// made, so a pointer handed out stays valid without any lock.
#include "foundation/string_pool.h"

#include <cstdint>
#include <cstring>
#include <mutex>
#include <new>

#include "foundation/arena.h"
#include "foundation/memory.h"

namespace {

enum : unsigned { kShardBits = 6, kShards = 1u << kShardBits, kFirstSlots = 256 };

struct Slot {
  uint64_t hash;     // full hash of the text
  const char *text;  // the pool's copy; nullptr: empty slot
  size_t len;        // its length
};

struct Shard {
  std::mutex lock;  // guards every field below
  Slot *slots;      // capacity entries (MemAlloc), or nullptr before the first text
  size_t capacity;  // a power of two
  size_t count;     // texts held
  ARENA texts;      // the copies
};

const char kEmpty[] = "";

uint64_t Hash(const char *text, size_t len) {
  uint64_t h = 0xcbf29ce484222325ull;  // FNV-1a
  for (size_t i = 0; i < len; i++) h = (h ^ (unsigned char)text[i]) * 0x100000001b3ull;
  return h ^ (h >> 29);
}

// Doubles the table (or makes the first one). false when memory runs out;
// the table is then unchanged.
bool Grow(Shard &s) {
  size_t cap = s.capacity ? s.capacity * 2 : (size_t)kFirstSlots;
  Slot *slots = (Slot *)MemAlloc(cap * sizeof(Slot));
  if (!slots) return false;
  for (size_t i = 0; i < s.capacity; i++) {
    const Slot &old = s.slots[i];
    if (!old.text) continue;
    size_t k = (size_t)old.hash & (cap - 1);
    while (slots[k].text) k = (k + 1) & (cap - 1);
    slots[k] = old;
  }
  MemFree(s.slots);
  s.slots = slots;
  s.capacity = cap;
  return true;
}

void EmptyShard(Shard &s) {
  MemFree(s.slots);
  s.slots = nullptr;
  s.capacity = 0;
  s.count = 0;
  ArenaRelease(&s.texts);
}

}  // namespace

struct STR_POOL {
  Shard shards[kShards];
};

STR_POOL *CreateStrPool(void) {
  void *mem = MemAlloc(sizeof(STR_POOL));
  if (!mem) return nullptr;
  STR_POOL *pool = new (mem) STR_POOL();
  for (Shard &s : pool->shards) ArenaInit(&s.texts, 4096, (size_t)256 << 10);
  return pool;
}

void ReleaseStrPool(STR_POOL **ref) {
  if (!ref || !*ref) return;
  STR_POOL *pool = *ref;
  for (Shard &s : pool->shards) EmptyShard(s);
  pool->~STR_POOL();
  MemFree(pool);
  *ref = nullptr;
}

const char *StrPoolIntern(STR_POOL *pool, const char *text, size_t len) {
  if (!pool) return nullptr;
  if (!text) return kEmpty;
  len = strnlen(text, len < (size_t)STR_POOL_MAX ? len : (size_t)STR_POOL_MAX);
  if (len == 0) return kEmpty;
  uint64_t h = Hash(text, len);
  Shard &s = pool->shards[h >> (64 - kShardBits)];
  std::lock_guard<std::mutex> guard(s.lock);
  if (s.capacity) {
    for (size_t k = (size_t)h & (s.capacity - 1);; k = (k + 1) & (s.capacity - 1)) {
      const Slot &slot = s.slots[k];
      if (!slot.text) break;
      if (slot.hash == h && slot.len == len && memcmp(slot.text, text, len) == 0) return slot.text;
    }
  }
  // Keep the table at most half full.
  if ((s.count + 1) * 2 > s.capacity && !Grow(s)) return nullptr;
  char *copy = (char *)ArenaAlloc(&s.texts, len + 1);
  if (!copy) return nullptr;
  memcpy(copy, text, len);  // the arena's piece is zero-filled: terminated
  size_t k = (size_t)h & (s.capacity - 1);
  while (s.slots[k].text) k = (k + 1) & (s.capacity - 1);
  s.slots[k] = Slot{h, copy, len};
  s.count++;
  return copy;
}

const char *StrPoolInternText(STR_POOL *pool, const char *text) {
  return StrPoolIntern(pool, text, text ? strnlen(text, (size_t)STR_POOL_MAX) : 0);
}

void StrPoolClear(STR_POOL *pool) {
  if (!pool) return;
  for (Shard &s : pool->shards) {
    std::lock_guard<std::mutex> guard(s.lock);
    EmptyShard(s);
  }
}

size_t StrPoolCount(STR_POOL *pool) {
  if (!pool) return 0;
  size_t n = 0;
  for (Shard &s : pool->shards) {
    std::lock_guard<std::mutex> guard(s.lock);
    n += s.count;
  }
  return n;
}
