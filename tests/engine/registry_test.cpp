// The analyzer and its source registry, and the per-source step as the
// worker drives it: registration, names, progress, the result protocol of
// ANA_Exec, stopping, and what a failed allocation leaves behind.
#include <sys/stat.h>

#include <cstring>

#include "engine/source_pool.h"
#include "engine_fixture.h"
#include "foundation/hash.h"
#include "foundation/ports.h"
#include "platform/keys.h"

using namespace velmora_test;

namespace {

struct ProgressRecorder : ProgressSink {
  std::vector<std::string> details;
  std::vector<int> percents;
  void SetFunctionProgress(int p) override { percents.push_back(p); }
  void SetSourceProgress(int) override {}
  void SetPass(int) override {}
  void SetDetail(const char *t) override { details.push_back(t); }
  void SetPhase(int) override {}
};

ST_SOURCE *SourceAt(int i) {
  const void *n = &ANA.sources;
  void *d = nullptr;
  for (int k = 0; k <= i; k++) n = CB_Next(n, &d);
  return n ? (ST_SOURCE *)d : nullptr;
}

int g_polls_left = -1;
int PollEscape(void) {
  return g_polls_left >= 0 && g_polls_left-- == 0;
}

}  // namespace

TEST_F(EngineTest, KeywordTableHoldsTheWordsByHashOnly) {
  EXPECT_EQ(HASH_Search(ANA.keywords, "#if", 0), 2000);
  EXPECT_EQ(HASH_Search(ANA.keywords, "extern", 0), 2012);
  EXPECT_EQ(HASH_Search(ANA.keywords, "__asm", 0), 1031);
  EXPECT_EQ(HASH_Search(ANA.keywords, "__volatile__", 0), 1004);
  EXPECT_EQ(HASH_Search(ANA.keywords, "j_", 0), 1016);  // same hash as "if"
  EXPECT_EQ(HASH_Search(ANA.keywords, "union", 0), -1);
}

TEST_F(EngineTest, SourcesAreRegisteredWithTheirShiftJisNames) {
  std::string empty = Source("empty.c", "");
  std::string locked = Source("locked.c", "int x;");
  chmod(locked.c_str(), 0);
  bool unreadable = access(locked.c_str(), R_OK) != 0;  // root reads anything
  std::string back = Source("dir\\w\xE3\x81\x82.c", "int x;");
  EXPECT_EQ(ANA_SourceCreate(empty.c_str()), 0);
  EXPECT_NE(Trace().find("ANA_SourceCreate : Zero size error!\r\n"), std::string::npos);
  if (unreadable) {
    EXPECT_EQ(ANA_SourceCreate(locked.c_str()), 0);
  }
  EXPECT_EQ(ANA_SourceCreate((dir_ + "/none.c").c_str()), 0);
  ASSERT_EQ(ANA_SourceCreate(back.c_str()), 1);
  ST_SOURCE *s = SourceAt(ANA.sources.count - 1);
  EXPECT_EQ(std::string(s->path), back);
  EXPECT_STREQ(s->name, "w\x82\xA0.c");  // after the backslash, in Shift_JIS
  EXPECT_EQ(s->size, 6);
  EXPECT_EQ(s->status, SOURCE_PENDING);
  EXPECT_NE(Trace().find("ANA_SourceCreate : open \"" + dir_), std::string::npos);
  chmod(locked.c_str(), 0600);
}

TEST_F(EngineTest, RegisteringReportsProgressAndPointsAtTheFirstSource) {
  CB list = {};
  CB_Init(&list);
  EXPECT_EQ(ANA_SourceCreateAll(nullptr, &list), 0);
  ANA_ExecBegin(&exec_);
  EXPECT_EQ(exec_.cur_source, nullptr);
  EXPECT_EQ(ANA_Exec(&exec_, nullptr, nullptr, 0), -2);
  EXPECT_NE(Trace().find("ANA_Exec : Completed.\r\n"), std::string::npos);

  std::string a = Source("a.c", "int a;"), b = Source("b.c", "int b;");
  std::string none = dir_ + "/none.c";
  for (const std::string &p : {a, none, b}) AddCB(&list, p.c_str(), (int)p.size() + 1);
  ProgressRecorder rec;
  EXPECT_EQ(ANA_SourceCreateAll(&rec, &list), 2);  // the sources added
  ANA_ExecBegin(&exec_);
  CB_Init(&list);
  ASSERT_EQ(rec.details.size(), 1u);  // at most one report per 200 ms
  EXPECT_EQ(rec.details[0], "[1/3]");
  EXPECT_EQ(rec.percents[0], 0);
  EXPECT_EQ(exec_.cur_source->data, SourceAt(0));
  EXPECT_EQ(exec_.header_done, 0);
}

