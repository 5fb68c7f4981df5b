// The string pool: every distinct text is kept once, and whoever interns it
// gets that one copy, so records hold a pointer instead of a text field and
// equal texts compare by identity. Safe to use from many threads at once:
// the pool is split into shards by hash, each behind its own lock.
#pragma once

#include <cstddef>

struct STR_POOL;

// Longest text kept: what a 260-byte text field of a record held.
enum { STR_POOL_MAX = 259 };

// A new empty pool (counted memory), or nullptr when memory runs out.
STR_POOL *CreateStrPool(void);
// Gives the pool and every text in it back; *ref becomes nullptr. Nothing
// may use a text of the pool afterwards.
void ReleaseStrPool(STR_POOL **ref);
// The pool's copy of the len bytes at text (cut to STR_POOL_MAX bytes; a NUL
// among them ends the text there), NUL-terminated and valid until the pool is
// emptied. Equal texts give the same pointer; the empty text is a constant
// "" shared by every pool. nullptr only when memory runs out (the pool is
// then unchanged) or pool is null.
const char *StrPoolIntern(STR_POOL *pool, const char *text, size_t len);
// The same for a NUL-terminated text.
const char *StrPoolInternText(STR_POOL *pool, const char *text);
// Forgets every text (its memory is given back); the pool stays usable.
// No other thread may use the pool meanwhile.
void StrPoolClear(STR_POOL *pool);
// The number of distinct non-empty texts held.
size_t StrPoolCount(STR_POOL *pool);
