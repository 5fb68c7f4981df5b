// Counted heap allocation, the developer trace and the Shift_JIS lead-byte test.
// Every block the system allocates goes through MemAlloc/MemFree so that
// _MEMCHECK can report what was never given back at shutdown.
#pragma once

#include <cstddef>

// Formats like printf into a 256-byte buffer (cut to 255 characters) and hands it
// to the trace sink. Adds nothing: callers put their own line ends in the format.
void DebugPrint(const char *format, ...) __attribute__((format(printf, 1, 2)));

// Returns a zero-filled block of n bytes, or nullptr when the heap refuses.
// The block is counted and, while fewer than 1024 are live, recorded in the table.
void *MemAlloc(size_t n);

// Gives a MemAlloc block back. Returns nonzero when freed, 0 for nullptr.
int MemFree(void *p);

// Shutdown report of blocks never freed, written with DebugPrint.
void _MEMCHECK(void);

// 1 for a Shift_JIS lead byte (0x81-0x9F, 0xE0-0xFC), else 0.
int IsSjisLead(unsigned char b);

// Test hooks: the live count, and fault injection (the nth MemAlloc from now,
// counting from 1, returns nullptr; 0 switches it off).
unsigned MemLiveCount(void);
void MemFailAt(unsigned nth);
