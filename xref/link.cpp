// Call linking: for every call recorded in a function body, the definition it
// reaches. Candidates come from one func_index bucket and are told apart by
// their scope and name hashes (and texts, with EXACT_NAMES) and argument
// counts; a definition in the caller's own source wins over one elsewhere.
// Runs one source per step so the worker can show progress and the user can
// stop it with Escape.
//
// A bucket holds every key that falls into it, and walking one means three
// dependent loads per entry; a linking phase over a large project would spend
// most of its time there. So the phase first copies the buckets into one
// array sorted by (bucket, scope hash, name hash), registration order kept,
// with a hash table of where each run of equal keys starts, and each call
// then finds exactly the entries a bucket walk would accept, in the same
// order, with a probe or two.
//
// Records made by the precise front end are linked by the rules of
// scoped_link.cpp instead, from tables of its own built at the same moment;
// the records themselves say so (ST_SOURCE.precise), not the settings.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "engine/record_walk.h"
#include "engine/source_pool.h"
#include "foundation/arena.h"
#include "foundation/hash.h"
#include "foundation/log.h"
#include "foundation/ports.h"
#include "foundation/settings.h"
#include "foundation/text.h"
#include "platform/keys.h"
#include "xref/row_text.h"
#include "xref/scoped_link.h"
#include "xref/xref.h"

int link_total = 0;
int link_position = 0;

