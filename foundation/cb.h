// CB: the system's one list type. A doubly linked chain of CHBUF elements, each
// owning a zero-filled copy of the bytes appended (len + 16 bytes, so a copied
// text is always terminated and a record always starts all zero).
#pragma once

struct CB;

struct CHBUF {
  CHBUF *prev;  // previous element or the head sentinel
  CHBUF *next;  // next element or the tail sentinel; nullptr only in the tail
  CB *owner;    // list the element was appended to
  void *data;   // owned copy of the appended bytes (len + 16, zero-filled)
  int len;      // bytes requested, without the 16 spare ones
};

// The head sentinel comes first, so a CB* may be passed wherever an iteration
// starts from a node.
struct CB {
  CHBUF head;  // sentinel before the first element
  CHBUF tail;  // sentinel after the last element (kept, so appends are O(1))
  int count;   // elements appended since the list was last emptied
};

// New empty list on the heap, or nullptr.
CB *CreateCB(void);
// Frees data, elements and the list; sets *ref to nullptr. Returns the result of
// the last release, 0 when there was nothing to release.
int ReleaseCB(CB **ref);
// Frees every element and makes the list empty; also initialises a zeroed CB.
void CB_Init(CB *cb);
// Appends a copy of len bytes of src (zeros when src is nullptr). Returns the new
// element, or nullptr with the list unchanged.
CHBUF *AddCB(CB *cb, const void *src, int len);
// The element after node (an element or the CB itself) and its data in *data
// (data may be nullptr); nullptr and nullptr at the end.
CHBUF *CB_Next(const void *node, void **data);
