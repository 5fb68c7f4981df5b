// The list model's rows as the GUI thread fills them: the row store behind
// them (cells changed in place or made again, rows larger than a block, rows
// read back from blocks whose last cell is cut), and the longest cells kept
// while rows are appended against a walk over every row.
#include <QAbstractItemModelTester>
#include <QTest>

#include <string>
#include <vector>

#include "ui/list_view.h"
#include "xref/list_columns.h"

namespace {

// Cells of a Call List row: sid, source, fid, function, call.
std::string CallCells(int i, const std::string &call) {
  return std::to_string(i) + '\0' + "s.c" + '\0' + "1" + '\0' + "f" + std::to_string(i % 13) +
         '\0' + call + '\0';
}

// LongestCells of an untracked twin model filled with the same rows: the
// walk over every row that the kept lists must agree with.
std::vector<std::string> Walked(const ListModel &m, int col, int n) {
  ListModel twin(VIEW_CALLS);
  for (int r = 0; r < m.Size(); r++) {
    std::string_view row = m.RowAt(r);
    twin.InsertRow(r, std::string(row), CL_COLUMNS);
  }
  twin.Commit();
  return twin.LongestCells(col, n);
}

}  // namespace

class GuiRowsTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:

  void cellsChangeInPlaceOrMoveAndGiantRowsFit() {
    ListModel m(VIEW_CALLS);
    QAbstractItemModelTester t(&m, QAbstractItemModelTester::FailureReportingMode::QtTest);
    for (int i = 0; i < 5000; i++) m.InsertRow(i, CallCells(i, "callee"), 5);
    m.Commit();
    // Same length: in place; longer and shorter: the row is made again, its
    // neighbours untouched.
    m.SetCell(10, CL_CALL, "CALLEE");
    m.SetCell(11, CL_CALL, std::string(3000, 'y').c_str());
    m.SetCell(12, CL_CALL, "");
    m.SetCell(12, CL_TO_FUNCTION, "last");
    m.SetCell(13, CL_COLUMNS, "past the last column: ignored");
    QCOMPARE(m.Cell(10, CL_CALL), std::string("CALLEE"));
    QCOMPARE(m.Cell(11, CL_CALL), std::string(3000, 'y'));
    QCOMPARE(m.Cell(11, CL_FUNCTION), std::string("f11"));
    QCOMPARE(m.Cell(11, CL_ARGC), std::string());
    QCOMPARE(m.Cell(12, CL_CALL), std::string());
    QCOMPARE(m.Cell(12, CL_TO_FUNCTION), std::string("last"));
    QCOMPARE(m.Cell(13, CL_CALL), std::string("callee"));
    QCOMPARE(m.Cell(9, CL_CALL), std::string("callee"));
    // A row larger than a whole block of the store, and more rows after it.
    std::string giant(3u << 20, 'g');
    m.InsertRow(m.Size(), CallCells(5000, giant), 5);
    for (int i = 5001; i < 9000; i++) m.InsertRow(i, CallCells(i, "after"), 5);
    m.Commit();
    QCOMPARE(m.Cell(5000, CL_CALL), giant);
    QCOMPARE(m.Cell(8999, CL_CALL), std::string("after"));
    QCOMPARE(m.Cell(4999, CL_CALL), std::string("callee"));
    QCOMPARE((int)m.RowAt(5000).size(), (int)(CallCells(5000, giant).size() + CL_COLUMNS - 5));
    m.DeleteRows();
    QCOMPARE(m.rowCount(), 0);
    m.InsertRow(0, CallCells(1, "again"), 5);
    m.Commit();
    QCOMPARE(m.Cell(0, CL_CALL), std::string("again"));
  }

  void rowsReadFromBlocksWithCutCells() {
    ListModel m(VIEW_CALLS);
    std::string block = CallCells(1, "whole") + CallCells(2, "two");
    size_t used = m.InsertRowFrom(0, block.data(), block.size(), 5);
    QCOMPARE(used, CallCells(1, "whole").size());
    used += m.InsertRowFrom(1, block.data() + used, block.size() - used, 5);
    QCOMPARE(used, block.size());
    // The last cell has no NUL before the end: it is not a cell.
    std::string cut = CallCells(3, "cut");
    cut.pop_back();
    QCOMPARE(m.InsertRowFrom(2, cut.data(), cut.size(), 5), cut.size());
    // More cells than columns: the extra ones are dropped.
    std::string wide;
    for (int c = 0; c < CL_COLUMNS + 3; c++) wide += "c" + std::to_string(c) + '\0';
    QCOMPARE(m.InsertRowFrom(3, wide.data(), wide.size(), CL_COLUMNS + 3), wide.size());
    m.Commit();
    QCOMPARE(m.rowCount(), 4);
    QCOMPARE(m.Cell(0, CL_CALL), std::string("whole"));
    QCOMPARE(m.Cell(1, CL_CALL), std::string("two"));
    QCOMPARE(m.Cell(2, CL_CALL), std::string());
    QCOMPARE(m.Cell(2, CL_FUNCTION), std::string("f3"));
    QCOMPARE(m.Cell(2, CL_TO_FUNCTION), std::string());
    QCOMPARE(m.Cell(3, CL_TO_FUNCTION), std::string("c10"));
    QCOMPARE((int)m.RowAt(3).size(), (int)(wide.size() - 3 * 4));
  }

  void keptLongestCellsAgreeWithAWalk() {
    ListModel m(VIEW_CALLS);
    m.TrackLongest(1u << CL_CALL | 1u << CL_FUNCTION);
    // Many ties: of equal lengths the first rows win, as in the walk.
    for (int i = 0; i < 3000; i++)
      m.InsertRow(i, CallCells(i, std::string(1 + (i * 37) % 50, 'a' + i % 26)), 5);
    QCOMPARE(m.LongestCells(CL_CALL, 16).size(), size_t(0));  // nothing committed yet
    m.Commit();
    for (int n : {1, 5, 16})
      for (int col : {CL_CALL, CL_FUNCTION, CL_SOURCE})
        QCOMPARE(m.LongestCells(col, n), Walked(m, col, n));
    QCOMPARE(m.LongestCells(CL_CALL, 40), Walked(m, CL_CALL, 40));  // more than kept
    // Rows appended and not committed are not counted.
    std::vector<std::string> before = m.LongestCells(CL_CALL, 3);
    m.InsertRow(m.Size(), CallCells(9, std::string(400, 'z')), 5);
    QCOMPARE(m.LongestCells(CL_CALL, 3), before);
    m.Commit();
    QCOMPARE(m.LongestCells(CL_CALL, 3)[0], std::string(400, 'z'));
    // A longer cell set later, and a row inserted inside the list.
    m.SetCell(7, CL_CALL, std::string(500, 'q').c_str());
    QCOMPARE(m.LongestCells(CL_CALL, 2), Walked(m, CL_CALL, 2));
    QCOMPARE(m.LongestCells(CL_CALL, 2)[0], std::string(500, 'q'));
    m.InsertRow(3, CallCells(3, std::string(600, 'i')), 5);
    m.Commit();
    QCOMPARE(m.LongestCells(CL_CALL, 16), Walked(m, CL_CALL, 16));
    // Emptied, the kept lists start again.
    m.DeleteRows();
    for (int i = 0; i < 100; i++) m.InsertRow(i, CallCells(i, std::string(i % 7, 'k')), 5);
    m.Commit();
    QCOMPARE(m.LongestCells(CL_CALL, 16), Walked(m, CL_CALL, 16));
  }
};

QTEST_MAIN(GuiRowsTest)
#include "gui_rows_test.moc"
