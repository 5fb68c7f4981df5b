// The settings-file reader: lookup rules, value clean-up, encodings and the
// parsed-file cache.
#include <gtest/gtest.h>

#include <string>

#include "platform/ini.h"
#include "support/testenv.h"

using velmora_test::MakeTempDir;
using velmora_test::WriteFile;

namespace {

class IniTest : public ::testing::Test {
 protected:
  void SetUp() override { dir_ = MakeTempDir("ini"); }
  void TearDown() override { velmora_test::RemoveTree(dir_); }
  std::string Write(const std::string &name, const std::string &bytes) {
    std::string p = dir_ + "/" + name;
    WriteFile(p, bytes);
    return p;
  }
  std::string Str(const std::string &file, const char *sec, const char *key,
                  const char *def = "DEF", size_t cap = 256) {
    char buf[256] = "junk";
    IniGetString(file.c_str(), sec, key, def, buf, cap);
    return buf;
  }
  std::string dir_;
};

TEST_F(IniTest, LookupRules) {
  std::string f = Write("a.ini",
                        "top=ignored\r\n"
                        "[Other]\r\nkey=other\r\n"
                        "  [ Config ]  \r\n"
                        "; key=comment\r\n"
                        "  Key  =  first value  \r\n"
                        "KEY=second\r\n"
                        "noequals\r\n"
                        "[config]\r\nlater=x\r\n");
  EXPECT_EQ(Str(f, "CONFIG", "key"), "first value");
  EXPECT_EQ(Str(f, "other", "KEY"), "other");
  EXPECT_EQ(Str(f, "CONFIG", "; key"), "DEF");
  EXPECT_EQ(Str(f, "CONFIG", "top"), "DEF");
  EXPECT_EQ(Str(f, "CONFIG", "noequals"), "DEF");
  EXPECT_EQ(Str(f, "Missing", "key"), "DEF");
  // Only the first section of a name is searched.
  EXPECT_EQ(Str(f, "CONFIG", "later"), "DEF");
  EXPECT_EQ(Str(dir_ + "/none.ini", "CONFIG", "key"), "DEF");
  EXPECT_EQ(Str(f, "CONFIG", "key", nullptr, 6), "first");
}

TEST_F(IniTest, QuotesEmptyValuesAndLf) {
  std::string f = Write("q.ini",
                        "[S]\n"
                        "a=\"quoted value\"\n"
                        "b=\"\"two\"\"\n"
                        "c='single'\n"
                        "d=\"open\n"
                        "e=\n"
                        "f=\"\"\n"
                        "g=a;not a comment\n");
  const char *const want[][2] = {{"a", "quoted value"},   {"b", "\"two\""}, {"c", "single"},
                                 {"d", "\"open"},         {"e", ""},        {"f", ""},
                                 {"g", "a;not a comment"}};
  for (const auto &kv : want) EXPECT_EQ(Str(f, "S", kv[0]), kv[1]) << kv[0];
}

TEST_F(IniTest, IntegersLikeAtoi) {
  std::string f = Write("i.ini",
                        "[N]\nplain=42\nneg= -7\nplus=+3\ntail=12abc\nword=abc\nempty=\n"
                        "quoted=\"15\"\nhuge=99999999999\nsmall=-99999999999\n");
  const char *p = f.c_str();
  EXPECT_EQ(IniGetInt(p, "N", "plain", 1), 42);
  EXPECT_EQ(IniGetInt(p, "n", "NEG", 1), -7);
  EXPECT_EQ(IniGetInt(p, "N", "plus", 1), 3);
  EXPECT_EQ(IniGetInt(p, "N", "tail", 1), 12);
  EXPECT_EQ(IniGetInt(p, "N", "word", 1), 0);
  EXPECT_EQ(IniGetInt(p, "N", "empty", 5), 5);
  EXPECT_EQ(IniGetInt(p, "N", "quoted", 1), 15);
  EXPECT_EQ(IniGetInt(p, "N", "huge", 1), 2147483647);
  EXPECT_EQ(IniGetInt(p, "N", "small", 1), -2147483647 - 1);
  EXPECT_EQ(IniGetInt(p, "N", "absent", 77), 77);
  EXPECT_EQ(IniGetInt((dir_ + "/none.ini").c_str(), "N", "plain", 9), 9);
}

TEST_F(IniTest, EncodingsBecomeShiftJis) {
  const std::string sjis = "\x89\xf0\x90\xcd";  // the two characters below in Shift_JIS
  std::string plain = Write("u8.ini", "[S]\nv=\xe8\xa7\xa3\xe6\x9e\x90\n");
  std::string bom = Write("bom.ini", "\xef\xbb\xbf[S]\nv=\xe8\xa7\xa3\xe6\x9e\x90\n");
  std::string sj = Write("sj.ini", "[S]\nv=" + sjis + "\n");
  std::string le("\xff\xfe", 2), be("\xfe\xff", 2);
  const std::string body = "[S]\nv=";
  for (char ch : body) {
    le += ch, le += '\0';
    be += '\0', be += ch;
  }
  le += std::string("\xe3\x89\x90\x67\n\0", 6);  // U+89E3 U+6790 LF
  be += std::string("\x89\xe3\x67\x90\0\n", 6);
  std::string f16le = Write("le.ini", le), f16be = Write("be.ini", be);
  EXPECT_EQ(Str(plain, "S", "v"), sjis);
  EXPECT_EQ(Str(bom, "S", "v"), sjis);
  EXPECT_EQ(Str(sj, "S", "v"), sjis);
  EXPECT_EQ(Str(f16le, "S", "v"), sjis);
  EXPECT_EQ(Str(f16be, "S", "v"), sjis);
}

TEST_F(IniTest, CutNeverSplitsADoubleByteCharacter) {
  std::string f = Write("cut.ini", "[S]\nv=a\x89\xf0\x90\xcd\n");
  EXPECT_EQ(Str(f, "S", "v", "", 3), "a");
  EXPECT_EQ(Str(f, "S", "v", "", 4), "a\x89\xf0");
  // Keys match case-blind only in their ASCII letters.
  std::string k = Write("k.ini", "[S]\n\x83\x41=1\n");
  EXPECT_EQ(IniGetInt(k.c_str(), "s", "\x83\x41", 0), 1);
  EXPECT_EQ(IniGetInt(k.c_str(), "s", "\x83\x61", 0), 0);
}

TEST_F(IniTest, ChangedFileIsReadAgain) {
  std::string f = Write("c.ini", "[S]\nv=1\n");
  EXPECT_EQ(IniGetInt(f.c_str(), "S", "v", 0), 1);
  WriteFile(f, "[S]\nv=22\n");  // another size, so seen even within one tick
  EXPECT_EQ(IniGetInt(f.c_str(), "S", "v", 0), 22);
  std::string g = Write("d.ini", "[S]\nv=3\n");
  EXPECT_EQ(IniGetInt(g.c_str(), "S", "v", 0), 3);
  EXPECT_EQ(IniGetInt(f.c_str(), "S", "v", 0), 22);
  velmora_test::RemoveTree(f);
  EXPECT_EQ(IniGetInt(f.c_str(), "S", "v", 0), 0);
}

TEST_F(IniTest, HostileContentIsHarmless) {
  std::string junk = "[S]\n" + std::string(100000, 'a') + "=1\nk" + std::string(70000, ' ') +
                     "=\xff\x81\n[\n=\n[T\n=v\n]\n[]\nk=\"\n\"\n";
  junk += std::string("\0\0=x\n\r\r\n\x82", 9);
  std::string f = Write("junk.ini", junk);
  EXPECT_EQ(Str(f, "S", "k"), "\xff\x81");
  EXPECT_EQ(Str(f, "T", ""), "v");
  EXPECT_EQ(Str(f, "", ""), "");
  EXPECT_EQ(Str(f, "", "k"), "DEF");
  EXPECT_EQ(IniGetInt(f.c_str(), "S", std::string(100000, 'a').c_str(), 0), 1);
  EXPECT_EQ(Str(f, nullptr, "k"), "DEF");
  EXPECT_EQ(IniGetInt(nullptr, "S", "k", 3), 3);
}

}  // namespace
