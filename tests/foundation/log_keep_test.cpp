// What the log channels keep on the desktop over many runs and beside other
// programs: at most five files moved for their size, the oldest going first,
// and a second program on the same desktop writing logs of its own instead
// of moving or joining the first one's.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include <sys/stat.h>
#include <unistd.h>

#include "foundation/log.h"
#include "platform/output_files.h"
#include "support/testenv.h"

using velmora_test::Exists;
using velmora_test::MakeTempDir;
using velmora_test::ReadFile;
using velmora_test::WriteFile;

namespace {

class LogKeep : public ::testing::Test {
 protected:
  void SetUp() override {
    desk_ = MakeTempDir("logkeep");
    setenv("XDG_DESKTOP_DIR", desk_.c_str(), 1);
    LogShutdown();
    LogSetLevel(0);
  }
  void TearDown() override {
    LogShutdown();
    LogSetLevel(-1);
    ReleaseFolderLock(other_);
    unsetenv("XDG_DESKTOP_DIR");
    velmora_test::RemoveTree(desk_);
  }
  std::string Path(const std::string &name) const { return desk_ + "/" + name; }

  std::string desk_;
  int other_ = -1;  // the lock as another program would hold it
};

TEST_F(LogKeep, FiveFilesMovedForTheirSizeAreKept) {
  LogOpen(1, "result");
  for (int n = 1; n <= 8; n++) {
    LogPrint(0, LOG_RESULT, "run %d\r\n", n);
    LogFlush();
    ASSERT_EQ(truncate(Path("result.txt").c_str(), 10485761), 0);  // past the limit
    LogCheckFiles();
    LogPrint(0, LOG_RESULT, "end %d\r\n", n);  // the crossing line moves the file
    ASSERT_FALSE(Exists(Path("result.txt"))) << n;
  }
  // The oldest went first: .[1] holds the fourth file, .[5] the eighth.
  for (int k = 1; k <= 5; k++) {
    std::string moved = ReadFile(Path("result.txt.[" + std::to_string(k) + "]"));
    ASSERT_GT(moved.size(), 10u) << k;
    EXPECT_EQ(moved.substr(moved.size() - 7), "end " + std::to_string(k + 3) + "\r\n") << k;
  }
  EXPECT_FALSE(Exists(Path("result.txt.[6]")));
  // Something at .[1] that will not go: nothing is lost, the file takes the
  // first number past five.
  ASSERT_EQ(unlink(Path("result.txt.[1]").c_str()), 0);
  ASSERT_EQ(mkdir(Path("result.txt.[1]").c_str(), 0700), 0);
  WriteFile(Path("result.txt.[1]/x"), "x");
  LogPrint(0, LOG_RESULT, "again\r\n");
  LogFlush();
  ASSERT_EQ(truncate(Path("result.txt").c_str(), 10485761), 0);
  LogCheckFiles();
  LogPrint(0, LOG_RESULT, "end 9\r\n");
  EXPECT_TRUE(Exists(Path("result.txt.[6]")));
  EXPECT_TRUE(Exists(Path("result.txt.[5]")));
}

TEST_F(LogKeep, ASecondProgramWritesLogsOfItsOwn) {
  WriteFile(Path("result.txt"), "the first program's run\r\n");
  ASSERT_EQ(LockFolder(desk_.c_str(), &other_), FolderLock::kHeld);
  LogOpen(0, "debug");
  LogOpen(1, "result");
  EXPECT_EQ(LogOfAnotherInstance(), 1);
  std::string own = "result-" + std::to_string((long)getpid()) + ".txt";
  EXPECT_EQ(std::string(LogFilePath(1)), Path(own));
  LogPrint(0, LOG_RESULT, "second\r\n");
  LogFlush();
  EXPECT_EQ(ReadFile(Path(own)), "second\r\n");
  // The first program's file was neither moved nor written.
  EXPECT_EQ(ReadFile(Path("result.txt")), "the first program's run\r\n");
  EXPECT_FALSE(Exists(Path("result[1].txt")));

  // Once it has ended, the next program takes the usual names again.
  LogShutdown();
  ReleaseFolderLock(other_);
  other_ = -1;
  LogOpen(1, "result");
  EXPECT_EQ(LogOfAnotherInstance(), 0);
  EXPECT_EQ(std::string(LogFilePath(1)), Path("result.txt"));
  EXPECT_TRUE(Exists(Path("result[1].txt")));
  // While it runs, it holds the lock itself.
  int again = -1;
  EXPECT_EQ(LockFolder(desk_.c_str(), &again), FolderLock::kBusy);
  EXPECT_EQ(again, -1);
}

}  // namespace
