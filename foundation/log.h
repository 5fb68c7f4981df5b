// The two log channels: 0 the debug log (debug.txt), 1 the result log
// (result.txt), both Shift_JIS with CR LF on the desktop. Lines are filtered by
// level, indented by the nest level, cleaned of unprintable bytes, and rotated
// past 10 MiB. The nest level is moved by the parser at every nested block.
// Lines are buffered (64 KiB per channel) and reach the file when a buffer is
// full, at most 200 ms after they were printed while printing goes on, and
// at every LogFlush.
#pragma once

#include <cstddef>
#include <cstdint>

enum { LOG_DEBUG = 0, LOG_RESULT = 1, LOG_TIME = 0x10 };

// Prepares channel 0 or 1 with its file "<desktop>/<name>.txt", moving an old
// file of that name to the first free "<name>[1..5].txt". The file is opened
// at the first line, never through a link: a link or anything but a regular
// file with one link at the path turns the channel off (with a trace line).
// The first call of the process takes the desktop's log lock; when another
// program holds it, the name is "<name>-<pid>" instead (trace line), so the
// two never touch each other's logs. LogShutdown gives the lock back.
void LogOpen(int channel, const char *name);
// 1 when another program held the desktop's log lock at LogOpen, so this
// one's logs are "<name>-<pid>.txt".
int LogOfAnotherInstance(void);
// Lines of a level above this are not written (-1 until called).
void LogSetLevel(int level);
int LogGetLevel(void);
// Prints one line; flags & 0x0F is the channel, 0x10 asks for a time stamp.
void LogPrint(int level, int flags, const char *format, ...) __attribute__((format(printf, 3, 4)));
// Appends bytes to a file (never through a link, only to a regular file with
// one link); a file that cannot be written loses them silently.
void LogAppend(const char *path, const void *bytes, int length);
// Moves the file to "<path>.[n]" once it has grown past 10 MiB: the first
// free n of 1..5, or, with all five taken, .[5] after the oldest (.[1]) is
// removed and the others moved down one.
void LogRotate(const char *path);
// Makes the next line of each channel compare its file with the path and take
// the size from the file, as every 200 ms (tests; after outside changes).
void LogCheckFiles(void);
// The clock of the 200 ms timers, in milliseconds that wrap like TickCount's;
// nullptr goes back to TickCount. Tests set the time themselves with it.
void LogSetClock(uint32_t (*now)(void));
// LogPrint(level, flags, "%s", text) for the first len bytes of text (up to
// a NUL), without the formatter: for lines built piece by piece.
void LogPrintText(int level, int flags, const char *text, size_t len);
// Writes every buffered line to its file (end of a phase, stop, exit).
void LogFlush(void);
// Writes the buffers whose oldest line waits for 200 ms or more; cheap, for
// the loops of long work between two lines.
void LogFlushDue(void);
// LogFlush for a signal handler that ends the process: no lock, only
// write(2); a buffer being written by the interrupted program is left alone.
void LogFlushFromSignal(void);
// Adds delta to the nest level (kept within 0..16) and returns the new level.
int NestMove(int delta);

// The current file path of a channel ("" when not open).
const char *LogFilePath(int channel);
// Writes the buffers, closes the channels and forgets their paths and the nest level (tests,
// shutdown). Lines printed afterwards go nowhere until LogOpen.
void LogShutdown(void);

// The nest level in force (what the next line printed would be indented by).
int LogNestLevel(void);

// ---- gathering: lines printed on one thread, written later by another ----
//
// A thread that works ahead (a source parsed before its turn) gathers what it
// prints: LogPrint lines already level-filtered, indented by the gathering's
// own nest level and cleaned; NestMove error lines; trace lines (DebugPrint);
// and marks it sets itself. The thread whose turn it is then replays them, so
// the files receive exactly what printing in turn would have written.

struct LOG_GATHER_BLOCK {
  LOG_GATHER_BLOCK *next;  // the block after, or nullptr
  size_t cap;              // bytes of data
  size_t used;             // bytes of entries in data
  char data[1];            // entries: kind, 4-byte length, bytes
};

struct LOG_GATHER {
  LOG_GATHER_BLOCK *first;  // entries in order (MemAlloc blocks)
  LOG_GATHER_BLOCK *last;   // the block being filled
  size_t next_cap;          // data bytes of the next block
  size_t bytes;             // bytes held, for the bound on work ahead
  int nest;                 // nest level as the gathered lines find it
  int failed;               // 1 when memory ran out: the gathering is incomplete
};

// Where a replay has got to; zero-filled before the first replay.
struct LOG_REPLAY {
  const LOG_GATHER_BLOCK *block;  // block of the next entry
  size_t pos;                     // its offset in the block
  int started;                    // 1 once the first entry was looked for
};

// An empty gathering whose lines start at nest level nest.
void LogGatherInit(LOG_GATHER *g, int nest);
// From now on what the calling thread prints (LogPrint, NestMove,
// DebugPrint) goes to g instead of the files, until LogGatherEnd.
void LogGatherBegin(LOG_GATHER *g);
void LogGatherEnd(void);
// The calling thread's gathering, or nullptr.
LOG_GATHER *LogGatherCurrent(void);
// Adds a trace line (for DebugPrint) or a mark carrying value.
void LogGatherTrace(LOG_GATHER *g, const char *text);
void LogGatherMark(LOG_GATHER *g, int value);
// Writes the entries of g after *at, in order, up to the next mark: 1 with
// the mark's value in *mark, 0 when the entries have run out.
int LogGatherReplay(const LOG_GATHER *g, LOG_REPLAY *at, int *mark);
// Gives the entries' memory back; g is empty.
void LogGatherRelease(LOG_GATHER *g);

// ---- keeping a gathering: its entries as they are, and a copy of printing ----

// What a gathered entry is.
enum LogGatherKind {
  LOG_GATHER_LINE0 = 1,  // a line of channel 0, built (indented, cleaned)
  LOG_GATHER_LINE1 = 2,  // a line of channel 1
  LOG_GATHER_RAW0 = 3,   // a NestMove error line of channel 0
  LOG_GATHER_TRACE = 4,  // a trace line, its NUL included
  LOG_GATHER_MARK = 5,   // a mark: its int value's bytes
};
// Calls fn(ctx, kind, bytes, len) for every entry of g in order, until fn
// returns 0. 1 when every entry was seen.
int LogGatherForEach(const LOG_GATHER *g,
                     int (*fn)(void *ctx, int kind, const char *bytes, size_t len), void *ctx);
// Appends an entry as LogGatherForEach showed it, so a gathering kept
// elsewhere is made again and replays the same bytes. An unknown kind or a
// failed allocation marks g failed.
void LogGatherAppend(LOG_GATHER *g, int kind, const void *bytes, size_t len);
// From now on the calling thread's printing (LogPrint, NestMove errors,
// DebugPrint) is written as usual and also kept in g, byte for byte as
// written (with the nest level in force, so a copy is only replayable
// when that was 0 at its start), lines of a channel that is off included.
// LogGatherCopyEnd stops it; marks are the caller's.
void LogGatherCopyBegin(LOG_GATHER *g);
void LogGatherCopyEnd(void);
// The calling thread's copy, or nullptr.
LOG_GATHER *LogGatherCopyCurrent(void);
