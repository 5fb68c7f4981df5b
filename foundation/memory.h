// Counted heap allocation. Every block the system allocates goes through
// MemAlloc/MemFree so that _MEMCHECK can report what was never given back at
// shutdown.
#pragma once

#include <cstddef>

// Returns a zero-filled block of n bytes, or nullptr when the heap refuses.
// The block is counted and, while fewer than 1024 are live, recorded in the table.
void *MemAlloc(size_t n);

// Gives a MemAlloc block back. Returns nonzero when freed, 0 for nullptr.
int MemFree(void *p);

// Shutdown report of blocks never freed, written with DebugPrint.
void _MEMCHECK(void);

// Test hooks: the live count, and fault injection (the nth MemAlloc from now,
// counting from 1, returns nullptr; 0 switches it off).
unsigned MemLiveCount(void);
void MemFailAt(unsigned nth);
