// The result views behind the tab control: the Function List and the Call
// List (ui/list_view.h) each under its search box (ui/list_filter.h), the
// CallTree (ui/tree_view.h), the Graph (ui/graph_view.h), the Result text
// (ui/result_view.h) and the Callers tree.
//
// ViewsPanel owns the widgets, implements the fill operations of the ports and
// applies the ones that arrive from the worker in ordered batches.
#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QList>
#include <QTimer>
#include <QTreeView>
#include <QWidget>

#include <atomic>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "foundation/ports.h"
#include "xref/results.h"
#include "ui/function_target.h"
#include "ui/list_filter.h"
#include "ui/list_view.h"
#include "ui/graph_view.h"
#include "ui/port_queue.h"
#include "ui/result_view.h"
#include "ui/tree_view.h"

class ElidedLabel;
class GraphPage;
class SourcePage;
class LostSourcesNote;
class QLabel;
class QStatusBar;
class QTabWidget;

// The tab control with the views and the status bar (the child windows of
// the main window), and the fill operations of the result views. Views keep
// their numbers (VIEW_*) whatever the place of their tabs: the Graph tab
// stands beside the CallTree.
class ViewsPanel : public QWidget, public ResultViews, public ResultsSink, public PortApplier {
  Q_OBJECT
 public:
  ViewsPanel(PortQueue *queue, QWidget *parent = nullptr);
  ~ViewsPanel() override;

  // ResultViews: callable from any thread; from the worker they travel to the
  // GUI thread in order, and the ones that answer wait for that answer.
  int HasView(int view) override;
  TREEITEM TreeInsert(TREEITEM parent, const char *text) override;
  void TreeSetImage(TREEITEM item, int k) override;
  void TreeClear() override;
  int TreeItemCount() override;
  void AppendResult(const char *text) override;
  void TreeTarget(int view) override;
  void TreeSetFunction(TREEITEM item, int sid, int fid) override;

  // ResultsSink: the rows of the two lists, from any thread, in order with
  // the other operations.
  int TakesRows(int list) override;
  void AddFunctionRows(const FunctionRow *rows, size_t n) override;
  void AddCallRows(const CallRow *rows, size_t n) override;
  void SetCalled(size_t first, const int *called, size_t n) override;
  // Empties a list (in order with the operations queued before).
  void DeleteRows(int list);
  // The store row of the selected row of a list (the first when several
  // are), -1 when none is selected. GUI thread.
  int SelectedRow(int list) const;

  // GUI thread: applies a batch of fill operations in order.
  void ApplyOps(std::vector<PortOp> &ops) override;

  // Main-window side (GUI thread).
  void SetStatusText(const char *text);
  void SetStatusString(const QString &text);
  QString StatusText() const;
  void SelectView(int view);  // ShowView of the tab control
  int CurrentView() const { return current_; }
  // The next or previous tab, round the end.
  void StepTab(int step);
  // Tab place of a view and view of a tab place (-1 when none).
  static int TabOf(int view);
  static int ViewAt(int tab);
  // Empties both lists, the Result text and the tree; the next tree writes
  // its display-switch lines again (ResultViewCleared).
  void ClearViews();

  QTabWidget *Tabs() const { return tabs_; }
  QTableView *ListWidget(int list) const { return lists_[list & 1]; }
  ListModel *Model(int list) const { return models_[list & 1]; }
  TreeModel *Tree() const { return tree_model_; }
  TreeView *TreeWidget() const { return tree_; }
  TreeModel *Callers() const { return callers_model_; }
  TreeView *CallersWidget() const { return callers_; }
  GraphView *Graph() const { return graph_; }
  GraphPage *GraphTab() const { return graph_page_; }
  SourcePage *SourceTab() const { return source_page_; }
  // The Source tab follows the function or call selected in the other views;
  // it reads its file only while it is shown. ShowSource shows target there
  // and selects the tab.
  void FollowTarget(const FunctionTarget &target);
  void ShowSource(const FunctionTarget &target);
  ListFilter *Filter(int list) const { return filters_[list & 1]; }
  FilterBox *FilterEdit(int list) const { return boxes_[list & 1]; }
  // Ctrl+F: the search box of the list shown (the Function List's when no
  // list is shown), focused with its text selected.
  void FocusFilter();
  // Enter in a search box: the row whose name matches its text best (the
  // exact match first) becomes the list's selected and current row, is
  // scrolled into view and takes the keys. Nothing without rows.
  void ChooseBestRow(int list);
  // The shown row ChooseBestRow takes, -1 when the list shows none.
  int BestShownRow(int list) const;
  // Empties both search boxes (a new project).
  void ClearFilters();
  // The note on the sources whose parse ended inside a function.
  LostSourcesNote *LostNote() const { return lost_; }
  // Shows the parser of the settings in force.
  void UpdateParserLabel();
  // The settings read anew: fonts, tab names, the Result view's limit and the
  // parser shown.
  void ApplyConfig();
  // "n of m rows" while the list shown has a filter text, else "".
  QString RowsText() const;
  ResultEdit *Result() const { return result_; }
  QStatusBar *Status() const { return status_; }
  // SortState of a list column: 0 never sorted, 1 ascending, 2 descending.
  int SortState(int list, int col) const;
  // A column click: toggles that column's SortState and sorts.
  void ClickColumn(int list, int col);
  // A double-click on a shown row: emits TreeRequested when it names a
  // function, NotDefined for a call no source defines.
  void ActivateRow(int list, int shown_row);
  // "Callers" on a row (store row, as SelectedRow gives): a Function List
  // row's function, a Call List row's called function (CallersOfName when
  // no source defines it). Nothing for an empty row.
  void CallersOfRow(int list, int store_row);
  // Column width in pixels for a FONT_SIZE_LV (h = size / 2).
  static int ColumnWidth(int list, int col, int font_size);
  // After a fill: every column at least as wide as its header with the sort
  // indicator, the name columns as wide as their longest text (up to half
  // the window).
  void FitColumns();
  // The widths of a list's columns, and back (missing ones stay).
  QList<int> ColumnWidths(int list) const;
  void SetColumnWidths(int list, const QList<int> &widths);
  // The columns of a list whose width the user set by hand (bit c for column
  // c): FitColumns leaves them as they are. And back (a new run).
  unsigned HandSizedColumns(int list) const { return hand_sized_[list & 1]; }
  void SetHandSizedColumns(int list, unsigned mask) { hand_sized_[list & 1] = mask; }

