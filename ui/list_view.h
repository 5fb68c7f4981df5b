// The Function List and the Call List: a table model over our own row store,
// sorted by a permutation so that the rows keep the numbers the analysis gave
// them, and the table view that shows it with its background picture.
#pragma once

#include <QAbstractTableModel>
#include <QPixmap>
#include <QTableView>

#include <atomic>
#include <memory>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

#include "ui/row_store.h"

// Rows of one list view. Rows are addressed by their place in the store (the
// order in which they were inserted); sorting only changes the order shown.
class ListModel : public QAbstractTableModel {
  Q_OBJECT
 public:
  ListModel(int list, QObject *parent = nullptr);
  ~ListModel() override;  // waits for a background sort

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
  // The same from len bytes at cells (the cells need not end the buffer).
  void InsertRow(int index, const char *cells, size_t len, int n);
  // Inserts the row whose first n cells, each ended by a NUL, start at cells
  // within avail bytes, walking them once; returns the bytes the n cells take
  // (avail when the last one is cut short).
  size_t InsertRowFrom(int index, const char *cells, size_t avail, int n);
  // Sets one cell; out-of-range rows and columns are ignored.
  void SetCell(int row, int col, const char *text);
  // The Shift_JIS text of one cell, "" when out of range.
  std::string Cell(int row, int col) const;
  // The same without a copy, for committed rows ("" when out of range);
  // valid until the rows change.
  const char *CellAt(int row, int col) const;
  // The cells of a committed row one after another, each ended by a NUL
  // (empty when out of range); valid until the rows change.
  std::string_view RowAt(int row) const;
  // The first cell of a committed row, the others after it, without
  // measuring the row; nullptr when out of range.
  const char *RowCells(int row) const {
    return row >= 0 && row < (int)rows_.size() ? rows_[row] : nullptr;
  }
  // Rows in the store, pending ones included.
  int Size() const { return (int)(rows_.size() + pending_.size()); }
  void DeleteRows();
  // Makes held-back rows and changed cells visible to the views; with rows
  // false only the changed cells.
  void Commit(bool rows = true);
  // Rows held back.
  int Pending() const { return (int)pending_.size(); }
  // Sorts the shown order by one column: numbers for numeric columns, text
  // (ASCII letters folded) otherwise. Stable, so ties keep their order.
  void SortBy(int col, bool descending);
  // The same, with the comparisons on a thread of their own: the GUI thread
  // only copies the column and later puts the rows in their new order
  // (SortDone). A sort asked for while one runs follows it. Rows deleted in
  // the meantime make the result void; rows appended stay at the end.
  void SortInBackground(int col, bool descending);
  // 1 while a background sort runs or waits.
  int Sorting() const { return sort_ != nullptr; }
  // The longest texts of column col, by bytes (at most n, longest first; of
  // equal ones the first rows): what column sizing measures.
  std::vector<std::string> LongestCells(int col, int n) const;
  // Keeps the longest cells of the columns in mask (bit c for column c) up
  // to date while rows are appended, so that LongestCells with n up to
  // kTrackedLongest needs no walk over every row at the end of a fill.
  void TrackLongest(unsigned mask);
  static const int kTrackedLongest = 16;
  // Store row of a shown row and back; -1 when out of range.
  int StoreRow(int shown) const;
  int ShownRow(int store) const;
  // 1 when column col of this list sorts as a number.
  static int IsNumericColumn(int list, int col);
  int List() const { return list_; }

 Q_SIGNALS:
  // A background sort has put the rows in their new order (or given up).
  void SortDone();

 private:
  struct SortWork;  // one background sort
  // The permutation of old that sorts it by col (stable); any thread.
  static std::vector<int> SortedOrder(const SortWork &w);
  void StartSort(int col, bool descending);
  void FinishSort();
  void ApplyOrder(std::vector<int> old, std::vector<int> next);
  // A row is its cells one after another, each ended by a NUL, always
  // columns_ of them, in store_: every cell a C string in place. A changed
  // row that no longer fits gets new bytes; the old ones stay until the
  // list is emptied.
  typedef const char *Row;
  // A row of the first n cells (at most columns_) of len bytes at cells;
  // counted: the len bytes are exactly n NUL-ended cells.
  Row MakeRow(const char *cells, size_t len, int n, bool counted = false);
  // Puts a made row at store position index (appended when past the end);
  // lens, when given, holds the byte lengths of its first columns_ cells.
  void PlaceRow(int index, Row row, const size_t *lens = nullptr);
  static const int kMaxColumns = 16;  // cell lengths measured on the way (InsertRowFrom)
  // The longest cells of one column: (bytes, store row), longest first.
  typedef std::vector<std::pair<size_t, int>> Longest;
  // Counts cell (len bytes) of store row r into best, keeping n.
  static void ConsiderCell(Longest *best, size_t len, int r, int n);
  // Counts the cells of an appended row (store row r) into longest_; lens as
  // for PlaceRow.
  void TrackRow(Row row, int r, const size_t *lens);
  static const char *CellText(Row r, int col);
  // Bytes of a row, its last NUL included.
  size_t RowBytes(Row r) const;
  int list_;                      // VIEW_FUNCTIONS or VIEW_CALLS
  int columns_;                   // FL_COLUMNS or CL_COLUMNS
  RowStore store_;                // the bytes of every row
  std::vector<Row> rows_;         // committed rows in store order
  std::vector<Row> pending_;      // appended rows not yet announced
  std::vector<int> order_;        // shown row -> store row; empty while unsorted
  unsigned tracked_ = 0;          // columns whose longest cells are kept (bit per column)
  bool longest_valid_ = true;     // longest_ holds every row (no inner insertion or tracked edit)
  std::vector<Longest> longest_;  // per column, while tracked
  int dirty_lo_ = -1;             // smallest store row changed since Commit
  int dirty_hi_ = -1;             // largest store row changed since Commit
  unsigned resets_ = 0;           // DeleteRows and inner insertions so far
  // The background sort: its work record is shared with its thread, which
  // only touches that record; the GUI thread joins it before reading.
  std::shared_ptr<SortWork> sort_;
  std::thread sort_thread_;
  int next_col_ = -1;  // a sort asked for while one ran, or -1
  bool next_descending_ = false;
};

// A list view with its background picture in the bottom-right corner of the
// viewport (fixed there while the rows scroll), the focus frame, and its row
// under the mouse underlined (the hot row).
class ListView : public QTableView {
  Q_OBJECT
 public:
  ListView(const QPixmap &picture, QWidget *parent = nullptr);
  // Shown row under the mouse, -1 when none.
  int HotRow() const { return hot_row_; }

 Q_SIGNALS:
  // Enter (shift: with Shift) on the current row (a shown row).
  void Entered(int shown_row, bool shift);
  // The context menu on a shown row, at a screen position.
  void MenuAt(int shown_row, const QPoint &global);

 protected:
  void paintEvent(QPaintEvent *event) override;
  void scrollContentsBy(int dx, int dy) override;
  void keyPressEvent(QKeyEvent *event) override;
  void contextMenuEvent(QContextMenuEvent *event) override;
  void focusInEvent(QFocusEvent *event) override;
  void focusOutEvent(QFocusEvent *event) override;
  void mouseMoveEvent(QMouseEvent *event) override;
  bool viewportEvent(QEvent *event) override;

 private:
  void SetHotRow(int row);
  QPixmap picture_;
  int hot_row_ = -1;  // shown row under the mouse, -1 for none
};
