// The index below the programs: what it keeps of a source comes back as the
// same records and the same log lines, damaged bytes are refused, and an
// index that cannot be written or is held by another program leaves the
// analysis as it would be without it.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "engine/engine_fixture.h"
#include "engine/source_store.h"
#include "foundation/log.h"
#include "index/faulty_vfs.h"
#include "index/index.h"
#include "index/record_codec.h"
#include "platform/private_files.h"

namespace velmora_test {
namespace {

// Every field a front end fills, one line per record.
std::string Records(const ST_SOURCE *s) {
  std::string out = "size " + std::to_string(s->size) + " precise " + std::to_string(s->precise) +
                    " fell back " + std::to_string((int)s->fell_back) + " lost " +
                    (s->lost_in ? s->lost_in : "-") + ":" + std::to_string(s->lost_line) + "\n";
  ForEachFunction(s, [&](const ST_FUNC *f) {
    char line[700];
    snprintf(line, sizeof line,
             "F %s%s %d/%d min%d var%d mem%d const%d ret:%s L%d @%d+%d N%d:%d:%d E%d\n", f->scope,
             f->name, f->argc, f->items, f->argc_min, f->variadic, f->member, f->const_this,
             f->returns ? f->returns : "-", f->line, f->def_offset, f->def_len, f->name_line,
             f->name_column, f->name_offset, f->end_line);
    out += line;
    // What the precise parser adds for overload choice.
    out += "  T tmpl" + std::to_string(f->templated) +
           " rt:" + (f->return_type ? f->return_type : "-") + " rc" +
           std::to_string(f->returns_const) + " in" + std::to_string(f->class_at) + " params:";
    for (int i = 0; f->param_types && i < (f->argc > 0 ? f->argc : 1); i++)
      out += std::string("[") + f->param_types[i] + "]";
    out += "\n";
    std::vector<const ST_CALL *> all;
    ForEachCall(f, [&](const ST_CALL *c) { all.push_back(c); });
    std::vector<const ST_CALL *> seen;
    ForEachCall(f, [&](const ST_CALL *c) {
      int through = -1;
      for (size_t i = 0; i < seen.size(); i++)
        if (c->how && c->how->through == seen[i]) through = (int)i;
      seen.push_back(c);
      snprintf(line, sizeof line, "  C %s%s %d/%d L%d N%d:%d form%d recv:%s obj:%s via%d\n",
               c->scope, c->name, c->argc, c->items, c->line, c->name_line, c->name_column,
               CallForm(c), c->how && c->how->receiver ? c->how->receiver : "-",
               c->how && c->how->object ? c->how->object : "-", through);
      out += line;
      if (!c->how) return;
      out += std::string("    m:") + (c->how->member ? c->how->member : "-") + " oc" +
             std::to_string(c->how->object_const) + " args:";
      for (int i = 0; c->how->arg_types && i < c->argc; i++) {
        int at = -1;
        for (size_t j = 0; c->how->arg_calls && j < all.size(); j++)
          if (all[j] == c->how->arg_calls[i]) at = (int)j;
        out += std::string("[") + c->how->arg_types[i] + "@" + std::to_string(at) + "]";
      }
      out += "\n";
    });
  });
  CB_ForEach<ST_CLASS>(s->classes, [&](const ST_CLASS *k) {
    out += "K" + std::to_string(k->kind) + " " + k->scope;
    for (int i = 0; i < k->default_count; i++)
      out += " =" + std::string(k->default_names[i]) + std::to_string(k->default_counts[2 * i]) +
             "/" + std::to_string(k->default_counts[2 * i + 1]);
    for (int i = 0; i < k->base_count; i++) out += std::string(" :") + k->bases[i];
    for (int i = 0; i < 2 * k->field_count; i++) out += std::string(" .") + k->fields[i];
    out += "\n";
  });
  return out;
}

std::string AllRecords() {
  std::string out;
  ForEachSource([&](const ST_SOURCE *s) { out += std::string(s->name) + "\n" + Records(s); });
  return out;
}

const char *Intern(void *, const char *text, size_t len) {
  return StrPoolIntern(ANA.names, text, len);
}

const char kC[] =
    "/* a comment */\n"
    "static int helper(int a, int b) { return a + b; }\n"
    "int api(int x, ...) {\n"
    "  helper(x, 1);\n"
    "  if (x) api(x - 1);\n"
    "  return helper(helper(1, 2), 3);\n"
    "}\n";
const char kLost[] = "void open_end(void) {\n  run(1);\n  if (x) {\n";
const char kCpp[] =
    "namespace n {\n"
    "struct Base { virtual void f() const; };\n"
    "struct Impl { int g(); };\n"
    "class A : public Base {\n"
    " public:\n"
    "  Impl impl_;\n"
    "  A make();\n"
    "  void f() const override { impl_.g(); this->f(); make().f(); n::free_fn(1); }\n"
    "  int h(const char* s, int k = 0);\n"
    "};\n"
    "using Alias = A;\n"
    "int later(int a, int b = 1);\n"
    "int free_fn(int a, int b = 2) { A a0; a0.f(); return b; }\n"
    "template <typename T> auto pick(T t) -> const T* { return later(1, free_fn(2)) ? &t : 0; }\n"
    "}\n";

class IndexTest : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    file_ = dir_ + "/project.db";
  }
  void TearDown() override {
    ANA_UseStore(nullptr);
    velmora_test::FaultyVfsFailWrites(SQLITE_OK);
    EngineTest::TearDown();
  }