  // What a store row of a list stands for: a Function List row's function; a
  // Call List row's called function when it is linked, else its caller with
  // the called name (for its callers).
  FunctionTarget TargetOfRow(int list, int store_row) const;
  // The function a node of the CallTree or Callers view stands for.
  FunctionTarget TargetOfNode(const QModelIndex &index) const;
  // The function of the view shown: the selected row, the current node or
  // the selected graph node.
  FunctionTarget CurrentTarget() const;
  // Selects the Function List row of (sid, fid) and shows it; 1 when found.
  int SelectFunctionRow(int sid, int fid);
  // "name [source]" of function (sid, fid) as the Function List shows it.
  QString RowName(int sid, int fid) const;
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
  // A double-click or Enter on a call that no source defines.
  void NotDefined(const QString &name);
  // The context menu of a function (on a row, a node or a graph node).
  void FunctionMenu(const FunctionTarget &target, const QPoint &global);

 private:
  void OnTabChanged(int index);
  // The fonts of the settings in force, for the tabs, lists, Result and trees.
  struct Fonts {
    QFont tab, list, result, tree;
  };
  static Fonts ConfigFonts();
  void RelabelTabs();
  // Makes the batch's rows and tree items visible. Rows appended to a list
  // become rows of its model at most every kRowPaceMs while the fill goes
  // on (each time costs the views a pass over every row), unless now.
  void AfterBatch(bool now);
  void Settle() override;
  bool OnGuiThread() const;
  void UpdateRowsText();
  TreeModel *TreeOf(int view) const { return view == VIEW_CALLERS ? callers_model_ : tree_model_; }
  // The parts the constructor builds, in the order of their tabs.
  void BuildListPage(int list, const QFont &list_font);
  void ConnectListView(int list, ListView *v);
  TreeView *NewTreeView(TreeModel *model, const QString &name, const QFont &font);
  void BuildCallTree(const QFont &tree_font);
  void BuildCallersTree(const QFont &tree_font);
  void BuildGraph();
  void BuildSource(const QFont &font);
  void ConnectFollowing();
  // Shows what the Source tab is to follow, when it changed.
  void ShowSourceNow();
  void BuildResult(const QFont &result_font);
  void AddTabs();
  void BuildStatusBar();

  PortQueue *queue_;                     // ordered way to the GUI thread
  QTabWidget *tabs_ = nullptr;           // tab control
  QStatusBar *status_ = nullptr;         // status bar (simple mode: one label)
  ElidedLabel *status_label_ = nullptr;  // its one text
  ListView *lists_[2] = {};              // Function List, Call List
  ListModel *models_[2] = {};            // their rows
  TreeView *tree_ = nullptr;             // CallTree view
  TreeModel *tree_model_ = nullptr;      // its nodes
  ResultEdit *result_ = nullptr;         // Result text
  int current_ = 0;                      // index of the shown view
  int sort_state_[4][16] = {};           // per view and column
  bool relabelling_ = false;             // tab labels being rewritten
  bool sizing_ = false;                  // column widths being set by the program
  unsigned hand_sized_[2] = {};          // per list, the columns the user sized

  // The search boxes and the Callers view.
  ListFilter *filters_[2] = {};              // the rows the search boxes leave
  FilterBox *boxes_[2] = {};                 // the search boxes of the two lists
  QLabel *rows_label_ = nullptr;             // "n of m rows" in the status bar
  LostSourcesNote *lost_ = nullptr;          // sources that end inside a function
  QLabel *parser_label_ = nullptr;           // the parser in use
  TreeView *callers_ = nullptr;              // Callers view
  GraphPage *graph_page_ = nullptr;          // Graph tab: title, depth and view
  GraphView *graph_ = nullptr;               // its view
  SourcePage *source_page_ = nullptr;        // Source tab
  FunctionTarget source_target_;             // what it is to show
  bool source_stale_ = false;                // source_target_ is not shown yet
  bool source_leads_ = false;                // a selection made from the Source tab
  TreeModel *callers_model_ = nullptr;       // its nodes
  std::atomic<int> tree_target_{VIEW_TREE};  // tree view the tree operations address

  // Answers that must not wait for the GUI thread, kept in call order.
  std::mutex count_mu_;
  int tree_count_ = 0;         // tree items since the last clear
  int callers_count_ = 0;      // the same in the Callers view
  quintptr next_tree_id_ = 0;  // last handle given out

  std::set<quintptr> opened_;  // tree parents that got children this batch
  QElapsedTimer last_rows_;    // when appended rows were last made visible
  QTimer rows_timer_;          // makes them visible when no batch follows
};
