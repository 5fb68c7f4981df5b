// The analysis worker and its job loop. One turn reads JobState, performs that
// state's step and pauses; the job ends when the state returns to 0. The user
// is reached only through the ports of the job's start record; a stop request
// from shutdown makes the loop leave at its next check without touching them.
#include "shell/worker.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "foundation/log.h"
#include "foundation/memory.h"
#include "foundation/settings.h"
#include "foundation/text.h"
#include "foundation/trace.h"
#include "graph/graph.h"
#include "platform/codepage.h"
#include "platform/files.h"
#include "platform/keys.h"
#include "platform/sys.h"
#include "platform/thread.h"
#include "shell/paths.h"
#include "xref/calltree.h"
#include "xref/xref.h"

std::atomic<int> JobState{0};
CB *ProjectFiles = nullptr;
char MessageBuffer[260];
int entry_counter = 0;
uint32_t last_report = 0;

const WorkerTiming kDesktopTiming = {16, PAUSE_YIELD, 500, 100, 200};
const WorkerTiming kHeadlessTiming = {0, 0, 0, 0, 0};
WorkerTiming g_worker_timing = kDesktopTiming;
ShellFront g_front = {nullptr, nullptr, nullptr, 1, 1};

namespace {

// Texts of the job, Shift_JIS.
// "処理スレッドの作成に失敗しました。"
const char kNoThread[] =
    "\217\210\227\235\203X\203\214\203b\203h\202\314\215\354\220\254\202\311\216\270\224s\202\265"
    "\202\334\202\265\202\275\201B";
// "解析対象ファイルが存在しません。\r\n処理を中断します。"
const char kNoFiles[] =
    "\211\360\220\315\221\316\217\333\203t\203@\203C\203\213\202\252\221\266\215\335\202\265\202"
    "\334\202\271\202\361\201B\r\n\217\210\227\235\202\360\222\206\222f\202\265\202\334\202\267"
    "\201B";
// "中断します。"
const char kStopping[] = "\222\206\222f\202\265\202\334\202\267\201B";
// "関数が検出できませんでした。"
const char kNoFunctions[] =
    "\212\326\220\224\202\252\214\237\217o\202\305\202\253\202\334\202\271\202\361\202\305\202\265"
    "\202\275\201B";
// "中断しました。"
const char kInterrupted[] = "\222\206\222f\202\265\202\334\202\265\202\275\201B";
// "かなり巨大なグラフを作成しています。\r\nコーヒーでも飲みながらお待ちください。"
const char kGraphHuge[] =
    "\202\251\202\310\202\350\213\220\221\345\202\310\203O\203\211\203t\202\360\215\354\220\254\202"
    "\265\202\304\202\242\202\334\202\267\201B\r\n\203R\201[\203q\201[\202\305\202\340\210\371\202"
    "\335\202\310\202\252\202\347\202\250\221\322\202\277\202\255\202\276\202\263\202\242\201B";
// "大き目のグラフを作成しています。\r\nしばらくお待ちください。"
const char kGraphLarge[] =
    "\221\345\202\253\226\332\202\314\203O\203\211\203t\202\360\215\354\220\254\202\265\202\304\202"
    "\242\202\334\202\267\201B\r\n\202\265\202\316\202\347\202\255\202\250\221\322\202\277\202\255"
    "\202\276\202\263\202\242\201B";
// "グラフを作成しています。\r\n少々お待ちください。"
const char kGraphSmall[] =
    "\203O\203\211\203t\202\360\215\354\220\254\202\265\202\304\202\242\202\334\202\267\201B\r\n"
    "\217\255\201X\202\250\221\322\202\277\202\255\202\276\202\263\202\242\201B";
// "処理中は受け付けません。"
const char kBusy[] =
    "\217\210\227\235\222\206\202\315\216\363\202\257\225t\202\257\202\334\202\271\202\361\201B";
// "関数呼出木を作成しています。"
const char kMakingTree[] =
    "\212\326\220\224\214\304\217o\226\330\202\360\215\354\220\254\202\265\202\304\202\242\202\334"
    "\202\267\201B";
const char kAllocError[] = "Memory Alloc Error!";
const char kNoDialog[] = "CreateDialogParam failed.\r\nstop processing.";

// Graph descriptions above these sizes get the longer waiting messages.
enum { kLargeGraph = 10240, kHugeGraph = 30720 };
// Renderer polls of the terminal program: often, but without spinning.
enum { kHeadlessPollMs = 2 };

// The job's own copy of its start record and the loop's locals; touched only
// by the worker thread while it runs.
struct Job {
  WorkerParams p;         // the start record
  const char *next_path;  // next dropped path to collect
  int i;                  // dropped path, source or link step in progress
  int count;              // sources registered
};

Job g_job;
ThreadHandle g_thread = nullptr;  // the worker thread, until joined
std::atomic<int> g_stop{0};       // shutdown asks the loop to leave
int g_fail_next_start = 0;        // test hook

bool Stopping() {
  return g_stop.load(std::memory_order_acquire) != 0;
}

void Pause(unsigned ms) {
  if (ms == PAUSE_YIELD)
    YieldCpu();
  else if (ms > 0)
    SleepMs(ms);
}

// Port calls of the worker: a missing window ignores them, and so does a
// worker asked to stop for shutdown.
void Warn(const char *text) {
  if (!Stopping() && g_job.p.main_window) g_job.p.main_window->ShowWarning(text);
}
void Status(const char *text) {
  if (!Stopping() && g_job.p.main_window) g_job.p.main_window->SetStatusText(text);
}
void Select(int view) {
  if (!Stopping() && g_job.p.main_window) g_job.p.main_window->SelectView(view);
}
int Current() {
  return !Stopping() && g_job.p.main_window ? g_job.p.main_window->CurrentView() : 0;
}
void Drops(int on) {
  if (!Stopping() && g_job.p.main_window) g_job.p.main_window->AcceptDrops(on);
}
void Redraw() {
  if (!Stopping() && g_job.p.main_window) g_job.p.main_window->Repaint();
}
void Detail(const char *text) {
  if (!Stopping() && g_job.p.progress) g_job.p.progress->SetDetail(text);
}
void FuncBar(int p) {
  if (!Stopping() && g_job.p.progress) g_job.p.progress->SetFunctionProgress(p);
}
void SourceBar(int p) {
  if (!Stopping() && g_job.p.progress) g_job.p.progress->SetSourceProgress(p);
}
void PassLine(int n) {
  if (!Stopping() && g_job.p.progress) g_job.p.progress->SetPass(n);
}
void PhaseLine(int k) {
  if (!Stopping() && g_job.p.progress) g_job.p.progress->SetPhase(k);
}
void WaitText(const char *text) {
  if (!Stopping() && g_job.p.wait_box) g_job.p.wait_box->SetWaitText(text);
}

// Status text of entry k; the Result view's entry (5) is past the table and
// shows the last text, the one that invites a new tree or a new drop.
const char *StatusText(int k) {
  if (k < 0) k = 0;
  if (k > 4) k = 4;
  return g_config.STAT_MESS[k];
}

void ReleasePaths() {
  MemFree(g_job.p.paths);
  g_job.p.paths = nullptr;
  g_job.next_path = nullptr;
}

// ---- analysis job --------------------------------------------------------

void StartAnalysis() {  // state 1
  if (ProjectFiles) ReleaseCB(&ProjectFiles);
  ProjectFiles = CreateCB();
  if (!ProjectFiles) {
    Warn(kAllocError);
    JobState = 0;
    return;
  }
  MessageBuffer[0] = 0;
  Detail(MessageBuffer);
  PassLine(0);
  SourceBar(0);
  FuncBar(0);
  Select(VIEW_FUNCTIONS);
  Status(StatusText(2));
  entry_counter = 0;
  last_report = 0;
  g_job.i = 0;
  g_job.next_path = g_job.p.paths;
  JobState = 2;
}

void CollectOnePath() {  // state 2
  int n = g_job.p.path_count;
  if (g_job.i < n && g_job.next_path) {
    SourceBar(g_job.i * 100 / n);
    GetDirFile(g_job.p.progress, ProjectFiles, "", g_job.next_path);
    g_job.next_path += strlen(g_job.next_path) + 1;
    g_job.i++;
  }
  if (g_job.i >= n || !g_job.next_path) {
    SourceBar(100);
    ReleasePaths();
    JobState = 3;
  }
}

void CheckCollected() {  // state 3
  if (!ProjectFiles || ProjectFiles->count == 0) {
    Warn(kNoFiles);
    ReleaseCB(&ProjectFiles);
    JobState = 0;
    return;
  }
  Pause(g_worker_timing.settle_ms);
  JobState = 4;
}

void RegisterSources() {  // state 4
  g_job.count = ProjectFiles ? ProjectFiles->count : 0;
  if (g_job.count == 0) {
    JobState = 0;
    return;
  }
  Status(StatusText(1));
  ANA_SourceCreateAll(Stopping() ? nullptr : g_job.p.progress, ProjectFiles);
  ANA_Exec(g_job.p.progress, MessageBuffer, -1);
  Detail(MessageBuffer);
  PhaseLine(1);
  PassLine(1);
  SourceBar(100 / g_job.count);
  FuncBar(0);
  g_job.i = 1;
  JobState = 5;
}

void ParseSource() {  // state 5
  int r;
  for (;;) {
    r = ANA_Exec(g_job.p.progress, MessageBuffer, 0);
    if (r < 0 || r > 100 || Stopping()) break;
    FuncBar(r);
  }
  if (Stopping()) return;
  Detail(MessageBuffer);
  if (r == -3) {
    Warn(kStopping);
    if (g_job.p.main_window) g_job.p.main_window->Destroy(WINDOW_PROGRESS);
    g_job.p.progress = nullptr;  // gone: state 0 must not close it again
    Pause(g_worker_timing.short_ms);
    Drops(1);
    JobState = 0;
  } else if (r == -1) {
    g_job.i++;
    SourceBar(std::min(100, g_job.i * 100 / g_job.count));
  } else if (r < 0) {
    JobState = 6;
  }
}

void MakeLists() {  // state 6
  PassLine(2);
  ANA_MakeFunctionList();
  g_job.count = ANA_BeginCallList();
  CopyText(MessageBuffer, sizeof MessageBuffer, "set ID.");
  Detail(MessageBuffer);
  FuncBar(0);
  SourceBar(100);
  g_job.i = 0;
  JobState = 7;
}

void LinkOneSource() {  // state 7
  CopyText(MessageBuffer, sizeof MessageBuffer, "link Function.");
  Detail(MessageBuffer);
  PhaseLine(2);
  int r = ANA_LinkNextSource();
  int bar;
  if (r == -1) {
    JobState = 8;
    bar = 100;
  } else {
    bar = g_job.count > 0 ? std::min(100, r * 100 / g_job.count) : 0;
  }
  FuncBar(bar);
  SourceBar(100);
}

void FinishAnalysis() {  // state 8
  Pause(g_worker_timing.short_ms);
  JobState = 0;
  ANA_UpdateCalledColumn();
  Redraw();
  Status(StatusText(2 + Current()));
  if (ANA_GetFuncCount() == 0) {
    Warn(kNoFunctions);
    ReleaseCB(&ProjectFiles);
    Status(StatusText(0));
  }
}

// ---- call-tree job -------------------------------------------------------

void StartTree() {  // state 10
  JobState = 11;
  Pause(g_worker_timing.short_ms);
  Select(VIEW_TREE);
}

void ExpandTree() {  // state 11
  int r = 0;
  if (g_job.p.root) {
    output_flags = 15;
    r = ANA_MakeCallStackTree(g_job.p.root, g_config.MAX_CALL_NEST);
  }
  Pause(g_worker_timing.settle_ms);
  if (r < 0) Warn(kInterrupted);
  JobState = 12;
}

void StartRenderer() {  // state 12
  if (g_job.p.render) {
    int s = GraphFileSize();
    if (s > 0) {
      const char *msg = s > kHugeGraph ? kGraphHuge : s > kLargeGraph ? kGraphLarge : kGraphSmall;
      CopyText(MessageBuffer, sizeof MessageBuffer, msg);
      WaitText(MessageBuffer);
    }
  }
  Pause(g_worker_timing.short_ms);
  if (g_job.p.render) RunRenderer();
  JobState = 13;
}

// state 13; returns the pause of this turn.
unsigned WaitRenderer() {
  if (!g_job.p.render || PollRenderer() == 1) {
    Pause(g_worker_timing.short_ms);
    JobState = 14;
  } else if (EscapePressed()) {
    Pause(g_worker_timing.short_ms);
    Warn(kInterrupted);
    JobState = 0;
  }
  return g_worker_timing.turn_ms ? g_worker_timing.turn_ms : (unsigned)kHeadlessPollMs;
}

void ShowTree() {  // state 14
  if (g_job.p.render && g_job.p.view) ShowGraphPicture();
  Status(StatusText(2 + VIEW_RESULT));
  Pause(g_worker_timing.show_ms);
  JobState = 0;
}

void EndJob() {  // state 0
  if (g_job.p.main_window && !Stopping()) {
    if (g_job.p.wait_box) g_job.p.main_window->Close(WINDOW_WAITBOX);
    if (g_job.p.progress) g_job.p.main_window->Close(WINDOW_PROGRESS);
    g_job.p.main_window->AcceptDrops(1);
  }
}

void WorkerMain(void *) {
  for (;;) {
    if (Stopping()) break;
    int state = JobState.load();
    unsigned pause = g_worker_timing.turn_ms;
    switch (state) {
      case 0:
        EndJob();
        ReleasePaths();
        return;
      case 1:
        StartAnalysis();
        break;
      case 2:
        CollectOnePath();
        break;
      case 3:
        CheckCollected();
        break;
      case 4:
        RegisterSources();
        break;
      case 5:
        ParseSource();
        pause = g_worker_timing.busy_turn_ms;
        break;
      case 6:
        MakeLists();
        break;
      case 7:
        LinkOneSource();
        pause = g_worker_timing.busy_turn_ms;
        break;
      case 8:
        FinishAnalysis();
        break;
      case 9:
        break;
      case 10:
        StartTree();
        break;
      case 11:
        ExpandTree();
        break;
      case 12:
        StartRenderer();
        break;
      case 13:
        pause = WaitRenderer();
        break;
      case 14:
        ShowTree();
        break;
      default:
        JobState = 0;
        break;  // no such job: end
    }
    Pause(pause);
  }
  ReleasePaths();
}

// ---- folder walk ----------------------------------------------------------

// Shift_JIS form of a native path for trace and progress texts.
std::string ShownText(const char *native) {
  for (const char *p = native; *p; p++) {
    if ((unsigned char)*p >= 0x80) return Utf8ToSjis(native);
  }
  return std::string(native);
}

struct Walk {
  ProgressSink *window;                                // detail lines, or nullptr
  CB *list;                                            // collected paths
  char path[VELMORA_PATH_MAX];                         // path being visited
  size_t len;                                          // its length
  std::vector<std::pair<uint64_t, uint64_t>> folders;  // folders on the current walk
};

void AddFile(Walk *w) {
  DebugPrint("GetDirFile:ADD:%s\r\n", ShownText(w->path).c_str());
  if (w->list) AddCB(w->list, w->path, (int)w->len + 1);
}

int OnEntry(const DirEntryInfo *e, void *ctx);

void EnterFolder(Walk *w, uint64_t dev, uint64_t ino) {
  size_t keep = w->len;
  if (!AddTrailingBackslash(w->path, sizeof w->path)) {
    DebugPrint("GetDirFile :Path too long! \"%s\"\r\n", ShownText(w->path).c_str());
    return;
  }
  w->len = strlen(w->path);
  w->folders.emplace_back(dev, ino);
  entry_counter += 2;  // the "." and ".." entries the walk does not show
  if (!ForEachDirEntry(w->path, OnEntry, w))
    DebugPrint("GetDirFile :Open Folder Error! \"%s\"\r\n", ShownText(w->path).c_str());
  w->folders.pop_back();
  w->len = keep;
  w->path[keep] = 0;
}

int OnEntry(const DirEntryInfo *e, void *ctx) {
  Walk *w = (Walk *)ctx;
  if (Stopping()) return 0;
  size_t keep = w->len;
  size_t nlen = strlen(e->name);
  if (keep + nlen + 1 > sizeof w->path) {
    DebugPrint("GetDirFile :Path too long! \"%s\"\r\n", ShownText(e->name).c_str());
  } else {
    memcpy(w->path + keep, e->name, nlen + 1);
    w->len = keep + nlen;
    if (e->is_dir) {
      bool on_walk = false;
      for (const auto &f : w->folders)
        on_walk = on_walk || (f.first == e->dev && f.second == e->ino);
      if (on_walk)
        DebugPrint("GetDirFile :Folder loop! \"%s\"\r\n", ShownText(w->path).c_str());
      else
        EnterFolder(w, e->dev, e->ino);
    } else if (MatchExtension(e->name, g_config.EXT)) {
      AddFile(w);
    }
    w->len = keep;
    w->path[keep] = 0;
  }
  uint32_t now = TickCount();
  if ((uint32_t)(now - last_report) > 100) {
    if (w->window) {
      char shown[128];
      CopyText(shown, sizeof shown, ShownText(e->name).c_str(), -1, 1);
      char text[160];
      FormatText(text, sizeof text, "[%d] %s", entry_counter, shown);
      w->window->SetDetail(text);
    }
    last_report = now;
  }
  entry_counter++;
  return 1;
}

}  // namespace

