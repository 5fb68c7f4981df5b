// The analysis threads (source_pool.h) and their first use, parsing. Each
// source is parsed ahead of the worker by one thread from its start to its
// end, into its own records, with everything it prints gathered apart
// (foundation/log.h). The worker still takes the sources one per turn in
// registration order (ANA_Exec) and replays each one's gathered lines then,
// slice by slice, with the progress the slice would have shown; so the logs,
// the trace, the progress calls and the records are those of a single
// thread. The linker uses the same pool (xref/link.cpp). At most a bounded
// number of sources, and of gathered bytes, wait ahead of the worker.
//
// Threads: the pool record below is shared; every field is guarded by
// g_pool.lock except `stop` (atomic) and the thread handles, work and forget
// (the worker's, set before the threads start). A source taken by a thread
// is written only by that thread until it is marked AHEAD_PARSED under the
// lock; the worker reads it only after.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>

#include "engine/parser.h"
#include "engine/source_pool.h"
#include "engine/source_store.h"
#include "engine/record_walk.h"
#include "foundation/log.h"
#include "foundation/memory.h"
#include "foundation/settings.h"
#include "platform/keys.h"
#include "platform/thread.h"

namespace {

enum {
  kMaxThreads = 64,
  kAheadPerThread = 4,  // sources parsed ahead of the worker, per thread
  kWaitMs = 20,         // the worker's Escape poll while it waits for a source
};
const size_t kMaxGathered = (size_t)64 << 20;  // gathered bytes waiting ahead

struct Pool {
  std::mutex lock;                    // guards the fields below but stop and threads
  std::condition_variable room;       // threads wait here for room ahead
  std::condition_variable ready;      // the worker waits here for its source
  ST_SOURCE *awaited;                 // the source the worker waits for, or nullptr
  int idle;                           // threads waiting for room
  int active;                         // 1 from pool_start until pool_stop
  CHBUF *first;                       // the first source of the work
  CHBUF *next;                        // next source to take, or nullptr
  int taken;                          // sources taken since the start
  int reported;                       // sources the worker has finished with
  int max_ahead;                      // taken - reported stays below this
  size_t gathered;                    // gathered bytes of sources not yet reported
  LOG_REPLAY replay;                  // how far the current source is replayed
  std::atomic<int> stop;              // 1: threads end their source at once and leave
  const SourceWork *work;             // what a thread does with a source
  ThreadHandle threads[kMaxThreads];  // worker's
  int nthreads;                       // worker's
};

Pool g_pool;

int StopRequested(void) {
  return g_pool.stop.load(std::memory_order_relaxed);
}

void ThreadMain(void *) {
  const SourceWork *work = g_pool.work;
  void *state = work->open_state ? work->open_state() : nullptr;
  bool ready = state || !work->open_state;
  for (;;) {
    ST_SOURCE *s = nullptr;
    {
      std::unique_lock<std::mutex> guard(g_pool.lock);
      g_pool.idle++;
      g_pool.room.wait(guard, [] {
        return g_pool.stop.load() || !g_pool.next ||
               (g_pool.taken - g_pool.reported < g_pool.max_ahead &&
                g_pool.gathered < kMaxGathered);
      });
      g_pool.idle--;
      if (g_pool.stop.load() || !g_pool.next || !ready) break;
      s = (ST_SOURCE *)g_pool.next->data;
      g_pool.next = CB_Next(g_pool.next, nullptr);
      g_pool.taken++;
      if (!s) continue;
      s->ahead = AHEAD_PARSING;
    }
    LOG_GATHER *g = (LOG_GATHER *)MemAlloc(sizeof(LOG_GATHER));
    if (g) {
      LogGatherInit(g, 0);
      LogGatherBegin(g);
      work->work(state, s, g);
      LogGatherEnd();
    }
    std::lock_guard<std::mutex> guard(g_pool.lock);
    s->gathered = g;
    s->ahead = AHEAD_PARSED;  // pool_wait looks whether what it gathered is whole
    if (g) g_pool.gathered += g->bytes;
    if (g_pool.awaited == s) g_pool.ready.notify_one();  // only the worker waits there
  }
  if (state && work->close_state) work->close_state(state);
}

// Drops what s gathered (its bytes no longer count ahead, with the lock held).
void DropGathered(ST_SOURCE *s) {
  if (!s->gathered) return;
  g_pool.gathered -= s->gathered->bytes;
  LogGatherRelease(s->gathered);
  MemFree(s->gathered);
  s->gathered = nullptr;
}

// The worker is done with s: its gathering goes, room for one more.
void Finished(ST_SOURCE *s) {
  std::lock_guard<std::mutex> guard(g_pool.lock);
  DropGathered(s);
  s->ahead = AHEAD_NONE;
  g_pool.reported++;
  g_pool.replay = LOG_REPLAY{};
  if (g_pool.idle) g_pool.room.notify_all();
}

// A parsing thread's own context, and its reader of the store in force.
struct ParseThread {
  ST_PARSE ctx;  // first: the state is also the thread's parse context
  void *reader;  // the store's reader for this thread, or null
};

void *OpenContext(void) {
  ParseThread *t = (ParseThread *)MemAlloc(sizeof(ParseThread));
  const SourceStore *store = ANA_Store();
  if (t && store && store->open_reader) t->reader = store->open_reader(store->self);
  return t;
}
void CloseContext(void *state) {
  ParseThread *t = (ParseThread *)state;
  end_source(&t->ctx);
  const SourceStore *store = ANA_Store();
  if (t->reader && store && store->close_reader) store->close_reader(t->reader);
  MemFree(t);
}

}  // namespace

