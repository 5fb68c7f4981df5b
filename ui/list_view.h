// The Function List and the Call List: a table model over our own row store,
// sorted by a permutation so that the rows keep the numbers the analysis gave
// them, and the table view that shows it with its background picture.
#pragma once

#include <QAbstractTableModel>
#include <QPixmap>
#include <QTableView>

#include <string>
#include <string_view>
#include <vector>

// Rows of one list view. Rows are addressed by their place in the store (the
// order in which they were inserted); sorting only changes the order shown.
class ListModel : public QAbstractTableModel {
  Q_OBJECT
 public:
  ListModel(int list, QObject *parent = nullptr);

  int rowCount(const QModelIndex &parent = QModelIndex()) const override;
  int columnCount(const QModelIndex &parent = QModelIndex()) const override;
  QVariant data(const QModelIndex &index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
  Qt::ItemFlags flags(const QModelIndex &index) const override;

  // Inserts a row at store position index (clamped) with its first cell.
  // Appends are held back until Commit, so a batch becomes one insertion.
  void InsertRow(int index, const char *text);
  // The same with its first n cells, each ended by a NUL in cells (cells past
  // the last column are ignored).
  void InsertRow(int index, std::string cells, int n);
  // Sets one cell; out-of-range rows and columns are ignored.
  void SetCell(int row, int col, const char *text);
  // The Shift_JIS text of one cell, "" when out of range.
  std::string Cell(int row, int col) const;
  // The same without a copy, for committed rows ("" when out of range);
  // valid until the rows change.
  const char *CellAt(int row, int col) const;
  // The cells of a committed row one after another, each ended by a NUL
  // (empty when out of range); valid until the rows change.
  std::string_view RowAt(int row) const {
    return row >= 0 && row < (int)rows_.size() ? std::string_view(rows_[row]) : std::string_view();
  }
  // Rows in the store, pending ones included.
  int Size() const { return (int)(rows_.size() + pending_.size()); }
  void DeleteRows();
  // Makes held-back rows and changed cells visible to the views.
  void Commit();
  // Sorts the shown order by one column: numbers for numeric columns, text
  // (ASCII letters folded) otherwise. Stable, so ties keep their order.
  void SortBy(int col, bool descending);
  // Store row of a shown row and back; -1 when out of range.
  int StoreRow(int shown) const;
  int ShownRow(int store) const;
  // 1 when column col of this list sorts as a number.
  static int IsNumericColumn(int list, int col);
  int List() const { return list_; }

 private:
  // A row is its cells one after another, each ended by a NUL, always
  // columns_ of them: one block per row, and every cell a C string in place.
  typedef std::string Row;
  Row MakeRow(std::string cells, int n) const;
  static const char *CellText(const Row &r, int col);
  int list_;                  // VIEW_FUNCTIONS or VIEW_CALLS
  int columns_;               // FL_COLUMNS or CL_COLUMNS
  std::vector<Row> rows_;     // committed rows in store order
  std::vector<Row> pending_;  // appended rows not yet announced
  std::vector<int> order_;    // shown row -> store row; empty while unsorted
  int dirty_lo_ = -1;         // smallest store row changed since Commit
  int dirty_hi_ = -1;         // largest store row changed since Commit
};

// A list view with its background picture in the bottom-right corner, whose
// row under the mouse is underlined (the hot row).
class ListView : public QTableView {
  Q_OBJECT
 public:
  ListView(const QPixmap &picture, QWidget *parent = nullptr);
  // Shown row under the mouse, -1 when none.
  int HotRow() const { return hot_row_; }

 protected:
  void paintEvent(QPaintEvent *event) override;
  void mouseMoveEvent(QMouseEvent *event) override;
  bool viewportEvent(QEvent *event) override;

 private:
  void SetHotRow(int row);
  QPixmap picture_;
  int hot_row_ = -1;  // shown row under the mouse, -1 for none
};
