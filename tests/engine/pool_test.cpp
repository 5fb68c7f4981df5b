// The analysis threads as ANA_Exec's caller sees them: with sources parsed
// ahead, every result of ANA_Exec, every record and every line of the logs
// and the trace are those of one thread; a stop reports nothing after the
// stopped source and leaves nothing parsed ahead behind.
#include "engine_fixture.h"
#include "foundation/settings.h"
#include "platform/keys.h"

using namespace velmora_test;

namespace {

// Sources of every kind of line the parser prints, some long enough for
// many slices, one that cannot be read and one nested past the log's
// indentation bounds.
std::vector<std::pair<std::string, std::string>> Sources() {
  std::vector<std::pair<std::string, std::string>> out;
  for (int i = 0; i < 12; i++) {
    std::string text = "/* \x93\xfa\x96\x7b */\n#include <x.h>\nclass K" + std::to_string(i) +
                       " { int m() { n(); } };\n";
    for (int k = 0; k < 5 + i * 7; k++) {
      text += "int f" + std::to_string(i) + "_" + std::to_string(k) + "(int a) {\n";
      text += "  if (a) { g" + std::to_string(k) + "(a, \"s\"); } else { K::m(); }\n";
      text += "  x = a ? h(1) : 2; switch (a) { case 1: q(); }\n}\n";
    }
    out.push_back({"s" + std::to_string(i) + ".c", text});
  }
  std::string deep = "void deep() {\n";
  for (int d = 0; d < 20; d++) deep += "{ r();\n";
  for (int d = 0; d < 20; d++) deep += "}\n";
  out.push_back({"deep.c", deep + "}\n"});
  return out;
}

struct Outputs {
  std::vector<int> results;
  std::string records, debug, result, trace;
};

int g_polls_left = 0;
int CountdownPoll(void) {
  return g_polls_left > 0 && --g_polls_left == 0 ? 1 : 0;
}

class PoolTest : public EngineTest {
 protected:
  std::vector<std::string> Paths() {
    std::vector<std::string> paths;
    for (const auto &s : Sources()) paths.push_back(Source(s.first, s.second));
    return paths;
  }
  // Registers the paths as sources, as the worker does.
  void Register(const std::vector<std::string> &paths) {
    CB list = {};
    CB_Init(&list);
    for (const std::string &p : paths) AddCB(&list, p.c_str(), (int)p.size() + 1);
    ANA_SourceCreateAll(nullptr, &list);
    ANA_ExecBegin(&exec_);
    CB_Init(&list);
  }
  Outputs Analyse(int jobs, const std::vector<std::string> &paths) {
    ANA_SourceRelease();
    FreshLogs();
    g_config.JOBS = jobs;
    Outputs r;
    r.results = RunPaths(paths);
    r.records = Dump(true);
    r.debug = DebugLog();
    r.result = ResultLog();
    r.trace = Trace();
    g_config.JOBS = 0;
    return r;
  }
};

}  // namespace

TEST_F(PoolTest, ManyThreadsReportWhatOneThreadReports) {
  std::vector<std::string> paths = Paths();
  paths.insert(paths.begin() + 3, dir_ + "/missing.c");  // not registered
  std::string empty = Source("empty.c", "");
  paths.push_back(empty);
  LogSetLevel(1);
  Outputs one = Analyse(1, paths);
  ASSERT_NE(one.debug.find("NestMove Error ! : larger than 16.\n"), std::string::npos);
  ASSERT_GT(one.results.size(), 40u);
  for (int jobs : {2, 3, 8}) {
    Outputs many = Analyse(jobs, paths);
    EXPECT_EQ(many.results, one.results) << jobs;
    EXPECT_EQ(many.records, one.records) << jobs;
    EXPECT_EQ(many.debug, one.debug) << jobs;
    EXPECT_EQ(many.result, one.result) << jobs;
    EXPECT_EQ(many.trace, one.trace) << jobs;
  }
}

TEST_F(PoolTest, StopReportsNothingAfterTheStoppedSource) {
  std::vector<std::string> paths = Paths();
  for (int polls : {1, 3, 9, 25}) {
    ANA_SourceRelease();
    g_config.JOBS = 4;
    Register(paths);
    g_polls_left = polls;
    EscapeSetPoll(CountdownPoll);
    std::vector<int> results;
    for (int guard = 0; guard < 10000; guard++) {
      int r = ANA_Exec(&exec_, nullptr, nullptr, 0);
      results.push_back(r);
      if (r == ANA_EXEC_STOPPED || r == ANA_EXEC_NO_SOURCE) break;
    }
    EscapeSetPoll(nullptr);
    g_config.JOBS = 0;
    ASSERT_EQ(results.back(), ANA_EXEC_STOPPED) << polls;
    EXPECT_EQ(ANA_Exec(&exec_, nullptr, nullptr, 0), ANA_EXEC_STOPPED);
    // The stopped source is the current one; every source after it is as
    // registered: no records, no text, nothing gathered.
    const ST_SOURCE *stopped = (const ST_SOURCE *)exec_.cur_source->data;
    EXPECT_EQ(stopped->status, SOURCE_STOPPED);
    bool after = false;
    ForEachSource([&](const ST_SOURCE *s) {
      if (after) {
        EXPECT_EQ(s->funcs.count, 0) << s->name;
        EXPECT_EQ(s->status, SOURCE_PENDING) << s->name;
        EXPECT_EQ(s->text, nullptr);
        EXPECT_EQ(s->gathered, nullptr);
        EXPECT_EQ(s->records.held, 0u);
      }
      if (s == stopped) after = true;
    });
    EXPECT_NE(Trace().find("ANA_Exec : Stopped \""), std::string::npos);
    ANA_StopParsing();  // nothing left to stop: harmless
  }
  ANA_SourceRelease();
}

TEST_F(PoolTest, ReleaseWhileThreadsWorkEndsThemAndLeavesNothing) {
  std::vector<std::string> paths = Paths();
  g_config.JOBS = 4;
  Register(paths);
  EXPECT_GE(ANA_Exec(&exec_, nullptr, nullptr, 0), 0);  // the threads start
  ANA_SourceRelease();                                  // and are ended here
  g_config.JOBS = 0;
  EXPECT_EQ(ANA.sources.count, 0);
  EXPECT_EQ(NestMove(0), 0);
}
