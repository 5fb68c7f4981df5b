// Linking again after one source was analysed again (see xref.h): only the
// calls whose link can change are looked at, found through the query index's
// runs of calls by name. A call's link depends only on the definitions of its
// name, so the calls of the source itself and the calls of the names its old
// and new functions have are all that can change.
#include <new>
#include <unordered_set>
#include <vector>

#include "engine/record_walk.h"
#include "foundation/hash.h"
#include "foundation/text.h"
#include "xref/query_internal.h"
#include "xref/xref.h"

struct ST_RELINK {
  std::unordered_set<uint32_t> names;        // name hashes of the old and new functions
  std::unordered_set<const ST_FUNC *> gone;  // the source's old functions
  std::vector<ST_FUNC *> lost;               // definitions elsewhere that may have lost callers
};

namespace {

// Visits the func_index entries of f's key.
template <typename Fn>
void ForEachIndexEntry(const ST_FUNC *f, Fn fn) {
  if (!ANA.func_index) return;
  char key[528];
  size_t n = CopyText(key, sizeof key, f->scope);
  n += CopyText(key + n, sizeof key - n, ":");
  CopyText(key + n, sizeof key - n, f->name);
  if (CB *bucket = HASH2_Search(ANA.func_index, key, 0)) CB_ForEach<ST_HASH2_ENTRY>(*bucket, fn);
}

uint32_t NameHash(const char *name) {
  return (uint32_t)HashString(name, 0);
}

}  // namespace

ST_RELINK *ANA_RelinkPrepare(ST_QUERY *q, ST_SOURCE *s) {
  if (!s) return nullptr;
  ST_RELINK *r = new (std::nothrow) ST_RELINK();
  if (!r) return nullptr;
  try {
    ForEachFunction(s, [&](const ST_FUNC *f) {
      r->names.insert(NameHash(f->name));
      r->gone.insert(f);
      // Out of the index: the entry stays, without its record.
      ForEachIndexEntry(f, [f](ST_HASH2_ENTRY *e) {
        if (e->record == f) e->record = nullptr;
      });
    });
    ForEachCall(s, [&](const ST_CALL *c) {
      if (c->to_func && c->to_func->source != s) r->lost.push_back(c->to_func);
    });
  } catch (const std::bad_alloc &) {
    delete r;
    return nullptr;
  }
  Query_DropSource(q, s->sid);
  return r;
}

int ANA_RelinkFinish(ST_RELINK *r, ST_QUERY *q, ST_SOURCE *s) {
  if (!r || !s) {
    delete r;
    return 0;
  }
  int ok = 1;
  try {
    int fid = 0;
    ForEachFunction(s, [&](ST_FUNC *f) {
      f->sid = s->sid;
      f->fid = ++fid;
      f->scope_hash = (int)HashString(f->scope, 0);
      f->name_hash = (int)HashString(f->name, 0);
      f->called = 0;
      r->names.insert(NameHash(f->name));
      if (ANA.func_index) {
        char key[528];
        size_t n = CopyText(key, sizeof key, f->scope);
        n += CopyText(key + n, sizeof key - n, ":");
        CopyText(key + n, sizeof key - n, f->name);
        HASH2_Regist(ANA.func_index, key, 0, s->name_hash, f);
      }
    });
    ok = Query_AddSource(q, s);
    ForEachCall(s, [](ST_CALL *c) {
      if (ST_FUNC *to = ANA_ResolveCall(c)) to->called = 1;
    });
    // The calls elsewhere of every name the source's definitions have.
    if (ok) {
      for (uint32_t h : r->names) {
        size_t first, last;
        QueryCallRun(q, h, &first, &last);
        for (size_t k = first; k < last; k++) {
          ST_CALL *c = const_cast<ST_CALL *>(q->calls[k].call);
          if (!c || !c->caller || c->caller->source == s) continue;
          ST_FUNC *old = c->to_func;
          ST_FUNC *now = ANA_ResolveCall(c);
          if (now) now->called = 1;
          if (old && old != now && !r->gone.count(old)) r->lost.push_back(old);
        }
      }
      // A definition that lost a caller is still called when another reaches it.
      for (ST_FUNC *f : r->lost) {
        size_t first, last;
        QueryCallRun(q, NameHash(f->name), &first, &last);
        int called = 0;
        for (size_t k = first; k < last && !called; k++)
          called = q->calls[k].call && q->calls[k].call->to_func == f;
        f->called = called;
      }
    }
  } catch (const std::bad_alloc &) {
    ok = 0;
  }
  delete r;
  return ok;
}
