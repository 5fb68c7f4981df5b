// The trees of the main window (see mainwindow.h): the requests that build
// them, what the worker reports at their end (the graph's SVG for the Graph
// tab, the end of the job), and Back and Forward through the trees of the
// session, which redraw a tree into its view without rendering its graph
// again while its picture is still there.
#include <QFile>
#include <QFileInfo>
#include <QScrollBar>
#include <QTimer>

#include "foundation/messages.h"
#include "foundation/settings.h"
#include "graph/graph.h"
#include "platform/process.h"
#include "shell/requests.h"
#include "shell/worker.h"
#include "ui/mainwindow.h"
#include "ui/graph_page.h"
#include "ui/qtext.h"
#include "ui/views.h"

namespace {

const char kBusy[] = N_("処理中は受け付けません。");

// The Graph tab when a tree has no picture.
QString NoGraphText() {
  return graph_enabled ? UiText("No graph for this tree: it was not rendered.")
                       : UiText(
                             "No graph: graph output is off (see DOT_EXE, DISPLAY_GRAPH and "
                             "GRAPH_IN_WINDOW in velmora.ini).");
}

int RequestVisit(const TreeVisit &v) {
  if (!v.callers) return RequestCallTree(v.sid, v.fid);
  if (!v.name.isEmpty()) return RequestNameCallersTree(v.name.constData(), v.argc);
  return RequestCallersTree(v.sid, v.fid);
}

}  // namespace

int MainWindow::TreeRequest(int sid, int fid) {
  TreeVisit v;
  v.sid = sid;
  v.fid = fid;
  return StartTree(v);
}

int MainWindow::CallersRequest(int sid, int fid) {
  TreeVisit v;
  v.callers = 1;
  v.sid = sid;
  v.fid = fid;
  return StartTree(v);
}

int MainWindow::NameCallersRequest(const QByteArray &sjis, int argc) {
  TreeVisit v;
  v.callers = 1;
  v.name = sjis;
  v.argc = argc;
  return StartTree(v);
}

int MainWindow::StartTree(const TreeVisit &visit) {
  if (shut_down_) return 0;
  if (!WorkerBusy()) KeepVisitState();
  ApplySettingsChanges();
  int r = RequestVisit(visit);
  if (r && WorkerBusy()) {  // a job was started (not a function that is gone)
    pending_ = Pending();
    pending_.active = true;
    pending_.visit = visit;
    pending_.visit.depth = g_front.graph_depth;
    views_->Graph()->ShowText(UiText("Drawing the graph..."));
    views_->GraphTab()->ClearTitle();
  }
  return r;
}

int MainWindow::GoThroughHistory(int step) {
  if (shut_down_) return 0;
  const TreeVisit *to = history_.Peek(step);
  if (!to) return 0;
  if (WorkerBusy()) {
    ShowWarningBox(this, UiText(kBusy));
    return 0;
  }
  KeepVisitState();
  TreeVisit v = *to;
  // With its picture still there (or nothing to render), the tree is only
  // drawn into its view again; otherwise it is built as it was the first
  // time, graph and all.
  bool redraw = !graph_enabled || (!v.svg.isEmpty() && QFileInfo::exists(v.svg));
  int r = redraw ? RequestTreeRedraw(v.callers, v.sid, v.fid, v.name.constData(), v.argc)
                 : RequestVisit(v);
  if (r && WorkerBusy()) {
    pending_ = Pending();
    pending_.active = true;
    pending_.step = step;
    pending_.visit = v;
  }
  return r;
}

void MainWindow::KeepVisitState() {
  TreeVisit *cur = history_.Current();
  if (!cur) return;
  cur->tab = views_->CurrentView();
  TreeView *tv = cur->callers ? views_->CallersWidget() : views_->TreeWidget();
  cur->scroll = tv->verticalScrollBar()->value();
  GraphView *g = views_->Graph();
  if (!cur->svg.isEmpty() && g->File() == cur->svg) {
    cur->centre = g->Centre();
    cur->zoom = g->Zoom();
    cur->has_centre = true;
  }
}

void MainWindow::RestoreVisit(const TreeVisit &v) {
  GraphView *g = views_->Graph();
  if (!v.svg.isEmpty() && QFileInfo::exists(v.svg)) {
    // Within Back and Forward a graph comes back as the user left it.
    if (g->File() != v.svg) ShowGraphOf(v, v.svg, !v.has_centre);
    if (v.has_centre) {
      g->SetZoom(v.zoom);
      g->CentreOn(v.centre);
    }
  } else {
    g->ShowText(NoGraphText());
    views_->GraphTab()->ClearTitle();
  }
  views_->SelectView(v.tab >= 0 ? v.tab : v.callers ? VIEW_CALLERS : VIEW_TREE);
  TreeView *tv = v.callers ? views_->CallersWidget() : views_->TreeWidget();
  // The rows exist once the view has laid them out.
  tv->doItemsLayout();
  tv->verticalScrollBar()->setValue(v.scroll);
}

