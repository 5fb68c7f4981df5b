// Numbering, the two lists and call linking on analyzer records built by hand:
// the report lines as written to the result log, the cells of the rows, and
// the choice among several definitions of one name.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "engine/ana.h"
#include "engine/record_walk.h"
#include "foundation/cb.h"
#include "foundation/hash.h"
#include "foundation/memory.h"
#include "foundation/log.h"
#include "foundation/ports.h"
#include "foundation/settings.h"
#include "foundation/text.h"
#include "platform/files.h"
#include "platform/keys.h"
#include "support/null_views.h"
#include "support/testenv.h"
#include "xref/link_records.h"
#include "xref/list_columns.h"
#include "xref/row_text.h"
#include "xref/xref.h"

namespace {

// Keeps the rows of both lists as the views would show them: every cell's
// text, eleven per row.
struct ListRecorder : ResultsSink {
  std::vector<std::vector<std::string>> rows[2];
  int lists_exist = 1;
  int set_called_values = 0;

  int TakesRows(int) override { return lists_exist; }
  void AddFunctionRows(const FunctionRow *r, size_t n) override {
    for (size_t k = 0; k < n; k++) {
      rows[VIEW_FUNCTIONS].push_back(std::vector<std::string>(11));
      for (int c = 0; c < FL_COLUMNS; c++)
        AppendFunctionCell(rows[VIEW_FUNCTIONS].back()[c], r[k], c);
    }
  }
  void AddCallRows(const CallRow *r, size_t n) override {
    for (size_t k = 0; k < n; k++) {
      rows[VIEW_CALLS].push_back(std::vector<std::string>(11));
      for (int c = 0; c < CL_COLUMNS; c++) AppendCallCell(rows[VIEW_CALLS].back()[c], r[k], c);
    }
  }
  void SetCalled(size_t first, const int *called, size_t n) override {
    for (size_t k = 0; k < n; k++) {
      set_called_values++;
      rows[VIEW_FUNCTIONS].at(first + k).at(FL_CALLED) = std::to_string(called[k]);
    }
  }
};

struct XrefTest : ::testing::Test {
  ListRecorder views;

  void SetUp() override { velmora_test::OpenLinkAnalyzer(&views, &log_path); }
  void TearDown() override { velmora_test::CloseLinkAnalyzer(); }

  std::string Log() const { return velmora_test::LinkLog(log_path); }

  // Records as the parser leaves them: no SIDs, FIDs or hashes yet.
  static ST_SOURCE *Source(const char *name) { return velmora_test::AddSource(name); }
  static ST_FUNC *Func(ST_SOURCE *s, const char *name, int argc, const char *scope = "",
                       int line = 0) {
    ST_FUNC *f = velmora_test::AddFunc(s, scope, name, argc);
    f->line = line;
    return f;
  }
  static ST_CALL *Call(ST_FUNC *caller, const char *name, int argc, const char *scope = "") {
    return velmora_test::AddCall(caller, scope, name, argc);
  }

  // The whole phase as the worker runs it.
  void RunAll() { velmora_test::RunLinkPhase(); }