  // A fresh analyzer analyses the paths with the index (or without, for
  // null), the index closed afterwards; returns what it did.
  IndexReport Analyse(const std::vector<std::string> &paths, bool with_index,
                      const char *vfs = nullptr) {
    ReleaseANA();
    EXPECT_EQ(CreateANA(), 1);
    IndexOptions o;
    o.file = file_;
    o.vfs = vfs;
    ST_INDEX *ix = with_index ? IndexOpen(o) : nullptr;
    if (vfs) FaultyVfsFailWrites(fail_);
    ANA_UseStore(IndexStore(ix));
    RunPaths(paths);
    ANA_UseStore(nullptr);
    IndexReport r;
    IndexClose(&ix, &r);
    FaultyVfsFailWrites(SQLITE_OK);
    return r;
  }

  std::string file_;
  int fail_ = SQLITE_OK;
};

TEST_F(IndexTest, RecordsComeBackFieldForField) {
  std::vector<std::string> paths = {Source("a.c", kC), Source("lost.c", kLost)};
  RunPaths(paths);
  std::string before = AllRecords();
  ASSERT_NE(before.find("lost open_end"), std::string::npos);
  std::vector<std::string> bytes;
  ForEachSource([&](ST_SOURCE *s) {
    bytes.emplace_back();
    EncodeRecords(s, &bytes.back());
    ForgetRecords(s);
  });
  size_t k = 0;
  ForEachSource([&](ST_SOURCE *s) {
    s->size = 0;
    EXPECT_EQ(DecodeRecords(bytes[k].data(), bytes[k].size(), s, Intern, nullptr), 1);
    k++;
  });
  EXPECT_EQ(AllRecords(), before);
}

TEST_F(IndexTest, PreciseRecordsComeBackWithFormsAndClasses) {
  g_config.PARSER = 1;
  if (!ANA_ParserInUse()) GTEST_SKIP() << "built without the grammars";
  RunPaths({Source("a.cpp", kCpp)});
  std::string before = AllRecords();
  ASSERT_NE(before.find("K0 n::A:: =h2/1 :Base::"), std::string::npos) << before;
  ASSERT_NE(before.find("K3 n::Alias:: :A::"), std::string::npos) << before;
  ASSERT_NE(before.find("K4 n:: =later2/1"), std::string::npos) << before;
  ASSERT_NE(before.find("args:[int@-1][@@"), std::string::npos) << before;  // later(1, free_fn(2))
  ASSERT_NE(before.find("T tmpl1 rt:- rc1"), std::string::npos) << before;  // pick
  ASSERT_NE(before.find("via2"), std::string::npos) << before;              // make().f()
  std::string bytes;
  ST_SOURCE *s = (ST_SOURCE *)CB_Next(&ANA.sources, nullptr)->data;
  EncodeRecords(s, &bytes);
  ForgetRecords(s);
  ASSERT_EQ(DecodeRecords(bytes.data(), bytes.size(), s, Intern, nullptr), 1);
  EXPECT_EQ(AllRecords(), before);
  // Taken from an index, the whole source is the same too.
  EXPECT_EQ(Analyse({dir_ + "/a.cpp"}, true).parsed, 1);
  IndexReport r = Analyse({dir_ + "/a.cpp"}, true);
  EXPECT_EQ(r.from_index, 1);
  EXPECT_EQ(AllRecords(), before);
}

