// The list views' rows, their sorting and their background (see list_view.h).
#include "ui/list_view.h"

#include <QColor>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyledItemDelegate>

#include <algorithm>
#include <cstring>
#include <string_view>

#include "foundation/ports.h"
#include "ui/focus_frame.h"
#include "ui/qtext.h"
#include "xref/list_columns.h"

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

// The row of a list that got no memory for its bytes: there, but empty.
const char kEmptyRow[64] = {};

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

// ---------------------------------------------------------------------------
// ListModel

ListModel::ListModel(int list, QObject *parent)
    : QAbstractTableModel(parent),
      list_(list),
      columns_(list == VIEW_FUNCTIONS ? FL_COLUMNS : CL_COLUMNS) {}

ListModel::~ListModel() {
  if (sort_thread_.joinable()) sort_thread_.join();
}

int ListModel::rowCount(const QModelIndex &parent) const {
  return parent.isValid() ? 0 : (int)rows_.size();
}

int ListModel::columnCount(const QModelIndex &parent) const {
  return parent.isValid() ? 0 : columns_;
}

int ListModel::IsNumericColumn(int list, int col) {
  if (list == VIEW_FUNCTIONS)
    return col == FL_SID || col == FL_FID || col == FL_LINE || col == FL_ARGC || col == FL_CALLED;
  return col == CL_SID || col == CL_FID || col == CL_ARGC || col == CL_TO_SID || col == CL_TO_FID;
}

ListModel::Row ListModel::MakeRow(const char *cells, size_t len, int n, bool counted) {
  // The first n texts (at most one per column) are kept, the other columns
  // added empty: a row of the list's own width.
  int keep = std::min(n, columns_);
  size_t end = 0;
  int c = 0;
  if (counted && n <= columns_) {
    end = len;
    c = n;
  }
  for (; c < keep; c++) {
    const void *nul = memchr(cells + end, 0, len - end);
    if (!nul) break;
    end = (size_t)((const char *)nul - cells) + 1;
  }
  size_t bytes = end + (size_t)(columns_ - c);
  char *row = store_.Take(bytes);
  if (!row) return kEmptyRow;
  memcpy(row, cells, end);
  memset(row + end, 0, bytes - end);
  return row;
}

const char *ListModel::CellText(Row r, int col) {
  const char *p = r;
  for (int c = 0; c < col; c++) p += strlen(p) + 1;
  return p;
}

size_t ListModel::RowBytes(Row r) const {
  const char *p = r;
  for (int c = 0; c < columns_; c++) p += strlen(p) + 1;
  return (size_t)(p - r);
}

std::string_view ListModel::RowAt(int row) const {
  if (row < 0 || row >= (int)rows_.size()) return std::string_view();
  return std::string_view(rows_[row], RowBytes(rows_[row]));
}

int ListModel::StoreRow(int shown) const {
  if (shown < 0 || shown >= (int)rows_.size()) return -1;
  return order_.empty() ? shown : order_[shown];
}

int ListModel::ShownRow(int store) const {
  if (store < 0 || store >= (int)rows_.size()) return -1;
  if (order_.empty()) return store;
  for (size_t i = 0; i < order_.size(); i++)
    if (order_[i] == store) return (int)i;
  return -1;
}

QVariant ListModel::data(const QModelIndex &index, int role) const {
  int s = StoreRow(index.row());
  if (s < 0 || index.column() < 0 || index.column() >= columns_) return QVariant();
  Row r = rows_[s];
  int c = index.column();
  switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole:
      return FromSjis(CellText(r, c));
    case Qt::BackgroundRole:
      // Functions nobody calls and calls that reach no definition stand out.
      if (list_ == VIEW_FUNCTIONS && c == FL_FUNCTION)
        return CellNumber(CellText(r, FL_CALLED)) ? QColor(160, 255, 176) : QColor(128, 176, 255);
      if (list_ == VIEW_CALLS && c == CL_CALL)
        return CellNumber(CellText(r, CL_TO_SID)) ? QColor(255, 255, 160) : QColor(224, 224, 224);
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
  if (role == Qt::DisplayRole)
    return QString::fromLatin1(list_ == VIEW_FUNCTIONS ? kFunctionListHeaders[section]
                                                       : kCallListHeaders[section]);
  if (role == Qt::TextAlignmentRole) return int(Qt::AlignLeft | Qt::AlignVCenter);
  return QVariant();
}

Qt::ItemFlags ListModel::flags(const QModelIndex &index) const {
  if (!index.isValid()) return Qt::NoItemFlags;
  return Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemNeverHasChildren;
}

void ListModel::InsertRow(int index, const char *text) {
  std::string cells = text ? text : "";
  cells.push_back('\0');
  InsertRow(index, std::move(cells), 1);
}

void ListModel::InsertRow(int index, std::string cells, int n) {
  InsertRow(index, cells.data(), cells.size(), n);
}

