// The requests that start the worker's jobs, on the program's main thread:
// each checks that no job runs, prepares the job's feedback window and start
// record, and hands them to WorkerStart; a request that cannot start puts the
// program back to idle.
#include "shell/requests.h"

#include <cstring>

#include "foundation/memory.h"
#include "foundation/messages.h"
#include "foundation/text.h"
#include "graph/graph.h"
#include "shell/app.h"
#include "shell/job_texts.h"
#include "shell/project_query.h"
#include "shell/worker.h"
#include "shell/worker_internal.h"
#include "xref/calltree.h"
#include "xref/xref.h"

using namespace job_texts;

namespace {

// The start record of an analysis job with the program's ports.
WorkerParams FrontParams() {
  WorkerParams p{};
  p.main_window = g_front.main_window;
  p.progress = g_front.progress;
  p.views = g_front.views;
  p.results = g_front.results;
  p.tree_nodes = g_front.tree_nodes;
  p.render = g_front.render;
  p.view = g_front.view;
  return p;
}

}  // namespace

int ProjectIsOpen(void) {
  return ProjectFiles ? 1 : 0;
}

void DiscardProject(void) {
  ForgetProjectQuery();
  ReleaseCB(&ProjectFiles);
  ANA_SourceRelease();
  AppTakeRegisteredSources();  // they are gone
}

void ResultViewCleared(void) {
  ResetTreeOutput();
  ResetGraphOutput();
}

int RequestAnalysis(const char *const *paths, int n) {
  if (WorkerBusy() || !paths || n <= 0) return 0;
  MainWindowPort *main = g_front.main_window;
  if (ProjectFiles) DiscardProject();
  size_t total = 1;
  for (int k = 0; k < n; k++) total += (paths[k] ? strlen(paths[k]) : 0) + 1;
  char *buf = (char *)MemAlloc(total);
  if (!buf) {
    Warn(main, kAllocError);
    return 0;
  }
  char *at = buf;
  for (int k = 0; k < n; k++) {
    size_t len = paths[k] ? strlen(paths[k]) : 0;
    if (len) memcpy(at, paths[k], len);
    at += len + 1;  // MemAlloc zero-fills: the NUL is there
  }
  if (main) main->AcceptDrops(0);
  JobState = JobStep::StartAnalysis;
  if (main && !main->Open(WINDOW_PROGRESS, nullptr)) {
    Warn(main, kNoDialog);
    ReturnToIdle(main, false, false);
    MemFree(buf);
    return 0;
  }
  WorkerParams p = FrontParams();
  p.path_count = n;
  p.paths = buf;
  return WorkerStart(&p);
}

int RequestStartupAnalysis(void) {
  if (JobState.load() != JobStep::RegisterSources || WorkerThreadRunning()) return 0;
  MainWindowPort *main = g_front.main_window;
  if (main) main->AcceptDrops(0);
  if (main && !main->Open(WINDOW_PROGRESS, nullptr)) {
    Warn(main, kNoDialog);
    ReturnToIdle(main, false, false);
    return 0;
  }
  WorkerParams p = FrontParams();
  p.registered = AppTakeRegisteredSources();
  return WorkerStart(&p);
}

namespace {

// A tree job of either kind: refused while busy; otherwise clears the tree
// view it draws into, and starts when there is something to draw (root, or
// the name in tmpl for a callers tree without root).
int StartTreeJob(ST_FUNC *(*find)(int, int), int sid, int fid, const WorkerParams &tmpl) {
  MainWindowPort *main = g_front.main_window;
  if (WorkerBusy()) {
    Warn(main, kBusy);
    return 0;
  }
  if (ResultViews *v = g_front.views) {
    if (tmpl.callers) v->TreeTarget(VIEW_CALLERS);
    v->TreeClear();
    if (tmpl.callers) v->TreeTarget(VIEW_TREE);
  }
  ResetGraphOutput();
  ST_FUNC *root = find ? find(sid, fid) : nullptr;
  if (!root && !(tmpl.callers && tmpl.callers_name[0])) return 1;
  JobState = JobStep::StartTree;
  WaitBox *wait = g_front.wait_box;
  // Without its box the tree is still built; only the waiting texts are lost.
  if (main && !main->Open(WINDOW_WAITBOX, Msg(kMakingTree))) wait = nullptr;
  WorkerParams p = tmpl;
  p.main_window = main;
  p.wait_box = wait;
  p.views = g_front.views;
  p.tree_nodes = g_front.tree_nodes;
  p.root = root;
  p.render = g_front.render && !tmpl.view_only;
  p.view = g_front.view;
  p.in_window = g_front.in_window;
  p.ask_large = g_front.ask_large;
  p.graph_depth = g_front.graph_depth;
  p.no_picture = g_front.no_picture;
  WorkerStart(&p);
  return 1;
}

}  // namespace

int RequestCallTree(int sid, int fid) {
  return StartTreeJob(ANA_FindFunction, sid, fid, WorkerParams{});
}

int RequestCallersTree(int sid, int fid) {
  WorkerParams p{};
  p.callers = 1;
  return StartTreeJob(ANA_FindFunction, sid, fid, p);
}

int RequestTreeRedraw(int callers, int sid, int fid, const char *name, int argc) {
  WorkerParams p{};
  p.callers = callers ? 1 : 0;
  p.view_only = 1;
  if (callers && name && *name) {
    CopyText(p.callers_name, sizeof p.callers_name, name);
    p.callers_argc = argc;
    return StartTreeJob(nullptr, 0, 0, p);
  }
  return StartTreeJob(ANA_FindFunction, sid, fid, p);
}

int RequestNameCallersTree(const char *text, int argc) {
  WorkerParams p{};
  p.callers = 1;
  CopyText(p.callers_name, sizeof p.callers_name, text ? text : "");
  p.callers_argc = argc;
  return StartTreeJob(nullptr, 0, 0, p);
}

int RequestEditor(EditorView which, int sid, int fid) {
  // The records these read are renumbered by a running analysis.
  if (WorkerBusy()) {
    Warn(g_front.main_window, kBusy);
    return 0;
  }
  return which == EditorView::kFunction ? OpenFunctionText(sid, fid)
                                        : OpenSourceAtFunction(sid, fid);
}

int RequestEditorAtLine(int sid, int line) {
  if (WorkerBusy()) {
    Warn(g_front.main_window, kBusy);
    return 0;
  }
  return OpenSourceAtLine(sid, line);
}
