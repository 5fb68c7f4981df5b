// The tab control with the result views and their fill operations (see
// views.h).
#include "ui/views.h"

#include <cstring>

#include <QGuiApplication>
#include <QHeaderView>
#include <QStyle>
#include <QLabel>
#include <QShortcut>
#include <QStatusBar>
#include <QTabWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <cstring>

#include "foundation/settings.h"
#include "foundation/text.h"
#include "shell/app.h"
#include "shell/requests.h"
#include "ui/pictures.h"
#include "ui/qtext.h"
#include "xref/list_columns.h"

namespace {

// Column widths in units of h (FONT_SIZE_LV / 2); -1 is the hidden column.
const int kFunctionUnits[FL_COLUMNS] = {6, 20, 6, 20, 8, 6, -1};
const int kCallUnits[CL_COLUMNS] = {6, 18, 6, 18, 18, 6, 6, 7, 18, 7, 18};

// The views in the order of their tabs: the Graph beside the CallTree, the
// Callers last.
const int kTabViews[] = {VIEW_FUNCTIONS, VIEW_CALLS,  VIEW_TREE,
                         VIEW_GRAPH,     VIEW_RESULT, VIEW_CALLERS};
const int kTabCount = (int)(sizeof kTabViews / sizeof kTabViews[0]);

// Lists longer than this sort on a thread of their own.
const int kSortInBackground = 20000;

// The name columns, sized to their texts after a fill.
bool IsNameColumn(int list, int col) {
  if (list == VIEW_FUNCTIONS) return col == FL_FUNCTION;
  return col == CL_FUNCTION || col == CL_CALL || col == CL_TO_FUNCTION;
}

}  // namespace

int ViewsPanel::TabOf(int view) {
  for (int t = 0; t < kTabCount; t++)
    if (kTabViews[t] == view) return t;
  return -1;
}

int ViewsPanel::ViewAt(int tab) {
  return tab >= 0 && tab < kTabCount ? kTabViews[tab] : -1;
}

int ViewsPanel::ColumnWidth(int list, int col, int font_size) {
  int h = font_size / 2;
  if (list == VIEW_FUNCTIONS) {
    if (col < 0 || col >= FL_COLUMNS) return 0;
    return kFunctionUnits[col] < 0 ? 0 : kFunctionUnits[col] * h + 2;
  }
  if (col < 0 || col >= CL_COLUMNS) return 0;
  return kCallUnits[col] * h + 2;
}