void ListModel::InsertRow(int index, const char *cells, size_t len, int n) {
  PlaceRow(index, MakeRow(cells, len, n));
}

size_t ListModel::InsertRowFrom(int index, const char *cells, size_t avail, int n) {
  // The lengths of the row's cells, measured on the way for TrackRow.
  size_t lens[kMaxColumns] = {};
  size_t end = 0;
  for (int c = 0; c < n; c++) {
    size_t len = end < avail ? strnlen(cells + end, avail - end) : 0;
    if (end + len >= avail) {  // cut short: the searching insertion copes with it
      InsertRow(index, cells, avail, n);
      return avail;
    }
    if (c < kMaxColumns) lens[c] = len;
    end += len + 1;
  }
  PlaceRow(index, MakeRow(cells, end, n, true), columns_ <= kMaxColumns ? lens : nullptr);
  return end;
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
  longest_valid_ = Size() == 0;  // rows already there were not counted
}

void ListModel::TrackRow(Row row, int r, const size_t *lens) {
  const char *p = row;
  for (int c = 0; c < columns_ && (tracked_ >> c) != 0; c++) {
    size_t len = lens ? lens[c] : strlen(p);
    if (tracked_ & (1u << c)) ConsiderCell(&longest_[c], len, r, kTrackedLongest);
    if (!lens) p += len + 1;
  }
}

void ListModel::PlaceRow(int index, Row row, const size_t *lens) {
  int size = Size();
  if (index < 0) index = 0;
  if (index >= size) {
    if (tracked_ && longest_valid_) TrackRow(row, size, row == kEmptyRow ? nullptr : lens);
    pending_.push_back(row);
    return;
  }
  longest_valid_ = false;  // store rows after it move
  // An insertion inside the list: rows after it move down by one.
  Commit();
  resets_++;
  int shown = order_.empty() ? index : (int)rows_.size();
  beginInsertRows(QModelIndex(), shown, shown);
  rows_.insert(rows_.begin() + index, row);
  if (!order_.empty()) {
    for (int &o : order_)
      if (o >= index) o++;
    order_.push_back(index);
  }
  endInsertRows();
}

void ListModel::SetCell(int row, int col, const char *text) {
  if (col < 0 || col >= columns_ || row < 0) return;
  if (!text) text = "";
  Row *r = nullptr;
  if (row >= (int)rows_.size()) {
    size_t p = (size_t)(row - (int)rows_.size());
    if (p >= pending_.size()) return;
    r = &pending_[p];
  } else {
    r = &rows_[row];
    if (dirty_lo_ < 0 || row < dirty_lo_) dirty_lo_ = row;
    if (row > dirty_hi_) dirty_hi_ = row;
  }
  if (tracked_ & (1u << col)) longest_valid_ = false;
  const char *cell = CellText(*r, col);
  size_t old_len = strlen(cell), new_len = strlen(text);
  size_t start = (size_t)(cell - *r);
  if (new_len == old_len && *r != kEmptyRow) {
    // Same length (a count that keeps its digits): in place.
    memcpy((char *)*r + start, text, new_len);
    return;
  }
  // Otherwise the row is made again with the new cell.
  size_t bytes = RowBytes(*r);
  std::string next;
  next.reserve(bytes - old_len + new_len);
  next.append(*r, start);
  next.append(text, new_len);
  next.append(cell + old_len, bytes - start - old_len);
  *r = MakeRow(next.data(), next.size(), columns_);
}

std::string ListModel::Cell(int row, int col) const {
  if (col < 0 || col >= columns_ || row < 0) return std::string();
  if (row < (int)rows_.size()) return CellText(rows_[row], col);
  size_t p = (size_t)(row - (int)rows_.size());
  return p < pending_.size() ? CellText(pending_[p], col) : std::string();
}

const char *ListModel::CellAt(int row, int col) const {
  if (col < 0 || col >= columns_ || row < 0 || row >= (int)rows_.size()) return "";
  return CellText(rows_[row], col);
}

void ListModel::DeleteRows() {
  resets_++;
  beginResetModel();
  rows_.clear();
  pending_.clear();
  order_.clear();
  store_.Clear();
  longest_.assign(tracked_ ? (size_t)columns_ : 0, Longest());
  longest_valid_ = true;
  dirty_lo_ = dirty_hi_ = -1;
  endResetModel();
}

