// Output files that cannot be hijacked: appends that refuse links, devices
// and files with other names; replacement by rename; claimed names and the
// move of a finished file onto one. Also: reads that never open anything but
// a regular file.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <string>
#include <thread>

#include "platform/files.h"
#include "platform/output_files.h"
#include "support/testenv.h"

using namespace velmora_test;

namespace {

struct OutputFiles : ::testing::Test {
  std::string dir;
  void SetUp() override { dir = MakeTempDir("outfiles"); }
  void TearDown() override { RemoveTree(dir); }
  std::string P(const char *name) const { return dir + "/" + name; }
};

ino_t Inode(const std::string &path) {
  struct stat st;
  return lstat(path.c_str(), &st) == 0 ? st.st_ino : 0;
}

}  // namespace

TEST_F(OutputFiles, AppendsOnlyToOurOwnKindOfFile) {
  OutputRefusal why = OutputRefusal::kFailed;
  EXPECT_EQ(AppendOutputFile(P("log").c_str(), "ab", 2, &why), 1);  // created
  EXPECT_EQ(why, OutputRefusal::kNone);
  EXPECT_EQ(AppendOutputFile(P("log").c_str(), "cd", 2, &why), 1);
  EXPECT_EQ(ReadFile(P("log")), "abcd");

  // A link to another file: refused, the target keeps its bytes.
  WriteFile(P("victim"), "keep");
  ASSERT_EQ(symlink(P("victim").c_str(), P("link").c_str()), 0);
  EXPECT_EQ(AppendOutputFile(P("link").c_str(), "x", 1, &why), 0);
  EXPECT_EQ(why, OutputRefusal::kLink);
  EXPECT_EQ(OpenOutputAppend(P("link").c_str(), &why), -1);
  EXPECT_EQ(ReadFile(P("victim")), "keep");
  // A dangling link is not followed to create its target either.
  ASSERT_EQ(symlink(P("made").c_str(), P("dangling").c_str()), 0);
  EXPECT_EQ(AppendOutputFile(P("dangling").c_str(), "x", 1, &why), 0);
  EXPECT_EQ(why, OutputRefusal::kLink);
  EXPECT_FALSE(Exists(P("made")));

  // A second name of the victim, a pipe (no reader: must not block), a folder.
  ASSERT_EQ(link(P("victim").c_str(), P("hard").c_str()), 0);
  EXPECT_EQ(AppendOutputFile(P("hard").c_str(), "x", 1, &why), 0);
  EXPECT_EQ(why, OutputRefusal::kManyLinks);
  ASSERT_EQ(mkfifo(P("pipe").c_str(), 0600), 0);
  EXPECT_EQ(AppendOutputFile(P("pipe").c_str(), "x", 1, &why), 0);
  EXPECT_EQ(why, OutputRefusal::kNotRegular);
  mkdir(P("folder").c_str(), 0700);
  EXPECT_EQ(AppendOutputFile(P("folder").c_str(), "x", 1, &why), 0);
  EXPECT_EQ(why, OutputRefusal::kNotRegular);
  EXPECT_EQ(ReadFile(P("victim")), "keep");
  EXPECT_EQ(AppendOutputFile((dir + "/none/log").c_str(), "x", 1, &why), 0);
  EXPECT_EQ(why, OutputRefusal::kFailed);
  EXPECT_STREQ(OutputRefusalText(OutputRefusal::kLink), "Link");
}

TEST_F(OutputFiles, ReplacementIsANewFileNeverWrittenThroughALink) {
  WriteFile(P("velmora.dot"), "old graph");
  OutputRefusal why;
  int a = ReplaceWithNewFile(P("velmora.dot").c_str(), &why);
  ASSERT_GE(a, 0);
  EXPECT_EQ(ReadFile(P("velmora.dot")), "");
  ASSERT_EQ(write(a, "first", 5), 5);
  // A second writer puts its own file there: the first writes on into its
  // own file, and the two never mix.
  int b = ReplaceWithNewFile(P("velmora.dot").c_str(), &why);
  ASSERT_GE(b, 0);
  ASSERT_EQ(write(a, " more", 5), 5);
  ASSERT_EQ(write(b, "second", 6), 6);
  EXPECT_EQ(ReadFile(P("velmora.dot")), "second");
  char back[16] = {0};
  EXPECT_EQ(ReadFdFrom(a, 0, back, sizeof back), 10);  // readable too
  EXPECT_STREQ(back, "first more");
  CloseFd(a);
  CloseFd(b);
  EXPECT_EQ(Listing(dir), "velmora.dot\n");  // no temporary name left

  WriteFile(P("victim"), "keep");
  unlink(P("velmora.dot").c_str());
  ASSERT_EQ(symlink(P("victim").c_str(), P("velmora.dot").c_str()), 0);
  EXPECT_EQ(ReplaceWithNewFile(P("velmora.dot").c_str(), &why), -1);
  EXPECT_EQ(why, OutputRefusal::kLink);
  EXPECT_EQ(ReadFile(P("victim")), "keep");
  EXPECT_EQ(Listing(dir), "velmora.dot\nvictim\n");
  EXPECT_EQ(ReplaceWithNewFile((dir + "/none/x.dot").c_str(), &why), -1);
  EXPECT_EQ(why, OutputRefusal::kFailed);
}

