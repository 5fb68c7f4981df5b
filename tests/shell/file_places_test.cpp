// Where the program's own files live: a program with velmora.ini beside it
// keeps everything there; an installed one uses the user's config and state
// folders, makes its settings from the sample once and never replaces them,
// and writes nothing beside itself. --ini wins in both.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <string>

#include "platform/files.h"
#include "platform/sys.h"
#include "shell/file_places.h"
#include "support/testenv.h"

using velmora_test::EnvScope;
using velmora_test::Exists;
using velmora_test::ReadFile;
using velmora_test::WriteFile;

namespace {

const char kSample[] = "; the sample keeps its comments\r\n[CONFIG]\nDEBUG_LOG=0\n";

// A scratch root holding an installed layout (usr/bin, usr/share/velmora)
// and a home whose XDG variables are unset, so the defaults apply.
struct FilePlacesTest : ::testing::Test {
  std::string root = velmora_test::MakeTempDir("places");
  std::string home = root + "/home";
  std::string bin = root + "/usr/bin";
  std::string program = bin + "/velmora-cli";
  EnvScope env;

  void SetUp() override {
    env.Set("HOME", home.c_str());
    env.Set("XDG_CONFIG_HOME", nullptr);
    env.Set("XDG_STATE_HOME", nullptr);
    env.Set("TMPDIR", root.c_str());
    ASSERT_EQ(MakeDirs(bin.c_str()), 1);
    ASSERT_EQ(MakeDirs((root + "/usr/share/velmora").c_str()), 1);
    WriteFile(program, "");
    WriteFile(root + "/usr/share/velmora/velmora.ini", kSample);
  }
  void TearDown() override { velmora_test::RemoveTree(root); }

  FilePlaces Find(const char *ini = nullptr) {
    FilePlaces p;
    FindFilePlaces(program.c_str(), ini, &p);
    return p;
  }
  std::string BinListing() { return velmora_test::Listing(bin); }
};

int Mode(const std::string &path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 ? (int)(st.st_mode & 07777) : -1;
}

TEST_F(FilePlacesTest, SettingsBesideTheProgramKeepEverythingThere) {
  WriteFile(bin + "/velmora.ini", "[CONFIG]\n");
  FilePlaces p = Find();
  EXPECT_EQ(p.placement, FilePlacement::kBesideProgram);
  EXPECT_EQ(std::string(p.settings), bin + "/velmora.ini");
  EXPECT_STREQ(p.graph_file, "");  // the graph module's velmora.dot beside it
  EXPECT_EQ(p.named, 0);
  EXPECT_EQ(PrepareFilePlaces(&p), 1);
  EXPECT_FALSE(Exists(home));  // no config or state folder made

  // Whatever the program is called, it reads the settings named velmora.
  program = bin + "/velmoraD";
  EXPECT_EQ(std::string(Find().settings), bin + "/velmora.ini");

  p = Find("/elsewhere/my.ini");
  EXPECT_EQ(p.placement, FilePlacement::kBesideProgram);
  EXPECT_EQ(std::string(p.settings), "/elsewhere/my.ini");
  EXPECT_EQ(p.named, 1);
}

TEST_F(FilePlacesTest, InstalledProgramUsesTheUserFolders) {
  FilePlaces p = Find();
  EXPECT_EQ(p.placement, FilePlacement::kUserFolders);
  EXPECT_EQ(std::string(p.settings), home + "/.config/velmora/velmora.ini");
  EXPECT_EQ(std::string(p.sample), root + "/usr/share/velmora/velmora.ini");
  EXPECT_EQ(std::string(p.graph_file), home + "/.local/state/velmora/velmora.dot");
  EXPECT_FALSE(Exists(home));  // finding changes nothing

  env.Set("XDG_CONFIG_HOME", (root + "/conf").c_str());
  env.Set("XDG_STATE_HOME", (root + "/state").c_str());
  p = Find();
  EXPECT_EQ(std::string(p.settings), root + "/conf/velmora/velmora.ini");
  EXPECT_EQ(std::string(p.graph_file), root + "/state/velmora/velmora.dot");

  p = Find("my.ini");
  EXPECT_EQ(std::string(p.settings), "my.ini");
  EXPECT_EQ(std::string(p.graph_file), root + "/state/velmora/velmora.dot");

  // A settings path too long to hold is dropped, never cut.
  std::string huge(VELMORA_PATH_MAX + 10, 'x');
  EXPECT_STREQ(Find(huge.c_str()).settings, "");
}

TEST_F(FilePlacesTest, FirstRunCopiesTheSampleOnceAndNeverReplacesIt) {
  FilePlaces p = Find();
  EXPECT_EQ(PrepareFilePlaces(&p), 1);
  std::string settings = home + "/.config/velmora/velmora.ini";
  EXPECT_EQ(ReadFile(settings), kSample);
  EXPECT_EQ(Mode(home + "/.config/velmora"), 0700);
  EXPECT_EQ(Mode(home + "/.local/state/velmora"), 0700);
  EXPECT_EQ(std::string(p.graph_file), home + "/.local/state/velmora/velmora.dot");
  EXPECT_EQ(BinListing(), "velmora-cli\n");  // nothing beside the program

  WriteFile(settings, "[CONFIG]\nDEBUG_LOG=2\n");
  WriteFile(root + "/usr/share/velmora/velmora.ini", "; a newer sample\n");
  p = Find();
  EXPECT_EQ(PrepareFilePlaces(&p), 1);
  EXPECT_EQ(ReadFile(settings), "[CONFIG]\nDEBUG_LOG=2\n");
}

TEST_F(FilePlacesTest, NamedSettingsAreNeverMade) {
  FilePlaces p = Find((root + "/given.ini").c_str());
  EXPECT_EQ(PrepareFilePlaces(&p), 1);
  EXPECT_FALSE(Exists(root + "/given.ini"));
  EXPECT_FALSE(Exists(home + "/.config"));
  EXPECT_TRUE(Exists(home + "/.local/state/velmora"));  // the graph file still needs it
}

TEST_F(FilePlacesTest, MissingPiecesFallBackWithoutWritingBesideTheProgram) {
  // No sample installed: built-in values, reported, nothing made up.
  remove((root + "/usr/share/velmora/velmora.ini").c_str());
  FilePlaces p = Find();
  EXPECT_EQ(PrepareFilePlaces(&p), 0);
  EXPECT_FALSE(Exists(home + "/.config/velmora/velmora.ini"));

  // A state folder that cannot be made: the graph file goes to the private
  // temporary folder, never beside the program.
  WriteFile(root + "/blocker", "x");
  env.Set("XDG_STATE_HOME", (root + "/blocker").c_str());
  p = Find();
  EXPECT_EQ(PrepareFilePlaces(&p), 0);
  std::string graph = p.graph_file;
  EXPECT_EQ(graph.substr(0, root.size() + 9), root + "/velmora-");
  EXPECT_EQ(graph.substr(graph.rfind('/')), "/velmora.dot");

  // A settings folder that cannot be made leaves the built-in values.
  env.Set("XDG_CONFIG_HOME", (root + "/blocker").c_str());
  p = Find();
  EXPECT_EQ(PrepareFilePlaces(&p), 0);
  EXPECT_EQ(BinListing(), "velmora-cli\n");
}

}  // namespace
