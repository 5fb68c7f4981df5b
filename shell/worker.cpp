// The analysis worker, its job loop and the analysis job (the call-tree job's
// steps are in tree_job.cpp). One turn reads JobState, performs that step and
// pauses; the job ends when the state returns to Idle. The user is
// reached only through the ports of the job's start record; a stop request
// from shutdown makes the loop leave at its next check without touching them.
#include "shell/worker.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "foundation/log.h"
#include "foundation/memory.h"
#include "foundation/messages.h"
#include "foundation/settings.h"
#include "foundation/text.h"
#include "foundation/trace.h"
#include "graph/graph.h"
#include "platform/keys.h"
#include "platform/sys.h"
#include "platform/thread.h"
#include "shell/file_collect.h"
#include "shell/job_texts.h"
#include "shell/project_index.h"
#include "shell/source_notes.h"
#include "shell/worker_internal.h"
#include "shell/worker_job.h"
#include "xref/callers.h"
#include "xref/calltree.h"
#include "xref/xref.h"

std::atomic<JobStep> JobState{JobStep::Idle};
CB *ProjectFiles = nullptr;
char MessageBuffer[260];
const char kAllocError[] = N_("Memory Alloc Error!");

const WorkerTiming kDesktopTiming = {16, PAUSE_YIELD, 500, 100, 200, 64};
const WorkerTiming kHeadlessTiming = {0, 0, 0, 0, 0, 0};
WorkerTiming g_worker_timing = kDesktopTiming;
ShellFront g_front;

namespace {

ThreadHandle g_thread = nullptr;       // the worker thread, until joined
std::atomic<int> g_stop{0};            // shutdown asks the loop to leave
std::atomic<unsigned> g_paused_ms{0};  // slept in pauses since WorkerStart
int g_fail_next_start = 0;             // test hook
std::atomic<int> g_link_stopped{0};    // the last analysis job's linking was stopped

}  // namespace