void GetDirFile(ProgressSink *window, CB *list, const char *base, const char *name) {
  if (!name) return;
  Walk walk;  // one per call: the recursion below shares it
  Walk *w = &walk;
  w->window = window;
  w->list = list;
  w->path[0] = 0;
  bool fits = true;
  if (base && *base) {
    fits = CopyText(w->path, sizeof w->path, base) == strlen(base) &&
           AddTrailingBackslash(w->path, sizeof w->path);
  }
  size_t blen = strlen(w->path);
  size_t nlen = strlen(name);
  if (!fits || blen + nlen + 1 > sizeof w->path) {
    DebugPrint("GetDirFile :Path too long! \"%s\"\r\n", ShownText(name).c_str());
    return;
  }
  memcpy(w->path + blen, name, nlen + 1);
  w->len = blen + nlen;
  uint64_t dev = 0, ino = 0;
  if (!PathIdentity(w->path, &dev, &ino)) {
    DebugPrint("GetDirFile :GetAttribute Error! \"%s\"\r\n", ShownText(name).c_str());
  } else if (IsDirectory(w->path)) {
    EnterFolder(w, dev, ino);
  } else if (MatchExtension(w->path, g_config.EXT)) {
    AddFile(w);
  }
}

int WorkerStart(const WorkerParams *params) {
  WorkerParams p = params ? *params : WorkerParams{};
  JoinThread(&g_thread);
  g_job = Job();
  g_job.p = p;
  g_stop.store(0);
  bool started = false;
  if (g_fail_next_start) {
    g_fail_next_start = 0;
  } else {
    started = StartThread(WorkerMain, nullptr, WORKER_STACK_BYTES, &g_thread) != 0;
  }
  if (started) return 1;
  // Back to idle, so the program accepts work again.
  if (p.main_window) p.main_window->ShowWarning(kNoThread);
  JobState = 0;
  if (p.main_window) {
    if (p.wait_box) p.main_window->Close(WINDOW_WAITBOX);
    if (p.progress) p.main_window->Close(WINDOW_PROGRESS);
    p.main_window->AcceptDrops(1);
  }
  MemFree(p.paths);
  g_job = Job();
  return 0;
}

