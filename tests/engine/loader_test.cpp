// Source loading: encoding detection by the first bytes and the first
// non-ASCII byte, conversion to Shift_JIS, the lengths returned, and the
// spare zero bytes after the text.
#include <cstring>

#include "engine_fixture.h"

using namespace velmora_test;

namespace {

class Loader : public EngineTest {
 protected:
  // Loads bytes written to a file; returns the converted text (without the
  // terminator the UTF-8 length counts) and the length in *len.
  std::string Load(const std::string &bytes, int *len) {
    std::string path = Source("in.c", bytes);
    char *text = nullptr;
    *len = load_source(path.c_str(), &text);
    std::string out;
    if (text) {
      out.assign(text, strlen(text));
      for (size_t i = 0; i < 16; i++) EXPECT_EQ(text[out.size() + i], 0) << "spare byte " << i;
      MemFree(text);
    }
    return out;
  }
};

}  // namespace

TEST_F(Loader, AsciiIsTakenAsShiftJisByteForByte) {
  LogSetLevel(1);
  int len = 0;
  EXPECT_EQ(Load("int f(void);\r\n", &len), "int f(void);\r\n");
  EXPECT_EQ(len, 14);
  EXPECT_NE(DebugLog().find("// encode: SJIS\r\n"), std::string::npos);
}

TEST_F(Loader, FirstNonAsciiByteDecidesTheEncoding) {
  int len = 0;
  // UTF-8 hiragana a becomes its Shift_JIS pair; the length counts the NUL.
  EXPECT_EQ(Load("x\xE3\x81\x82y", &len), "x\x82\xA0y");
  EXPECT_EQ(len, 5);
  // The same letter already in Shift_JIS stays as it is.
  EXPECT_EQ(Load("x\x82\xA0y", &len), "x\x82\xA0y");
  EXPECT_EQ(len, 4);
  // A Shift_JIS pair that looks like a UTF-8 sequence is converted as UTF-8,
  // and later bytes never revise that decision.
  EXPECT_EQ(Load("\xC3\xA9\x82\xA0", &len).substr(0, 1), "?");
}

TEST_F(Loader, MarkedAndUnmarkedUtf8DifferOnlyInTheMark) {
  int a = 0, b = 0;
  std::string plain = Load("// \xE3\x81\x82\nint f();\n", &a);
  std::string marked = Load("\xEF\xBB\xBF// \xE3\x81\x82\nint f();\n", &b);
  ASSERT_FALSE(marked.empty());
  EXPECT_EQ(marked.substr(marked.size() - plain.size()), plain);
}

TEST_F(Loader, TwoByteOnlyUtf8StillFitsWithItsTerminator) {
  // Greek letters take two bytes in UTF-8 and in Shift_JIS: the text plus its
  // NUL is one byte longer than the file, and must not be lost.
  std::string greek = "\xCE\xB1\xCE\xB2\xCE\xB3";
  int len = 0;
  EXPECT_EQ(Load(greek, &len), "\x83\xBF\x83\xC0\x83\xC1");
  EXPECT_EQ(len, 7);
}

TEST_F(Loader, Utf16InBothByteOrders) {
  int len = 0;
  // Two bytes FF FE: the mark alone, one code unit.
  std::string mark = Load("\xFF\xFE", &len);
  EXPECT_EQ(len, 1);
  EXPECT_EQ(mark.size(), 1u);
  std::string le = "\xFF\xFE" + std::string("i\0n\0t\0 \0B\x30", 10);
  std::string be = "\xFE\xFF" + std::string("\0i\0n\0t\0 \x30\x42", 10);
  std::string a = Load(le, &len);
  std::string b = Load(be, &len);
  EXPECT_EQ(a, b);
  EXPECT_EQ(a.substr(a.size() - 6), "int \x82\xA0");
}

TEST_F(Loader, FailuresReturnZeroAndLeaveNothing) {
  char *text = nullptr;
  EXPECT_EQ(load_source((dir_ + "/missing.c").c_str(), &text), 0);
  EXPECT_EQ(text, nullptr);
  // The intermediate UTF-16 buffer of a UTF-8 text is the third allocation.
  std::string path = Source("u8.c", "x\xE3\x81\x82");
  MemFailAt(3);
  EXPECT_EQ(load_source(path.c_str(), &text), 0);
  EXPECT_EQ(text, nullptr);
  EXPECT_NE(Trace().find("wchar2sjis:Memory Alloc Error.\r\n"), std::string::npos);
}
