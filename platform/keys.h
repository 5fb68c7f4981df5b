// The stop key: one flag meaning "Escape pressed since the last poll". The
// desktop program sets it from its key filter, the terminal program from the
// Escape key and Ctrl-C; the worker polls it inside its long loops.
#pragma once

// 1 if a stop was requested since the previous poll; the poll consumes it.
int EscapePressed(void);
// Requests a stop (any thread, signal-safe).
void EscapeRequest(void);
// Test hook: when set, EscapePressed asks fn instead of the flag.
void EscapeSetPoll(int (*fn)(void));