void parse_ahead(void *state, ST_SOURCE *s, LOG_GATHER *g) {
  ParseThread *t = (ParseThread *)state;
  ST_PARSE *ctx = &t->ctx;
  const SourceStore *store = ANA_Store();
  if (store && t->reader && store->take(t->reader, s, g)) return;
  SourceStamp stamp;
  s->size = load_source_stamped(s->path, &s->text, store ? &stamp : nullptr);
  if (s->size <= 0) {
    s->status = SOURCE_COMPLETED;
    LogGatherMark(g, 100);
  } else {
    begin_source(ctx, s);
    ctx->yield_every = 0;  // not the worker: no window waits for it
    while (s->status == SOURCE_PENDING) LogGatherMark(g, parse_slice(ctx, StopRequested));
    end_source(ctx);
    ctx->read_pos = nullptr;
    ctx->src = nullptr;
  }
  MemFree(s->text);  // the records keep offsets, not the text
  s->text = nullptr;
  if (store && s->status == -1 && stamp.steady) store->keep(store->self, s, &stamp, g);
}

void forget_parse(ST_SOURCE *s) {
  ForEachFunction(s, [](ST_FUNC *f) { CB_Init(&f->calls); });
  CB_Init(&s->funcs);
  CB_Init(&s->classes);
  ArenaRelease(&s->records);
  MemFree(s->text);
  s->text = nullptr;
  s->status = SOURCE_PENDING;
  s->lost_in = nullptr;
  s->fell_back = PreciseBudget::kNone;
}

int pool_active(void) {
  std::lock_guard<std::mutex> guard(g_pool.lock);
  return g_pool.active;
}

int pool_has(const ST_SOURCE *s) {
  std::lock_guard<std::mutex> guard(g_pool.lock);
  return g_pool.active && s->ahead != AHEAD_DIRECT;
}

const SourceWork kParsing = {parse_ahead, forget_parse, OpenContext, CloseContext};

int pool_start(CHBUF *from, const SourceWork *work) {
  if (pool_active()) return 1;
  int jobs = g_config.JOBS > 0 ? g_config.JOBS : ProcessorCount();
  if (jobs > kMaxThreads) jobs = kMaxThreads;
  // The full trace is written as it happens, and gathered lines are indented
  // from level 0: anything else is parsed by the worker alone.
  if (jobs < 2 || LogGetLevel() >= 2 || LogNestLevel() != 0 || !from) return 0;
  int left = 0;
  for (CHBUF *e = (CHBUF *)from; e && left < 2; e = CB_Next(e, nullptr)) left += e->data != nullptr;
  if (left < 2) return 0;
  {
    std::lock_guard<std::mutex> guard(g_pool.lock);
    g_pool.first = g_pool.next = (CHBUF *)from;
    g_pool.taken = g_pool.reported = 0;
    g_pool.max_ahead = jobs * kAheadPerThread;
    g_pool.gathered = 0;
    g_pool.replay = LOG_REPLAY{};
    g_pool.stop.store(0);
    g_pool.awaited = nullptr;
    g_pool.idle = 0;
    g_pool.work = work;
    g_pool.active = 1;
  }
  g_pool.nthreads = 0;
  for (int i = 0; i < jobs; i++) {
    if (!StartThread(ThreadMain, nullptr, WORKER_STACK_BYTES, &g_pool.threads[g_pool.nthreads]))
      break;
    g_pool.nthreads++;
  }
  if (g_pool.nthreads == 0) {
    std::lock_guard<std::mutex> guard(g_pool.lock);
    g_pool.active = 0;
    return 0;
  }
  return 1;
}

