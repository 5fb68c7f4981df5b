// Call-tree throughput. Without --corpus: a generated project of N functions
// (each calling up to eight others and one undefined function) expanded from
// its root with the text tree, a counting stand-in for the views, the result
// log and the graph description all on; prints nodes per second. With
// --corpus: every .c and .h file below DIR is analysed and linked as the
// analysis job does it, then the tree below the function NAME (the first of
// that name, or SID:FID) is built with graph output on and off, each the best
// of REPEAT runs; callers:NAME builds the callers tree of NAME instead.
//
//   bench_calltree [N=100000] [log 0/1]
//   bench_calltree --corpus DIR NAME|callers:NAME [REPEAT=3]
// Runs on a scratch desktop folder, removed afterwards.
// bench-links: velmora_graph
#include <sys/resource.h>

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
#include "foundation/memory.h"
#include "foundation/ports.h"
#include "foundation/settings.h"
#include "foundation/text.h"
#include "graph/graph.h"
#include "support/null_views.h"
#include "support_corpus.h"
#include "support_scratch.h"
#include "xref/callers.h"
#include "xref/calltree.h"
#include "xref/xref.h"

namespace {

// Views that only count what they receive.
struct CountingViews : velmora_test::NullViews {
  size_t text_bytes = 0, nodes = 0;
  TREEITEM TreeInsert(TREEITEM, const char *) override {
    return reinterpret_cast<TREEITEM>(++nodes);
  }
  int TreeItemCount() override { return (int)nodes; }
  void AppendResult(const char *t) override {
    while (*t++) text_bytes++;
  }
};

double Seconds(std::chrono::steady_clock::time_point t0) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

double CpuSeconds(void) {
  struct rusage ru;
  getrusage(RUSAGE_SELF, &ru);
  return ru.ru_utime.tv_sec + ru.ru_stime.tv_sec +
         (ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e6;
}

ST_FUNC *FindRoot(const char *name) {
  int sid = 0, fid = 0;
  if (sscanf(name, "%d:%d", &sid, &fid) == 2) return ANA_FindFunction(sid, fid);
  ST_FUNC *found = nullptr;
  ForEachFunction([&](ST_FUNC *f) {
    if (strcmp(f->name, name) == 0) found = f;
    return found ? WalkResult::kStop : WalkResult::kGoOn;
  });
  return found;
}

// The largest tree of a real project, as the call-tree job builds it.
int CorpusMain(const std::string &dir, const char *name, int repeat) {
  bench::Scratch scratch("velmora-calltree");
  if (!scratch.ok()) return 1;
  setenv("XDG_DESKTOP_DIR", scratch.path().c_str(), 1);
  ResetConfiguration();
  LogSetLevel(0);
  LogOpen(1, "result");  // the tree's text goes to the result log, as in the job
  CopyText(g_config.DOT_EXE, sizeof g_config.DOT_EXE, "/usr/bin/dot");
  CopyText(g_config.GRAPH_VIEWER, sizeof g_config.GRAPH_VIEWER, "/bin/true");
  SetGraphFilePath((scratch.path() + "/velmora.dot").c_str());
  CreateANA();

  bench::Corpus corpus = bench::AnalyseCorpus(dir);
  if (corpus.files == 0) {
    fprintf(stderr, "bench_calltree: no .c or .h file below %s\n", dir.c_str());
    return 1;
  }
  printf("corpus: %zu files, %.1f MB, analysed and linked in %.1f s\n", corpus.files,
         corpus.bytes / 1e6, corpus.seconds);

  bool callers = strncmp(name, "callers:", 8) == 0;
  if (callers) name += 8;
  ST_FUNC *root = FindRoot(name);
  if (!root) {
    fprintf(stderr, "bench_calltree: no function %s\n", name);
    return 1;
  }
  CountingViews views;
  TreeWiring wiring = {};
  GraphTreePorts(&wiring);
  TreeTools tools{&wiring, &views, nullptr};
  for (int graph = 1; graph >= 0; graph--) {
    g_config.DISPLAY_GRAPH = graph;
    InitGraphTools();
    double best = 1e30, best_cpu = 1e30;
    for (int r = 0; r < repeat; r++) {
      views = CountingViews();
      anon_counter = 0;
      flags_shown = 0;
      output_flags = 15;
      ResetGraphFile();
      double c0 = CpuSeconds();
      auto t1 = std::chrono::steady_clock::now();
      if (callers)
        ANA_MakeCallersTree(tools, root, g_config.MAX_CALL_NEST);
      else
        ANA_MakeCallStackTree(tools, root, g_config.MAX_CALL_NEST);
      best = std::min(best, Seconds(t1));
      best_cpu = std::min(best_cpu, CpuSeconds() - c0);
    }
    printf(
        "%s %s%s (SID:%d,FID:%d), graph %s: %zu nodes, %zu text bytes, %d graph bytes, "
        "%.3f s (cpu %.3f s)\n",
        callers ? "callers tree" : "tree", root->scope, root->name, root->sid, root->fid,
        graph_enabled ? "on" : "off", views.nodes, views.text_bytes, GraphFileSize(), best,
        best_cpu);
  }
  struct rusage ru;
  getrusage(RUSAGE_SELF, &ru);
  printf("peak RSS %.1f MB\n", ru.ru_maxrss / 1024.0);
  FreeGraphTools();
  ReleaseANA();
  LogShutdown();
  return 0;
}

}  // namespace

int main(int argc, char **argv) {
  if (argc > 1 && strcmp(argv[1], "--corpus") == 0) {
    if (argc < 4) {
      fprintf(stderr, "usage: bench_calltree --corpus DIR NAME|callers:NAME [REPEAT]\n");
      return 2;
    }
    return CorpusMain(argv[2], argv[3], argc > 4 ? std::max(1, atoi(argv[4])) : 3);
  }
  int n = argc > 1 ? atoi(argv[1]) : 100000;
  int with_log = argc > 2 ? atoi(argv[2]) : 1;
  if (n < 1) n = 1;
  bench::Scratch scratch("velmora-calltree");
  if (!scratch.ok()) {
    fprintf(stderr, "bench_calltree: cannot make a scratch folder\n");
    return 1;
  }
  std::string dir = scratch.path();
  setenv("XDG_DESKTOP_DIR", dir.c_str(), 1);
  g_config.DISPLAY_GRAPH = 1;
  g_config.MAX_CALL_TABLE = 1023;
  CopyText(g_config.DOT_EXE, sizeof g_config.DOT_EXE, "/usr/bin/dot");
  CopyText(g_config.GRAPH_VIEWER, sizeof g_config.GRAPH_VIEWER, "/bin/true");
  SetGraphFilePath((dir + "/velmora.dot").c_str());
  InitGraphTools();
  if (with_log) {
    LogSetLevel(0);
    LogOpen(1, "result");
  }
  CreateANA();

  // Function i calls 8i+1 .. 8i+8 (those below n) and one undefined function.
  CHBUF *se = AddCB(&ANA.sources, nullptr, (int)sizeof(ST_SOURCE));
  ST_SOURCE *s = static_cast<ST_SOURCE *>(se->data);
  s->sid = 1;
  CopyText(s->name, sizeof s->name, "bench.c");
  CB_Init(&s->funcs);
  ST_FUNC **funcs = static_cast<ST_FUNC **>(MemAlloc(sizeof(ST_FUNC *) * (size_t)n));
  for (int i = 0; i < n; i++) {
    ST_FUNC *f = static_cast<ST_FUNC *>(AddCB(&s->funcs, nullptr, (int)sizeof(ST_FUNC))->data);
    f->sid = 1;
    f->fid = i + 1;
    f->source = s;
    // Scrambled names: the 32-bit key hash is weak on names that differ
    // in a digit or two, and colliding calls would be hidden as repeats.
    char name[16];
    FormatText(name, sizeof name, "fn_%08x", (unsigned)i * 2654435761u);
    f->name = ANA_Intern(name);
    f->scope = "";
    CB_Init(&f->calls);
    funcs[i] = f;
  }
  for (int i = 0; i < n; i++) {
    for (long k = 8L * i + 1; k <= 8L * i + 8 && k < n; k++) {
      ST_CALL *c =
          static_cast<ST_CALL *>(AddCB(&funcs[i]->calls, nullptr, (int)sizeof(ST_CALL))->data);
      c->caller = funcs[i];
      c->to_func = funcs[k];
      c->name = funcs[k]->name;
      c->scope = "";
    }
    ST_CALL *c =
        static_cast<ST_CALL *>(AddCB(&funcs[i]->calls, nullptr, (int)sizeof(ST_CALL))->data);
    c->caller = funcs[i];
    c->name = ANA_Intern("printf");
    c->scope = "";
    c->argc = 1;
  }

  CountingViews views;
  TreeWiring wiring = {};
  GraphTreePorts(&wiring);
  TreeTools tools{&wiring, &views, nullptr};
  output_flags = 15;
  auto t0 = std::chrono::steady_clock::now();
  int r = ANA_MakeCallStackTree(tools, funcs[0], 255);
  double secs = Seconds(t0);
  printf("result %d: %zu view nodes, %zu text bytes, %d graph bytes, log %s\n", r, views.nodes,
         views.text_bytes, GraphFileSize(), with_log ? "on" : "off");
  printf("%.3f s total, %.3f s per 10,000 nodes, %.0f nodes/s\n", secs,
         secs * 10000.0 / (double)views.nodes, (double)views.nodes / secs);

  MemFree(funcs);
  ReleaseANA();
  FreeGraphTools();
  LogShutdown();
  return 0;
}
