// The CB list. Appends link before the embedded tail sentinel, so they cost the
// same however long the list is; a zero-filled CB (embedded in a record that
// was never initialised) is treated as an empty list.
#include "foundation/cb.h"

#include <cstring>

#include "foundation/arena.h"
#include "foundation/memory.h"
#include "foundation/trace.h"

namespace {

void LinkEmpty(CB *cb) {
  memset(&cb->head, 0, sizeof cb->head);
  memset(&cb->tail, 0, sizeof cb->tail);
  cb->head.next = &cb->tail;
  cb->tail.prev = &cb->head;
  cb->count = 0;
}

// Frees every element and its data; the sentinels are left dangling.
int FreeElements(CB *cb) {
  int result = 0;
  CHBUF *node = cb->head.next;
  while (node && node != &cb->tail) {
    CHBUF *next = node->next;
    if (!node->arena) {
      if (node->data) MemFree(node->data);
      result = MemFree(node);
    }
    node = next;
  }
  return result;
}

// Links e after the last element of cb.
void LinkLast(CB *cb, CHBUF *e) {
  if (!cb->head.next || !cb->tail.prev) LinkEmpty(cb);
  CHBUF *last = cb->tail.prev;
  e->prev = last;
  e->next = &cb->tail;
  last->next = e;
  cb->tail.prev = e;
  cb->count++;
}

}  // namespace

CB *CreateCB(void) {
  CB *cb = (CB *)MemAlloc(sizeof(CB));
  if (!cb) {
    DebugPrint("AddCB :Memory Alloc Error!\r\n");
    return nullptr;
  }
  LinkEmpty(cb);
  return cb;
}

int ReleaseCB(CB **ref) {
  if (!ref || !*ref) return 0;
  FreeElements(*ref);
  int result = MemFree(*ref);
  *ref = nullptr;
  return result;
}

void CB_Init(CB *cb) {
  if (!cb) return;
  FreeElements(cb);
  LinkEmpty(cb);
}

CHBUF *AddCB(CB *cb, const void *src, int len) {
  if (!cb || len <= 0) {
    DebugPrint("AddCB :Invalid Argument!\r\n");
    return nullptr;
  }
  CHBUF *e = (CHBUF *)MemAlloc(sizeof(CHBUF));
  if (!e) {
    DebugPrint("AddCB :Memory Alloc Error! (CHBUF)\r\n");
    return nullptr;
  }
  // Sized in size_t, so len + 16 cannot overflow.
  void *data = MemAlloc((size_t)len + 16);
  if (!data) {
    MemFree(e);
    DebugPrint("AddCB :Memory Alloc Error! (buf)\r\n");
    return nullptr;
  }
  if (src) memcpy(data, src, (size_t)len);
  e->data = data;
  e->len = len;
  e->owner = cb;
  LinkLast(cb, e);
  return e;
}

CHBUF *AddCBFrom(ARENA *arena, CB *cb, int len) {
  if (!arena || !cb || len <= 0) {
    DebugPrint("AddCB :Invalid Argument!\r\n");
    return nullptr;
  }
  // The data follows its element. Records are not texts: no spare bytes.
  size_t head = (sizeof(CHBUF) + 7) & ~(size_t)7;
  CHBUF *e = (CHBUF *)ArenaAlloc(arena, head + (size_t)len);
  if (!e) {
    DebugPrint("AddCB :Memory Alloc Error! (CHBUF)\r\n");
    return nullptr;
  }
  e->data = (char *)e + head;
  e->len = len;
  e->owner = cb;
  e->arena = 1;
  LinkLast(cb, e);
  return e;
}

CHBUF *CB_Next(const void *node, void **data) {
  const CHBUF *n = (const CHBUF *)node;
  CHBUF *e = n ? n->next : nullptr;
  if (e && e->next) {
    if (data) *data = e->data;
    return e;
  }
  if (data) *data = nullptr;
  return nullptr;
}