namespace {

// The source after the one linked last, so that stepping through the sources
// costs O(1) per step instead of a walk from the first source.
CHBUF *g_link_cursor = nullptr;
// LinkStartAhead ran and no linking phase has taken its start yet.
bool g_link_started = false;

ST_SOURCE *NextSourceToLink(int sid) {
  void *data = nullptr;
  if (g_link_cursor) {
    CHBUF *e = CB_Next(g_link_cursor, &data);
    if (e && data && ((ST_SOURCE *)data)->sid == sid) {
      g_link_cursor = e;
      return (ST_SOURCE *)data;
    }
  }
  ST_SOURCE *found = nullptr;
  ForEachSource([&](ST_SOURCE *s, CHBUF *e) {
    if (s->sid != sid) return WalkResult::kGoOn;
    g_link_cursor = e;
    found = s;
    return WalkResult::kStop;
  });
  return found;
}

int ArgcMatches(int a, int b) {
  return a < 0 || b < 0 || a == b;
}

// With EXACT_NAMES only equal texts are equal, so names that merely hash
// alike (one bucket may hold both) each reach their own definition.
bool TextsMatch(const ST_FUNC *f, const ST_CALL *call) {
  return !g_config.EXACT_NAMES ||
         (strcmp(f->scope, call->scope) == 0 && strcmp(f->name, call->name) == 0);
}

// One func_index entry with what the linker compares, so a lookup touches
// only this array until it has found its definition.
struct IndexEntry {
  uint32_t bucket;
  int scope_hash;
  int name_hash;
  int argc;
  int sid;
  uint32_t order;  // position in the bucket
  ST_FUNC *func;
};

bool EntryLess(const IndexEntry &a, const IndexEntry &b) {
  if (a.bucket != b.bucket) return a.bucket < b.bucket;
  if (a.scope_hash != b.scope_hash) return a.scope_hash < b.scope_hash;
  if (a.name_hash != b.name_hash) return a.name_hash < b.name_hash;
  return a.order < b.order;
}

// The sorted copy of func_index for the linking phase in progress; empty
// outside one (scratch, rebuilt when a phase starts at its first source).
std::vector<IndexEntry> g_index;
bool g_index_ready = false;

// Where each run of equal (bucket, scope hash, name hash) starts in g_index,
// found by hashing: a lookup costs a probe or two instead of a binary search
// through the whole array. `first` is the run's index plus one; 0 is empty.
struct RunSlot {
  uint32_t bucket;
  int scope_hash;
  int name_hash;
  uint32_t first;
};
std::vector<RunSlot> g_runs;  // a power of two in size, at most half full

size_t RunHome(uint32_t bucket, int scope_hash, int name_hash) {
  uint64_t h = bucket * 0x9E3779B97F4A7C15ull;
  h ^= (uint32_t)scope_hash * 0xC2B2AE3D27D4EB4Full;
  h ^= (uint32_t)name_hash * 0x165667B19E3779F9ull;
  h ^= h >> 29;
  return (size_t)(h & (g_runs.size() - 1));
}

// The records say which linker reads them: the scope-aware one as soon as
// one source was read by the precise front end (its rules read the
// statement parser's records too), else the hash index.
bool AnyPreciseSource() {
  bool precise = false;
  ForEachSource([&](const ST_SOURCE *s) {
    precise = s->precise != 0;
    return precise ? WalkResult::kStop : WalkResult::kGoOn;
  });
  return precise;
}

void DropIndex() {
  ScopedIndexDrop();
  std::vector<IndexEntry>().swap(g_index);
  std::vector<RunSlot>().swap(g_runs);
  g_index_ready = false;
}

void BuildIndex() {
  DropIndex();
  ST_HASH2 *t = ANA.func_index;
  if (!t || !t->buckets || t->size == 0) return;
  if (AnyPreciseSource()) {
    // The precise parser's records are found through tables of their own
    // alone: the hash index would never be read.
    ScopedIndexBuild();
    g_index_ready = true;
    return;
  }
  for (uint32_t b = 0; b < t->size; b++) {
    uint32_t order = 0;
    CB_ForEach<ST_HASH2_ENTRY>(t->buckets[b], [&](const ST_HASH2_ENTRY *entry) {
      ST_FUNC *f = (ST_FUNC *)entry->record;
      if (f)
        g_index.push_back(IndexEntry{b, f->scope_hash, f->name_hash, f->argc, f->sid, order++, f});
    });
  }
  std::sort(g_index.begin(), g_index.end(), EntryLess);
  size_t size = 16;
  while (size < 2 * g_index.size()) size *= 2;
  g_runs.assign(size, RunSlot{0, 0, 0, 0});
  for (size_t i = 0; i < g_index.size(); i++) {
    const IndexEntry &e = g_index[i];
    if (i > 0 && g_index[i - 1].bucket == e.bucket && g_index[i - 1].scope_hash == e.scope_hash &&
        g_index[i - 1].name_hash == e.name_hash)
      continue;  // inside a run
    size_t k = RunHome(e.bucket, e.scope_hash, e.name_hash);
    while (g_runs[k].first) k = (k + 1) & (size - 1);
    g_runs[k] = RunSlot{e.bucket, e.scope_hash, e.name_hash, (uint32_t)i + 1};
  }
  g_index_ready = true;
}

// The definition a call reaches: the last candidate in the caller's source,
// else the first candidate. Entries come in registration (SID, FID) order
// after a function list; a source analysed again registers its functions at
// the end of their buckets, so the order is read from the numbers instead.
ST_FUNC *FindByBucketWalk(const char *key, const ST_CALL *call, int caller_sid) {
  ST_FUNC *found = nullptr;
  CB *bucket = HASH2_Search(ANA.func_index, key, 0);
  if (!bucket) return nullptr;
  auto before = [](const ST_FUNC *a, const ST_FUNC *b) {
    return a->sid < b->sid || (a->sid == b->sid && a->fid < b->fid);
  };
  CB_ForEach<ST_HASH2_ENTRY>(*bucket, [&](const ST_HASH2_ENTRY *entry) {
    ST_FUNC *f = (ST_FUNC *)entry->record;
    if (!f || f->scope_hash != call->scope_hash || f->name_hash != call->name_hash ||
        !ArgcMatches(f->argc, call->argc) || !TextsMatch(f, call))
      return;
    bool mine = f->sid == caller_sid, found_mine = found && found->sid == caller_sid;
    if (!found || (mine && (!found_mine || before(found, f))) ||
        (!mine && !found_mine && before(f, found)))
      found = f;
  });
  return found;
}

// The same choice from the sorted copy.
ST_FUNC *FindByIndex(const char *key, const ST_CALL *call, int caller_sid) {
  ST_HASH2 *t = ANA.func_index;
  IndexEntry probe{
      HashString(key, 0) % t->size, call->scope_hash, call->name_hash, 0, 0, 0, nullptr};
  size_t k = RunHome(probe.bucket, probe.scope_hash, probe.name_hash);
  while (g_runs[k].first &&
         (g_runs[k].bucket != probe.bucket || g_runs[k].scope_hash != probe.scope_hash ||
          g_runs[k].name_hash != probe.name_hash))
    k = (k + 1) & (g_runs.size() - 1);
  if (!g_runs[k].first) return nullptr;
  auto it = g_index.begin() + (g_runs[k].first - 1);
  ST_FUNC *found = nullptr;
  for (; it != g_index.end() && it->bucket == probe.bucket && it->scope_hash == probe.scope_hash &&
         it->name_hash == probe.name_hash;
       ++it) {
    if (!ArgcMatches(it->argc, call->argc) || !TextsMatch(it->func, call)) continue;
    if (!found || it->sid == caller_sid) found = it->func;
  }
  return found;
}

// The statement parser's rule: the hash index of "scope:name" with its
// tie-breaks (use_index as for FindDefinition).
ST_FUNC *FindByStatementRule(const ST_CALL *call, int caller_sid, bool use_index) {
  // "%s:%s" put together directly: this runs once per call.
  char key[528];
  size_t n = CopyText(key, sizeof key, call->scope);
  n += CopyText(key + n, sizeof key - n, ":");
  CopyText(key + n, sizeof key - n, call->name);
  if (use_index && g_index_ready && ANA.func_index->buckets && ANA.func_index->size)
    return FindByIndex(key, call, caller_sid);
  return FindByBucketWalk(key, call, caller_sid);
}

// Stores found (or no link) in the call.
void LinkTo(ST_CALL *call, ST_FUNC *found) {
  call->to_sid = found ? found->sid : 0;
  call->to_fid = found ? found->fid : 0;
  call->to_func = found;
}

// use_index: the call is linked by ANA_LinkNextSource, whose phase built the
// sorted copy from the func_index of this phase.
ST_FUNC *FindDefinition(const ST_CALL *call, int caller_sid, bool use_index,
                        std::vector<ST_FUNC *> *tied) {
  if (!ANA.func_index) return nullptr;
  if (ScopedIndexReady()) return ScopedFind(call, tied);
  if (!use_index && AnyPreciseSource()) {
    // One call alone, outside a phase: tables for this call only.
    ScopedIndexBuild();
    ST_FUNC *found = ScopedFind(call, tied);
    ScopedIndexDrop();
    return found;
  }
  return FindByStatementRule(call, caller_sid, use_index);
}

// An ambiguous call keeps every definition it may reach. Its form record
// (made here for a call written as a name alone) and the list live with
// the caller's source, which only the thread linking that source touches.
void KeepCandidates(ST_CALL *call, const std::vector<ST_FUNC *> &tied) {
  ST_SOURCE *s = call->caller ? call->caller->source : nullptr;
  if (!s || tied.size() < 2) return;
  if (!call->how) {
    call->how = (ST_CALL_FORM *)ArenaAlloc(&s->records, sizeof(ST_CALL_FORM));
    if (!call->how) return;
    call->how->form = CALL_PLAIN;
    call->how->object_const = -1;
  }
  auto **list = (ST_FUNC **)ArenaAlloc(&s->records, sizeof(ST_FUNC *) * tied.size());
  if (!list) return;
  std::copy(tied.begin(), tied.end(), list);
  call->how->candidates = list;
  call->how->candidate_count = (int)tied.size();
}

// The definition the call reaches, stored in the call (hashes already set).
ST_FUNC *Resolve(ST_CALL *call, bool use_index) {
  LinkTo(call, nullptr);
  if (call->how) call->how->candidate_count = 0;
  std::vector<ST_FUNC *> tied;
  ST_FUNC *found = FindDefinition(call, call->caller ? call->caller->sid : 0, use_index, &tied);
  LinkTo(call, found);
  if (found) KeepCandidates(call, tied);
  return found;
}

// The Call List rows of one linking step, handed to the sink in blocks.
struct CallRows {
  ResultsSink *sink;  // where they go, or null
  bool on;            // the sink takes Call List rows
  std::vector<CallRow> rows;

