// The Function List and the Call List as table models over typed rows (the
// analysis's FunctionRow and CallRow), sorted by a permutation so that the
// rows keep the numbers the analysis gave them. Cell texts are made when a
// view asks for them; number columns sort as numbers.
#pragma once

#include <QAbstractTableModel>

#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "xref/row_store.h"
#include "xref/results.h"

// Rows of one list view. Rows are addressed by their place in the store (the
// order in which they were appended); sorting only changes the order shown.
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

  // Appends rows of this list's kind (the other kind is ignored). They are
  // held back until Commit, so a fill becomes few insertions.
  void AppendFunctions(const FunctionRow *rows, size_t n);
  void AppendCalls(const CallRow *rows, size_t n);
  // The Called value of function rows first .. first + n - 1.
  void SetCalled(size_t first, const int *called, size_t n);
  // The row at store position row, pending ones included; nullptr when out of
  // range or of the other kind. Valid until the rows change.
  const FunctionRow *FunctionAt(int row) const;
  const CallRow *CallAt(int row) const;
  // The store row of function sid, fid (the first such); -1 when none.
  int FunctionRowOf(int sid, int fid) const;
  // The Shift_JIS text of one cell, "" when out of range.
  std::string Cell(int row, int col) const;
  // Rows in the store, pending ones included.
  int Size() const { return (int)stored(); }
  void DeleteRows();
  // Makes held-back rows and changed cells visible to the views; with rows
  // false only the changed cells.
  void Commit(bool rows = true);
  // Rows held back.
  int Pending() const { return (int)(stored() - committed_); }
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
  // Appends the text of cell col of store row row to out (Shift_JIS).
  void AppendCell(std::string &out, int row, int col) const;

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
  size_t stored() const { return list_ == 0 ? functions_.size() : calls_.size(); }
  // The number of column col of store row r (numeric columns).
  int Number(int r, int col) const;
  // Bytes of the text of cell col of store row r.
  size_t CellLength(int r, int col) const;
  // The longest cells of one column: (bytes, store row), longest first.
  typedef std::vector<std::pair<size_t, int>> Longest;
  // Counts cell (len bytes) of store row r into best, keeping n.
  static void ConsiderCell(Longest *best, size_t len, int r, int n);
  // Counts the tracked cells of appended store rows from..to - 1.
  void TrackRows(size_t from, size_t to);
  int list_;                          // VIEW_FUNCTIONS or VIEW_CALLS
  int columns_;                       // FL_COLUMNS or CL_COLUMNS
  RowBlocks<FunctionRow> functions_;  // the rows of a Function List
  RowBlocks<CallRow> calls_;          // the rows of a Call List
  size_t committed_ = 0;              // rows the views know of (the first ones)
  std::vector<int> order_;            // shown row -> store row; empty while unsorted
  unsigned tracked_ = 0;              // columns whose longest cells are kept (bit per column)
  std::vector<Longest> longest_;      // per column, while tracked
  int dirty_lo_ = -1;                 // smallest store row changed since Commit
  int dirty_hi_ = -1;                 // largest store row changed since Commit
  unsigned resets_ = 0;               // DeleteRows so far
  // The background sort: its work record is shared with its thread, which
  // only touches that record; the GUI thread joins it before reading.
  std::shared_ptr<SortWork> sort_;
  std::thread sort_thread_;
  int next_col_ = -1;  // a sort asked for while one ran, or -1
  bool next_descending_ = false;
};
