// The shared ground of the fuzz targets (see fuzz_support.h). Everything a run
// writes lands in one private folder below $TMPDIR, so the fuzzers can run
// for hours without touching the desktop or filling the disk: the log files
// are emptied before every input and pictures are never rendered.
#include "fuzz/fuzz_support.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <ftw.h>
#include <sys/stat.h>
#include <unistd.h>

#include "engine/ana.h"
#include "engine/record_walk.h"
#include "foundation/cb.h"
#include "foundation/hash.h"
#include "foundation/log.h"
#include "foundation/memory.h"
#include "foundation/ports.h"
#include "foundation/settings.h"
#include "foundation/text.h"
#include "graph/graph.h"
#include "platform/files.h"
#include "platform/keys.h"
#include "shell/ext_hooks.h"
#include "xref/calltree.h"
#include "xref/row_text.h"
#include "xref/xref.h"

namespace velmora_fuzz {
namespace {

// Result views that take everything and keep only what the checks need:
// every text must be a terminated string, every tree node gets a fresh id.
struct SinkViews : ResultViews, ResultsSink {
  size_t bytes = 0;    // Result text received for the current input
  intptr_t nodes = 0;  // CallTree nodes handed out
  int HasView(int) override { return 1; }
  // Every row's cells are made, as a list showing them would.
  int TakesRows(int) override { return 1; }
  void AddFunctionRows(const FunctionRow *rows, size_t n) override {
    std::string cells;
    for (size_t k = 0; k < n; k++) AppendFunctionCells(cells, rows[k]);
    Touch(cells.c_str());
  }
  void AddCallRows(const CallRow *rows, size_t n) override {
    std::string cells;
    for (size_t k = 0; k < n; k++) AppendCallCells(cells, rows[k]);
    Touch(cells.c_str());
  }
  void SetCalled(size_t, const int *called, size_t n) override {
    for (size_t k = 0; k < n; k++)
      if (called[k] != 0 && called[k] != 1) FuzzFail("SetCalled: a value other than 0 or 1");
  }
  TREEITEM TreeInsert(TREEITEM, const char *text) override {
    Touch(text);
    return reinterpret_cast<TREEITEM>(++nodes);
  }
  void TreeSetImage(TREEITEM item, int k) override {
    if (!item || k < 0 || k > 5) FuzzFail("TreeSetImage: bad node or picture");
  }
  void TreeClear() override { nodes = 0; }
  int TreeItemCount() override { return (int)nodes; }
  void AppendResult(const char *text) override { Touch(text); }
  // Reading the whole text lets ASan see a missing terminator.
  void Touch(const char *text) {
    if (text) bytes += strlen(text);
  }
};

// The progress window: its texts are read like the desktop program would.
struct SinkProgress : ProgressSink {
  void SetFunctionProgress(int percent) override { Range(percent); }
  void SetSourceProgress(int percent) override { Range(percent); }
  void SetPass(int) override {}
  void SetDetail(const char *text) override {
    if (text) (void)strlen(text);
  }
  void SetPhase(int) override {}
  static void Range(int percent) {
    if (percent < 0 || percent > 100) FuzzFail("progress outside 0..100");
  }
};

struct State {
  bool ready = false;
  std::string dir;  // private folder of the process
  SinkViews views;
  SinkProgress progress;
};

State &S() {
  static State s;
  return s;
}

// Empties both log files, so a long run neither fills the disk nor rotates.
void EmptyLogs(void) {
  for (int ch = 0; ch < 2; ch++) {
    const char *p = LogFilePath(ch);
    if (p && *p) TruncateFile(p);
  }
}

// Removes the private folder when the fuzzer ends normally (a crash keeps it).
void RemoveDir(void) {
  const std::string &dir = S().dir;
  if (dir.empty()) return;
  nftw(
      dir.c_str(), [](const char *p, const struct stat *, int, struct FTW *) { return remove(p); },
      16, FTW_DEPTH | FTW_PHYS);
}

}  // namespace

void FuzzFail(const char *what) {
  fprintf(stderr, "velmora fuzz: %s\n", what);
  fflush(stderr);
  abort();
}

const std::string &FuzzDir(void) {
  return S().dir;
}

std::string FuzzWriteFile(const char *name, const uint8_t *data, size_t size) {
  std::string path = S().dir + "/" + name;
  FILE *f = fopen(path.c_str(), "wb");
  if (!f) FuzzFail("cannot write an input file");
  if (size && fwrite(data, 1, size, f) != size) FuzzFail("cannot write an input file");
  fclose(f);
  return path;
}

void FuzzDefaultSettings(void) {
  ResetConfiguration();
  g_config.DISPLAY_GRAPH = 1;
  g_config.DEBUG_LOG = 2;
  LogSetLevel(2);
  EmptyLogs();
  InitGraphTools();
  InstallExtHooks();  // as start-up does: MUSIC and CORRELATION reach ext/
  // No renderer is ever started here, so graph output stays on whether or
  // not dot is installed.
  graph_enabled = 1;
}

void FuzzInit(void) {
  State &s = S();
  if (s.ready) return;
  const char *tmp = getenv("TMPDIR");
  std::string tmpl = std::string(tmp && *tmp ? tmp : "/tmp") + "/velmora-fuzz-XXXXXX";
  if (!mkdtemp(&tmpl[0])) FuzzFail("cannot make a private folder");
  s.dir = tmpl;
  atexit(RemoveDir);
  std::string desk = s.dir + "/Desktop";
  mkdir(desk.c_str(), 0700);
  setenv("HOME", s.dir.c_str(), 1);
  setenv("XDG_DESKTOP_DIR", desk.c_str(), 1);
  setenv("XDG_CONFIG_HOME", (s.dir + "/.config").c_str(), 1);
  setenv("XDG_DATA_HOME", (s.dir + "/.local/share").c_str(), 1);
  setenv("XDG_CONFIG_DIRS", (s.dir + "/etc/xdg").c_str(), 1);
  setenv("XDG_DATA_DIRS", (s.dir + "/usr/share").c_str(), 1);
  setenv("TMPDIR", s.dir.c_str(), 1);
  // The trace is converted and written like in a real run, then discarded.
  setenv("VELMORA_TRACE", "/dev/null", 1);

  LogShutdown();
  LogOpen(0, "debug");
  LogOpen(1, "result");
  SetGraphFilePath((s.dir + "/fuzz.dot").c_str());
  FuzzDefaultSettings();
  EscapeSetPoll(nullptr);
  if (CreateANA() != 1) FuzzFail("CreateANA failed");
  s.ready = true;
}

namespace {

// Polls of the stop key left until it reads as pressed; 0: never.
int g_polls_left = 0;

int CountdownPoll(void) {
  return g_polls_left > 0 && --g_polls_left == 0 ? 1 : 0;
}

}  // namespace

void FuzzAnalyseFile(const char *path, int max_trees, int stop_at_poll) {
  State &s = S();
  s.views.bytes = 0;
  s.views.nodes = 0;
  EmptyLogs();
  g_polls_left = stop_at_poll;
  EscapeSetPoll(stop_at_poll > 0 ? CountdownPoll : nullptr);
  unsigned live = MemLiveCount();

  CB paths = {};
  CB_Init(&paths);
  AddCB(&paths, path, (int)strlen(path) + 1);
  ANA_SourceCreateAll(&s.progress, &paths);
  CB_Init(&paths);

  // The analysis job: one ANA_Exec to name the source, then parse turns. A
  // stop ends the job there, as the worker does.
  ANA_EXEC exec = {};
  ANA_ExecBegin(&exec);
  char name[260] = "";
  ANA_Exec(&exec, &s.progress, name, -1);
  int r = 0;
  long turns = 0;
  bool stopped = false;
  while ((r = ANA_Exec(&exec, &s.progress, name, 0)) != -2) {
    if (r == -3) {
      if (!stop_at_poll) FuzzFail("ANA_Exec stopped without a stop request");
      stopped = true;
      break;
    }
    if (r < -3 || r > 100) FuzzFail("ANA_Exec returned a value outside -3..100");
    if (++turns > 100000000L) FuzzFail("ANA_Exec does not finish");
  }
  ANA_ExecRelease(&exec);

  if (!stopped) {
    ANA_MakeFunctionList(&s.views);
    int total = ANA_BeginCallList();
    int linked = 0;
    while ((r = ANA_LinkNextSource(&s.views)) != -1) {
      if (r < 1 || r > total + 1 || ++linked > total + 1)
        FuzzFail("ANA_LinkNextSource out of step");
    }
    ANA_UpdateCalledColumn(&s.views);
    TreeTools tools{&g_tree_wiring, &s.views, nullptr};

    int trees = 0;
    ForEachFunction([&](ST_FUNC *f) {
      if (trees++ >= max_trees) return WalkResult::kStop;
      if (ANA_FindFunction(f->sid, f->fid) != f) FuzzFail("ANA_FindFunction misses a function");
      s.views.TreeClear();
      anon_counter = 0;
      output_flags = 15;
      flags_shown = 0;
      r = ANA_MakeCallStackTree(tools, f, g_config.MAX_CALL_NEST);
      if (r != 1 && !(r == -1 && stop_at_poll))
        FuzzFail("ANA_MakeCallStackTree did not build a tree");
      return WalkResult::kGoOn;
    });
  }
  EscapeSetPoll(nullptr);

  ANA_SourceRelease();
  // The index still holds the released functions until the next function
  // list; emptying it here is what that list would do first.
  if (ANA.func_index) HASH2_Init(ANA.func_index);
  if (MemLiveCount() != live) {
    fprintf(stderr, "velmora fuzz: %u blocks before the input, %u after\n", live, MemLiveCount());
    FuzzFail("MemAlloc blocks leaked by one analysis");
  }
}

}  // namespace velmora_fuzz
