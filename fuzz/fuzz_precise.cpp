// Fuzz target: a source file's bytes read by the precise parser. The first
// byte picks the grammar (even: C, as a .c file; odd: C++, as a .cpp file),
// the rest is the text, up to 1 MB. The budgets are smaller than a real
// run's, so that inputs the fuzzer makes reach the memory, time and size
// limits, and a source over one is read by the statement parser: both roads
// are walked, under the checks every analysed source gets (contracts, no
// block left behind, a clean stop).
#include <cstdint>
#include <string>

#include "engine/precise.h"
#include "foundation/settings.h"
#include "fuzz/fuzz_support.h"

namespace velmora_fuzz {

enum { kMaxTrees = 256 };

int FuzzPreciseText(const uint8_t *data, size_t size) {
  FuzzInit();
  if (size == 0 || size > (1u << 20) + 1) return 0;
  std::string path = FuzzWriteFile(data[0] & 1 ? "fuzz.cpp" : "fuzz.c", data + 1, size - 1);
  PreciseLimits saved = g_precise_limits;
  g_precise_limits.max_bytes = 256u << 10;
  g_precise_limits.max_memory = (uint64_t)32 << 20;
  g_precise_limits.max_ms = 2000;
  int parser = g_config.PARSER;
  g_config.PARSER = 1;
  FuzzAnalyseFile(path.c_str(), kMaxTrees);
  // Again with a stop at a poll chosen by the input.
  unsigned h = 0;
  for (size_t i = 0; i < size; i++) h = h * 31 + data[i];
  FuzzAnalyseFile(path.c_str(), 8, (int)(h % 64) + 1);
  g_config.PARSER = parser;
  g_precise_limits = saved;
  return 0;
}

}  // namespace velmora_fuzz

VELMORA_FUZZ_ENTRY(velmora_fuzz::FuzzPreciseText)
