// Fuzz target: the path operations and the extension filter. The input is
// one selector byte (the buffer size of the operations that take one), a path,
// a NUL, and an extension text that serves both as ReplaceExtension's new
// extension and as MatchExtension's ';'-separated list. Each path sits in a
// buffer of exactly the stated capacity, so a write past it is seen.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "platform/files.h"
#include "shell/paths.h"

namespace velmora_fuzz {
namespace {

// A copy of text in a buffer of exactly cap bytes (text cut to fit).
std::vector<char> Buffer(const std::string &text, size_t cap) {
  std::vector<char> b(cap, 0);
  memcpy(b.data(), text.data(), std::min(text.size(), cap - 1));
  return b;
}

}  // namespace

int FuzzPaths(const uint8_t *data, size_t size) {
  if (size < 1) return 0;
  // Small capacities find the edges; 0xFF gives the platform's full size.
  size_t cap = data[0] == 0xFF ? (size_t)VELMORA_PATH_MAX : (size_t)data[0] + 1;
  std::string rest(reinterpret_cast<const char *>(data + 1), size - 1);
  size_t nul = rest.find('\0');
  std::string path = rest.substr(0, nul);
  std::string ext = nul == std::string::npos ? std::string() : rest.substr(nul + 1);
  ext = ext.c_str();

  for (size_t i = 0; i < path.size(); i++) {
    int sep = IsPathSeparatorAt(path.c_str(), i);
    if (sep && path[i] != '/' && path[i] != '\\') FuzzFail("IsPathSeparatorAt: not a separator");
  }

  {
    std::vector<char> b = Buffer(path, path.size() + 1);
    std::string before = b.data();
    CutToFolder(b.data());
    if (before.compare(0, strlen(b.data()), b.data()) != 0) FuzzFail("CutToFolder: not a prefix");
    const char *name = FileNamePart(before.c_str());
    if (name < before.c_str() || name > before.c_str() + before.size())
      FuzzFail("FileNamePart: outside the path");
    // Either the path splits into folder and name, or it has no separator
    // and is both at once.
    bool split = strlen(b.data()) + strlen(name) == before.size();
    bool whole = before == b.data() && name == before.c_str();
    if (!split && !whole) FuzzFail("CutToFolder and FileNamePart disagree");
  }
  {
    std::vector<char> b = Buffer(path, cap);
    std::string before = b.data();
    long at = ReplaceExtension(b.data(), cap, ext.c_str());
    size_t len = strlen(b.data());
    if (at < 0 && before != b.data()) FuzzFail("ReplaceExtension: refused but changed");
    if (at >= 0 && ((size_t)at > len || len >= cap)) FuzzFail("ReplaceExtension: bad result");
  }
  {
    std::vector<char> b = Buffer(path, cap);
    std::string before = b.data();
    int ok = AddTrailingBackslash(b.data(), cap);
    size_t len = strlen(b.data());
    if (!ok && before != b.data()) FuzzFail("AddTrailingBackslash: refused but changed");
    if (ok && len && !IsPathSeparatorAt(b.data(), len - 1))
      FuzzFail("AddTrailingBackslash: no separator at the end");
  }
  {
    int m = MatchExtension(path.c_str(), ext.c_str());
    if (m != 0 && m != 1) FuzzFail("MatchExtension: not 0 or 1");
  }
  {
    std::vector<char> out(cap, 'x');
    int ok = SettingsPathFromProgram(path.c_str(), ext.c_str(), out.data(), cap);
    if (memchr(out.data(), 0, cap) == nullptr) FuzzFail("SettingsPathFromProgram: no terminator");
    if (!ok && out[0] != 0) FuzzFail("SettingsPathFromProgram: failed but out not empty");
  }
  return 0;
}

}  // namespace velmora_fuzz

VELMORA_FUZZ_ENTRY(velmora_fuzz::FuzzPaths)