TEST_F(IndexTest, DamagedBytesAreRefusedAndLeaveNoRecords) {
  RunPaths({Source("a.c", kC)});
  ST_SOURCE *s = (ST_SOURCE *)CB_Next(&ANA.sources, nullptr)->data;
  std::string bytes;
  EncodeRecords(s, &bytes);
  ForgetRecords(s);
  int refused = 0;
  for (size_t cut = 0; cut < bytes.size(); cut++) {
    int ok = DecodeRecords(bytes.data(), cut, s, Intern, nullptr);
    refused += !ok;
    if (!ok) {
      EXPECT_EQ(s->funcs.count, 0);
    }
    ForgetRecords(s);
  }
  EXPECT_EQ(refused, (int)bytes.size());  // every cut is seen
  for (size_t i = 0; i < bytes.size(); i++) {
    std::string bad = bytes;
    bad[i] = (char)(bad[i] ^ 0xA5);
    if (!DecodeRecords(bad.data(), bad.size(), s, Intern, nullptr)) {
      EXPECT_EQ(s->funcs.count, 0);
    }
    ForgetRecords(s);
  }
}

TEST_F(IndexTest, LinesComeBackWithRunsOfMarks) {
  LOG_GATHER g, back;
  LogGatherInit(&g, 0);
  LogGatherInit(&back, 0);
  LogGatherAppend(&g, LOG_GATHER_LINE0, "\tline\r\n", 7);
  for (int v : {0, 0, 0, 7, 7, 100}) LogGatherMark(&g, v);
  LogGatherAppend(&g, LOG_GATHER_RAW0, "NestMove\n", 9);
  LogGatherTrace(&g, "trace\r\n");
  LogGatherAppend(&g, LOG_GATHER_LINE1, "r", 1);
  LogGatherMark(&g, 100);
  std::string bytes;
  ASSERT_EQ(EncodeLines(&g, &bytes), 1);
  ASSERT_EQ(DecodeLines(bytes.data(), bytes.size(), &back), 1);
  auto text = [](const LOG_GATHER *x) {
    std::string out;
    LogGatherForEach(
        x,
        [](void *ctx, int kind, const char *b, size_t n) {
          *(std::string *)ctx += std::to_string(kind) + ":" + std::string(b, n) + "|";
          return 1;
        },
        &out);
    return out;
  };
  EXPECT_EQ(text(&back), text(&g));
  EXPECT_LT(bytes.size(), 60u);  // six marks in three runs
  // A cut or a wrong kind is refused.
  LOG_GATHER cut;
  LogGatherInit(&cut, 0);
  EXPECT_EQ(DecodeLines(bytes.data(), bytes.size() - 1, &cut), 0);
  LogGatherRelease(&cut);
  std::string bad = bytes;
  bad[0] = 9;
  LogGatherInit(&cut, 0);
  EXPECT_EQ(DecodeLines(bad.data(), bad.size(), &cut), 0);
  for (LOG_GATHER *x : {&g, &back, &cut}) LogGatherRelease(x);
}

TEST_F(IndexTest, TakesWhatItKeptWithItsLinesAndParsesWhatChanged) {
  LogSetLevel(1);
  std::vector<std::string> paths = {Source("a.c", kC), Source("b.c", kC), Source("lost.c", kLost)};
  IndexReport first = Analyse(paths, true);
  EXPECT_EQ(first.parsed, 3);
  EXPECT_EQ(first.from_index, 0);
  std::string records = AllRecords();
  std::string log = DebugLog();
  LogShutdown();
  LogOpen(0, "debug");
  IndexReport again = Analyse(paths, true);
  EXPECT_EQ(again.from_index, 3);
  EXPECT_EQ(AllRecords(), records);
  EXPECT_EQ(DebugLog(), log);

  // Same size, same time, other bytes: the content hash tells.
  struct stat st;
  ASSERT_EQ(stat(paths[1].c_str(), &st), 0);
  std::string other = kC;
  other[other.find("helper(x, 1)") + 10] = '2';
  WriteFile(paths[1], other);
  struct timespec times[2] = {st.st_atim, st.st_mtim};
  ASSERT_EQ(utimensat(AT_FDCWD, paths[1].c_str(), times, 0), 0);
  IndexReport changed = Analyse(paths, true);
  EXPECT_EQ(changed.from_index, 2);
  EXPECT_EQ(changed.parsed, 1);
  // Another log level is not kept yet: parsed again once, then kept too.
  LogSetLevel(0);
  EXPECT_EQ(Analyse(paths, true).parsed, 3);
  EXPECT_EQ(Analyse(paths, true).from_index, 3);
  LogSetLevel(1);
  EXPECT_EQ(Analyse(paths, true).from_index, 3);
}

