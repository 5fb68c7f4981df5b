// Time, sleeping, the process-wide lock and the developer trace sink: the small
// operating-system services the lower layers need.
#pragma once

#include <cstdint>
#include <mutex>

// Milliseconds of CLOCK_MONOTONIC, wrapping as an unsigned 32-bit count.
uint32_t TickCount(void);
// Sleeps ms milliseconds; 0 yields the processor.
void SleepMs(unsigned ms);
// Gives the rest of the time slice away.
void YieldCpu(void);

struct LocalTimeMs {
  int year, month, day, hour, minute, second, millisecond;
};
void GetLocalTimeMs(LocalTimeMs *out);

// The one process-wide lock (allocation accounting). Held only around short
// updates; never call out of the module while holding it.
std::mutex &ProcessLock(void);

// Appends a Shift_JIS trace text, converted to UTF-8, to the file named by
// VELMORA_TRACE ("-" for stderr); discarded when unset. Never fails loudly.
void TraceWrite(const char *sjis_text);
// Test hook: when set, trace texts go to fn instead of the sink. Calls of fn
// are serialised; fn may itself trace (nullptr restores the sink).
void TraceSetHook(void (*fn)(const char *sjis_text));

// The process id of this program.
long ProcessIdNumber(void);

// Environment lookup (nullptr when unset); the only getenv of the system.
const char *GetEnv(const char *name);
