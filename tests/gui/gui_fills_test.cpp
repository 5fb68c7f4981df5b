// The result views of the desktop program as they take the worker's fills
// and draw them (Qt Test, offscreen): the Result log's trimming, the tree's
// lines, refilled lists, the hot row, the limit of typed text, and the ports
// that carry the fill operations in order across threads (typed rows in
// batches of every size, Called values in blocks).
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
#include <vector>

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
        Views()->AppendResult(line);
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
    TREEITEM root = Views()->TreeInsert(nullptr, "root");
    Views()->TreeInsert(root, "first");
    Views()->TreeInsert(root, "second");
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
    static const char *const kNames[] = {"alpha", "beta", "gamma"};
    std::atomic<bool> done{false};
    int rows_seen = -1, items_seen = -1;
    ViewsPanel *v = Views();
    std::thread worker([&] {
      // Batches of every size, as linking hands them over source by source.
      std::vector<CallRow> batch;
      int next = 0;
      for (int size = 1; next < 20000; size = size % 97 + 1) {
        batch.clear();
        for (int k = 0; k < size && next < 20000; k++, next++) {
          CallRow r = {};
          r.sid = next + 1;
          r.fid = 1;
          r.source = "a.c";
          r.scope = "";
          r.name = "f";
          r.call_scope = "";
          r.call_name = kNames[next % 3];
          r.to_sid = next % 2 ? 1 : 0;
          r.to_fid = 2;
          r.to_source = "b.c";
          r.to_scope = "";
          r.to_name = "g";
          batch.push_back(r);
        }
        v->AddCallRows(batch.data(), batch.size());
        // A blocking call in the middle sees every row before it.
        if (next == 12345 || (next > 12345 && next - (int)batch.size() < 12345))
          w_->Queue()->Run([&] { rows_seen = v->Model(1)->Size(); });
      }
      // Children may be added under an item the GUI has not made yet.
      TREEITEM top = v->TreeInsert(nullptr, "top");
      TREEITEM kid = v->TreeInsert(top, "kid");
      v->TreeSetImage(kid, 4);
      v->TreeSetImage(kid, 9);  // no such picture: ignored
      v->TreeInsert(kid, "grandchild");
      items_seen = v->TreeItemCount();
      done = true;
    });
    QTRY_VERIFY_WITH_TIMEOUT(done.load(), 60000);
    worker.join();
    w_->Queue()->Drain();
    QVERIFY(rows_seen >= 12345);
    QCOMPARE(items_seen, 3);
    ListModel *m = Views()->Model(1);
    QCOMPARE(m->rowCount(), 20000);
    QCOMPARE(m->index(19999, 0).data().toString(), QStringLiteral("20000"));
    for (int r : {0, 1, 2, 3, 299, 12344, 12345, 19998, 19999}) {
      QCOMPARE(m->Cell(r, CL_SID), std::to_string(r + 1));
      QCOMPARE(m->Cell(r, CL_CALL), std::string(kNames[r % 3]));
      QCOMPARE(m->Cell(r, CL_LINK), std::string(r % 2 ? "===>" : "X"));
      QCOMPARE(m->Cell(r, CL_TO_SOURCE), std::string(r % 2 ? "b.c" : ""));
    }
    QCOMPARE(Views()->Tree()->Dump(), QStringLiteral("0 top\n  4 kid\n    0 grandchild\n"));
    // Numbers sort as numbers: 20000 after 9999.
    Views()->ClickColumn(VIEW_CALLS, 0);
    QCOMPARE(Views()->Model(1)->index(19999, 0).data().toString(), QStringLiteral("20000"));
    QCOMPARE(Views()->Model(1)->index(9998, 0).data().toString(), QStringLiteral("9999"));
    Views()->ClearViews();
    QCOMPARE(Views()->Model(1)->rowCount(), 0);
    QCOMPARE(Views()->TreeItemCount(), 0);
  }

  void calledValuesKeepTheirPlace() {
    // As the Called column is rewritten at the end of an analysis: blocks of
    // values down the list, with a blocking read in between that must see
    // every value set before it.
    ListModel *m = Views()->Model(0);
    ViewsPanel *v = Views();
    std::string seen_mid;
    std::atomic<bool> done{false};
    std::thread worker([&] {
      const int n = 30000;
      std::vector<FunctionRow> rows(n);
      for (int i = 0; i < n; i++) {
        rows[i] = FunctionRow{};
        rows[i].sid = 1;
        rows[i].fid = i + 1;
        rows[i].source = "a.c";
        rows[i].scope = "";
        rows[i].name = "f";
      }
      v->AddFunctionRows(rows.data(), rows.size());
      std::vector<int> called(n);
      for (int i = 0; i < n; i++) called[i] = i % 2;
      v->SetCalled(0, called.data(), 20000);
      w_->Queue()->Run([&] { seen_mid = m->Cell(19999, FL_CALLED); });
      v->SetCalled(20000, called.data() + 20000, n - 20000);
      done = true;
    });
    QTRY_VERIFY_WITH_TIMEOUT(done.load(), 60000);
    worker.join();
    w_->Queue()->Drain();
    QCOMPARE(seen_mid, std::string("1"));
    QCOMPARE(m->rowCount(), 30000);
    for (int r : {0, 1, 999, 1000, 20000, 20001, 29999})
      QCOMPARE(m->Cell(r, FL_CALLED), std::to_string(r % 2));
    // The colour of the Function column follows the value.
    QCOMPARE(m->data(m->index(1, FL_FUNCTION), Qt::BackgroundRole).value<QColor>(),
             QColor(160, 255, 176));
    QCOMPARE(m->data(m->index(2, FL_FUNCTION), Qt::BackgroundRole).value<QColor>(),
             QColor(128, 176, 255));
    Views()->ClearViews();
  }
};

QTEST_MAIN(GuiFillsTest)
#include "gui_fills_test.moc"
