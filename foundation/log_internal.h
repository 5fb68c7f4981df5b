// What the log's channels (log.cpp) and its gathering (log_gather.cpp)
// share; private to those two files.
#pragma once

#include <cstddef>
#include <mutex>

#include "foundation/log.h"

namespace log_detail {

// The gathering of the calling thread, or nullptr (its lines are written),
// and its copy of what it prints, or nullptr.
extern thread_local LOG_GATHER *tl_gather;
extern thread_local LOG_GATHER *tl_copy;

enum {
  kMaxNest = 16,        // deepest indentation
  kMessageSize = 2048,  // a formatted message, with its NUL
  kLineSize = 2080,     // a written line: time stamp, indentation, message
};

// The log's lock and the channels together, for a thread; a signal handler's
// flush never takes it and never meets a half-changed channel.
class ChannelsLock {
 public:
  ChannelsLock();
  ~ChannelsLock();
  void unlock();
  void lock();

 private:
  std::unique_lock<std::mutex> lock_;
};

// Moves the file at path to the first free "<path>.[n]", n up to five; with
// all five taken .[1] goes, the others move down one and the file becomes
// .[5] (or, when that cannot be done, the first free number past five).
// 1 moved.
int MoveToRotated(const char *path);

// Under ChannelsLock: a gathered line written to channel 0 or 1 as a printed
// one (nothing when the channel is off), and a NestMove error line.
void WriteGatheredLine(int channel, const char *line, size_t len);
void AppendRawLine(const char *bytes, size_t len);
// The line as written: time stamp when flags ask, the indentation of nest,
// the message (its first len bytes), cleaned. Returns its length (line holds
// kLineSize bytes).
size_t BuildLine(char *line, const char *message, size_t len, int nest, int flags);

// The gathering side: a printed message, built into a line with g's nest
// level, and a NestMove error line, both kept in g. An allocation failure
// marks g failed and keeps nothing.
void GatherPrinted(LOG_GATHER *g, int channel, const char *message, size_t len, int flags);
void GatherRaw(LOG_GATHER *g, const char *bytes, size_t len);
// A line already built (BuildLine) kept as it is, for the copy of printing.
void GatherBuilt(LOG_GATHER *g, int channel, const char *line, size_t len);

}  // namespace log_detail
