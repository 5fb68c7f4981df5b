// The analysis worker and its job loop. One turn reads JobState, performs that
// step and pauses; the job ends when the state returns to Idle. The user is
// reached only through the ports of the job's start record; a stop request
// from shutdown makes the loop leave at its next check without touching them.
#include "shell/worker.h"

#include <algorithm>
#include <cstring>

#include "engine/record_walk.h"
#include "foundation/log.h"
#include "foundation/memory.h"
#include "foundation/settings.h"
#include "foundation/text.h"
#include "foundation/trace.h"
#include "graph/graph.h"
#include "platform/keys.h"
#include "platform/sys.h"
#include "platform/thread.h"
#include "shell/file_collect.h"
#include "shell/worker_internal.h"
#include "xref/callers.h"
#include "xref/calltree.h"
#include "xref/xref.h"

std::atomic<JobStep> JobState{JobStep::Idle};
CB *ProjectFiles = nullptr;
char MessageBuffer[260];
const char kAllocError[] = "Memory Alloc Error!";

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

// The status line after a stop, and the question before a large render.
const char kStoppedParsing[] = "Stopped: %d of %d sources analysed; lists are partial";
const char kStoppedCollecting[] = "Stopped: %d files collected, none analysed";
const char kStoppedLinking[] = "Stopped: %d of %d sources linked; lists are partial";
const char kStoppedTree[] = "Stopped: the tree is partial";
const char kStoppedRender[] = "Stopped: the graph was not rendered";
// Appended to the status text that ends an analysis in which sources were
// parsed to their end inside a function body.
const char kLostSources[] = "%s  [%d source(s) end inside a function: definitions may be missing]";
const char kAskRender[] = "The graph has %d nodes. Enter: render it; Escape: leave it unrendered";
const char kNotRendered[] = "Not rendered: the graph has %d nodes";
// "デスクトップの FuncGraph[1]～[256] がすべて使われているため、図を作成しませんでした。"
const char kNoPictureName[] =
    "\203f\203X\203N\203g\203b\203v\202\314 FuncGraph[1]\201`[256] \202\252\202\267\202\327"
    "\202\304\216g\202\355\202\352\202\304\202\242\202\351\202\275\202\337\201A\220}\202\360"
    "\215\354\220\254\202\265\202\334\202\271\202\361\202\305\202\265\202\275\201B";

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
  int link_stopped;       // Escape ended the linking early
  int svg_running;        // the SVG for the Graph tab is being rendered
  char end_status[160];   // status text at the end of a tree job instead of the usual one
  int tree_cut;           // Escape cut the tree short
  int escaped;            // Escape stopped the collection
  uint32_t last_yield;    // tick count of the last busy turn's yield
};

Job g_job;
ThreadHandle g_thread = nullptr;       // the worker thread, until joined
std::atomic<int> g_stop{0};            // shutdown asks the loop to leave
std::atomic<int> g_render_yes{0};      // Enter answered the question before a large render
std::atomic<unsigned> g_paused_ms{0};  // slept in pauses since WorkerStart
int g_fail_next_start = 0;             // test hook

bool Stopping() {
  return g_stop.load(std::memory_order_acquire) != 0;
}
// The folder walk polls this before each entry: shutdown, or Escape.
int StopOrEscape() {
  if (Stopping()) return 1;
  if (!EscapePressed()) return 0;
  g_job.escaped = 1;
  return 1;
}

void Pause(unsigned ms) {
  if (ms == PAUSE_YIELD) {
    uint32_t now = TickCount();
    if (now - g_job.last_yield < g_worker_timing.turn_ms) return;
    g_job.last_yield = now;
    YieldCpu();
  } else if (ms > 0) {
    uint32_t start = TickCount();
    SleepMs(ms);
    g_paused_ms.fetch_add(TickCount() - start, std::memory_order_relaxed);
  }
}

