// The desktop program as a navigator, driven through its real windows: the
// Graph tab (rendered by dot, zoom, pan, fit, a click and a double-click on a
// node, its context menu), the keys (Enter, tabs, history, the question
// before a large render), the focus frame, the context menus of every view,
// the File menu with its dialogs and Recent, Back and Forward, the messages
// after Escape, the remembered window, and the visual faults (the picture
// behind the lists, column widths, the wait box, the Result view).
//
// Runs offscreen, and under Xvfb with the xcb platform when xvfb-run exists
// (the same program, as an end-to-end test against a real display server).
#include <QAbstractItemModelTester>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QScrollBar>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTabWidget>
#include <QTest>
#include <QTimer>

#include <sys/stat.h>
#include <unistd.h>

#include "foundation/text.h"
#include "graph/graph.h"
#include "gui_fixture.h"
#include "platform/keys.h"
#include "ui/focus_frame.h"
#include "ui/qtext.h"
#include "xref/list_columns.h"

using namespace velmora_gui;

namespace {

// The texts of the popup menu that opens next, and the one chosen (by its
// text before any tab); none chosen: the menu is closed.
struct MenuPick {
  QStringList seen;
  QString name;  // object name of the menu
  void Arm(QObject *ctx, const QString &choose) {
    seen.clear();
    name.clear();
    QTimer::singleShot(150, ctx, [this, choose] {
      QMenu *m = qobject_cast<QMenu *>(QApplication::activePopupWidget());
      if (!m) return;
      name = m->objectName();
      QAction *pick = nullptr;
      for (QAction *a : m->actions()) {
        if (a->isSeparator()) continue;
        seen << a->text();
        if (a->text().section(QLatin1Char('\t'), 0, 0) == choose) pick = a;
      }
      // Chosen as a user chooses: the item made active, then Enter.
      if (pick) {
        m->setActiveAction(pick);
        QTest::keyClick(m, Qt::Key_Return);
      } else {
        m->close();
      }
    });
  }
};

}  // namespace

class GuiNavigatorTest : public GuiFixture {
  Q_OBJECT

  QTemporaryDir scratch_;

