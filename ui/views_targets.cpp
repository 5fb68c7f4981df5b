// What a row of a list or a node of a tree stands for, and the requests a
// double-click, Enter or a menu on it makes (see views.h).
#include <cstring>

#include <QItemSelectionModel>

#include "foundation/text.h"
#include "ui/qtext.h"
#include "ui/views.h"
#include "xref/list_columns.h"

void ViewsPanel::ActivateRow(int list, int shown_row) {
  if (list < 0 || list > 1) return;
  int row = filters_[list]->StoreRow(shown_row);
  if (row < 0) return;
  int sid_col = list == VIEW_FUNCTIONS ? FL_SID : CL_TO_SID;
  int fid_col = list == VIEW_FUNCTIONS ? FL_FID : CL_TO_FID;
  int sid = CellNumber(models_[list]->Cell(row, sid_col).c_str());
  int fid = CellNumber(models_[list]->Cell(row, fid_col).c_str());
  if (sid > 0 && fid > 0) {
    Q_EMIT TreeRequested(list, sid, fid);
    return;
  }
  std::string name = list == VIEW_CALLS ? models_[list]->Cell(row, CL_CALL) : std::string();
  if (!name.empty()) Q_EMIT NotDefined(FromSjis(name));
}

FunctionTarget ViewsPanel::TargetOfRow(int list, int row) const {
  FunctionTarget t;
  if (list < 0 || list > 1 || row < 0) return t;
  const ListModel *m = models_[list];
  if (list == VIEW_FUNCTIONS) {
    t.sid = CellNumber(m->Cell(row, FL_SID).c_str());
    t.fid = CellNumber(m->Cell(row, FL_FID).c_str());
    return t;
  }
  t.sid = CellNumber(m->Cell(row, CL_TO_SID).c_str());
  t.fid = CellNumber(m->Cell(row, CL_TO_FID).c_str());
  if (t.IsFunction()) return t;
  std::string name = m->Cell(row, CL_CALL);
  t.name = QByteArray(name.data(), (int)name.size());
  t.argc = CellNumber(m->Cell(row, CL_ARGC).c_str());
  t.sid = CellNumber(m->Cell(row, CL_SID).c_str());
  t.fid = CellNumber(m->Cell(row, CL_FID).c_str());
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
    default:
      return FunctionTarget();
  }
}

int ViewsPanel::SelectFunctionRow(int sid, int fid) {
  ListModel *m = models_[VIEW_FUNCTIONS];
  m->Commit();
  char want_sid[16], want_fid[16];
  FormatText(want_sid, sizeof want_sid, "%d", sid);
  FormatText(want_fid, sizeof want_fid, "%d", fid);
  for (int r = 0; r < m->Size(); r++) {
    if (strcmp(m->CellAt(r, FL_SID), want_sid) != 0 || strcmp(m->CellAt(r, FL_FID), want_fid) != 0)
      continue;
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
  return 0;
}

void ViewsPanel::CallersOfRow(int list, int row) {
  if (list < 0 || list > 1 || row < 0) return;
  const ListModel *m = models_[list];
  int sid_col = list == VIEW_FUNCTIONS ? FL_SID : CL_TO_SID;
  int fid_col = list == VIEW_FUNCTIONS ? FL_FID : CL_TO_FID;
  int sid = CellNumber(m->Cell(row, sid_col).c_str());
  int fid = CellNumber(m->Cell(row, fid_col).c_str());
  if (sid > 0 && fid > 0) {
    Q_EMIT CallersRequested(sid, fid);
    return;
  }
  if (list != VIEW_CALLS) return;
  std::string name = m->Cell(row, CL_CALL);
  if (!name.empty())
    Q_EMIT CallersOfName(QByteArray(name.data(), (int)name.size()),
                         CellNumber(m->Cell(row, CL_ARGC).c_str()));
}
