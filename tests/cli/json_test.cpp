// velmora-cli --json: its lines are parsed back as JSON and checked field by
// field (list rows, call-tree and callers-tree nodes, escapes, and a file
// name that is not valid UTF-8), and the strings of cli/json.cpp directly.
#include <gtest/gtest.h>

#include <cstdio>
#include <initializer_list>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "xref/json_text.h"
#include "engine/precise.h"
#include "support/testenv.h"

namespace {

// A parsed flat JSON object: every value as its text (strings unescaped to
// UTF-8), with its kind.
struct Value {
  char kind;  // 's' string, 'n' number, 'z' null
  std::string text;
};
typedef std::map<std::string, Value> Object;

// Parses one line holding a flat object; false on anything else.
bool Parse(const std::string &line, Object *out) {
  size_t i = 0;
  auto ws = [&] {
    while (i < line.size() && line[i] == ' ') i++;
  };
  auto str = [&](std::string *s) -> bool {
    if (i >= line.size() || line[i] != '"') return false;
    for (i++; i < line.size() && line[i] != '"'; i++) {
      unsigned char c = (unsigned char)line[i];
      if (c < 0x20) return false;  // control characters must be escaped
      if (c != '\\') {
        *s += (char)c;
        continue;
      }
      if (++i >= line.size()) return false;
      switch (line[i]) {
        case '"':
          *s += '"';
          break;
        case '\\':
          *s += '\\';
          break;
        case '/':
          *s += '/';
          break;
        case 'n':
          *s += '\n';
          break;
        case 'r':
          *s += '\r';
          break;
        case 't':
          *s += '\t';
          break;
        case 'u': {
          if (i + 4 >= line.size()) return false;
          unsigned v = (unsigned)std::stoul(line.substr(i + 1, 4), nullptr, 16);
          if (v >= 0x80) return false;  // the program writes others as UTF-8
          *s += (char)v;
          i += 4;
          break;
        }
        default:
          return false;
      }
    }
    if (i >= line.size()) return false;
    i++;
    return true;
  };
  ws();
  if (i >= line.size() || line[i++] != '{') return false;
  for (;;) {
    ws();
    std::string key;
    if (!str(&key)) return false;
    ws();
    if (i >= line.size() || line[i++] != ':') return false;
    ws();
    Value v;
    if (i < line.size() && line[i] == '"') {
      v.kind = 's';
      if (!str(&v.text)) return false;
    } else if (line.compare(i, 4, "null") == 0) {
      v.kind = 'z';
      i += 4;
    } else {
      v.kind = 'n';
      size_t start = i;
      if (i < line.size() && line[i] == '-') i++;
      while (i < line.size() && isdigit((unsigned char)line[i])) i++;
      if (i == start) return false;
      v.text = line.substr(start, i - start);
    }
    if (out->count(key)) return false;  // keys are unique
    (*out)[key] = v;
    ws();
    if (i < line.size() && line[i] == ',') {
      i++;
      continue;
    }
    if (i < line.size() && line[i] == '}') return ++i == line.size();
    return false;
  }
}

struct JsonRun : ::testing::Test {
  std::string dir;
  void SetUp() override { dir = velmora_test::MakeTempDir("velmora-json"); }
  void TearDown() override { velmora_test::RemoveTree(dir); }

