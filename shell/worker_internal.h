// What the worker (worker.cpp) and the requests (requests.cpp) share; private
// to shell/.
#pragma once

#include "foundation/ports.h"

// "Memory Alloc Error!", for a job that cannot get its memory.
extern const char kAllocError[];

// Every warning of the jobs and requests: text (a message of the catalogue,
// looked up here) shown by main (nothing when it is null, or while shutdown
// stops the worker); the caller waits until the user has answered.
void Warn(MainWindowPort *main, const char *text);
// Back to idle after a job or a start that failed: JobState Idle, then, when
// main is given, the wait box and the progress window closed when they were
// opened, and drops accepted again.
void ReturnToIdle(MainWindowPort *main, bool wait_box_open, bool progress_open);
// 1 while a worker thread exists that has not yet ended, else 0.
int WorkerThreadRunning(void);
