// Where analysed sources may be kept and taken back from: a store (the
// project's index, index/) that the program sets for one analysis. A source
// the store can give back is not parsed: its records and what parsing it
// printed come from the store, and the worker reports it in its turn like a
// source parsed ahead, so nothing written or shown depends on where it came
// from. A source that is parsed is handed to the store afterwards.
//
// Threads: take and keep run on the analysis threads and on the worker, each
// with its own reader; the store makes them safe to call at once.
#pragma once

#include <cstdint>

#include "engine/ana.h"
#include "foundation/log.h"

// The bytes a source was parsed from, as read.
struct SourceStamp {
  int64_t size;      // bytes of the file
  int64_t mtime_ns;  // its modification time, nanoseconds
  uint64_t hash;     // ContentHash of the bytes
  int steady;        // 1: size and time were the same after reading as before
};

struct SourceStore {
  void *self;  // the store's own record
  // A reader for the calling thread, or null (that thread takes nothing).
  void *(*open_reader)(void *self);
  void (*close_reader)(void *reader);
  // Fills s (registered, not parsed: no records) with the records kept for
  // it, appends what parsing it printed at the log level in force to g, and
  // sets its size and end state: 1 taken; 0 when nothing fits (s untouched,
  // nothing appended).
  int (*take)(void *reader, ST_SOURCE *s, LOG_GATHER *g);
  // s was parsed to its end (status -1) from the bytes stamp describes; g
  // holds what it printed, null when that is not known. The store copies
  // what it keeps before it returns.
  void (*keep)(void *self, const ST_SOURCE *s, const SourceStamp *stamp, const LOG_GATHER *g);
};

// The store of the analyses that follow, or null for none; set by the worker
// (or start-up) while no analysis thread runs. Not owned.
void ANA_UseStore(const SourceStore *store);
// The store in force, or null.
const SourceStore *ANA_Store(void);
