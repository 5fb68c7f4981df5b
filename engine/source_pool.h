// The analysis threads: work done on sources ahead of the worker (parsing,
// linking), each source by one thread, in registration order, with what it
// prints gathered apart (foundation/log.h) and written by the worker in the
// source's turn. At most a bounded number of sources, and of gathered bytes,
// wait ahead of the worker. One pool at a time; the worker alone starts,
// waits on, replays and stops it.
#pragma once

#include "engine/ana.h"
#include "foundation/log.h"

// What the threads do with the sources they take.
struct SourceWork {
  // The work on one source; what it prints goes to g. state is the thread's
  // own, made by open_state (null when there is none).
  void (*work)(void *state, ST_SOURCE *s, LOG_GATHER *g);
  // Puts a source worked ahead, and not reported, back as it was before.
  void (*forget)(ST_SOURCE *s);
  // A thread's own state, made when it starts and given back when it ends
  // (both may be null: no state). A thread that gets none does no work.
  void *(*open_state)(void);
  void (*close_state)(void *state);
};

// Starts threads doing work on the sources from `from` on, when JOBS asks for
// more than one, the debug log is below level 2, the log indentation is at 0
// and more than one source is left. 1 when they run (or already ran), 0 when
// the worker must do the work alone. work must outlive the threads.
int pool_start(CHBUF *from, const SourceWork *work);
// 1 while threads work ahead.
int pool_active(void);
// 1 while threads work ahead and s is theirs (not handed back to the
// worker to do itself, see pool_wait).
int pool_has(const ST_SOURCE *s);
// Waits until the source of element e is done, polling Escape every 20 ms:
// 1 done (what it printed waits in its gathering); 0 when Escape came first
// (the threads are stopped, the sources after it forgotten, its own
// gathering dropped); -1 when its gathering is incomplete (memory ran out):
// it has been forgotten and the caller does its work itself.
int pool_wait(CHBUF *e);
// Writes what s printed after the last replay, up to its next mark: 1 with
// the mark's value in *mark, 0 when everything has been written.
int pool_replay(ST_SOURCE *s, int *mark);
// The worker is done with s: its gathering is released, a thread may go on.
void pool_done(ST_SOURCE *s);
// Stops and joins the threads; every source taken and not reported is
// forgotten, but for `keep` (may be null), which only loses what it printed
// and is not yet written. Nothing when none run.
void pool_stop(CHBUF *keep);
