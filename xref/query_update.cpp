// Bringing the query index up to date with one source analysed again (see
// query.h): its calls leave the index of calls by name while their records
// still exist, and once the source has its new records, its functions take
// the place of the old ones and its calls are merged into their runs. Every
// other source's entries stay as they are; an update costs one pass over the
// index's arrays, not a walk over the records of the whole project.
#include <algorithm>
#include <cstring>
#include <new>

#include "engine/record_walk.h"
#include "foundation/hash.h"
#include "xref/query_internal.h"

int Query_DropSource(ST_QUERY *q, int sid) {
  if (!q || sid <= 0 || (size_t)sid >= q->sources.size()) return 0;
  ForEachCall(q->sources[(size_t)sid], [&](const ST_CALL *c) {
    size_t first, last;
    QueryCallRun(q, (uint32_t)HashString(c->name, 0), &first, &last);
    for (size_t k = first; k < last; k++) {
      if (q->calls[k].call != c) continue;
      q->calls[k].call = nullptr;
      break;
    }
  });
  return 1;
}

int Query_AddSource(ST_QUERY *q, const ST_SOURCE *s) {
  if (!q || !s || s->sid <= 0 || (size_t)s->sid > q->sources.size()) return 0;
  size_t sid = (size_t)s->sid;
  try {
    if (sid == q->sources.size()) {  // a source registered since the index was made
      q->sources.push_back(s);
      q->first_of_source.push_back(q->first_of_source.back());
      if (s->path) q->sids.emplace(s->path, s->sid);
    }
    q->sources[sid] = s;
    // Its functions and their search texts in place of the old ones.
    size_t a = q->first_of_source[sid], b = q->first_of_source[sid + 1];
    std::vector<const ST_FUNC *> funcs;
    ForEachFunction(s, [&](const ST_FUNC *f) { funcs.push_back(f); });
    std::string texts, one;
    std::vector<uint32_t> text_at;
    std::vector<uint16_t> name_at(funcs.size());
    std::vector<uint8_t> wide(funcs.size());
    size_t base = a < q->text_at.size() ? q->text_at[a] : q->folded.size();
    size_t old_end = b < q->text_at.size() ? q->text_at[b] : q->folded.size();
    for (size_t i = 0; i < funcs.size(); i++) {
      text_at.push_back((uint32_t)(base + texts.size()));
      QueryFoldedText(funcs[i], &one, &name_at[i], &wide[i]);
      texts.append(one);
      texts.push_back('\0');
    }
    long shift = (long)texts.size() - (long)(old_end - base);
    for (size_t i = b; i < q->text_at.size(); i++)
      q->text_at[i] = (uint32_t)((long)q->text_at[i] + shift);
    q->folded.replace(base, old_end - base, texts);
    auto splice = [&](auto &vec, const auto &with) {
      vec.erase(vec.begin() + (long)a, vec.begin() + (long)b);
      vec.insert(vec.begin() + (long)a, with.begin(), with.end());
    };
    splice(q->funcs, funcs);
    splice(q->text_at, text_at);
    splice(q->name_at, name_at);
    splice(q->wide, wide);
    long grown = (long)funcs.size() - (long)(b - a);
    for (size_t k = sid + 1; k < q->first_of_source.size(); k++)
      q->first_of_source[k] = (uint32_t)((long)q->first_of_source[k] + grown);

    // Its calls merged into the runs: within a run, after the callers of
    // sources before it and before those of sources after it.
    std::vector<QueryCallEntry> added;
    for (const ST_FUNC *f : funcs) {
      uint32_t index = 0;
      ForEachCall(f, [&](const ST_CALL *c) {
        added.push_back(QueryCallEntry{(uint32_t)HashString(c->name, 0), index++, c});
      });
    }
    std::stable_sort(
        added.begin(), added.end(),
        [](const QueryCallEntry &x, const QueryCallEntry &y) { return x.hash < y.hash; });
    std::vector<QueryCallEntry> merged;
    merged.reserve(q->calls.size() + added.size());
    size_t j = 0;
    for (const QueryCallEntry &e : q->calls) {
      if (!e.call) continue;
      while (j < added.size() &&
             (added[j].hash < e.hash ||
              (added[j].hash == e.hash && e.call->caller && (size_t)e.call->caller->sid > sid)))
        merged.push_back(added[j++]);
      merged.push_back(e);
    }
    while (j < added.size()) merged.push_back(added[j++]);
    q->calls.swap(merged);
  } catch (const std::bad_alloc &) {
    return 0;
  }
  return 1;
}
