// The search boxes' Enter: the row that matches the text best is selected
// and shown, and the keys go to its list (see views.h). The Function List
// asks the query layer for its ranking of names; the Call List ranks the
// called names of its rows the same way (exact, exact but for case, prefix,
// substring; shorter first, then list order).
#include <QItemSelectionModel>

#include <climits>
#include <cstring>
#include <string>

#include "shell/project_query.h"
#include "ui/qtext.h"
#include "ui/views.h"
#include "xref/list_columns.h"

namespace {

std::string Folded(std::string s) {
  for (char &c : s)
    if (c >= 'a' && c <= 'z') c = (char)(c - 32);
  return s;
}

// How name (Shift_JIS) matches text (folded: text with ASCII letters in
// upper case): 0 the same, 1 the same but for the case of ASCII letters,
// 2 starts with it, 3 holds it (any case), 4 not at all.
int MatchKind(const std::string &name, const std::string &text, const std::string &folded) {
  if (text.empty()) return 4;
  if (name == text) return 0;
  std::string a = Folded(name);
  if (a == folded) return 1;
  size_t at = a.find(folded);
  if (at == 0) return 2;
  return at == std::string::npos ? 4 : 3;
}

}  // namespace

int ViewsPanel::BestShownRow(int list) const {
  if (list != VIEW_FUNCTIONS && list != VIEW_CALLS) return -1;
  ListFilter *f = filters_[list];
  if (f->rowCount() == 0) return -1;
  std::string text = ToSjis(f->Text());
  if (list == VIEW_FUNCTIONS) {
    // The query layer's best name; a text that only a source name holds
    // leaves the first row.
    const ST_QUERY *q = ProjectQuery();
    std::vector<QueryHit> hits =
        q && !text.empty() ? Query_Search(q, text.c_str(), 1) : std::vector<QueryHit>();
    if (hits.empty()) return 0;
    ListModel *m = models_[list];
    int r = m->FunctionRowOf(hits[0].function.sid, hits[0].function.fid);
    if (r < 0) return 0;
    QModelIndex i = f->mapFromSource(m->index(m->ShownRow(r), 0));
    return i.isValid() ? i.row() : 0;
  }
  std::string folded = Folded(text);  // once, not for every row
  int best = 0, best_kind = INT_MAX;
  size_t best_len = 0;
  for (int shown = 0; shown < f->rowCount(); shown++) {
    const CallRow *c = models_[list]->CallAt(f->StoreRow(shown));
    if (!c) continue;
    std::string name = std::string(c->call_scope) + c->call_name;
    int kind = MatchKind(name, text, folded);
    if (kind < best_kind || (kind == best_kind && name.size() < best_len)) {
      best = shown;
      best_kind = kind;
      best_len = name.size();
      if (kind == 0) break;  // nothing comes before an exact match further down
    }
  }
  return best;
}

void ViewsPanel::ChooseBestRow(int list) {
  int shown = BestShownRow(list);
  if (shown < 0) return;
  QTableView *v = lists_[list];
  QModelIndex i = v->model()->index(shown, 0);
  v->setCurrentIndex(i);
  v->selectRow(shown);
  v->scrollTo(i, QAbstractItemView::PositionAtCenter);
  v->setFocus(Qt::OtherFocusReason);
}

void ViewsPanel::ClearFilters() {
  for (FilterBox *b : boxes_) b->clear();
}
