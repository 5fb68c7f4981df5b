// Path operations: separators (and backslashes that are half of a Shift_JIS
// character), extensions of the last component only, the settings-file name
// rule and the extension filter.
#include <gtest/gtest.h>

#include <string>

#include "platform/files.h"
#include "shell/paths.h"

namespace {

// "表" is 0x95 0x5C in Shift_JIS: its second byte is a backslash.
const std::string kHyo = "\x95\x5c";

std::string Cut(std::string s) {
  char buf[VELMORA_PATH_MAX];
  s.copy(buf, s.size());
  buf[s.size()] = 0;
  return CutToFolder(buf);
}

std::string Replace(std::string s, const char *ext, long *dot = nullptr, size_t cap = 0) {
  char buf[VELMORA_PATH_MAX];
  s.copy(buf, s.size());
  buf[s.size()] = 0;
  long d = ReplaceExtension(buf, cap ? cap : sizeof buf, ext);
  if (dot) *dot = d;
  return buf;
}

std::string Settings(const char *program, const char *suffix) {
  char buf[VELMORA_PATH_MAX];
  EXPECT_EQ(SettingsPathFromProgram(program, suffix, buf, sizeof buf), 1);
  return buf;
}

TEST(PathsTest, FolderAndFileName) {
  EXPECT_EQ(Cut("/x/build/velmora"), "/x/build/");
  EXPECT_EQ(Cut("C:\\src\\main.c"), "C:\\src\\");
  EXPECT_EQ(Cut("main.c"), "main.c");
  EXPECT_EQ(Cut("/"), "/");
  EXPECT_STREQ(FileNamePart("C:\\src\\main.c"), "main.c");
  EXPECT_STREQ(FileNamePart("/src/main.c"), "main.c");
  EXPECT_STREQ(FileNamePart("main.c"), "main.c");
  EXPECT_STREQ(FileNamePart(""), "");
  EXPECT_STREQ(FileNamePart("/src/"), "");
  // A backslash completing a double-byte character never splits the path.
  std::string p = "dir\\" + kHyo + "x.c";
  EXPECT_EQ(std::string(FileNamePart(p.c_str())), kHyo + "x.c");
  EXPECT_EQ(Cut(p), "dir\\");
  EXPECT_EQ(std::string(FileNamePart(("a/" + kHyo).c_str())), kHyo);
}

TEST(PathsTest, ReplaceExtensionInLastComponentOnly) {
  long dot = 0;
  EXPECT_EQ(Replace("/x/build/velmora.exe", "dot", &dot), "/x/build/velmora.dot");
  EXPECT_EQ(dot, 16);
  EXPECT_EQ(Replace("/x/build/velmora.exe", ""), "/x/build/velmora");
  EXPECT_EQ(Replace("/x/build/velmora", "dot", &dot), "/x/build/velmora.dot");
  EXPECT_EQ(dot, 16);
  EXPECT_EQ(Replace("/x/build/velmora", "", &dot), "/x/build/velmora");
  EXPECT_EQ(dot, 16);
  // A dot in a folder name is not an extension.
  EXPECT_EQ(Replace("/home/u/v1.2/velmora", "ini"), "/home/u/v1.2/velmora.ini");
  EXPECT_EQ(Replace("C:\\a.b\\tool", ""), "C:\\a.b\\tool");
  // A leading dot names a hidden file, not an extension.
  EXPECT_EQ(Replace("/home/u/.velmora", "ini"), "/home/u/.velmora.ini");
  EXPECT_EQ(Replace(".x", "y"), ".x.y");
  EXPECT_EQ(Replace("a.tar.gz", "zip"), "a.tar.zip");
}

TEST(PathsTest, ReplaceExtensionRefusesToOverflow) {
  long dot = 0;
  EXPECT_EQ(Replace("abc.d", "long", &dot, 8), "abc.d");
  EXPECT_EQ(dot, -1);
  EXPECT_EQ(Replace("abc.d", "efg", &dot, 8), "abc.efg");
  EXPECT_EQ(dot, 3);
  std::string deep(VELMORA_PATH_MAX - 3, 'a');
  EXPECT_EQ(Replace(deep, "ini", &dot), deep);
  EXPECT_EQ(dot, -1);
}

TEST(PathsTest, TrailingSeparator) {
  char buf[16];
  std::string cases[][2] = {{"/x", "/x/"},
                            {"/x/", "/x/"},
                            {"C:\\x\\", "C:\\x\\"},
                            {"a" + kHyo, "a" + kHyo + "/"},
                            {"", ""}};
  for (auto &c : cases) {
    c[0].copy(buf, c[0].size());
    buf[c[0].size()] = 0;
    EXPECT_EQ(AddTrailingBackslash(buf, sizeof buf), 1);
    EXPECT_EQ(std::string(buf), c[1]);
  }
  char tight[4] = "abc";
  EXPECT_EQ(AddTrailingBackslash(tight, sizeof tight), 0);
  EXPECT_STREQ(tight, "abc");
}

TEST(PathsTest, SettingsFileNames) {
  EXPECT_EQ(Settings("/x/build/velmora", ".ini"), "/x/build/velmora.ini");
  EXPECT_EQ(Settings("/x/build/velmoraD", ".ini"), "/x/build/velmora.ini");
  EXPECT_EQ(Settings("/x/build/velmorad", ".ini"), "/x/build/velmorad.ini");
  EXPECT_EQ(Settings("/x/build/velmoraDD", ".ini"), "/x/build/velmoraD.ini");
  EXPECT_EQ(Settings("/x/build/velmora", "ENH.ini"), "/x/build/velmoraENH.ini");
  EXPECT_EQ(Settings("/x/build/velmora", ".dot"), "/x/build/velmora.dot");
  EXPECT_EQ(Settings("C:\\Tools\\AnalyzerD.exe", "ENH.ini"), "C:\\Tools\\AnalyzerENH.ini");
  EXPECT_EQ(Settings("C:\\Tools\\tool.exe", ".ini"), "C:\\Tools\\tool.ini");
  EXPECT_EQ(Settings("/opt/v2.0/velmora", ".ini"), "/opt/v2.0/velmora.ini");
  // A 'D' that is a folder's last letter is not the program's.
  EXPECT_EQ(Settings("/opt/BUILD/", ".ini"), "/opt/BUILD/.ini");

  char small[12];
  EXPECT_EQ(SettingsPathFromProgram("/x/velmora", ".ini", small, sizeof small), 0);
  EXPECT_STREQ(small, "");
  EXPECT_EQ(SettingsPathFromProgram("/x/velm", ".ini", small, sizeof small), 1);
  EXPECT_STREQ(small, "/x/velm.ini");
}

TEST(PathsTest, MatchExtension) {
  const char *list = "C;CPP;H;";
  EXPECT_TRUE(MatchExtension("a.c", list));
  EXPECT_TRUE(MatchExtension("b.CPP", list));
  EXPECT_TRUE(MatchExtension("main.Cpp", list));
  EXPECT_TRUE(MatchExtension("/src/x.h", list));
  EXPECT_FALSE(MatchExtension("a.cc", list));
  EXPECT_FALSE(MatchExtension("a.c.bak", list));
  EXPECT_FALSE(MatchExtension("makefile", list));
  EXPECT_FALSE(MatchExtension(".h", list));
  EXPECT_FALSE(MatchExtension("a.c", ""));
  EXPECT_TRUE(MatchExtension("a.c?query", list));
  // Only the last component has an extension.
  EXPECT_FALSE(MatchExtension("/src/v1.c/makefile", list));
  EXPECT_TRUE(MatchExtension("/src/v1.c/makefile", "C;;"));
  // An empty entry accepts names without an extension, wherever it stands.
  EXPECT_TRUE(MatchExtension("makefile", ";;C"));
  EXPECT_TRUE(MatchExtension("makefile", "C;;H"));
  EXPECT_FALSE(MatchExtension("makefile", "C;H;"));
  EXPECT_TRUE(MatchExtension("a.C", "c"));
  EXPECT_FALSE(MatchExtension("a.", "C;H"));
  EXPECT_TRUE(MatchExtension("a.", "C;;"));
}

}  // namespace