  // Runs velmora-cli with args on the folder src below dir; every stdout
  // line parsed (a line that does not parse fails the test).
  std::vector<Object> Run(const std::string &args, int *status) {
    std::string cmd = "cd '" + dir + "' && HOME='" + dir + "' XDG_DESKTOP_DIR='" + dir +
                      "/Desktop' XDG_CONFIG_HOME='" + dir + "/.config' TMPDIR='" + dir +
                      "' VELMORA_TRACE='" + dir +
                      "/trace.txt' '" VELMORA_BINARY_DIR "/velmora-cli' -q --ini '" + dir +
                      "/none.ini' --json " + args + " src 2>'" + dir + "/stderr'";
    FILE *p = popen(cmd.c_str(), "r");
    std::vector<Object> out;
    if (!p) return out;
    std::string all;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) all.append(buf, n);
    int rc = pclose(p);
    *status = WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
    size_t start = 0;
    while (start < all.size()) {
      size_t end = all.find('\n', start);
      EXPECT_NE(end, std::string::npos) << "the last line has no line end";
      if (end == std::string::npos) end = all.size();
      Object o;
      std::string line = all.substr(start, end - start);
      EXPECT_TRUE(Parse(line, &o)) << line;
      out.push_back(o);
      start = end + 1;
    }
    EXPECT_EQ(velmora_test::ReadFile(dir + "/trace.txt").find("Chack :OK") != std::string::npos,
              true);
    return out;
  }
  // The same run, its standard output as it is.
  std::string RunText(const std::string &args) {
    std::string cmd = "cd '" + dir + "' && HOME='" + dir + "' XDG_DESKTOP_DIR='" + dir +
                      "/Desktop' XDG_CONFIG_HOME='" + dir + "/.config' TMPDIR='" + dir +
                      "' '" VELMORA_BINARY_DIR "/velmora-cli' -q --ini '" + dir + "/none.ini' " +
                      args + " src 2>/dev/null";
    FILE *p = popen(cmd.c_str(), "r");
    std::string all;
    if (!p) return all;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) all.append(buf, n);
    pclose(p);
    return all;
  }
  void Source(const std::string &name, const std::string &text) {
    mkdir((dir + "/src").c_str(), 0700);
    velmora_test::WriteFile(dir + "/src/" + name, text);
  }
};
// Each named field of a row holds its text (a missing field fails).
void ExpectTexts(const Object &o,
                 std::initializer_list<std::pair<const char *, const char *>> want) {
  for (const auto &w : want) {
    auto it = o.find(w.first);
    ASSERT_NE(it, o.end()) << w.first;
    EXPECT_EQ(it->second.text, w.second) << w.first;
  }
}

void ExpectNode(const Object &o, int tree, int depth, const char *scope, const char *name, int argc,
                const char *source, int sid, int fid, const char *mark) {
  SCOPED_TRACE(std::string("node ") + name);
  ASSERT_EQ(o.count("tree"), 1u);
  EXPECT_EQ(o.at("tree").text, std::to_string(tree));
  EXPECT_EQ(o.at("depth").text, std::to_string(depth));
  EXPECT_EQ(o.at("scope").text, scope);
  EXPECT_EQ(o.at("name").text, name);
  EXPECT_EQ(o.at("argc").kind, 'n');
  EXPECT_EQ(o.at("argc").text, std::to_string(argc));
  EXPECT_EQ(o.at("source").text, source);
  EXPECT_EQ(o.at("sid").text, std::to_string(sid));
  EXPECT_EQ(o.at("fid").text, std::to_string(fid));
  if (mark)
    EXPECT_EQ(o.count("mark") ? o.at("mark").text : "(none)", mark);
  else
    EXPECT_EQ(o.count("mark"), 0u);
}