void MainWindow::GraphReady(const QString &svg) {
  if (shut_down_) return;
  if (pending_.active) pending_.svg = svg;
  // A new tree's graph arrives fitted; one of Back and Forward as it was left
  // (RestoreVisit, once the job ends).
  bool fresh = !pending_.active || pending_.step == 0;
  ShowGraphOf(pending_.visit, svg, fresh);
  // With the Graph tab as the viewer, the picture is shown as a viewer would.
  if (g_config.GRAPH_IN_WINDOW) views_->SelectView(VIEW_GRAPH);
}

QString MainWindow::RootName(const TreeVisit &v) const {
  if (!v.name.isEmpty()) return FromSjis(v.name.toStdString());
  ListModel *m = views_->Model(VIEW_FUNCTIONS);
  const FunctionRow *f = m->FunctionAt(m->FunctionRowOf(v.sid, v.fid));
  return f ? FromSjis(std::string(f->scope) + f->name) : QString();
}

void MainWindow::ShowGraphOf(const TreeVisit &v, const QString &svg, bool fit) {
  GraphView *g = views_->Graph();
  if (!g->Load(svg)) {
    views_->GraphTab()->ClearTitle();
    return;
  }
  GraphShape shape;
  GraphSvgShape(QFile::encodeName(svg).constData(), v.callers, v.depth, &shape);
  g->MarkRoot(QString::fromStdString(shape.root));
  views_->GraphTab()->SetTitle(RootName(v), v.callers != 0, shape.shown, shape.nodes, v.depth,
                               shape.depth);
  if (fit) g->FitNew();
}

void MainWindow::ChooseGraphDepth(int depth) {
  g_front.graph_depth = depth;
  // The graph shown is drawn again at that depth; the next trees take it.
  TreeVisit *cur = history_.Current();
  if (shut_down_ || WorkerBusy() || !cur || cur->svg.isEmpty() || cur->depth == depth) return;
  std::string full = GraphSvgSource(QFile::encodeName(cur->svg).constData());
  std::string svg;
  long pid = StartGraphViewRender(full.c_str(), cur->callers, depth, &svg);
  if (pid < 0) {
    views_->SetStatusString(UiText("The graph cannot be drawn at that depth"));
    return;
  }
  depth_render_ = DepthRender{pid, history_.Index(), depth, QFile::decodeName(svg.c_str())};
  if (pid == 0) {
    FinishDepthRender();
  } else {
    views_->SetStatusString(UiText("Drawing the graph..."));
    depth_timer_.start();
  }
}

void MainWindow::FinishDepthRender() {
  DepthRender d = depth_render_;
  if (d.pid > 0 && !PollProcess(d.pid)) return;  // still drawing
  depth_timer_.stop();
  depth_render_ = DepthRender();
  TreeVisit *cur = history_.Current();
  // Another tree may be shown by now; a drawing that failed changes nothing.
  if (shut_down_ || !cur || history_.Index() != d.visit || !QFileInfo(d.svg).size()) {
    if (!shut_down_ && d.pid > 0) views_->SetStatusString(QString());
    return;
  }
  cur->svg = d.svg;
  cur->depth = d.depth;
  cur->has_centre = false;
  ShowGraphOf(*cur, d.svg, true);
  views_->SetStatusString(QString());
}

void MainWindow::TreeJobDone(int complete) {
  (void)complete;  // a tree cut short is a tree of the session all the same
  if (shut_down_ || !pending_.active) return;
  Pending p = pending_;
  pending_ = Pending();
  if (p.step == 0) {
    p.visit.svg = p.svg;
    history_.Push(p.visit);
    if (p.svg.isEmpty()) views_->Graph()->ShowText(NoGraphText());
  } else if (history_.Move(p.step)) {
    TreeVisit *cur = history_.Current();
    if (!p.svg.isEmpty()) cur->svg = p.svg;  // rendered again
    RestoreVisit(*cur);
  }
  UpdateHistoryActions();
}

void MainWindow::UpdateHistoryActions() {
  if (back_) back_->setEnabled(history_.Peek(-1) != nullptr);
  if (forward_) forward_->setEnabled(history_.Peek(1) != nullptr);
}
