// The desktop program driven through its real windows (Qt Test, offscreen):
// drops, double-clicks, sorting, the Result log, the confirmation, refusals
// while busy, Escape, the dialogs and closing while a job runs. The worker
// runs for real on the fixture projects in tests/data.
#include <QAbstractItemModelTester>
#include <QApplication>
#include <QHeaderView>
#include <QFile>
#include <QMenu>
#include <QMimeData>
#include <QUrl>
#include <QMenuBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeView>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "ext/ext_settings.h"
#include "foundation/settings.h"
#include "platform/keys.h"
#include "platform/sys.h"
#include "shell/app.h"
#include "shell/worker.h"
#include "ui/dialogs.h"
#include "ui/mainwindow.h"
#include "ui/qtext.h"
#include "ui/views.h"

namespace {

std::vector<std::string> g_trace;  // trace texts while hooked
void TraceInto(const char *text) {
  g_trace.push_back(text ? text : "");
}

QString Project() {
  return QStringLiteral(VELMORA_TEST_DATA "/gui_project");
}
QString NoMatch() {
  return QStringLiteral(VELMORA_TEST_DATA "/gui_nomatch");
}

// The shown texts of one column, top to bottom.
QStringList Column(QTableView *v, int col) {
  QStringList out;
  for (int r = 0; r < v->model()->rowCount(); r++)
    out << v->model()->index(r, col).data().toString();
  return out;
}

// Shown row whose column col reads text, or -1.
int FindShown(QTableView *v, int col, const QString &text) {
  for (int r = 0; r < v->model()->rowCount(); r++)
    if (v->model()->index(r, col).data().toString() == text) return r;
  return -1;
}

}  // namespace

class GuiTest : public QObject {
  Q_OBJECT

 private:
  QTemporaryDir home_;
  MainWindow *w_ = nullptr;
  QStringList warnings_;                             // texts of the warnings shown
  QStringList questions_;                            // caption + text of the confirmations
  bool answer_ = true;                               // the confirmation's answer
  std::function<void(const QString &)> on_warning_;  // extra reaction

  bool WaitIdle(int ms = 30000) {
    QElapsedTimer t;
    t.start();
    while (WorkerBusy() && t.elapsed() < ms) QTest::qWait(20);
    QTest::qWait(20);
    return !WorkerBusy();
  }

  void DropProject() {
    w_->DropPaths({Project()});
    QVERIFY(WaitIdle());
  }

  ViewsPanel *Views() { return w_->Views(); }
  QTableView *List(int i) { return Views()->ListWidget(i); }

 private Q_SLOTS:
  void initTestCase() {
    QVERIFY(home_.isValid());
    QByteArray h = home_.path().toUtf8();
    qputenv("HOME", h);
    qputenv("XDG_DESKTOP_DIR", h + "/Desktop");
    qputenv("XDG_CONFIG_HOME", h + "/config");
    qputenv("TMPDIR", h);
    QByteArray ini = h + "/none.ini";
    const char *failure = nullptr;
    QVERIFY(AppStart(ini.constData(), 0, nullptr, &failure));
    SetWarningHandler([this](QWidget *, const QString &text) {
      warnings_ << text;
      if (on_warning_) on_warning_(text);
    });
    SetConfirmHandler([this](QWidget *, const QString &caption, const QString &text) {
      questions_ << caption + QLatin1Char('|') + text;
      return answer_;
    });
  }

  void cleanupTestCase() { AppStop(); }

  void init() {
    warnings_.clear();
    questions_.clear();
    answer_ = true;
    on_warning_ = nullptr;
    w_ = new MainWindow;
    g_front.render = 0;
    g_front.view = 0;
    w_->show();
    w_->Start();
  }

  void cleanup() {
    QVERIFY(WaitIdle());
    delete w_;
    w_ = nullptr;
    if (ProjectIsOpen()) DiscardProject();
  }

