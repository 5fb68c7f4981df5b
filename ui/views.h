// The result views behind the tab control: the Function List and the Call
// List (ui/list_view.h) each under its search box (ui/list_filter.h), the
// CallTree (ui/tree_view.h), the Result text (ui/result_view.h) and, after
// them, the Callers tree.
//
// ViewsPanel owns the widgets, implements the fill operations of the ports and
// applies the ones that arrive from the worker in ordered batches.
#pragma once

#include <QTreeView>
#include <QWidget>

#include <atomic>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "foundation/ports.h"
#include "ui/list_filter.h"
#include "ui/list_view.h"
#include "ui/port_queue.h"
#include "ui/result_view.h"
#include "ui/tree_view.h"

class QLabel;
class QStatusBar;
class QTabWidget;

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
  void TreeTarget(int view) override;
  void TreeSetFunction(TREEITEM item, int sid, int fid) override;

  // GUI thread: applies a batch of fill operations in order.
  void ApplyOps(std::vector<PortOp> &ops) override;

  // Main-window side (GUI thread).
  void SetStatusText(const char *text);
  QString StatusText() const;
  void SelectView(int view);  // ShowView of the tab control
  int CurrentView() const { return current_; }
  // Empties both lists, the Result text and the tree; the next tree writes
  // its display-switch lines again (ResultViewCleared).
  void ClearViews();

  QTabWidget *Tabs() const { return tabs_; }
  QTableView *ListWidget(int list) const { return lists_[list & 1]; }
  ListModel *Model(int list) const { return models_[list & 1]; }
  TreeModel *Tree() const { return tree_model_; }
  QTreeView *TreeWidget() const { return tree_; }
  TreeModel *Callers() const { return callers_model_; }
  QTreeView *CallersWidget() const { return callers_; }
  ListFilter *Filter(int list) const { return filters_[list & 1]; }
  FilterBox *FilterEdit(int list) const { return boxes_[list & 1]; }
  // Ctrl+F: the search box of the list shown (the Function List's when no
  // list is shown), focused with its text selected.
  void FocusFilter();
  // "n of m rows" while the list shown has a filter text, else "".
  QString RowsText() const;
  ResultEdit *Result() const { return result_; }
  QStatusBar *Status() const { return status_; }
  // SortState of a list column: 0 never sorted, 1 ascending, 2 descending.
  int SortState(int list, int col) const;
  // A column click: toggles that column's SortState and sorts.
  void ClickColumn(int list, int col);
  // A double-click on a shown row: emits TreeRequested when it names a function.
  void ActivateRow(int list, int shown_row);
  // "Callers" on a row (store row, as SelectedRow gives): a Function List
  // row's function, a Call List row's called function (CallersOfName when
  // no source defines it). Nothing for an empty row.
  void CallersOfRow(int list, int store_row);
  // Column width in pixels for a FONT_SIZE_LV (h = size / 2).
  static int ColumnWidth(int list, int col, int font_size);

 Q_SIGNALS:
  // A double-click asks for the call tree of (sid, fid); view is the list.
  void TreeRequested(int view, int sid, int fid);
  // The user switched tabs.
  void TabChosen(int view);
  // The callers tree of (sid, fid) is asked for (a row, or a Callers node).
  void CallersRequested(int sid, int fid);
  // The callers of a name no source defines (Shift_JIS, as the Call List
  // writes it) with argc arguments.
  void CallersOfName(const QByteArray &sjis, int argc);

 private:
  void OnTabChanged(int index);
  void RelabelTabs();
  void AfterBatch();
  bool OnGuiThread() const;
  void UpdateRowsText();
  TreeModel *TreeOf(int view) const { return view == VIEW_CALLERS ? callers_model_ : tree_model_; }

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

  // The search boxes and the Callers view.
  ListFilter *filters_[2] = {};              // the rows the search boxes leave
  FilterBox *boxes_[2] = {};                 // the search boxes of the two lists
  QLabel *rows_label_ = nullptr;             // "n of m rows" in the status bar
  QTreeView *callers_ = nullptr;             // Callers view
  TreeModel *callers_model_ = nullptr;       // its nodes
  std::atomic<int> tree_target_{VIEW_TREE};  // tree view the tree operations address

  // Answers that must not wait for the GUI thread, kept in call order.
  std::mutex count_mu_;
  int row_count_[2] = {0, 0};  // rows inserted minus deleted, per list
  int tree_count_ = 0;         // tree items since the last clear
  int callers_count_ = 0;      // the same in the Callers view
  quintptr next_tree_id_ = 0;  // last handle given out

  std::set<quintptr> opened_;  // tree parents that got children this batch
};