// Port calls of the worker: a missing window ignores them, and so does a
// worker asked to stop for shutdown. Warnings go through Warn.
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
void GraphShown(const char *svg) {
  if (!Stopping() && g_job.p.main_window && svg && *svg) g_job.p.main_window->ShowGraph(svg);
}
void TreeEnded(int complete) {
  if (!Stopping() && g_job.p.main_window) g_job.p.main_window->TreeDone(complete);
}
// A status text of ours, formatted with numbers.
void StatusF(const char *format, int a, int b) {
  char text[160];
  FormatText(text, sizeof text, format, a, b);
  Status(text);
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

// Escape stopped the analysis job: the warning, the progress window gone at
// once, drops accepted again; the project stays open.
void StopByEscape(const char *status) {
  Warn(g_job.p.main_window, kStopping);
  if (g_job.p.main_window) g_job.p.main_window->Destroy(WINDOW_PROGRESS);
  g_job.p.progress = nullptr;  // gone: Idle must not close it again
  Status(status);
  Pause(g_worker_timing.short_ms);
  Drops(1);
  JobState = JobStep::Idle;
}

void StartAnalysis() {
  if (ProjectFiles) ReleaseCB(&ProjectFiles);
  ProjectFiles = CreateCB();
  if (!ProjectFiles) {
    Warn(g_job.p.main_window, kAllocError);
    JobState = JobStep::Idle;
    return;
  }
  MessageBuffer[0] = 0;
  Detail(MessageBuffer);
  PassLine(0);
  SourceBar(0);
  FuncBar(0);
  Select(VIEW_FUNCTIONS);
  // Not yet the invitation to double-click: nothing is listed yet.
  Status(StatusText(1));
  BeginCollection(StopOrEscape);
  g_job.i = 0;
  g_job.next_path = g_job.p.paths;
  JobState = JobStep::CollectFiles;
}

void CollectOnePath() {
  int n = g_job.p.path_count;
  if (g_job.i < n && g_job.next_path) {
    SourceBar(g_job.i * 100 / n);
    GetDirFile(g_job.p.progress, ProjectFiles, "", g_job.next_path);
    g_job.next_path += strlen(g_job.next_path) + 1;
    g_job.i++;
  }
  if (g_job.escaped) {
    // Stopped while collecting: as when stopped while parsing, the project
    // (the files collected so far) stays open and the views stay empty.
    ReleasePaths();
    char text[160];
    FormatText(text, sizeof text, kStoppedCollecting, ProjectFiles ? ProjectFiles->count : 0);
    StopByEscape(text);
    return;
  }
  if (g_job.i >= n || !g_job.next_path) {
    SourceBar(100);
    ReleasePaths();
    JobState = JobStep::CheckCollected;
  }
}

void CheckCollected() {
  if (!ProjectFiles || ProjectFiles->count == 0) {
    Warn(g_job.p.main_window, kNoFiles);
    ReleaseCB(&ProjectFiles);
    Status(StatusText(0));
    JobState = JobStep::Idle;
    return;
  }
  Pause(g_worker_timing.settle_ms);
  JobState = JobStep::RegisterSources;
}

void RegisterSources() {
  g_job.count = ProjectFiles ? ProjectFiles->count : 0;
  if (g_job.count == 0) {
    Status(StatusText(0));
    JobState = JobStep::Idle;
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
  JobState = JobStep::ParseSource;
}

// Every source parsed to its end inside a function body, to the main
// window, in source order.
void ReportLostSources() {
  if (Stopping() || !g_job.p.main_window) return;
  ForEachSource([](const ST_SOURCE *s) {
    if (s->lost_in && s->status == -1)
      g_job.p.main_window->SourceLost(s->path, s->lost_in, s->lost_line + 1);
  });
}

void ParseSource() {
  int r;
  // The detail line names the source being parsed from its first slice on
  // (asked without ANA_Exec, whose name query traces once no source is left).
  if (const char *name = ANA_CurrentSourceName()) {
    if (strcmp(MessageBuffer, name) != 0) CopyText(MessageBuffer, sizeof MessageBuffer, name);
    Detail(MessageBuffer);
  }
  for (;;) {
    r = ANA_Exec(g_job.p.progress, MessageBuffer, 0);
    if (r < 0 || r > 100 || Stopping()) break;
    FuncBar(r);  // the current source's progress
  }
  if (Stopping()) return;
  Detail(MessageBuffer);
  if (r == ANA_EXEC_STOPPED || r == ANA_EXEC_NO_SOURCE) {  // the analysis ended
    LogFlush();
    ReportLostSources();
  }
  if (r == ANA_EXEC_STOPPED) {
    char text[160];
    FormatText(text, sizeof text, kStoppedParsing, g_job.i - 1, g_job.count);
    StopByEscape(text);
  } else if (r == ANA_EXEC_SOURCE_DONE) {
    g_job.i++;
    SourceBar(std::min(100, g_job.i * 100 / g_job.count));
  } else if (r == ANA_EXEC_NO_SOURCE) {
    JobState = JobStep::MakeFunctionList;
  }
}

void MakeLists() {
  PassLine(2);
  ANA_MakeFunctionList();
  g_job.count = ANA_BeginCallList();
  LogFlush();
  CopyText(MessageBuffer, sizeof MessageBuffer, "set ID.");
  Detail(MessageBuffer);
  FuncBar(0);
  SourceBar(100);
  g_job.i = 0;
  g_job.link_stopped = 0;
  JobState = JobStep::LinkCalls;
}

void LinkOneSource() {
  CopyText(MessageBuffer, sizeof MessageBuffer, "link Function.");
  Detail(MessageBuffer);
  PhaseLine(2);
  int r = ANA_LinkNextSource();
  int bar;
  if (r == -1) {  // nothing left to link
    LogFlush();
    JobState = JobStep::FinishAnalysis;
    bar = 100;
  } else {
    bar = g_job.count > 0 ? std::min(100, r * 100 / g_job.count) : 0;
    // Escape skips the rest and reports one source past the end; g_job.i
    // keeps the sources linked in full before it.
    if (r > g_job.count)
      g_job.link_stopped = 1;
    else
      g_job.i = r;
  }
  FuncBar(bar);
  SourceBar(100);
}

void FinishAnalysis() {
  Pause(g_worker_timing.short_ms);
  JobState = JobStep::Idle;
  ANA_UpdateCalledColumn();
  Redraw();
  int lost = ANA_LostSourceCount();
  if (g_job.link_stopped) {
    StatusF(kStoppedLinking, g_job.i, g_job.count);
  } else if (lost > 0) {
    char text[sizeof g_config.STAT_MESS[0] + 96];
    FormatText(text, sizeof text, kLostSources, StatusText(2 + Current()), lost);
    Status(text);
  } else {
    Status(StatusText(2 + Current()));
  }
  if (ANA_GetFuncCount() == 0) {
    Warn(g_job.p.main_window, kNoFunctions);
    ReleaseCB(&ProjectFiles);
    Status(StatusText(0));
  }
}

// ---- call-tree job -------------------------------------------------------

void StartTree() {
  JobState = JobStep::ExpandTree;
  Pause(g_worker_timing.short_ms);
  Select(g_job.p.callers ? VIEW_CALLERS : VIEW_TREE);
}

void ExpandTree() {
  int r = 0;
  int outputs = g_job.p.view_only ? OUTPUT_VIEW : OUTPUT_ALL;
  if (g_job.p.callers) {
    SetTreeOutputs(outputs);
    if (g_job.p.root)
      r = ANA_MakeCallersTree(g_job.p.root, g_config.MAX_CALL_NEST);
    else
      r = ANA_MakeNameCallersTree(g_job.p.callers_name, g_job.p.callers_argc);
  } else if (g_job.p.root) {
    SetTreeOutputs(outputs);
    r = ANA_MakeCallStackTree(g_job.p.root, g_config.MAX_CALL_NEST);
    LogFlush();
  }
  Pause(g_worker_timing.settle_ms);
  if (r < 0) {
    Warn(g_job.p.main_window, kInterrupted);
    CopyText(g_job.end_status, sizeof g_job.end_status, kStoppedTree);
    g_job.tree_cut = 1;
  }
  JobState = JobStep::StartRenderer;
}

void StartRenderers() {
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
  g_job.svg_running = g_job.p.render && g_job.p.in_window && RunSvgRenderer();
  JobState = JobStep::WaitForRenderer;
}

void StartRenderer() {
  if (g_job.p.render && g_job.p.ask_large && graph_enabled && GraphNodeCount() > kAskNodes) {
    // Minutes of layout and a picture nobody can read: ask first.
    g_render_yes = 0;
    EscapePressed();  // only a press from now on answers
    FormatText(MessageBuffer, sizeof MessageBuffer, kAskRender, GraphNodeCount());
    Status(MessageBuffer);
    WaitText(MessageBuffer);
    JobState = JobStep::AskRender;
    return;
  }
  StartRenderers();
}

void AskRender() {
  if (g_render_yes.exchange(0)) {
    StartRenderers();
  } else if (EscapePressed()) {
    g_job.p.render = 0;  // no picture, no viewer
    ForgoGraphPicture();
    FormatText(g_job.end_status, sizeof g_job.end_status, kNotRendered, GraphNodeCount());
    JobState = JobStep::ShowPicture;
  }
}

// Returns the pause of this turn.
unsigned WaitRenderer() {
  // The Graph tab shows the SVG as soon as it is there, even while the
  // picture is still being rendered.
  if (g_job.svg_running && PollSvgRenderer() == 1) {
    g_job.svg_running = 0;
    GraphShown(GraphSvgFile());
  }
  if (!g_job.p.render || (PollRenderer() == 1 && !g_job.svg_running)) {
    Pause(g_worker_timing.short_ms);
    JobState = JobStep::ShowPicture;
  } else if (EscapePressed()) {
    // Nothing is written after a stop: the renderers go at once.
    StopRenderer();
    g_job.svg_running = 0;
    Pause(g_worker_timing.short_ms);
    Warn(g_job.p.main_window, kInterrupted);
    Status(kStoppedRender);
    TreeEnded(0);
    JobState = JobStep::Idle;
  }
  return g_worker_timing.turn_ms ? g_worker_timing.turn_ms : (unsigned)kHeadlessPollMs;
}

void ShowTree() {
  if (g_job.p.render && g_job.p.view) ShowGraphPicture();
  // Every picture name taken: the tree has no picture, and the user is told.
  bool no_name = g_job.p.render && graph_enabled && GraphNoFreePicture();
  Status(g_job.end_status[0] ? g_job.end_status
         : no_name           ? kNoPictureName
                             : StatusText(2 + VIEW_RESULT));
  TreeEnded(g_job.tree_cut ? 0 : 1);
  Pause(g_worker_timing.show_ms);
  JobState = JobStep::Idle;
}

// ---- the loop ------------------------------------------------------------

// One turn: the step of the current state, and in *pause the pause after it.
// false when the job has ended and the thread returns.
bool Turn(JobStep step, unsigned *pause) {
  *pause = g_worker_timing.turn_ms;
  switch (step) {
    case JobStep::Idle:
      ReturnToIdle(Stopping() ? nullptr : g_job.p.main_window, g_job.p.wait_box != nullptr,
                   g_job.p.progress != nullptr);
      return false;
    case JobStep::StartAnalysis:
      StartAnalysis();
      break;
    case JobStep::CollectFiles:
      CollectOnePath();
      break;
    case JobStep::CheckCollected:
      CheckCollected();
      break;
    case JobStep::RegisterSources:
      RegisterSources();
      break;
    case JobStep::ParseSource:
      ParseSource();
      *pause = g_worker_timing.busy_turn_ms;
      break;
    case JobStep::MakeFunctionList:
      MakeLists();
      break;
    case JobStep::LinkCalls:
      LinkOneSource();
      *pause = g_worker_timing.busy_turn_ms;
      break;
    case JobStep::FinishAnalysis:
      FinishAnalysis();
      break;
    case JobStep::StartTree:
      StartTree();
      break;
    case JobStep::ExpandTree:
      ExpandTree();
      break;
    case JobStep::StartRenderer:
      StartRenderer();
      break;
    case JobStep::WaitForRenderer:
      *pause = WaitRenderer();
      break;
    case JobStep::ShowPicture:
      ShowTree();
      break;
    case JobStep::AskRender:
      AskRender();
      break;
    default:
      JobState = JobStep::Idle;  // no such step: end
      break;
  }
  return true;
}

void WorkerMain(void *) {
  unsigned pause = 0;
  while (!Stopping() && Turn(JobState.load(), &pause)) {
    LogFlushDue();
    Pause(pause);
  }
  ANA_StopParsing();  // no analysis thread outlives the job
  LogFlush();
  ReleasePaths();
}

}  // namespace

void Warn(MainWindowPort *main, const char *text) {
  if (main && !Stopping()) main->ShowWarning(text);
}

void ReturnToIdle(MainWindowPort *main, bool wait_box_open, bool progress_open) {
  JobState = JobStep::Idle;
  if (!main) return;
  if (wait_box_open) main->Close(WINDOW_WAITBOX);
  if (progress_open) main->Close(WINDOW_PROGRESS);
  main->AcceptDrops(1);
}

unsigned WorkerPausedMs(void) {
  return g_paused_ms.load(std::memory_order_relaxed);
}

int WorkerStopRequested(void) {
  return Stopping() ? 1 : 0;
}

int WorkerThreadRunning(void) {
  return g_thread && !ThreadFinished(g_thread) ? 1 : 0;
}

int WorkerStart(const WorkerParams *params) {
  WorkerParams p = params ? *params : WorkerParams{};
  JoinThread(&g_thread);
  g_job = Job();
  g_job.p = p;
  g_stop.store(0);
  g_paused_ms.store(0);
  bool started = false;
  if (g_fail_next_start) {
    g_fail_next_start = 0;
  } else {
    started = StartThread(WorkerMain, nullptr, WORKER_STACK_BYTES, &g_thread) != 0;
  }
  if (started) return 1;
  Warn(p.main_window, kNoThread);
  ReturnToIdle(p.main_window, p.wait_box != nullptr, p.progress != nullptr);
  MemFree(p.paths);
  g_job = Job();
  return 0;
}

int WorkerBusy(void) {
  return JobState.load() != JobStep::Idle || WorkerThreadRunning() ? 1 : 0;
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
  StopRenderer();   // the worker is gone: a render it waited for goes too
  JobState = JobStep::Idle;
  g_stop.store(0);
}

int WorkerAsksToRender(void) {
  return JobState.load() == JobStep::AskRender ? 1 : 0;
}

void AnswerRender(void) {
  if (WorkerAsksToRender()) g_render_yes = 1;
}

void WorkerFailNextStart(int on) {
  g_fail_next_start = on;
}
