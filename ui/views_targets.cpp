// What a row of a list or a node of a tree stands for, and the requests a
// double-click, Enter or a menu on it makes (see views.h).
#include <cstring>

#include <QItemSelectionModel>

#include "ui/qtext.h"
#include "ui/source_page.h"
#include "ui/views.h"

void ViewsPanel::ActivateRow(int list, int shown_row) {
  if (list < 0 || list > 1) return;
  FunctionTarget t = TargetOfRow(list, filters_[list]->StoreRow(shown_row));
  if (list == VIEW_CALLS && !t.name.isEmpty()) {
    Q_EMIT NotDefined(FromSjis(t.name.toStdString()));
    return;
  }
  if (t.IsFunction()) Q_EMIT TreeRequested(list, t.sid, t.fid);
}

FunctionTarget ViewsPanel::TargetOfRow(int list, int row) const {
  FunctionTarget t;
  if (list < 0 || list > 1 || row < 0) return t;
  const ListModel *m = models_[list];
  if (const FunctionRow *f = m->FunctionAt(row)) {
    t.sid = f->sid;
    t.fid = f->fid;
    return t;
  }
  const CallRow *c = m->CallAt(row);
  if (!c) return t;
  t.call_sid = c->sid;
  t.call_line = c->line;
  t.call_column = c->column;
  if (c->to_sid > 0) {
    t.sid = c->to_sid;
    t.fid = c->to_fid;
    return t;
  }
  // No source defines it: the name as the call writes it, for its callers.
  std::string name = std::string(c->call_scope) + c->call_name;
  t.name = QByteArray(name.data(), (int)name.size());
  t.argc = c->argc;
  t.sid = c->sid;
  t.fid = c->fid;
  return t;
}

FunctionTarget ViewsPanel::TargetOfNode(const QModelIndex &index) const {
  FunctionTarget t;
  const TreeModel *m = qobject_cast<const TreeModel *>(index.model());
  if (m) m->FunctionAt(index, &t.sid, &t.fid);
  return t;
}

FunctionTarget ViewsPanel::CurrentTarget() const {
  switch (current_) {
    case VIEW_FUNCTIONS:
    case VIEW_CALLS: {
      QModelIndexList sel = lists_[current_]->selectionModel()->selectedRows();
      if (sel.isEmpty()) return FunctionTarget();
      return TargetOfRow(current_, filters_[current_]->StoreRow(sel.first().row()));
    }
    case VIEW_TREE:
      return TargetOfNode(tree_->currentIndex());
    case VIEW_CALLERS:
      return TargetOfNode(callers_->currentIndex());
    case VIEW_GRAPH: {
      FunctionTarget t;
      t.sid = graph_->SelectedSid();
      t.fid = graph_->SelectedFid();
      return t;
    }
    case VIEW_SOURCE:
      return source_page_->Current();
    default:
      return FunctionTarget();
  }
}

int ViewsPanel::SelectFunctionRow(int sid, int fid) {
  ListModel *m = models_[VIEW_FUNCTIONS];
  m->Commit();
  int r = m->FunctionRowOf(sid, fid);
  if (r < 0) return 0;
  // A row the search box hides is shown again.
  QModelIndex i = filters_[VIEW_FUNCTIONS]->mapFromSource(m->index(m->ShownRow(r), 0));
  if (!i.isValid()) {
    boxes_[VIEW_FUNCTIONS]->clear();
    i = filters_[VIEW_FUNCTIONS]->mapFromSource(m->index(m->ShownRow(r), 0));
  }
  if (!i.isValid()) return 0;
  lists_[VIEW_FUNCTIONS]->selectRow(i.row());
  lists_[VIEW_FUNCTIONS]->scrollTo(i, QAbstractItemView::PositionAtCenter);
  return 1;
}

void ViewsPanel::CallersOfRow(int list, int row) {
  FunctionTarget t = TargetOfRow(list, row);
  if (list == VIEW_CALLS && !t.name.isEmpty()) {
    // Every unlinked call of that name, whatever it passes.
    Q_EMIT CallersOfName(t.name, -1);
    return;
  }
  if (t.IsFunction()) Q_EMIT CallersRequested(t.sid, t.fid);
}