TEST_F(JsonRun, ListsAndTreesParseBackFieldByField) {
  Source("a.c",
         "int twice(int v) { return v * 2; }\n"
         "int loop(int n) { return n ? loop(n - 1) : twice(n); }\n"
         "int main(void) { loop(3); twice(1); twice(2); printf(\"\\\"q\\\"\\n\"); return 0; }\n");
  Source("b.cpp", "int K::get(void) { return twice(4); }\n");
  int status = -1;
  std::vector<Object> lines =
      Run("--tree main --callers twice --callers printf --list functions --list calls", &status);
  EXPECT_EQ(status, 0);
  ASSERT_GE(lines.size(), 16u);
  size_t k = 0;
  // The call tree of main.
  ExpectNode(lines[k++], 1, 0, "", "main", 0, "a.c", 1, 3, nullptr);
  ExpectNode(lines[k++], 1, 1, "", "loop", 1, "a.c", 1, 2, nullptr);
  ExpectNode(lines[k++], 1, 2, "", "loop", 1, "a.c", 1, 2, "recursive");
  ExpectNode(lines[k++], 1, 2, "", "twice", 1, "a.c", 1, 1, nullptr);
  ExpectNode(lines[k++], 1, 1, "", "twice", 1, "a.c", 1, 1, nullptr);  // shown once more
  ExpectNode(lines[k++], 1, 1, "", "printf", 1, "", 0, 0, "undefined");
  // The callers of twice: loop, main (two calls), K::get.
  ExpectNode(lines[k++], 2, 0, "", "twice", 1, "a.c", 1, 1, nullptr);
  ExpectNode(lines[k++], 2, 1, "", "loop", 1, "a.c", 1, 2, nullptr);
  ExpectNode(lines[k++], 2, 2, "", "loop", 1, "a.c", 1, 2, "recursive");
  ExpectNode(lines[k++], 2, 2, "", "main", 0, "a.c", 1, 3, nullptr);
  ExpectNode(lines[k], 2, 1, "", "main", 0, "a.c", 1, 3, nullptr);  // nobody calls it: no mark
  EXPECT_EQ(lines[k++].count("calls") ? lines[k - 1].at("calls").text : "", "2");
  ExpectNode(lines[k++], 2, 1, "K::", "get", 0, "b.cpp", 2, 1, nullptr);
  // The callers of printf, a name no source defines.
  ExpectNode(lines[k++], 3, 0, "", "printf", 1, "", 0, 0, "undefined");
  ExpectNode(lines[k++], 3, 1, "", "main", 0, "a.c", 1, 3, nullptr);
  // The Function List: numbers as numbers, texts as strings.
  const Object &f = lines[k++];
  EXPECT_EQ(f.size(), 10u);
  EXPECT_EQ(f.at("SID").kind, 'n');
  ExpectTexts(f, {{"SID", "1"},
                  {"Source", "a.c"},
                  {"FID", "1"},
                  {"Function", "twice"},
                  {"LineNo", "0"},
                  {"Argc", "1"},
                  {"Called", "1"},
                  {"name_line", "1"},  // lines from 1
                  {"name_column", "4"},
                  {"end_line", "1"}});
  k += 3;  // loop, main, K::get
  ASSERT_LT(k, lines.size());
  EXPECT_EQ(lines[k - 1].at("Function").text, "K::get");
  EXPECT_EQ(lines[k - 1].at("Source").text, "b.cpp");
  // The Call List: the first row is linked, the printf row is not.
  const Object &c = lines[k];
  EXPECT_EQ(c.size(), 13u);
  ExpectTexts(c, {{"Function", "loop"},
                  {"CallFunction", "loop"},
                  {"-", "===>"},
                  {"toSID", "1"},
                  {"toSource", "a.c"},
                  {"toFID", "2"},
                  {"toFunction", "loop"},
                  {"line", "2"},
                  {"column", "29"}});
  bool unlinked = false;
  for (size_t j = k; j < lines.size(); j++) {
    const Object &r = lines[j];
    if (r.at("CallFunction").text != "printf") continue;
    unlinked = true;
    EXPECT_EQ(r.at("-").text, "X");
    EXPECT_EQ(r.at("toSID").kind, 'z');
    EXPECT_EQ(r.at("toFID").kind, 'z');
    EXPECT_EQ(r.at("toSource").text, "");
    EXPECT_EQ(r.at("toFunction").text, "");
  }
  EXPECT_TRUE(unlinked);
}

