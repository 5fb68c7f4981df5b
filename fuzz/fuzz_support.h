// Shared ground of the fuzz targets: a private folder for the files a run
// writes (source, logs, graph file, settings), result views that swallow
// everything, and the whole analysis of one source text from loading to one
// call tree per function. The same code backs the libFuzzer programs and the
// regression test that replays the inputs that once failed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// One entry per fuzz target: fn(data, size) checks one input and aborts on a
// broken invariant. Built as a libFuzzer program it becomes the fuzzer entry.
#ifdef VELMORA_LIBFUZZER
#define VELMORA_FUZZ_ENTRY(fn)                                              \
  extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) { \
    return fn(data, size);                                                  \
  }
#else
#define VELMORA_FUZZ_ENTRY(fn)
#endif

namespace velmora_fuzz {

// Prepares the process once: a private folder as desktop and temporary
// folder, the trace sent to /dev/null (so its conversion runs), the analyzer,
// the log channels and graph output into the private folder. Idempotent.
void FuzzInit(void);

// The private folder of this process (no trailing '/').
const std::string &FuzzDir(void);

// Writes bytes to FuzzDir()/name and returns the path; aborts when it cannot.
std::string FuzzWriteFile(const char *name, const uint8_t *data, size_t size);

// Puts the settings back to their built-in values with graph output forced
// on (into FuzzDir()), the log channels emptied and DEBUG_LOG 2.
void FuzzDefaultSettings(void);

// Analyses the file at path as the analysis job does (register, parse to the
// end, number, link, refresh the Called column), then expands one call tree
// below each of the first max_trees functions with every output on. With
// stop_at_poll > 0 the stop key reads as pressed at that poll, and the job
// ends where the worker would end it. Aborts when the count of live MemAlloc
// blocks after ANA_SourceRelease differs from the count before, or when a
// step returns what its contract excludes.
void FuzzAnalyseFile(const char *path, int max_trees, int stop_at_poll = 0);

// Aborts with a message on stderr; the fuzzer then keeps the input.
[[noreturn]] void FuzzFail(const char *what);

// The targets (fuzz_<name>.cpp): each checks one input, returns 0, and
// aborts when the input breaks something.
int FuzzSourceText(const uint8_t *data, size_t size);   // a source file's bytes
int FuzzPreciseText(const uint8_t *data, size_t size);  // the same, precise parser
int FuzzSettings(const uint8_t *data, size_t size);     // a settings file
int FuzzCommandLine(const uint8_t *data, size_t size);  // a launcher command line
int FuzzPaths(const uint8_t *data, size_t size);        // path operations
int FuzzCatalogue(const uint8_t *data, size_t size);    // a message catalogue (.mo)

}  // namespace velmora_fuzz
