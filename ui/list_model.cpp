// The list models over typed rows (see list_model.h).
#include "ui/list_model.h"

#include <QColor>

#include <algorithm>
#include <cstring>
#include <string_view>

#include "foundation/ports.h"
#include "ui/qtext.h"
#include "xref/list_columns.h"
#include "xref/row_text.h"

namespace {

// Text order of two cells: ASCII letters folded to upper case, then the bytes
// compared as unsigned values; Shift_JIS bytes are left as they are.
int CompareText(std::string_view a, std::string_view b) {
  size_t n = std::min(a.size(), b.size());
  for (size_t i = 0; i < n; i++) {
    unsigned char x = (unsigned char)a[i], y = (unsigned char)b[i];
    if (x >= 'a' && x <= 'z') x = (unsigned char)(x - 'a' + 'A');
    if (y >= 'a' && y <= 'z') y = (unsigned char)(y - 'a' + 'A');
    if (x != y) return x < y ? -1 : 1;
  }
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}

size_t Len(const char *s) {
  return s ? strlen(s) : 0;
}

// The tooltip of a LineNo cell: what the number is, and where the name is.
QString LineTip(const FunctionRow &f) {
  return UiText(
             "LineNo %1 counts from 0: the function's text (its comment included) starts "
             "on line %2 as an editor counts; its name is on line %3.")
      .arg(f.line)
      .arg(f.line + 1)
      .arg(f.name_line + 1);
}

}  // namespace

// What a sort needs, copied from the rows on the GUI thread so that the
// comparisons can run anywhere, and what it gives back.
struct ListModel::SortWork {
  int col = 0;              // column sorted
  bool descending = false;  // its direction
  bool numeric = false;     // numbers, not texts
  std::vector<int> old;     // the shown order before the sort
  std::vector<int> nums;    // numeric keys by store row
  std::string text;         // text keys by store row, one after another
  std::vector<size_t> at;   // where each store row's key starts in text (n + 1)
  unsigned resets = 0;      // ListModel::resets_ when it began
  std::vector<int> next;    // the sorted order
};

ListModel::ListModel(int list, QObject *parent)
    : QAbstractTableModel(parent),
      list_(list),
      columns_(list == VIEW_FUNCTIONS ? FL_COLUMNS : CL_VIEW_COLUMNS) {}

ListModel::~ListModel() {
  if (sort_thread_.joinable()) sort_thread_.join();
}

int ListModel::rowCount(const QModelIndex &parent) const {
  return parent.isValid() ? 0 : (int)committed_;
}

int ListModel::columnCount(const QModelIndex &parent) const {
  return parent.isValid() ? 0 : columns_;
}

int ListModel::IsNumericColumn(int list, int col) {
  return IsNumberColumn(list, col);
}

const FunctionRow *ListModel::FunctionAt(int row) const {
  if (list_ != VIEW_FUNCTIONS || row < 0 || (size_t)row >= functions_.size()) return nullptr;
  return &functions_[(size_t)row];
}

int ListModel::FunctionRowOf(int sid, int fid) const {
  if (list_ != VIEW_FUNCTIONS) return -1;
  for (size_t r = 0; r < functions_.size(); r++)
    if (functions_[r].sid == sid && functions_[r].fid == fid) return (int)r;
  return -1;
}

const CallRow *ListModel::CallAt(int row) const {
  if (list_ != VIEW_CALLS || row < 0 || (size_t)row >= calls_.size()) return nullptr;
  return &calls_[(size_t)row];
}

void ListModel::AppendCell(std::string &out, int row, int col) const {
  if (const FunctionRow *f = FunctionAt(row)) AppendFunctionCell(out, *f, col);
  if (const CallRow *c = CallAt(row)) AppendCallCell(out, *c, col);
}

std::string ListModel::Cell(int row, int col) const {
  std::string out;
  AppendCell(out, row, col);
  return out;
}

