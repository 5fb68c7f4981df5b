// The result views and their fill operations (see views.h).
#include "ui/views.h"

#include <QHeaderView>
#include <QLabel>
#include <QPainter>
#include <QStatusBar>
#include <QTabWidget>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QVBoxLayout>

#include <algorithm>
#include <cstring>
#include <string_view>

#include "foundation/settings.h"
#include "foundation/text.h"
#include "platform/codepage.h"
#include "ui/pictures.h"
#include "graph/graph.h"
#include "xref/calltree.h"

// ---------------------------------------------------------------------------
// Text helpers

namespace {

bool IsAscii(const char *s, size_t n) {
  for (size_t i = 0; i < n; i++)
    if ((unsigned char)s[i] >= 0x80) return false;
  return true;
}

const char *const kFunctionHeaders[7] = {"SID",    "Source", "FID",   "Function",
                                         "LineNo", "Argc",   "Called"};
const char *const kCallHeaders[11] = {"SID",          "Source", "FID",       "Function",
                                      "CallFunction", "Argc",   "-",         "toSID",
                                      "toSource",     "toFID",  "toFunction"};
// Column widths in units of h (FONT_SIZE_LV / 2); 0 is the hidden column.
const int kFunctionUnits[7] = {6, 20, 6, 20, 8, 6, -1};
const int kCallUnits[11] = {6, 18, 6, 18, 18, 6, 6, 7, 18, 7, 18};

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

}  // namespace

QString FromSjis(const char *sjis) {
  if (!sjis || !*sjis) return QString();
  size_t n = strlen(sjis);
  if (IsAscii(sjis, n)) return QString::fromLatin1(sjis, (qsizetype)n);
  return QString::fromUtf8(SjisToUtf8(std::string(sjis, n)).c_str());
}

QString FromSjis(const std::string &sjis) {
  return FromSjis(sjis.c_str());
}

std::string ToSjis(const QString &text) {
  bool ascii = true;
  for (QChar c : text)
    if (c.unicode() >= 0x80) ascii = false;
  if (ascii) return text.toLatin1().toStdString();
  return Utf8ToSjis(text.toUtf8().toStdString());
}

int CellNumber(const char *text) {
  if (!text) return 0;
  while (*text == ' ' || (*text >= '\t' && *text <= '\r')) text++;
  int sign = 1;
  if (*text == '-' || *text == '+') sign = *text++ == '-' ? -1 : 1;
  long long v = 0;
  while (*text >= '0' && *text <= '9') {
    v = v * 10 + (*text++ - '0');
    if (v > 2147483648LL) v = 2147483648LL;  // cells never hold such numbers
  }
  v *= sign;
  if (v > 2147483647LL) v = 2147483647LL;
  return (int)v;
}

// ---------------------------------------------------------------------------
// ListModel

ListModel::ListModel(int list, QObject *parent)
    : QAbstractTableModel(parent), list_(list), columns_(list == VIEW_FUNCTIONS ? 7 : 11) {}

int ListModel::rowCount(const QModelIndex &parent) const {
  return parent.isValid() ? 0 : (int)rows_.size();
}

int ListModel::columnCount(const QModelIndex &parent) const {
  return parent.isValid() ? 0 : columns_;
}

int ListModel::IsNumericColumn(int list, int col) {
  if (list == VIEW_FUNCTIONS) return col == 0 || col == 2 || col == 4 || col == 5 || col == 6;
  return col == 0 || col == 2 || col == 5 || col == 7 || col == 9;
}

ListModel::Row ListModel::MakeRow(const char *cells, int n) const {
  Row r;
  const char *p = cells;
  for (int c = 0; c < columns_; c++) {
    if (c < n) {
      size_t len = strlen(p);
      r.append(p, len);
      p += len + 1;
    }
    r.push_back('\0');
  }
  return r;
}

