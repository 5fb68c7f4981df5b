// Writing keys into a settings file: only the keys given change, every other
// line, comment, spelling and line end stays; missing keys and sections are
// added where a reader finds them; the file's encoding, mode and links are
// kept; what is written reads back as it was given.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "platform/ini.h"
#include "support/testenv.h"

using velmora_test::MakeTempDir;
using velmora_test::ReadFile;
using velmora_test::WriteFile;

namespace {

class IniWriteTest : public ::testing::Test {
 protected:
  void SetUp() override { dir_ = MakeTempDir("iniw"); }
  void TearDown() override { velmora_test::RemoveTree(dir_); }
  std::string Str(const std::string &file, const char *key) {
    char buf[512] = "";
    IniGetString(file.c_str(), "CONFIG", key, "<absent>", buf, sizeof buf);
    return buf;
  }
  std::string dir_;
};

}  // namespace

TEST_F(IniWriteTest, OnlyTheKeysGivenChange) {
  std::string f = dir_ + "/v.ini";
  WriteFile(f,
            "; Velmora settings\r\n"
            "[Other]\r\nEDITOR=not this one\r\n"
            "[config]\r\n"
            "; the editor\r\n"
            "  Editor = /usr/bin/old  \r\n"
            "EDITOR=second is never read\r\n"
            "EXT=C;H;\r\n"
            "\r\n"
            "; the end of the section\r\n"
            "[More]\r\nx=1\r\n");
  IniValue v[] = {{"EDITOR", "/usr/bin/new editor"},
                  {"JOBS", "2"},
                  {"GRAPH_VIEWER_CMD", "\"%s\" \"%s\""},
                  {"EDITOR_CMD", " +%d"}};
  ASSERT_EQ(IniSetValues(f.c_str(), "CONFIG", v, 4), 1);
  EXPECT_EQ(ReadFile(f),
            "; Velmora settings\r\n"
            "[Other]\r\nEDITOR=not this one\r\n"
            "[config]\r\n"
            "; the editor\r\n"
            "  Editor =/usr/bin/new editor\r\n"
            "EDITOR=second is never read\r\n"
            "EXT=C;H;\r\n"
            "JOBS=2\r\n"
            "GRAPH_VIEWER_CMD=\"\"%s\" \"%s\"\"\r\n"
            "EDITOR_CMD=\" +%d\"\r\n"
            "\r\n"
            "; the end of the section\r\n"
            "[More]\r\nx=1\r\n");
  // Read back as given.
  EXPECT_EQ(Str(f, "EDITOR"), "/usr/bin/new editor");
  EXPECT_EQ(Str(f, "JOBS"), "2");
  EXPECT_EQ(Str(f, "GRAPH_VIEWER_CMD"), "\"%s\" \"%s\"");
  EXPECT_EQ(Str(f, "EDITOR_CMD"), " +%d");
  EXPECT_EQ(Str(f, "EXT"), "C;H;");
}

TEST_F(IniWriteTest, MissingSectionsAndFiles) {
  std::string f = dir_ + "/none.ini";
  IniValue v[] = {{"PARSER", "1"}};
  ASSERT_EQ(IniSetValues(f.c_str(), "CONFIG", v, 1), 1);
  EXPECT_EQ(ReadFile(f), "[CONFIG]\nPARSER=1\n");
  std::string g = dir_ + "/other.ini";
  WriteFile(g, "[MUSIC]\nUSE=1");  // no line end at its end
  ASSERT_EQ(IniSetValues(g.c_str(), "CONFIG", v, 1), 1);
  EXPECT_EQ(ReadFile(g), "[MUSIC]\nUSE=1\n[CONFIG]\nPARSER=1\n");
  std::string h = dir_ + "/empty-section.ini";
  WriteFile(h, "[CONFIG]");
  ASSERT_EQ(IniSetValues(h.c_str(), "CONFIG", v, 1), 1);
  EXPECT_EQ(ReadFile(h), "[CONFIG]\nPARSER=1\n");
  // A folder is no settings file: nothing is made.
  EXPECT_EQ(IniSetValues(dir_.c_str(), "CONFIG", v, 1), 0);
}

TEST_F(IniWriteTest, EncodingsModesAndLinks) {
  // Shift_JIS stays Shift_JIS: a Japanese value is written in it.
  std::string s = dir_ + "/sjis.ini";
  WriteFile(s, "[CONFIG]\nTAB_NAME_0=\x8a\xd6\x90\x94\nEXT=C;\n");               // 関数
  IniValue j[] = {{"EXT", "C;H;"}, {"TAB_NAME_1", "\xe5\x91\xbc\xe5\x87\xba"}};  // 呼出
  ASSERT_EQ(IniSetValues(s.c_str(), "CONFIG", j, 2), 1);
  EXPECT_EQ(ReadFile(s),
            "[CONFIG]\nTAB_NAME_0=\x8a\xd6\x90\x94\nEXT=C;H;\nTAB_NAME_1=\x8c\xc4\x8f\x6f\n");
  // UTF-8 with its mark stays so.
  std::string u = dir_ + "/utf8.ini";
  WriteFile(u, "\xef\xbb\xbf[CONFIG]\nTAB_NAME_0=\xe9\x96\xa2\xe6\x95\xb0\n");
  ASSERT_EQ(IniSetValues(u.c_str(), "CONFIG", j + 1, 1), 1);
  EXPECT_EQ(ReadFile(u),
            "\xef\xbb\xbf[CONFIG]\nTAB_NAME_0=\xe9\x96\xa2\xe6\x95\xb0\nTAB_NAME_1="
            "\xe5\x91\xbc\xe5\x87\xba\n");
  // UTF-16 with its mark.
  std::string w = dir_ + "/utf16.ini";
  WriteFile(w, std::string("\xff\xfe[\0C\0O\0N\0F\0I\0G\0]\0\n\0", 20));
  IniValue p[] = {{"PARSER", "1"}};
  ASSERT_EQ(IniSetValues(w.c_str(), "CONFIG", p, 1), 1);
  EXPECT_EQ(Str(w, "PARSER"), "1");
  EXPECT_EQ(ReadFile(w).substr(0, 2), "\xff\xfe");
  // The mode stays; a link stays a link, its target changes.
  chmod(s.c_str(), 0600);
  std::string link = dir_ + "/link.ini";
  ASSERT_EQ(symlink(s.c_str(), link.c_str()), 0);
  ASSERT_EQ(IniSetValues(link.c_str(), "CONFIG", p, 1), 1);
  struct stat st;
  ASSERT_EQ(lstat(link.c_str(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode));
  ASSERT_EQ(stat(s.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  EXPECT_EQ(Str(s, "PARSER"), "1");
  // Nothing is left beside it.
  EXPECT_EQ(velmora_test::Listing(dir_).find("sjis.ini."), std::string::npos);
}