int WorkerBusy(void) {
  return JobState.load() != 0 || (g_thread && !ThreadFinished(g_thread)) ? 1 : 0;
}

void WorkerWait(void) {
  JoinThread(&g_thread);
}

void WorkerStop(void) {
  if (!g_thread) return;
  g_stop.store(1, std::memory_order_release);
  EscapeRequest();
  JoinThread(&g_thread);
  EscapePressed();  // the stop request must not reach a later poll
  JobState = 0;
  g_stop.store(0);
}

void WorkerFailNextStart(int on) {
  g_fail_next_start = on;
}

int ProjectIsOpen(void) {
  return ProjectFiles ? 1 : 0;
}

void DiscardProject(void) {
  ReleaseCB(&ProjectFiles);
  ANA_SourceRelease();
}

int RequestAnalysis(const char *const *paths, int n) {
  if (WorkerBusy() || !paths || n <= 0) return 0;
  MainWindowPort *main = g_front.main_window;
  if (ProjectFiles) DiscardProject();
  size_t total = 1;
  for (int k = 0; k < n; k++) total += (paths[k] ? strlen(paths[k]) : 0) + 1;
  char *buf = (char *)MemAlloc(total);
  if (!buf) {
    if (main) main->ShowWarning(kAllocError);
    return 0;
  }
  char *at = buf;
  for (int k = 0; k < n; k++) {
    size_t len = paths[k] ? strlen(paths[k]) : 0;
    if (len) memcpy(at, paths[k], len);
    at += len + 1;  // MemAlloc zero-fills: the NUL is there
  }
  if (main) main->AcceptDrops(0);
  JobState = 1;
  if (main && !main->Open(WINDOW_PROGRESS, nullptr)) {
    main->ShowWarning(kNoDialog);
    JobState = 0;
    main->AcceptDrops(1);
    MemFree(buf);
    return 0;
  }
  WorkerParams p = {main, g_front.progress, nullptr, nullptr, n, buf, g_front.render, g_front.view};
  return WorkerStart(&p);
}

