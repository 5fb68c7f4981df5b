// Replays every input that once broke a fuzz target (tests/data/
// fuzz-regressions/<target>/) and the targets' hand-written seeds
// (fuzz/seeds/<target>/) through the same checks the fuzzers make, in the
// ordinary sanitizer build. A broken check aborts the program, naming it.
#include <gtest/gtest.h>

#include <dirent.h>

#include <algorithm>
#include <string>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "support/testenv.h"

namespace {

using Target = int (*)(const uint8_t *, size_t);

std::vector<std::string> FilesIn(const std::string &dir) {
  std::vector<std::string> out;
  if (DIR *d = opendir(dir.c_str())) {
    while (dirent *e = readdir(d)) {
      if (e->d_name[0] != '.') out.push_back(dir + "/" + e->d_name);
    }
    closedir(d);
  }
  std::sort(out.begin(), out.end());
  return out;
}

// Runs every file of the target's regression and seed folders; returns how
// many were run.
size_t Replay(const char *name, Target fn) {
  size_t n = 0;
  for (const std::string &dir : {std::string(VELMORA_TEST_DATA) + "/fuzz-regressions/" + name,
                                 std::string(VELMORA_SOURCE_DIR) + "/fuzz/seeds/" + name}) {
    for (const std::string &path : FilesIn(dir)) {
      SCOPED_TRACE(path);
      // Exactly sized, as the fuzzer hands inputs over, so a read past the
      // end is seen (a std::string would offer its terminator).
      std::string text = velmora_test::ReadFile(path);
      std::vector<uint8_t> bytes(text.begin(), text.end());
      fn(bytes.data(), bytes.size());
      n++;
    }
  }
  return n;
}

TEST(FuzzRegressions, SourceText) {
  EXPECT_GT(Replay("source", velmora_fuzz::FuzzSourceText), 0u);
}

TEST(FuzzRegressions, Settings) {
  EXPECT_GT(Replay("settings", velmora_fuzz::FuzzSettings), 0u);
}

TEST(FuzzRegressions, CommandLine) {
  EXPECT_GT(Replay("cmdline", velmora_fuzz::FuzzCommandLine), 0u);
}

TEST(FuzzRegressions, Paths) {
  EXPECT_GT(Replay("paths", velmora_fuzz::FuzzPaths), 0u);
}

// The empty input and a lone byte reach every target's shortest path.
TEST(FuzzRegressions, TinyInputs) {
  const uint8_t one[1] = {0xFF};
  for (Target fn : {velmora_fuzz::FuzzSourceText, velmora_fuzz::FuzzSettings,
                    velmora_fuzz::FuzzCommandLine, velmora_fuzz::FuzzPaths}) {
    fn(one, 0);
    fn(one, 1);
  }
}

}  // namespace
