// The precise front end's budgets: a source over its size, memory or time
// limit is read by the statement parser, and then gives exactly what that
// parser alone gives (records, both logs at DEBUG_LOG 1 and 2, one thread or
// several), with a trace line naming it. And the shapes that once cost the
// front end the square of their length (many definitions on one line, long
// blocks of member calls, long argument and base lists) read as before.
// Every test skips when the build has no grammars.
#include <atomic>
#include <cstring>

#include "engine/precise.h"
#include "engine_fixture.h"
#include "foundation/settings.h"

using namespace velmora_test;

namespace {

std::atomic<uint32_t> g_fake_ms{0};
// A clock on which every look takes a second.
uint32_t FakeClock(void) {
  return g_fake_ms += 1000;
}

class PreciseBudgetTest : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    if (!precise_available()) GTEST_SKIP() << "built without the grammars";
  }
  void TearDown() override {
    g_precise_limits = kPreciseLimits;
    g_config.JOBS = 0;
    EngineTest::TearDown();
  }

  // What a run leaves: the records with everything the statement parser
  // fills, the lost-function notes, and both logs.
  std::string Everything() {
    std::string out = Dump(true);
    ForEachSource([&](const ST_SOURCE *s) {
      out += std::string(s->name) + " lost in " + (s->lost_in ? s->lost_in : "-") + " L" +
             std::to_string(s->lost_line) + "\n";
      ForEachFunction(s, [&](const ST_FUNC *f) {
        out += std::to_string(f->argc_min) + (f->variadic ? "+" : "") + (f->member ? "m" : "") +
               " end " + std::to_string(f->end_line) + " name " + std::to_string(f->name_line) +
               ":" + std::to_string(f->name_column) + "@" + std::to_string(f->name_offset) + "\n";
      });
    });
    return out + DebugLog() + "----\n" + ResultLog();
  }

  std::vector<std::string> Sources() {
    std::string big = "class Box {\n public:\n  int f(int a) { return g(a); }\n};\n";
    for (int i = 0; i < 60; i++)
      big += "static int h" + std::to_string(i) + "(int x, ...)\n{\n  return k(x, " +
             std::to_string(i) + ") + m.n(x);\n}\n";
    // Ends inside a function: the note on it is the statement parser's.
    std::string lost;
    for (int i = 0; i < 30; i++) lost += "int a" + std::to_string(i) + "(void) { b(1, 2); }\n";
    lost += "int z(void)\n{\n";
    return {Source("big.cpp", big), Source("c.c", lost),
            Source("more.h", "namespace q {\n" + big + "}\n")};
  }
};

TEST_F(PreciseBudgetTest, OverABudgetReadsAsTheStatementParserAlone) {
  struct Case {
    const char *word;
    PreciseBudget why;
    void (*limit)(PreciseLimits *);
  };
  const Case cases[] = {
      {"size", PreciseBudget::kSize, [](PreciseLimits *l) { l->max_bytes = 10; }},
      {"memory", PreciseBudget::kMemory, [](PreciseLimits *l) { l->max_memory = 4096; }},
      {"time", PreciseBudget::kTime,
       [](PreciseLimits *l) {
         l->max_ms = 1500;
         l->slice_us = 1;
         l->clock_ms = FakeClock;
       }},
  };
  std::vector<std::string> paths = Sources();
  for (int jobs : {1, 2}) {
    for (int level : {1, 2}) {
      SCOPED_TRACE("JOBS " + std::to_string(jobs) + ", DEBUG_LOG " + std::to_string(level));
      g_config.JOBS = jobs;
      g_config.PARSER = 0;
      ANA_SourceRelease();
      FreshLogs();
      LogSetLevel(level);
      RunPaths(paths);
      std::string alone = Everything();
      for (const Case &c : cases) {
        SCOPED_TRACE(c.word);
        g_precise_limits = kPreciseLimits;
        c.limit(&g_precise_limits);
        g_config.PARSER = 1;
        ANA_SourceRelease();
        FreshLogs();
        LogSetLevel(level);
        RunPaths(paths);
        EXPECT_EQ(Everything(), alone);
        EXPECT_EQ(ANA_FellBackSourceCount(), 3);
        ForEachSource([&](const ST_SOURCE *s) {
          EXPECT_EQ(s->fell_back, c.why) << s->name;
          std::string line = std::string("precise : over the ") + c.word +
                             " budget, read with the statement parser \"" + s->name + "\"";
          EXPECT_NE(Trace().find(line), std::string::npos) << Trace();
        });
      }
    }
  }
}

