// The precise front end (PARSER=1) as the worker runs it: the records of a
// fixture of C++ forms against a list checked by hand, definitions starting
// where the statement parser starts them, the summary lines of the debug
// log, Shift_JIS text, unreadable constructs, deep nesting, a stop, and the
// analysis threads. Every test skips when the build has no grammars.
#include <cstring>

#include "engine/precise.h"
#include "engine_fixture.h"
#include "foundation/settings.h"

using namespace velmora_test;

namespace {

const char *const kForm[] = {"plain", "qualified", "member", "this"};

class Precise : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    if (!precise_available()) GTEST_SKIP() << "built without the grammars";
    g_config.PARSER = 1;
  }

  static std::string Fixture(const char *name) {
    return std::string(VELMORA_TEST_DATA) + "/precise-cpp/src/" + name;
  }

  // Every record with what only the precise parser fills: parameters with
  // their minimum ("+" when variadic), "member", "const", each call's form
  // and the class its object is declared with (or the object's name, or
  // the call whose result it is); the class a function returns; classes
  // with their bases and their members of a class type.
  static std::string Records() {
    std::string out;
    ForEachSource([&](const ST_SOURCE *s) {
      out += std::string("[") + s->name + "]\n";
      ForEachFunction(s, [&](const ST_FUNC *f) {
        out += std::string(f->scope) + f->name + " " + std::to_string(f->argc) + "/" +
               std::to_string(f->argc_min) + (f->variadic ? "+" : "") + " L" +
               std::to_string(f->line) + (f->member ? " member" : "") +
               (f->const_this ? " const" : "") +
               (f->returns ? std::string(" returns ") + f->returns : std::string()) + "\n";
        ForEachCall(f, [&](const ST_CALL *c) {
          const ST_CALL_FORM none{};  // CALL_PLAIN, nothing known
          const ST_CALL_FORM &how = c->how ? *c->how : none;
          out += std::string("  ") + kForm[how.form] + " " + c->scope + c->name + " " +
                 std::to_string(c->argc) + " L" + std::to_string(c->line) +
                 (how.receiver ? std::string(" on ") + how.receiver : std::string()) +
                 (how.object ? std::string(" via ") + how.object : std::string()) +
                 (how.through ? std::string(" after ") + how.through->name : std::string()) + "\n";
        });
      });
      void *data = nullptr;
      for (CHBUF *e = CB_Next(&s->classes, &data); e; e = CB_Next(e, &data)) {
        const ST_CLASS *k = (const ST_CLASS *)data;
        out += std::string("class ") + k->scope;
        for (int i = 0; i < k->base_count; i++) out += std::string(" : ") + k->bases[i];
        for (int i = 0; i < k->field_count; i++)
          out += std::string(" has ") + k->fields[2 * i] + " " + k->fields[2 * i + 1];
        out += "\n";
      }
    });
    return out;
  }

  // Where each function's text starts and ends, and its line.
  static std::string Places() {
    std::string out;
    ForEachFunction([&](const ST_FUNC *f) {
      out += std::string(f->name) + " L" + std::to_string(f->line) + " @" +
             std::to_string(f->def_offset) + "+" + std::to_string(f->def_len) + "\n";
    });
    return out;
  }

  // Every call with its caller, argument count and line.
  static std::string Calls() {
    std::string out;
    ForEachFunction([&](const ST_FUNC *f) {
      ForEachCall(f, [&](const ST_CALL *c) {
        out += std::string(f->name) + " -> " + c->name + " " + std::to_string(c->argc) + " L" +
               std::to_string(c->line) + "\n";
      });
    });
    return out;
  }
};

}  // namespace

TEST_F(Precise, FixtureRecordsAsCheckedByHand) {
  RunPaths(
      {Fixture("shapes.cpp"), Fixture("sjis.cpp"), Fixture("branches.c"), Fixture("macros.cpp")});
  std::string expected =
      ReadFile(std::string(VELMORA_TEST_DATA) + "/precise-cpp/expected/records.txt");
  ASSERT_FALSE(expected.empty());
  EXPECT_EQ(Records(), expected);
}

TEST_F(Precise, DefinitionsStartWhereTheStatementParserStartsThem) {
  // Plain C that both front ends read alike: comments above a head, a
  // directive, a declaration and a body on one line, a body closed on the
  // line of the next construct.
  const char *text =
      "#include <stdio.h>\n\n// one\n// two\nint f(void) { g(); }\n/* block */\n"
      "int h(int a)\n{\n  return k(a,\n           1);\n}\n\nstatic int n;\n"
      "  int m(void) { return 0; } int z;\n#define X 1\nint last(void)\n{\n}\n";
  std::string path = Source("same.c", text);
  g_config.PARSER = 0;
  RunPaths({path});
  std::string loose = Places() + Calls();
  ANA_SourceRelease();
  g_config.PARSER = 1;
  RunPaths({path});
  EXPECT_EQ(Places() + Calls(), loose);
}

