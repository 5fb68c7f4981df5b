// The query index (see query.h): sources and functions numbered densely,
// every call indexed by its called name, and the answers about places, calls
// and callers. Making it walks every function and call once.
#include <algorithm>
#include <cstring>
#include <new>

#include "foundation/hash.h"

#include "engine/record_walk.h"
#include "xref/query_internal.h"
#include "xref/row_text.h"

namespace {

// (line, column) ordered as places in a text.
bool Before(int line_a, int col_a, int line_b, int col_b) {
  return line_a < line_b || (line_a == line_b && col_a < col_b);
}

// Whether f's text, from its name to its closing brace, holds the place.
bool Holds(const ST_FUNC *f, int line, int column) {
  if (Before(line, column, f->name_line, f->name_column)) return false;
  return line <= f->end_line;
}

// Sorts entries by hash, keeping the order of equal hashes: two passes of a
// counting sort on 16 bits each, linear in the calls of a whole tree.
void SortByHash(std::vector<QueryCallEntry> *entries) {
  std::vector<QueryCallEntry> tmp(entries->size());
  std::vector<uint32_t> count(65537);
  for (int shift = 0; shift < 32; shift += 16) {
    std::fill(count.begin(), count.end(), 0);
    for (const QueryCallEntry &e : *entries) count[((e.hash >> shift) & 0xFFFF) + 1]++;
    for (size_t i = 1; i < count.size(); i++) count[i] += count[i - 1];
    for (const QueryCallEntry &e : *entries) tmp[count[(e.hash >> shift) & 0xFFFF]++] = e;
    entries->swap(tmp);
  }
}

// The index entries of f's calls, in body order.
void AddCallsOf(const ST_FUNC *f, std::vector<QueryCallEntry> *out) {
  uint32_t index = 0;
  ForEachCall(f, [&](const ST_CALL *c) {
    out->push_back(QueryCallEntry{(uint32_t)HashString(c->name, 0), index++, c});
  });
}

void BuildCalls(ST_QUERY *q) {
  size_t calls = 0;
  for (const ST_FUNC *f : q->funcs) calls += (size_t)f->calls.count;
  q->calls.clear();
  q->calls.reserve(calls);
  for (const ST_FUNC *f : q->funcs) AddCallsOf(f, &q->calls);
  SortByHash(&q->calls);
}

}  // namespace

long QueryNumber(const ST_QUERY *q, int sid, int fid) {
  if (!q || sid <= 0 || fid <= 0 || (size_t)sid + 1 >= q->first_of_source.size()) return -1;
  long n = (long)q->first_of_source[(size_t)sid] + fid - 1;
  return n < (long)q->first_of_source[(size_t)sid + 1] ? n : -1;
}

QueryCall QueryCallOf(const ST_CALL *c, int index) {
  const CallRow row = MakeCallRow(c);
  return QueryCall{row.sid,  row.fid,  index,      row.call_scope, row.call_name,
                   row.argc, row.line, row.column, row.to_sid,     row.to_fid};
}

void QueryCallRun(const ST_QUERY *q, uint32_t h, size_t *first, size_t *last) {
  auto lo = std::lower_bound(q->calls.begin(), q->calls.end(), h,
                             [](const QueryCallEntry &e, uint32_t v) { return e.hash < v; });
  auto hi = std::upper_bound(lo, q->calls.end(), h,
                             [](uint32_t v, const QueryCallEntry &e) { return v < e.hash; });
  *first = (size_t)(lo - q->calls.begin());
  *last = (size_t)(hi - q->calls.begin());
}

QueryFunction QueryFunctionOf(const ST_FUNC *f) {
  const FunctionRow row = MakeFunctionRow(f);
  return QueryFunction{row.sid,         row.fid,      f->source ? f->source->path : "",
                       row.source,      row.scope,    row.name,
                       row.argc,        row.line,     row.name_line,
                       row.name_column, row.end_line, f->member};
}

ST_QUERY *CreateQuery(void) {
  ST_QUERY *q = new (std::nothrow) ST_QUERY();
  if (!q) return nullptr;
  try {
    q->sources.push_back(nullptr);
    q->first_of_source.push_back(0);
    q->funcs.reserve((size_t)ANA_GetFuncCount());
    q->sources.reserve((size_t)ANA.sources.count + 1);
    q->first_of_source.reserve((size_t)ANA.sources.count + 2);
    q->sids.reserve((size_t)ANA.sources.count);
    bool in_order = true;
    ForEachSource([&](const ST_SOURCE *s) {
      // Sources are numbered in order by the function list; one that is not
      // (no list was made) leaves the index empty.
      if ((size_t)s->sid != q->sources.size()) {
        in_order = false;
        return WalkResult::kStop;
      }
      q->sources.push_back(s);
      q->first_of_source.push_back((uint32_t)q->funcs.size());
      if (s->path) q->sids.emplace(s->path, s->sid);
      ForEachFunction(s, [&](const ST_FUNC *f) { q->funcs.push_back(f); });
      return WalkResult::kGoOn;
    });
    if (!in_order) {
      q->sources.assign(1, nullptr);
      q->first_of_source.assign(1, 0);
      q->funcs.clear();
      q->sids.clear();
    }
    q->first_of_source.push_back((uint32_t)q->funcs.size());  // the end of the last source
    BuildCalls(q);
    QueryBuildNames(q);
  } catch (const std::bad_alloc &) {
    delete q;
    return nullptr;
  }
  return q;
}

void ReleaseQuery(ST_QUERY **q) {
  if (!q) return;
  delete *q;
  *q = nullptr;
}

