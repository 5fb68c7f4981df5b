// The desktop program's Graph tab and its renderers, driven through the real
// windows: the tree rendered by dot (zoom, pan, fit, a click and a
// double-click on a node, its context menu), a render stopped with Escape,
// and the question before a large render.
//
// Runs offscreen, and under Xvfb with the xcb platform when xvfb-run exists
// (the same program, as an end-to-end test against a real display server).
#include <QComboBox>
#include <QDir>
#include <QPushButton>
#include <QTemporaryDir>

#include "navigator_fixture.h"
#include "ui/graph_page.h"

using namespace velmora_gui;

class GuiRenderTest : public NavigatorFixture {
  Q_OBJECT

  // The item of a combo box whose data is value, chosen as the user does.
  static void Choose(QComboBox *box, int value) {
    int i = box->findData(value);
    QVERIFY(i >= 0);
    box->setCurrentIndex(i);
    Q_EMIT box->activated(i);
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
    QCOMPARE(PictureNames(), 0);  // as the viewer, it leaves nothing on the desktop
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

    // A double-click on a node builds its tree, which arrives fitted.
    g->SetZoom(1.5);
    QString first = g->File();
    QTest::mouseDClick(g->viewport(), Qt::LeftButton, Qt::NoModifier, NodePoint("compute"));
    QVERIFY(WaitIdle());
    QVERIFY(g->File() != first);
    QVERIFY(g->Zoom() <= 1.0);
    QCOMPARE(g->NodeCount(), 2);
    QVERIFY(TreeRoot().startsWith(QStringLiteral("compute(argc:2)")));

    // The context menu of a node: the Function List's commands.
    MenuPick pick;
    pick.Arm(this, QStringLiteral("Callers"));
    QContextMenuEvent menu(QContextMenuEvent::Mouse, NodePoint("helper"),
                           g->viewport()->mapToGlobal(NodePoint("helper")));
    QApplication::sendEvent(g->viewport(), &menu);
    QCOMPARE(pick.name, QStringLiteral("contextMenu"));
    QCOMPARE(pick.seen,
             QStringList({"&view Function.", "view Source", "&Go to Definition",
                          "Show in the &Source Tab", "Callers\tShift+Enter", "Tree\tEnter"}));
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
    // The wait box offers the answers as buttons.
    QTRY_VERIFY(w_->Wait() && w_->Wait()->Asking());
    QVERIFY(w_->Wait()->RenderButton()->isVisible() && w_->Wait()->LeaveButton()->isVisible());
    QVERIFY(!w_->Wait()->StopButton()->isVisible());
    // Enter in the window answers; it does not reach the list. The status
    // line stops asking.
    List(0)->setFocus();
    QTest::keyClick(w_->windowHandle(), Qt::Key_Return);
    QTRY_VERIFY(!Status().startsWith(QStringLiteral("The graph has ")));
    QVERIFY(WaitIdle(120000));
    QVERIFY(warnings_.isEmpty());
    QCOMPARE(PictureNames(), 0);
    QVERIFY(Views()->Graph()->NodeCount() > 0);
    // The Render button answers the same.
    QVERIFY(w_->TreeRequest(Sid("f0"), Fid("f0")));
    QTRY_VERIFY_WITH_TIMEOUT(w_->Wait() && w_->Wait()->Asking(), 20000);
    QTest::mouseClick(w_->Wait()->RenderButton(), Qt::LeftButton);
    QTRY_VERIFY(Status().startsWith(QStringLiteral("Rendering the graph of ")) || !WorkerBusy());
    QVERIFY(WaitIdle(120000));
    QVERIFY(Views()->Graph()->NodeCount() > 0);
    // Escape: the tree stays, unrendered.
    QVERIFY(w_->TreeRequest(Sid("f0"), Fid("f0")));
    QTRY_VERIFY_WITH_TIMEOUT(WorkerAsksToRender(), 20000);
    QTest::keyClick(w_->windowHandle(), Qt::Key_Escape);
    QVERIFY(WaitIdle());
    QVERIFY(Status().startsWith(QStringLiteral("Not rendered: the graph has ")));
    QCOMPARE(PictureNames(), 0);
    QVERIFY(Views()->Graph()->File().isEmpty());
    QVERIFY(Views()->Tree()->Count() > 2000);
    // Leave unrendered, the button, as Escape.
    QVERIFY(w_->TreeRequest(Sid("f0"), Fid("f0")));
    QTRY_VERIFY_WITH_TIMEOUT(w_->Wait() && w_->Wait()->Asking(), 20000);
    QTest::mouseClick(w_->Wait()->LeaveButton(), Qt::LeftButton);
    QVERIFY(WaitIdle());
    QVERIFY(Status().startsWith(QStringLiteral("Not rendered: the graph has ")));
  }

