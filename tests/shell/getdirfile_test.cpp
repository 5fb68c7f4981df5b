// Collecting source files below dropped paths: the extension filter, the
// trace lines, the entry counter, a stop request, folders reached twice
// through links, a link loop, and paths that do not fit.
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "foundation/cb.h"
#include "foundation/settings.h"
#include "platform/files.h"
#include "platform/sys.h"
#include "shell/file_collect.h"
#include "support/testenv.h"

namespace {

std::string g_trace;

struct DetailRecorder : ProgressSink {
  std::vector<std::string> details;
  void SetFunctionProgress(int) override {}
  void SetSourceProgress(int) override {}
  void SetPass(int) override {}
  void SetDetail(const char *text) override { details.push_back(text); }
  void SetPhase(int) override {}
};

struct GetDirFileTest : ::testing::Test {
  std::string dir;
  CB *list = nullptr;

  void SetUp() override {
    ResetConfiguration();
    dir = velmora_test::MakeTempDir("dirfile");
    list = CreateCB();
    g_trace.clear();
    TraceSetHook([](const char *t) { g_trace += t; });
    BeginCollection(nullptr);
  }
  void TearDown() override {
    TraceSetHook(nullptr);
    ReleaseCB(&list);
    velmora_test::RemoveTree(dir);
  }
  void Touch(const std::string &rel) {
    size_t slash = rel.rfind('/');
    if (slash != std::string::npos) MakeDirs((dir + "/" + rel.substr(0, slash)).c_str());
    velmora_test::WriteFile(dir + "/" + rel, "x");
  }
  void list_reset() {
    ReleaseCB(&list);
    list = CreateCB();
  }
  // The trace holds the walk's line "GetDirFile :<what> "<dir><rel>"".
  bool Traced(const char *what, const std::string &rel) const {
    std::string line = std::string("GetDirFile :") + what + " \"" + dir + rel + "\"\r\n";
    return g_trace.find(line) != std::string::npos;
  }
  std::vector<std::string> Paths() const {
    std::vector<std::string> out;
    void *data = nullptr;
    for (CHBUF *e = CB_Next(list, &data); e; e = CB_Next(e, &data)) {
      EXPECT_EQ(((char *)data)[e->len - 1], 0);  // stored with its NUL
      out.push_back((char *)data);
    }
    return out;
  }
};

TEST_F(GetDirFileTest, FolderWithMatchingAndOtherFiles) {
  Touch("a.c");
  Touch("b.CPP");
  Touch("readme.txt");
  Touch("c.h");
  mkdir((dir + "/sub").c_str(), 0755);
  Touch("sub/d.c");
  Touch("sub/d.c.bak");
  DetailRecorder window;
  GetDirFile(&window, list, "", dir.c_str());
  EXPECT_EQ(Paths(), (std::vector<std::string>{dir + "/a.c", dir + "/b.CPP", dir + "/c.h",
                                               dir + "/sub/d.c"}));
  EXPECT_EQ(g_trace, "GetDirFile:ADD:" + dir + "/a.c\r\n" + "GetDirFile:ADD:" + dir + "/b.CPP\r\n" +
                         "GetDirFile:ADD:" + dir + "/c.h\r\n" + "GetDirFile:ADD:" + dir +
                         "/sub/d.c\r\n");
  // Every entry counts, "." and ".." of both folders included.
  EXPECT_EQ(CollectedEntryCount(), 2 + 5 + 2 + 2);
  // The first entry is reported at once (the last report was at tick 0).
  ASSERT_FALSE(window.details.empty());
  EXPECT_EQ(window.details[0], "[2] a.c");
}

// Shutdown stops a walk at its next entry; a new collection counts from 0.
TEST_F(GetDirFileTest, StopRequestEndsTheWalk) {
  Touch("a.c");
  Touch("b.c");
  BeginCollection([]() { return 1; });
  GetDirFile(nullptr, list, "", dir.c_str());
  EXPECT_TRUE(Paths().empty());
  EXPECT_EQ(CollectedEntryCount(), 2);  // only "." and ".."
  BeginCollection(nullptr);
  EXPECT_EQ(CollectedEntryCount(), 0);
  GetDirFile(nullptr, list, "", dir.c_str());
  EXPECT_EQ(Paths().size(), 2u);
}

TEST_F(GetDirFileTest, SingleFilesAndBase) {
  Touch("one.c");
  Touch("two.txt");
  GetDirFile(nullptr, list, dir.c_str(), "one.c");
  GetDirFile(nullptr, list, (dir + "/").c_str(), "one.c");  // twice: appended twice
  GetDirFile(nullptr, list, dir.c_str(), "two.txt");
  EXPECT_EQ(Paths(), (std::vector<std::string>{dir + "/one.c", dir + "/one.c"}));

  g_trace.clear();
  GetDirFile(nullptr, list, dir.c_str(), "missing.c");
  EXPECT_EQ(g_trace, "GetDirFile :GetAttribute Error! \"missing.c\"\r\n");
}

TEST_F(GetDirFileTest, LinkLoopIsNotEnteredAgain) {
  mkdir((dir + "/top").c_str(), 0755);
  mkdir((dir + "/top/sub").c_str(), 0755);
  Touch("top/sub/x.c");
  ASSERT_EQ(symlink("..", (dir + "/top/sub/up").c_str()), 0);  // back to top
  ASSERT_EQ(symlink("sub", (dir + "/top/alias").c_str()), 0);  // a second way to sub
  GetDirFile(nullptr, list, "", (dir + "/top").c_str());
  // sub is entered once (through alias, the first in name order), never
  // through the loop.
  EXPECT_EQ(Paths(), (std::vector<std::string>{dir + "/top/alias/x.c"}));
  EXPECT_TRUE(Traced("Folder loop!", "/top/alias/up")) << g_trace;
  EXPECT_TRUE(Traced("Folder already collected!", "/top/sub")) << g_trace;
}

// Every level holds two links to the next: a walk that only knows the folders
// on its current path registers the last level's file 2^levels times.
TEST_F(GetDirFileTest, FoldersReachedByManyLinksAreEnteredOnce) {
  const int levels = 14;
  for (int k = 0; k <= levels; k++) {
    std::string l = "L" + std::to_string(k);
    mkdir((dir + "/" + l).c_str(), 0755);
    Touch(l + "/f" + std::to_string(k) + ".c");
    if (k == levels) continue;
    std::string next = "../L" + std::to_string(k + 1);
    ASSERT_EQ(symlink(next.c_str(), (dir + "/" + l + "/x").c_str()), 0);
    ASSERT_EQ(symlink(next.c_str(), (dir + "/" + l + "/y").c_str()), 0);
  }
  GetDirFile(nullptr, list, "", (dir + "/L0").c_str());
  std::vector<std::string> paths = Paths();
  ASSERT_EQ(paths.size(), (size_t)levels + 1);
  std::string want = dir + "/L0";
  for (int k = 0; k <= levels; k++) {
    EXPECT_EQ(paths[k], want + "/f" + std::to_string(k) + ".c");
    want += "/x";
  }
  // A file with two names (a link, a hard link) is registered once.
  list_reset();
  Touch("one/a.c");
  ASSERT_EQ(symlink("a.c", (dir + "/one/b.c").c_str()), 0);
  ASSERT_EQ(link((dir + "/one/a.c").c_str(), (dir + "/one/c.c").c_str()), 0);
  g_trace.clear();
  GetDirFile(nullptr, list, "", (dir + "/one").c_str());
  EXPECT_EQ(Paths(), (std::vector<std::string>{dir + "/one/a.c"}));
  EXPECT_TRUE(Traced("File already collected!", "/one/b.c")) << g_trace;
  // Paths the user names are taken as named: a folder named twice, or a file
  // named with its folder, is collected twice.
  list_reset();
  GetDirFile(nullptr, list, "", (dir + "/one").c_str());
  GetDirFile(nullptr, list, "", (dir + "/one").c_str());
  GetDirFile(nullptr, list, "", (dir + "/one/a.c").c_str());
  EXPECT_EQ(Paths(),
            (std::vector<std::string>{dir + "/one/a.c", dir + "/one/a.c", dir + "/one/a.c"}));
}

// Pipes, devices and sockets are not sources, named or found.
TEST_F(GetDirFileTest, OnlyRegularFilesAreCollected) {
  Touch("a.c");
  ASSERT_EQ(mkfifo((dir + "/pipe.c").c_str(), 0600), 0);
  ASSERT_EQ(symlink("/dev/null", (dir + "/null.c").c_str()), 0);
  GetDirFile(nullptr, list, "", dir.c_str());
  GetDirFile(nullptr, list, dir.c_str(), "pipe.c");
  EXPECT_EQ(Paths(), (std::vector<std::string>{dir + "/a.c"}));
  EXPECT_TRUE(Traced("Not a regular file!", "/null.c")) << g_trace;
  EXPECT_TRUE(Traced("Not a regular file!", "/pipe.c")) << g_trace;
}

// A folder's handle is closed before the walk goes below it: a tree deeper
// than the descriptors a process may hold is still collected whole.
TEST_F(GetDirFileTest, DeepTreesNeedNoDescriptorPerLevel) {
  std::string rel;
  const int depth = 300;
  for (int k = 0; k < depth; k++) {
    rel += (k ? "/d" : "d");
    ASSERT_EQ(mkdir((dir + "/" + rel).c_str(), 0755), 0);
  }
  Touch(rel + "/deep.c");
  Touch("d/top.c");
  struct rlimit old;
  ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &old), 0);
  struct rlimit low = old;
  low.rlim_cur = 64;
  ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &low), 0);
  GetDirFile(nullptr, list, "", (dir + "/d").c_str());
  setrlimit(RLIMIT_NOFILE, &old);
  EXPECT_EQ(Paths(), (std::vector<std::string>{dir + "/" + rel + "/deep.c", dir + "/d/top.c"}));
  EXPECT_EQ(g_trace.find("Open Folder Error"), std::string::npos);
}

TEST_F(GetDirFileTest, SelfLinkAndDanglingLink) {
  ASSERT_EQ(symlink(".", (dir + "/self").c_str()), 0);
  ASSERT_EQ(symlink("nowhere.c", (dir + "/dangling.c").c_str()), 0);
  GetDirFile(nullptr, list, "", dir.c_str());
  // The dangling link is a file by its name; registering will skip it.
  EXPECT_EQ(Paths(), (std::vector<std::string>{dir + "/dangling.c"}));
  EXPECT_NE(g_trace.find("Folder loop!"), std::string::npos);
}

TEST_F(GetDirFileTest, TooLongPathIsSkippedNotCut) {
  std::string base(VELMORA_PATH_MAX - 3, 'd');
  GetDirFile(nullptr, list, base.c_str(), "abc.c");
  EXPECT_TRUE(Paths().empty());
  EXPECT_EQ(g_trace, "GetDirFile :Path too long! \"abc.c\"\r\n");
}

}  // namespace
