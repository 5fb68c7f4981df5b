// The four result views behind the tab control: the Function List and the Call
// List (table models over our own row store, sorted by a permutation so that
// the rows keep the numbers the analysis gave them), the CallTree (a tree model
// whose item handles are plain numbers, so the worker can name an item before
// the GUI thread has created it), and the Result text (a rolling log).
//
// ViewsPanel owns the widgets, implements the fill operations of the ports and
// applies the ones that arrive from the worker in ordered batches.
#pragma once

#include <QAbstractItemModel>
#include <QAbstractTableModel>
#include <QIcon>
#include <QPlainTextEdit>
#include <QTableView>
#include <QTreeView>
#include <QWidget>

#include <memory>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

#include "foundation/ports.h"
#include "ui/port_queue.h"

class QLabel;
class QStatusBar;
class QTabWidget;

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
  void InsertRow(int index, const std::string &cells, int n);
  // Sets one cell; out-of-range rows and columns are ignored.
  void SetCell(int row, int col, const char *text);
  // The Shift_JIS text of one cell, "" when out of range.
  std::string Cell(int row, int col) const;
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
  Row MakeRow(const char *cells, int n) const;
  static const char *CellText(const Row &r, int col);
  int list_;                  // VIEW_FUNCTIONS or VIEW_CALLS
  int columns_;               // 7 or 11
  std::vector<Row> rows_;     // committed rows in store order
  std::vector<Row> pending_;  // appended rows not yet announced
  std::vector<int> order_;    // shown row -> store row; empty while unsorted
  int dirty_lo_ = -1;         // smallest store row changed since Commit
  int dirty_hi_ = -1;         // largest store row changed since Commit
};

// The CallTree nodes. A node's handle is a number handed out by the caller.
class TreeModel : public QAbstractItemModel {
  Q_OBJECT
 public:
  explicit TreeModel(QObject *parent = nullptr);
  ~TreeModel() override;

  QModelIndex index(int row, int column, const QModelIndex &parent = QModelIndex()) const override;
  QModelIndex parent(const QModelIndex &child) const override;
  int rowCount(const QModelIndex &parent = QModelIndex()) const override;
  int columnCount(const QModelIndex &parent = QModelIndex()) const override;
  QVariant data(const QModelIndex &index, int role) const override;

  // Adds node id as the last child of parent (0, or an unknown id: top level).
  void Insert(quintptr parent, quintptr id, const char *text);
  // Picture k (0..5) of node id; other values and unknown ids are ignored.
  void SetImage(quintptr id, int k);
  void Clear();
  int Count() const { return (int)nodes_.size(); }
  QModelIndex IndexOf(quintptr id) const;
  int ImageOf(quintptr id) const;  // -1 for an unknown id
  // The whole tree as indented text, one node per line (tests, screenshots).
  QString Dump() const;

 private:
  struct Node {
    quintptr id = 0;                          // handle given by the caller
    Node *parent = nullptr;                   // nullptr only for the root
    int row = 0;                              // place among its siblings
    int image = 0;                            // picture index 0..5
    QString text;                             // label
    std::vector<std::unique_ptr<Node>> kids;  // children in insertion order
  };
  Node root_;                                   // invisible top of the tree
  std::unordered_map<quintptr, Node *> nodes_;  // every node by handle
  QIcon pictures_[6];                           // one per node kind
};

// The Result text: a rolling log of at most Limit() characters that loses
// whole lines from the top.
class ResultEdit : public QPlainTextEdit {
  Q_OBJECT
 public:
  explicit ResultEdit(QWidget *parent = nullptr);
  void SetLimit(int chars) { limit_ = chars; }
  int Limit() const { return limit_; }
  // Appends text (line ends "\r\n" or "\n"), trimming old lines first.
  void Append(const QString &text);
  int Length() const;

 private:
  int limit_ = 64 * 1024;  // MAX_RESULT_BUFFER x 1024
};

// A list view with its background picture in the bottom-right corner.
class ListView : public QTableView {
  Q_OBJECT
 public:
  ListView(const QPixmap &picture, QWidget *parent = nullptr);

