// The developer trace: one formatted line at a time to the trace sink of
// platform/sys.h (a file named by VELMORA_TRACE, or nowhere). Trace lines are
// for developers; the log files (foundation/log.h) are what users read.
#pragma once

// Formats like printf into a 256-byte buffer (cut to 255 characters) and hands it
// to the trace sink. Adds nothing: callers put their own line ends in the format.
void DebugPrint(const char *format, ...) __attribute__((format(printf, 1, 2)));