  std::string log_path;
};

TEST_F(XrefTest, FunctionListReportRowsAndNumbering) {
  ST_SOURCE *a = Source("a.c");
  Func(a, "main", 2, "", 10);
  Func(a, "run", 0, "App::", 20);
  Source("empty.h");             // no function: a SID and its line, no rows
  ST_SOURCE *b = Source("a.c");  // same name in another folder
  Func(b, "run", -1);
  EXPECT_EQ(ANA_MakeFunctionList(&views), 1);

  EXPECT_EQ(Log(),
            "\n"
            "//============================================\r\n"
            "// List of Function in source\r\n"
            "//============================================\r\n"
            "(SID:1)[a.c]\r\n"
            "\t(FID:1)main (argc:2)\r\n"
            "\t(FID:2)App::run (argc:0)\r\n"
            "(SID:2)[empty.h]\r\n"
            "(SID:3)[a.c]\r\n"
            "\t(FID:1)run (argc:-1)\r\n");
  ASSERT_EQ(views.rows[VIEW_FUNCTIONS].size(), 3u);
  EXPECT_EQ(
      views.rows[VIEW_FUNCTIONS][1],
      (std::vector<std::string>{"1", "a.c", "2", "App::run", "20", "0", "0", "", "", "", ""}));
  EXPECT_EQ(views.rows[VIEW_FUNCTIONS][2][0], "3");
  EXPECT_EQ(a->name_hash, b->name_hash);
  EXPECT_NE(a->sid, b->sid);
  EXPECT_EQ(ANA_FindFunction(3, 1)->source, b);
  EXPECT_EQ(ANA_FindFunction(2, 1), nullptr);
  EXPECT_EQ(ANA_FindFunction(1, 3), nullptr);
  EXPECT_EQ(ANA_FindSource(2)->name, std::string("empty.h"));
  EXPECT_EQ(ANA_FindSource(4), nullptr);

  // A second run renumbers and does not register the functions twice.
  views.rows[VIEW_FUNCTIONS].clear();
  ANA_MakeFunctionList(&views);
  CB *bucket = HASH2_Search(ANA.func_index, ":main", 0);
  int entries = 0;
  for (CHBUF *e = CB_Next(bucket, nullptr); e; e = CB_Next(e, nullptr)) entries++;
  EXPECT_EQ(entries, 1);
}

TEST_F(XrefTest, LinkLinesRowsAndCalledColumn) {
  ST_SOURCE *s = Source("m.c");
  ST_FUNC *main = Func(s, "main", 0);
  ST_FUNC *work = Func(s, "work", 1, "Job::");
  ST_FUNC *idle = Func(s, "idle", 0);
  Call(main, "work", 1, "Job::");
  Call(main, "work", 1);  // no class prefix: a different function
  Call(main, "work", 1, "Job::");
  RunAll();

  EXPECT_NE(Log().find("// Function call list \r\n"
                       "//============================================\r\n"
                       "[m.c] Job::work(argc:1)---[LINK]--->(SID:1,FID:2)[m.c] Job::work\r\n"
                       "[m.c] work(argc:1)------------>not found.\r\n"
                       "[m.c] Job::work(argc:1)---[LINK]--->(SID:1,FID:2)[m.c] Job::work\r\n"),
            std::string::npos);
  auto &calls = views.rows[VIEW_CALLS];
  ASSERT_EQ(calls.size(), 3u);
  EXPECT_EQ(calls[0], (std::vector<std::string>{"1", "m.c", "1", "main", "Job::work", "1", "===>",
                                                "1", "m.c", "2", "Job::work"}));
  EXPECT_EQ(calls[1],
            (std::vector<std::string>{"1", "m.c", "1", "main", "work", "1", "X", "", "", "", ""}));
  EXPECT_EQ(work->called, 1);
  EXPECT_EQ(idle->called, 0);
  EXPECT_EQ(main->called, 0);
  // Called twice, shown as 1; the Called value of every row handed over.
  auto &funcs = views.rows[VIEW_FUNCTIONS];
  EXPECT_EQ(funcs[0][6], "0");
  EXPECT_EQ(funcs[1][6], "1");
  EXPECT_EQ(funcs[2][6], "0");
  EXPECT_EQ(views.set_called_values, 3);
}

// Definitions of f in sources 1 and 3, called from 2 and from 3; two
// definitions of g in one source; argument counts that differ.
TEST_F(XrefTest, TieBreaksAmongDefinitions) {
  ST_SOURCE *s1 = Source("one.c");
  ST_SOURCE *s2 = Source("two.c");
  ST_SOURCE *s3 = Source("three.c");
  ST_FUNC *f1 = Func(s1, "f", 1);
  ST_FUNC *caller2 = Func(s2, "caller2", 0);
  ST_FUNC *g_first = Func(s2, "g", 0);
  ST_FUNC *g_second = Func(s2, "g", 0);
  ST_FUNC *h = Func(s2, "h", 3);
  ST_FUNC *any = Func(s2, "any", -1);
  ST_FUNC *f3 = Func(s3, "f", 1);
  ST_FUNC *caller3 = Func(s3, "caller3", 0);
  ST_CALL *from2 = Call(caller2, "f", 1);
  ST_CALL *g_call = Call(caller2, "g", 0);
  ST_CALL *h_two = Call(caller2, "h", 2);
  ST_CALL *h_unknown = Call(caller2, "h", -1);
  ST_CALL *any_call = Call(caller2, "any", 5);
  ST_CALL *from3 = Call(caller3, "f", 1);
  ST_CALL *g_from3 = Call(caller3, "g", 0);
  RunAll();

  EXPECT_EQ(from2->to_func, f1);
  EXPECT_EQ(from3->to_func, f3);
  EXPECT_EQ(g_call->to_func, g_second);
  EXPECT_EQ(g_from3->to_func, g_first);  // elsewhere: the first in insertion order
  EXPECT_EQ(h_two->to_func, nullptr);
  EXPECT_EQ(h_two->to_sid, 0);
  EXPECT_EQ(h_unknown->to_func, h);
  EXPECT_EQ(any_call->to_func, any);
  EXPECT_EQ(from3->to_sid, 3);
  EXPECT_EQ(from3->to_fid, 1);
  EXPECT_NE(Log().find("[two.c] h(argc:2)------------>not found.\r\n"), std::string::npos);
  EXPECT_NE(Log().find("[three.c] f(argc:1)---[LINK]--->(SID:3,FID:1)[three.c] f\r\n"),
            std::string::npos);
}

// A crowded function index: every three-letter name, defined in one of three
// sources with varying argument counts, most names more than once. The
// phase's linking must choose exactly what a walk of the hash bucket chooses,
// also where two names share both hashes and so count as one.
// Links a few thousand three-letter names (the weak hash joins many of
// them) by phase, then each call alone by the bucket walk; both must agree.
// *across: how many calls reached a definition of another name.
void LinkManyNames(XrefTest *t, int *across) {
  ST_SOURCE *src[3] = {XrefTest::Source("x.c"), XrefTest::Source("y.c"), XrefTest::Source("z.c")};
  std::vector<ST_FUNC *> callers;
  for (ST_SOURCE *s : src) callers.push_back(XrefTest::Func(s, "caller", 0));
  char name[4] = {0};
  int k = 0;
  for (char a = 'a'; a <= 'z'; a++) {
    for (char b = 'a'; b <= 'z'; b++) {
      for (char c = 'a'; c <= 'z'; c++, k++) {
        name[0] = a, name[1] = b, name[2] = c;
        XrefTest::Func(src[k % 3], name, k % 4 - 1);
        if (k % 5 == 0) XrefTest::Func(src[(k + 1) % 3], name, k % 3 - 1, k % 2 ? "" : "N::");
        if (k % 7 == 0) XrefTest::Call(callers[k % 3], name, k % 3 - 1);
        if (k % 11 == 0) XrefTest::Call(callers[(k + 2) % 3], name, -1, k % 2 ? "" : "N::");
      }
    }
  }
  t->RunAll();

  int linked = 0, across_names = 0, calls = 0;
  for (ST_FUNC *caller : callers) {
    void *data = nullptr;
    for (CHBUF *e = CB_Next(&caller->calls, &data); e; e = CB_Next(e, &data)) {
      ST_CALL *c = static_cast<ST_CALL *>(data);
      ST_FUNC *by_phase = c->to_func;
      ASSERT_EQ(ANA_LinkCall(c, &t->views), 1);  // alone: walks the bucket
      ASSERT_EQ(c->to_func, by_phase) << c->scope << c->name << " argc " << c->argc;
      calls++;
      if (by_phase) linked++;
      if (by_phase && std::string(by_phase->name) != c->name) across_names++;
    }
  }
  EXPECT_GT(calls, 3000);
  EXPECT_GT(linked, calls / 2);
  *across = across_names;
}

TEST_F(XrefTest, PhaseLinkingMatchesTheBucketWalk) {
  views.lists_exist = 0;
  int across = 0;
  LinkManyNames(this, &across);
  EXPECT_GT(across, 0);  // the weak hash did join different names
}

TEST_F(XrefTest, ExactNamesLinkOnlyEqualTexts) {
  views.lists_exist = 0;
  g_config.EXACT_NAMES = 1;
  int across = -1;
  LinkManyNames(this, &across);
  EXPECT_EQ(across, 0);
}

TEST_F(XrefTest, ExactNamesTellApartTheEntriesOfOneBucket) {
  // getaa and getoo hash alike, and so do their index keys: one bucket.
  ST_SOURCE *s = Source("m.c");
  ST_FUNC *aa = Func(s, "getaa", 1);
  ST_FUNC *oo = Func(s, "getoo", 1);
  ST_FUNC *user = Func(s, "user", 0);
  ST_CALL *to_aa = Call(user, "getaa", 1);
  ST_CALL *to_oo = Call(user, "getoo", 1);
  RunAll();
  EXPECT_EQ(to_aa->to_func, oo);  // by hash: the last candidate of the own source
  EXPECT_EQ(to_oo->to_func, oo);
  EXPECT_EQ(aa->called, 0);
  g_config.EXACT_NAMES = 1;
  views.rows[0].clear();
  views.rows[1].clear();
  RunAll();
  EXPECT_EQ(to_aa->to_func, aa);
  EXPECT_EQ(to_oo->to_func, oo);
  EXPECT_EQ(aa->called, 1);
  EXPECT_NE(Log().find("[m.c] getaa(argc:1)---[LINK]--->(SID:1,FID:1)[m.c] getaa\r\n"),
            std::string::npos);
}

TEST_F(XrefTest, LinkStepsAndEscape) {
  // The worker links alone: with threads linking ahead, whether the first
  // call is linked before the Escape poll would depend on their speed.
  g_config.JOBS = 1;
  EXPECT_EQ(ANA_BeginCallList(), 0);
  EXPECT_EQ(ANA_LinkNextSource(&views), -1);  // no sources

  ST_SOURCE *s1 = Source("1.c");
  ST_SOURCE *s2 = Source("2.c");
  ST_SOURCE *s3 = Source("3.c");
  ST_FUNC *a = Func(s1, "a", 0);
  ST_FUNC *b = Func(s2, "b", 0);
  Func(s3, "c", 0);
  ST_CALL *first = Call(a, "b", 0);
  ST_CALL *second = Call(a, "c", 0);
  ST_CALL *later = Call(b, "a", 0);
  ANA_MakeFunctionList(&views);
  ASSERT_EQ(ANA_BeginCallList(), 3);

  // Escape after the first call: it keeps its link, the rest get none.
  static int polls;
  polls = 0;
  EscapeSetPoll([]() { return ++polls == 1 ? 1 : 0; });
  EXPECT_EQ(ANA_LinkNextSource(&views), 4);
  EXPECT_EQ(ANA_LinkNextSource(&views), -1);
  EXPECT_EQ(polls, 1);
  EXPECT_EQ(first->to_sid, 2);
  EXPECT_EQ(second->to_func, nullptr);
  EXPECT_EQ(later->to_func, nullptr);
  EXPECT_EQ(views.rows[VIEW_CALLS].size(), 1u);
  EXPECT_EQ(ANA_LinkCall(nullptr, &views), 0);
}

TEST_F(XrefTest, MissingViewsStillReportAndIndex) {
  views.lists_exist = 0;
  ST_SOURCE *s = Source("m.c");
  ST_FUNC *f = Func(s, "f", 0);
  ST_CALL *c = Call(f, "f", 0);
  RunAll();
  EXPECT_EQ(views.rows[VIEW_FUNCTIONS].size(), 0u);
  EXPECT_EQ(views.rows[VIEW_CALLS].size(), 0u);
  EXPECT_EQ(c->to_func, f);
  EXPECT_NE(Log().find("[m.c] f(argc:0)---[LINK]--->(SID:1,FID:1)[m.c] f\r\n"), std::string::npos);

  f->expanded = 1;
  ANA_ClearExpanded();
  EXPECT_EQ(f->expanded, 0);
}

}  // namespace

