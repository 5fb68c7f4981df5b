// Hostile input: random mixes of C fragments, stray bytes and unbalanced
// brackets must end every source, leave the nesting counters undone and leak
// nothing. Only crashes, hangs and leaks are looked for here.
#include <random>

#include "engine_fixture.h"

using namespace velmora_test;

TEST_F(EngineTest, RandomSourcesAlwaysEnd) {
  static const char *const kPieces[] = {
      "int ",    "f",       "(",          ")",        "{",
      "}",       "[",       "]",          ";",        ",",
      "class ",  "struct ", "enum ",      "typedef ", "extern \"C\" ",
      "__asm ",  "asm ",    "#define X ", "\n",       "\\\n",
      "/*",      "*/",      "//",         "\"",       "'",
      "?",       ":",       "::",         "A::",      "*",
      "&",       "!",       "~",          "++",       "--",
      "sizeof ", "switch ", "case ",      "for ",     "if ",
      "0x",      "1.2",     "\x82",       "\xA0",     "\x1B",
      "->",      ".",       "=",          "<<=",      " ",
      "\t",      "\r",      "default:",   "void "};
  std::mt19937 rng(12345);
  std::vector<std::string> paths;
  for (int n = 0; n < 60; n++) {
    std::string text;
    size_t count = 50 + rng() % 800;
    for (size_t i = 0; i < count; i++) text += kPieces[rng() % (sizeof kPieces / sizeof *kPieces)];
    paths.push_back(Source("r" + std::to_string(n) + ".c", text));
  }
  std::vector<int> r = RunPaths(paths);
  ASSERT_FALSE(r.empty());
  EXPECT_EQ(r.back(), -2);
  EXPECT_EQ(exec_.ctx->brace_nest, 0);
  EXPECT_EQ(exec_.ctx->paren_nest, 0);
  EXPECT_EQ(exec_.ctx->bracket_nest, 0);
  EXPECT_EQ(NestMove(0), 0);
}
