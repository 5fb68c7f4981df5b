// The two log channels: 0 the debug log (debug.txt), 1 the result log
// (result.txt), both Shift_JIS with CR LF on the desktop. Lines are filtered by
// level, indented by the nest level, cleaned of unprintable bytes, and rotated
// past 10 MiB. The nest level is moved by the parser at every nested block.
#pragma once

enum { LOG_DEBUG = 0, LOG_RESULT = 1, LOG_TIME = 0x10 };

// Prepares channel 0 or 1 with its file "<desktop>/<name>.txt", moving an old
// file of that name to the first free "<name>[1..5].txt". The file is opened
// at the first line, never through a link: a link or anything but a regular
// file with one link at the path turns the channel off (with a trace line).
void LogOpen(int channel, const char *name);
// Lines of a level above this are not written (-1 until called).
void LogSetLevel(int level);
int LogGetLevel(void);
// Writes one line; flags & 0x0F is the channel, 0x10 asks for a time stamp.
void LogPrint(int level, int flags, const char *format, ...) __attribute__((format(printf, 3, 4)));
// Appends bytes to a file (never through a link, only to a regular file with
// one link); a file that cannot be written loses them silently.
void LogAppend(const char *path, const void *bytes, int length);
// Moves the file to "<path>.[n]" once it has grown past 10 MiB.
void LogRotate(const char *path);
// Makes the next line of each channel compare its file with the path and take
// the size from the file, as every 200 ms (tests; after outside changes).
void LogCheckFiles(void);
// Adds delta to the nest level (kept within 0..16) and returns the new level.
int NestMove(int delta);

// The current file path of a channel ("" when not open).
const char *LogFilePath(int channel);
// Closes the channels and forgets their paths and the nest level (tests,
// shutdown). Lines printed afterwards go nowhere until LogOpen.
void LogShutdown(void);
