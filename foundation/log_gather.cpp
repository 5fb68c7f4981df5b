// The gathering of log lines: a thread that works apart from the others
// (one source of a parallel parse) keeps its printed lines, NestMove errors,
// trace lines and marks in order in a LOG_GATHER, and the merge replays them
// to the channels and the trace in the one fixed order. Lines are indented
// and cleaned when gathered, so the replay writes them as they are. Which
// gathering the calling thread has (and its copy) is defined in log.cpp,
// beside the printing that looks at it for every line.
#include <cstring>

#include "foundation/log.h"
#include "foundation/log_internal.h"
#include "foundation/memory.h"
#include "foundation/trace.h"
#include "platform/sys.h"

using namespace log_detail;

namespace {

// What a gathered entry is: a printed line of channel 0 or 1, a NestMove
// error line, a trace line, or a mark with a number.
enum : unsigned char {
  kGatherLine0 = LOG_GATHER_LINE0,
  kGatherLine1 = LOG_GATHER_LINE1,
  kGatherRaw0 = LOG_GATHER_RAW0,
  kGatherTrace = LOG_GATHER_TRACE,
  kGatherMark = LOG_GATHER_MARK,
};
enum : size_t { kGatherFirst = 1024, kGatherMax = (size_t)1 << 20, kEntryHead = 5 };

// The line being gathered, built on the calling thread.
thread_local char tl_line[kLineSize];

// Appends one entry: its kind, its length (4 bytes) and its bytes.
void Gather(LOG_GATHER *g, unsigned char kind, const void *bytes, size_t len) {
  if (g->failed) return;
  size_t need = kEntryHead + len;
  LOG_GATHER_BLOCK *b = g->last;
  if (!b || b->cap - b->used < need) {
    size_t cap = g->next_cap ? g->next_cap : (size_t)kGatherFirst;
    while (cap < need) cap *= 2;
    b = (LOG_GATHER_BLOCK *)MemAlloc(sizeof(LOG_GATHER_BLOCK) + cap);
    if (!b) {
      g->failed = 1;  // the whole gathering is void: the caller does it again
      return;
    }
    b->cap = cap;
    if (g->last)
      g->last->next = b;
    else
      g->first = b;
    g->last = b;
    g->next_cap = cap * 2 < kGatherMax ? cap * 2 : (size_t)kGatherMax;
    g->bytes += sizeof(LOG_GATHER_BLOCK) + cap;
  }
  char *at = b->data + b->used;
  uint32_t n = (uint32_t)len;
  at[0] = (char)kind;
  memcpy(at + 1, &n, 4);
  memcpy(at + kEntryHead, bytes, len);
  b->used += need;
}

}  // namespace

namespace log_detail {

void GatherPrinted(LOG_GATHER *g, int channel, const char *message, size_t len, int flags) {
  // Written later, to nothing if the channel is off by then: the replay
  // looks, under the lock.
  size_t n = BuildLine(tl_line, message, len, g->nest, flags);
  Gather(g, channel == 0 ? kGatherLine0 : kGatherLine1, tl_line, n);
}

void GatherRaw(LOG_GATHER *g, const char *bytes, size_t len) {
  Gather(g, kGatherRaw0, bytes, len);
}

void GatherBuilt(LOG_GATHER *g, int channel, const char *line, size_t len) {
  Gather(g, channel == 0 ? kGatherLine0 : kGatherLine1, line, len);
}

}  // namespace log_detail

void LogGatherInit(LOG_GATHER *g, int nest) {
  memset(g, 0, sizeof *g);
  g->nest = nest;
}

void LogGatherTrace(LOG_GATHER *g, const char *text) {
  Gather(g, kGatherTrace, text, strlen(text) + 1);
}

void LogGatherMark(LOG_GATHER *g, int value) {
  Gather(g, kGatherMark, &value, sizeof value);
}

int LogGatherReplay(const LOG_GATHER *g, LOG_REPLAY *at, int *mark) {
  if (!at->block) {
    if (at->started) return 0;
    at->started = 1;
    at->block = g->first;
    at->pos = 0;
  }
  ChannelsLock guard;
  while (at->block) {
    const LOG_GATHER_BLOCK *b = at->block;
    if (at->pos >= b->used) {
      at->block = b->next;
      at->pos = 0;
      continue;
    }
    const char *entry = b->data + at->pos;
    uint32_t len;
    memcpy(&len, entry + 1, 4);
    const char *bytes = entry + kEntryHead;
    at->pos += kEntryHead + len;
    switch ((unsigned char)entry[0]) {
      case kGatherLine0:
      case kGatherLine1:
        WriteGatheredLine(entry[0] == kGatherLine0 ? 0 : 1, bytes, len);
        break;
      case kGatherRaw0:
        AppendRawLine(bytes, len);
        break;
      case kGatherTrace:
        guard.unlock();  // the trace sink may print itself
        TraceWrite(bytes);
        guard.lock();
        break;
      case kGatherMark:
        memcpy(mark, bytes, sizeof *mark);
        return 1;
      default:
        break;
    }
  }
  return 0;
}

void LogGatherRelease(LOG_GATHER *g) {
  for (LOG_GATHER_BLOCK *b = g->first; b;) {
    LOG_GATHER_BLOCK *next = b->next;
    MemFree(b);
    b = next;
  }
  g->first = g->last = nullptr;
  g->bytes = 0;
  g->next_cap = 0;
}

int LogGatherForEach(const LOG_GATHER *g,
                     int (*fn)(void *ctx, int kind, const char *bytes, size_t len), void *ctx) {
  if (!g || !fn) return 0;
  for (const LOG_GATHER_BLOCK *b = g->first; b; b = b->next) {
    for (size_t pos = 0; pos < b->used;) {
      const char *entry = b->data + pos;
      uint32_t len;
      memcpy(&len, entry + 1, 4);
      if (!fn(ctx, (unsigned char)entry[0], entry + kEntryHead, len)) return 0;
      pos += kEntryHead + len;
    }
  }
  return 1;
}

void LogGatherAppend(LOG_GATHER *g, int kind, const void *bytes, size_t len) {
  if (!g) return;
  if (kind < kGatherLine0 || kind > kGatherMark || len > 0xFFFFFFFFu || (!bytes && len)) {
    g->failed = 1;
    return;
  }
  Gather(g, (unsigned char)kind, bytes, len);
}

void LogGatherBegin(LOG_GATHER *g) {
  tl_gather = g;
}

void LogGatherEnd(void) {
  tl_gather = nullptr;
}

LOG_GATHER *LogGatherCurrent(void) {
  return tl_gather;
}

void LogGatherCopyBegin(LOG_GATHER *g) {
  tl_copy = g;
}

void LogGatherCopyEnd(void) {
  tl_copy = nullptr;
}

LOG_GATHER *LogGatherCopyCurrent(void) {
  return tl_copy;
}
