// The result views of the desktop program driven through its real windows
// (Qt Test, offscreen): the window's shape, a drop that fills both lists, a
// double-click that builds a tree, sorting, the search boxes and the Callers
// tab. The worker runs for real on the fixture projects in tests/data.
#include <QAbstractItemModelTester>
#include <QApplication>
#include <QClipboard>
#include <QHeaderView>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTest>
#include <QTreeView>
#include <QUrl>

#include <atomic>
#include <string>
#include <thread>

#include "engine/precise.h"
#include "gui_fixture.h"
#include "platform/sys.h"
#include "ui/qtext.h"

using namespace velmora_gui;

class GuiViewsTest : public GuiFixture {
  Q_OBJECT

 private Q_SLOTS:
  void windowShape() {
    QCOMPARE(w_->windowTitle(), QStringLiteral("Velmora Ver 0.10"));
    QTabWidget *tabs = Views()->Tabs();
    // The four original tabs keep their order; the Graph and the Source stand
    // beside the CallTree, the Callers come last. Views keep their numbers.
    QCOMPARE(tabs->count(), 7);
    QStringList labels;
    for (int t = 0; t < tabs->count(); t++) labels << tabs->tabText(t);
    QCOMPARE(labels, QStringList({"* Function List", "  Call List", "  CallTree", "  Graph",
                                  "  Source", "  Result", "  Callers"}));
    Views()->SelectView(VIEW_TREE);
    QCOMPARE(tabs->tabText(0), QStringLiteral("  Function List"));
    QCOMPARE(tabs->tabText(2), QStringLiteral("* CallTree"));
    QCOMPARE(Views()->CurrentView(), 2);
    Views()->SelectView(VIEW_RESULT);
    QCOMPARE(tabs->currentIndex(), 5);
    tabs->setCurrentIndex(3);
    QCOMPARE(Views()->CurrentView(), (int)VIEW_GRAPH);
    QCOMPARE(Views()->HasView(VIEW_GRAPH), 1);
    // Without a project a tab click leaves the status text alone.
    QCOMPARE(Views()->StatusText(), FromSjis(g_config.STAT_MESS[0]));
    tabs->setCurrentIndex(1);
    QCOMPARE(Views()->StatusText(), FromSjis(g_config.STAT_MESS[0]));
    QVERIFY(w_->acceptDrops());

    // Column widths follow FONT_SIZE_LV (h = size / 2); "Called" is hidden.
    const int expect[7] = {38, 122, 38, 122, 50, 38, 0};
    for (int c = 0; c < 7; c++) {
      QCOMPARE(ViewsPanel::ColumnWidth(VIEW_FUNCTIONS, c, 12), expect[c]);
      QCOMPARE(ViewsPanel::ColumnWidth(VIEW_FUNCTIONS, c, 13), expect[c]);
    }
    QVERIFY(List(0)->isColumnHidden(6));
    QCOMPARE(List(0)->horizontalHeader()->sectionSize(3), 122);
    QCOMPARE(ViewsPanel::ColumnWidth(VIEW_CALLS, 7, 12), 44);
    QCOMPARE(List(1)->model()->headerData(4, Qt::Horizontal).toString(),
             QStringLiteral("CallFunction"));

    // Menus 101 with their command ids, the original items among the new
    // ones, and every command with its key shown.
    QStringList items;
    for (QAction *menu : w_->menuBar()->actions()) {
      for (QAction *a : menu->menu()->actions()) {
        if (a->isSeparator()) continue;
        QString key = a->shortcut().toString();
        if (a->text().contains(QLatin1Char('\t'))) key = a->text().section(QLatin1Char('\t'), 1);
        items << menu->text() + QLatin1Char('/') + a->text().section(QLatin1Char('\t'), 0, 0) +
                     QLatin1Char('=') + QString::number(a->data().toInt()) + QLatin1Char(' ') + key;
      }
    }
    QCOMPARE(items, QStringList({"&File/Open &Folder...=40010 Ctrl+O",
                                 "&File/Open F&iles...=40011 Ctrl+Shift+O",
                                 "&File/&Re-analyse=40012 F5",
                                 "&File/Re&cent=0 ",
                                 "&File/&Settings...=40014 Ctrl+,",
                                 "&File/&List Files in the Trace=40013 F4",
                                 "&File/&Quit.=40001 Ctrl+Q",
                                 "&View/&Back=40020 Alt+Left",
                                 "&View/&Forward=40021 Alt+Right",
                                 "&View/&Next Tab=40022 Ctrl+Tab",
                                 "&View/&Previous Tab=40023 Ctrl+Shift+Tab",
                                 "&View/&Search=40024 Ctrl+F",
                                 "&View/Graph: Zoom &In=40025 +",
                                 "&View/Graph: Zoom &Out=40026 -",
                                 "&View/Graph: Fi&t=40027 0",
                                 "&View/Graph: Save Picture &As...=40029 Ctrl+S",
                                 "&View/&MIDI Notes On/Off=40028 F12",
                                 "F&unction/&Tree=40006 Enter",
                                 "F&unction/&Callers=40005 Shift+Enter",
                                 "F&unction/&view Function.=40002 Ctrl+E",
                                 "F&unction/view Source=40004 Ctrl+Shift+E",
                                 "F&unction/&Go to Definition=40007 Ctrl+B",
                                 "F&unction/Show in the &Source Tab=40008 Ctrl+U",
                                 "&Help/List &Colours=40030 Shift+F1",
                                 "&Help/&About=40003 F1"}));
  }