int ListModel::Number(int r, int col) const {
  if (const FunctionRow *f = FunctionAt(r)) {
    switch (col) {
      case FL_SID:
        return f->sid;
      case FL_FID:
        return f->fid;
      case FL_LINE:
        return f->line;
      case FL_ARGC:
        return f->argc;
      case FL_CALLED:
        return f->called;
      default:
        return 0;
    }
  }
  if (const CallRow *c = CallAt(r)) {
    switch (col) {
      case CL_SID:
        return c->sid;
      case CL_FID:
        return c->fid;
      case CL_ARGC:
        return c->argc;
      // An unlinked call's empty cells sort as 0, as they always did.
      case CL_TO_SID:
        return c->to_sid;
      case CL_TO_FID:
        return c->to_sid > 0 ? c->to_fid : 0;
      case CL_LINE:
        return c->line + 1;
      default:
        return 0;
    }
  }
  return 0;
}

size_t ListModel::CellLength(int r, int col) const {
  if (const FunctionRow *f = FunctionAt(r)) {
    if (col == FL_SOURCE) return Len(f->source);
    if (col == FL_FUNCTION) return Len(f->scope) + Len(f->name);
  } else if (const CallRow *c = CallAt(r)) {
    bool linked = c->to_sid > 0;
    switch (col) {
      case CL_SOURCE:
        return Len(c->source);
      case CL_FUNCTION:
        return Len(c->scope) + Len(c->name);
      case CL_CALL:
        return Len(c->call_scope) + Len(c->call_name);
      case CL_TO_SOURCE:
        return linked ? Len(c->to_source) : 0;
      case CL_TO_FUNCTION:
        return linked ? Len(c->to_scope) + Len(c->to_name) : 0;
      default:
        break;
    }
  }
  return Cell(r, col).size();
}

int ListModel::StoreRow(int shown) const {
  if (shown < 0 || (size_t)shown >= committed_) return -1;
  return order_.empty() ? shown : order_[(size_t)shown];
}

int ListModel::ShownRow(int store) const {
  if (store < 0 || (size_t)store >= committed_) return -1;
  if (order_.empty()) return store;
  for (size_t i = 0; i < order_.size(); i++)
    if (order_[i] == store) return (int)i;
  return -1;
}

QVariant ListModel::data(const QModelIndex &index, int role) const {
  int s = StoreRow(index.row());
  int c = index.column();
  if (s < 0 || c < 0 || c >= columns_) return QVariant();
  switch (role) {
    case Qt::DisplayRole:
      return FromSjis(Cell(s, c));
    case Qt::ToolTipRole:
      if (list_ == VIEW_FUNCTIONS && c == FL_LINE) return LineTip(*FunctionAt(s));
      return FromSjis(Cell(s, c));
    case Qt::BackgroundRole:
      // Functions nobody calls and calls that reach no definition stand out.
      if (list_ == VIEW_FUNCTIONS && c == FL_FUNCTION)
        return FunctionAt(s)->called ? QColor(160, 255, 176) : QColor(128, 176, 255);
      if (list_ == VIEW_CALLS && c == CL_CALL)
        return CallAt(s)->to_sid > 0 ? QColor(255, 255, 160) : QColor(224, 224, 224);
      return QColor(255, 255, 255);
    case Qt::ForegroundRole:
      return QColor(0, 0, 0);
    case Qt::TextAlignmentRole:
      return int(Qt::AlignLeft | Qt::AlignVCenter);
    default:
      return QVariant();
  }
}

QVariant ListModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || section < 0 || section >= columns_) return QVariant();
  bool functions = list_ == VIEW_FUNCTIONS;
  if (role == Qt::DisplayRole) {
    if (!functions && section == CL_LINE) return QString::fromLatin1(kCallLineHeader);
    return QString::fromLatin1(functions ? kFunctionListHeaders[section]
                                         : kCallListHeaders[section]);
  }
  if (role == Qt::ToolTipRole && functions && section == FL_LINE)
    return UiText(
        "Where the function's text starts, the comment block above it included, counted "
        "from 0 (an editor counts the same line one higher). view Source and Go to "
        "Definition open the line of its name.");
  if (role == Qt::ToolTipRole && !functions && section == CL_LINE)
    return UiText("The line of the call, counted from 1 as an editor counts.");
  if (role == Qt::TextAlignmentRole) return int(Qt::AlignLeft | Qt::AlignVCenter);
  return QVariant();
}

Qt::ItemFlags ListModel::flags(const QModelIndex &index) const {
  if (!index.isValid()) return Qt::NoItemFlags;
  return Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemNeverHasChildren;
}

