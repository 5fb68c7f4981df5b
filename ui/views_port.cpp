// The fill operations of the result views (the ResultViews port): the
// worker's calls become ordered batches on the port queue, and ApplyOps plays
// them on the GUI thread. The row and tree counts answer at once, from the
// caller's side, so the worker never waits for the GUI to ask them.
#include <algorithm>
#include <cstring>

#include <QHeaderView>
#include <QLabel>

#include "foundation/text.h"
#include "shell/requests.h"
#include "ui/qtext.h"
#include "ui/views.h"

void ViewsPanel::ClearViews() {
  DeleteRows(VIEW_FUNCTIONS);
  DeleteRows(VIEW_CALLS);
  result_->clear();
  ResultViewCleared();
  TreeClear();
  // The Callers nodes name functions of the analysis that goes.
  TreeTarget(VIEW_CALLERS);
  TreeClear();
  TreeTarget(VIEW_TREE);
}

int ViewsPanel::HasView(int view) {
  return TabOf(view) >= 0;
}

int ViewsPanel::TakesRows(int list) {
  return list == VIEW_FUNCTIONS || list == VIEW_CALLS;
}

void ViewsPanel::AddFunctionRows(const FunctionRow *rows, size_t n) {
  queue_->PostRows(PortOp::FUNCTION_ROWS, rows, sizeof *rows, n);
}

void ViewsPanel::AddCallRows(const CallRow *rows, size_t n) {
  queue_->PostRows(PortOp::CALL_ROWS, rows, sizeof *rows, n);
}

void ViewsPanel::SetCalled(size_t first, const int *called, size_t n) {
  if (!called || n == 0) return;
  PortOp op;
  op.kind = PortOp::SET_CALLED;
  op.row = (int)first;
  op.id = n;
  op.text.assign((const char *)called, n * sizeof *called);
  queue_->Post(std::move(op));
}

int ViewsPanel::SelectedRow(int list) const {
  if (list != VIEW_FUNCTIONS && list != VIEW_CALLS) return -1;
  QModelIndexList sel = lists_[list]->selectionModel()->selectedRows();
  int best = -1;
  for (const QModelIndex &i : sel)
    if (best < 0 || i.row() < best) best = i.row();
  return filters_[list]->StoreRow(best);
}

void ViewsPanel::DeleteRows(int list) {
  if (list != VIEW_FUNCTIONS && list != VIEW_CALLS) return;
  PortOp op;
  op.kind = PortOp::DELETE_ROWS;
  op.list = list;
  queue_->Post(std::move(op));
}

void ViewsPanel::TreeTarget(int view) {
  tree_target_ = view == VIEW_CALLERS ? VIEW_CALLERS : VIEW_TREE;
}

void ViewsPanel::TreeSetFunction(TREEITEM item, int sid, int fid) {
  if (!item) return;
  PortOp op;
  op.kind = PortOp::TREE_FUNC;
  op.list = tree_target_;
  op.id = (uintptr_t)item;
  op.row = sid;
  op.col = fid;
  queue_->Post(std::move(op));
}

TREEITEM ViewsPanel::TreeInsert(TREEITEM parent, const char *text) {
  quintptr id;
  int target = tree_target_;
  {
    std::lock_guard<std::mutex> lock(count_mu_);
    id = ++next_tree_id_;
    (target == VIEW_CALLERS ? callers_count_ : tree_count_)++;
  }
  PortOp op;
  op.kind = PortOp::TREE_INSERT;
  op.list = target;
  op.parent = (uintptr_t)parent;
  op.id = id;
  if (text) op.text = text;
  queue_->Post(std::move(op));
  return (TREEITEM)id;
}

void ViewsPanel::TreeSetImage(TREEITEM item, int k) {
  if (!item || k < 0 || k > 5) return;
  PortOp op;
  op.kind = PortOp::TREE_IMAGE;
  op.list = tree_target_;
  op.id = (uintptr_t)item;
  op.col = k;
  queue_->Post(std::move(op));
}