  // Graph output through the real renderer, the Graph tab as the viewer.
  void UseRenderer(const QByteArray &dot) {
    CopyText(g_config.DOT_EXE, sizeof g_config.DOT_EXE, dot.constData());
    g_config.DISPLAY_GRAPH = 1;
    g_config.GRAPH_IN_WINDOW = 1;
    InitGraphTools();
    QCOMPARE(graph_enabled, 1);
    QDir desk(QString::fromLocal8Bit(qgetenv("XDG_DESKTOP_DIR")));
    for (const QString &f : desk.entryList({QStringLiteral("FuncGraph*")}, QDir::Files))
      desk.remove(f);
    NewWindow();
    g_front.render = 1;
  }
  // A renderer of our own that sleeps first (seconds), then writes what -o names.
  QByteArray SlowRenderer(int seconds) {
    QString path = scratch_.filePath(QStringLiteral("slow-dot.sh"));
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    f.write(QStringLiteral(
                "#!/bin/sh\necho $$ >> \"%1/dot.pids\"\nsleep %2\nexec /usr/bin/dot \"$@\"\n")
                .arg(scratch_.path())
                .arg(seconds)
                .toUtf8());
    f.close();
    chmod(QFile::encodeName(path).constData(), 0755);
    return QFile::encodeName(path);
  }
  // A project of a chain of n functions, each calling the next and m names
  // no source defines.
  QString ChainProject(const QString &name, int n, int m) {
    QDir(scratch_.path()).mkpath(name);
    QFile f(scratch_.filePath(name + QStringLiteral("/chain.c")));
    f.open(QIODevice::WriteOnly);
    for (int i = 0; i < n; i++) {
      QString body;
      if (i + 1 < n) body += QStringLiteral("  f%1();\n").arg(i + 1);
      for (int k = 0; k < m; k++) body += QStringLiteral("  u%1_%2();\n").arg(i).arg(k);
      f.write(QStringLiteral("int f%1(void)\n{\n%2}\n").arg(i).arg(body).toLatin1());
    }
    f.close();
    return scratch_.filePath(name);
  }
  int Sid(const QString &function) {
    int r = FindShown(List(0), FL_FUNCTION, function);
    return r < 0 ? 0 : List(0)->model()->index(r, FL_SID).data().toInt();
  }
  int Fid(const QString &function) {
    int r = FindShown(List(0), FL_FUNCTION, function);
    return r < 0 ? 0 : List(0)->model()->index(r, FL_FID).data().toInt();
  }
  QString Status() { return Views()->StatusText(); }
  // The text of the CallTree's root.
  QString TreeRoot() {
    QModelIndex root = Views()->Tree()->index(0, 0);
    return root.isValid() ? root.data().toString() : QString();
  }
  // Pictures drawn on the desktop (a name claimed for a render under way is
  // an empty file until its picture is moved onto it).
  int Pictures() {
    QDir desk(QString::fromLocal8Bit(qgetenv("XDG_DESKTOP_DIR")));
    int n = 0;
    for (const QFileInfo &f : desk.entryInfoList({QStringLiteral("FuncGraph*")}, QDir::Files))
      if (f.size() > 0) n++;
    return n;
  }
  // Every FuncGraph file, drawn or only claimed.
  int PictureNames() {
    return (int)QDir(QString::fromLocal8Bit(qgetenv("XDG_DESKTOP_DIR")))
        .entryList({QStringLiteral("FuncGraph*")}, QDir::Files)
        .size();
  }
  // The point of the graph view's viewport over the node of a function.
  QPoint NodePoint(const QString &function) {
    GraphView *g = Views()->Graph();
    QRectF r = g->NodeRect(Sid(function), Fid(function));
    return g->mapFromScene(r.center());
  }
  // Shortcuts and focus need the window active.
  void ShowWindow() {
    w_->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(w_));
  }

  void AfterTest() override {
    g_config.GRAPH_IN_WINDOW = 0;
    g_config.DISPLAY_GRAPH = 0;
    InitGraphTools();
  }
  // A renderer that only writes a picture of one node, FC1_1, at once.
  QByteArray QuickRenderer() {
    QString path = scratch_.filePath(QStringLiteral("quick-dot.sh"));
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    f.write(
        "#!/bin/sh\nfmt=$1\nwhile [ $# -gt 0 ]; do\n  if [ \"$1\" = -o ]; then\n"
        "    if [ \"$fmt\" = -Tsvg ]; then\n"
        "      printf '<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"100pt\" height=\"50pt\" "
        "viewBox=\"0 0 100 50\"><g id=\"node1\" class=\"node\"><title>FC1_1</title>"
        "<rect x=\"10\" y=\"10\" width=\"80\" height=\"30\"/></g></svg>' > \"$2\"\n"
        "    else echo GIF8 > \"$2\"; fi\n  fi\n  shift\ndone\n");
    f.close();
    chmod(QFile::encodeName(path).constData(), 0755);
    return QFile::encodeName(path);
  }
  // The first node below the root of a tree view that stands for a function.
  static QModelIndex FunctionChild(TreeModel *m) {
    QModelIndex root = m->index(0, 0);
    for (int r = 0; r < m->rowCount(root); r++) {
      int sid = 0, fid = 0;
      if (m->FunctionAt(m->index(r, 0, root), &sid, &fid)) return m->index(r, 0, root);
    }
    return QModelIndex();
  }

 private Q_SLOTS:

  void graphTabShowsTheTree() {
    UseRenderer("/usr/bin/dot");
    DropProject();
    QElapsedTimer t;
    t.start();
    QVERIFY(w_->TreeRequest(Sid("main"), Fid("main")));
    QVERIFY(WaitIdle());
    QVERIFY(warnings_.isEmpty());
    GraphView *g = Views()->Graph();
    // The Graph tab is the viewer: shown with the picture, no viewer started.
    QCOMPARE(Views()->CurrentView(), (int)VIEW_GRAPH);
    QVERIFY(!g->File().isEmpty());
    QVERIFY(QFile::exists(g->File()));
    QCOMPARE(g->NodeCount(), 3);  // main, compute, helper (the others are names)
    QVERIFY(!g->NodeRect(Sid("helper"), Fid("helper")).isEmpty());
    QCOMPARE(Pictures(), 1);  // the described picture is still made
    qInfo("tree of main in the Graph tab after %lld ms", (long long)t.elapsed());

    // A click on a node selects its function in the Function List.
    ShowWindow();
    QTest::mouseClick(g->viewport(), Qt::LeftButton, Qt::NoModifier, NodePoint("helper"));
    QCOMPARE(g->SelectedSid(), Sid("helper"));
    QModelIndexList sel = List(0)->selectionModel()->selectedRows();
    QCOMPARE(sel.size(), 1);
    QCOMPARE(sel[0].siblingAtColumn(FL_FUNCTION).data().toString(), QStringLiteral("helper"));

    // Zoom with +, -, Ctrl+wheel; fit with 0 and Home.
    g->setFocus();
    double z = g->Zoom();
    QTest::keyClick(g, Qt::Key_Plus);
    QVERIFY(qAbs(g->Zoom() - z * 1.25) < 1e-6);
    QTest::keyClick(g, Qt::Key_Minus);
    QTest::keyClick(g, Qt::Key_Minus);
    QVERIFY(qAbs(g->Zoom() - z / 1.25) < 1e-6);
    QPoint mid = g->viewport()->rect().center();
    QWheelEvent up(mid, g->viewport()->mapToGlobal(mid), QPoint(), QPoint(0, 120), Qt::NoButton,
                   Qt::ControlModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(g->viewport(), &up);
    QVERIFY(qAbs(g->Zoom() - z) < 1e-6);
    g->SetZoom(6);
    QTest::keyClick(g, Qt::Key_0);
    QVERIFY(g->Zoom() <= 1.0);
    QRectF seen = g->mapToScene(g->viewport()->rect()).boundingRect();
    QVERIFY2(seen.contains(g->scene()->sceneRect()), "fit shows the whole picture");
    g->SetZoom(4);
    QTest::keyClick(g, Qt::Key_Home);
    QVERIFY(g->Zoom() <= 1.0);

    // Dragging pans.
    g->SetZoom(4);
    QScrollBar *h = g->horizontalScrollBar();
    h->setValue(h->maximum() / 2);
    int before = h->value();
    QPoint from = g->viewport()->rect().center();
    QTest::mousePress(g->viewport(), Qt::LeftButton, Qt::NoModifier, from);
    QMouseEvent move(QEvent::MouseMove, QPointF(from + QPoint(60, 0)),
                     QPointF(g->viewport()->mapToGlobal(from + QPoint(60, 0))), Qt::NoButton,
                     Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(g->viewport(), &move);
    QTest::mouseRelease(g->viewport(), Qt::LeftButton, Qt::NoModifier, from + QPoint(60, 0));
    QVERIFY2(h->value() < before,
             qPrintable(QStringLiteral("%1 -> %2").arg(before).arg(h->value())));
    QCOMPARE(g->SelectedSid(), Sid("helper"));  // a drag is no click

    // A double-click on a node builds its tree; the zoom stays.
    g->SetZoom(1.5);
    QString first = g->File();
    QTest::mouseDClick(g->viewport(), Qt::LeftButton, Qt::NoModifier, NodePoint("compute"));
    QVERIFY(WaitIdle());
    QVERIFY(g->File() != first);
    QVERIFY(qAbs(g->Zoom() - 1.5) < 1e-6);
    QCOMPARE(g->NodeCount(), 2);
    QVERIFY(TreeRoot().startsWith(QStringLiteral("compute(argc:2)")));

    // The context menu of a node: the Function List's commands.
    MenuPick pick;
    pick.Arm(this, QStringLiteral("Callers"));
    QContextMenuEvent menu(QContextMenuEvent::Mouse, NodePoint("helper"),
                           g->viewport()->mapToGlobal(NodePoint("helper")));
    QApplication::sendEvent(g->viewport(), &menu);
    QCOMPARE(pick.name, QStringLiteral("contextMenu"));
    QCOMPARE(pick.seen, QStringList({"&view Function.", "view Source", "Callers\tShift+Enter",
                                     "Tree\tEnter"}));
    QVERIFY(WaitIdle());
    QVERIFY2(Views()->Callers()->Dump().contains(QStringLiteral("helper(argc:1)")),
             qPrintable(Views()->Callers()->Dump()));
    // The callers tree has its graph too.
    QVERIFY(g->NodeCount() >= 3);
  }

  void stoppedRenderIsKilled() {
    UseRenderer(SlowRenderer(30));
    DropProject();
    QVERIFY(w_->TreeRequest(Sid("main"), Fid("main")));
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(scratch_.filePath(QStringLiteral("dot.pids"))), 20000);
    QTest::qWait(300);
    QTest::keyClick(w_->windowHandle(), Qt::Key_Escape);
    QVERIFY(WaitIdle(10000));
    QCOMPARE(warnings_, QStringList({QStringLiteral("中断しました。")}));
    QCOMPARE(Status(), QStringLiteral("Stopped: the graph was not rendered"));
    QFile pids(scratch_.filePath(QStringLiteral("dot.pids")));
    QVERIFY(pids.open(QIODevice::ReadOnly));
    for (const QByteArray &pid : pids.readAll().split('\n'))
      if (!pid.isEmpty()) QVERIFY2(!QFile::exists(QStringLiteral("/proc/") + pid), pid.constData());
    QTest::qWait(300);
    QCOMPARE(PictureNames(), 0);  // no picture, and its name given back
    QVERIFY(Views()->Graph()->File().isEmpty());
    QFile::remove(scratch_.filePath(QStringLiteral("dot.pids")));
  }

  void largeGraphWaitsForEnter() {
    UseRenderer(QuickRenderer());
    w_->DropPaths({ChainProject(QStringLiteral("large"), 30, 150)});
    QVERIFY(WaitIdle());
    QVERIFY(w_->TreeRequest(Sid("f0"), Fid("f0")));
    QTRY_VERIFY_WITH_TIMEOUT(WorkerAsksToRender(), 20000);
    QTRY_VERIFY(Status().startsWith(QStringLiteral("The graph has ")));
    QVERIFY(
        Status().endsWith(QStringLiteral(" nodes. Enter: render it; Escape: leave it unrendered")));
    QCOMPARE(Pictures(), 0);
    // Enter in the window answers; it does not reach the list.
    List(0)->setFocus();
    QTest::keyClick(w_->windowHandle(), Qt::Key_Return);
    QVERIFY(WaitIdle(120000));
    QVERIFY(warnings_.isEmpty());
    QCOMPARE(Pictures(), 1);
    QVERIFY(Views()->Graph()->NodeCount() > 0);
    // Escape: the tree stays, unrendered.
    QVERIFY(w_->TreeRequest(Sid("f0"), Fid("f0")));
    QTRY_VERIFY_WITH_TIMEOUT(WorkerAsksToRender(), 20000);
    QTest::keyClick(w_->windowHandle(), Qt::Key_Escape);
    QVERIFY(WaitIdle());
    QVERIFY(Status().startsWith(QStringLiteral("Not rendered: the graph has ")));
    QCOMPARE(Pictures(), 1);
    QCOMPARE(PictureNames(), 1);  // the name claimed for it was given back
    QVERIFY(Views()->Graph()->File().isEmpty());
    QVERIFY(Views()->Tree()->Count() > 2000);
  }

  void keysOnRowsAndTabs() {
    DropProject();
    ShowWindow();
    QTableView *f = List(0);
    f->setFocus();
    f->setCurrentIndex(f->model()->index(FindShown(f, FL_FUNCTION, QStringLiteral("compute")), 0));
    QTest::keyClick(f, Qt::Key_Return);
    QVERIFY(WaitIdle());
    QVERIFY(TreeRoot().startsWith(QStringLiteral("compute(argc:2)")));
    // Shift+Enter: the callers.
    Views()->SelectView(VIEW_FUNCTIONS);
    f->setFocus();
    QTest::keyClick(f, Qt::Key_Return, Qt::ShiftModifier);
    QVERIFY(WaitIdle());
    QVERIFY(Views()->Callers()->Dump().startsWith(QStringLiteral("1 compute(argc:2)")));

    // On the Call List: the called function when linked; a word otherwise.
    Views()->SelectView(VIEW_CALLS);
    QTableView *c = List(1);
    c->setFocus();
    c->setCurrentIndex(c->model()->index(FindShown(c, CL_CALL, QStringLiteral("helper")), 0));
    QTest::keyClick(c, Qt::Key_Enter);
    QVERIFY(WaitIdle());
    QVERIFY(TreeRoot().startsWith(QStringLiteral("helper(argc:1)")));
    Views()->SelectView(VIEW_CALLS);
    int miss = FindShown(c, CL_CALL, QStringLiteral("missing_function"));
    c->setCurrentIndex(c->model()->index(miss, 0));
    QTest::keyClick(c, Qt::Key_Return);
    QCOMPARE(Status(), QStringLiteral("missing_function is not defined in the analysed code"));
    QVERIFY(!WorkerBusy());
    // A double-click says the same.
    Views()->SetStatusText("");
    Q_EMIT c->doubleClicked(c->model()->index(miss, 3));
    QCOMPARE(Status(), QStringLiteral("missing_function is not defined in the analysed code"));

    // Ctrl+Tab and Ctrl+PgDn go to the next tab, with Shift and PgUp back;
    // the current row stays where it was.
    Views()->SelectView(VIEW_FUNCTIONS);
    f->setFocus();
    int row = f->currentIndex().row();
    QWindow *win = w_->windowHandle();
    QTest::keyClick(win, Qt::Key_Tab, Qt::ControlModifier);
    QCOMPARE(Views()->CurrentView(), (int)VIEW_CALLS);
    QTest::keyClick(win, Qt::Key_PageDown, Qt::ControlModifier);
    QCOMPARE(Views()->CurrentView(), (int)VIEW_TREE);
    QTest::keyClick(win, Qt::Key_PageDown, Qt::ControlModifier);
    QCOMPARE(Views()->CurrentView(), (int)VIEW_GRAPH);
    QTest::keyClick(win, Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier);
    QCOMPARE(Views()->CurrentView(), (int)VIEW_TREE);
    QTest::keyClick(win, Qt::Key_PageUp, Qt::ControlModifier);
    QTest::keyClick(win, Qt::Key_PageUp, Qt::ControlModifier);
    QCOMPARE(Views()->CurrentView(), (int)VIEW_FUNCTIONS);
    QTest::keyClick(win, Qt::Key_PageUp, Qt::ControlModifier);  // round the end
    QCOMPARE(Views()->CurrentView(), (int)VIEW_CALLERS);
    QCOMPARE(f->currentIndex().row(), row);

    // Enter on a CallTree node builds that node's tree.
    QVERIFY(w_->TreeRequest(Sid("main"), Fid("main")));
    QVERIFY(WaitIdle());
    TreeView *tv = Views()->TreeWidget();
    QModelIndex kid = FunctionChild(Views()->Tree());
    QVERIFY(kid.isValid());
    tv->setFocus();
    tv->setCurrentIndex(kid);
    QString name = kid.data().toString();
    QTest::keyClick(tv, Qt::Key_Return);
    QVERIFY(WaitIdle());
    QVERIFY2(TreeRoot() == name, qPrintable(Views()->Tree()->Dump()));
  }

  void focusFrameOnViewAndRow() {
    DropProject();
    ShowWindow();
    QTableView *f = List(0);
    f->setFocus();
    QTRY_VERIFY(f->hasFocus());
    f->setCurrentIndex(f->model()->index(2, 0));
    QImage on = f->viewport()->grab().toImage();
    QCOMPARE(on.pixelColor(1, 1), FocusFrameColour());
    int y = f->rowViewportPosition(2);
    QCOMPARE(on.pixelColor(f->viewport()->width() / 2, y), FocusFrameColour());
    // Another view takes the focus: the frame goes with it.
    Views()->FilterEdit(0)->setFocus();
    QTRY_VERIFY(!f->hasFocus());
    QImage off = f->viewport()->grab().toImage();
    QVERIFY(off.pixelColor(1, 1) != FocusFrameColour());
    Views()->SelectView(VIEW_TREE);
    Views()->TreeWidget()->setFocus();
    QTRY_VERIFY(Views()->TreeWidget()->hasFocus());
    QCOMPARE(Views()->TreeWidget()->viewport()->grab().toImage().pixelColor(1, 1),
             FocusFrameColour());
  }

  void contextMenusOnEveryView() {
    DropProject();
    ShowWindow();
    MenuPick pick;
    // A Call List row with a linked call acts on the called function.
    Views()->SelectView(VIEW_CALLS);
    QTableView *c = List(1);
    int linked = FindShown(c, CL_CALL, QStringLiteral("compute"));
    QPoint at = c->visualRect(c->model()->index(linked, CL_CALL)).center();
    pick.Arm(this, QStringLiteral("Tree"));
    QContextMenuEvent e1(QContextMenuEvent::Mouse, at, c->viewport()->mapToGlobal(at));
    QApplication::sendEvent(c->viewport(), &e1);
    QCOMPARE(pick.name, QStringLiteral("contextMenu"));
    QCOMPARE(pick.seen.size(), 4);
    QVERIFY(WaitIdle());
    QVERIFY2(TreeRoot().startsWith(QStringLiteral("compute(argc:2)")), qPrintable(TreeRoot()));
    // An unlinked one: Tree is the caller's, Callers the name's.
    Views()->SelectView(VIEW_CALLS);
    int miss = FindShown(c, CL_CALL, QStringLiteral("missing_function"));
    at = c->visualRect(c->model()->index(miss, CL_CALL)).center();
    pick.Arm(this, QStringLiteral("Tree"));
    QContextMenuEvent e2(QContextMenuEvent::Mouse, at, c->viewport()->mapToGlobal(at));
    QApplication::sendEvent(c->viewport(), &e2);
    QVERIFY(WaitIdle());
    QVERIFY(TreeRoot().startsWith(QStringLiteral("main(argc:2)")));
    Views()->SelectView(VIEW_CALLS);
    pick.Arm(this, QStringLiteral("Callers"));
    QApplication::sendEvent(c->viewport(), &e2);
    QVERIFY(WaitIdle());
    QVERIFY(Views()->Callers()->Dump().startsWith(QStringLiteral("4 missing_function(argc:3)")));

    // A CallTree node and a Callers node.
    Views()->SelectView(VIEW_TREE);
    TreeView *tv = Views()->TreeWidget();
    QModelIndex kid = FunctionChild(Views()->Tree());
    QVERIFY(kid.isValid());
    at = tv->visualRect(kid).center();
    pick.Arm(this, QStringLiteral("Callers"));
    QContextMenuEvent e3(QContextMenuEvent::Mouse, at, tv->viewport()->mapToGlobal(at));
    QApplication::sendEvent(tv->viewport(), &e3);
    QCOMPARE(pick.seen.size(), 4);
    QVERIFY(WaitIdle());
    QCOMPARE(Views()->Callers()->Dump().section(QLatin1Char('('), 0, 0).mid(2),
             kid.data().toString().section(QLatin1Char('('), 0, 0));
    Views()->SelectView(VIEW_CALLERS);
    TreeView *cv = Views()->CallersWidget();
    at = cv->visualRect(Views()->Callers()->index(0, 0)).center();
    pick.Arm(this, QStringLiteral("Tree"));
    QContextMenuEvent e4(QContextMenuEvent::Mouse, at, cv->viewport()->mapToGlobal(at));
    QApplication::sendEvent(cv->viewport(), &e4);
    QCOMPARE(pick.seen.size(), 4);
    QVERIFY(WaitIdle());
    QVERIFY(warnings_.isEmpty());
    // The Function menu of the menu bar acts on the view shown.
    Views()->SelectView(VIEW_FUNCTIONS);
    List(0)->selectRow(FindShown(List(0), FL_FUNCTION, QStringLiteral("twice")));
    w_->Command(CMD_TREE);
    QVERIFY(WaitIdle());
    QVERIFY(TreeRoot().startsWith(QStringLiteral("twice(argc:1)")));
  }

  void historyBackAndForward() {
    UseRenderer("/usr/bin/dot");
    ShowWindow();
    w_->DropPaths({ChainProject(QStringLiteral("chain"), 60, 3)});
    QVERIFY(WaitIdle());
    w_->Command(CMD_BACK);  // nothing yet: nothing happens
    QVERIFY(!WorkerBusy());
    QVERIFY(w_->TreeRequest(Sid("f0"), Fid("f0")));
    QVERIFY(WaitIdle());
    QString first = Views()->Graph()->File();
    // Left on the CallTree, scrolled down.
    Views()->SelectView(VIEW_TREE);
    TreeView *tv = Views()->TreeWidget();
    tv->doItemsLayout();
    QScrollBar *bar = tv->verticalScrollBar();
    QVERIFY(bar->maximum() > 10);
    bar->setValue(bar->maximum() / 2);
    int scroll = bar->value();
    QVERIFY(w_->TreeRequest(Sid("f40"), Fid("f40")));
    QVERIFY(WaitIdle());
    QString second = Views()->Graph()->File();
    QVERIFY(second != first);
    QCOMPARE(w_->History().Size(), 2);
    int pictures = Pictures();
    QString result = Views()->Result()->toPlainText();

    // Alt+Left: the first tree again, on its tab and scroll position, with
    // its picture and no new rendering, log or Result text.
    QTest::keyClick(w_->windowHandle(), Qt::Key_Left, Qt::AltModifier);
    QVERIFY(WaitIdle());
    QVERIFY(TreeRoot().startsWith(QStringLiteral("f0(argc:0)")));
    QCOMPARE(Views()->CurrentView(), (int)VIEW_TREE);
    QCOMPARE(bar->value(), scroll);
    QCOMPARE(Views()->Graph()->File(), first);
    QCOMPARE(Pictures(), pictures);
    QCOMPARE(Views()->Result()->toPlainText(), result);
    QCOMPARE(w_->History().Index(), 0);
    // Alt+Right: the second again, where it was left (the Graph tab).
    QTest::keyClick(w_->windowHandle(), Qt::Key_Right, Qt::AltModifier);
    QVERIFY(WaitIdle());
    QVERIFY(TreeRoot().startsWith(QStringLiteral("f40(argc:0)")));
    QCOMPARE(Views()->CurrentView(), (int)VIEW_GRAPH);
    QCOMPARE(Views()->Graph()->File(), second);
    QCOMPARE(Pictures(), pictures);
    // A picture gone: that tree is rendered again.
    QFile::remove(first);
    QVERIFY(w_->GoThroughHistory(-1));
    QVERIFY(WaitIdle());
    QCOMPARE(Pictures(), pictures + 1);
    QVERIFY(QFile::exists(Views()->Graph()->File()));
    // A new tree after going back drops the trees ahead.
    QVERIFY(w_->TreeRequest(Sid("f10"), Fid("f10")));
    QVERIFY(WaitIdle());
    QCOMPARE(w_->History().Size(), 2);
    QCOMPARE(w_->GoThroughHistory(1), 0);
    // A new analysis starts a new history.
    w_->DropPaths({Project()});
    QVERIFY(WaitIdle());
    QCOMPARE(w_->History().Size(), 0);
  }

  void fileMenuAndRecent() {
    ShowWindow();
    // Open Folder: the dialog's folder analysed as a drop.
    dialog_paths_ = QStringList{Project()};
    QTest::keyClick(w_->windowHandle(), Qt::Key_O, Qt::ControlModifier);
    QCOMPARE(dialogs_, QStringList({"folder"}));
    QVERIFY(WaitIdle());
    QCOMPARE(List(0)->model()->rowCount(), 5);
    QVERIFY(questions_.isEmpty());
    // With a project open, the drop's question comes first; Cancel keeps it.
    answer_ = false;
    dialog_paths_ = QStringList{QStringLiteral(VELMORA_TEST_DATA "/gui_project/sub/util.c")};
    w_->Command(CMD_OPEN_FILES);
    QCOMPARE(dialogs_, QStringList({"folder", "files"}));
    QCOMPARE(questions_.size(), 1);
    QCOMPARE(List(0)->model()->rowCount(), 5);
    answer_ = true;
    w_->Command(CMD_OPEN_FILES);
    QVERIFY(WaitIdle());
    QCOMPARE(Column(List(0), FL_FUNCTION), QStringList({"twice", "fact"}));
    // A cancelled dialog does nothing.
    dialog_paths_.clear();
    w_->Command(CMD_OPEN_FOLDER);
    QVERIFY(!WorkerBusy());

    // Recent, newest first, kept in the user's config folder.
    QList<QStringList> recent = RecentPathSets();
    QCOMPARE(recent.size(), 2);
    QCOMPARE(recent[0], QStringList{QStringLiteral(VELMORA_TEST_DATA "/gui_project/sub/util.c")});
    QCOMPARE(recent[1], QStringList{Project()});
    QVERIFY(DesktopSettingsFile().startsWith(QString::fromLocal8Bit(qgetenv("XDG_CONFIG_HOME")) +
                                             QStringLiteral("/velmora/")));
    QMenu *menu = w_->findChild<QMenu *>(QStringLiteral("recentMenu"));
    QVERIFY(menu);
    QTRY_COMPARE(menu->actions().size(), 2);
    menu->actions()[1]->trigger();
    QVERIFY(WaitIdle());
    QCOMPARE(List(0)->model()->rowCount(), 5);
    QTRY_VERIFY(menu->actions()[0]->text().contains(QStringLiteral("gui_project")));
    for (int i = 0; i < 12; i++) AddRecentPathSet({QStringLiteral("/p%1").arg(i)});
    QCOMPARE(RecentPathSets().size(), (int)kRecentSets);
    QCOMPARE(RecentPathSets()[0], QStringList{QStringLiteral("/p11")});

    // F5: the same paths again, without a question.
    int asked = questions_.size();
    QTest::keyClick(w_->windowHandle(), Qt::Key_F5);
    QVERIFY(WaitIdle());
    QCOMPARE(questions_.size(), asked);
    QCOMPARE(List(0)->model()->rowCount(), 5);

    // After Escape in the first pass, Re-analyse and Open still work.
    w_->DropPaths({Project()});
    QTest::keyClick(w_->windowHandle(), Qt::Key_Escape);
    QVERIFY(WaitIdle());
    // Stopped while collecting or while parsing, depending on the machine.
    QVERIFY(Status().startsWith(QStringLiteral("Stopped: ")));
    QVERIFY2(Status().endsWith(QStringLiteral(" sources analysed; lists are partial")) ||
                 Status().endsWith(QStringLiteral(" files collected, none analysed")),
             qPrintable(Status()));
    QTest::keyClick(w_->windowHandle(), Qt::Key_F5);
    QVERIFY(WaitIdle());
    QVERIFY2(warnings_.isEmpty() || warnings_.size() == 1,
             qPrintable(warnings_.join(QLatin1Char('|'))));
    QCOMPARE(List(0)->model()->rowCount(), 5);
    QCOMPARE(Status(), FromSjis(g_config.STAT_MESS[2]));
  }

  void statusWhileAnalysing() {
    // The status line never asks for a double-click while the lists fill.
    QTemporaryDir big;
    for (int n = 0; n < 150; n++) {
      QFile file(big.filePath(QStringLiteral("s%1.c").arg(n)));
      QVERIFY(file.open(QIODevice::WriteOnly));
      for (int i = 0; i < 80; i++)
        file.write(QStringLiteral("int f%1_%2(int a) { return g(a, %1) + h(a); }\n")
                       .arg(n)
                       .arg(i)
                       .toLatin1());
    }
    w_->DropPaths({big.path()});
    QTest::qWait(700);
    QVERIFY(WorkerBusy());
    Views()->Tabs()->setCurrentIndex(1);
    QVERIFY(Status() != FromSjis(g_config.STAT_MESS[3]));
    QVERIFY(Status() != FromSjis(g_config.STAT_MESS[2]));
    QVERIFY(WaitIdle(60000));
    QCOMPARE(Status(), FromSjis(g_config.STAT_MESS[3]));

    // The Function bar never goes back within one source.
    ProgressWindow p(nullptr, 0);
    ProgressPort port;
    port.SetDetail("a.c");
    port.SetFunctionProgress(60);
    port.ApplyTo(&p);
    port.SetFunctionProgress(20);  // a value of a source already left behind
    port.ApplyTo(&p);
    QCOMPARE(p.FunctionPos(), 60);
    port.SetFunctionProgress(80);
    port.ApplyTo(&p);
    QCOMPARE(p.FunctionPos(), 80);
    port.SetDetail("b.c");  // the next source starts from its beginning
    port.SetFunctionProgress(10);
    port.ApplyTo(&p);
    QCOMPARE(p.FunctionPos(), 10);
    port.SetPass(2);
    port.SetFunctionProgress(0);
    port.ApplyTo(&p);
    QCOMPARE(p.FunctionPos(), 0);
  }

  void windowRemembered() {
    // The first run has the described size.
    QCOMPARE(w_->size(), QSize(g_config.WIDTH, g_config.HEIGHT));
    QCOMPARE(w_->size(), QSize(800, 400));
    w_->resize(900, 520);
    List(0)->horizontalHeader()->resizeSection(FL_SOURCE, 211);
    w_->close();
    delete w_;
    w_ = new MainWindow;  // without forgetting: a second run
    w_->show();
    w_->Start();
    QCOMPARE(w_->size(), QSize(900, 520));
    QCOMPARE(List(0)->horizontalHeader()->sectionSize(FL_SOURCE), 211);
  }

  void listsDrawnCleanly() {
    // Headers keep their letters with the sort indicator; names are not cut.
    QTemporaryDir dir;
    QFile file(dir.filePath(QStringLiteral("long.c")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    QString longName = QStringLiteral("a_name_long_enough_to_be_cut_short");
    file.write(("int " + longName + "(void) { return 1; }\n").toLatin1());
    for (int i = 0; i < 400; i++)
      file.write(QStringLiteral("int f%1(void) { return 2; }\n").arg(i).toLatin1());
    file.close();
    w_->DropPaths({dir.path()});
    QVERIFY(WaitIdle());
    ShowWindow();
    QTableView *f = List(0);
    QHeaderView *hh = f->horizontalHeader();
    Views()->ClickColumn(VIEW_FUNCTIONS, FL_LINE);
    QFontMetrics hm(hh->font()), cm(f->font());
    for (int c = 0; c < FL_CALLED; c++) {
      QString head = f->model()->headerData(c, Qt::Horizontal).toString();
      QVERIFY2(hh->sectionSize(c) >= hm.horizontalAdvance(head) + hm.height(), qPrintable(head));
    }
    QVERIFY(hh->sectionSize(FL_FUNCTION) >= cm.horizontalAdvance(longName));
    QVERIFY(hh->sectionSize(FL_FUNCTION) <= w_->width() / 2);

    // The picture behind the list stays in its corner while the rows scroll:
    // what the screen shows is what a full repaint draws.
    Views()->SelectView(VIEW_FUNCTIONS);
    QTest::qWait(100);
    f->verticalScrollBar()->setValue(f->verticalScrollBar()->maximum() / 2);
    QTest::qWait(100);
    f->verticalScrollBar()->setValue(f->verticalScrollBar()->value() + 7);
    QTest::qWait(200);
    QWidget *vp = f->viewport();
    QPoint origin = vp->mapTo(w_, QPoint(0, 0));
    QImage screen = w_->screen()
                        ->grabWindow(w_->winId(), origin.x(), origin.y(), vp->width(), vp->height())
                        .toImage()
                        .convertToFormat(QImage::Format_RGB32);
    QImage fresh = vp->grab().toImage().convertToFormat(QImage::Format_RGB32);
    if (screen.size() == fresh.size()) {
      int differ = 0;
      for (int y = 0; y < fresh.height(); y++)
        for (int x = 0; x < fresh.width(); x++)
          if (screen.pixel(x, y) != fresh.pixel(x, y)) differ++;
      QVERIFY2(differ < fresh.width() * fresh.height() / 200, qPrintable(QString::number(differ)));
    } else {
      qInfo("screen grab unavailable on this platform; picture check skipped");
    }

    // The Result view: read-only, the lists' font size.
    ResultEdit *r = Views()->Result();
    QVERIFY(r->isReadOnly());
    QCOMPARE(r->font().pixelSize(), f->font().pixelSize());
    r->setFocus();
    QString before = r->toPlainText();
    QTest::keyClicks(r, QStringLiteral("typed"));
    QCOMPARE(r->toPlainText(), before);

    // The wait box shows every line of its longest message.
    WaitBoxWindow b(nullptr, QStringLiteral("関数呼出木を作成しています。"));
    QSize small = b.size();
    b.SetText(
        QStringLiteral("かなり巨大なグラフを作成しています。\r\n"
                       "コーヒーでも飲みながらお待ちください。"));
    QCOMPARE(b.TextFits(), 1);
    QVERIFY(b.height() >= small.height());
    QCOMPARE(b.width(), small.width());

    // The legend of the colours.
    QStringList legend;
    QTimer::singleShot(100, this, [&] {
      ColourLegend *l = qobject_cast<ColourLegend *>(QApplication::activeModalWidget());
      if (!l) return;
      legend = l->Lines();
      l->accept();
    });
    w_->Command(CMD_LEGEND);
    QCOMPARE(legend.size(), 4);
    QVERIFY(legend[0].startsWith(QStringLiteral("#a0ffb0 ")));
    QVERIFY(legend[3].startsWith(QStringLiteral("#e0e0e0 ")));
  }

  void longListsSortOffTheGuiThread() {
    ListModel m(VIEW_CALLS);
    QAbstractItemModelTester tester(&m, QAbstractItemModelTester::FailureReportingMode::QtTest);
    const int n = 60000;
    for (int i = 0; i < n; i++) {
      std::string cells = std::to_string(i % 97) + '\0' + "s.c" + '\0' + "1" + '\0' + "f" + '\0' +
                          "callee_" + std::to_string((i * 7919) % n) + '\0';
      m.InsertRow(i, cells, 5);
    }
    m.Commit();
    QSignalSpy done(&m, &ListModel::SortDone);
    m.SortInBackground(CL_CALL, false);
    QCOMPARE(m.Sorting(), 1);
    // Meanwhile the GUI thread serves events, and a second click waits its turn.
    m.SortInBackground(CL_SID, true);
    QTRY_COMPARE_WITH_TIMEOUT(done.count(), 2, 60000);
    QCOMPARE(m.Sorting(), 0);
    for (int r = 1; r < n; r++)
      QVERIFY(CellNumber(m.Cell(m.StoreRow(r - 1), CL_SID).c_str()) >=
              CellNumber(m.Cell(m.StoreRow(r), CL_SID).c_str()));
    // Stable over the first sort: equal SIDs keep the callee order.
    QVERIFY(m.Cell(m.StoreRow(0), CL_CALL) <= m.Cell(m.StoreRow(1), CL_CALL));
    // Rows deleted while it runs: the order is thrown away.
    m.SortInBackground(CL_CALL, true);
    m.DeleteRows();
    QTRY_COMPARE_WITH_TIMEOUT(done.count(), 3, 60000);
    QCOMPARE(m.rowCount(), 0);
    QCOMPARE(m.StoreRow(0), -1);
  }
};

QTEST_MAIN(GuiNavigatorTest)
#include "gui_navigator_test.moc"