const char *ListModel::CellText(const Row &r, int col) {
  const char *p = r.c_str();
  for (int c = 0; c < col; c++) p += strlen(p) + 1;
  return p;
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
  const Row &r = rows_[s];
  int c = index.column();
  switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole:
      return FromSjis(CellText(r, c));
    case Qt::BackgroundRole:
      // Functions nobody calls and calls that reach no definition stand out.
      if (list_ == VIEW_FUNCTIONS && c == 3)
        return CellNumber(CellText(r, 6)) ? QColor(160, 255, 176) : QColor(128, 176, 255);
      if (list_ == VIEW_CALLS && c == 4)
        return CellNumber(CellText(r, 7)) ? QColor(255, 255, 160) : QColor(224, 224, 224);
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
    return QString::fromLatin1(list_ == VIEW_FUNCTIONS ? kFunctionHeaders[section]
                                                       : kCallHeaders[section]);
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
  InsertRow(index, cells, 1);
}

void ListModel::InsertRow(int index, const std::string &cells, int n) {
  Row row = MakeRow(cells.c_str(), std::min(n, (int)std::count(cells.begin(), cells.end(), '\0')));
  int size = Size();
  if (index < 0) index = 0;
  if (index >= size) {
    pending_.push_back(std::move(row));
    return;
  }
  // An insertion inside the list: rows after it move down by one.
  Commit();
  int shown = order_.empty() ? index : (int)rows_.size();
  beginInsertRows(QModelIndex(), shown, shown);
  rows_.insert(rows_.begin() + index, std::move(row));
  if (!order_.empty()) {
    for (int &o : order_)
      if (o >= index) o++;
    order_.push_back(index);
  }
  endInsertRows();
}

void ListModel::SetCell(int row, int col, const char *text) {
  if (col < 0 || col >= columns_ || row < 0) return;
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
  const char *cell = CellText(*r, col);
  size_t start = (size_t)(cell - r->c_str());
  r->replace(start, strlen(cell), text ? text : "");
}

std::string ListModel::Cell(int row, int col) const {
  if (col < 0 || col >= columns_ || row < 0) return std::string();
  if (row < (int)rows_.size()) return CellText(rows_[row], col);
  size_t p = (size_t)(row - (int)rows_.size());
  return p < pending_.size() ? CellText(pending_[p], col) : std::string();
}

void ListModel::DeleteRows() {
  beginResetModel();
  rows_.clear();
  pending_.clear();
  order_.clear();
  dirty_lo_ = dirty_hi_ = -1;
  endResetModel();
}

void ListModel::Commit() {
  if (dirty_lo_ >= 0) {
    int lo = order_.empty() ? dirty_lo_ : 0;
    int hi = order_.empty() ? dirty_hi_ : (int)rows_.size() - 1;
    dirty_lo_ = dirty_hi_ = -1;
    if (hi >= lo) Q_EMIT dataChanged(index(lo, 0), index(hi, columns_ - 1));
  }
  if (!pending_.empty()) {
    // New rows go to the end of the shown order: a sorted list is not
    // sorted again until the next column click.
    int first = (int)rows_.size();
    int last = first + (int)pending_.size() - 1;
    beginInsertRows(QModelIndex(), first, last);
    for (Row &r : pending_) rows_.push_back(std::move(r));
    if (!order_.empty())
      for (int i = first; i <= last; i++) order_.push_back(i);
    pending_.clear();
    endInsertRows();
  }
}

