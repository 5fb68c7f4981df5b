// The call-tree job: the tree (or the callers tree) written to its outputs,
// then the renderers run and waited for, and the picture shown. Each step is
// one turn of the worker's loop (worker.cpp).
#include <cstring>

#include "foundation/log.h"
#include "foundation/messages.h"
#include "foundation/settings.h"
#include "foundation/text.h"
#include "graph/graph.h"
#include "platform/keys.h"
#include "shell/ext_hooks.h"
#include "shell/job_texts.h"
#include "shell/worker_internal.h"
#include "shell/worker_job.h"
#include "xref/callers.h"
#include "xref/calltree.h"

using namespace job_texts;

namespace {

// Graph descriptions above these sizes get the longer waiting messages.
enum { kLargeGraph = 10240, kHugeGraph = 30720 };
// Renderer polls of the terminal program: often, but without spinning.
enum { kHeadlessPollMs = 2 };

}  // namespace

namespace worker_job {

void StartTree() {
  JobState = JobStep::ExpandTree;
  Pause(g_worker_timing.short_ms);
  Select(g_job.p.callers ? VIEW_CALLERS : VIEW_TREE);
}

void ExpandTree() {
  int r = 0;
  // Without a picture on the desktop no name is claimed there.
  SetGraphPictures(g_job.p.no_picture ? 0 : 1);
  int outputs = g_job.p.view_only ? OUTPUT_VIEW : OUTPUT_ALL;
  TreeTools tools{&g_tree_wiring, Stopping() ? nullptr : g_job.p.views, g_job.p.tree_nodes};
  if (g_job.p.callers) {
    SetTreeOutputs(outputs);
    if (g_job.p.root)
      r = ANA_MakeCallersTree(tools, g_job.p.root, g_config.MAX_CALL_NEST);
    else
      r = ANA_MakeNameCallersTree(tools, g_job.p.callers_name, g_job.p.callers_argc);
  } else if (g_job.p.root) {
    SetTreeOutputs(outputs);
    r = ANA_MakeCallStackTree(tools, g_job.p.root, g_config.MAX_CALL_NEST);
    LogFlush();
  }
  Pause(g_worker_timing.settle_ms);
  if (r < 0) {
    Warn(g_job.p.main_window, kInterrupted);
    CopyText(g_job.end_status, sizeof g_job.end_status, Msg(kStoppedTree));
    g_job.tree_cut = 1;
  }
  JobState = JobStep::StartRenderer;
}

void StartRenderers() {
  if (g_job.p.render) {
    int s = GraphFileSize();
    if (s > 0) {
      const char *msg = s > kHugeGraph ? kGraphHuge : s > kLargeGraph ? kGraphLarge : kGraphSmall;
      CopyText(MessageBuffer, sizeof MessageBuffer, Msg(msg));
      WaitText(MessageBuffer);
    }
  }
  Pause(g_worker_timing.short_ms);
  if (g_job.p.render && !g_job.p.no_picture) RunRenderer();
  g_job.svg_running =
      g_job.p.render && g_job.p.in_window && RunSvgRenderer(g_job.p.callers, g_job.p.graph_depth);
  JobState = JobStep::WaitForRenderer;
}

// The nodes the renderers will draw: the whole graph for a picture, the
// Graph tab's cut without one.
int NodesToDraw() {
  if (!g_job.p.no_picture || !g_job.p.in_window) return GraphNodeCount();
  return GraphCutNodeCount(g_job.p.callers, g_job.p.graph_depth);
}

void StartRenderer() {
  int nodes = g_job.p.render && g_job.p.ask_large && graph_enabled ? NodesToDraw() : 0;
  g_job.nodes = nodes;
  if (nodes > kAskNodes) {
    // Minutes of layout and a picture nobody can read: ask first.
    g_render_yes = 0;
    EscapePressed();  // only a press from now on answers
    FormatText(MessageBuffer, sizeof MessageBuffer, Msg(kAskRender), nodes);
    Status(MessageBuffer);
    WaitQuestion(MessageBuffer);
    JobState = JobStep::AskRender;
    return;
  }
  StartRenderers();
}

void AskRender() {
  if (g_render_yes.exchange(0)) {
    // The question is answered: the status line says what goes on now.
    FormatText(MessageBuffer, sizeof MessageBuffer, Msg(kRenderingLarge), g_job.nodes);
    Status(MessageBuffer);
    StartRenderers();
  } else if (EscapePressed()) {
    g_job.p.render = 0;  // no picture, no viewer
    ForgoGraphPicture();
    FormatText(g_job.end_status, sizeof g_job.end_status, Msg(kNotRendered), g_job.nodes);
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
    Status(Msg(kStoppedRender));
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
         : no_name           ? Msg(kNoPictureName)
                             : StatusText(2 + VIEW_RESULT));
  TreeEnded(g_job.tree_cut ? 0 : 1);
  Pause(g_worker_timing.show_ms);
  JobState = JobStep::Idle;
}

}  // namespace worker_job