  void newGraphsArriveFittedWithTheirTitle() {
    UseRenderer("/usr/bin/dot");
    w_->DropPaths({ChainProject(QStringLiteral("deep"), 6, 0)});
    QVERIFY(WaitIdle());
    GraphView *g = Views()->Graph();
    GraphPage *page = Views()->GraphTab();
    const QString dash = QStringLiteral(" \u2014 ");
    // A title line over the graph, the root marked, the whole graph in sight.
    QVERIFY(w_->TreeRequest(Sid("f0"), Fid("f0")));
    QVERIFY(WaitIdle());
    QCOMPARE(g->NodeCount(), 6);
    QVERIFY2(page->Title().startsWith(QStringLiteral("f0") + dash + QStringLiteral("calls") + dash +
                                      QStringLiteral("6 nodes, depth ")),
             qPrintable(page->Title()));
    QCOMPARE(g->RootRect(), g->NodeRect(Sid("f0"), Fid("f0")));
    auto whole = [g] {
      QRectF seen = g->mapToScene(g->viewport()->rect()).boundingRect();
      return seen.contains(g->scene()->sceneRect());
    };
    QVERIFY(whole());
    // Zoomed in, then a new tree: it arrives fitted, not at the old zoom.
    g->SetZoom(4);
    QVERIFY(!whole());
    QVERIFY(w_->TreeRequest(Sid("f1"), Fid("f1")));
    QVERIFY(WaitIdle());
    QCOMPARE(g->NodeCount(), 5);
    QVERIFY(g->Zoom() <= 1.0);
    QVERIFY(whole());
    // Back brings the first as it was left.
    QVERIFY(w_->GoThroughHistory(-1));
    QVERIFY(WaitIdle());
    QVERIFY(qAbs(g->Zoom() - 4) < 1e-6);

    // The depth control draws the graph shown again, cut; the tree is whole.
    int rows = Views()->Tree()->rowCount(Views()->Tree()->index(0, 0));
    Choose(page->DepthBox(), 2);
    QTRY_COMPARE(g->NodeCount(), 3);
    QVERIFY2(page->Title().contains(QStringLiteral("3 of 6 nodes, depth 2 of ")),
             qPrintable(page->Title()));
    QCOMPARE(Views()->Tree()->rowCount(Views()->Tree()->index(0, 0)), rows);
    // The next graphs take that depth; All shows the whole again.
    QVERIFY(w_->TreeRequest(Sid("f2"), Fid("f2")));
    QVERIFY(WaitIdle());
    QCOMPARE(g->NodeCount(), 3);
    Choose(page->DepthBox(), 0);
    QTRY_COMPARE(g->NodeCount(), 4);

    // A callers graph: its title says so, and its root is at one end.
    Views()->SelectView(VIEW_FUNCTIONS);
    int f5 = FindShown(List(0), FL_FUNCTION, QStringLiteral("f5"));
    List(0)->setCurrentIndex(List(0)->model()->index(f5, 0));
    List(0)->selectRow(f5);
    w_->Command(CMD_CALLERS);
    QVERIFY(WaitIdle());
    QVERIFY2(page->Title().startsWith(QStringLiteral("f5") + dash + QStringLiteral("callers")),
             qPrintable(page->Title()));
    QCOMPARE(g->NodeCount(), 6);
    double root = g->RootRect().center().x();
    QVERIFY(!g->RootRect().isEmpty());
    bool first = true, last = true;
    for (int i = 0; i < 5; i++) {
      double x = g->NodeRect(Sid(QStringLiteral("f%1").arg(i)), Fid(QStringLiteral("f%1").arg(i)))
                     .center()
                     .x();
      first = first && root < x;
      last = last && root > x;
    }
    QVERIFY(first || last);

    // Save Picture As: the file named, in the format its name says; the
    // desktop keeps no picture.
    QString saved = scratch_.filePath(QStringLiteral("saved.png"));
    SetSaveDialogHandler([saved](QWidget *, const QString &) { return saved; });
    w_->Command(CMD_SAVE_PICTURE);
    QTRY_VERIFY_WITH_TIMEOUT(Status().startsWith(QStringLiteral("Picture saved: ")), 20000);
    QFile png(saved);
    QVERIFY(png.open(QIODevice::ReadOnly));
    QCOMPARE(png.read(4), QByteArray("\x89PNG"));
    SetSaveDialogHandler([this](QWidget *, const QString &) {
      return scratch_.filePath(QStringLiteral("saved.bmp"));
    });
    w_->Command(CMD_SAVE_PICTURE);
    QCOMPARE(Status(), QStringLiteral("Not saved: name the picture .svg, .png or .gif"));
    SetSaveDialogHandler(nullptr);
    QCOMPARE(PictureNames(), 0);
  }

  // A picture saved over an existing file: the old file stays whole until the
  // new one is, so a copy that fails loses nothing.
  void aFailedSaveKeepsTheOldFile() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QString dest = dir.filePath(QStringLiteral("kept.svg"));
    QFile old(dest);
    QVERIFY(old.open(QIODevice::WriteOnly));
    old.write("old picture");
    old.close();
    QVERIFY(!CopyReplacing(dir.path(), dest));  // a folder cannot be read as a file
    QVERIFY(!CopyReplacing(dir.filePath(QStringLiteral("missing.svg")), dest));
    QVERIFY(old.open(QIODevice::ReadOnly));
    QCOMPARE(old.readAll(), QByteArray("old picture"));
    old.close();
    QString from = dir.filePath(QStringLiteral("new.svg"));
    QFile f(from);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("new picture");
    f.close();
    QVERIFY(CopyReplacing(from, dest));
    QVERIFY(old.open(QIODevice::ReadOnly));
    QCOMPARE(old.readAll(), QByteArray("new picture"));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files).size(), 2);  // no temporary left
  }
};

QTEST_MAIN(GuiRenderTest)
#include "gui_render_test.moc"