TEST_F(Precise, SummaryLinesOfTheDebugLog) {
  LogSetLevel(1);
  Run("namespace n {\nint f(int a)\n{\n  if (a) { g(h(a)); }\n  return 0;\n}\n}\n", "log.cpp");
  std::string log = DebugLog();
  EXPECT_NE(log.find("\t//##########  enter FUNCTION  ##########\r\n"
                     "\t// log.cpp LINE:2 ----> n::f(argc:1/items:1)\r\n"),
            std::string::npos)
      << log;
  // Calls in the order their names are written, indented by the brackets
  // around them.
  size_t g = log.find("\t\t\t\t// n::f(argc:1) LINE:2 ----> g(argc:1)\r\n");
  size_t h = log.find("\t\t\t\t\t// n::f(argc:1) LINE:2 ----> h(argc:1)\r\n");
  EXPECT_NE(g, std::string::npos) << log;
  EXPECT_NE(h, std::string::npos) << log;
  EXPECT_LT(g, h);
  EXPECT_NE(log.find("\t//@@@@@@@@@@ exit FUNCTION (n::f) @@@@@@@@@@\r\n"), std::string::npos);
  EXPECT_EQ(log.find("[LINE]"), std::string::npos) << "no token trace at level 1";
}

TEST_F(Precise, UnreadableConstructsCostOnlyThemselves) {
  Run("int a(void) { x(); }\nint b( { y(); }\nint c(int q) { z(q); }\n"
      "int d(void) { w(1,); }\nint e(void) { v(); }\n",
      "bad.cpp");
  EXPECT_EQ(Dump(),
            "a 0/0 L0\n  x 0 L1\nc 1/1 L2\n  z 1 L1\nd 0/0 L3\n  w 1 L1\n"
            "e 0/0 L4\n  v 0 L1\n");
  // The parser reads everything after "b(" as one region.
  EXPECT_NE(Trace().find("precise : 1 unreadable region(s) in \"bad.cpp\""), std::string::npos)
      << Trace();
}

TEST_F(Precise, LoneMacrosBlankedOnlyAmongDeclarations) {
  // Braces and quotes in literals and comments must not mislead the scan
  // about where bodies are: invocations inside a body stay calls.
  Run("namespace n {\nconst char *s = \"{\";  // }\nSETUP(a, );\n"
      "int f() {\n  CHECK(a, \"}\");\n  /* { */ LOG(1'000, '\"');\n"
      "  return R\"x(})x\"[0];\n}\nTRAILER(b)\nint g() { return 0; }\n}\n",
      "lone.cpp");
  EXPECT_EQ(Dump(), "n::f 0/0 L3\n  CHECK 2 L2\n  LOG 2 L3\nn::g 0/0 L8\n");
  // An unfinished literal or comment at the end neither hangs nor reads past it.
  Run("namespace n {\nA(1);\nint h() { x(); }\n/* open", "open1.cpp");
  Run("namespace n {\nB(\"open", "open2.cpp");
  Run("struct S {\n C(R\"z(", "open3.cpp");
}

TEST_F(Precise, DeepNestingEnds) {
  std::string braces = "int f() {", parens = "int f() { x = ";
  for (int i = 0; i < 20000; i++) braces += "{", parens += "(";
  braces += "g();", parens += "g()";
  for (int i = 0; i < 20000; i++) braces += "}", parens += ")";
  const char *after = "}\nint h() { k(); }\n";
  RunPaths({Source("braces.cpp", braces + after), Source("parens.cpp", parens + ";" + after)});
  EXPECT_EQ(Dump(),
            "f 0/0 L0\n  g 0 L1\nh 0/0 L1\n  k 0 L1\nf 0/0 L0\n  g 0 L1\nh 0/0 L1\n  k 0 L1\n");
}

TEST_F(Precise, StoppedSourceKeepsNoRecords) {
  std::string text;
  for (int i = 0; i < 40000; i++)
    text += "int f" + std::to_string(i) + "(int a) { return g(a, " + std::to_string(i) + "); }\n";
  ASSERT_EQ(ANA_SourceCreate(Source("big.cpp", text).c_str()), 1);
  void *data = nullptr;
  CB_Next(&ANA.sources, &data);
  ST_SOURCE *s = (ST_SOURCE *)data;
  s->size = load_source(s->path, &s->text);
  ASSERT_GT(s->size, 0);
  ST_PARSE ctx = {};
  begin_source(&ctx, s);
  ASSERT_EQ(ctx.precise, 1);
  EXPECT_EQ(precise_parse_source(&ctx, [] { return 1; }), 100);
  EXPECT_EQ(s->status, -2);
  EXPECT_EQ(s->funcs.count, 0);
  EXPECT_EQ(s->records.held, 0u);
  end_source(&ctx);
  MemFree(s->text);
  s->text = nullptr;
}

TEST_F(Precise, ThreadsReportWhatOneThreadReports) {
  std::vector<std::string> paths = {Fixture("shapes.cpp"), Fixture("sjis.cpp"),
                                    Fixture("branches.c")};
  for (int i = 0; i < 6; i++)
    paths.push_back(Source(
        "s" + std::to_string(i) + ".cpp",
        "namespace q {\nint f(int a) { return g" + std::to_string(i) + "(a) + p->m(); }\n}\n"));
  LogSetLevel(1);
  std::string one[3], many[3];
  for (int jobs : {1, 3}) {
    std::string *out = jobs == 1 ? one : many;
    ANA_SourceRelease();
    FreshLogs();  // each run writes its logs afresh
    g_config.JOBS = jobs;
    RunPaths(paths);
    out[0] = Records();
    out[1] = DebugLog();
    out[2] = Trace();
  }
  g_config.JOBS = 0;
  EXPECT_EQ(many[0], one[0]);
  EXPECT_EQ(many[1], one[1]);
  EXPECT_EQ(many[2], one[2]);
}