  explicit CallRows(ResultsSink *s) : sink(s), on(s && s->TakesRows(VIEW_CALLS)) {}
  ~CallRows() { Flush(); }
  void Add(const ST_CALL *call) {
    if (!on) return;
    rows.push_back(MakeCallRow(call));
    if (rows.size() == 4096) Flush();
  }
  void Flush() {
    if (on && !rows.empty()) sink->AddCallRows(rows.data(), rows.size());
    rows.clear();
  }
};

// What a resolved call changes beside its line: the definition is called,
// and the call has its Call List row.
void MarkAndRow(const ST_CALL *call, CallRows *rows) {
  if (ST_FUNC *found = call->to_func) found->called = 1;
  rows->Add(call);
}

int LinkOneCall(ST_CALL *call, bool use_index, CallRows *rows) {
  if (!call) return 0;
  Resolve(call, use_index);
  PrintCallReport(MakeCallRow(call));
  MarkAndRow(call, rows);
  return 1;
}

void SetHashes(ST_CALL *c) {
  c->scope_hash = (int)HashString(c->scope, 0);
  c->name_hash = (int)HashString(c->name, 0);
}

// A call not reached by the linker: no link, no hashes.
void Unlink(ST_CALL *c) {
  c->to_sid = c->to_fid = 0;
  c->to_func = nullptr;
  if (c->how) c->how->candidate_count = 0;
  c->scope_hash = c->name_hash = 0;
}

// The work of the analysis threads in the linking phase: every call of s
// resolved, its line gathered and followed by a mark. The definitions are
// marked called, and the rows added, by the worker in s's turn.
void LinkAhead(void *, ST_SOURCE *s, LOG_GATHER *g) {
  ForEachCall(s, [g](ST_CALL *c) {
    SetHashes(c);
    Resolve(c, true);
    PrintCallReport(MakeCallRow(c));
    LogGatherMark(g, 0);
  });
}

// A source linked ahead and not reported: back to unlinked.
void ForgetLinks(ST_SOURCE *s) {
  ForEachCall(s, Unlink);
}

// Linking needs no state of a thread's own.
const SourceWork kLinking = {LinkAhead, ForgetLinks, nullptr, nullptr};

// The linking of s in its turn from what a thread did ahead: each call's
// line, then its mark and row, then the Escape poll, as when linked here.
// false when linking must be done here after all (nothing was written).
bool ReplayLinks(CHBUF *e, ST_SOURCE *s, CallRows *rows) {
  int waited = pool_wait(e);
  if (waited < 0) return false;
  bool stopped = waited == 0;  // Escape before the first call: none is reached
  ForEachCall(s, [&](ST_CALL *c) {
    if (stopped) {
      Unlink(c);
      return;
    }
    int mark;
    pool_replay(s, &mark);
    MarkAndRow(c, rows);
    if (EscapePressed()) stopped = true;
  });
  if (stopped) {
    pool_stop(e);
    link_position = link_total;
  } else {
    pool_done(s);
  }
  return true;
}

}  // namespace