TEST_F(OutputFiles, ClaimedNamesAreExclusiveAndFilledInPlace) {
  ClaimedFile a, b;
  ASSERT_EQ(ClaimNewFile(dir.c_str(), "pic[1].gif", &a), ClaimResult::kClaimed);
  EXPECT_EQ(ClaimNewFile(dir.c_str(), "pic[1].gif", &b), ClaimResult::kTaken);
  EXPECT_EQ(b.fd, -1);
  // A link at a name is taken, not followed.
  ASSERT_EQ(symlink(P("elsewhere").c_str(), P("pic[2].gif").c_str()), 0);
  EXPECT_EQ(ClaimNewFile(dir.c_str(), "pic[2].gif", &b), ClaimResult::kTaken);
  EXPECT_FALSE(Exists(P("elsewhere")));
  EXPECT_EQ(ClaimNewFile((dir + "/none").c_str(), "x", &b), ClaimResult::kFailed);

  // Same file system: the finished file is renamed onto the claim.
  WriteFile(P("out.gif"), "GIF89a");
  EXPECT_EQ(FillClaimedFile(&a, dir.c_str(), "pic[1].gif", P("out.gif").c_str()), 1);
  EXPECT_EQ(a.fd, -1);
  EXPECT_EQ(ReadFile(P("pic[1].gif")), "GIF89a");
  EXPECT_FALSE(Exists(P("out.gif")));

  // Nothing was written: the claimed empty file goes.
  ASSERT_EQ(ClaimNewFile(dir.c_str(), "pic[3].gif", &a), ClaimResult::kClaimed);
  EXPECT_EQ(FillClaimedFile(&a, dir.c_str(), "pic[3].gif", P("never.gif").c_str()), 0);
  EXPECT_FALSE(Exists(P("pic[3].gif")));

  // Someone replaced the claimed file: it is left alone.
  ASSERT_EQ(ClaimNewFile(dir.c_str(), "pic[4].gif", &a), ClaimResult::kClaimed);
  unlink(P("pic[4].gif").c_str());
  WriteFile(P("pic[4].gif"), "theirs");
  WriteFile(P("out.gif"), "GIF89a");
  EXPECT_EQ(FillClaimedFile(&a, dir.c_str(), "pic[4].gif", P("out.gif").c_str()), 0);
  EXPECT_EQ(ReadFile(P("pic[4].gif")), "theirs");
  EXPECT_FALSE(Exists(P("out.gif")));
}

TEST_F(OutputFiles, AcrossFileSystemsTheBytesGoIntoTheClaim) {
  struct stat shm, here;
  if (stat("/dev/shm", &shm) != 0 || stat(dir.c_str(), &here) != 0 || shm.st_dev == here.st_dev)
    GTEST_SKIP() << "no second file system at /dev/shm";
  char tmpl[] = "/dev/shm/velmora-outfiles-XXXXXX";
  ASSERT_NE(mkdtemp(tmpl), nullptr);
  std::string from = std::string(tmpl) + "/out.gif";
  WriteFile(from, "GIF89a across");
  ClaimedFile c;
  ASSERT_EQ(ClaimNewFile(dir.c_str(), "pic.gif", &c), ClaimResult::kClaimed);
  ino_t claimed = Inode(P("pic.gif"));
  EXPECT_EQ(FillClaimedFile(&c, dir.c_str(), "pic.gif", from.c_str()), 1);
  EXPECT_EQ(ReadFile(P("pic.gif")), "GIF89a across");
  EXPECT_EQ(Inode(P("pic.gif")), claimed);
  EXPECT_FALSE(Exists(from));
  RemoveTree(tmpl);
}

TEST_F(OutputFiles, ReleasedClaimsGoOnlyWhileEmptyAndOurs) {
  ClaimedFile c;
  ASSERT_EQ(ClaimNewFile(dir.c_str(), "a", &c), ClaimResult::kClaimed);
  ReleaseClaimedFile(&c, dir.c_str(), "a");
  EXPECT_FALSE(Exists(P("a")));
  EXPECT_EQ(c.fd, -1);
  ASSERT_EQ(ClaimNewFile(dir.c_str(), "b", &c), ClaimResult::kClaimed);
  WriteFile(P("b"), "written by someone");
  ReleaseClaimedFile(&c, dir.c_str(), "b");
  EXPECT_TRUE(Exists(P("b")));
  ReleaseClaimedFile(&c, dir.c_str(), "b");  // an empty claim: nothing
}

// Reading a source never opens a pipe, device or socket: a writer blocked
// opening a pipe is released the moment anyone opens it for reading.
TEST(Reading, OnlyRegularFilesAreOpened) {
  std::string dir = MakeTempDir("reading");
  std::string fifo = dir + "/pipe.c";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  std::atomic<int> opened{0};
  std::thread writer([&] {
    int fd = open(fifo.c_str(), O_WRONLY);
    opened = 1;
    if (fd >= 0) close(fd);
  });
  char buf[8];
  EXPECT_EQ(FileSizeForRead(fifo.c_str()), -1);
  EXPECT_EQ(ReadFileInto(fifo.c_str(), buf, sizeof buf), -1);
  EXPECT_EQ(IsRegularFile(fifo.c_str()), 0);
  usleep(100000);
  EXPECT_EQ(opened.load(), 0) << "the pipe was opened for reading";
  int unblock = open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
  writer.join();
  close(unblock);
  EXPECT_EQ(FileSizeForRead("/dev/null"), -1);
  WriteFile(dir + "/a.c", "int a;");
  EXPECT_EQ(FileSizeForRead((dir + "/a.c").c_str()), 6);
  EXPECT_EQ(IsRegularFile((dir + "/a.c").c_str()), 1);
  RemoveTree(dir);
}