namespace {

// What one linking phase leaves: the log, the Call List rows, every call's
// link and every function's Called mark.
struct LinkOutcome {
  std::string log;
  std::vector<std::vector<std::string>> rows;
  std::vector<std::string> links;
  bool operator==(const LinkOutcome &o) const {
    return log == o.log && rows == o.rows && links == o.links;
  }
};

int g_link_polls = 0;  // polls left until Escape reads as pressed; 0: never

struct LinkAheadTest : XrefTest {
  // Twelve sources of six functions, each making five calls.
  void Build() {
    std::vector<ST_FUNC *> funcs;
    for (int s = 0; s < 12; s++) {
      ST_SOURCE *src = Source(("s" + std::to_string(s) + ".c").c_str());
      for (int f = 0; f < 6; f++)
        funcs.push_back(Func(src, ("f" + std::to_string((s * 7 + f) % 40)).c_str(), f % 3));
    }
    for (size_t i = 0; i < funcs.size(); i++)
      for (int k = 0; k < 5; k++)
        Call(funcs[i], ("f" + std::to_string((i * 13 + k * 5) % 45)).c_str(), (int)(i + k) % 3);
  }
  // Twelve sources whose functions call each other (and names no source
  // defines), linked with `jobs` threads; Escape at the polls-th poll.
  LinkOutcome Run(int jobs, int polls) {
    ANA_SourceRelease();
    views.rows[0].clear();
    views.rows[1].clear();
    TruncateFile(log_path.c_str());
    Build();
    g_config.JOBS = jobs;
    g_link_polls = polls;
    EscapeSetPoll([]() { return g_link_polls > 0 && --g_link_polls == 0 ? 1 : 0; });
    RunAll();
    EscapeSetPoll(nullptr);
    g_config.JOBS = 0;
    LinkOutcome out;
    out.log = Log();
    out.rows = views.rows[VIEW_CALLS];
    ForEachFunction([&](const ST_FUNC *f) {
      std::string l = std::to_string(f->called) + ":";
      ForEachCall(f, [&](const ST_CALL *c) {
        l += std::to_string(c->to_sid) + "/" + std::to_string(c->to_fid) + "/" +
             std::to_string(c->name_hash) + " ";
      });
      out.links.push_back(l);
    });
    return out;
  }
};

}  // namespace

