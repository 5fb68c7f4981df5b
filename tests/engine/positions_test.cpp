// Where the records say names are: a function's name (line, byte column,
// offset) and closing brace, a call's called name, for both front ends, on
// sources whose logical lines are not their physical ones (comments,
// continuations, joined literals, CR LF) and on Shift_JIS, UTF-8 and UTF-16
// text (columns count bytes of the text as read, in Shift_JIS).
#include <string>
#include <vector>

#include "engine/precise.h"
#include "engine_fixture.h"

namespace {

using velmora_test::EngineTest;

// "name@line:column" of every function (with "..end" and its closing
// brace's line), then "  name@line:column" of its calls, lines from 0.
std::string Places() {
  std::string out;
  ForEachFunction([&](const ST_FUNC *f) {
    out += std::string(f->name) + "@" + std::to_string(f->name_line) + ":" +
           std::to_string(f->name_column) + "..end" + std::to_string(f->end_line) + "\n";
    ForEachCall(f, [&](const ST_CALL *c) {
      out += std::string("  ") + c->name + "@" + std::to_string(c->name_line) + ":" +
             std::to_string(c->name_column) + "\n";
    });
  });
  return out;
}

// The byte offset of the n-th (0-based) occurrence of word in text.
int OffsetOf(const std::string &text, const std::string &word, int n = 0) {
  size_t at = text.find(word);
  while (n-- > 0 && at != std::string::npos) at = text.find(word, at + 1);
  return (int)at;
}

const char kShapes[] =
    "/* a comment block\n"
    "   above f */\n"
    "int f(int a)\r\n"
    "{\r\n"
    "  return g(a) + /* mid */ h(1,\n"
    "      2) + k(\"joined\"\n"
    "             \"text\") + \\\n"
    "  m();\n"
    "}\n"
    "\n"
    "int A::meth(void) { f(1); }\n"
    "static int last(void)\n"
    "{\n"
    "  int x = /* one */ /* two */ p(q(3));\n"
    "}\n";

struct PositionsTest : EngineTest {
  void Parse(int precise) {
    g_config.PARSER = precise;
    Run(kShapes, "shapes.cpp");
  }
};

// Where both parsers place the names of kShapes, but for the last line's two
// calls, whose order each parser gives its own way.
const char kShapePlaces[] =
    "f@2:4..end8\n"
    "  g@4:9\n"
    "  h@4:26\n"
    "  k@5:11\n"
    "  m@7:2\n"
    "meth@10:7..end10\n"
    "  f@10:20\n"
    "last@11:11..end14\n";

TEST_F(PositionsTest, StatementParserPlacesNamesThroughCommentsAndContinuations) {
  Parse(0);
  // Calls come in the order their lists close: q before p.
  EXPECT_EQ(Places(), std::string(kShapePlaces) +
                          "  q@13:32\n"
                          "  p@13:30\n");
  // The offset is the name's byte in the text; the described line stays
  // where the text starts (the comment block included).
  const ST_FUNC *f = nullptr;
  ForEachFunction([&](const ST_FUNC *g) {
    if (!f) f = g;
  });
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(f->name_offset, OffsetOf(kShapes, "f(int"));
  EXPECT_EQ(f->line, 0);
}

TEST_F(PositionsTest, PreciseFrontEndPlacesTheSameNames) {
  if (!precise_available()) GTEST_SKIP() << "built without the grammars";
  Parse(1);
  EXPECT_EQ(Places(), std::string(kShapePlaces) +
                          "  p@13:30\n"
                          "  q@13:32\n");
}

TEST_F(PositionsTest, ColumnsCountBytesOfTheTextAsRead) {
  // "あい" before the names: two Shift_JIS characters, four bytes, whether the
  // file is Shift_JIS, UTF-8 (six bytes on disk) or UTF-16.
  const std::string sjis = "/*\x82\xa0\x82\xa2*/int f(void) { g(); }\n";
  const std::string utf8 = "/*\xe3\x81\x82\xe3\x81\x84*/int f(void) { g(); }\n";
  std::string utf16 = "\xff\xfe";
  for (unsigned char c : std::string("/*AB*/int f(void) { g(); }\n")) {
    utf16 += (char)c;
    utf16 += '\0';
  }
  utf16[6] = '\x42', utf16[7] = '\x30';  // あ (U+3042)
  utf16[8] = '\x44', utf16[9] = '\x30';  // い (U+3044)
  for (int precise : {0, 1}) {
    if (precise && !precise_available()) continue;
    g_config.PARSER = precise;
    for (const std::string &text : {sjis, utf8}) {
      ANA_SourceRelease();
      Run(text, "enc.c");
      EXPECT_EQ(Places(), "f@0:12..end0\n  g@0:22\n") << precise << " " << text.size();
    }
    // The byte-order mark is converted with the text (to '?'): one byte more
    // on the first line of the text as read.
    ANA_SourceRelease();
    Run(utf16, "enc.c");
    EXPECT_EQ(Places(), "f@0:13..end0\n  g@0:23\n") << precise;
  }
}

TEST_F(PositionsTest, UnclosedBodyEndsAtTheLastLine) {
  Run("int f(void) {\n  g();\n  if (x) {\n", "open.c");
  EXPECT_EQ(Places(), "f@0:4..end2\n  g@1:2\n");
}

}  // namespace