ViewsPanel::ViewsPanel(PortQueue *queue, QWidget *parent) : QWidget(parent), queue_(queue) {
  const ST_CONFIG &cfg = g_config;
  QFont tab_font = MakeFont(cfg.FONT_NAME_TAB, cfg.FONT_SIZE_TAB, false);
  QFont list_font = MakeFont(cfg.FONT_NAME_LV, cfg.FONT_SIZE_LV, true);
  // The Result text takes the lists' size unless the settings choose its own.
  QFont result_font =
      MakeFont(cfg.FONT_NAME_TV,
               AppSettingGiven("FONT_SIZE_TV") ? cfg.FONT_SIZE_TV : cfg.FONT_SIZE_LV, true);
  QFont tree_font = MakeFont(cfg.FONT_NAME_EDIT, cfg.FONT_SIZE_EDIT, true);

  tabs_ = new QTabWidget(this);
  tabs_->setObjectName(QStringLiteral("tabs"));
  tabs_->tabBar()->setFont(tab_font);
  tabs_->setDocumentMode(true);

  for (int list = 0; list < 2; list++) {
    models_[list] = new ListModel(list, this);
    filters_[list] = new ListFilter(models_[list], this);
    // The page of a list: its search box above it.
    QWidget *page = new QWidget(tabs_);
    QVBoxLayout *box_layout = new QVBoxLayout(page);
    box_layout->setContentsMargins(0, 0, 0, 0);
    box_layout->setSpacing(0);
    boxes_[list] = new FilterBox(page);
    boxes_[list]->setObjectName(list == 0 ? QStringLiteral("functionFilter")
                                          : QStringLiteral("callFilter"));
    boxes_[list]->setPlaceholderText(QStringLiteral("Search (Ctrl+F)"));
    connect(boxes_[list], &QLineEdit::textChanged, this, [this, list](const QString &t) {
      filters_[list]->SetText(t);
      UpdateRowsText();
    });
    ListView *v = new ListView(ListBackground(list), page);
    box_layout->addWidget(boxes_[list]);
    box_layout->addWidget(v, 1);
    v->setObjectName(list == 0 ? QStringLiteral("functionList") : QStringLiteral("callList"));
    v->setModel(filters_[list]);
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
    if (list == VIEW_FUNCTIONS) v->setColumnHidden(FL_CALLED, true);  // drives the colouring only
    connect(hh, &QHeaderView::sectionClicked, this, [this, list](int c) { ClickColumn(list, c); });
    connect(v, &QAbstractItemView::doubleClicked, this, [this, list](const QModelIndex &i) {
      // Shift+double-click on a function: its callers instead of its calls.
      if (list == VIEW_FUNCTIONS && (QGuiApplication::keyboardModifiers() & Qt::ShiftModifier))
        CallersOfRow(list, filters_[list]->StoreRow(i.row()));
      else
        ActivateRow(list, i.row());
    });
    // Enter does what a double-click does; Shift+Enter asks for the callers.
    connect(v, &ListView::Entered, this, [this, list](int shown, bool shift) {
      if (shift)
        CallersOfRow(list, filters_[list]->StoreRow(shown));
      else
        ActivateRow(list, shown);
    });
    connect(v, &ListView::MenuAt, this, [this, list](int shown, const QPoint &global) {
      Q_EMIT FunctionMenu(TargetOfRow(list, filters_[list]->StoreRow(shown)), global);
    });
    connect(models_[list], &ListModel::SortDone, this, [this] { UpdateRowsText(); });
    lists_[list] = v;
  }

  tree_model_ = new TreeModel(this);
  tree_ = new TreeView(tabs_);
  tree_->setObjectName(QStringLiteral("callTree"));
  tree_->setModel(tree_model_);
  tree_->setHeaderHidden(true);
  tree_->setFont(tree_font);
  tree_->setIconSize(QSize(16, 16));
  tree_->setUniformRowHeights(true);
  tree_->setRootIsDecorated(true);
  tree_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  // Enter on a node builds the tree of its function (Shift: its callers).
  connect(tree_, &TreeView::Entered, this, [this](const QModelIndex &i, bool shift) {
    FunctionTarget t = TargetOfNode(i);
    if (!t.IsFunction()) return;
    if (shift)
      Q_EMIT CallersRequested(t.sid, t.fid);
    else
      Q_EMIT TreeRequested(VIEW_TREE, t.sid, t.fid);
  });

  callers_model_ = new TreeModel(this);
  callers_ = new TreeView(tabs_);
  callers_->setObjectName(QStringLiteral("callersTree"));
  callers_->setModel(callers_model_);
  callers_->setHeaderHidden(true);
  callers_->setFont(tree_font);
  callers_->setIconSize(QSize(16, 16));
  callers_->setUniformRowHeights(true);
  callers_->setRootIsDecorated(true);
  callers_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  // A double-click or Enter on a node goes on with the callers of that node
  // (Shift+Enter: its call tree).
  connect(callers_, &QAbstractItemView::doubleClicked, this, [this](const QModelIndex &i) {
    int sid = 0, fid = 0;
    if (callers_model_->FunctionAt(i, &sid, &fid)) Q_EMIT CallersRequested(sid, fid);
  });
  connect(callers_, &TreeView::Entered, this, [this](const QModelIndex &i, bool shift) {
    FunctionTarget t = TargetOfNode(i);
    if (!t.IsFunction()) return;
    if (shift)
      Q_EMIT TreeRequested(VIEW_CALLERS, t.sid, t.fid);
    else
      Q_EMIT CallersRequested(t.sid, t.fid);
  });
  for (TreeView *tv : {tree_, callers_})
    connect(tv, &TreeView::MenuAt, this, [this](const QModelIndex &i, const QPoint &global) {
      FunctionTarget t = TargetOfNode(i);
      if (t.IsFunction()) Q_EMIT FunctionMenu(t, global);
    });

  graph_ = new GraphView(tabs_);
  graph_->setObjectName(QStringLiteral("graphView"));
  graph_->ShowText(QStringLiteral("No graph yet: double-click a function to draw its tree."));
  // A click on a node finds its function in the Function List; a
  // double-click builds its tree.
  connect(graph_, &GraphView::FunctionClicked, this,
          [this](int sid, int fid) { SelectFunctionRow(sid, fid); });
  connect(graph_, &GraphView::FunctionActivated, this,
          [this](int sid, int fid) { Q_EMIT TreeRequested(VIEW_GRAPH, sid, fid); });
  connect(graph_, &GraphView::FunctionMenu, this, [this](int sid, int fid, const QPoint &global) {
    FunctionTarget t;
    t.sid = sid;
    t.fid = fid;
    Q_EMIT FunctionMenu(t, global);
  });

  result_ = new ResultEdit(tabs_);
  result_->setObjectName(QStringLiteral("result"));
  result_->setFont(result_font);
  result_->SetLimit(cfg.MAX_RESULT_BUFFER * 1024);
  result_->setContextMenuPolicy(Qt::PreventContextMenu);
  // The program writes it; the user selects and copies.
  result_->setReadOnly(true);
  result_->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
  // Dropped files are for the main window, not text for the edit.
  result_->setAcceptDrops(false);
  result_->viewport()->setAcceptDrops(false);

  for (int t = 0; t < kTabCount; t++) {
    QWidget *page = nullptr;
    switch (kTabViews[t]) {
      case VIEW_FUNCTIONS:
      case VIEW_CALLS:
        page = lists_[kTabViews[t]]->parentWidget();
        break;
      case VIEW_TREE:
        page = tree_;
        break;
      case VIEW_GRAPH:
        page = graph_;
        break;
      case VIEW_RESULT:
        page = result_;
        break;
      default:
        page = callers_;
        break;
    }
    tabs_->addTab(page, QString());
  }
  RelabelTabs();
  connect(tabs_, &QTabWidget::currentChanged, this, &ViewsPanel::OnTabChanged);

  status_ = new QStatusBar(this);
  status_->setObjectName(QStringLiteral("status"));
  status_->setSizeGripEnabled(true);
  status_label_ = new QLabel(status_);
  status_label_->setObjectName(QStringLiteral("statusText"));
  status_label_->setTextFormat(Qt::PlainText);
  status_->addWidget(status_label_, 1);
  rows_label_ = new QLabel(status_);
  rows_label_->setObjectName(QStringLiteral("rowsText"));
  rows_label_->setTextFormat(Qt::PlainText);
  status_->addPermanentWidget(rows_label_);
  QShortcut *find = new QShortcut(QKeySequence::Find, this);
  find->setContext(Qt::WindowShortcut);
  connect(find, &QShortcut::activated, this, &ViewsPanel::FocusFilter);

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
  for (int t = 0; t < kTabCount; t++) {
    int v = kTabViews[t];
    QString name = v < 4 ? FromSjis(g_config.TAB_NAME[v])
                         : QString::fromLatin1(v == VIEW_GRAPH ? "Graph" : "Callers");
    tabs_->setTabText(t, (v == current_ ? QStringLiteral("* ") : QStringLiteral("  ")) + name);
  }
  relabelling_ = false;
}

