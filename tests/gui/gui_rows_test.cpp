// The list models over typed rows as the GUI thread fills them: cell texts
// made from the rows, rows across the blocks of the store, the Called values
// set after linking, sorting on numbers and on texts, and the longest cells
// kept while rows are appended against a walk over every row.
#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QTest>

#include <memory>
#include <string>
#include <vector>

#include "ui/list_model.h"
#include "xref/list_columns.h"

namespace {

// The names the rows point at live as long as the test.
const char *Keep(const std::string &s) {
  static std::vector<std::unique_ptr<std::string>> kept;
  kept.push_back(std::make_unique<std::string>(s));
  return kept.back()->c_str();
}

CallRow Call(int i, const std::string &call, bool linked) {
  CallRow r = {};
  r.sid = i;
  r.fid = 1;
  r.source = "s.c";
  r.scope = "";
  r.name = Keep("f" + std::to_string(i % 13));
  r.call_scope = i % 2 ? "N::" : "";
  r.call_name = Keep(call);
  r.argc = i % 4;
  r.to_sid = linked ? 2 : 0;
  r.to_fid = linked ? i : 0;
  r.to_source = linked ? "t.c" : "";
  r.to_scope = "";
  r.to_name = linked ? r.call_name : "";
  r.line = i;
  return r;
}

FunctionRow Function(int sid, int fid, const char *scope, const char *name, int line) {
  FunctionRow r = {};
  r.sid = sid;
  r.fid = fid;
  r.source = "a.c";
  r.scope = scope;
  r.name = name;
  r.line = line;
  return r;
}

// LongestCells of an untracked twin model filled with the same rows: the
// walk over every row that the kept lists must agree with.
std::vector<std::string> Walked(const ListModel &m, int col, int n) {
  ListModel twin(VIEW_CALLS);
  for (int r = 0; r < m.Size(); r++) twin.AppendCalls(m.CallAt(r), 1);
  twin.Commit();
  return twin.LongestCells(col, n);
}

}  // namespace

class GuiRowsTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:

  void cellsComeFromTheRows() {
    ListModel m(VIEW_CALLS);
    QAbstractItemModelTester t(&m, QAbstractItemModelTester::FailureReportingMode::QtTest);
    CallRow rows[2] = {Call(3, "go", true), Call(4, "gone", false)};
    m.AppendCalls(rows, 2);
    QCOMPARE(m.rowCount(), 0);  // held back until committed
    QCOMPARE(m.Pending(), 2);
    m.Commit();
    QCOMPARE(m.rowCount(), 2);
    QCOMPARE(m.Cell(0, CL_SID), std::string("3"));
    QCOMPARE(m.Cell(0, CL_CALL), std::string("N::go"));
    QCOMPARE(m.Cell(0, CL_LINK), std::string("===>"));
    QCOMPARE(m.Cell(0, CL_TO_FUNCTION), std::string("go"));
    QCOMPARE(m.Cell(1, CL_LINK), std::string("X"));
    // An unlinked call's "to" cells are empty, whatever the row holds there.
    QCOMPARE(m.Cell(1, CL_TO_SID), std::string());
    QCOMPARE(m.Cell(1, CL_TO_FID), std::string());
    QCOMPARE(m.data(m.index(1, CL_CALL), Qt::DisplayRole).toString(), QString("gone"));
    QCOMPARE(m.CallAt(1)->argc, 0);
    QVERIFY(m.FunctionAt(0) == nullptr);  // the other kind
    QCOMPARE(m.FunctionRowOf(3, 1), -1);  // a call row is no function row
    QCOMPARE(m.Cell(5, CL_CALL), std::string());
  }

  void rowsAcrossBlocksAndCalledValues() {
    ListModel m(VIEW_FUNCTIONS);
    std::vector<FunctionRow> rows;
    // More rows than one block of the store holds.
    for (int i = 0; i < 120000; i++)
      rows.push_back(Function(1 + i / 1000, 1 + i % 1000, "", "f", i));
    m.AppendFunctions(rows.data(), 70000);
    m.AppendFunctions(rows.data() + 70000, rows.size() - 70000);
    m.Commit();
    QCOMPARE(m.rowCount(), 120000);
    QCOMPARE(m.Cell(119999, FL_LINE), std::string("119999"));
    QCOMPARE(m.FunctionAt(65536)->line, 65536);
    QSignalSpy changed(&m, &QAbstractItemModel::dataChanged);
    int called[3] = {1, 0, 1};
    m.SetCalled(43690, called, 3);
    QCOMPARE(changed.count(), 0);  // told at the next commit
    m.Commit(false);
    QCOMPARE(changed.count(), 1);
    QCOMPARE(m.Cell(43690, FL_CALLED), std::string("1"));
    QCOMPARE(m.Cell(43691, FL_CALLED), std::string("0"));
    QCOMPARE(m.Cell(43692, FL_CALLED), std::string("1"));
    m.SetCalled(119999, called, 3);  // past the end: the rest is dropped
    QCOMPARE(m.Cell(119999, FL_CALLED), std::string("1"));
    QCOMPARE(m.FunctionRowOf(71, 1), 70000);  // found past the first block
    QCOMPARE(m.FunctionRowOf(1, 1001), -1);
    m.DeleteRows();
    QCOMPARE(m.rowCount(), 0);
    QCOMPARE(m.Size(), 0);
    QCOMPARE(m.FunctionRowOf(1, 1), -1);
  }

  void numbersSortAsNumbersAndTextsAsTexts() {
    ListModel m(VIEW_FUNCTIONS);
    FunctionRow rows[4] = {Function(1, 1, "", "b", 100), Function(1, 2, "A::", "c", 9),
                           Function(2, 1, "", "a", 20), Function(10, 1, "", "B", 9)};
    m.AppendFunctions(rows, 4);
    m.Commit();
    m.SortBy(FL_LINE, false);  // 9, 9, 20, 100: not "100" < "20" < "9"
    QCOMPARE(m.StoreRow(0), 1);
    QCOMPARE(m.StoreRow(1), 3);  // ties keep their order
    QCOMPARE(m.StoreRow(3), 0);
    // "a" "A::c" "B" "b": letters without case; B and b tie and keep the
    // order of the sort before (by line).
    m.SortBy(FL_FUNCTION, false);
    QCOMPARE(m.StoreRow(0), 2);
    QCOMPARE(m.StoreRow(1), 1);
    QCOMPARE(m.StoreRow(2), 3);
    QCOMPARE(m.StoreRow(3), 0);
    m.SortBy(FL_SID, true);
    QCOMPARE(m.StoreRow(0), 3);  // 10 before 2
    QCOMPARE(m.ShownRow(3), 0);
  }

  void keptLongestCellsAgreeWithAWalk() {
    ListModel m(VIEW_CALLS);
    m.TrackLongest(1u << CL_CALL | 1u << CL_FUNCTION | 1u << CL_TO_FUNCTION);
    // Many ties: of equal lengths the first rows win, as in the walk.
    for (int i = 0; i < 3000; i++) {
      CallRow r = Call(i, std::string(1 + (i * 37) % 50, 'a' + i % 26), i % 3 == 0);
      m.AppendCalls(&r, 1);
    }
    QCOMPARE(m.LongestCells(CL_CALL, 16).size(), size_t(0));  // nothing committed yet
    m.Commit();
    for (int n : {1, 5, 16})
      for (int col : {CL_CALL, CL_FUNCTION, CL_SOURCE, CL_TO_FUNCTION})
        QCOMPARE(m.LongestCells(col, n), Walked(m, col, n));
    QCOMPARE(m.LongestCells(CL_CALL, 40), Walked(m, CL_CALL, 40));  // more than kept
    // Rows appended and not committed are not counted.
    std::vector<std::string> before = m.LongestCells(CL_CALL, 3);
    CallRow z = Call(9, std::string(400, 'z'), false);
    m.AppendCalls(&z, 1);
    QCOMPARE(m.LongestCells(CL_CALL, 3), before);
    m.Commit();
    QCOMPARE(m.LongestCells(CL_CALL, 3)[0], std::string("N::") + std::string(400, 'z'));
    // Emptied, the kept lists start again.
    m.DeleteRows();
    for (int i = 0; i < 100; i++) {
      CallRow r = Call(i, std::string(i % 7, 'k'), true);
      m.AppendCalls(&r, 1);
    }
    m.Commit();
    QCOMPARE(m.LongestCells(CL_CALL, 16), Walked(m, CL_CALL, 16));
  }
};

QTEST_MAIN(GuiRowsTest)
#include "gui_rows_test.moc"