void ListModel::AppendFunctions(const FunctionRow *rows, size_t n) {
  if (list_ != VIEW_FUNCTIONS || !rows) return;
  size_t from = functions_.size();
  functions_.Append(rows, n);
  TrackRows(from, functions_.size());
}

void ListModel::AppendCalls(const CallRow *rows, size_t n) {
  if (list_ != VIEW_CALLS || !rows) return;
  size_t from = calls_.size();
  calls_.Append(rows, n);
  TrackRows(from, calls_.size());
}

void ListModel::SetCalled(size_t first, const int *called, size_t n) {
  if (list_ != VIEW_FUNCTIONS || !called) return;
  for (size_t k = 0; k < n && first + k < functions_.size(); k++) {
    size_t r = first + k;
    functions_[r].called = called[k];
    if (r >= committed_) continue;  // not shown yet: nothing to tell the views
    if (dirty_lo_ < 0 || (int)r < dirty_lo_) dirty_lo_ = (int)r;
    if ((int)r > dirty_hi_) dirty_hi_ = (int)r;
  }
}

void ListModel::ConsiderCell(Longest *best, size_t len, int r, int n) {
  if ((int)best->size() == n && len <= best->back().first) return;
  auto at = std::upper_bound(best->begin(), best->end(), std::make_pair(len, r),
                             [](const std::pair<size_t, int> &a, const std::pair<size_t, int> &b) {
                               return a.first > b.first;
                             });
  best->insert(at, {len, r});
  if ((int)best->size() > n) best->pop_back();
}

void ListModel::TrackLongest(unsigned mask) {
  tracked_ = mask;
  longest_.assign((size_t)columns_, Longest());
  TrackRows(0, stored());
}

void ListModel::TrackRows(size_t from, size_t to) {
  if (!tracked_) return;
  for (size_t r = from; r < to; r++)
    for (int c = 0; c < columns_; c++)
      if (tracked_ & (1u << c))
        ConsiderCell(&longest_[c], CellLength((int)r, c), (int)r, kTrackedLongest);
}

void ListModel::DeleteRows() {
  resets_++;
  beginResetModel();
  functions_.Clear();
  calls_.Clear();
  committed_ = 0;
  order_.clear();
  longest_.assign(tracked_ ? (size_t)columns_ : 0, Longest());
  dirty_lo_ = dirty_hi_ = -1;
  endResetModel();
}

void ListModel::Commit(bool rows) {
  if (dirty_lo_ >= 0) {
    int lo = order_.empty() ? dirty_lo_ : 0;
    int hi = order_.empty() ? dirty_hi_ : (int)committed_ - 1;
    dirty_lo_ = dirty_hi_ = -1;
    if (hi >= lo) Q_EMIT dataChanged(index(lo, 0), index(hi, columns_ - 1));
  }
  if (rows && stored() > committed_) {
    // New rows go to the end of the shown order: a sorted list is not
    // sorted again until the next column click.
    int first = (int)committed_;
    int last = (int)stored() - 1;
    beginInsertRows(QModelIndex(), first, last);
    committed_ = stored();
    if (!order_.empty())
      for (int i = first; i <= last; i++) order_.push_back(i);
    endInsertRows();
  }
}

std::vector<int> ListModel::SortedOrder(const SortWork &w) {
  std::vector<int> next = w.old;
  bool desc = w.descending;
  if (w.numeric) {
    const std::vector<int> &key = w.nums;
    std::stable_sort(next.begin(), next.end(),
                     [&](int a, int b) { return desc ? key[a] > key[b] : key[a] < key[b]; });
  } else {
    auto key = [&](int r) {
      return std::string_view(w.text.data() + w.at[r], w.at[r + 1] - w.at[r]);
    };
    std::stable_sort(next.begin(), next.end(), [&](int a, int b) {
      int c = CompareText(key(a), key(b));
      return desc ? c > 0 : c < 0;
    });
  }
  return next;
}

void ListModel::SortBy(int col, bool descending) {
  if (col < 0 || col >= columns_) return;
  if (sort_) FinishSort();  // one order at a time
  next_col_ = -1;
  StartSort(col, descending);
  if (!sort_) return;
  sort_->next = SortedOrder(*sort_);
  std::shared_ptr<SortWork> w = std::move(sort_);
  ApplyOrder(std::move(w->old), std::move(w->next));
}