void ViewsPanel::OnTabChanged(int index) {
  if (relabelling_ || ViewAt(index) < 0) return;
  current_ = ViewAt(index);
  RelabelTabs();
  UpdateRowsText();
  Q_EMIT TabChosen(current_);
}

void ViewsPanel::SelectView(int view) {
  int tab = TabOf(view);
  if (tab < 0) return;
  QSignalBlocker block(tabs_);
  tabs_->setCurrentIndex(tab);
  current_ = view;
  RelabelTabs();
  UpdateRowsText();
}

void ViewsPanel::StepTab(int step) {
  int tab = (TabOf(current_) + step % kTabCount + kTabCount) % kTabCount;
  tabs_->setCurrentIndex(tab);  // as a click on it
}

void ViewsPanel::FocusFilter() {
  if (current_ != VIEW_FUNCTIONS && current_ != VIEW_CALLS) SelectView(VIEW_FUNCTIONS);
  boxes_[current_]->setFocus(Qt::ShortcutFocusReason);
  boxes_[current_]->selectAll();
}

QString ViewsPanel::RowsText() const {
  if (current_ != VIEW_FUNCTIONS && current_ != VIEW_CALLS) return QString();
  const ListFilter *f = filters_[current_];
  if (f->Text().isEmpty()) return QString();
  return QStringLiteral("%1 of %2 rows").arg(f->rowCount()).arg(models_[current_]->rowCount());
}

