// Files and folders: the desktop folder rule, no-replace renames, folder walks
// in name order, the append descriptor used by the log writer, and the owned
// descriptor handle.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "platform/files.h"
#include "platform/unique_fd.h"
#include "support/testenv.h"

using velmora_test::EnvScope;
using velmora_test::Exists;
using velmora_test::MakeTempDir;
using velmora_test::ReadFile;
using velmora_test::WriteFile;

namespace {

std::string Desktop() {
  char buf[VELMORA_PATH_MAX];
  return DesktopFolder(buf, sizeof buf) ? std::string(buf) : std::string("<none>");
}

}  // namespace

TEST(DesktopFolder, FollowsTheXdgRuleAndCreatesTheFolder) {
  std::string home = MakeTempDir("deskhome");
  EnvScope env;
  env.Set("HOME", home.c_str());
  env.Set("XDG_CONFIG_HOME", nullptr);

  env.Set("XDG_DESKTOP_DIR", (home + "/explicit/desk/").c_str());
  EXPECT_EQ(Desktop(), home + "/explicit/desk");
  EXPECT_TRUE(Exists(home + "/explicit/desk"));

  env.Set("XDG_DESKTOP_DIR", nullptr);
  EXPECT_EQ(Desktop(), home + "/Desktop");

  mkdir((home + "/.config").c_str(), 0700);
  WriteFile(home + "/.config/user-dirs.dirs",
            "# written by xdg-user-dirs-update\n"
            "XDG_DOWNLOAD_DIR=\"$HOME/Downloads\"\n"
            "XDG_DESKTOP_DIR=\"$HOME/Schreib tisch\"\n");
  EXPECT_EQ(Desktop(), home + "/Schreib tisch");
  EXPECT_TRUE(Exists(home + "/Schreib tisch"));

  std::string conf = MakeTempDir("deskconf");
  env.Set("XDG_CONFIG_HOME", conf.c_str());
  WriteFile(conf + "/user-dirs.dirs", "XDG_DESKTOP_DIR=\"" + home + "/abs\"\n");
  EXPECT_EQ(Desktop(), home + "/abs");

  // A desktop that cannot be made is reported, with an empty buffer.
  WriteFile(home + "/file", "x");
  env.Set("XDG_DESKTOP_DIR", (home + "/file/desk").c_str());
  char buf[64] = "junk";
  EXPECT_EQ(DesktopFolder(buf, sizeof buf), 0);
  EXPECT_STREQ(buf, "");
  // A path longer than the buffer is refused, never cut.
  env.Set("XDG_DESKTOP_DIR", (home + "/a-rather-long-folder-name-for-the-desktop-here").c_str());
  EXPECT_EQ(DesktopFolder(buf, 16), 0);
  velmora_test::RemoveTree(home);
  velmora_test::RemoveTree(conf);
}

TEST(Files, ReadAppendTruncateAndSizes) {
  std::string dir = MakeTempDir("files");
  std::string f = dir + "/a.txt";
  EXPECT_EQ(FileExists(f.c_str()), 0);
  EXPECT_EQ(FileSizeForRead(f.c_str()), -1);
  EXPECT_EQ(AppendFile(f.c_str(), "hello", 5), 1);
  EXPECT_EQ(AppendFile(f.c_str(), " you", 4), 1);
  EXPECT_EQ(FileSizeForRead(f.c_str()), 9);
  char buf[6];
  EXPECT_EQ(ReadFileInto(f.c_str(), buf, 5), 5);
  EXPECT_EQ(std::string(buf, 5), "hello");
  EXPECT_EQ(FileSizeForRead(dir.c_str()), -1);  // a folder is not a readable file
  EXPECT_EQ(IsDirectory(dir.c_str()), 1);
  EXPECT_EQ(IsDirectory(f.c_str()), 0);
  EXPECT_EQ(TruncateFile(f.c_str()), 1);
  EXPECT_EQ(FileSizeForRead(f.c_str()), 0);
  EXPECT_EQ(AppendFile((dir + "/no/such/dir/x").c_str(), "x", 1), 0);
  EXPECT_EQ(MakeDirs((dir + "/p/q/r").c_str()), 1);
  EXPECT_EQ(IsDirectory((dir + "/p/q/r").c_str()), 1);
  EXPECT_EQ(MakeDirs((f + "/sub").c_str()), 0);
  velmora_test::RemoveTree(dir);
}

TEST(Files, RenameNeverReplaces) {
  std::string dir = MakeTempDir("rename");
  std::string a = dir + "/a", b = dir + "/b", c = dir + "/c";
  WriteFile(a, "A");
  WriteFile(b, "B");
  EXPECT_EQ(RenameNoReplace(a.c_str(), b.c_str()), 0);
  EXPECT_EQ(ReadFile(b), "B");
  EXPECT_EQ(RenameNoReplace(a.c_str(), c.c_str()), 1);
  EXPECT_FALSE(Exists(a));
  EXPECT_EQ(ReadFile(c), "A");
  EXPECT_EQ(RenameNoReplace(a.c_str(), (dir + "/d").c_str()), 0);
  velmora_test::RemoveTree(dir);
}

