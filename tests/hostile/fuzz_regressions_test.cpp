// Replays every input that once broke a fuzz target (tests/data/
// fuzz-regressions/<target>/) and the targets' hand-written seeds
// (fuzz/seeds/<target>/) through the same checks the fuzzers make, in the
// ordinary sanitizer build. A broken check aborts the program, naming it.
#include <gtest/gtest.h>

#include <dirent.h>

#include <algorithm>
#include <string>
#include <vector>

#include "engine/ana.h"
#include "foundation/log.h"
#include "foundation/memory.h"
#include "foundation/settings.h"
#include "fuzz/fuzz_support.h"
#include "platform/files.h"
#include "platform/process.h"
#include "shell/config.h"
#include "shell/paths.h"
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

struct Corpus {
  const char *name;  // the target's folder name
  Target fn;
};

class FuzzReplay : public ::testing::TestWithParam<Corpus> {};

// Every target has inputs to replay: an empty folder would pass unseen.
TEST_P(FuzzReplay, EveryInputPassesTheTargetsChecks) {
  EXPECT_GT(Replay(GetParam().name, GetParam().fn), 0u);
}

INSTANTIATE_TEST_SUITE_P(FuzzRegressions, FuzzReplay,
                         ::testing::Values(Corpus{"source", velmora_fuzz::FuzzSourceText},
                                           Corpus{"precise", velmora_fuzz::FuzzPreciseText},
                                           Corpus{"settings", velmora_fuzz::FuzzSettings},
                                           Corpus{"cmdline", velmora_fuzz::FuzzCommandLine},
                                           Corpus{"paths", velmora_fuzz::FuzzPaths},
                                           Corpus{"catalogue", velmora_fuzz::FuzzCatalogue}),
                         [](const ::testing::TestParamInfo<Corpus> &info) {
                           return std::string(info.param.name);
                         });

// The empty input and a lone byte reach every target's shortest path. Each
// must give what a user would get from the same bytes and leave nothing
// behind.
TEST(FuzzRegressions, TinyInputs) {
  using namespace velmora_fuzz;
  using velmora_test::ReadFile;
  const uint8_t lone[1] = {0xFF};
  FuzzInit();
  unsigned live = MemLiveCount();
  const std::string desk = FuzzDir() + "/Desktop/";

  // An empty source file is not registered: both lists are there, empty.
  FuzzSourceText(lone, 0);
  LogFlush();
  std::string result = ReadFile(desk + "result.txt");
  EXPECT_NE(result.find("// List of Function in source\r\n"), std::string::npos);
  EXPECT_NE(result.find("// Function call list \r\n"), std::string::npos);
  EXPECT_EQ(result.find("(SID:"), std::string::npos) << result;
  // A lone byte is one source without a function: the byte is a token of its
  // own (shown as '.' in the log), then the source ends.
  FuzzSourceText(lone, 1);
  LogFlush();
  result = ReadFile(desk + "result.txt");
  EXPECT_NE(result.find("(SID:1)[fuzz.c]\r\n\r\n"), std::string::npos) << result;
  EXPECT_EQ(result.find("(FID:"), std::string::npos) << result;
  EXPECT_NE(ReadFile(desk + "debug.txt").find("[ 255] .\r\n[  -2] --\r\n"), std::string::npos);
  EXPECT_EQ(ANA.sources.count, 0);
  EXPECT_EQ(MemLiveCount(), live);

  // A settings file with nothing usable in it leaves the built-in values.
  for (size_t n : {0, 1}) {
    FuzzSettings(lone, n);
    LoadConfiguration(FuzzWriteFile("tiny.ini", lone, n).c_str());
    EXPECT_EQ(g_config.MAX_CALL_NEST, 16) << n;
    EXPECT_EQ(g_config.FUNC_NOT_EXIST_DISP, 1) << n;
    EXPECT_STREQ(g_config.EXT, "C;CPP;H;");
    EXPECT_STREQ(g_config.INDENT[3], "+- ");
    EXPECT_STREQ(g_config.DOT_CMD, "\"%s\"-T%s -o \"%s\" \"%s\"");
  }
  FuzzDefaultSettings();
  EXPECT_EQ(MemLiveCount(), live);

  // A command line of nothing has no program; a lone byte is the program.
  FuzzCommandLine(lone, 0);
  FuzzCommandLine(lone, 1);
  EXPECT_TRUE(SplitCommandLine("").empty());
  EXPECT_EQ(SplitCommandLine("\xFF"), std::vector<std::string>{"\xFF"});

  // The lone byte asks for the largest buffer and gives an empty path: no
  // name, nothing to replace or append, no extension to match.
  FuzzPaths(lone, 0);
  FuzzPaths(lone, 1);
  std::vector<char> path(VELMORA_PATH_MAX, 0);
  EXPECT_STREQ(FileNamePart(path.data()), "");
  EXPECT_EQ(ReplaceExtension(path.data(), path.size(), ""), 0);
  EXPECT_EQ(AddTrailingBackslash(path.data(), path.size()), 1);
  EXPECT_STREQ(path.data(), "");
  EXPECT_EQ(MatchExtension("", ""), 0);
}

}  // namespace