void ViewsPanel::UpdateRowsText() {
  rows_label_->setText(RowsText());
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
  // A long list is sorted off the GUI thread, so the window never freezes.
  if (models_[list]->Size() > kSortInBackground)
    models_[list]->SortInBackground(col, state == 2);
  else
    models_[list]->SortBy(col, state == 2);
  lists_[list]->horizontalHeader()->setSortIndicatorShown(true);
  lists_[list]->horizontalHeader()->setSortIndicator(
      col, state == 1 ? Qt::AscendingOrder : Qt::DescendingOrder);
}

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

void ViewsPanel::FitColumns() {
  int half = std::max(100, window()->width() / 2);
  for (int list = 0; list < 2; list++) {
    ListView *v = lists_[list];
    QHeaderView *hh = v->horizontalHeader();
    QFontMetrics hf(hh->font()), cf(v->font());
    int margin = hh->style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, hh);
    for (int c = 0; c < models_[list]->columnCount(); c++) {
      if (v->isColumnHidden(c)) continue;
      // The header's text, its margins and room for the sort indicator.
      QString head = models_[list]->headerData(c, Qt::Horizontal, Qt::DisplayRole).toString();
      int want = hf.horizontalAdvance(head) + 3 * margin + hf.height() + 4;
      want = std::max(want, ColumnWidth(list, c, g_config.FONT_SIZE_LV));
      if (IsNameColumn(list, c)) {
        for (const std::string &t : models_[list]->LongestCells(c, 16))
          want = std::max(want, cf.horizontalAdvance(FromSjis(t)) + 2 * margin + 8);
        want = std::min(want, half);
        hh->resizeSection(c, want);
      } else if (hh->sectionSize(c) < want) {
        hh->resizeSection(c, want);
      }
    }
  }
}

QList<int> ViewsPanel::ColumnWidths(int list) const {
  QList<int> out;
  if (list < 0 || list > 1) return out;
  for (int c = 0; c < models_[list]->columnCount(); c++)
    out << lists_[list]->horizontalHeader()->sectionSize(c);
  return out;
}

void ViewsPanel::SetColumnWidths(int list, const QList<int> &widths) {
  if (list < 0 || list > 1) return;
  for (int c = 0; c < models_[list]->columnCount() && c < widths.size(); c++) {
    if (lists_[list]->isColumnHidden(c)) continue;
    // A width the user could not even grab is not taken.
    if (widths[c] >= 8 && widths[c] <= 4000)
      lists_[list]->horizontalHeader()->resizeSection(c, widths[c]);
  }
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

// --- ResultViews -----------------------------------------------------------

int ViewsPanel::HasView(int view) {
  return TabOf(view) >= 0;
}

void ViewsPanel::InsertRow(int list, int index, int, const char *text) {
  if (list != VIEW_FUNCTIONS && list != VIEW_CALLS) return;
  {
    std::lock_guard<std::mutex> lock(count_mu_);
    row_count_[list]++;
  }
  queue_->PostRow(list, index, text);
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
    row = filters_[list]->StoreRow(best);
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

void ViewsPanel::AfterBatch() {
  models_[0]->Commit();
  models_[1]->Commit();
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
      case PortOp::INSERT_ROW:
        models_[op.list]->InsertRow(op.row, std::move(op.text), op.col);
        break;
      case PortOp::INSERT_ROWS: {
        const char *p = op.text.data(), *end = p + op.text.size();
        for (int k = 0; k < op.col && p + sizeof(int) <= end; k++) {
          int cells;
          memcpy(&cells, p, sizeof cells);
          p += sizeof cells;
          const char *start = p;
          for (int c = 0; c < cells && p < end; c++) p += strlen(p) + 1;
          models_[op.list]->InsertRow(op.row + k, std::string(start, p), cells);
        }
        break;
      }
      case PortOp::SET_CELL:
        models_[op.list]->SetCell(op.row, op.col, op.text.c_str());
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
        AfterBatch();
        if (op.fn) op.fn();
        break;
    }
  }
  flush_text();
  AfterBatch();
}
