// The search box over the lists (see list_filter.h).
#include "ui/list_filter.h"

#include <QKeyEvent>

#include <algorithm>
#include <cstring>

#include "platform/codepage.h"
#include "shell/worker.h"
#include "ui/qtext.h"

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

// 1 when the text p holds needle (not empty, letters upper case).
int OneContains(const unsigned char *p, const std::string &needle) {
  const unsigned char *w = (const unsigned char *)needle.data();
  size_t n = needle.size();
  unsigned char first = w[0];
  for (; *p; p += kLead.c[*p] && p[1] ? 2 : 1) {
    if (kFold.c[*p] != first) continue;
    size_t k = 1;
    while (k < n && kFold.c[p[k]] == w[k]) k++;  // the NUL ends the text: no match
    if (k == n) return 1;
  }
  return 0;
}

}  // namespace

ListFilter::ListFilter(ListModel *model, QObject *parent)
    : QSortFilterProxyModel(parent), model_(model) {
  setSourceModel(model);
  // Rows already shown are not tested again on every change of a cell.
  setDynamicSortFilter(false);
  connect(model, &QAbstractItemModel::modelReset, this, [this] { match_.clear(); });
}

int ListFilter::CellContains(const char *cell, const std::string &needle) {
  return PairContains(cell, nullptr, needle);
}

// One pass over the two texts as one: a match may run from the first into
// the second, and never starts on the second byte of a character (a scope
// ends with "::", so no character is split between them).
int ListFilter::PairContains(const char *a, const char *b, const std::string &needle) {
  if (needle.empty()) return 1;
  const unsigned char *pa = (const unsigned char *)(a ? a : "");
  const unsigned char *pb = (const unsigned char *)(b ? b : "");
  // Most scopes are empty: one text alone is searched in place.
  if (!*pa || !*pb) return OneContains(*pa ? pa : pb, needle);
  size_t na = strlen((const char *)pa), nb = strlen((const char *)pb);
  const unsigned char *w = (const unsigned char *)needle.data();
  size_t n = needle.size();
  auto at = [&](size_t i) -> unsigned char {
    return i < na ? pa[i] : i - na < nb ? pb[i - na] : 0;
  };
  size_t total = na + nb;
  for (size_t i = 0; i + n <= total;) {
    unsigned char c = at(i);
    if (kFold.c[c] == w[0]) {
      size_t k = 1;
      while (k < n && kFold.c[at(i + k)] == w[k]) k++;
      if (k == n) return 1;
    }
    i += kLead.c[c] && i + 1 < total ? 2 : 1;
  }
  return 0;
}

int ListFilter::RowMatches(int s) const {
  const std::string &w = needle_;
  if (const FunctionRow *f = model_->FunctionAt(s))
    return PairContains(f->scope, f->name, w) || PairContains(f->source, nullptr, w);
  if (const CallRow *c = model_->CallAt(s)) {
    bool linked = c->to_sid > 0;
    return PairContains(c->scope, c->name, w) || PairContains(c->call_scope, c->call_name, w) ||
           (linked && PairContains(c->to_scope, c->to_name, w)) ||
           PairContains(c->source, nullptr, w) ||
           (linked && PairContains(c->to_source, nullptr, w));
  }
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