int Query_SourceCount(const ST_QUERY *q) {
  return q ? (int)q->sources.size() - 1 : 0;
}

int Query_FunctionCount(const ST_QUERY *q) {
  return q ? (int)q->funcs.size() : 0;
}

const char *Query_SourcePath(const ST_QUERY *q, int sid) {
  if (!q || sid <= 0 || (size_t)sid >= q->sources.size()) return nullptr;
  return q->sources[(size_t)sid]->path;
}

const char *Query_SourceName(const ST_QUERY *q, int sid) {
  if (!q || sid <= 0 || (size_t)sid >= q->sources.size()) return nullptr;
  return q->sources[(size_t)sid]->name;
}

int Query_SourceByPath(const ST_QUERY *q, const char *path) {
  if (!q || !path) return 0;
  auto it = q->sids.find(path);
  return it == q->sids.end() ? 0 : it->second;
}

bool Query_Function(const ST_QUERY *q, int sid, int fid, QueryFunction *out) {
  long n = QueryNumber(q, sid, fid);
  if (n < 0) return false;
  if (out) *out = QueryFunctionOf(q->funcs[(size_t)n]);
  return true;
}

std::vector<QueryFunction> Query_FunctionsOf(const ST_QUERY *q, int sid) {
  std::vector<QueryFunction> out;
  if (!q || sid <= 0 || (size_t)sid >= q->sources.size()) return out;
  for (size_t n = q->first_of_source[(size_t)sid]; n < q->first_of_source[(size_t)sid + 1]; n++)
    out.push_back(QueryFunctionOf(q->funcs[n]));
  return out;
}

namespace {

// The innermost function of source sid holding the place, or null.
const ST_FUNC *FunctionHolding(const ST_QUERY *q, int sid, int line, int column) {
  if (!q || sid <= 0 || (size_t)sid >= q->sources.size()) return nullptr;
  const ST_FUNC *best = nullptr;
  ForEachFunction(q->sources[(size_t)sid], [&](const ST_FUNC *f) {
    if (!Holds(f, line, column)) return;
    // Of two that hold it, the one whose name comes later is inside.
    if (!best || !Before(f->name_line, f->name_column, best->name_line, best->name_column))
      best = f;
  });
  return best;
}

}  // namespace

bool Query_FunctionAt(const ST_QUERY *q, int sid, int line, int column, QueryFunction *out) {
  const ST_FUNC *f = FunctionHolding(q, sid, line, column);
  if (!f) return false;
  if (out) *out = QueryFunctionOf(f);
  return true;
}

bool Query_CallAt(const ST_QUERY *q, int sid, int line, int column, QueryCall *out) {
  if (!q || sid <= 0 || (size_t)sid >= q->sources.size()) return false;
  bool found = false;
  // Every function that holds the place: a call in a function nested in
  // another belongs to the inner one, but both are asked.
  ForEachFunction(q->sources[(size_t)sid], [&](const ST_FUNC *f) {
    if (!Holds(f, line, column)) return WalkResult::kGoOn;
    int index = 0;
    ForEachCall(f, [&](const ST_CALL *c) {
      int len = (int)strlen(c->name);
      if (c->name_line == line && column >= c->name_column && column <= c->name_column + len &&
          len > 0) {
        if (out) *out = QueryCallOf(c, index);
        found = true;
        return WalkResult::kStop;
      }
      index++;
      return WalkResult::kGoOn;
    });
    return found ? WalkResult::kStop : WalkResult::kGoOn;
  });
  return found;
}

std::vector<QueryCall> Query_CallsOf(const ST_QUERY *q, int sid, int fid) {
  std::vector<QueryCall> out;
  long n = QueryNumber(q, sid, fid);
  if (n < 0) return out;
  int index = 0;
  ForEachCall(q->funcs[(size_t)n],
              [&](const ST_CALL *c) { out.push_back(QueryCallOf(c, index++)); });
  return out;
}

std::vector<QueryCall> Query_CallersOf(const ST_QUERY *q, int sid, int fid) {
  std::vector<QueryCall> out;
  long n = QueryNumber(q, sid, fid);
  if (n < 0) return out;
  const ST_FUNC *f = q->funcs[(size_t)n];
  size_t first, last;
  QueryCallRun(q, (uint32_t)HashString(f->name, 0), &first, &last);
  for (size_t k = first; k < last; k++) {
    const QueryCallEntry &e = q->calls[k];
    if (e.call && e.call->to_func == f) out.push_back(QueryCallOf(e.call, (int)e.index));
  }
  return out;
}

std::vector<QueryCall> Query_UnlinkedCallsOf(const ST_QUERY *q, const char *text) {
  std::vector<QueryCall> out;
  if (!q || !text || !*text) return out;
  bool scoped = strstr(text, "::") != nullptr;
  size_t len = strlen(text);
  // A name holds no "::": the called name is what follows the last one.
  const char *name = text;
  for (const char *p = strstr(text, "::"); p; p = strstr(p + 2, "::")) name = p + 2;
  size_t first, last;
  QueryCallRun(q, (uint32_t)HashString(name, 0), &first, &last);
  for (size_t k = first; k < last; k++) {
    const ST_CALL *c = q->calls[k].call;
    if (!c || c->to_func) continue;
    size_t n = strlen(c->scope);
    bool match = !scoped && strcmp(text, c->name) == 0;
    match = match || (n <= len && memcmp(text, c->scope, n) == 0 && strcmp(text + n, c->name) == 0);
    if (match) out.push_back(QueryCallOf(c, (int)q->calls[k].index));
  }
  return out;
}
