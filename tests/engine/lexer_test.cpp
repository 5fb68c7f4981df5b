// The line reader and the tokenizer on texts given in memory: logical lines
// and their physical line counts, then token kinds and texts, escapes and
// numbers.
#include <cstring>

#include "engine_fixture.h"

using namespace velmora_test;

namespace {

// A source whose text is given directly, as the loader would leave it.
struct TextSource {
  ST_SOURCE *s;
  ST_PARSE *ctx;
  explicit TextSource(const std::string &text, int mode = MODE_TOP) {
    s = (ST_SOURCE *)MemAlloc(sizeof(ST_SOURCE));
    s->text = (char *)MemAlloc(text.size() + 16);
    memcpy(s->text, text.data(), text.size());
    ctx = (ST_PARSE *)MemAlloc(sizeof(ST_PARSE));
    begin_source(ctx, s);
    ctx->mode = mode;
  }
  ~TextSource() {
    end_source(ctx);
    MemFree(ctx);
    MemFree(s->text);
    MemFree(s);
  }
  // Every logical line, each followed by its physical line count.
  std::string Lines() {
    std::string out;
    int before = ctx->line_no;
    while (get_line(ctx)) {
      out += std::string(ctx->line_buf) + "|" + std::to_string(ctx->line_no - before) + "\n";
      before = ctx->line_no;
    }
    return out;
  }
  // Every token as kind:text, up to the end of the source.
  std::string Tokens() {
    std::string out;
    for (int guard = 0; guard < 1000; guard++) {
      int k = gt_token(ctx);
      if (k == TK_EOF) break;
      out += std::to_string(k) + ":" + ctx->token.text + " ";
    }
    return out;
  }
};

class Lexer : public EngineTest {};

// Each case: a text and its logical lines, each with its physical line count.
void ExpectLines(const std::vector<std::pair<std::string, std::string>> &cases) {
  for (const auto &c : cases) EXPECT_EQ(TextSource(c.first).Lines(), c.second) << c.first;
}

}  // namespace

TEST_F(Lexer, LogicalLinesDropCommentsAndJoinContinuations) {
  ExpectLines({{"int a; // note\r\nb", "int a; |1\nb|1\n"},
               {"a \\\r\nb\nc", "a b|2\nc|1\n"},
               {"a \\\nb\n", "a b|2\n"},
               {"a/* x\n y\n z */b\nc", "ab|3\nc|1\n"},
               {"// x /* y\nz\n", "|1\nz|1\n"},
               {"\n\nx", "|1\n|1\nx|1\n"},
               {"a\rb\n", "ab|1\n"}});
  // The end of the text inside an open comment ends the last line.
  TextSource open("a /* never closed\nmore");
  EXPECT_EQ(open.Lines(), "a |2\n");
  EXPECT_NE(Trace().find("get_line : Source Terminated.[MAX_LINE:2]\r\n"), std::string::npos);
}

TEST_F(Lexer, LiteralsKeepTheirBytesAndMerge) {
  ExpectLines({{"s = \"\\\"\";\n", "s = \"\\\"\";|1\n"},
               {"c = '\\'';\nx", "c = '\\'';|1\nx|1\n"},
               {"c = 'a\nx", "c = 'a|1\nx|1\n"},
               {"f(/*c*/\"//x\");\n", "f(\"//x\");|1\n"},
               {"s = \"abc\"\n  \"def\";\n", "s = \"abcdef\";|2\n"},
               {"s = \"a\" /**/ \"b\";\n", "s = \"a\"  \"b\";|1\n"},
               // A Shift_JIS character ending in 0x5C before LF is no continuation.
               {"x\x95\\\ny", "x\x95\\|1\ny|1\n"}});
}

TEST_F(Lexer, LongLinesAreTracedCut) {
  LogSetLevel(1);
  std::string shorter(1020, 'a'), longer(1021, 'b');
  TextSource(shorter + "\n" + longer + "\n").Lines();
  std::string log = DebugLog();
  EXPECT_NE(log.find("[LINE] " + shorter + "\r\n"), std::string::npos);
  EXPECT_NE(log.find("[LINE] " + longer.substr(0, 1020) + "....\r\n"), std::string::npos);
}