  void dropFillsBothLists() {
    QAbstractItemModelTester t1(Views()->Model(0),
                                QAbstractItemModelTester::FailureReportingMode::QtTest);
    QAbstractItemModelTester t2(Views()->Model(1),
                                QAbstractItemModelTester::FailureReportingMode::QtTest);
    // A real drop: file URLs become native paths; other URLs are left out.
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(Project()), QUrl(QStringLiteral("https://example.com/x.c"))});
    QDragEnterEvent enter(QPoint(50, 50), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    // Dropped onto a view (the Result text would take it as text otherwise),
    // it reaches the main window.
    Views()->SelectView(VIEW_RESULT);
    QWidget *target = Views()->Result()->viewport();
    QApplication::sendEvent(target, &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent drop(QPointF(50, 50), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &drop);
    QVERIFY(w_->Progress() != nullptr);  // the progress window opens at once
    QVERIFY(!w_->acceptDrops());
    QVERIFY(WaitIdle());
    QVERIFY(warnings_.isEmpty());
    QVERIFY(w_->Progress() == nullptr);
    QVERIFY(w_->acceptDrops());
    QVERIFY(ProjectIsOpen());

    QTableView *f = List(0);
    QCOMPARE(Column(f, 3), QStringList({"helper", "compute", "main", "twice", "fact"}));
    QCOMPARE(Column(f, 1), QStringList({"main.c", "main.c", "main.c", "util.c", "util.c"}));
    QCOMPARE(Column(f, 0), QStringList({"1", "1", "1", "2", "2"}));
    QCOMPARE(Column(f, 6), QStringList({"1", "1", "0", "0", "1"}));
    QCOMPARE(Views()->Model(VIEW_FUNCTIONS)->Size(), 5);
    // Called functions green, the others blue; other cells white.
    QAbstractItemModel *m = f->model();
    QCOMPARE(m->index(0, 3).data(Qt::BackgroundRole).value<QColor>(), QColor(160, 255, 176));
    QCOMPARE(m->index(2, 3).data(Qt::BackgroundRole).value<QColor>(), QColor(128, 176, 255));
    QCOMPARE(m->index(2, 1).data(Qt::BackgroundRole).value<QColor>(), QColor(255, 255, 255));

    QTableView *c = List(1);
    QVERIFY(c->model()->rowCount() >= 6);
    int miss = FindShown(c, 4, QStringLiteral("missing_function"));
    QVERIFY(miss >= 0);
    QCOMPARE(c->model()->index(miss, 6).data().toString(), QStringLiteral("X"));
    QCOMPARE(c->model()->index(miss, 7).data().toString(), QString());
    QCOMPARE(c->model()->index(miss, 4).data(Qt::BackgroundRole).value<QColor>(),
             QColor(224, 224, 224));
    int linked = FindShown(c, 4, QStringLiteral("helper"));
    QVERIFY(linked >= 0);
    QCOMPARE(c->model()->index(linked, 6).data().toString(), QStringLiteral("===>"));
    QCOMPARE(c->model()->index(linked, 4).data(Qt::BackgroundRole).value<QColor>(),
             QColor(255, 255, 160));

    // The Function List is selected, so its status text shows; a tab click
    // with a project open shows that view's text.
    QCOMPARE(Views()->CurrentView(), 0);
    QCOMPARE(Views()->StatusText(), FromSjis(g_config.STAT_MESS[2]));
    Views()->Tabs()->setCurrentIndex(2);
    QCOMPARE(Views()->StatusText(), FromSjis(g_config.STAT_MESS[4]));

    // F4 lists the project's files in the trace, numbered from 0.
    g_trace.clear();
    TraceSetHook(TraceInto);
    w_->KeyCommand(Qt::Key_F4);
    TraceSetHook(nullptr);
    QCOMPARE((int)g_trace.size(), 2);
    QVERIFY(QString::fromStdString(g_trace[0]).startsWith(QStringLiteral("[ 0]:")));
    QVERIFY(QString::fromStdString(g_trace[1]).endsWith(QStringLiteral("util.c\r\n")));
  }

  // Sources whose parse ended inside a function body are counted in the
  // status line when the analysis ends; a clean project shows the plain text.
  void lostSourcesCountedInStatus() {
    w_->DropPaths({QStringLiteral(VELMORA_TEST_DATA "/e2e-lost-source/src")});
    QVERIFY(WaitIdle());
    QVERIFY(warnings_.isEmpty());
    QCOMPARE(
        Views()->StatusText(),
        FromSjis(g_config.STAT_MESS[2]) +
            QStringLiteral("  [2 source(s) end inside a function: definitions may be missing]"));
    w_->DropPaths({Project()});
    QVERIFY(WaitIdle());
    QCOMPARE(Views()->StatusText(), FromSjis(g_config.STAT_MESS[2]));
  }

  // A source the precise parser hands to the statement parser is counted in
  // the status line and named in the Result view (not in the result log).
  void fellBackSourcesNamed() {
    if (!ANA_PreciseBuiltIn()) QSKIP("built without the precise parser");
    g_config.PARSER = 1;
    g_precise_limits.max_bytes = 10;
    w_->DropPaths({Project()});
    QVERIFY(WaitIdle());
    g_precise_limits = kPreciseLimits;
    g_config.PARSER = 0;
    QVERIFY(warnings_.isEmpty());
    QVERIFY(Views()->StatusText().endsWith(
        QStringLiteral(" source(s) read with the statement parser: over the precise parser's "
                       "budget]")));
    QVERIFY(Views()->Result()->toPlainText().contains(
        QStringLiteral("main.c: over the precise parser's size budget: read with the statement "
                       "parser")));
  }

  void doubleClickBuildsTree() {
    DropProject();
    QAbstractItemModelTester t(Views()->Tree(),
                               QAbstractItemModelTester::FailureReportingMode::QtTest);
    QTableView *f = List(0);
    int row = FindShown(f, 3, QStringLiteral("main"));
    QVERIFY(row >= 0);
    QRect r = f->visualRect(f->model()->index(row, 3));
    QSignalSpy asked(Views(), &ViewsPanel::TreeRequested);
    QTest::mouseClick(f->viewport(), Qt::LeftButton, Qt::NoModifier, r.center());
    QTest::mouseDClick(f->viewport(), Qt::LeftButton, Qt::NoModifier, r.center());
    QVERIFY(w_->Wait() != nullptr);  // the wait box opens with the request
    QVERIFY(WaitIdle());
    QVERIFY(w_->Wait() == nullptr);
    QVERIFY(warnings_.isEmpty());
    QCOMPARE(Views()->CurrentView(), 2);

    TreeModel *tm = Views()->Tree();
    QCOMPARE(tm->rowCount(), 1);
    QString dump = tm->Dump();
    QVERIFY2(dump.startsWith(QStringLiteral("1 main(argc:2) [main.c]\n")), qPrintable(dump));
    QVERIFY2(dump.contains(QStringLiteral("  1 compute(argc:2) [main.c]\n    1 helper(argc:1)")),
             qPrintable(dump));
    QVERIFY2(dump.contains(QStringLiteral("  4 missing_function(argc:3)")), qPrintable(dump));
    QCOMPARE(tm->Count(), Views()->TreeItemCount());
    // Every node is expanded.
    QModelIndex root = tm->index(0, 0);
    QVERIFY(Views()->TreeWidget()->isExpanded(root));
    QVERIFY(Views()->TreeWidget()->isExpanded(tm->index(0, 0, root)));
    QVERIFY(Views()->Result()->toPlainText().contains(QStringLiteral("<< Call Tree >>")));

    // The Call List asks with toSID/toFID, and not at all for an unlinked call.
    QSignalSpy spy(Views(), &ViewsPanel::TreeRequested);
    QTableView *c = List(1);
    int miss = FindShown(c, 4, QStringLiteral("missing_function"));
    Views()->ActivateRow(VIEW_CALLS, miss);
    QCOMPARE(spy.count(), 0);
    int fact = FindShown(c, 4, QStringLiteral("fact"));
    QVERIFY(fact >= 0);
    Views()->ActivateRow(VIEW_CALLS, fact);
    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.at(0).at(1).toInt(), 2);
    QCOMPARE(spy.at(0).at(2).toInt(), 2);
    QVERIFY(WaitIdle());
    QVERIFY(
        Views()->Tree()->Dump().startsWith(QStringLiteral("1 fact(argc:1) [util.c]\n  3 fact")));
    // Tree texts accumulate in the Result view.
    QCOMPARE(Views()->Result()->toPlainText().count(QStringLiteral("<< Call Tree >>")), 2);
  }

  void sortClicks() {
    DropProject();
    QTableView *f = List(0);
    QHeaderView *h = f->horizontalHeader();
    auto click = [&](int col) {
      QPoint p(h->sectionViewportPosition(col) + h->sectionSize(col) / 2, h->height() / 2);
      QTest::mouseClick(h->viewport(), Qt::LeftButton, Qt::NoModifier, p);
    };
    // LineNo sorts as a number (3 < 12), not as text ("12" < "3").
    click(4);
    QCOMPARE(Views()->SortState(0, 4), 1);
    QCOMPARE(Column(f, 4), QStringList({"0", "3", "5", "7", "12"}));
    click(4);
    QCOMPARE(Views()->SortState(0, 4), 2);
    QCOMPARE(Column(f, 4), QStringList({"12", "7", "5", "3", "0"}));
    // FID three times: ascending, descending, ascending; ties keep their order.
    click(2);
    QCOMPARE(Column(f, 2), QStringList({"1", "1", "2", "2", "3"}));
    click(2);
    QCOMPARE(Column(f, 2), QStringList({"3", "2", "2", "1", "1"}));
    click(2);
    QCOMPARE(Column(f, 2), QStringList({"1", "1", "2", "2", "3"}));
    QCOMPARE(Views()->SortState(0, 2), 1);
    // Source sorts as text; Function as text with ASCII case folded.
    click(1);
    QCOMPARE(Column(f, 1), QStringList({"main.c", "main.c", "main.c", "util.c", "util.c"}));
    click(3);
    QCOMPARE(Column(f, 3), QStringList({"compute", "fact", "helper", "main", "twice"}));

    // Rows are addressed by the order they were filled in, whatever the
    // shown order: refreshing "Called" after a sort reaches the right rows.
    int once = 1;
    Views()->SetCalled(3, &once, 1);  // twice
    w_->Queue()->Drain();
    int shown = FindShown(f, 3, QStringLiteral("twice"));
    QCOMPARE(f->model()->index(shown, 3).data(Qt::BackgroundRole).value<QColor>(),
             QColor(160, 255, 176));
    QCOMPARE(Views()->Model(VIEW_FUNCTIONS)->Cell(3, 3), std::string("twice"));

    // The selection stays on its row through a sort; SelectedRow answers
    // with the filled-in order.
    f->selectRow(FindShown(f, 3, QStringLiteral("main")));
    click(3);
    QCOMPARE(Views()->SelectedRow(VIEW_FUNCTIONS), 2);
    QCOMPARE(f->currentIndex().siblingAtColumn(3).data().toString(), QStringLiteral("main"));
  }

  void filterKeepsMatchingRowsOverSorting() {
    DropProject();
    QTableView *f = List(0);
    FilterBox *box = Views()->FilterEdit(VIEW_FUNCTIONS);
    QAbstractItemModelTester t(f->model(), QAbstractItemModelTester::FailureReportingMode::QtTest);
    // Ctrl+F focuses the box of the list shown.
    Views()->SelectView(VIEW_TREE);
    Views()->FocusFilter();
    QCOMPARE(Views()->CurrentView(), 0);
    QTest::keyClicks(box, QStringLiteral("t"));  // compute, twice, and fact in util.c
    QCOMPARE(Column(f, 3), QStringList({"compute", "twice", "fact"}));
    QCOMPARE(Views()->RowsText(), QStringLiteral("3 of 5 rows"));
    QTest::keyClicks(box, QStringLiteral("W"));  // letters in any case
    QCOMPARE(Column(f, 3), QStringList({"twice"}));
    QCOMPARE(Views()->RowsText(), QStringLiteral("1 of 5 rows"));
    // The source column is searched too.
    box->setText(QStringLiteral("UTIL"));
    QCOMPARE(Column(f, 3), QStringList({"twice", "fact"}));
    // Sorting keeps the filter and sorts the rows left.
    auto click = [&](int col) {
      QHeaderView *h = f->horizontalHeader();
      QPoint p(h->sectionViewportPosition(col) + h->sectionSize(col) / 2, h->height() / 2);
      QTest::mouseClick(h->viewport(), Qt::LeftButton, Qt::NoModifier, p);
    };
    click(3);
    click(3);
    QCOMPARE(Column(f, 3), QStringList({"twice", "fact"}));
    // Double-click, selection and "view Function" act on the row shown.
    QSignalSpy asked(Views(), &ViewsPanel::TreeRequested);
    Views()->ActivateRow(VIEW_FUNCTIONS, 1);
    QCOMPARE(asked.count(), 1);
    QCOMPARE(asked.at(0).at(1).toInt(), 2);  // util.c
    QCOMPARE(asked.at(0).at(2).toInt(), 2);  // fact
    QVERIFY(WaitIdle());
    f->selectRow(0);
    QCOMPARE(Views()->SelectedRow(VIEW_FUNCTIONS), 3);  // twice, the fourth filled in
    // Escape clears the box while no job runs; every row is back, sorted.
    box->setFocus();
    QTest::keyClick(box, Qt::Key_Escape);
    QCOMPARE(box->text(), QString());
    QCOMPARE(f->model()->rowCount(), 5);
    QCOMPARE(Views()->RowsText(), QString());
    QCOMPARE(Column(f, 3), QStringList({"twice", "main", "helper", "fact", "compute"}));

    // The Call List searches called and reached functions; a Shift_JIS
    // needle never matches from the middle of a character.
    QTableView *c = List(1);
    Views()->SelectView(VIEW_CALLS);
    Views()->FilterEdit(VIEW_CALLS)->setText(QStringLiteral("missing"));
    QCOMPARE(c->model()->rowCount(), 1);
    QCOMPARE(c->model()->index(0, 4).data().toString(), QStringLiteral("missing_function"));
    QCOMPARE(ListFilter::CellContains("\x82\x60"
                                      "A",
                                      "A"),
             1);
    QCOMPARE(ListFilter::CellContains("\x83\x41", "A"), 0);  // 0x41 is the trail byte
    QCOMPARE(ListFilter::CellContains("a::B", "A::B"), 1);
    // A scope and a name are searched as the cell writes them together.
    QCOMPARE(ListFilter::PairContains("Shape::", "area", "E::AR"), 1);
    QCOMPARE(ListFilter::PairContains("", "area", "SHAPE"), 0);
    QCOMPARE(ListFilter::PairContains("\x82\xa0::", "f", "\xa0::F"), 0);
  }

  void callersTabAndMenus() {
    DropProject();
    QAbstractItemModelTester t(Views()->Callers(),
                               QAbstractItemModelTester::FailureReportingMode::QtTest);
    // Shift+double-click on a Function List row: the callers of helper.
    QTableView *f = List(0);
    int row = FindShown(f, 3, QStringLiteral("helper"));
    QRect r = f->visualRect(f->model()->index(row, 3));
    QTest::mouseClick(f->viewport(), Qt::LeftButton, Qt::ShiftModifier, r.center());
    QTest::mouseDClick(f->viewport(), Qt::LeftButton, Qt::ShiftModifier, r.center());
    QVERIFY(WaitIdle());
    QVERIFY(warnings_.isEmpty());
    QCOMPARE(Views()->CurrentView(), (int)VIEW_CALLERS);
    QString dump = Views()->Callers()->Dump();
    QVERIFY2(dump.startsWith(QStringLiteral("1 helper(argc:1) [main.c]\n"
                                            "  1 compute(argc:2) [main.c]\n"
                                            "    1 main(argc:2) [main.c] (2 calls)\n"
                                            "  1 main(argc:2) [main.c]\n")),
             qPrintable(dump));
    QCOMPARE(Views()->Tree()->Count(), 0);  // the CallTree is untouched
    QVERIFY(Views()->Result()->toPlainText().contains(QStringLiteral("<< Caller Tree >>")));
    QVERIFY(Views()->CallersWidget()->isExpanded(Views()->Callers()->index(0, 0)));

    // A double-click on a node goes on from that node.
    QSignalSpy asked(Views(), &ViewsPanel::CallersRequested);
    QModelIndex compute = Views()->Callers()->index(0, 0, Views()->Callers()->index(0, 0));
    Q_EMIT Views()->CallersWidget()->doubleClicked(compute);
    QCOMPARE(asked.count(), 1);
    QVERIFY(WaitIdle());
    QVERIFY(Views()->Callers()->Dump().startsWith(
        QStringLiteral("1 compute(argc:2) [main.c]\n  1 main(argc:2) [main.c] (2 calls)\n")));

    // "Callers" from the context menus: a Function List row, a linked Call
    // List row (its called function), an unlinked one (the name, one level).
    Views()->SelectView(VIEW_FUNCTIONS);
    f->selectRow(FindShown(f, 3, QStringLiteral("twice")));
    w_->Command(CMD_CALLERS);
    QVERIFY(WaitIdle());
    QVERIFY(Views()->Callers()->Dump().startsWith(QStringLiteral("1 twice(argc:1) [util.c]\n")));
    QTableView *c = List(1);
    Views()->SelectView(VIEW_CALLS);
    c->selectRow(FindShown(c, 4, QStringLiteral("missing_function")));
    w_->Command(CMD_CALLERS);
    QVERIFY(WaitIdle());
    // (every count of arguments: the callers of the name, whatever they pass)
    QCOMPARE(Views()->Callers()->Dump(),
             QStringLiteral("4 missing_function(argc:*)\n  1 main(argc:2) [main.c]\n"));
    // Busy: refused with the double-click's warning.
    JobState = JobStep::StartTree;
    QCOMPARE(w_->CallersRequest(1, 1), 0);
    JobState = JobStep::Idle;
    QCOMPARE(warnings_.size(), 1);
    // A new drop empties the Callers view with the others.
    Views()->ClearViews();
    QCoreApplication::processEvents();
    QCOMPARE(Views()->Callers()->Count(), 0);
  }
};

QTEST_MAIN(GuiViewsTest)
#include "gui_views_test.moc"