void ListModel::SortBy(int col, bool descending) {
  if (col < 0 || col >= columns_) return;
  Commit();
  int n = (int)rows_.size();
  std::vector<int> old = order_;
  if (old.empty()) {
    old.resize((size_t)n);
    for (int i = 0; i < n; i++) old[i] = i;
  }
  Q_EMIT layoutAboutToBeChanged(QList<QPersistentModelIndex>(),
                                QAbstractItemModel::VerticalSortHint);
  std::vector<int> next = old;
  if (IsNumericColumn(list_, col)) {
    std::vector<int> key((size_t)n);
    for (int i = 0; i < n; i++) key[i] = CellNumber(CellText(rows_[i], col));
    std::stable_sort(next.begin(), next.end(),
                     [&](int a, int b) { return descending ? key[a] > key[b] : key[a] < key[b]; });
  } else {
    std::vector<std::string_view> key((size_t)n);
    for (int i = 0; i < n; i++) key[i] = CellText(rows_[i], col);
    std::stable_sort(next.begin(), next.end(), [&](int a, int b) {
      int c = CompareText(key[a], key[b]);
      return descending ? c > 0 : c < 0;
    });
  }
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

// ---------------------------------------------------------------------------
// TreeModel

TreeModel::TreeModel(QObject *parent) : QAbstractItemModel(parent) {
  for (int k = 0; k < 6; k++) pictures_[k] = QIcon(TreePicture(k));
}

TreeModel::~TreeModel() {}

QModelIndex TreeModel::index(int row, int column, const QModelIndex &parent) const {
  if (column != 0 || row < 0) return QModelIndex();
  const Node *p = parent.isValid() ? static_cast<const Node *>(parent.internalPointer()) : &root_;
  if (row >= (int)p->kids.size()) return QModelIndex();
  return createIndex(row, 0, p->kids[row].get());
}

QModelIndex TreeModel::parent(const QModelIndex &child) const {
  if (!child.isValid()) return QModelIndex();
  const Node *n = static_cast<const Node *>(child.internalPointer());
  const Node *p = n->parent;
  if (!p || p == &root_) return QModelIndex();
  return createIndex(p->row, 0, const_cast<Node *>(p));
}

int TreeModel::rowCount(const QModelIndex &parent) const {
  if (parent.column() > 0) return 0;
  const Node *p = parent.isValid() ? static_cast<const Node *>(parent.internalPointer()) : &root_;
  return (int)p->kids.size();
}

int TreeModel::columnCount(const QModelIndex &) const {
  return 1;
}

QVariant TreeModel::data(const QModelIndex &index, int role) const {
  if (!index.isValid()) return QVariant();
  const Node *n = static_cast<const Node *>(index.internalPointer());
  if (role == Qt::DisplayRole || role == Qt::ToolTipRole) return n->text;
  if (role == Qt::DecorationRole) return pictures_[n->image];
  return QVariant();
}

void TreeModel::Insert(quintptr parent, quintptr id, const char *text) {
  if (!id || nodes_.count(id)) return;
  Node *p = &root_;
  if (parent) {
    auto it = nodes_.find(parent);
    if (it != nodes_.end()) p = it->second;
  }
  auto node = std::make_unique<Node>();
  node->id = id;
  node->parent = p;
  node->row = (int)p->kids.size();
  node->text = FromSjis(text);
  QModelIndex pi = p == &root_ ? QModelIndex() : createIndex(p->row, 0, p);
  beginInsertRows(pi, node->row, node->row);
  nodes_[id] = node.get();
  p->kids.push_back(std::move(node));
  endInsertRows();
}

void TreeModel::SetImage(quintptr id, int k) {
  if (k < 0 || k > 5) return;
  auto it = nodes_.find(id);
  if (it == nodes_.end()) return;
  it->second->image = k;
  QModelIndex i = createIndex(it->second->row, 0, it->second);
  Q_EMIT dataChanged(i, i, {Qt::DecorationRole});
}

void TreeModel::Clear() {
  beginResetModel();
  root_.kids.clear();
  nodes_.clear();
  endResetModel();
}

QModelIndex TreeModel::IndexOf(quintptr id) const {
  auto it = nodes_.find(id);
  if (it == nodes_.end()) return QModelIndex();
  return createIndex(it->second->row, 0, it->second);
}

int TreeModel::ImageOf(quintptr id) const {
  auto it = nodes_.find(id);
  return it == nodes_.end() ? -1 : it->second->image;
}

QString TreeModel::Dump() const {
  QString out;
  std::vector<std::pair<const Node *, int>> stack;
  for (auto it = root_.kids.rbegin(); it != root_.kids.rend(); ++it)
    stack.push_back({it->get(), 0});
  while (!stack.empty()) {
    auto [n, depth] = stack.back();
    stack.pop_back();
    out += QString(depth * 2, QLatin1Char(' ')) + QString::number(n->image) + QLatin1Char(' ') +
           n->text + QLatin1Char('\n');
    for (auto it = n->kids.rbegin(); it != n->kids.rend(); ++it)
      stack.push_back({it->get(), depth + 1});
  }
  return out;
}

// ---------------------------------------------------------------------------
// ResultEdit

ResultEdit::ResultEdit(QWidget *parent) : QPlainTextEdit(parent) {
  setUndoRedoEnabled(false);
  setLineWrapMode(QPlainTextEdit::NoWrap);
}

int ResultEdit::Length() const {
  return document()->characterCount() - 1;
}

void ResultEdit::Append(const QString &text) {
  if (text.isEmpty()) return;
  QString t = text;
  t.replace(QLatin1String("\r\n"), QLatin1String("\n"));
  t.replace(QLatin1Char('\r'), QLatin1Char('\n'));
  QTextDocument *doc = document();
  int len = Length();
  int add = (int)t.size();
  QTextCursor c(doc);
  if (add >= limit_) {
    // Larger than the whole log: only its newest lines can stay.
    int cut = add - limit_;
    int nl = cut > 0 ? (int)t.indexOf(QLatin1Char('\n'), cut - 1) : -1;
    t = (cut > 0 && nl >= 0 && nl + 1 < add) ? t.mid(nl + 1) : t.right(limit_);
    doc->clear();
  } else if (len + add > limit_) {
    // Whole lines go from the top until the new text fits.
    int excess = len + add - limit_;
    QTextBlock b = doc->findBlock(excess);
    if (b.isValid() && b.position() < excess) b = b.next();
    if (b.isValid()) {
      c.setPosition(0);
      c.setPosition(b.position(), QTextCursor::KeepAnchor);
      c.removeSelectedText();
    } else {
      doc->clear();
    }
  }
  c.movePosition(QTextCursor::End);
  c.insertText(t);
  setTextCursor(c);
}

// ---------------------------------------------------------------------------
// ListView

ListView::ListView(const QPixmap &picture, QWidget *parent)
    : QTableView(parent), picture_(picture) {}

void ListView::paintEvent(QPaintEvent *event) {
  {
    QPainter p(viewport());
    QRect r = viewport()->rect();
    p.drawPixmap(r.right() - picture_.width() + 1, r.bottom() - picture_.height() + 1, picture_);
  }
  QTableView::paintEvent(event);
}

// ---------------------------------------------------------------------------
// ViewsPanel

int ViewsPanel::ColumnWidth(int list, int col, int font_size) {
  int h = font_size / 2;
  if (list == VIEW_FUNCTIONS) {
    if (col < 0 || col >= 7) return 0;
    return kFunctionUnits[col] < 0 ? 0 : kFunctionUnits[col] * h + 2;
  }
  if (col < 0 || col >= 11) return 0;
  return kCallUnits[col] * h + 2;
}

ViewsPanel::ViewsPanel(PortQueue *queue, QWidget *parent) : QWidget(parent), queue_(queue) {
  const ST_CONFIG &cfg = g_config;
  QFont tab_font = MakeFont(cfg.FONT_NAME_TAB, cfg.FONT_SIZE_TAB, false);
  QFont list_font = MakeFont(cfg.FONT_NAME_LV, cfg.FONT_SIZE_LV, true);
  QFont result_font = MakeFont(cfg.FONT_NAME_TV, cfg.FONT_SIZE_TV, true);
  QFont tree_font = MakeFont(cfg.FONT_NAME_EDIT, cfg.FONT_SIZE_EDIT, true);

  tabs_ = new QTabWidget(this);
  tabs_->setObjectName(QStringLiteral("tabs"));
  tabs_->tabBar()->setFont(tab_font);
  tabs_->setDocumentMode(true);

  for (int list = 0; list < 2; list++) {
    models_[list] = new ListModel(list, this);
    ListView *v = new ListView(ListBackground(list), tabs_);
    v->setObjectName(list == 0 ? QStringLiteral("functionList") : QStringLiteral("callList"));
    v->setModel(models_[list]);
    v->setFont(list_font);
    v->setSelectionBehavior(QAbstractItemView::SelectRows);
    v->setSelectionMode(QAbstractItemView::SingleSelection);
    v->setEditTriggers(QAbstractItemView::NoEditTriggers);
    v->setShowGrid(true);
    v->setWordWrap(false);
    v->setMouseTracking(true);
    v->verticalHeader()->hide();
    v->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    v->verticalHeader()->setDefaultSectionSize(QFontMetrics(list_font).height() + 4);
    QHeaderView *hh = v->horizontalHeader();
    hh->setFont(list_font);
    hh->setSectionsClickable(true);
    hh->setHighlightSections(false);
    hh->setStretchLastSection(false);
    hh->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    hh->setMinimumSectionSize(0);
    int ncol = models_[list]->columnCount();
    for (int c = 0; c < ncol; c++) hh->resizeSection(c, ColumnWidth(list, c, cfg.FONT_SIZE_LV));
    if (list == VIEW_FUNCTIONS) v->setColumnHidden(6, true);  // drives the colouring only
    connect(hh, &QHeaderView::sectionClicked, this, [this, list](int c) { ClickColumn(list, c); });
    connect(v, &QAbstractItemView::doubleClicked, this,
            [this, list](const QModelIndex &i) { ActivateRow(list, i.row()); });
    // Only the Function List has a context menu; the main window shows it.
    v->setContextMenuPolicy(list == VIEW_FUNCTIONS ? Qt::DefaultContextMenu
                                                   : Qt::PreventContextMenu);
    lists_[list] = v;
  }

  tree_model_ = new TreeModel(this);
  tree_ = new QTreeView(tabs_);
  tree_->setObjectName(QStringLiteral("callTree"));
  tree_->setModel(tree_model_);
  tree_->setHeaderHidden(true);
  tree_->setFont(tree_font);
  tree_->setIconSize(QSize(16, 16));
  tree_->setUniformRowHeights(true);
  tree_->setRootIsDecorated(true);
  tree_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  tree_->setContextMenuPolicy(Qt::PreventContextMenu);

  result_ = new ResultEdit(tabs_);
  result_->setObjectName(QStringLiteral("result"));
  result_->setFont(result_font);
  result_->SetLimit(cfg.MAX_RESULT_BUFFER * 1024);
  result_->setContextMenuPolicy(Qt::PreventContextMenu);
  // Dropped files are for the main window, not text for the edit.
  result_->setAcceptDrops(false);
  result_->viewport()->setAcceptDrops(false);

  tabs_->addTab(lists_[0], QString());
  tabs_->addTab(lists_[1], QString());
  tabs_->addTab(tree_, QString());
  tabs_->addTab(result_, QString());
  RelabelTabs();
  connect(tabs_, &QTabWidget::currentChanged, this, &ViewsPanel::OnTabChanged);

  status_ = new QStatusBar(this);
  status_->setObjectName(QStringLiteral("status"));
  status_->setSizeGripEnabled(true);
  status_label_ = new QLabel(status_);
  status_label_->setObjectName(QStringLiteral("statusText"));
  status_label_->setTextFormat(Qt::PlainText);
  status_->addWidget(status_label_, 1);

  QVBoxLayout *layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(tabs_, 1);
  layout->addWidget(status_);

  queue_->SetApplier(this);
  g_views = this;
}

ViewsPanel::~ViewsPanel() {
  if (g_views == this) g_views = nullptr;
}

bool ViewsPanel::OnGuiThread() const {
  return queue_->OnGuiThread();
}

void ViewsPanel::RelabelTabs() {
  relabelling_ = true;
  for (int i = 0; i < 4; i++) {
    QString name = FromSjis(g_config.TAB_NAME[i]);
    tabs_->setTabText(i, (i == current_ ? QStringLiteral("* ") : QStringLiteral("  ")) + name);
  }
  relabelling_ = false;
}

void ViewsPanel::OnTabChanged(int index) {
  if (relabelling_ || index < 0) return;
  current_ = index;
  RelabelTabs();
  Q_EMIT TabChosen(index);
}

void ViewsPanel::SelectView(int view) {
  if (view < 0 || view > 3) return;
  QSignalBlocker block(tabs_);
  tabs_->setCurrentIndex(view);
  current_ = view;
  RelabelTabs();
}

void ViewsPanel::SetStatusText(const char *text) {
  status_label_->setText(FromSjis(text));
}

QString ViewsPanel::StatusText() const {
  return status_label_->text();
}

int ViewsPanel::SortState(int list, int col) const {
  if (list < 0 || list > 3 || col < 0 || col > 15) return 0;
  return sort_state_[list][col];
}

void ViewsPanel::ClickColumn(int list, int col) {
  if (list < 0 || list > 1 || col < 0 || col > 15) return;
  int &state = sort_state_[list][col];
  state = state == 1 ? 2 : 1;
  models_[list]->SortBy(col, state == 2);
  lists_[list]->horizontalHeader()->setSortIndicatorShown(true);
  lists_[list]->horizontalHeader()->setSortIndicator(
      col, state == 1 ? Qt::AscendingOrder : Qt::DescendingOrder);
}

void ViewsPanel::ActivateRow(int list, int shown_row) {
  if (list < 0 || list > 1) return;
  int row = models_[list]->StoreRow(shown_row);
  if (row < 0) return;
  int sid_col = list == VIEW_FUNCTIONS ? 0 : 7;
  int fid_col = list == VIEW_FUNCTIONS ? 2 : 9;
  int sid = CellNumber(models_[list]->Cell(row, sid_col).c_str());
  int fid = CellNumber(models_[list]->Cell(row, fid_col).c_str());
  if (sid > 0 && fid > 0) Q_EMIT TreeRequested(list, sid, fid);
}

void ViewsPanel::ClearViews() {
  DeleteRows(VIEW_FUNCTIONS);
  DeleteRows(VIEW_CALLS);
  result_->clear();
  flags_shown = 0;
  ClearTreeView();
}

void ViewsPanel::ClearTreeView() {
  TreeClear();
  anon_counter = 0;
}

// --- ResultViews -----------------------------------------------------------

int ViewsPanel::HasView(int view) {
  return view >= 0 && view <= 3;
}

void ViewsPanel::InsertRow(int list, int index, int, const char *text) {
  if (list != VIEW_FUNCTIONS && list != VIEW_CALLS) return;
  {
    std::lock_guard<std::mutex> lock(count_mu_);
    row_count_[list]++;
  }
  PortOp op;
  op.kind = PortOp::INSERT_ROW;
  op.list = list;
  op.row = index;
  op.col = 1;
  if (text) op.text = text;
  op.text.push_back('\0');
  queue_->Post(std::move(op));
}

void ViewsPanel::SetCell(int list, int row, int col, const char *text) {
  if (list != VIEW_FUNCTIONS && list != VIEW_CALLS) return;
  queue_->PostCell(list, row, col, text);
}

void ViewsPanel::SetCellText(int list, int row, int col, const char *text) {
  SetCell(list, row, col, text);
}

void ViewsPanel::GetCell(int list, int row, int col, char *buffer, int size) {
  if (!buffer || size <= 0) return;
  buffer[0] = 0;
  if (list != VIEW_FUNCTIONS && list != VIEW_CALLS) return;
  std::string text;
  queue_->Run([&] { text = models_[list]->Cell(row, col); });
  // At most size-2 characters and the NUL, never half a double-byte character.
  CopyText(buffer, (size_t)(size > 1 ? size - 1 : 1), text.c_str(), -1, 1);
}

int ViewsPanel::SelectedRow(int list) {
  if (list != VIEW_FUNCTIONS && list != VIEW_CALLS) return -1;
  int row = -1;
  queue_->Run([&] {
    QModelIndexList sel = lists_[list]->selectionModel()->selectedRows();
    int best = -1;
    for (const QModelIndex &i : sel)
      if (best < 0 || i.row() < best) best = i.row();
    row = models_[list]->StoreRow(best);
  });
  return row;
}

int ViewsPanel::RowCount(int list) {
  if (list != VIEW_FUNCTIONS && list != VIEW_CALLS) return 0;
  std::lock_guard<std::mutex> lock(count_mu_);
  return row_count_[list];
}

void ViewsPanel::DeleteRows(int list) {
  if (list != VIEW_FUNCTIONS && list != VIEW_CALLS) return;
  {
    std::lock_guard<std::mutex> lock(count_mu_);
    row_count_[list] = 0;
  }
  PortOp op;
  op.kind = PortOp::DELETE_ROWS;
  op.list = list;
  queue_->Post(std::move(op));
}

TREEITEM ViewsPanel::TreeInsert(TREEITEM parent, const char *text) {
  quintptr id;
  {
    std::lock_guard<std::mutex> lock(count_mu_);
    id = ++next_tree_id_;
    tree_count_++;
  }
  PortOp op;
  op.kind = PortOp::TREE_INSERT;
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
  op.id = (uintptr_t)item;
  op.col = k;
  queue_->Post(std::move(op));
}

void ViewsPanel::TreeClear() {
  {
    std::lock_guard<std::mutex> lock(count_mu_);
    tree_count_ = 0;
  }
  PortOp op;
  op.kind = PortOp::TREE_CLEAR;
  queue_->Post(std::move(op));
}

int ViewsPanel::TreeItemCount() {
  std::lock_guard<std::mutex> lock(count_mu_);
  return tree_count_;
}

void ViewsPanel::AppendResult(const char *text) {
  if (!text || !*text) return;
  PortOp op;
  op.kind = PortOp::APPEND;
  op.text = text;
  queue_->Post(std::move(op));
}

void ViewsPanel::AfterBatch() {
  models_[0]->Commit();
  models_[1]->Commit();
  for (quintptr id : opened_) {
    QModelIndex i = tree_model_->IndexOf(id);
    if (i.isValid()) tree_->expand(i);
  }
  opened_.clear();
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
      case PortOp::INSERT_ROW:
        models_[op.list]->InsertRow(op.row, op.text, op.col);
        break;
      case PortOp::SET_CELL:
        models_[op.list]->SetCell(op.row, op.col, op.text.c_str());
        break;
      case PortOp::DELETE_ROWS:
        models_[op.list]->DeleteRows();
        break;
      case PortOp::TREE_INSERT:
        tree_model_->Insert(op.parent, op.id, op.text.c_str());
        if (op.parent) opened_.insert(op.parent);
        break;
      case PortOp::TREE_IMAGE:
        tree_model_->SetImage(op.id, op.col);
        break;
      case PortOp::TREE_CLEAR:
        opened_.clear();
        tree_model_->Clear();
        break;
      case PortOp::APPEND:
        text += op.text;
        break;
      case PortOp::CALL:
        // Whatever the closure shows must see every earlier operation.
        flush_text();
        AfterBatch();
        if (op.fn) op.fn();
        break;
    }
  }
  flush_text();
  AfterBatch();
}
