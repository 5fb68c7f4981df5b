// Threads with a chosen stack size. The parser recurses as deep as the
// source's nesting allows (within its guard), which needs far more stack than
// a default thread has, so the analysis worker runs on a thread of its own
// size. A ThreadHandle owns its thread until JoinThread.
#pragma once

#include <cstddef>

struct ThreadRec;
typedef ThreadRec *ThreadHandle;

// Stack of the analysis worker: room for the deepest parse the guards allow.
enum : size_t { WORKER_STACK_BYTES = (size_t)256 << 20 };

// Starts fn(arg) on a new thread with stack_bytes of stack (0: the default).
// 1 with *out set; 0 when the thread cannot be started (*out is nullptr).
int StartThread(void (*fn)(void *), void *arg, size_t stack_bytes, ThreadHandle *out);
// Waits for the thread to end and releases the handle; *h becomes nullptr.
// Nothing for a null handle.
void JoinThread(ThreadHandle *h);
// 1 once the thread function has returned (the handle still needs JoinThread).
int ThreadFinished(ThreadHandle h);
// Processors this process may run on (at least 1).
int ProcessorCount(void);
