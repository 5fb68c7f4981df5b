// The result views of the desktop program driven through its real windows
// (Qt Test, offscreen): the window's shape, a drop that fills both lists, a
// double-click that builds a tree, sorting, the Result log's trimming, and
// the ports that carry the worker's fill operations in order. The worker
// runs for real on the fixture projects in tests/data.
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
    // The four described tabs keep their order; the Graph stands beside the
    // CallTree, the Callers come last. Views keep their numbers.
    QCOMPARE(tabs->count(), 6);
    QStringList labels;
    for (int t = 0; t < tabs->count(); t++) labels << tabs->tabText(t);
    QCOMPARE(labels, QStringList({"* Function List", "  Call List", "  CallTree", "  Graph",
                                  "  Result", "  Callers"}));
    Views()->SelectView(VIEW_TREE);
    QCOMPARE(tabs->tabText(0), QStringLiteral("  Function List"));
    QCOMPARE(tabs->tabText(2), QStringLiteral("* CallTree"));
    QCOMPARE(Views()->CurrentView(), 2);
    Views()->SelectView(VIEW_RESULT);
    QCOMPARE(tabs->currentIndex(), 4);
    tabs->setCurrentIndex(3);
    QCOMPARE(Views()->CurrentView(), (int)VIEW_GRAPH);
    QCOMPARE(g_views->HasView(VIEW_GRAPH), 1);
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

    // Menus 101 with their command ids, the described items among the new
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
                                 "&View/&MIDI Notes On/Off=40028 F12",
                                 "F&unction/&Tree=40006 Enter",
                                 "F&unction/&Callers=40005 Shift+Enter",
                                 "F&unction/&view Function.=40002 Ctrl+E",
                                 "F&unction/view Source=40004 Ctrl+Shift+E",
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
    QCOMPARE(g_views->RowCount(VIEW_FUNCTIONS), 5);
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
    QCOMPARE(tm->Count(), g_views->TreeItemCount());
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

    // Cells are addressed by the order the rows were filled in, whatever the
    // shown order: refreshing "Called" after a sort reaches the right rows.
    g_views->SetCellText(VIEW_FUNCTIONS, 3, 6, "1");  // twice
    int shown = FindShown(f, 3, QStringLiteral("twice"));
    QCOMPARE(f->model()->index(shown, 3).data(Qt::BackgroundRole).value<QColor>(),
             QColor(160, 255, 176));
    char buf[260];
    g_views->GetCell(VIEW_FUNCTIONS, 3, 3, buf, sizeof buf);
    QCOMPARE(QString::fromLatin1(buf), QStringLiteral("twice"));

    // The selection stays on its row through a sort; SelectedRow answers
    // with the filled-in order.
    f->selectRow(FindShown(f, 3, QStringLiteral("main")));
    click(3);
    QCOMPARE(g_views->SelectedRow(VIEW_FUNCTIONS), 2);
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
    QCOMPARE(g_views->SelectedRow(VIEW_FUNCTIONS), 3);  // twice, the fourth filled in
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
    QCOMPARE(Views()->Callers()->Dump(),
             QStringLiteral("4 missing_function(argc:3)\n  1 main(argc:2) [main.c]\n"));
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

  void resultTrimming() {
    ResultEdit e;
    e.SetLimit(20);
    e.Append(QStringLiteral("aaaa\r\nbbbb\r\ncccc\r\n"));
    QCOMPARE(e.Length(), 15);
    // 10 more characters: 5 too many, so the first line (5 characters) goes.
    e.Append(QStringLiteral("0123456789"));
    QCOMPARE(e.toPlainText(), QStringLiteral("bbbb\ncccc\n0123456789"));
    // 3 too many: the line holding character 3 starts before it, so the
    // whole of it goes and no line is left cut.
    e.clear();
    e.Append(QStringLiteral("aaaa\nbbbb\ncc\n"));
    e.Append(QStringLiteral("12345678\n"));
    QCOMPARE(e.toPlainText(), QStringLiteral("bbbb\ncc\n12345678\n"));
    // More than the whole limit: only the newest whole lines stay.
    e.Append(QStringLiteral("line-one\nline-two\nline-three\n"));
    QVERIFY(e.Length() <= 20);
    QCOMPARE(e.toPlainText(), QStringLiteral("line-two\nline-three\n"));

    // Through the port from another thread, many appends in order.
    ResultEdit *r = Views()->Result();
    r->SetLimit(4 * 1024);
    std::atomic<bool> done{false};
    std::thread worker([&] {
      char line[64];
      for (int i = 0; i < 3000; i++) {
        snprintf(line, sizeof line, "line %05d\r\n", i);
        g_views->AppendResult(line);
      }
      done = true;
    });
    QTRY_VERIFY_WITH_TIMEOUT(done.load(), 20000);
    worker.join();
    w_->Queue()->Drain();
    QString text = r->toPlainText();
    QVERIFY(r->Length() <= 4 * 1024);
    QVERIFY(text.endsWith(QStringLiteral("line 02999\n")));
    QVERIFY(text.startsWith(QStringLiteral("line ")));
    QCOMPARE(text.size() % 11, 0);  // whole lines only
  }

  // The CallTree draws its connecting lines: a child with a sibling below it
  // has a line running down its row in its own column of indentation.
  void treeDrawsItsLines() {
    QTreeView *t = Views()->TreeWidget();
    Views()->SelectView(VIEW_TREE);
    t->resize(300, 200);
    TREEITEM root = g_views->TreeInsert(nullptr, "root");
    g_views->TreeInsert(root, "first");
    g_views->TreeInsert(root, "second");
    w_->Queue()->Drain();
    QModelIndex first = Views()->Tree()->index(0, 0, Views()->Tree()->index(0, 0));
    QTRY_VERIFY(t->visualRect(first).isValid());
    QImage img = t->viewport()->grab().toImage();
    QRect r = t->visualRect(first);
    int x = r.left() - t->indentation() / 2 - 1;  // the middle of its own column
    QColor base = img.pixelColor(x, r.top() + 1);
    int marks = 0;
    for (int dx = -1; dx <= 1; dx++)
      for (int y = r.top(); y <= r.bottom(); y++)
        if (img.pixelColor(x + dx, y) != t->palette().color(QPalette::Base)) marks++;
    QVERIFY2(marks >= 3, qPrintable(QStringLiteral("no line beside the first child (%1, base %2)")
                                        .arg(marks)
                                        .arg(base.name())));
  }

  // A new analysis refills the lists unsorted, so the header no longer claims
  // an order; the column's sort state is kept for the next click.
  void refilledListsShowNoSortOrder() {
    DropProject();
    QHeaderView *h = List(0)->horizontalHeader();
    Views()->ClickColumn(VIEW_FUNCTIONS, 4);
    QVERIFY(h->isSortIndicatorShown());
    DropProject();  // confirmed: cleared and filled again
    QCOMPARE(questions_.size(), 1);
    QVERIFY(!h->isSortIndicatorShown());
    QCOMPARE(Views()->SortState(0, 4), 1);
  }

  // The row under the mouse is underlined in both lists: its cells are drawn
  // differently while it is hot, and the other rows are not.
  void hotRowIsUnderlined() {
    DropProject();
    for (int list = 0; list < 2; list++) {
      Views()->SelectView(list);
      ListView *v = static_cast<ListView *>(List(list));
      QTRY_VERIFY(v->isVisible());
      QRect row0 = v->visualRect(v->model()->index(0, 1));
      QRect row1 = v->visualRect(v->model()->index(1, 1));
      // Sent straight to the viewport: a synthetic cursor move is not delivered
      // when an earlier test left the cursor's window state behind.
      QPoint at = row1.center();
      QMouseEvent move(QEvent::MouseMove, QPointF(at), QPointF(v->viewport()->mapToGlobal(at)),
                       Qt::NoButton, Qt::NoButton, Qt::NoModifier);
      QApplication::sendEvent(v->viewport(), &move);
      QTRY_COMPARE(v->HotRow(), 1);
      QImage hot = v->viewport()->grab().toImage();
      QEvent leave(QEvent::Leave);
      QApplication::sendEvent(v->viewport(), &leave);
      QCOMPARE(v->HotRow(), -1);
      QImage cold = v->viewport()->grab().toImage();
      QVERIFY2(hot.copy(row1) != cold.copy(row1), "the hot row looks like any other");
      QCOMPARE(hot.copy(row0), cold.copy(row0));
    }
  }

  // The Result view is the program's: typed or pasted text is not taken.
  // Were it made editable, what the user enters would stay within its limit.
  void typedTextKeepsTheLimit() {
    ResultEdit *r = Views()->Result();
    Views()->SelectView(VIEW_RESULT);
    r->SetLimit(20);
    r->clear();
    r->Append(QStringLiteral("0123456789\n1234567"));  // 18 characters
    r->setFocus();
    r->moveCursor(QTextCursor::End);
    QVERIFY(r->isReadOnly());
    QTest::keyClicks(r, QStringLiteral("abcdef"));
    QApplication::clipboard()->setText(QStringLiteral("pasted text"));
    r->paste();
    QCOMPARE(r->toPlainText(), QStringLiteral("0123456789\n1234567"));
    r->setReadOnly(false);
    QTest::keyClicks(r, QStringLiteral("abcdef"));
    QCOMPARE(r->Length(), 20);
    QCOMPARE(r->toPlainText(), QStringLiteral("0123456789\n1234567ab"));
    // Room for three more: a paste of eleven keeps its first three.
    r->moveCursor(QTextCursor::Start);
    QTest::keyClick(r, Qt::Key_Delete);
    QTest::keyClick(r, Qt::Key_Delete);
    QTest::keyClick(r, Qt::Key_Delete);
    QApplication::clipboard()->setText(QStringLiteral("pasted text"));
    r->paste();
    QCOMPARE(r->Length(), 20);
    QCOMPARE(r->toPlainText(), QStringLiteral("pas3456789\n1234567ab"));
    r->SetLimit(64 * 1024);
    r->clear();
    r->setReadOnly(true);
  }

  void portsKeepOrderAcrossThreads() {
    QAbstractItemModelTester t1(Views()->Model(1),
                                QAbstractItemModelTester::FailureReportingMode::QtTest);
    QAbstractItemModelTester t2(Views()->Tree(),
                                QAbstractItemModelTester::FailureReportingMode::QtTest);
    std::atomic<bool> done{false};
    std::string read_back;
    int count_seen = -1, items_seen = -1;
    std::thread worker([&] {
      for (int i = 0; i < 20000; i++) {
        char text[32];
        snprintf(text, sizeof text, "%d", i + 1);
        int row = g_views->RowCount(VIEW_CALLS);
        g_views->InsertRow(VIEW_CALLS, row, 0, text);
        // Cells that follow their insertion travel with it; the others alone.
        if (i % 3 == 0) g_views->SetCell(VIEW_CALLS, row, 1, "a.c");
        if (i % 3 == 0) g_views->SetCell(VIEW_CALLS, row, 2, "\t7");
        g_views->SetCell(VIEW_CALLS, row, 4, "call");
        if (i % 2) g_views->SetCell(VIEW_CALLS, row, 7, "1");
        if (i % 3 == 0 && row > 0) g_views->SetCell(VIEW_CALLS, row - 1, 5, "prev");
      }
      g_views->SetCell(VIEW_CALLS, 123, 4, "changed");
      char buf[32];
      g_views->GetCell(VIEW_CALLS, 123, 4, buf, sizeof buf);
      read_back = buf;
      count_seen = g_views->RowCount(VIEW_CALLS);
      // Children may be added under an item the GUI has not made yet.
      TREEITEM top = g_views->TreeInsert(nullptr, "top");
      TREEITEM kid = g_views->TreeInsert(top, "kid");
      g_views->TreeSetImage(kid, 4);
      g_views->TreeSetImage(kid, 9);  // no such picture: ignored
      g_views->TreeInsert(kid, "grandchild");
      items_seen = g_views->TreeItemCount();
      done = true;
    });
    QTRY_VERIFY_WITH_TIMEOUT(done.load(), 60000);
    worker.join();
    w_->Queue()->Drain();
    QCOMPARE(QString::fromStdString(read_back), QStringLiteral("changed"));
    QCOMPARE(count_seen, 20000);
    QCOMPARE(items_seen, 3);
    QCOMPARE(Views()->Model(1)->rowCount(), 20000);
    QCOMPARE(Views()->Model(1)->index(19999, 0).data().toString(), QStringLiteral("20000"));
    ListModel *m = Views()->Model(1);
    for (int r : {0, 1, 2, 3, 299, 19998, 19999}) {
      QCOMPARE(m->Cell(r, 0), std::to_string(r + 1));
      QCOMPARE(m->Cell(r, 1), std::string(r % 3 ? "" : "a.c"));
      QCOMPARE(m->Cell(r, 2), std::string(r % 3 ? "" : "\t7"));
      QCOMPARE(m->Cell(r, 3), std::string());
      QCOMPARE(m->Cell(r, 4), std::string(r == 123 ? "changed" : "call"));
      QCOMPARE(m->Cell(r, 5), std::string((r + 1) % 3 == 0 ? "prev" : ""));
      QCOMPARE(m->Cell(r, 7), std::string(r % 2 ? "1" : ""));
    }
    QCOMPARE(Views()->Tree()->Dump(), QStringLiteral("0 top\n  4 kid\n    0 grandchild\n"));
    // Numbers sort as numbers: 20000 after 9999.
    Views()->ClickColumn(VIEW_CALLS, 0);
    QCOMPARE(Views()->Model(1)->index(19999, 0).data().toString(), QStringLiteral("20000"));
    QCOMPARE(Views()->Model(1)->index(9998, 0).data().toString(), QStringLiteral("9999"));
    Views()->ClearViews();
    QCOMPARE(Views()->Model(1)->rowCount(), 0);
    QCOMPARE(g_views->TreeItemCount(), 0);
  }
};

QTEST_MAIN(GuiViewsTest)
#include "gui_views_test.moc"