TEST_F(IndexTest, ASourceThatChangedWhileReadIsNotKept) {
  std::string path = Source("a.c", kC);
  RunPaths({path});
  IndexOptions o;
  o.file = file_;
  ST_INDEX *ix = IndexOpen(o);
  ASSERT_NE(IndexStore(ix), nullptr);
  const SourceStore *store = IndexStore(ix);
  ST_SOURCE *s = (ST_SOURCE *)CB_Next(&ANA.sources, nullptr)->data;
  SourceStamp moving{(int64_t)strlen(kC), 1, 2, 0};
  store->keep(store->self, s, &moving, nullptr);
  IndexClose(&ix);
  std::string info;
  ASSERT_EQ(IndexDescribe(file_, &info), 1);
  EXPECT_NE(info.find("sources: 0"), std::string::npos) << info;
}

TEST_F(IndexTest, AFullOrReadOnlyDiskLeavesTheAnalysisAsWithout) {
  std::vector<std::string> paths = {Source("a.c", kC), Source("b.c", kC)};
  Analyse(paths, false);
  std::string without = AllRecords();
  for (int rc : {SQLITE_FULL, SQLITE_READONLY, SQLITE_IOERR_WRITE}) {
    RemoveTree(file_);
    fail_ = rc;
    IndexReport r = Analyse(paths, true, FaultyVfs());
    EXPECT_EQ(AllRecords(), without);
    EXPECT_NE(r.note.find("cannot be written"), std::string::npos) << rc << ": " << r.note;
    fail_ = SQLITE_OK;
    // Nothing half written: the next analysis takes nothing, parses all.
    IndexReport next = Analyse(paths, true);
    EXPECT_EQ(next.from_index, 0) << rc;
    EXPECT_EQ(next.note, "");
  }
}

TEST_F(IndexTest, AnIndexHeldByAnotherProgramOrALinkIsLeftAlone) {
  std::vector<std::string> paths = {Source("a.c", kC)};
  Analyse(paths, true);
  int lock = LockPrivateFile((file_ + ".lock").c_str());
  ASSERT_GE(lock, 0);
  IndexReport busy = Analyse(paths, true);
  EXPECT_FALSE(busy.used);
  EXPECT_NE(busy.note.find("another program"), std::string::npos);
  UnlockPrivateFile(lock);
  EXPECT_EQ(Analyse(paths, true).from_index, 1);

  std::string target = dir_ + "/target";
  WriteFile(target, "precious");
  file_ = dir_ + "/linked.db";
  ASSERT_EQ(symlink(target.c_str(), file_.c_str()), 0);
  IndexReport linked = Analyse(paths, true);
  EXPECT_FALSE(linked.used);
  EXPECT_NE(linked.note.find("not a file of yours"), std::string::npos);
  EXPECT_EQ(ReadFile(target), "precious");
}

}  // namespace
}  // namespace velmora_test

namespace velmora_test {
namespace {

// A front that keeps the project open replaces one entry at a time; with
// no lines kept, the next full analysis parses that source once more.
TEST_F(IndexTest, OneSourceReplacedOnItsOwn) {
  std::vector<std::string> paths = {Source("a.c", kC), Source("b.c", kC)};
  Analyse(paths, true);
  WriteFile(paths[0], std::string(kC) + "int more(void) { return api(1); }\n");
  ReleaseANA();
  ASSERT_EQ(CreateANA(), 1);
  RunPaths(paths);  // the front's own analysis, without the index
  IndexOptions o;
  o.file = file_;
  ST_INDEX *ix = IndexOpen(o);
  ST_SOURCE *a = (ST_SOURCE *)CB_Next(&ANA.sources, nullptr)->data;
  EXPECT_EQ(IndexKeepSource(ix, a), 1);
  IndexClose(&ix);
  std::string info;
  ASSERT_EQ(IndexDescribe(file_, &info), 1);
  EXPECT_NE(info.find("sources: 2, 2 unchanged"), std::string::npos) << info;
  EXPECT_NE(info.find("a.c parser 0, 3 functions, 5 calls, log levels none"), std::string::npos)
      << info;
  IndexReport next = Analyse(paths, true);
  EXPECT_EQ(next.from_index, 1);
  EXPECT_EQ(next.parsed, 1);
  EXPECT_EQ(Analyse(paths, true).from_index, 2);
}

}  // namespace
}  // namespace velmora_test