TEST_F(EngineTest, ExecReportsEachSourceOneCallAfterItsEnd) {
  LogSetLevel(1);
  // A source that is gone when its analysis starts completes at once.
  std::string bad = Source("bad.c", "int x;");
  std::string good = Source("good.c", "int f() { g(); }\n");
  Register({good, bad});
  unlink(bad.c_str());
  std::vector<int> r;
  for (int i = 0; i < 10 && (r.empty() || r.back() != -2); i++)
    r.push_back(ANA_Exec(&exec_, nullptr, nullptr, 0));
  EXPECT_EQ(r, (std::vector<int>{100, -1, 100, -1, -2}));
  EXPECT_EQ(ANA_GetFuncCount(), 1);
  EXPECT_EQ(SourceAt(0)->text, nullptr);  // freed once reported
  std::string banner = ";" + std::string(74, '-') + "\r\n";
  EXPECT_NE(ResultLog().find("\r\n" + banner + ";[SOURCE] \"" + good + "\"\r\n" + banner),
            std::string::npos);
  EXPECT_NE(DebugLog().find("\r\n\r\n" + banner + ";[SOURCE] \"" + bad + "\"\r\n" + banner),
            std::string::npos);
}

TEST_F(EngineTest, NameQueryFillsTheBufferOnly) {
  std::string a = Source("query.c", "int f() {}\n"), b = Source("other.c", "int g() {}\n");
  Register({a, b});
  g_config.JOBS = 2;
  char name[260] = "old";
  EXPECT_EQ(ANA_Exec(&exec_, nullptr, name, -1), 0);
  EXPECT_STREQ(name, "query.c");
  EXPECT_EQ(exec_.header_done, 0);
  EXPECT_EQ(SourceAt(0)->text, nullptr);
  EXPECT_EQ(pool_active(), 0);  // asking a name starts nothing
  EXPECT_EQ(ANA_StartParsing(&exec_), 1);
  EXPECT_EQ(pool_active(), 1);
  ANA_StopParsing();
  EXPECT_EQ(SourceAt(0)->status, SOURCE_PENDING);  // what the threads did is undone
}

TEST_F(EngineTest, EscapeStopsTheSourceForGood) {
  std::string text;
  for (int i = 0; i < 50; i++) text += "int f" + std::to_string(i) + "() { g(); }\n";
  std::string a = Source("long.c", text);
  Register({a});
  g_polls_left = 3;
  EscapeSetPoll(PollEscape);
  int first = ANA_Exec(&exec_, nullptr, nullptr, 0);
  EscapeSetPoll(nullptr);
  EXPECT_GE(first, 0);
  EXPECT_LT(first, 100);
  EXPECT_EQ(ANA_Exec(&exec_, nullptr, nullptr, 0), -3);
  EXPECT_EQ(ANA_Exec(&exec_, nullptr, nullptr, 0), -3);
  EXPECT_EQ(SourceAt(0)->status, SOURCE_STOPPED);
  EXPECT_EQ(SourceAt(0)->text, nullptr);
  EXPECT_NE(Trace().find("ANA_Exec : Stopped \"" + a + "\"\r\n"), std::string::npos);
}

TEST_F(EngineTest, FailedRecordsLeaveNothingHalfMade) {
  // Fail each allocation of a run in turn: whatever fails, the analysis ends,
  // leaks nothing, and never attaches a call to the wrong function.
  std::string a = Source("oom.c", "int f() { g(); }\nint h() { k(); }\n");
  bool saw_f_missing = false;
  for (unsigned nth = 1; nth < 40; nth++) {
    ANA_SourceRelease();
    Register({a});
    MemFailAt(nth);
    for (int guard = 0; guard < 100 && ANA_Exec(&exec_, nullptr, nullptr, 0) != -2; guard++) {
    }
    MemFailAt(0);
    std::string d = Dump();
    for (const char *bad : {"f 0/0 L0\n  k", "h 0/0 L1\n  g"})
      EXPECT_EQ(d.find(bad), std::string::npos) << d;
    if (d == "h 0/0 L1\n  k 0 L1\n") saw_f_missing = true;
  }
  EXPECT_TRUE(saw_f_missing) << "no run failed exactly f's record";
}

TEST_F(EngineTest, RecordWalksFollowListOrderAndStopWhereAsked) {
  RunPaths(
      {Source("a.c", "int f() { x(); y(); }\nint g() { }\n"), Source("b.c", "int h() { z(); }\n")});
  std::string order;
  ForEachSource([&](const ST_SOURCE *s) {
    order += std::string("[") + s->name + "]";
    ForEachFunction(s, [&](const ST_FUNC *f) {
      order += f->name;
      ForEachCall(f, [&](const ST_CALL *c) { order += std::string(".") + c->name; });
    });
  });
  EXPECT_EQ(order, "[a.c]f.x.yg[b.c]h.z");

  // A stop inside the walk over every function ends the walk over the sources
  // too; the calls of a source run function by function.
  std::string seen;
  WalkResult r = ForEachFunction([&](const ST_FUNC *f) {
    seen += f->name;
    return f->name[0] == 'g' ? WalkResult::kStop : WalkResult::kGoOn;
  });
  EXPECT_EQ(r, WalkResult::kStop);
  EXPECT_EQ(seen, "fg");
  std::string calls;
  EXPECT_EQ(ForEachCall(SourceAt(0), [&](const ST_CALL *c) { calls += c->name; }),
            WalkResult::kGoOn);
  EXPECT_EQ(calls, "xy");
}
