// The two log channels: 0 the debug log (debug.txt), 1 the result log
// (result.txt), both Shift_JIS with CR LF on the desktop. Lines are filtered by
// level, indented by the nest level, cleaned of unprintable bytes, and rotated
// past 10 MiB. The nest level is moved by the parser at every nested block.
// Lines are buffered (64 KiB per channel) and reach the file when a buffer is
// full, at most 200 ms after they were printed while printing goes on, and
// at every LogFlush.
#pragma once

enum { LOG_DEBUG = 0, LOG_RESULT = 1, LOG_TIME = 0x10 };

// Prepares channel 0 or 1 with its file "<desktop>/<name>.txt", moving an old
// file of that name to the first free "<name>[1..5].txt".
void LogOpen(int channel, const char *name);
// Lines of a level above this are not written (-1 until called).
void LogSetLevel(int level);
int LogGetLevel(void);
// Prints one line; flags & 0x0F is the channel, 0x10 asks for a time stamp.
void LogPrint(int level, int flags, const char *format, ...) __attribute__((format(printf, 3, 4)));
// Appends bytes to a file; a file that cannot be written loses them silently.
void LogAppend(const char *path, const void *bytes, int length);
// Moves the file to "<path>.[n]" once it has grown past 10 MiB.
void LogRotate(const char *path);
// Makes the next line of each channel compare its file with the path and take
// the size from the file, as every 200 ms (tests; after outside changes).
void LogCheckFiles(void);
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
