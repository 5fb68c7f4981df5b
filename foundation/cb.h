// CB: the system's one list type. A doubly linked chain of CHBUF elements, each
// owning a zero-filled copy of the bytes appended (len + 16 bytes, so a copied
// text is always terminated and a record always starts all zero).
#pragma once

#include <type_traits>

struct ARENA;
struct CB;

struct CHBUF {
  CHBUF *prev;  // previous element or the head sentinel
  CHBUF *next;  // next element or the tail sentinel; nullptr only in the tail
  CB *owner;    // list the element was appended to
  void *data;   // owned copy of the appended bytes (len + 16, zero-filled)
  int len;      // bytes requested, without the 16 spare ones
  int arena;    // 1: element and data are pieces of an arena, freed with it
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
// Appends len zero bytes (without AddCB's 16 spare ones) taken, with their
// element, from arena (one piece):
// the list no longer frees that element, the arena's release does. Returns
// the new element, or nullptr with the list unchanged.
CHBUF *AddCBFrom(ARENA *arena, CB *cb, int len);
// The element after node (an element or the CB itself) and its data in *data
// (data may be nullptr); nullptr and nullptr at the end.
CHBUF *CB_Next(const void *node, void **data);

// What a walk's callable returns: go on with the next element, or stop here.
enum class WalkResult { kGoOn, kStop };

namespace cb_walk_detail {

template <typename T, typename Fn>
inline WalkResult Visit(Fn &fn, CHBUF *element) {
  T *data = static_cast<T *>(element->data);
  if constexpr (std::is_invocable_v<Fn &, T *, CHBUF *>) {
    if constexpr (std::is_void_v<std::invoke_result_t<Fn &, T *, CHBUF *>>) {
      fn(data, element);
      return WalkResult::kGoOn;
    } else {
      return fn(data, element);
    }
  } else if constexpr (std::is_void_v<std::invoke_result_t<Fn &, T *>>) {
    fn(data);
    return WalkResult::kGoOn;
  } else {
    return fn(data);
  }
}

}  // namespace cb_walk_detail

// Calls fn for the data of every element of list that has data, in append
// order, as a T*; fn may take the element too (fn(T *, CHBUF *)), for a caller
// that keeps its place in the list. fn returns nothing to go on always, or a
// WalkResult. Returns kStop when fn stopped the walk, else kGoOn. A
// zero-filled list is empty. fn may change the data but must not append to or
// empty the list being walked. Inline, so a walk costs a plain pointer chase.
template <typename T, typename Fn>
inline WalkResult CB_ForEach(const CB &list, Fn &&fn) {
  for (CHBUF *e = list.head.next; e && e->next; e = e->next) {
    if (e->data && cb_walk_detail::Visit<T>(fn, e) == WalkResult::kStop) return WalkResult::kStop;
  }
  return WalkResult::kGoOn;
}