void ListModel::SortInBackground(int col, bool descending) {
  if (col < 0 || col >= columns_) return;
  if (sort_) {  // after the one that runs
    next_col_ = col;
    next_descending_ = descending;
    return;
  }
  StartSort(col, descending);
  if (!sort_) return;
  std::shared_ptr<SortWork> w = sort_;
  sort_thread_ = std::thread([w, this] {
    w->next = SortedOrder(*w);
    // Queued to the GUI thread; dropped if the model is gone by then (its
    // destructor joins this thread first).
    QMetaObject::invokeMethod(
        this, [this] { FinishSort(); }, Qt::QueuedConnection);
  });
}

// The keys of every committed row, on the GUI thread: numbers as they are,
// texts as the cells show them.
void ListModel::StartSort(int col, bool descending) {
  Commit();
  auto w = std::make_shared<SortWork>();
  int n = (int)committed_;
  w->col = col;
  w->descending = descending;
  w->numeric = IsNumericColumn(list_, col) != 0;
  w->resets = resets_;
  w->old = order_;
  if (w->old.empty()) {
    w->old.resize((size_t)n);
    for (int i = 0; i < n; i++) w->old[i] = i;
  }
  if (w->numeric) {
    w->nums.resize((size_t)n);
    for (int i = 0; i < n; i++) w->nums[i] = Number(i, col);
  } else {
    w->at.resize((size_t)n + 1);
    for (int i = 0; i < n; i++) {
      w->at[i] = w->text.size();
      AppendCell(w->text, i, col);
    }
    w->at[n] = w->text.size();
  }
  sort_ = std::move(w);
}

void ListModel::FinishSort() {
  if (sort_thread_.joinable()) sort_thread_.join();
  std::shared_ptr<SortWork> w = std::move(sort_);
  if (!w) return;
  // Rows deleted in between: the order is of rows that are gone.
  if (w->resets == resets_) ApplyOrder(std::move(w->old), std::move(w->next));
  if (next_col_ >= 0) {
    int col = next_col_;
    next_col_ = -1;
    SortInBackground(col, next_descending_);
  }
  Q_EMIT SortDone();
}

void ListModel::ApplyOrder(std::vector<int> old, std::vector<int> next) {
  Commit();
  int n = (int)committed_;
  // Rows appended since the keys were taken stay at the end, as after any sort.
  for (int i = (int)old.size(); i < n; i++) {
    old.push_back(i);
    next.push_back(i);
  }
  if ((int)next.size() != n) return;
  Q_EMIT layoutAboutToBeChanged(QList<QPersistentModelIndex>(),
                                QAbstractItemModel::VerticalSortHint);
  // Keep selections and the current row on the same store rows.
  std::vector<int> where((size_t)n);
  for (int i = 0; i < n; i++) where[next[i]] = i;
  const QModelIndexList from = persistentIndexList();
  QModelIndexList to;
  to.reserve(from.size());
  for (const QModelIndex &pi : from) {
    int s = pi.row() < n ? old[pi.row()] : -1;
    to.append(s < 0 ? QModelIndex() : index(where[s], pi.column()));
  }
  changePersistentIndexList(from, to);
  order_ = std::move(next);
  Q_EMIT layoutChanged(QList<QPersistentModelIndex>(), QAbstractItemModel::VerticalSortHint);
}

std::vector<std::string> ListModel::LongestCells(int col, int n) const {
  if (col < 0 || col >= columns_ || n <= 0) return {};
  Longest best;
  bool kept = (tracked_ & (1u << col)) && n <= kTrackedLongest;
  if (kept) {
    for (const auto &b : longest_[col]) {
      if (b.second >= (int)committed_) kept = false;  // a pending row: not a row yet
      if ((int)best.size() < n) best.push_back(b);
    }
  }
  if (!kept) {
    best.clear();
    for (int r = 0; r < (int)committed_; r++) ConsiderCell(&best, CellLength(r, col), r, n);
  }
  std::vector<std::string> out;
  for (const auto &b : best) out.push_back(Cell(b.second, col));
  return out;
}