void pool_stop(CHBUF *keep) {
  {
    std::lock_guard<std::mutex> guard(g_pool.lock);
    if (!g_pool.active) return;
    g_pool.stop.store(1);
    g_pool.room.notify_all();
  }
  for (int i = 0; i < g_pool.nthreads; i++) JoinThread(&g_pool.threads[i]);
  g_pool.nthreads = 0;
  std::lock_guard<std::mutex> guard(g_pool.lock);
  g_pool.active = 0;
  g_pool.next = nullptr;
  g_pool.gathered = 0;
  g_pool.replay = LOG_REPLAY{};
  g_pool.stop.store(0);
  // Every source taken and not reported is put back (the one kept only
  // loses the rest of what it printed); reported ones hold nothing ahead.
  for (CHBUF *e = g_pool.first; e; e = CB_Next(e, nullptr)) {
    ST_SOURCE *s = (ST_SOURCE *)e->data;
    if (!s) continue;
    DropGathered(s);
    bool theirs = s->ahead == AHEAD_PARSING || s->ahead == AHEAD_PARSED;
    if (e != keep && theirs && g_pool.work && g_pool.work->forget) g_pool.work->forget(s);
    s->ahead = AHEAD_NONE;  // a source handed back (AHEAD_DIRECT) is the worker's
  }
  g_pool.first = nullptr;
  g_pool.gathered = 0;
}

int pool_wait(CHBUF *e) {
  ST_SOURCE *s = (ST_SOURCE *)e->data;
  std::unique_lock<std::mutex> guard(g_pool.lock);
  while (s->ahead == AHEAD_NONE || s->ahead == AHEAD_PARSING) {
    g_pool.awaited = s;
    g_pool.ready.wait_for(guard, std::chrono::milliseconds(kWaitMs));
    g_pool.awaited = nullptr;
    if (s->ahead == AHEAD_PARSED) break;
    guard.unlock();
    int pressed = EscapePressed();
    guard.lock();
    if (pressed) {
      guard.unlock();
      pool_stop(e);
      return 0;
    }
  }
  if (s->gathered && !s->gathered->failed) return 1;
  // Incomplete: the caller does it again itself; it no longer counts ahead.
  DropGathered(s);
  if (g_pool.work && g_pool.work->forget) g_pool.work->forget(s);
  s->ahead = AHEAD_DIRECT;
  g_pool.reported++;
  if (g_pool.idle) g_pool.room.notify_all();
  return -1;
}

int pool_replay(ST_SOURCE *s, int *mark) {
  return LogGatherReplay(s->gathered, &g_pool.replay, mark);
}

void pool_done(ST_SOURCE *s) {
  Finished(s);
}

int pool_exec(ANA_EXEC *exec, ST_SOURCE *s) {
  int waited = pool_wait(exec->cur_source);
  if (waited == 0) {  // stopped before anything of it was written
    s->status = SOURCE_STOPPED;
    return 0;
  }
  if (waited < 0) return ANA_Exec(exec, nullptr, nullptr, 0);  // parsed again by the worker
  int mark = 0;
  if (pool_replay(s, &mark)) {
    if (EscapePressed()) {
      pool_stop(exec->cur_source);
      s->status = SOURCE_STOPPED;
    }
    return mark;
  }
  pool_done(s);
  return report_completed(exec, s);
}

void ANA_StopParsing(void) {
  pool_stop(nullptr);
}
