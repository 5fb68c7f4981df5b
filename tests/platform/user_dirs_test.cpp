// The user's base folders, private folders and first copies: the variables
// and their defaults, folders made 0700 without touching existing ones, and
// a copy that never replaces, follows or half-writes the user's file.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "platform/files.h"
#include "platform/user_dirs.h"
#include "support/testenv.h"

using velmora_test::EnvScope;
using velmora_test::Exists;
using velmora_test::Listing;
using velmora_test::ReadFile;
using velmora_test::WriteFile;

namespace {

std::string Base(UserDir which) {
  char buf[VELMORA_PATH_MAX];
  return UserBaseDir(which, buf, sizeof buf) ? std::string(buf) : std::string("<none>");
}

int Mode(const std::string &path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 ? (int)(st.st_mode & 07777) : -1;
}

struct UserDirsTest : ::testing::Test {
  std::string dir = velmora_test::MakeTempDir("userdirs");
  void TearDown() override {
    chmod(dir.c_str(), 0700);
    velmora_test::RemoveTree(dir);
  }
};

TEST_F(UserDirsTest, BaseFoldersFollowTheVariablesAndTheirDefaults) {
  EnvScope env;
  env.Set("HOME", (dir + "/home").c_str());
  env.Set("XDG_CONFIG_HOME", nullptr);
  env.Set("XDG_STATE_HOME", nullptr);
  EXPECT_EQ(Base(UserDir::kConfig), dir + "/home/.config");
  EXPECT_EQ(Base(UserDir::kState), dir + "/home/.local/state");

  env.Set("XDG_CONFIG_HOME", (dir + "/conf//").c_str());
  env.Set("XDG_STATE_HOME", (dir + "/st").c_str());
  EXPECT_EQ(Base(UserDir::kConfig), dir + "/conf");
  EXPECT_EQ(Base(UserDir::kState), dir + "/st");

  // Relative or empty values are not valid base folders: the defaults hold.
  env.Set("XDG_CONFIG_HOME", "relative/conf");
  env.Set("XDG_STATE_HOME", "");
  EXPECT_EQ(Base(UserDir::kConfig), dir + "/home/.config");
  EXPECT_EQ(Base(UserDir::kState), dir + "/home/.local/state");

  // Nothing is created by asking, and a path too long for the buffer is
  // refused rather than cut.
  EXPECT_FALSE(Exists(dir + "/home"));
  char small[8] = "junk";
  EXPECT_EQ(UserBaseDir(UserDir::kConfig, small, sizeof small), 0);
  EXPECT_STREQ(small, "");
}

TEST_F(UserDirsTest, MakeUserDirCreatesPrivateFoldersAndKeepsExistingOnes) {
  std::string deep = dir + "/a/b/velmora";
  EXPECT_EQ(MakeUserDir(deep.c_str()), 1);
  EXPECT_EQ(Mode(dir + "/a"), 0700);
  EXPECT_EQ(Mode(dir + "/a/b"), 0700);
  EXPECT_EQ(Mode(deep), 0700);

  // A folder the user opened up keeps its mode; asking again is no failure.
  chmod(deep.c_str(), 0755);
  EXPECT_EQ(MakeUserDir(deep.c_str()), 1);
  EXPECT_EQ(Mode(deep), 0755);

  WriteFile(dir + "/file", "x");
  EXPECT_EQ(MakeUserDir((dir + "/file").c_str()), 0);
  EXPECT_EQ(MakeUserDir((dir + "/file/sub").c_str()), 0);
  EXPECT_EQ(MakeUserDir("relative/folder"), 0);
  EXPECT_EQ(MakeUserDir(""), 0);
}

TEST_F(UserDirsTest, CopyPlacesAnExactFirstCopy) {
  std::string bytes = "; comment kept\r\n[CONFIG]\nA=1\n";
  bytes += std::string("\0\x81\x40 tail", 8);
  WriteFile(dir + "/sample.ini", bytes);
  std::string to = dir + "/velmora.ini";
  EXPECT_EQ(CopyFileNoReplace((dir + "/sample.ini").c_str(), to.c_str()), 1);
  EXPECT_EQ(ReadFile(to), bytes);
  EXPECT_EQ(Listing(dir), "sample.ini\nvelmora.ini\n");

  WriteFile(dir + "/empty.ini", "");
  EXPECT_EQ(CopyFileNoReplace((dir + "/empty.ini").c_str(), (dir + "/copy.ini").c_str()), 1);
  EXPECT_TRUE(Exists(dir + "/copy.ini"));
}

TEST_F(UserDirsTest, CopyNeverReplacesFollowsOrLeavesDebris) {
  WriteFile(dir + "/sample.ini", "sample");
  std::string from = dir + "/sample.ini";

  // The user's own file stays as it is.
  WriteFile(dir + "/mine.ini", "edited by the user");
  EXPECT_EQ(CopyFileNoReplace(from.c_str(), (dir + "/mine.ini").c_str()), 0);
  EXPECT_EQ(ReadFile(dir + "/mine.ini"), "edited by the user");

  // A link at the target, even a dangling one, is not written through.
  ASSERT_EQ(symlink((dir + "/elsewhere").c_str(), (dir + "/link.ini").c_str()), 0);
  EXPECT_EQ(CopyFileNoReplace(from.c_str(), (dir + "/link.ini").c_str()), 0);
  EXPECT_FALSE(Exists(dir + "/elsewhere"));

  // No source, a folder as source, or a folder that cannot be written: no
  // copy and no temporary file left behind.
  EXPECT_EQ(CopyFileNoReplace((dir + "/none.ini").c_str(), (dir + "/a.ini").c_str()), 0);
  EXPECT_EQ(CopyFileNoReplace(dir.c_str(), (dir + "/b.ini").c_str()), 0);
  EXPECT_EQ(CopyFileNoReplace(from.c_str(), (dir + "/no/such/c.ini").c_str()), 0);
  EXPECT_EQ(Listing(dir), "link.ini\nmine.ini\nsample.ini\n");
  if (geteuid() != 0) {  // root writes anywhere
    mkdir((dir + "/ro").c_str(), 0500);
    EXPECT_EQ(CopyFileNoReplace(from.c_str(), (dir + "/ro/d.ini").c_str()), 0);
    EXPECT_EQ(Listing(dir + "/ro"), "");
  }
}

}  // namespace

