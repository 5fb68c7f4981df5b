// Small helpers shared by the unit tests: temporary folders, whole-file reads
// and writes, and environment variables set for one scope.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <algorithm>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <dirent.h>
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
      path.c_str(), [](const char *p, const struct stat *, int, struct FTW *) { return remove(p); },
      16, FTW_DEPTH | FTW_PHYS);
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

// A private folder for one test, removed with it. NewFile writes body to a
// fresh file "v<n><suffix>" in it and returns the file's path.
struct ScratchDir {
  explicit ScratchDir(const char *tag) : path(MakeTempDir(tag)) {}
  ~ScratchDir() { RemoveTree(path); }
  ScratchDir(const ScratchDir &) = delete;
  ScratchDir &operator=(const ScratchDir &) = delete;
  std::string NewFile(const std::string &suffix, const std::string &body) {
    std::string file = path + "/v" + std::to_string(++files) + suffix;
    WriteFile(file, body);
    return file;
  }
  std::string path;  // the folder
  int files = 0;     // files NewFile made
};

// Sets or clears environment variables for one scope and puts them back.
class EnvScope {
 public:
  void Set(const char *name, const char *value) {
    Remember(name);
    if (value)
      setenv(name, value, 1);
    else
      unsetenv(name);
  }
  ~EnvScope() {
    for (auto it = saved_.rbegin(); it != saved_.rend(); ++it) {
      if (it->present)
        setenv(it->name.c_str(), it->value.c_str(), 1);
      else
        unsetenv(it->name.c_str());
    }
  }

 private:
  struct Saved {
    std::string name, value;
    bool present;
  };
  void Remember(const char *name) {
    const char *v = getenv(name);
    saved_.push_back({name, v ? v : "", v != nullptr});
  }
  std::vector<Saved> saved_;
};

// The names in a folder (without "." and ".."), one per line, in byte order;
// "" for an empty or unreadable folder.
inline std::string Listing(const std::string &dir) {
  std::vector<std::string> names;
  if (DIR *d = opendir(dir.c_str())) {
    while (struct dirent *e = readdir(d)) {
      std::string n = e->d_name;
      if (n != "." && n != "..") names.push_back(n);
    }
    closedir(d);
  }
  std::sort(names.begin(), names.end());
  std::string out;
  for (const std::string &n : names) out += n + "\n";
  return out;
}

inline bool Exists(const std::string &path) {
  return access(path.c_str(), F_OK) == 0;
}

}  // namespace velmora_test