  void windowShape() {
    QCOMPARE(w_->windowTitle(), QStringLiteral("Velmora Ver 0.10"));
    QTabWidget *tabs = Views()->Tabs();
    QCOMPARE(tabs->count(), 4);
    QCOMPARE(tabs->tabText(0), QStringLiteral("* Function List"));
    QCOMPARE(tabs->tabText(1), QStringLiteral("  Call List"));
    QCOMPARE(tabs->tabText(3), QStringLiteral("  Result"));
    Views()->SelectView(VIEW_TREE);
    QCOMPARE(tabs->tabText(0), QStringLiteral("  Function List"));
    QCOMPARE(tabs->tabText(2), QStringLiteral("* CallTree"));
    QCOMPARE(Views()->CurrentView(), 2);
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

    // Menus 101 with their command ids.
    QStringList items;
    for (QAction *menu : w_->menuBar()->actions())
      for (QAction *a : menu->menu()->actions())
        items << menu->text() + QLatin1Char('/') + a->text() + QLatin1Char('=') +
                     QString::number(a->data().toInt());
    QCOMPARE(items, QStringList({QStringLiteral("&File/&Quit.=40001"),
                                 QStringLiteral("&Help/&About=40003")}));
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

  void confirmationCancelKeepsProject() {
    DropProject();
    int rows = List(0)->model()->rowCount();
    answer_ = false;
    w_->DropPaths({Project()});
    QCOMPARE(questions_.size(), 1);
    QCOMPARE(questions_[0],
             QStringLiteral("Confirm.|現在展開中のプロジェクトを破棄して宜しいですか？"));
    QVERIFY(!WorkerBusy());
    QVERIFY(ProjectIsOpen());
    QCOMPARE(List(0)->model()->rowCount(), rows);
    // OK discards it and analyses the drop instead.
    answer_ = true;
    w_->DropPaths({QStringLiteral(VELMORA_TEST_DATA "/gui_project/sub")});
    QCOMPARE(questions_.size(), 2);
    QVERIFY(WaitIdle());
    QCOMPARE(Column(List(0), 3), QStringList({"twice", "fact"}));
  }

  void refusalsWhileBusy() {
    w_->DropPaths({Project()});
    QVERIFY(WorkerBusy());
    // A call-tree request is refused with its message; the job goes on.
    QCOMPARE(w_->TreeRequest(1, 1), 0);
    QCOMPARE(warnings_, QStringList({QStringLiteral("処理中は受け付けません。")}));
    // Quit is refused with its message; the window stays.
    w_->Command(CMD_QUIT);
    QCOMPARE(warnings_.size(), 2);
    QCOMPARE(warnings_[1],
             QStringLiteral("ソース解析処理中です。解析処理が終わってから終了させてください。"));
    QVERIFY(w_->isVisible());
    // A drop is ignored without a word.
    w_->DropPaths({Project()});
    QCOMPARE(warnings_.size(), 2);
    QVERIFY(questions_.isEmpty());
    QVERIFY(WaitIdle());
    QCOMPARE(List(0)->model()->rowCount(), 5);
  }

  void emptyDropsWarn() {
    w_->DropPaths({NoMatch()});
    QVERIFY(WaitIdle());
    QCOMPARE(warnings_,
             QStringList({QStringLiteral("解析対象ファイルが存在しません。\n処理を中断します。")}));
    QVERIFY(!ProjectIsOpen());
    QVERIFY(w_->acceptDrops());
    QVERIFY(w_->Progress() == nullptr);
  }

  void escapeDuringAnalysis() {
    w_->DropPaths({Project()});
    QVERIFY(w_->windowHandle());
    QTest::keyClick(w_->windowHandle(), Qt::Key_Escape);
    QVERIFY(WaitIdle());
    QCOMPARE(warnings_, QStringList({QStringLiteral("中断します。")}));
    QVERIFY(w_->Progress() == nullptr);
    QVERIFY(w_->acceptDrops());
    QVERIFY(ProjectIsOpen());  // the project stays; the lists stay empty
    QCOMPARE(List(0)->model()->rowCount(), 0);
    // So the next drop asks first.
    answer_ = false;
    w_->DropPaths({Project()});
    QCOMPARE(questions_.size(), 1);
  }

  void functionKeysActOncePerPress() {
    // Escape while idle is not kept for the next job.
    QTest::keyClick(w_->windowHandle(), Qt::Key_Escape);
    QCOMPARE(EscapePressed(), 0);
    int before = MusicEnabled();
    QTest::keyClick(w_->windowHandle(), Qt::Key_F12);
    QCOMPARE(MusicEnabled(), before ? 0 : 1);
    // Held down: the repeats do not toggle it again.
    QKeyEvent repeat(QEvent::KeyPress, Qt::Key_F12, Qt::NoModifier, QString(), true);
    QApplication::sendEvent(w_->windowHandle(), &repeat);
    QCOMPARE(MusicEnabled(), before ? 0 : 1);
    QTest::keyClick(w_->windowHandle(), Qt::Key_F12);
    QCOMPARE(MusicEnabled(), before);
    // F4 with no project writes nothing.
    g_trace.clear();
    TraceSetHook(TraceInto);
    QTest::keyClick(w_->windowHandle(), Qt::Key_F4);
    TraceSetHook(nullptr);
    QVERIFY(g_trace.empty());
  }

  void aboutBox() {
    QString seen;
    int result = -1;
    QTimer::singleShot(50, this, [&] {
      AboutBox *box = qobject_cast<AboutBox *>(QApplication::activeModalWidget());
      QVERIFY(box);
      seen = box->windowTitle() + QLatin1Char('|') + box->ProductText();
      QTest::mouseClick(box->findChild<QPushButton *>(QStringLiteral("ok")), Qt::LeftButton);
      result = box->result();
    });
    w_->Command(CMD_ABOUT);
    QCOMPARE(seen, QStringLiteral("About|Velmora Ver 0.10\nbuild 20081211"));
    QCOMPARE(result, 1);
    AboutBox box(w_);
    box.reject();  // a close request ends it like OK
    QCOMPARE(box.result(), 1);
  }

  void progressWindowMessages() {
    ProgressWindow p(nullptr, 0);
    QCOMPARE(p.PhaseText(), QStringLiteral("≪ 解析ソース取込中 ≫"));
    QCOMPARE(p.PassText(), QStringLiteral("PASS : "));
    QCOMPARE(p.DetailText(), QString());
    QCOMPARE(p.FunctionPos(), 0);
    QCOMPARE(p.SourcePos(), 0);

    ProgressPort port;
    port.SetPass(2);
    port.SetPhase(1);
    port.SetFunctionProgress(40);
    port.SetSourceProgress(75);
    std::string detail(100, 'x');
    for (int i = 0; i < 100; i++) detail[i] = (char)('a' + i % 26);
    port.SetDetail(detail.c_str());
    detail.assign(100, '?');  // the port copied it
    port.ApplyTo(&p);
    QCOMPARE(p.PassText(), QStringLiteral("PASS : 2"));
    QCOMPARE(p.PhaseText(), QStringLiteral("≪ ソース解析中 ≫"));
    QCOMPARE(p.DetailText().size(), 63);
    QVERIFY(p.DetailText().startsWith(QStringLiteral("abcdefghij")));
    QCOMPARE(p.FunctionPos(), 40);
    QCOMPARE(p.SourcePos(), 75);
    port.SetPhase(2);
    port.ApplyTo(&p);
    QCOMPARE(p.PhaseText(), QStringLiteral("≪ 関数関連付け中 ≫"));
    QCOMPARE(p.PassText(), QStringLiteral("PASS : 2"));  // unchanged values stay
    port.SetPhase(7);
    port.ApplyTo(&p);
    QCOMPARE(p.PhaseText(), QString());

    // A double-byte character across the 63-byte mark is left out whole.
    std::string sjis(62, 'a');
    sjis += "\x8A\xD6";  // one Shift_JIS character
    sjis += "tail";
    p.SetDetail(sjis.c_str());
    QCOMPARE(p.DetailText(), QString(62, QLatin1Char('a')));
    sjis.assign(61, 'a');
    sjis += "\x8A\xD6";
    p.SetDetail(sjis.c_str());
    QCOMPARE(p.DetailText(), QString(61, QLatin1Char('a')) + QStringLiteral("関"));
  }

  void waitBoxSecondsAndColours() {
    WaitBoxWindow b(nullptr, QStringLiteral("関数呼出木を作成しています。"));
    QCOMPARE(b.Text(), QStringLiteral("関数呼出木を作成しています。"));
    QCOMPARE(b.SecondsText(), QStringLiteral("0"));
    QCOMPARE(b.ShownColour(), QColor(40, 255, 40));
    b.SetStart(1000);
    b.Tick(2500);
    QCOMPARE(b.SecondsText(), QStringLiteral("1"));
    b.Tick(1000 + 59999);
    QCOMPARE(b.SecondsText(), QStringLiteral("59"));
    QCOMPARE(b.ShownColour(), QColor(40, 255, 40));
    b.Tick(1000 + 60000);
    QCOMPARE(b.ShownColour(), QColor(255, 255, 0));
    b.Tick(1000 + 299999);
    QCOMPARE(b.SecondsText(), QStringLiteral("299"));
    QCOMPARE(b.ShownColour(), QColor(255, 255, 0));
    b.Tick(1000 + 300000);
    QCOMPARE(b.ShownColour(), QColor(255, 20, 20));
    // The tick count wraps; the difference does not.
    b.SetStart(0xFFFFF000u);
    b.Tick(0x00000800u);
    QCOMPARE(b.SecondsText(), QStringLiteral("6"));
    b.SetText(QStringLiteral("A\r\nB"));
    QCOMPARE(b.Text(), QStringLiteral("A\nB"));
    // The user cannot close it; the job can.
    b.show();
    b.close();
    QVERIFY(b.isVisible());
    b.Finish();
    QVERIFY(!b.isVisible());
  }

  void closingWhileJobRuns() {
    // The worker blocks in its warning about the empty drop; the user closes
    // the window right then. The window must say so, stop the worker and wait
    // for it, without either thread waiting for the other forever.
    bool closed = false;
    on_warning_ = [&](const QString &text) {
      if (closed || !text.startsWith(QStringLiteral("解析対象"))) return;
      closed = true;
      w_->close();
    };
    w_->DropPaths({NoMatch()});
    QTRY_VERIFY_WITH_TIMEOUT(closed, 20000);
    QVERIFY(w_->IsShutDown());
    QVERIFY(!WorkerBusy());
    QCOMPARE(warnings_.size(), 2);
    QCOMPARE(warnings_[1], QStringLiteral("解析処理中ですが、終了します。"));
    QVERIFY(g_views == nullptr);

    // The same in the middle of parsing a larger project.
    delete w_;
    warnings_.clear();
    on_warning_ = nullptr;
    w_ = new MainWindow;
    g_front.render = 0;
    g_front.view = 0;
    w_->show();
    w_->Start();
    QTemporaryDir big;
    for (int f = 0; f < 200; f++) {
      QFile file(big.filePath(QStringLiteral("s%1.c").arg(f)));
      QVERIFY(file.open(QIODevice::WriteOnly));
      for (int i = 0; i < 60; i++)
        file.write(QStringLiteral("int f%1_%2(int a) { return g%2(a, %1) + h(a); }\n")
                       .arg(f)
                       .arg(i)
                       .toLatin1());
    }
    w_->DropPaths({big.path()});
    QTest::qWait(800);  // past the pause before parsing
    QVERIFY(WorkerBusy());
    w_->close();
    QVERIFY(!WorkerBusy());
    QCOMPARE(warnings_, QStringList({QStringLiteral("解析処理中ですが、終了します。")}));

    // Closing idle says nothing.
    delete w_;
    warnings_.clear();
    w_ = new MainWindow;
    w_->show();
    w_->close();
    QVERIFY(warnings_.isEmpty());
  }
};

QTEST_MAIN(GuiTest)
#include "gui_test.moc"
