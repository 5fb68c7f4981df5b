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

ST_HASH *CreateHASH(int size);
int ReleaseHASH(ST_HASH **ref);
void HASH_Init(ST_HASH *t);
void HASH_Regist(ST_HASH *t, const char *key, int len, int value);
int HASH_Search(ST_HASH *t, const char *key, int len);

ST_HASH2 *CreateHASH2(int size);
int ReleaseHASH2(ST_HASH2 **ref);
void HASH2_Init(ST_HASH2 *t);
void HASH2_Regist(ST_HASH2 *t, const char *key, int len, int value, void *record);
CB *HASH2_Search(ST_HASH2 *t, const char *key, int len);
