// HASH (open addressing, linear probing, hash and value only) and HASH2
// (buckets of CB lists). No key text is kept: equal hashes are equal keys.
#include "foundation/hash.h"

#include "foundation/memory.h"
#include "foundation/trace.h"

namespace {

enum { kMinSize = 8191, kMaxSize = 262143 };

unsigned ClampSize(int n) {
  if (n < kMinSize) return kMinSize;
  if (n > kMaxSize) return kMaxSize;
  return (unsigned)n;
}

// The key as printed in messages: only the bytes that were hashed.
int ShownLength(const char *key, int len) {
  int n = 0;
  if (len <= 0) len = 0x7FFFFFFF;
  while (n < len && key[n]) n++;
  return n;
}

}  // namespace

unsigned HashString(const char *key, int len) {
  unsigned h = 0;
  if (!key) return 0;
  for (int i = 0; len <= 0 || i < len; i++) {
    unsigned char c = (unsigned char)key[i];
    if (!c) break;
    h = (h * 7u) ^ (unsigned)(int)(signed char)c;
  }
  return h;
}

ST_HASH *CreateHASH(int size) {
  DebugPrint("CreateHASH OK!\r\n");
  unsigned n = ClampSize(size);
  ST_HASH *t = (ST_HASH *)MemAlloc(sizeof(ST_HASH));
  if (!t) {
    DebugPrint("CreateHASH :Memory Alloc Error! [ST_HASH]\r\n");
    return nullptr;
  }
  t->slots = (ST_HASH_INDEX *)MemAlloc(sizeof(ST_HASH_INDEX) * n);
  if (!t->slots) {
    DebugPrint("CreateHASH :Memory Alloc Error! [ST_HASH_INDEX]\r\n");
    MemFree(t);
    return nullptr;
  }
  t->size = n;
  return t;
}

void ReleaseHASH(ST_HASH **ref) {
  DebugPrint("ReleaseHASH OK!\r\n");
  if (!ref || !*ref) return;
  MemFree((*ref)->slots);
  MemFree(*ref);
  *ref = nullptr;
}

void HASH_Init(ST_HASH *t) {
  DebugPrint("HASH_Init OK!\r\n");
  if (!t || !t->slots) {
    DebugPrint("HASH_Init :Invalid Argument!\r\n");
    return;
  }
  for (unsigned i = 0; i < t->size; i++) t->slots[i] = ST_HASH_INDEX{0, 0, 0};
}

void HASH_Regist(ST_HASH *t, const char *key, int len, int value) {
  if (!t || !t->slots || t->size == 0) {
    DebugPrint("HASH_Regist :Invalid Argument!\r\n");
    return;
  }
  if (!key) key = "";
  unsigned h = HashString(key, len);
  unsigned i = h % t->size;
  for (unsigned tries = 0; tries < t->size; tries++) {
    ST_HASH_INDEX &s = t->slots[i];
    if (!s.used) {
      s.used = 1;
      s.hash = (int)h;
      s.value = value;
      return;
    }
    i = i + 1 == t->size ? 0 : i + 1;
  }
  DebugPrint("HASH_Regist : Entry was filled. (\"%.*s\")\r\n", ShownLength(key, len), key);
}

int HASH_Search(ST_HASH *t, const char *key, int len) {
  if (!t || !t->slots || t->size == 0) {
    DebugPrint("HASH_Search :Invalid Argument!\r\n");
    return -1;
  }
  return HASH_SearchHash(t, HashString(key ? key : "", len));
}

ST_HASH2 *CreateHASH2(int size) {
  DebugPrint("CreateHASH2 OK!\r\n");
  unsigned n = ClampSize(size);
  ST_HASH2 *t = (ST_HASH2 *)MemAlloc(sizeof(ST_HASH2));
  if (!t) {
    DebugPrint("CreateHASH2 :Memory Alloc Error! [ST_HASH2]\r\n");
    return nullptr;
  }
  t->buckets = (CB *)MemAlloc(sizeof(CB) * n);
  if (!t->buckets) {
    DebugPrint("CreateHASH2 :Memory Alloc Error! [ST_HASH2_INDEX]\r\n");
    MemFree(t);
    return nullptr;
  }
  t->size = n;
  for (unsigned i = 0; i < n; i++) CB_Init(&t->buckets[i]);
  return t;
}

void ReleaseHASH2(ST_HASH2 **ref) {
  DebugPrint("ReleaseHASH2 OK!\r\n");
  if (!ref || !*ref) return;
  ST_HASH2 *t = *ref;
  if (t->buckets) {
    for (unsigned i = 0; i < t->size; i++) CB_Init(&t->buckets[i]);
    MemFree(t->buckets);
  }
  MemFree(t);
  *ref = nullptr;
}

void HASH2_Init(ST_HASH2 *t) {
  DebugPrint("HASH2_Init OK!\r\n");
  if (!t || !t->buckets) {
    DebugPrint("HASH2_Init :Invalid Argument!\r\n");
    return;
  }
  for (unsigned i = 0; i < t->size; i++) CB_Init(&t->buckets[i]);
}

void HASH2_Regist(ST_HASH2 *t, const char *key, int len, int value, void *record) {
  if (!t || !t->buckets || t->size == 0) {
    DebugPrint("HASH2_Regist :Invalid Argument!\r\n");
    return;
  }
  if (!key) key = "";
  unsigned h = HashString(key, len);
  ST_HASH2_ENTRY entry{value, record};
  if (!AddCB(&t->buckets[h % t->size], &entry, (int)sizeof entry))
    DebugPrint("HASH2_Regist : Entry was filled. (\"%.*s\")\r\n", ShownLength(key, len), key);
}

CB *HASH2_Search(ST_HASH2 *t, const char *key, int len) {
  if (!t || !t->buckets || t->size == 0) {
    DebugPrint("HASH2_Search :Invalid Argument!\r\n");
    return nullptr;
  }
  if (!key) key = "";
  return &t->buckets[HashString(key, len) % t->size];
}
