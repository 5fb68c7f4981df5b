// Hash tables over Shift_JIS keys. Neither table keeps key text: in a HASH two
// keys with the same HashString are the same key; a HASH2 bucket holds entries of
// every key that falls into it and the caller tells them apart.
#pragma once

#include "foundation/cb.h"

// h = h * 7 XOR (signed byte), over the first len bytes (stopping at NUL);
// len <= 0 takes the whole NUL-terminated key.
unsigned HashString(const char *key, int len);

struct ST_HASH_INDEX {
  int used;   // 0 empty, 1 used
  int hash;   // the key's HashString
  int value;  // the value registered with it
};

struct ST_HASH {
  unsigned size;         // slots, 8191..262143
  ST_HASH_INDEX *slots;  // size zero-filled slots
};

struct ST_HASH2_ENTRY {
  int value;     // caller's value
  void *record;  // caller's record (an ST_FUNC for the function index)
};

struct ST_HASH2 {
  unsigned size;  // buckets, 8191..262143
  CB *buckets;    // size lists of ST_HASH2_ENTRY
};

typedef ST_HASH HASH;
typedef ST_HASH2 HASH2;

// A new HASH of size slots (clamped to 8191..262143), all empty; nullptr when
// memory runs out (nothing left allocated). The caller releases it.
ST_HASH *CreateHASH(int size);
// Frees the table and sets *ref to nullptr; nothing to do for a null ref or table.
void ReleaseHASH(ST_HASH **ref);
// Empties every slot; a missing table is traced and left alone.
void HASH_Init(ST_HASH *t);
// Stores value under key's hash (len <= 0: the whole text) in the first empty
// slot of its probe sequence; a full table or a missing one is traced and
// left unchanged. A key registered twice takes two slots.
void HASH_Regist(ST_HASH *t, const char *key, int len, int value);
// The value registered first under key's hash, or -1 (also for a missing table).
int HASH_Search(ST_HASH *t, const char *key, int len);

// The value of the first slot along h's probe sequence that holds h, or -1:
// HASH_Search for callers that computed the key's HashString on the way (the
// tokenizer). t must be a table from CreateHASH (not null).
inline int HASH_SearchHash(const ST_HASH *t, unsigned h) {
  unsigned i = h % t->size;
  for (unsigned tries = 0; tries < t->size; tries++) {
    const ST_HASH_INDEX &s = t->slots[i];
    if (!s.used) return -1;
    if (s.hash == (int)h) return s.value;
    i = i + 1 == t->size ? 0 : i + 1;
  }
  return -1;
}

// A new HASH2 of size buckets (clamped to 8191..262143), all empty; nullptr
// when memory runs out (nothing left allocated). The caller releases it.
ST_HASH2 *CreateHASH2(int size);
// Frees every entry, the buckets and the table; sets *ref to nullptr. Nothing
// to do for a null ref or table.
void ReleaseHASH2(ST_HASH2 **ref);
// Frees every entry (the records they point at stay the caller's); a missing
// table is traced and left alone.
void HASH2_Init(ST_HASH2 *t);
// Appends {value, record} to the bucket of key's hash; when memory runs out
// (or the table is missing) it is traced and the table is unchanged.
void HASH2_Regist(ST_HASH2 *t, const char *key, int len, int value, void *record);
// The bucket of key's hash, still owned by the table (it may hold other keys'
// entries, in registration order); nullptr for a missing table.
CB *HASH2_Search(ST_HASH2 *t, const char *key, int len);
