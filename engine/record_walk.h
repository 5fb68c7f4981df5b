// Walks over the analyzer's records in list order: the registered sources,
// the functions of one source (or of every source, in SID, FID order), the
// calls of one function (or of every function of a source). The one way code
// steps through these lists. Callables and results are those of CB_ForEach
// (foundation/cb.h): the callable takes the record (and, if it asks, its list
// element) and returns nothing or a WalkResult; a walk returns kStop when the
// callable stopped it.
#pragma once

#include "engine/ana.h"
#include "foundation/cb.h"

// Every registered source, in registration (SID) order.
template <typename Fn>
inline WalkResult ForEachSource(Fn &&fn) {
  return CB_ForEach<ST_SOURCE>(ANA.sources, fn);
}

// Every function of s, in definition (FID) order.
template <typename Fn>
inline WalkResult ForEachFunction(const ST_SOURCE *s, Fn &&fn) {
  return CB_ForEach<ST_FUNC>(s->funcs, fn);
}

// Every function of every source, in SID, FID order.
template <typename Fn>
inline WalkResult ForEachFunction(Fn &&fn) {
  return ForEachSource([&fn](ST_SOURCE *s) { return ForEachFunction(s, fn); });
}

// Every call of f, in the order of its body.
template <typename Fn>
inline WalkResult ForEachCall(const ST_FUNC *f, Fn &&fn) {
  return CB_ForEach<ST_CALL>(f->calls, fn);
}

// Every call of every function of s, function by function.
template <typename Fn>
inline WalkResult ForEachCall(const ST_SOURCE *s, Fn &&fn) {
  return ForEachFunction(s, [&fn](ST_FUNC *f) { return ForEachCall(f, fn); });
}
