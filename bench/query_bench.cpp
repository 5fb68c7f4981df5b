// The query layer's answers on a large project: the time to make the index,
// then the median and the slowest of several runs of each question (ranked
// name searches of every length, callers of a widely called function, the
// function and the call at places all over the project). Without --corpus a
// project of N generated functions (default 600,000, the whole kernel
// tree's size) built by hand; with it, every .c and .h file below DIR
// analysed and linked as the analysis job does it.
//
//   bench_query [N=600000]
//   bench_query --corpus DIR [CALLEE=kfree]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "engine/ana.h"
#include "engine/record_walk.h"
#include "foundation/cb.h"
#include "foundation/log.h"
#include "foundation/settings.h"
#include "foundation/text.h"
#include "support_corpus.h"
#include "support_timing.h"
#include "support_scratch.h"
#include "xref/query.h"

using bench::Ms;
using bench::PrintTimes;
using bench::Time;

namespace {

// A project of n functions in sources of 100, named like a C tree's, each
// calling a few others and one undefined function.
void Generate(int n) {
  const char *stems[] = {"kfree", "mutex_lock", "init", "sched_tick", "do_work", "read_page"};
  ST_SOURCE *s = nullptr;
  std::vector<ST_FUNC *> funcs;
  for (int i = 0; i < n; i++) {
    if (i % 100 == 0) {
      s = static_cast<ST_SOURCE *>(AddCB(&ANA.sources, nullptr, (int)sizeof(ST_SOURCE))->data);
      s->sid = ANA.sources.count;
      FormatText(s->name, sizeof s->name, "file%d.c", s->sid);
      CB_Init(&s->funcs);
    }
    ST_FUNC *f = static_cast<ST_FUNC *>(AddCB(&s->funcs, nullptr, (int)sizeof(ST_FUNC))->data);
    char name[64];
    FormatText(name, sizeof name, "%s_%x", stems[i % 6], (unsigned)i * 2654435761u);
    f->source = s;
    f->sid = s->sid;
    f->fid = s->funcs.count;
    f->scope = i % 10 == 0 ? ANA_Intern("Klass::") : "";
    f->name = ANA_Intern(i % 1000 == 0 ? "kfree" : name);
    f->name_line = (i % 100) * 20;
    f->end_line = f->name_line + 15;
    CB_Init(&f->calls);
    funcs.push_back(f);
  }
  for (int i = 0; i < n; i++) {
    for (int k = 1; k <= 4; k++) {
      ST_CALL *c = static_cast<ST_CALL *>(
          AddCB(&funcs[(size_t)i]->calls, nullptr, (int)sizeof(ST_CALL))->data);
      ST_FUNC *to = funcs[(size_t)((i * 7919u + (unsigned)k * 104729u) % (unsigned)n)];
      if (k == 4) to = funcs[(size_t)(i % 1000 == 7 ? 0 : (i / 1000) * 1000)];  // the kfree ones
      c->caller = funcs[(size_t)i];
      c->to_func = to;
      c->to_sid = to->sid;
      c->to_fid = to->fid;
      c->scope = "";
      c->name = to->name;
      c->name_line = funcs[(size_t)i]->name_line + k;
      c->name_column = 4;
    }
  }
}

}  // namespace

int main(int argc, char **argv) {
  bool corpus = argc > 2 && strcmp(argv[1], "--corpus") == 0;
  const char *callee = corpus && argc > 3 ? argv[3] : "kfree";
  bench::Scratch scratch("velmora-query");
  if (!scratch.ok()) return 1;
  setenv("XDG_DESKTOP_DIR", scratch.path().c_str(), 1);
  ResetConfiguration();
  CreateANA();
  if (corpus) {
    bench::Corpus c = bench::AnalyseCorpus(argv[2]);
    if (c.files == 0) {
      fprintf(stderr, "bench_query: no .c or .h file below %s\n", argv[2]);
      return 1;
    }
    printf("corpus: %zu files, %.1f MB, analysed and linked in %.1f s\n", c.files, c.bytes / 1e6,
           c.seconds);
  } else {
    int n = argc > 1 ? atoi(argv[1]) : 600000;
    Generate(n > 0 ? n : 600000);
    printf("generated: %d functions\n", ANA_GetFuncCount());
  }

  auto t0 = std::chrono::steady_clock::now();
  ST_QUERY *q = CreateQuery();
  printf("%-44s %7.1f ms (%d functions)\n", "making the index", Ms(t0), Query_FunctionCount(q));
  if (!q) return 1;

  const int runs = 9;
  const char *searches[] = {"k",        "kf",    "kfree",   "mutex_lock", "mutex",
                            "init",     "_tick", "Klass::", "klass::do",  "no_such_name_at_all",
                            "READ_PAGE"};
  for (const char *s : searches) {
    char what[80];
    FormatText(what, sizeof what, "search \"%s\" (at most 200)", s);
    Time(what, runs, [&] { return Query_Search(q, s, 200).size(); });
  }
  Time("search \"e\", every match", runs, [&] { return Query_Search(q, "e", 0).size(); });
  std::vector<QueryFunction> named = Query_FunctionsNamed(q, callee);
  Time("functions named (the lookup rule)", runs,
       [&] { return Query_FunctionsNamed(q, callee).size(); });
  if (!named.empty()) {
    const QueryFunction &f = named[0];
    char what[80];
    FormatText(what, sizeof what, "callers of %s", callee);
    Time(what, runs, [&] { return Query_CallersOf(q, f.sid, f.fid).size(); });
    Time("calls of it", runs, [&] { return Query_CallsOf(q, f.sid, f.fid).size(); });
  }
  // Places spread over the project: a function and a call at each.
  std::vector<QueryFunction> spots;
  int sources = Query_SourceCount(q);
  for (int sid = 1; sid <= sources; sid += std::max(1, sources / 1000)) {
    std::vector<QueryFunction> fs = Query_FunctionsOf(q, sid);
    if (!fs.empty()) spots.push_back(fs[fs.size() / 2]);
  }
  Time("function at 1,000 places", runs, [&] {
    size_t found = 0;
    QueryFunction f;
    for (const QueryFunction &s : spots)
      found += Query_FunctionAt(q, s.sid, s.name_line + 1, 2, &f);
    return found;
  });
  Time("call at 1,000 places", runs, [&] {
    size_t found = 0;
    QueryCall c;
    for (const QueryFunction &s : spots) {
      std::vector<QueryCall> calls = Query_CallsOf(q, s.sid, s.fid);
      if (!calls.empty()) found += Query_CallAt(q, s.sid, calls[0].line, calls[0].column, &c);
    }
    return found;
  });
  ReleaseQuery(&q);
  ReleaseANA();
  return 0;
}
