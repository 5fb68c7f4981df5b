// Replays the language server's fuzz seeds and the inputs that once broke
// its fuzz target (tests/data/fuzz-regressions/lsp) through the same checks,
// in the sanitizer build.
#include <gtest/gtest.h>

#include <dirent.h>

#include <algorithm>
#include <string>
#include <vector>

#include "fuzz/fuzz_lsp.h"
#include "support/testenv.h"

namespace {

TEST(LspFuzzReplay, SeedsAndRegressions) {
  size_t n = 0;
  for (const std::string &dir : {std::string(VELMORA_TEST_DATA) + "/fuzz-regressions/lsp",
                                 std::string(VELMORA_SOURCE_DIR) + "/fuzz/seeds/lsp"}) {
    std::vector<std::string> files;
    if (DIR *d = opendir(dir.c_str())) {
      while (dirent *e = readdir(d))
        if (e->d_name[0] != '.') files.push_back(dir + "/" + e->d_name);
      closedir(d);
    }
    std::sort(files.begin(), files.end());
    for (const std::string &path : files) {
      SCOPED_TRACE(path);
      std::string text = velmora_test::ReadFile(path);
      std::vector<uint8_t> bytes(text.begin(), text.end());
      velmora_fuzz::FuzzLspStream(bytes.data(), bytes.size());
      n++;
    }
  }
  EXPECT_GT(n, 0u);
}

}  // namespace
