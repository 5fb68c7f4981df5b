// Call-tree throughput: a generated project of N functions (each calling up to
// eight others and one undefined function) expanded from its root with the
// text tree, a counting stand-in for the views, the result log and the graph
// description all on. Prints nodes per second.
//
//   calltree_bench [N=100000] [log 0/1]
// Links against the graph library and the layers below it (Release build).
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "engine/ana.h"
#include "foundation/cb.h"
#include "foundation/log.h"
#include "foundation/memory.h"
#include "foundation/ports.h"
#include "foundation/settings.h"
#include "foundation/text.h"
#include "graph/graph.h"
#include "platform/files.h"
#include "xref/calltree.h"

namespace {

// Views that only count what they receive.
struct CountingViews : ResultViews {
  size_t text_bytes = 0, nodes = 0;
  int HasView(int) override { return 1; }
  void InsertRow(int, int, int, const char *) override {}
  void SetCell(int, int, int, const char *) override {}
  void GetCell(int, int, int, char *b, int n) override {
    if (b && n > 0) b[0] = 0;
  }
  void SetCellText(int, int, int, const char *) override {}
  int SelectedRow(int) override { return -1; }
  int RowCount(int) override { return 0; }
  void DeleteRows(int) override {}
  TREEITEM TreeInsert(TREEITEM, const char *) override {
    return reinterpret_cast<TREEITEM>(++nodes);
  }
  void TreeSetImage(TREEITEM, int) override {}
  void TreeClear() override {}
  int TreeItemCount() override { return (int)nodes; }
  void AppendResult(const char *t) override {
    while (*t++) text_bytes++;
  }
};

}  // namespace

int main(int argc, char **argv) {
  int n = argc > 1 ? atoi(argv[1]) : 100000;
  int with_log = argc > 2 ? atoi(argv[2]) : 1;
  if (n < 1) n = 1;
  std::string dir = std::string(getenv("TMPDIR") ? getenv("TMPDIR") : "/tmp") + "/calltree-bench";
  MakeDirs(dir.c_str());
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
    FormatText(f->name, sizeof f->name, "fn_%08x", (unsigned)i * 2654435761u);
    CB_Init(&f->calls);
    funcs[i] = f;
  }
  for (int i = 0; i < n; i++) {
    for (long k = 8L * i + 1; k <= 8L * i + 8 && k < n; k++) {
      ST_CALL *c =
          static_cast<ST_CALL *>(AddCB(&funcs[i]->calls, nullptr, (int)sizeof(ST_CALL))->data);
      c->caller = funcs[i];
      c->to_func = funcs[k];
      CopyText(c->name, sizeof c->name, funcs[k]->name);
    }
    ST_CALL *c =
        static_cast<ST_CALL *>(AddCB(&funcs[i]->calls, nullptr, (int)sizeof(ST_CALL))->data);
    c->caller = funcs[i];
    CopyText(c->name, sizeof c->name, "printf");
    c->argc = 1;
  }

  CountingViews views;
  g_views = &views;
  output_flags = 15;
  auto t0 = std::chrono::steady_clock::now();
  int r = ANA_MakeCallStackTree(funcs[0], 255);
  double secs = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  printf("result %d: %zu view nodes, %zu text bytes, %d graph bytes, log %s\n", r, views.nodes,
         views.text_bytes, GraphFileSize(), with_log ? "on" : "off");
  printf("%.3f s total, %.3f s per 10,000 nodes, %.0f nodes/s\n", secs,
         secs * 10000.0 / (double)views.nodes, (double)views.nodes / secs);

  g_views = nullptr;
  MemFree(funcs);
  ReleaseANA();
  FreeGraphTools();
  LogShutdown();
  return 0;
}