TEST_F(PreciseBudgetTest, WithinTheBudgetsNothingFallsBack) {
  g_config.PARSER = 1;
  RunPaths(Sources());
  EXPECT_EQ(ANA_FellBackSourceCount(), 0);
  EXPECT_EQ(Trace().find("budget"), std::string::npos) << Trace();
  // A memory budget just large enough for the small sources.
  ANA_SourceRelease();
  g_precise_limits.max_memory = 8u << 20;
  Run("int f(void) { return g(); }\n", "small.cpp");
  EXPECT_EQ(ANA_FellBackSourceCount(), 0);
}

TEST_F(PreciseBudgetTest, HostileShapesEndWithinTheMemoryBudget) {
  // `A<A<A...` makes the grammar keep thousands of bytes per byte.
  std::string angles = "int f(void) { return 0; }\nA";
  for (int i = 0; i < 20000; i++) angles += "<A";
  g_config.PARSER = 1;
  g_precise_limits.max_memory = 16u << 20;
  Run(angles + "\n", "angles.cpp");
  EXPECT_EQ(ANA_FellBackSourceCount(), 1);
  EXPECT_EQ(Dump(), "f 0/1 L0\n");  // the statement parser counts (void) as an item
}

// Many definitions on one line: each starts where the statement parser
// starts it (after the line of the last definition: here the end of the
// text), found by scanning the line once, not once per definition.
TEST_F(PreciseBudgetTest, DefinitionsOnOneLine) {
  std::string line;
  for (int i = 0; i < 3000; i++) line += "int f" + std::to_string(i) + "(void) { g(); } ";
  g_config.PARSER = 1;
  Run(line, "line.c");
  std::string expected = "f0 0/0 L0 @0+" + std::to_string(line.size()) + "\n  g 0 L1\n";
  for (int i = 1; i < 3000; i++)
    expected +=
        "f" + std::to_string(i) + " 0/0 L0 @" + std::to_string(line.size()) + "+0\n  g 0 L1\n";
  EXPECT_EQ(Dump(true), expected);
}

// A member call finds the class its object is declared with however many
// declarations and statements come before it in its block, in its
// parameters or in its class.
TEST_F(PreciseBudgetTest, ReceiversInLongBlocks) {
  std::string text = "struct B { void m(); };\nstruct A { void m(); };\nvoid f(A p0";
  for (int i = 1; i < 700; i++) text += ", A p" + std::to_string(i);
  text += ", B last) {\n";
  for (int i = 0; i < 700; i++)
    text += "  A a" + std::to_string(i) + "; a" + std::to_string(i) + ".m();\n";
  text += "  B b; b.m(); last.m(); p5.m();\n  { A b; b.m(); }\n  b.m();\n}\n";
  text += "struct C {\n";
  for (int i = 0; i < 700; i++) text += "  A x" + std::to_string(i) + ";\n";
  text += "  B y;\n  void g() { y.m(); x3.m(); }\n};\n";
  g_config.PARSER = 1;
  Run(text, "long.cpp");
  std::string on;
  ForEachFunction([&](const ST_FUNC *f) {
    int n = 0;
    ForEachCall(f, [&](const ST_CALL *c) {
      if (n++ >= 698 || strcmp(f->name, "g") == 0)
        on += std::string(f->name) + ":" + (c->how && c->how->receiver ? c->how->receiver : "?") +
              " ";
    });
  });
  EXPECT_EQ(on, "f:A:: f:A:: f:B:: f:B:: f:A:: f:A:: f:B:: g:B:: g:A:: ");
}

}  // namespace
