// A scratch folder for one benchmark run, removed with everything in it when
// the run ends.
#pragma once

#include <ftw.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace bench {

class Scratch {
 public:
  explicit Scratch(const char *tag) {
    const char *base = getenv("TMPDIR");
    std::string tmpl = std::string(base && *base ? base : "/tmp") + "/" + tag + "-XXXXXX";
    if (mkdtemp(&tmpl[0])) path_ = tmpl;
  }
  ~Scratch() {
    if (path_.empty()) return;
    nftw(
        path_.c_str(),
        [](const char *p, const struct stat *, int, struct FTW *) { return remove(p); }, 16,
        FTW_DEPTH | FTW_PHYS);
  }
  Scratch(const Scratch &) = delete;
  Scratch &operator=(const Scratch &) = delete;
  bool ok() const { return !path_.empty(); }
  const std::string &path() const { return path_; }

 private:
  std::string path_;
};

}  // namespace bench
