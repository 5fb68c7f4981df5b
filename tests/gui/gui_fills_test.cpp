// The result views of the desktop program as they take the worker's fills
// and draw them (Qt Test, offscreen): the Result log's trimming, the tree's
// lines, refilled lists, the hot row, the limit of typed text, and the ports
// that carry the fill operations in order across threads (rows and cells down
// one column gathered in blocks).
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
#include "xref/list_columns.h"

using namespace velmora_gui;

class GuiFillsTest : public GuiFixture {
  Q_OBJECT

 private Q_SLOTS:
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

  void cellsDownAColumnKeepTheirPlace() {
    // As the Called column is rewritten at the end of an analysis: one column
    // row after row, travelling in blocks, with other operations in between
    // that must see every cell set before them.
    ListModel *m = Views()->Model(0);
    std::string seen_mid, seen_other;
    std::atomic<bool> done{false};
    std::thread worker([&] {
      const int n = 30000;
      for (int i = 0; i < n; i++) g_views->InsertRow(VIEW_FUNCTIONS, i, 0, "1");
      for (int i = 0; i < n; i++) {
        char text[16];
        snprintf(text, sizeof text, "%d", i % 1000);
        g_views->SetCellText(VIEW_FUNCTIONS, i, FL_CALLED, text);
        if (i == 20000) {
          char buf[16];
          g_views->GetCell(VIEW_FUNCTIONS, 19999, FL_CALLED, buf, sizeof buf);
          seen_mid = buf;
          g_views->SetCellText(VIEW_FUNCTIONS, 5, FL_FUNCTION, "other");
          g_views->SetCellText(VIEW_FUNCTIONS, 7, FL_CALLED, "again");
        }
      }
      g_views->SetCellText(VIEW_FUNCTIONS, 8, FL_CALLED, "last");
      char buf[16];
      g_views->GetCell(VIEW_FUNCTIONS, 5, FL_FUNCTION, buf, sizeof buf);
      seen_other = buf;
      done = true;
    });
    QTRY_VERIFY_WITH_TIMEOUT(done.load(), 60000);
    worker.join();
    w_->Queue()->Drain();
    QCOMPARE(seen_mid, std::string("999"));
    QCOMPARE(seen_other, std::string("other"));
    QCOMPARE(m->rowCount(), 30000);
    QCOMPARE(m->Cell(7, FL_CALLED), std::string("again"));
    QCOMPARE(m->Cell(8, FL_CALLED), std::string("last"));
    for (int r : {0, 1, 999, 1000, 20000, 20001, 29999})
      QCOMPARE(m->Cell(r, FL_CALLED), std::to_string(r % 1000));
    Views()->ClearViews();
  }
};

QTEST_MAIN(GuiFillsTest)
#include "gui_fills_test.moc"
