// The search box over the lists (see list_filter.h).
#include "ui/list_filter.h"

#include <QKeyEvent>

#include <cstring>

#include "platform/codepage.h"
#include "shell/worker.h"
#include "ui/qtext.h"
#include "xref/list_columns.h"

namespace {

inline unsigned char Upper(unsigned char c) {
  return c >= 'a' && c <= 'z' ? (unsigned char)(c - 'a' + 'A') : c;
}

// The columns searched in each list.
const int kFunctionColumns[] = {FL_FUNCTION, FL_SOURCE};
const int kCallColumns[] = {CL_FUNCTION, CL_CALL, CL_TO_FUNCTION, CL_SOURCE, CL_TO_SOURCE};

}  // namespace

ListFilter::ListFilter(ListModel *model, QObject *parent)
    : QSortFilterProxyModel(parent), model_(model) {
  setSourceModel(model);
  // Rows already shown are not tested again on every change of a cell.
  setDynamicSortFilter(false);
  connect(model, &QAbstractItemModel::modelReset, this, [this] { match_.clear(); });
}

int ListFilter::CellContains(const char *cell, const std::string &needle) {
  size_t n = needle.size();
  if (n == 0) return 1;
  const unsigned char *h = (const unsigned char *)cell;
  const unsigned char *w = (const unsigned char *)needle.data();
  unsigned char first = w[0];
  for (size_t i = 0; h[i]; i += IsSjisLead(h[i]) && h[i + 1] ? 2 : 1) {
    if (Upper(h[i]) != first) continue;
    size_t k = 1;
    while (k < n && h[i + k] && Upper(h[i + k]) == w[k]) k++;
    if (k == n) return 1;
  }
  return 0;
}

int ListFilter::RowMatches(int s) const {
  bool functions = model_->List() == VIEW_FUNCTIONS;
  const int *cols = functions ? kFunctionColumns : kCallColumns;
  int ncols = functions ? 2 : 5;
  for (int k = 0; k < ncols; k++)
    if (CellContains(model_->CellAt(s, cols[k]), needle_)) return 1;
  return 0;
}

bool ListFilter::filterAcceptsRow(int source_row, const QModelIndex &) const {
  if (needle_.empty()) return true;
  int s = model_->StoreRow(source_row);
  if (s < 0) return false;
  if ((size_t)s < match_.size() && match_[(size_t)s] != 2) return match_[(size_t)s] == 1;
  return RowMatches(s) != 0;
}

void ListFilter::SetText(const QString &text) {
  if (text == text_) return;
  std::string needle = ToSjis(text);
  for (char &c : needle) c = (char)Upper((unsigned char)c);
  // Longer text that holds the previous one can only match fewer rows.
  bool narrower = !needle_.empty() && needle.find(needle_) != std::string::npos;
  model_->Commit();
  size_t n = (size_t)model_->Size();
  if (!narrower || match_.size() != n) match_.assign(n, 2);
  text_ = text;
  needle_ = needle;
  if (!needle_.empty()) {
    for (size_t s = 0; s < n; s++) {
      if (match_[s] == 0) continue;
      match_[s] = (char)RowMatches((int)s);
    }
  } else {
    match_.clear();
  }
  invalidate();
}

int ListFilter::StoreRow(int shown) const {
  QModelIndex p = index(shown, 0);
  if (!p.isValid()) return -1;
  return model_->StoreRow(mapToSource(p).row());
}

FilterBox::FilterBox(QWidget *parent) : QLineEdit(parent) {
  setClearButtonEnabled(true);
}

void FilterBox::keyPressEvent(QKeyEvent *event) {
  if (event->key() == Qt::Key_Escape && !WorkerBusy()) {
    clear();
    event->accept();
    return;
  }
  QLineEdit::keyPressEvent(event);
}
