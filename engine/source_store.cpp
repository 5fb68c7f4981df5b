// The store in force, and the worker's own use of it for the sources it
// analyses itself (one thread, the full trace, a source handed back by the
// threads): a source taken from the store is replayed slice by slice as a
// source parsed ahead would be; a source it parses is copied as it prints,
// and handed to the store once complete. The analysis threads' use is in
// parse_pool.cpp.
#include "engine/source_store.h"

#include "engine/parser.h"
#include "foundation/log.h"
#include "foundation/memory.h"
#include "platform/keys.h"

namespace {

// Largest copy of what one source prints that is kept (the full trace of a
// large source is not worth keeping: that level is parsed again next time).
const size_t kMaxCopy = (size_t)32 << 20;

// The worker's side; only the thread that calls ANA_Exec touches it, and
// ANA_UseStore, which runs while no analysis does.
struct DirectStore {
  const SourceStore *store;  // the store in force, or null (set while no thread runs)
  void *reader;              // the worker's reader, opened at its first use
  int reader_tried;          // 1 once opening it was tried
  LOG_GATHER *copy;          // what the source being parsed printed so far, or null
  SourceStamp stamp;         // the bytes it is parsed from
  LOG_REPLAY replay;         // how far a source taken from the store is replayed
};

DirectStore g_direct;

void DropCopy(void) {
  if (!g_direct.copy) return;
  LogGatherRelease(g_direct.copy);
  MemFree(g_direct.copy);
  g_direct.copy = nullptr;
}

void CloseReader(void) {
  if (g_direct.reader && g_direct.store && g_direct.store->close_reader)
    g_direct.store->close_reader(g_direct.reader);
  g_direct.reader = nullptr;
  g_direct.reader_tried = 0;
}

}  // namespace

void ANA_UseStore(const SourceStore *store) {
  DropCopy();
  CloseReader();
  g_direct.store = store;
}

const SourceStore *ANA_Store(void) {
  return g_direct.store;
}

int direct_take(ST_SOURCE *s) {
  const SourceStore *store = g_direct.store;
  if (!store) return 0;
  if (!g_direct.reader_tried) {
    g_direct.reader_tried = 1;
    if (store->open_reader) g_direct.reader = store->open_reader(store->self);
  }
  if (!g_direct.reader) return 0;
  LOG_GATHER *g = (LOG_GATHER *)MemAlloc(sizeof(LOG_GATHER));
  if (!g) return 0;
  LogGatherInit(g, 0);
  if (!store->take(g_direct.reader, s, g) || g->failed) {
    if (s->status == SOURCE_COMPLETED) forget_parse(s);  // taken but its lines are incomplete
    LogGatherRelease(g);
    MemFree(g);
    return 0;
  }
  s->gathered = g;
  g_direct.replay = LOG_REPLAY{};
  return 1;
}

int direct_replay(ANA_EXEC *exec, ST_SOURCE *s) {
  int mark = 0;
  if (LogGatherReplay(s->gathered, &g_direct.replay, &mark)) {
    if (EscapePressed()) s->status = SOURCE_STOPPED;
    return mark;
  }
  direct_release(s);
  return report_completed(exec, s);
}

void direct_release(ST_SOURCE *s) {
  if (!s->gathered) return;
  LogGatherRelease(s->gathered);
  MemFree(s->gathered);
  s->gathered = nullptr;
  g_direct.replay = LOG_REPLAY{};
}

SourceStamp *direct_copy_begin(void) {
  DropCopy();
  if (!g_direct.store) return nullptr;
  // Gathered lines are replayed from nest level 0: a copy made at another
  // level would not write the same bytes.
  if (LogNestLevel() == 0) {
    g_direct.copy = (LOG_GATHER *)MemAlloc(sizeof(LOG_GATHER));
    if (g_direct.copy) LogGatherInit(g_direct.copy, 0);
  }
  g_direct.stamp = SourceStamp{};
  return &g_direct.stamp;
}

void direct_copy_on(int on) {
  if (!on) {
    LogGatherCopyEnd();
    return;
  }
  if (g_direct.copy && g_direct.copy->bytes > kMaxCopy) DropCopy();
  if (g_direct.copy) LogGatherCopyBegin(g_direct.copy);
}

void direct_copy_mark(int progress) {
  if (g_direct.copy) LogGatherMark(g_direct.copy, progress);
}

void direct_copy_end(const ST_SOURCE *s) {
  LogGatherCopyEnd();
  const SourceStore *store = g_direct.store;
  if (store && s->status == SOURCE_COMPLETED && g_direct.stamp.steady) {
    const LOG_GATHER *g = g_direct.copy && !g_direct.copy->failed ? g_direct.copy : nullptr;
    store->keep(store->self, s, &g_direct.stamp, g);
  }
  DropCopy();
}
