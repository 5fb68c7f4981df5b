// Small helpers shared by the unit tests: temporary folders, whole-file reads
// and writes, and a switch to capture the developer trace into a string.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include <ftw.h>
#include <unistd.h>

namespace velmora_test {

// Creates a new folder below $TMPDIR (or /tmp) and returns its path.
inline std::string MakeTempDir(const char *tag) {
  const char *base = getenv("TMPDIR");
  std::string tmpl = std::string(base && *base ? base : "/tmp") + "/" + tag + "-XXXXXX";
  char *p = mkdtemp(&tmpl[0]);
  return p ? std::string(p) : std::string();
}

inline void RemoveTree(const std::string &path) {
  nftw(
      path.c_str(),
      [](const char *p, const struct stat *, int, struct FTW *) { return remove(p); }, 16,
      FTW_DEPTH | FTW_PHYS);
}

inline std::string ReadFile(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

inline void WriteFile(const std::string &path, const std::string &bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
}

inline bool Exists(const std::string &path) { return access(path.c_str(), F_OK) == 0; }

}  // namespace velmora_test