namespace {

std::string Expanded(const char *path) {
  char buf[VELMORA_PATH_MAX];
  return ExpandUserPath(path, buf, sizeof buf) ? std::string(buf) : std::string("<none>");
}

}  // namespace

TEST_F(UserDirsTest, PathsAsUsersWriteThem) {
  EnvScope home;
  home.Set("HOME", dir.c_str());
  EnvScope state;
  state.Set("XDG_STATE_HOME", nullptr);
  EnvScope other;
  other.Set("VELMORA_TEST_PLACE", "/srv/x");
  EnvScope none;
  none.Set("VELMORA_TEST_UNSET", nullptr);
  EXPECT_EQ(Expanded("~"), dir);
  EXPECT_EQ(Expanded("~/logs"), dir + "/logs");
  EXPECT_EQ(Expanded("a~/b"), "a~/b");  // only a leading one
  // The base folders have their defaults; other names their values.
  EXPECT_EQ(Expanded("$XDG_STATE_HOME/velmora"), dir + "/.local/state/velmora");
  EXPECT_EQ(Expanded("${VELMORA_TEST_PLACE}/v$VELMORA_TEST_PLACE"), "/srv/x/v/srv/x");
  {
    EnvScope set;
    set.Set("XDG_STATE_HOME", "/state");
    EXPECT_EQ(Expanded("$XDG_STATE_HOME/velmora"), "/state/velmora");
  }
  // An unset name, an unclosed brace or a lone $ make nothing.
  EXPECT_EQ(Expanded("$VELMORA_TEST_UNSET/x"), "<none>");
  EXPECT_EQ(Expanded("${VELMORA_TEST_PLACE/x"), "<none>");
  EXPECT_EQ(Expanded("a$/b"), "<none>");
  EXPECT_EQ(Expanded("plain/relative"), "plain/relative");
  char small[8];
  EXPECT_EQ(ExpandUserPath("~/longer-than-eight", small, sizeof small), 0);
  EXPECT_STREQ(small, "");
}

TEST_F(UserDirsTest, OutputFolderMadePrivateOrTheDesktop) {
  EnvScope desk;
  desk.Set("XDG_DESKTOP_DIR", (dir + "/Desktop").c_str());
  char buf[VELMORA_PATH_MAX];
  SetOutputFolder((dir + "/state/velmora/").c_str());
  ASSERT_EQ(OutputFolder(buf, sizeof buf), 1);
  EXPECT_EQ(std::string(buf), dir + "/state/velmora");
  EXPECT_EQ(Mode(dir + "/state/velmora"), 0700);
  SetOutputFolder(nullptr);
  ASSERT_EQ(OutputFolder(buf, sizeof buf), 1);
  EXPECT_EQ(std::string(buf), dir + "/Desktop");
  // One that cannot be made: nothing (the logs and pictures are then off).
  WriteFile(dir + "/file", "x");
  SetOutputFolder((dir + "/file/below").c_str());
  EXPECT_EQ(OutputFolder(buf, sizeof buf), 0);
  EXPECT_STREQ(buf, "");
  SetOutputFolder(nullptr);
}
