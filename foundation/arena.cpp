// Arenas: a bump pointer in the newest block of a chain. Blocks grow
// geometrically so a small source costs one small block and a large one a
// few large ones; a piece bigger than a block gets a block to itself, linked
// behind the newest so the newest keeps serving small pieces.
#include "foundation/arena.h"

#include <cstring>

#include "foundation/memory.h"

struct ARENA_BLOCK {
  ARENA_BLOCK *next;  // older block
  size_t size;        // bytes of the block, this header included
};

namespace {

enum : size_t {
  kAlign = 8,
  kHeader = (sizeof(ARENA_BLOCK) + kAlign - 1) & ~(size_t)(kAlign - 1),
  kDefaultFirst = 4096,
  kDefaultMax = (size_t)1 << 20,
};

size_t RoundUp(size_t n) {
  return (n + kAlign - 1) & ~(size_t)(kAlign - 1);
}

ARENA_BLOCK *NewBlock(size_t size) {
  ARENA_BLOCK *b = (ARENA_BLOCK *)MemAlloc(size);
  if (b) b->size = size;
  return b;
}

void *Take(ARENA *a, size_t n, bool clear);

}  // namespace

void ArenaInit(ARENA *a, size_t first, size_t max_block) {
  memset(a, 0, sizeof *a);
  a->next_size = a->first = first ? first : kDefaultFirst;
  a->max_block = max_block >= a->next_size ? max_block : a->next_size;
}

void *ArenaAlloc(ARENA *a, size_t n) {
  return Take(a, n, true);
}

void *ArenaTake(ARENA *a, size_t n) {
  return Take(a, n, false);
}

namespace {

void *Take(ARENA *a, size_t n, bool clear) {
  if (!a) return nullptr;
  if (!a->next_size) ArenaInit(a, kDefaultFirst, kDefaultMax);
  size_t need = RoundUp(n ? n : 1);
  if (need < n) return nullptr;  // n near SIZE_MAX
  if (need > a->room) {
    size_t size = a->next_size;
    if (need + kHeader > size) {
      // A piece of its own, behind the newest block; the newest stays.
      if (need > (size_t)-1 - kHeader) return nullptr;
      ARENA_BLOCK *b = NewBlock(need + kHeader);
      if (!b) return nullptr;
      a->held += b->size;
      if (a->blocks) {
        b->next = a->blocks->next;
        a->blocks->next = b;
      } else {
        b->next = nullptr;
        a->blocks = b;
        a->free = nullptr;
        a->room = 0;
      }
      char *piece = (char *)b + kHeader;
      (void)clear;  // fresh from MemAlloc: zero already
      return piece;
    }
    ARENA_BLOCK *b = NewBlock(size);
    if (!b) return nullptr;
    a->held += size;
    b->next = a->blocks;
    a->blocks = b;
    a->free = (char *)b + kHeader;
    a->room = size - kHeader;
    if (a->next_size < a->max_block) {
      a->next_size *= 2;
      if (a->next_size > a->max_block) a->next_size = a->max_block;
    }
  }
  char *piece = a->free;
  a->free += need;
  a->room -= need;
  if (clear && a->dirty) memset(piece, 0, need);
  return piece;
}

}  // namespace

void ArenaRelease(ARENA *a) {
  if (!a) return;
  for (ARENA_BLOCK *b = a->blocks; b;) {
    ARENA_BLOCK *next = b->next;
    MemFree(b);
    b = next;
  }
  a->blocks = nullptr;
  a->free = nullptr;
  a->room = 0;
  a->held = 0;
  a->dirty = 0;
  if (a->first) a->next_size = a->first;
}

void ArenaReset(ARENA *a) {
  if (!a || !a->blocks) return;
  ARENA_BLOCK *keep = a->blocks;
  for (ARENA_BLOCK *b = keep->next; b;) {
    ARENA_BLOCK *next = b->next;
    MemFree(b);
    b = next;
  }
  keep->next = nullptr;
  a->held = keep->size;
  a->free = (char *)keep + kHeader;
  a->room = keep->size - kHeader;
  a->dirty = 1;
}