void ViewsPanel::TreeClear() {
  int target = tree_target_;
  {
    std::lock_guard<std::mutex> lock(count_mu_);
    (target == VIEW_CALLERS ? callers_count_ : tree_count_) = 0;
  }
  PortOp op;
  op.kind = PortOp::TREE_CLEAR;
  op.list = target;
  queue_->Post(std::move(op));
}

int ViewsPanel::TreeItemCount() {
  std::lock_guard<std::mutex> lock(count_mu_);
  return tree_target_ == VIEW_CALLERS ? callers_count_ : tree_count_;
}

void ViewsPanel::AppendResult(const char *text) {
  if (!text || !*text) return;
  PortOp op;
  op.kind = PortOp::APPEND;
  op.text = text;
  queue_->Post(std::move(op));
}

namespace {
// Appended rows become visible at most this often while a fill goes on.
const int kRowPaceMs = 100;
}  // namespace

void ViewsPanel::Settle() {
  AfterBatch(true);
}

void ViewsPanel::AfterBatch(bool now) {
  bool rows = now || !last_rows_.isValid() || last_rows_.elapsed() >= kRowPaceMs;
  models_[0]->Commit(rows);
  models_[1]->Commit(rows);
  if (rows) {
    rows_timer_.stop();
    last_rows_.start();
  } else if ((models_[0]->Pending() || models_[1]->Pending()) && !rows_timer_.isActive()) {
    rows_timer_.start(std::max(1, kRowPaceMs - (int)last_rows_.elapsed()));
  }
  for (quintptr id : opened_) {
    QModelIndex i = tree_model_->IndexOf(id);
    if (i.isValid()) tree_->expand(i);
    i = callers_model_->IndexOf(id);
    if (i.isValid()) callers_->expand(i);
  }
  opened_.clear();
  if (!rows_label_->text().isEmpty()) UpdateRowsText();
}

void ViewsPanel::ApplyOps(std::vector<PortOp> &ops) {
  // Consecutive texts for the Result view become one append.
  std::string text;
  auto flush_text = [&] {
    if (text.empty()) return;
    result_->Append(FromSjis(text));
    text.clear();
  };
  for (PortOp &op : ops) {
    switch (op.kind) {
      case PortOp::FUNCTION_ROWS:
        models_[VIEW_FUNCTIONS]->AppendFunctions((const FunctionRow *)op.text.data(),
                                                 op.text.size() / sizeof(FunctionRow));
        break;
      case PortOp::CALL_ROWS:
        models_[VIEW_CALLS]->AppendCalls((const CallRow *)op.text.data(),
                                         op.text.size() / sizeof(CallRow));
        break;
      case PortOp::SET_CALLED:
        models_[VIEW_FUNCTIONS]->SetCalled((size_t)op.row, (const int *)op.text.data(),
                                           op.text.size() / sizeof(int));
        break;
      case PortOp::DELETE_ROWS:
        models_[op.list]->DeleteRows();
        // Refilled rows come unsorted, so no column may claim an order.
        lists_[op.list]->horizontalHeader()->setSortIndicatorShown(false);
        break;
      case PortOp::TREE_INSERT:
        TreeOf(op.list)->Insert(op.parent, op.id, op.text.c_str());
        if (op.parent) opened_.insert(op.parent);
        break;
      case PortOp::TREE_IMAGE:
        TreeOf(op.list)->SetImage(op.id, op.col);
        break;
      case PortOp::TREE_FUNC:
        TreeOf(op.list)->SetFunction(op.id, op.row, op.col);
        break;
      case PortOp::TREE_CLEAR:
        opened_.clear();
        TreeOf(op.list)->Clear();
        break;
      case PortOp::APPEND:
        text += op.text;
        break;
      case PortOp::CALL:
        // Whatever the closure shows must see every earlier operation.
        flush_text();
        AfterBatch(true);
        if (op.fn) op.fn();
        break;
    }
  }
  flush_text();
  AfterBatch(false);
}