void LinkStartAhead(void) {
  pool_stop(nullptr);  // the threads of a start nobody used: their links undone
  g_link_cursor = nullptr;
  BuildIndex();
  // The calls of the sources ahead are resolved by the analysis threads.
  if (g_index_ready) pool_start(CB_Next(&ANA.sources, nullptr), &kLinking);
  g_link_started = true;
}

ST_FUNC *ANA_ResolveCall(ST_CALL *call) {
  if (!call) return nullptr;
  SetHashes(call);
  LinkTo(call, nullptr);
  if (!ANA.func_index) return nullptr;
  // The statement parser's rule straight away: asking the records which
  // linker they want walks every source, once per call.
  ST_FUNC *found = FindByStatementRule(call, call->caller ? call->caller->sid : 0, false);
  LinkTo(call, found);
  return found;
}

int ANA_LinkCall(ST_CALL *call, ResultsSink *sink) {
  CallRows rows(sink);
  return LinkOneCall(call, false, &rows);
}

int ANA_LinkNextSource(ResultsSink *sink) {
  if (link_position >= link_total) {
    pool_stop(nullptr);  // a start with nothing to link
    g_link_started = false;
    DropIndex();
    return ANA_LINK_NOTHING_LEFT;
  }
  if (link_position == 0) {
    if (!g_link_started) LinkStartAhead();
    g_link_started = false;  // this phase has taken the start
  }
  ST_SOURCE *s = NextSourceToLink(link_position + 1);
  if (!s) {
    pool_stop(nullptr);
    DropIndex();
    return ANA_LINK_NOTHING_LEFT;
  }

  CallRows rows(sink);
  if (!pool_active() || !ReplayLinks(g_link_cursor, s, &rows)) {
    ForEachCall(s, [&rows](ST_CALL *c) {
      SetHashes(c);
      LinkOneCall(c, true, &rows);
      if (!EscapePressed()) return WalkResult::kGoOn;
      link_position = link_total;
      return WalkResult::kStop;
    });
  }
  if (++link_position >= link_total) {
    pool_stop(g_link_cursor);  // the threads have nothing left: they are joined
    DropIndex();
  }
  return link_position;
}
