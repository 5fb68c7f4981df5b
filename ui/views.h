// The four result views behind the tab control: the Function List and the
// Call List (ui/list_view.h), the CallTree (ui/tree_view.h) and the Result
// text (ui/result_view.h).
//
// ViewsPanel owns the widgets, implements the fill operations of the ports and
// applies the ones that arrive from the worker in ordered batches.
#pragma once

#include <QTreeView>
#include <QWidget>

#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "foundation/ports.h"
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
