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
// and each call then finds exactly the entries a bucket walk would accept, in
// the same order, by a binary search.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "engine/record_walk.h"
#include "foundation/hash.h"
#include "foundation/log.h"
#include "foundation/settings.h"
#include "foundation/text.h"
#include "platform/keys.h"
#include "xref/xref.h"

int link_total = 0;
int link_position = 0;

namespace {

// The source after the one linked last, so that stepping through the sources
// costs O(1) per step instead of a walk from the first source.
CHBUF *g_link_cursor = nullptr;

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

void DropIndex() {
  std::vector<IndexEntry>().swap(g_index);
  g_index_ready = false;
}

void BuildIndex() {
  DropIndex();
  ST_HASH2 *t = ANA.func_index;
  if (!t || !t->buckets || t->size == 0) return;
  for (uint32_t b = 0; b < t->size; b++) {
    uint32_t order = 0;
    CB_ForEach<ST_HASH2_ENTRY>(t->buckets[b], [&](const ST_HASH2_ENTRY *entry) {
      ST_FUNC *f = (ST_FUNC *)entry->record;
      if (f)
        g_index.push_back(IndexEntry{b, f->scope_hash, f->name_hash, f->argc, f->sid, order++, f});
    });
  }
  std::sort(g_index.begin(), g_index.end(), EntryLess);
  g_index_ready = true;
}

// The definition a call reaches: the last candidate in the caller's source,
// else the first candidate.
ST_FUNC *FindByBucketWalk(const char *key, const ST_CALL *call, int caller_sid) {
  ST_FUNC *found = nullptr;
  CB *bucket = HASH2_Search(ANA.func_index, key, 0);
  if (!bucket) return nullptr;
  CB_ForEach<ST_HASH2_ENTRY>(*bucket, [&](const ST_HASH2_ENTRY *entry) {
    ST_FUNC *f = (ST_FUNC *)entry->record;
    if (!f || f->scope_hash != call->scope_hash || f->name_hash != call->name_hash ||
        !ArgcMatches(f->argc, call->argc) || !TextsMatch(f, call))
      return;
    if (!found || f->sid == caller_sid) found = f;
  });
  return found;
}

// The same choice from the sorted copy.
ST_FUNC *FindByIndex(const char *key, const ST_CALL *call, int caller_sid) {
  ST_HASH2 *t = ANA.func_index;
  IndexEntry probe{
      HashString(key, 0) % t->size, call->scope_hash, call->name_hash, 0, 0, 0, nullptr};
  auto it = std::lower_bound(g_index.begin(), g_index.end(), probe, EntryLess);
  ST_FUNC *found = nullptr;
  for (; it != g_index.end() && it->bucket == probe.bucket && it->scope_hash == probe.scope_hash &&
         it->name_hash == probe.name_hash;
       ++it) {
    if (!ArgcMatches(it->argc, call->argc) || !TextsMatch(it->func, call)) continue;
    if (!found || it->sid == caller_sid) found = it->func;
  }
  return found;
}

// use_index: the call is linked by ANA_LinkNextSource, whose phase built the
// sorted copy from the func_index of this phase.
ST_FUNC *FindDefinition(const ST_CALL *call, int caller_sid, bool use_index) {
  if (!ANA.func_index) return nullptr;
  char key[528];
  FormatText(key, sizeof key, "%s:%s", call->scope, call->name);
  if (use_index && g_index_ready && ANA.func_index->buckets && ANA.func_index->size)
    return FindByIndex(key, call, caller_sid);
  return FindByBucketWalk(key, call, caller_sid);
}

int LinkOneCall(ST_CALL *call, bool use_index) {
  if (!call) return 0;
  call->to_sid = 0;
  call->to_fid = 0;
  call->to_func = nullptr;

  ST_FUNC *caller = call->caller;
  int caller_sid = caller ? caller->sid : 0;
  ST_FUNC *found = FindDefinition(call, caller_sid, use_index);

  const char *caller_source = caller && caller->source ? caller->source->name : "";
  const char *caller_scope = caller ? caller->scope : "";
  const char *caller_name = caller ? caller->name : "";
  int caller_fid = caller ? caller->fid : 0;
  if (found) {
    call->to_sid = found->sid;
    call->to_fid = found->fid;
    call->to_func = found;
    found->called = 1;
    const char *to_source = found->source ? found->source->name : "";
    LogPrint(0, LOG_RESULT, "[%s] %s%s(argc:%d)---[LINK]--->(SID:%d,FID:%d)[%s] %s%s\r\n",
             caller_source, call->scope, call->name, call->argc, found->sid, found->fid, to_source,
             found->scope, found->name);
    AddCallRow(caller_sid, caller_source, caller_fid, caller_scope, caller_name, call->scope,
               call->name, call->argc, found->sid, to_source, found->fid, found->scope,
               found->name);
  } else {
    LogPrint(0, LOG_RESULT, "[%s] %s%s(argc:%d)------------>not found.\r\n", caller_source,
             call->scope, call->name, call->argc);
    AddCallRow(caller_sid, caller_source, caller_fid, caller_scope, caller_name, call->scope,
               call->name, call->argc, 0, "", 0, "", "");
  }
  return 1;
}

}  // namespace

int ANA_LinkCall(ST_CALL *call) {
  return LinkOneCall(call, false);
}

int ANA_LinkNextSource(void) {
  if (link_position >= link_total) {
    DropIndex();
    return -1;
  }
  if (link_position == 0) {
    g_link_cursor = nullptr;
    BuildIndex();
  }
  ST_SOURCE *s = NextSourceToLink(link_position + 1);
  if (!s) {
    DropIndex();
    return -1;
  }

  ForEachCall(s, [](ST_CALL *c) {
    c->scope_hash = (int)HashString(c->scope, 0);
    c->name_hash = (int)HashString(c->name, 0);
    LinkOneCall(c, true);
    if (!EscapePressed()) return WalkResult::kGoOn;
    link_position = link_total;
    return WalkResult::kStop;
  });
  if (++link_position >= link_total) DropIndex();
  return link_position;
}