TEST_F(JsonRun, PreciseOptionChoosesTheFrontEnd) {
  if (!precise_available()) GTEST_SKIP() << "built without the grammars";
  Source("b.cpp", "namespace n {\nstruct A {\n  int f() const noexcept { return g(); }\n};\n}\n");
  int status = -1;
  std::vector<Object> precise = Run("--precise --list functions", &status);
  EXPECT_EQ(status, 0);
  ASSERT_EQ(precise.size(), 1u);
  EXPECT_EQ(precise[0].at("Function").text, "n::A::f");
  EXPECT_EQ(precise[0].at("LineNo").text, "0");
  // Without the option the statement parser reads it, and has no namespaces.
  for (const Object &o : Run("--list functions", &status))
    EXPECT_NE(o.at("Function").text, "n::A::f");
}

TEST_F(JsonRun, AmbiguousCallsListEveryCandidate) {
  if (!precise_available()) GTEST_SKIP() << "built without the grammars";
  Source("o.cpp",
         "void p(int a) {}\nvoid p(const char* a) {}\nvoid q(long x) { p(x * 2); p(1); }\n");
  std::string json = RunText("--precise --json --list calls");
  EXPECT_NE(json.find("\"-\":\"===> (1 of 2)\",\"toSID\":1,\"toSource\":\"o.cpp\",\"toFID\":2,"
                      "\"toFunction\":\"p\",\"line\":3,\"column\":17,"
                      "\"candidates\":[{\"toSID\":1,\"toSource\":\"o.cpp\","
                      "\"toFID\":2,\"toFunction\":\"p\"},{\"toSID\":1,\"toSource\":\"o.cpp\","
                      "\"toFID\":1,\"toFunction\":\"p\"}]}\n"),
            std::string::npos)
      << json;
  // p(1) fits one: no candidates.
  EXPECT_EQ(json.find("candidates", json.find("\n") + 1), std::string::npos) << json;
  // The list as text shows the mark, and no cell past the shown ones.
  std::string tsv = RunText("--precise --list calls");
  EXPECT_NE(tsv.find("\t===> (1 of 2)\t1\to.cpp\t2\tp\n"), std::string::npos) << tsv;
  // The statement parser never marks a call.
  EXPECT_EQ(RunText("--json --list calls").find("candidates"), std::string::npos);
  EXPECT_EQ(RunText("--list calls").find("of 2"), std::string::npos);
}

TEST_F(JsonRun, FileNamesThatAreNotUtf8ShowReplacement) {
  // A file name with a byte that is not UTF-8.
  Source("bad\xFFname.c", "int f(void) { return 0; }\n");
  int status = -1;
  std::vector<Object> lines = Run("--list functions", &status);
  EXPECT_EQ(status, 0);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].at("Source").text, "bad\xEF\xBF\xBDname.c");
  EXPECT_EQ(lines[0].at("Function").text, "f");
}

TEST(Json, StringsAreEscapedAndValid) {
  EXPECT_EQ(JsonNative("a\"b\\c\n\t\x01"), "\"a\\\"b\\\\c\\n\\t\\u0001\"");
  EXPECT_EQ(JsonNative("\xC3\xA9"), "\"\xC3\xA9\"");
  EXPECT_EQ(JsonNative("\xC0\xAF"), "\"\xEF\xBF\xBD\xEF\xBF\xBD\"");                  // overlong
  EXPECT_EQ(JsonNative("\xED\xA0\x80"), "\"\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\"");  // surrogate
  EXPECT_EQ(JsonNative("\xE3\x81"), "\"\xEF\xBF\xBD\xEF\xBF\xBD\"");                  // cut short
  EXPECT_EQ(JsonSjis("\x82\xA0"), "\"\xE3\x81\x82\"");  // Shift_JIS to UTF-8
  // No byte a terminal acts on leaves raw: ESC, DEL and the C1 controls.
  EXPECT_EQ(JsonNative("\x1b]0;T\x07\x7f\xC2\x9b\xC2\xA0"),
            "\"\\u001b]0;T\\u0007\\u007f\\u009b\xC2\xA0\"");
}

}  // namespace
