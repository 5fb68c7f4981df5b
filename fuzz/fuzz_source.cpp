// Fuzz target: a source file's bytes. The text is converted on its own into
// buffers of exactly the documented size (so an overrun past the contract is
// seen, not hidden by the loader's slack), then analysed as a dropped file:
// parsed, listed, linked, and one call tree of each function written as text,
// tree nodes and graph description; then once more, stopped by Escape at a
// point the input chooses.
#include <cstdint>
#include <cstring>
#include <vector>

#include "engine/parser.h"
#include "fuzz/fuzz_support.h"

namespace velmora_fuzz {

// Trees expanded per input: enough to reach every function of an input the
// fuzzer makes (its inputs stay below a few kilobytes), bounded for the rest.
enum { kMaxTrees = 256 };

int FuzzSourceText(const uint8_t *data, size_t size) {
  FuzzInit();
  if (size > (1u << 20)) return 0;

  // wchar2sjis: dst holds cap + 1 bytes, no more.
  for (int cap : {(int)size, (int)size / 2}) {
    std::vector<char> dst((size_t)cap + 1, 0);
    int n = wchar2sjis(reinterpret_cast<const char *>(data), (int)size, dst.data(), cap);
    if (n < 0 || n > cap + 1) FuzzFail("wchar2sjis wrote more than cap + 1 bytes");
  }

  std::string path = FuzzWriteFile("fuzz.c", data, size);
  FuzzAnalyseFile(path.c_str(), kMaxTrees);
  // Again with a stop at a poll chosen by the input, so every place where
  // Escape can end a job is reached and must leave nothing behind.
  unsigned h = 0;
  for (size_t i = 0; i < size; i++) h = h * 31 + data[i];
  FuzzAnalyseFile(path.c_str(), 8, (int)(h % 64) + 1);
  return 0;
}

}  // namespace velmora_fuzz

VELMORA_FUZZ_ENTRY(velmora_fuzz::FuzzSourceText)