void ListModel::Commit(bool rows) {
  if (dirty_lo_ >= 0) {
    int lo = order_.empty() ? dirty_lo_ : 0;
    int hi = order_.empty() ? dirty_hi_ : (int)rows_.size() - 1;
    dirty_lo_ = dirty_hi_ = -1;
    if (hi >= lo) Q_EMIT dataChanged(index(lo, 0), index(hi, columns_ - 1));
  }
  if (rows && !pending_.empty()) {
    // New rows go to the end of the shown order: a sorted list is not
    // sorted again until the next column click.
    int first = (int)rows_.size();
    int last = first + (int)pending_.size() - 1;
    beginInsertRows(QModelIndex(), first, last);
    rows_.insert(rows_.end(), pending_.begin(), pending_.end());
    if (!order_.empty())
      for (int i = first; i <= last; i++) order_.push_back(i);
    pending_.clear();
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

// The keys of every committed row, on the GUI thread.
void ListModel::StartSort(int col, bool descending) {
  Commit();
  auto w = std::make_shared<SortWork>();
  int n = (int)rows_.size();
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
    for (int i = 0; i < n; i++) w->nums[i] = CellNumber(CellText(rows_[i], col));
  } else {
    w->at.resize((size_t)n + 1);
    for (int i = 0; i < n; i++) {
      w->at[i] = w->text.size();
      w->text += CellText(rows_[i], col);
    }
    w->at[n] = w->text.size();
  }
  sort_ = std::move(w);
}

void ListModel::FinishSort() {
  if (sort_thread_.joinable()) sort_thread_.join();
  std::shared_ptr<SortWork> w = std::move(sort_);
  if (!w) return;
  // Rows deleted or inserted in between: the order is of rows that are gone.
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
  int n = (int)rows_.size();
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
  bool kept = (tracked_ & (1u << col)) && longest_valid_ && n <= kTrackedLongest;
  if (kept) {
    for (const auto &b : longest_[col]) {
      if (b.second >= (int)rows_.size()) kept = false;  // a pending row: not a row yet
      if ((int)best.size() < n) best.push_back(b);
    }
  }
  if (!kept) {
    best.clear();
    for (int r = 0; r < (int)rows_.size(); r++)
      ConsiderCell(&best, strlen(CellText(rows_[r], col)), r, n);
  }
  std::vector<std::string> out;
  for (const auto &b : best) out.push_back(CellText(rows_[b.second], col));
  return out;
}

// ---------------------------------------------------------------------------
// ListView

namespace {

// Draws the cells of the hot row underlined.
class HotRowDelegate : public QStyledItemDelegate {
 public:
  explicit HotRowDelegate(ListView *view) : QStyledItemDelegate(view), view_(view) {}

 protected:
  void initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const override {
    QStyledItemDelegate::initStyleOption(option, index);
    if (index.row() == view_->HotRow()) option->font.setUnderline(true);
  }

 private:
  ListView *view_;
};

}  // namespace

ListView::ListView(const QPixmap &picture, QWidget *parent)
    : QTableView(parent), picture_(picture) {
  setMouseTracking(true);
  setItemDelegate(new HotRowDelegate(this));
}

void ListView::SetHotRow(int row) {
  if (row == hot_row_) return;
  hot_row_ = row;
  viewport()->update();
}

void ListView::mouseMoveEvent(QMouseEvent *event) {
  SetHotRow(rowAt(event->position().toPoint().y()));
  QTableView::mouseMoveEvent(event);
}

bool ListView::viewportEvent(QEvent *event) {
  if (event->type() == QEvent::Leave) SetHotRow(-1);
  return QTableView::viewportEvent(event);
}

void ListView::paintEvent(QPaintEvent *event) {
  {
    QPainter p(viewport());
    QRect r = viewport()->rect();
    p.drawPixmap(r.right() - picture_.width() + 1, r.bottom() - picture_.height() + 1, picture_);
  }
  QTableView::paintEvent(event);
  if (!hasFocus()) return;
  QRect row;
  QModelIndex cur = currentIndex();
  if (cur.isValid())
    row = QRect(0, rowViewportPosition(cur.row()), viewport()->width(), rowHeight(cur.row()));
  DrawFocusFrame(viewport(), row);
}

void ListView::scrollContentsBy(int dx, int dy) {
  // Scrolling moves the pixels already drawn, the picture with them; it
  // stays fixed in its corner only when the whole viewport is drawn again.
  QTableView::scrollContentsBy(dx, dy);
  viewport()->update();
}

void ListView::keyPressEvent(QKeyEvent *event) {
  if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) &&
      currentIndex().isValid()) {
    Q_EMIT Entered(currentIndex().row(), (event->modifiers() & Qt::ShiftModifier) != 0);
    event->accept();
    return;
  }
  QTableView::keyPressEvent(event);
  viewport()->update();  // the row frame follows the current row
}

void ListView::contextMenuEvent(QContextMenuEvent *event) {
  QModelIndex i = indexAt(event->pos());
  if (!i.isValid()) {
    event->ignore();
    return;
  }
  selectRow(i.row());
  Q_EMIT MenuAt(i.row(), event->globalPos());
  event->accept();
}

void ListView::focusInEvent(QFocusEvent *event) {
  QTableView::focusInEvent(event);
  viewport()->update();
}

void ListView::focusOutEvent(QFocusEvent *event) {
  QTableView::focusOutEvent(event);
  viewport()->update();
}