TEST(Files, DirectoryWalkInNameOrder) {
  std::string dir = MakeTempDir("walk");
  WriteFile(dir + "/b.c", "");
  WriteFile(dir + "/B.h", "");
  WriteFile(dir + "/a.c", "");
  mkdir((dir + "/sub").c_str(), 0700);
  ASSERT_EQ(symlink("sub", (dir + "/zlink").c_str()), 0);
  ASSERT_EQ(symlink("missing", (dir + "/dangling").c_str()), 0);

  struct Seen {
    std::vector<std::string> names;
    std::string kinds;
  } seen;
  auto collect = [](const DirEntryInfo *e, void *ctx) -> int {
    Seen *s = (Seen *)ctx;
    s->names.push_back(e->name);
    s->kinds += e->is_link ? (e->is_dir ? 'L' : 'l') : e->is_dir ? 'd' : e->is_file ? 'f' : '?';
    return 1;
  };
  EXPECT_EQ(ForEachDirEntry(dir.c_str(), collect, &seen), 1);
  EXPECT_EQ(seen.names,
            (std::vector<std::string>{"B.h", "a.c", "b.c", "dangling", "sub", "zlink"}));
  EXPECT_EQ(seen.kinds, "fffldL");

  uint64_t dev1, ino1, dev2, ino2;
  ASSERT_EQ(PathIdentity((dir + "/sub").c_str(), &dev1, &ino1), 1);
  ASSERT_EQ(PathIdentity((dir + "/zlink").c_str(), &dev2, &ino2), 1);
  EXPECT_EQ(ino1, ino2);
  EXPECT_EQ(PathIdentity((dir + "/dangling").c_str(), &dev2, &ino2), 0);

  int calls = 0;
  auto stop = [](const DirEntryInfo *, void *ctx) -> int { return ++*(int *)ctx < 2; };
  ForEachDirEntry(dir.c_str(), stop, &calls);
  EXPECT_EQ(calls, 2);
  EXPECT_EQ(ForEachDirEntry((dir + "/none").c_str(), collect, &seen), 0);
  velmora_test::RemoveTree(dir);
}

TEST(Files, ProgramPathNamesThisTest) {
  char buf[VELMORA_PATH_MAX];
  ASSERT_EQ(ProgramPath(buf, sizeof buf), 1);
  std::string p(buf);
  EXPECT_EQ(p.substr(p.rfind('/') + 1), "test_platform");
  char small[4] = "xx";
  EXPECT_EQ(ProgramPath(small, sizeof small), 0);
  EXPECT_STREQ(small, "");
}

TEST(Files, AppendDescriptorSeesDeletion) {
  std::string dir = MakeTempDir("fd");
  std::string f = dir + "/log.txt";
  int fd = OpenAppendFd(f.c_str());
  ASSERT_GE(fd, 0);
  EXPECT_EQ(WriteFd(fd, "abc", 3), 1);
  FdInfo info;
  ASSERT_EQ(FdStat(fd, &info), 1);
  EXPECT_EQ(info.size, 3);
  EXPECT_EQ(info.nlink, 1u);
  uint64_t dev, ino;
  ASSERT_EQ(PathIdentity(f.c_str(), &dev, &ino), 1);
  EXPECT_EQ(dev, info.dev);
  EXPECT_EQ(ino, info.ino);
  unlink(f.c_str());
  ASSERT_EQ(FdStat(fd, &info), 1);
  EXPECT_EQ(info.nlink, 0u);
  CloseFd(fd);
  CloseFd(-1);
  EXPECT_EQ(OpenAppendFd((dir + "/no/such").c_str()), -1);
  velmora_test::RemoveTree(dir);
}

namespace {
bool IsOpen(int fd) {
  return fcntl(fd, F_GETFD) != -1;
}
}  // namespace

TEST(UniqueFd, OneOwnerClosesOnce) {
  int raw = open("/dev/null", O_RDONLY | O_CLOEXEC);
  ASSERT_GE(raw, 0);
  {
    UniqueFd a(raw);
    UniqueFd b(std::move(a));  // ownership moves; the source forgets it
    EXPECT_FALSE(a.valid());
    EXPECT_EQ(b.get(), raw);
    UniqueFd c;
    c = std::move(b);
    EXPECT_EQ(c.get(), raw);
    EXPECT_TRUE(IsOpen(raw));
  }
  EXPECT_FALSE(IsOpen(raw));  // closed when the last owner went

  int first = open("/dev/null", O_RDONLY | O_CLOEXEC);
  int second = open("/dev/null", O_RDONLY | O_CLOEXEC);
  UniqueFd h(first);
  h.Reset(second);  // closes the one it held
  EXPECT_FALSE(IsOpen(first));
  int given = h.Release();  // the caller owns it now
  EXPECT_EQ(given, second);
  EXPECT_FALSE(h.valid());
  EXPECT_TRUE(IsOpen(second));
  close(second);
}
