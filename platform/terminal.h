// The terminal of the headless program: whether a stream is a terminal, its
// width, and the stop keys. While the stop keys are watched, Escape typed on
// the terminal and the first Ctrl-C request a stop the way Escape does in the
// desktop program (EscapeRequest); a second Ctrl-C ends the process. The
// terminal's own settings are always given back, also when a signal ends the
// process.
#pragma once

// 1 when fd (0, 1 or 2) is a terminal.
int IsTerminal(int fd);
// Columns of the terminal on fd, or 0 when unknown.
int TerminalColumns(int fd);
// Starts watching: the Ctrl-C handler always; when stdin is a terminal, also
// non-canonical input without echo and a reader for the Escape key. 1 started
// (or already watching).
int StopKeysBegin(void);
// fn (async-signal-safe, or nullptr) runs when a signal ends the process
// while the keys are watched: the second Ctrl-C, a termination or a hangup.
void StopKeysSetExitHook(void (*fn)(void));
// Stops watching and restores the terminal settings and signal handlers.
void StopKeysEnd(void);