int RequestStartupAnalysis(void) {
  if (JobState.load() != 4 || (g_thread && !ThreadFinished(g_thread))) return 0;
  MainWindowPort *main = g_front.main_window;
  if (main) main->AcceptDrops(0);
  if (main && !main->Open(WINDOW_PROGRESS, nullptr)) {
    main->ShowWarning(kNoDialog);
    JobState = 0;
    main->AcceptDrops(1);
    return 0;
  }
  WorkerParams p = {main, g_front.progress, nullptr,        nullptr,
                    0,    nullptr,          g_front.render, g_front.view};
  return WorkerStart(&p);
}

int RequestCallTree(int sid, int fid) {
  MainWindowPort *main = g_front.main_window;
  if (WorkerBusy()) {
    if (main) main->ShowWarning(kBusy);
    return 0;
  }
  TreeClear();
  anon_counter = 0;
  ST_FUNC *root = ANA_FindFunction(sid, fid);
  if (!root) return 1;
  JobState = 10;
  WaitBox *wait = g_front.wait_box;
  // Without its box the tree is still built; only the waiting texts are lost.
  if (main && !main->Open(WINDOW_WAITBOX, kMakingTree)) wait = nullptr;
  WorkerParams p = {main, nullptr, wait, root, 0, nullptr, g_front.render, g_front.view};
  WorkerStart(&p);
  return 1;
}
