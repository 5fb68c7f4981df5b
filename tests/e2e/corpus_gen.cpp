// Writes a corpus of C and C++ sources for the tests that compare one
// analysis thread with many: functions that call each other across files,
// classes and their methods, K&R heads, nested braces deep enough to push
// the log indentation past its bounds, Japanese comments in Shift_JIS and
// UTF-8, and a few hostile shapes (an unclosed comment, unbalanced braces,
// a very long line, inline assembler). The same seed gives the same bytes.
//
//   velmora_corpus_gen DIR SEED COUNT
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

unsigned long long g_state = 1;

unsigned Next(unsigned bound) {
  g_state = g_state * 6364136223846793005ull + 1442695040888963407ull;
  return bound ? (unsigned)((g_state >> 33) % bound) : 0;
}

const char kSjisComment[] =
    "/* \x93\xfa\x96\x7b\x8c\xea\x82\xcc\x83\x52\x83\x81\x83\x93\x83\x67 */\n";
const char kUtf8Comment[] =
    "// \xe6\x97\xa5\xe6\x9c\xac\xe8\xaa\x9e\xe3\x81\xae\xe8\xaa\xac\xe6\x98\x8e\n";

std::string FuncName(int file, int k) {
  return "fn_" + std::to_string(file) + "_" + std::to_string(k);
}

// A statement calling one function of the corpus (or one no file defines).
std::string CallStatement(int count) {
  int to = (int)Next((unsigned)count);
  switch (Next(6)) {
    case 0:
      return "ext_" + std::to_string(Next(20)) + "(x, \"s\\n\\x41\");";
    case 1:
      return "x = " + FuncName(to, (int)Next(4)) + "(x, y) ? 1 : 2;";
    case 2:
      return "p->" + FuncName(to, (int)Next(4)) + "(x);";
    case 3:
      return "y += " + FuncName(to, (int)Next(4)) + "(" + FuncName(to, 0) + "(1, 2), y);";
    default:
      return FuncName(to, (int)Next(4)) + "(x, y);";
  }
}

// A body of nested blocks around calls; depth levels deep at most.
std::string Block(int count, int depth) {
  std::string out;
  int n = 1 + (int)Next(4);
  for (int i = 0; i < n; i++) {
    switch (depth > 0 ? Next(5) : 4) {
      case 0:
        out += "if (x > " + std::to_string(i) + ") {\n" + Block(count, depth - 1) + "} else {\n" +
               CallStatement(count) + "\n}\n";
        break;
      case 1:
        out += "while (y--) {\n" + Block(count, depth - 1) + "}\n";
        break;
      case 2:
        out += "for (i = 0; i < 10; i++) {\n" + Block(count, depth - 1) + "}\n";
        break;
      case 3:
        out += "switch (x) {\ncase 1:\n" + CallStatement(count) + "\nbreak;\ndefault:\n" +
               Block(count, depth - 1) + "}\n";
        break;
      default:
        out += CallStatement(count) + "\n";
        break;
    }
  }
  return out;
}

std::string File(int file, int count) {
  std::string out;
  bool cpp = file % 5 == 4;
  if (file % 29 == 7)
    out += "\xef\xbb\xbf" + std::string(kUtf8Comment);
  else
    out += kSjisComment;
  out += "#include <stdio.h>\n#if 0\nint hidden(void) { return 0; }\n#endif\n";
  out += "typedef struct { int a; char b[4]; } T" + std::to_string(file) + ";\n";
  out += "enum E" + std::to_string(file) + " { A, B = 2, C };\n";
  out += "static char *text = \"\x82\xa0\x82\xa2 \\\" // not a comment\";\n";
  int funcs = 1 + (int)Next(5);
  for (int k = 0; k < funcs; k++) {
    out += kSjisComment;
    out += "int " + FuncName(file, k) + "(int x, char *y)\n{\n  int i;\n";
    out += Block(count, 1 + (int)Next(4));
    out += "  return x;\n}\n\n";
  }
  if (cpp) {
    std::string c = "C" + std::to_string(file);
    out += "class " + c + " : public Base {\npublic:\n  int m(int a);\n  void n() { helper(1); " +
           FuncName(file, 0) + "(1, 0); }\n};\n";
    out += "int " + c + "::m(int a) {\n  return " + c + "::n(), " + FuncName(0, 0) + "(a, 0);\n}\n";
  }
  if (file % 7 == 3)
    out += "int kr_" + std::to_string(file) + "(a, b)\nint a;\nchar *b;\n{\n  return f(a);\n}\n";
  if (file % 11 == 5) {
    // Deeper than the log indentation goes (16): its bounds are hit both ways.
    out += "void deep_" + std::to_string(file) + "(void) {\n";
    for (int d = 0; d < 24; d++) out += "{ g(" + std::to_string(d) + ");\n";
    for (int d = 0; d < 24; d++) out += "}\n";
    out += "}\n";
  }
  if (file % 13 == 2)
    out += "void asm_" + std::to_string(file) +
           "(void) { __asm__ volatile (\"nop\"); __asm { mov eax, 1 } q(); }\n";
  if (file % 41 == 40) out += "void open_" + std::to_string(file) + "(void) {{{ r(1);\n";
  if (file % 53 == 17) out += "int longline = " + std::string(20000, '1') + ";\n";
  if (file % 37 == 36) out += "/* never closed\n int lost(void) { return 0; }\n";
  return out;
}

}  // namespace

int main(int argc, char **argv) {
  if (argc != 4) {
    fprintf(stderr, "usage: %s DIR SEED COUNT\n", argv[0]);
    return 2;
  }
  std::string dir = argv[1];
  g_state = strtoull(argv[2], nullptr, 10) | 1;
  int count = atoi(argv[3]);
  for (int i = 0; i < count; i++) {
    const char *ext = i % 5 == 4 ? ".cpp" : i % 9 == 8 ? ".h" : ".c";
    std::string path = dir + "/m" + std::to_string(i) + ext;
    FILE *f = fopen(path.c_str(), "wb");
    if (!f) {
      perror(path.c_str());
      return 1;
    }
    std::string text = File(i, count);
    fwrite(text.data(), 1, text.size(), f);
    fclose(f);
  }
  return 0;
}
