// Linking again after one source was analysed again: after every change the
// links, the Called marks and the query index's answers must be those a new
// analysis of the same files gives. The sources share names on purpose (a
// definition in the caller's own source wins, else the first registered),
// so a change in one source moves links in the others.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "engine/engine_fixture.h"
#include "xref/query.h"
#include "xref/xref.h"

namespace {

using velmora_test::EngineTest;
using velmora_test::WriteFile;

struct RelinkTest : EngineTest {
  ST_QUERY *q = nullptr;
  std::vector<std::string> paths;  // registered, in order

  void TearDown() override {
    ReleaseQuery(&q);
    EngineTest::TearDown();
  }
  void Link() {
    ANA_MakeFunctionList(nullptr);
    ANA_BeginCallList();
    while (ANA_LinkNextSource(nullptr) != -1) {
    }
    q = CreateQuery();
  }
  // Everything the fronts can see, by source names (an emptied source has
  // none and shows nothing), so that a source kept without functions and a
  // source never registered read alike.
  std::string Snapshot() {
    std::string out;
    for (int sid = 1; sid <= Query_SourceCount(q); sid++) {
      for (const QueryFunction &f : Query_FunctionsOf(q, sid)) {
        ST_FUNC *rec = ANA_FindFunction(f.sid, f.fid);
        out += std::string(f.source) + ":" + std::to_string(f.fid) + " " + f.scope + f.name +
               " called=" + std::to_string(rec ? rec->called : -1) + "\n";
        for (const QueryCall &c : Query_CallsOf(q, f.sid, f.fid)) {
          QueryFunction to;
          out += std::string("  ") + c.call_name + " -> ";
          out += Query_Function(q, c.to_sid, c.to_fid, &to)
                     ? std::string(to.source) + ":" + std::to_string(to.fid) + "\n"
                     : "none\n";
        }
        for (const QueryCall &c : Query_CallersOf(q, f.sid, f.fid))
          out += std::string("  from ") + Query_SourceName(q, c.sid) + ":" + std::to_string(c.fid) +
                 "#" + std::to_string(c.index) + "\n";
      }
    }
    for (const QueryCall &c : Query_UnlinkedCallsOf(q, "missing"))
      out += std::string("missing at ") + Query_SourceName(q, c.sid) + "\n";
    for (const QueryHit &h : Query_Search(q, "d", 0))
      out += std::string("search ") + h.function.source + ":" + h.function.name + "\n";
    return out;
  }
  // What a new analysis of the files as they are now shows.
  std::string Fresh() {
    ReleaseQuery(&q);
    ANA_SourceRelease();
    RunPaths(paths);
    Link();
    return Snapshot();
  }
  // Changes the file at path (writing text, or removing it when text is
  // null) and links again as the update job does; returns the snapshot.
  std::string Change(const std::string &path, const char *text) {
    ST_SOURCE *s = nullptr;
    ForEachSource([&](ST_SOURCE *x) {
      if (path == x->path) s = x;
    });
    if (!s) {  // a new file, registered at the end
      WriteFile(path, text);
      EXPECT_EQ(1, ANA_SourceCreate(path.c_str()));
      paths.push_back(path);
      ForEachSource([&](ST_SOURCE *x) { s = x; });
      s->sid = ANA.sources.count;
    }
    ST_RELINK *r = ANA_RelinkPrepare(q, s);
    EXPECT_NE(r, nullptr);
    if (text) {
      WriteFile(path, text);
      ANA_SourceReload(s, text, (int)strlen(text));
    } else {
      remove(path.c_str());
      ANA_SourceReload(s, "", 0);
    }
    EXPECT_EQ(1, ANA_RelinkFinish(r, q, s));
    return Snapshot();
  }
};

TEST_F(RelinkTest, EveryChangeLinksAsANewAnalysisWould) {
  std::string a = Source("a.c",
                         "int shared(int x) { return x; }\n"
                         "int a_main(void) { return shared(1) + b_only(2) + later(3); }\n"
                         "static int dup(void) { return 0; }\n");
  std::string b = Source("b.c",
                         "int b_only(int y) { return shared(y) + dup(); }\n"
                         "static int dup(void) { return 1; }\n");
  std::string c = Source("c.c", "int c_main(void) { return dup() + shared(2) + missing(); }\n");
  paths = {a, b, c};
  RunPaths(paths);
  Link();
  ASSERT_NE(q, nullptr);

  // b.c loses b_only and gains later and a second shared.
  std::string now = Change(b,
                           "int later(int z) { return dup(); }\n"
                           "int shared(int x) { return 2; }\n"
                           "static int dup(void) { return 1; }\n");
  EXPECT_NE(std::string::npos, now.find("later -> b.c:1"));
  EXPECT_EQ(Fresh(), now);
  // a.c loses its shared: c.c's call moves to b.c's; a.c calls missing too.
  now = Change(a,
               "int a_main(void) { return shared(1) + later(3) + missing(); }\n"
               "static int dup(void) { return 0; }\n");
  EXPECT_NE(std::string::npos, now.find("shared -> b.c:2"));
  EXPECT_EQ(Fresh(), now);
  // A new file, registered at the end, defining what others call.
  now = Change(dir_ + "/d.c", "int missing(void) { return dup(); }\nint dup(void) { return 3; }\n");
  EXPECT_NE(std::string::npos, now.find("missing -> d.c:1"));
  EXPECT_EQ(Fresh(), now);
  // b.c deleted: its definitions go, the calls find others or none.
  now = Change(b, nullptr);
  EXPECT_EQ(std::string::npos, now.find("b.c:"));
  EXPECT_EQ(Fresh(), now);
}

}  // namespace