 protected:
  void paintEvent(QPaintEvent *event) override;

 private:
  QPixmap picture_;
};

// The tab control with the four views and the status bar (the child windows of
// the main window), and the fill operations of the result views.
class ViewsPanel : public QWidget, public ResultViews, public PortApplier {
  Q_OBJECT
 public:
  ViewsPanel(PortQueue *queue, QWidget *parent = nullptr);
  ~ViewsPanel() override;

  // ResultViews: callable from any thread; from the worker they travel to the
  // GUI thread in order, and the ones that answer wait for that answer.
  int HasView(int view) override;
  void InsertRow(int list, int index, int subitem, const char *text) override;
  void SetCell(int list, int row, int col, const char *text) override;
  void GetCell(int list, int row, int col, char *buffer, int size) override;
  void SetCellText(int list, int row, int col, const char *text) override;
  int SelectedRow(int list) override;
  int RowCount(int list) override;
  void DeleteRows(int list) override;
  TREEITEM TreeInsert(TREEITEM parent, const char *text) override;
  void TreeSetImage(TREEITEM item, int k) override;
  void TreeClear() override;
  int TreeItemCount() override;
  void AppendResult(const char *text) override;

  // GUI thread: applies a batch of fill operations in order.
  void ApplyOps(std::vector<PortOp> &ops) override;

  // Main-window side (GUI thread).
  void SetStatusText(const char *text);
  QString StatusText() const;
  void SelectView(int view);  // ShowView of the tab control
  int CurrentView() const { return current_; }
  // Empties both lists, the Result text and the tree.
  void ClearViews();
  // Empties the tree (the graph's anonymous node numbering restarts too).
  void ClearTreeView();

  QTabWidget *Tabs() const { return tabs_; }
  QTableView *ListWidget(int list) const { return lists_[list & 1]; }
  ListModel *Model(int list) const { return models_[list & 1]; }
  TreeModel *Tree() const { return tree_model_; }
  QTreeView *TreeWidget() const { return tree_; }
  ResultEdit *Result() const { return result_; }
  QStatusBar *Status() const { return status_; }
  // SortState of a list column: 0 never sorted, 1 ascending, 2 descending.
  int SortState(int list, int col) const;
  // A column click: toggles that column's SortState and sorts.
  void ClickColumn(int list, int col);
  // A double-click on a shown row: emits TreeRequested when it names a function.
  void ActivateRow(int list, int shown_row);
  // Column width in pixels for a FONT_SIZE_LV (h = size / 2).
  static int ColumnWidth(int list, int col, int font_size);

 Q_SIGNALS:
  // A double-click asks for the call tree of (sid, fid); view is the list.
  void TreeRequested(int view, int sid, int fid);
  // The user switched tabs.
  void TabChosen(int view);

 private:
  void OnTabChanged(int index);
  void RelabelTabs();
  void AfterBatch();
  bool OnGuiThread() const;

  PortQueue *queue_;                 // ordered way to the GUI thread
  QTabWidget *tabs_ = nullptr;       // tab control
  QStatusBar *status_ = nullptr;     // status bar (simple mode: one label)
  QLabel *status_label_ = nullptr;   // its one text
  ListView *lists_[2] = {};          // Function List, Call List
  ListModel *models_[2] = {};        // their rows
  QTreeView *tree_ = nullptr;        // CallTree view
  TreeModel *tree_model_ = nullptr;  // its nodes
  ResultEdit *result_ = nullptr;     // Result text
  int current_ = 0;                  // index of the shown view
  int sort_state_[4][16] = {};       // per view and column
  bool relabelling_ = false;         // tab labels being rewritten

  // Answers that must not wait for the GUI thread, kept in call order.
  std::mutex count_mu_;
  int row_count_[2] = {0, 0};  // rows inserted minus deleted, per list
  int tree_count_ = 0;         // tree items since the last clear
  quintptr next_tree_id_ = 0;  // last handle given out

  std::set<quintptr> opened_;  // tree parents that got children this batch
};