namespace worker_job {

Job g_job;
std::atomic<int> g_render_yes{0};

bool Stopping() {
  return g_stop.load(std::memory_order_acquire) != 0;
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

void PauseRest(unsigned ms, uint32_t start) {
  if (ms == PAUSE_YIELD) return Pause(ms);
  uint32_t spent = TickCount() - start;
  if (spent < ms) Pause(ms - spent);
}

// Port calls of the worker: a missing window ignores them, and so does a
// worker asked to stop for shutdown. Warnings go through Warn; other texts arrive translated.
void Status(const char *text) {
  if (!Stopping() && g_job.p.main_window) g_job.p.main_window->SetStatusText(text);
}
void Select(int view) {
  if (!Stopping() && g_job.p.main_window) g_job.p.main_window->SelectView(view);
}
void WaitText(const char *text) {
  if (!Stopping() && g_job.p.wait_box) g_job.p.wait_box->SetWaitText(text);
}
void WaitQuestion(const char *text) {
  if (!Stopping() && g_job.p.wait_box) g_job.p.wait_box->AskToRender(text);
}
void GraphShown(const char *svg) {
  if (!Stopping() && g_job.p.main_window && svg && *svg) g_job.p.main_window->ShowGraph(svg);
}
void TreeEnded(int complete) {
  if (!Stopping() && g_job.p.main_window) g_job.p.main_window->TreeDone(complete);
}

const char *StatusText(int k) {
  if (k < 0) k = 0;
  if (k > 4) k = 4;
  return Msg(g_config.STAT_MESS[k]);
}

}  // namespace worker_job

using namespace job_texts;
using namespace worker_job;

namespace {

// The folder walk polls this before each entry: shutdown, or Escape.
int StopOrEscape() {
  if (Stopping()) return 1;
  if (!EscapePressed()) return 0;
  g_job.escaped = 1;
  return 1;
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
  ProjectIndexBeginList(g_job.p.paths, g_job.p.path_count);  // the roots name the index
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
    FormatText(text, sizeof text, Msg(kStoppedCollecting), ProjectFiles ? ProjectFiles->count : 0);
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
  if (!g_job.p.registered)
    ANA_SourceCreateAll(Stopping() ? nullptr : g_job.p.progress, ProjectFiles);
  ANA_ExecBegin(&g_job.exec);
  g_job.exec.yield_every = g_worker_timing.yield_every;
  // The analysis threads parse while this job pauses before its first slice.
  ANA_StartParsing(&g_job.exec);
  ANA_Exec(&g_job.exec, g_job.p.progress, MessageBuffer, -1);
  Detail(MessageBuffer);
  PhaseLine(1);
  PassLine(1);
  SourceBar(100 / g_job.count);
  FuncBar(0);
  g_job.i = 1;
  JobState = JobStep::ParseSource;
}

void ParseSource() {
  int r;
  // The detail line names the source being parsed from its first slice on
  // (asked without ANA_Exec, whose name query traces once no source is left).
  if (const char *name = ANA_CurrentSourceName(&g_job.exec)) {
    if (strcmp(MessageBuffer, name) != 0) CopyText(MessageBuffer, sizeof MessageBuffer, name);
    Detail(MessageBuffer);
  }
  const ST_SOURCE *current =
      g_job.exec.cur_source ? (const ST_SOURCE *)g_job.exec.cur_source->data : nullptr;
  for (;;) {
    r = ANA_Exec(&g_job.exec, g_job.p.progress, MessageBuffer, 0);
    if (r < 0 || r > 100 || Stopping()) break;
    FuncBar(r);  // the current source's progress
  }
  if (r == ANA_EXEC_SOURCE_DONE) NoteParsed(current);
  if (Stopping()) return;
  Detail(MessageBuffer);
  if (r == ANA_EXEC_STOPPED || r == ANA_EXEC_NO_SOURCE) {  // the analysis ended
    LogFlush();
    // Sources that ended inside a function or went to the statement parser.
    if (!Stopping()) ReportSourceNotes(g_job.p.main_window);
  }
  if (r == ANA_EXEC_STOPPED) {
    char text[160];
    FormatText(text, sizeof text, Msg(kStoppedParsing), g_job.i - 1, g_job.count);
    StopByEscape(text);
  } else if (r == ANA_EXEC_SOURCE_DONE) {
    g_job.i++;
    SourceBar(std::min(100, g_job.i * 100 / g_job.count));
  } else if (r == ANA_EXEC_NO_SOURCE) {
    JobState = JobStep::MakeFunctionList;
  }
}

// Where the rows go: nowhere while shutdown stops the worker.
ResultsSink *Results() {
  return Stopping() ? nullptr : g_job.p.results;
}

void MakeLists() {
  PassLine(2);
  ANA_MakeFunctionList(Results());
  g_job.count = ANA_BeginCallList();
  LogFlush();
  CopyText(MessageBuffer, sizeof MessageBuffer, Msg("set ID."));
  Detail(MessageBuffer);
  FuncBar(0);
  SourceBar(100);
  g_job.i = 0;
  g_job.link_stopped = 0;
  JobState = JobStep::LinkCalls;
}

void LinkOneSource() {
  CopyText(MessageBuffer, sizeof MessageBuffer, Msg("link Function."));
  Detail(MessageBuffer);
  PhaseLine(2);
  int r = ANA_LinkNextSource(Results());
  int bar;
  if (r == ANA_LINK_NOTHING_LEFT) {
    LogFlush();
    JobState = g_job.updating ? JobStep::FinishUpdate : JobStep::FinishAnalysis;
    bar = 100;
  } else {
    bar = g_job.count > 0 ? std::min(100, r * 100 / g_job.count) : 0;
    // Escape skips the rest and reports one source past the end; g_job.i
    // keeps the sources linked in full before it.
    if (ANA_LinkStopped(r))
      g_job.link_stopped = 1;
    else
      g_job.i = r;
  }
  FuncBar(bar);
  SourceBar(100);
}

void FinishAnalysis() {
  // The Called column is rewritten while the pause runs: the pause is there
  // so that the window takes in the last rows, and these cells with them,
  // before the lists are redrawn.
  uint32_t start = TickCount();
  JobState = JobStep::Idle;
  ANA_UpdateCalledColumn(Results());
  // The index learns the links while the pause runs, and is closed, so the
  // status can say what it did.
  ProjectIndexFinish(!g_job.link_stopped);
  ProjectIndexEnd();
  PauseRest(g_worker_timing.short_ms, start);
  Redraw();
  std::string index = ProjectIndexStatus();
  IndexReport report = ProjectIndexLastReport();
  if (!Stopping() && g_job.p.main_window && (report.used || !report.note.empty()))
    g_job.p.main_window->IndexUsed(report.from_index, report.parsed, report.note.c_str());
  char text[sizeof g_config.STAT_MESS[0] + 512];
  if (g_job.link_stopped) {
    g_link_stopped = 1;
    FormatText(text, sizeof text, Msg(kStoppedLinking), g_job.i, g_job.count);
  } else {
    StatusWithNotes(StatusText(2 + Current()), text, sizeof text);
  }
  CopyText(text + strlen(text), sizeof text - strlen(text), index.c_str());
  Status(text);
  if (ANA_GetFuncCount() == 0) {
    Warn(g_job.p.main_window, kNoFunctions);
    ReleaseCB(&ProjectFiles);
    Status(StatusText(0));
  }
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
    case JobStep::UpdateSources:
      UpdateSources();
      break;
    case JobStep::FinishUpdate:
      FinishUpdate();
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
  ProjectIndexEnd();  // a job that ended early keeps what was written
  ANA_ExecRelease(&g_job.exec);
  LogFlush();
  ReleasePaths();
  DropChanges();
}

}  // namespace

void Warn(MainWindowPort *main, const char *text) {
  if (main && !Stopping()) main->ShowWarning(Msg(text));
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
  g_link_stopped.store(0);
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

int WorkerLinkingStopped(void) {
  return g_link_stopped.load();
}

void WorkerFailNextStart(int on) {
  g_fail_next_start = on;
}