TEST_F(LinkAheadTest, ManyThreadsLinkAsOneAlsoWhenStopped) {
  for (int polls : {0, 1, 7, 100, 359}) {
    LinkOutcome one = Run(1, polls);
    ASSERT_NE(one.log.find("---[LINK]--->"), std::string::npos);
    for (int jobs : {2, 4}) {
      LinkOutcome many = Run(jobs, polls);
      EXPECT_EQ(many.log, one.log) << "jobs " << jobs << " polls " << polls;
      EXPECT_TRUE(many.rows == one.rows) << "jobs " << jobs << " polls " << polls;
      EXPECT_TRUE(many.links == one.links) << "jobs " << jobs << " polls " << polls;
    }
  }
}

TEST_F(LinkAheadTest, ThreadsStoppedHalfWayLeaveNothingBehind) {
  unsigned live = MemLiveCount();
  Build();
  g_config.JOBS = 4;
  ANA_MakeFunctionList(&views);
  ANA_BeginCallList();
  EXPECT_EQ(ANA_LinkNextSource(&views), 1);  // the threads link the rest ahead
  ANA_StopParsing();                         // as a worker leaving its job does
  g_config.JOBS = 0;
  int linked = 0;
  ForEachFunction([&](const ST_FUNC *f) {
    ForEachCall(f, [&](const ST_CALL *c) { linked += c->to_func != nullptr; });
  });
  EXPECT_LE(linked, 30);  // only the first source's calls keep their links
  ANA_SourceRelease();
  if (ANA.func_index) HASH2_Init(ANA.func_index);
  EXPECT_EQ(MemLiveCount(), live);
}
