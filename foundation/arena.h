// Arenas: many small zero-filled pieces carved from a chain of large blocks
// and given back all at once. The blocks come from MemAlloc, so the memory
// accounting and its leak report see every byte an arena holds. Used for the
// records of one source and for the scratch lines of one parse.
#pragma once

#include <cstddef>

struct ARENA_BLOCK;

struct ARENA {
  ARENA_BLOCK *blocks;  // newest first; nullptr while empty
  char *free;           // next unused byte of the newest block
  size_t room;          // bytes left there
  size_t first;         // size of the first block (again after a release)
  size_t next_size;     // size of the next block taken (grows to max_block)
  size_t max_block;     // largest block taken for small pieces
  size_t held;          // bytes of all blocks held (accounting, tests)
  int dirty;            // 1 after ArenaReset: pieces must be cleared on the way out
};

// Prepares an empty arena whose first block holds first bytes, each later
// one twice the last up to max_block. A zero-filled ARENA is empty too and
// takes 4 KiB blocks up to 1 MiB.
void ArenaInit(ARENA *a, size_t first, size_t max_block);
// A zero-filled piece of n bytes (8-byte aligned), valid until the arena is
// released or reset; nullptr when a new block cannot be had (the arena is
// then unchanged). A piece larger than a block gets a block of its own.
void *ArenaAlloc(ARENA *a, size_t n);
// ArenaAlloc without the clearing: the piece's bytes are whatever an earlier
// piece left there (for a buffer the caller fills at once).
void *ArenaTake(ARENA *a, size_t n);
// Gives every block back; the arena is empty and may be used again, its
// blocks growing from the first size again.
void ArenaRelease(ARENA *a);
// Forgets every piece but keeps the newest block for the pieces that follow
// (the others are given back), so a scratch arena costs nothing per use.
void ArenaReset(ARENA *a);
