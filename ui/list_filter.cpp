// The search box over the lists (see list_filter.h).
#include "ui/list_filter.h"

#include <QKeyEvent>

#include <algorithm>
#include <cstring>

#include "platform/codepage.h"
#include "shell/worker.h"
#include "ui/qtext.h"
#include "xref/list_columns.h"

namespace {

// ASCII letters folded to upper case, every other byte as it is.
struct Fold {
  unsigned char c[256];
  constexpr Fold() : c() {
    for (int b = 0; b < 256; b++) c[b] = (unsigned char)(b >= 'a' && b <= 'z' ? b - 32 : b);
  }
};
constexpr Fold kFold;

// 1 for a Shift_JIS lead byte, from one table.
struct Lead {
  unsigned char c[256];
  constexpr Lead() : c() {
    for (int b = 0; b < 256; b++) c[b] = (unsigned char)IsSjisLead((unsigned char)b);
  }
};
constexpr Lead kLead;

inline unsigned char Upper(unsigned char c) {
  return kFold.c[c];
}

// The columns searched in each list, as bit masks.
constexpr unsigned kFunctionColumns = 1u << FL_FUNCTION | 1u << FL_SOURCE;
constexpr unsigned kCallColumns =
    1u << CL_FUNCTION | 1u << CL_CALL | 1u << CL_TO_FUNCTION | 1u << CL_SOURCE | 1u << CL_TO_SOURCE;

}  // namespace

ListFilter::ListFilter(ListModel *model, QObject *parent)
    : QSortFilterProxyModel(parent), model_(model) {
  setSourceModel(model);
  // Rows already shown are not tested again on every change of a cell.
  setDynamicSortFilter(false);
  connect(model, &QAbstractItemModel::modelReset, this, [this] { match_.clear(); });
}

int ListFilter::CellContains(const char *cell, const std::string &needle) {
  if (needle.empty()) return 1;
  return RowContains(cell, 1, 1u, needle);
}

// One pass over the row, ending after the last column searched: the columns
// in mask are searched, the others skipped; a match never starts on the
// second byte of a character.
int ListFilter::RowContains(const char *row, int cells, unsigned mask, const std::string &needle) {
  if (!row) return 0;
  const unsigned char *p = (const unsigned char *)row;
  const unsigned char *w = (const unsigned char *)needle.data();
  size_t n = needle.size();
  unsigned char first = w[0];
  for (int col = 0; col < cells && (mask >> col) != 0; col++) {
    if (!(mask >> col & 1u)) {
      p += strlen((const char *)p) + 1;
      continue;
    }
    for (; *p; p += kLead.c[*p] && p[1] ? 2 : 1) {
      if (kFold.c[*p] != first) continue;
      size_t k = 1;
      while (k < n && kFold.c[p[k]] == w[k]) k++;  // a NUL ends the cell: no match
      if (k == n) return 1;
    }
    p++;  // past the cell's NUL
  }
  return 0;
}

int ListFilter::RowMatches(int s) const {
  unsigned mask = model_->List() == VIEW_FUNCTIONS ? kFunctionColumns : kCallColumns;
  return RowContains(model_->RowCells(s), model_->columnCount(), mask, needle_);
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
  needle.erase(std::remove(needle.begin(), needle.end(), '\0'), needle.end());  // cells end there
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