TEST_F(Lexer, TokenKindsAndTexts) {
  EXPECT_EQ(TextSource("int main(void)").Tokens(), "1004:int 1000:main 40:( 1026:void 41:) ");
  EXPECT_EQ(TextSource("a->b a - > b").Tokens(),
            "1000:a 1009:-> 1000:b 1000:a 45:- 1300:> 1000:b ");
  EXPECT_EQ(TextSource("x <<= 2 < y >>= z ~= != ! ++ -- && || &= |= ...").Tokens(),
            "1000:x 1200:<<= 1001:2 1300:< 1000:y 1200:>>= 1000:z 1200:~= 1300:!= 33:! "
            "1101:++ 1102:-- 1308:&& 1307:|| 1200:&= 1200:|= 1008:... ");
  EXPECT_EQ(TextSource("3.14 1.2.3 0x1FUL 0x").Tokens(),
            "1001:3.14 1001:1.2 0:. 1001:3 1002:0x1F 1000:UL 1002:0x ");
  EXPECT_EQ(TextSource("default: default :").Tokens(), "1020:default: 1011:default  ");
  EXPECT_EQ(TextSource("A::f c ? a : b c ? 1 : 2").Tokens(),
            "1012:A:: 1000:f 1000:c 63:? 1011:a  1000:b 1000:c 63:? 1001:1 58:: 1001:2 ");
  EXPECT_EQ(TextSource("#include #pragma # include").Tokens(),
            "2005:#include 0:#pragma 35:# 1000:include ");
  EXPECT_EQ(TextSource("j_ union \x82\xA0").Tokens(), "1016:j_ 1000:union 130:\x82 160:\xA0 ");
  EXPECT_EQ(TextSource("a\x01"
                       "b")
                .Tokens(),
            "1000:a 1: 1000:b ");
}

TEST_F(Lexer, ExactNamesKeepNamesThatHashLikeKeywords) {
  const char *text = "dir arr fs at hit ios j_ asm if do int #include #inclufk";
  EXPECT_EQ(TextSource(text).Tokens(),
            "1030:dir 1030:arr 1016:fs 1023:at 1004:hit 1004:ios 1016:j_ 1030:asm 1016:if "
            "1023:do 1004:int 2005:#include 2005:#inclufk ");
  g_config.EXACT_NAMES = 1;
  EXPECT_EQ(TextSource(text).Tokens(),
            "1000:dir 1000:arr 1000:fs 1000:at 1000:hit 1000:ios 1000:j_ 1030:asm 1016:if "
            "1023:do 1004:int 2005:#include 0:#inclufk ");
  g_config.EXACT_NAMES = 0;
}

TEST_F(Lexer, ClassIsAKeywordOnlyAtTopLevel) {
  EXPECT_EQ(TextSource("class", MODE_TOP).Tokens(), "2010:class ");
  EXPECT_EQ(TextSource("class", MODE_BLOCK).Tokens(), "1000:class ");
}

TEST_F(Lexer, EndOfSourceRepeatsAndClearsPrevTokenAcrossLines) {
  TextSource t("a b\n  \nc");
  gt_token(t.ctx);
  gt_token(t.ctx);
  EXPECT_STREQ(t.ctx->prev_token.text, "a");
  gt_token(t.ctx);  // first token of a later line: the cleared record before it
  EXPECT_STREQ(t.ctx->token.text, "c");
  EXPECT_EQ(t.ctx->prev_token.kind, 0);
  EXPECT_STREQ(t.ctx->prev_token.text, "");
  EXPECT_EQ(gt_token(t.ctx), TK_EOF);
  EXPECT_STREQ(t.ctx->token.text, "--");
  EXPECT_EQ(t.ctx->token.pos, nullptr);
  EXPECT_EQ(gt_token(t.ctx), TK_EOF);
  EXPECT_EQ(t.ctx->tok_pos, nullptr);
}

TEST_F(Lexer, LiteralsAndEscapes) {
  TextSource t("f(\"a\\x41n\\q\\65\", 'x')");
  LogSetLevel(2);
  EXPECT_EQ(t.Tokens(), "1000:f 40:( 1010:aAn\\qA 44:, 1010:x 41:) ");
  EXPECT_NE(DebugLog().find("[1010] \"a\\x41n\\q\\65\"\r\n"), std::string::npos);

  char buf[32];
  memcpy(buf, "\\300\\n\\x\\0z", 12);
  EXPECT_EQ(replace_ESQ(buf, 11), 6);
  EXPECT_EQ(std::string(buf, 6), std::string("\xFF\n\\x\0z", 6));
  EXPECT_NE(Trace().find("replace_ESQ : Over Range Character Code.\r\n"), std::string::npos);

  std::string word(300, 'w');
  TextSource lng(word + " \"" + std::string(300, 'q') + "\"");
  gt_token(lng.ctx);
  EXPECT_EQ(lng.ctx->token.len, 300);
  EXPECT_EQ(strlen(lng.ctx->token.text), 255u);
  gt_token(lng.ctx);
  EXPECT_EQ(lng.ctx->token.kind, TK_LITERAL);
  EXPECT_EQ(lng.ctx->token.len, 255);
}
