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

#include "foundation/messages.h"
#include "foundation/settings.h"
#include "foundation/text.h"
#include "shell/app.h"
#include "shell/requests.h"
#include "ui/graph_page.h"
#include "ui/source_page.h"
#include "ui/pictures.h"
#include "ui/qtext.h"
#include "ui/status_bar.h"
#include "xref/list_columns.h"

namespace {

// Column widths in units of h (FONT_SIZE_LV / 2); -1 is the hidden column.
const int kFunctionUnits[FL_COLUMNS] = {6, 20, 6, 20, 8, 6, -1};
const int kCallUnits[CL_VIEW_COLUMNS] = {6, 18, 6, 18, 18, 6, 6, 7, 18, 7, 18, 7};

// The views in the order of their tabs: the Graph and the Source beside the
// CallTree, the Callers last.
const int kTabViews[] = {VIEW_FUNCTIONS, VIEW_CALLS,  VIEW_TREE,   VIEW_GRAPH,
                         VIEW_SOURCE,    VIEW_RESULT, VIEW_CALLERS};
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
  if (col < 0 || col >= CL_VIEW_COLUMNS) return 0;
  return kCallUnits[col] * h + 2;
}

ViewsPanel::ViewsPanel(PortQueue *queue, QWidget *parent) : QWidget(parent), queue_(queue) {
  rows_timer_.setSingleShot(true);
  connect(&rows_timer_, &QTimer::timeout, this, [this] { AfterBatch(true); });
  Fonts fonts = ConfigFonts();
  const QFont &tab_font = fonts.tab, &list_font = fonts.list, &result_font = fonts.result,
              &tree_font = fonts.tree;

  tabs_ = new QTabWidget(this);
  tabs_->setObjectName(QStringLiteral("tabs"));
  tabs_->tabBar()->setFont(tab_font);
  tabs_->setDocumentMode(true);

  for (int list = 0; list < 2; list++) BuildListPage(list, list_font);
  BuildCallTree(tree_font);
  BuildCallersTree(tree_font);
  BuildGraph();
  BuildSource(tree_font);
  BuildResult(result_font);
  AddTabs();
  BuildStatusBar();

  QVBoxLayout *layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(tabs_, 1);
  layout->addWidget(status_);

  queue_->SetApplier(this);
}

ViewsPanel::Fonts ViewsPanel::ConfigFonts() {
  const ST_CONFIG &cfg = g_config;
  Fonts f;
  f.tab = MakeFont(cfg.FONT_NAME_TAB, cfg.FONT_SIZE_TAB, false);
  f.list = MakeFont(cfg.FONT_NAME_LV, cfg.FONT_SIZE_LV, true);
  // The Result text takes the lists' size unless the settings choose its own.
  f.result = MakeFont(cfg.FONT_NAME_TV,
                      AppSettingGiven("FONT_SIZE_TV") ? cfg.FONT_SIZE_TV : cfg.FONT_SIZE_LV, true);
  f.tree = MakeFont(cfg.FONT_NAME_EDIT, cfg.FONT_SIZE_EDIT, true);
  return f;
}

void ViewsPanel::ApplyConfig() {
  Fonts f = ConfigFonts();
  tabs_->tabBar()->setFont(f.tab);
  for (ListView *v : lists_) {
    v->setFont(f.list);
    v->horizontalHeader()->setFont(f.list);
    v->verticalHeader()->setDefaultSectionSize(QFontMetrics(f.list).height() + 4);
  }
  result_->setFont(f.result);
  result_->SetLimit(g_config.MAX_RESULT_BUFFER * 1024);
  tree_->setFont(f.tree);
  callers_->setFont(f.tree);
  source_page_->View()->setFont(f.tree);
  RelabelTabs();
  UpdateParserLabel();
}

void ViewsPanel::BuildListPage(int list, const QFont &list_font) {
  models_[list] = new ListModel(list, this);
  unsigned names = 0;  // the columns FitColumns measures by their longest cells
  for (int c = 0; c < models_[list]->columnCount(); c++)
    if (IsNameColumn(list, c)) names |= 1u << c;
  models_[list]->TrackLongest(names);
  filters_[list] = new ListFilter(models_[list], this);
  // The page of a list: its search box above it.
  QWidget *page = new QWidget(tabs_);
  QVBoxLayout *box_layout = new QVBoxLayout(page);
  box_layout->setContentsMargins(0, 0, 0, 0);
  box_layout->setSpacing(0);
  boxes_[list] = new FilterBox(page);
  boxes_[list]->setObjectName(list == 0 ? QStringLiteral("functionFilter")
                                        : QStringLiteral("callFilter"));
  boxes_[list]->setPlaceholderText(UiText("Search (Ctrl+F)"));
  connect(boxes_[list], &QLineEdit::textChanged, this, [this, list](const QString &t) {
    filters_[list]->SetText(t);
    UpdateRowsText();
    lists_[list]->scrollToTop();  // the first match in sight
  });
  connect(boxes_[list], &QLineEdit::returnPressed, this, [this, list] { ChooseBestRow(list); });
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
  sizing_ = true;
  for (int c = 0; c < ncol; c++) hh->resizeSection(c, ColumnWidth(list, c, g_config.FONT_SIZE_LV));
  sizing_ = false;
  if (list == VIEW_FUNCTIONS) v->setColumnHidden(FL_CALLED, true);  // drives the colouring only
  connect(hh, &QHeaderView::sectionClicked, this, [this, list](int c) { ClickColumn(list, c); });
  connect(hh, &QHeaderView::sectionResized, this, [this, list](int c, int, int) {
    if (!sizing_ && c >= 0 && c < 32) hand_sized_[list] |= 1u << c;
  });
  ConnectListView(list, v);
  lists_[list] = v;
}

void ViewsPanel::ConnectListView(int list, ListView *v) {
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
}

TreeView *ViewsPanel::NewTreeView(TreeModel *model, const QString &name, const QFont &font) {
  TreeView *tv = new TreeView(tabs_);
  tv->setObjectName(name);
  tv->setModel(model);
  tv->setHeaderHidden(true);
  tv->setFont(font);
  tv->setIconSize(QSize(16, 16));
  tv->setUniformRowHeights(true);
  tv->setRootIsDecorated(true);
  tv->setEditTriggers(QAbstractItemView::NoEditTriggers);
  connect(tv, &TreeView::MenuAt, this, [this](const QModelIndex &i, const QPoint &global) {
    FunctionTarget t = TargetOfNode(i);
    if (t.IsFunction()) Q_EMIT FunctionMenu(t, global);
  });
  return tv;
}

void ViewsPanel::BuildCallTree(const QFont &tree_font) {
  tree_model_ = new TreeModel(this);
  tree_ = NewTreeView(tree_model_, QStringLiteral("callTree"), tree_font);
  // Enter on a node builds the tree of its function (Shift: its callers).
  connect(tree_, &TreeView::Entered, this, [this](const QModelIndex &i, bool shift) {
    FunctionTarget t = TargetOfNode(i);
    if (!t.IsFunction()) return;
    if (shift)
      Q_EMIT CallersRequested(t.sid, t.fid);
    else
      Q_EMIT TreeRequested(VIEW_TREE, t.sid, t.fid);
  });
}

void ViewsPanel::BuildCallersTree(const QFont &tree_font) {
  callers_model_ = new TreeModel(this);
  callers_ = NewTreeView(callers_model_, QStringLiteral("callersTree"), tree_font);
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
}

void ViewsPanel::BuildGraph() {
  graph_page_ = new GraphPage(tabs_);
  graph_page_->setObjectName(QStringLiteral("graphPage"));
  graph_ = graph_page_->View();
  graph_->setObjectName(QStringLiteral("graphView"));
  graph_->ShowText(UiText("No graph yet: double-click a function to draw its tree."));
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
}

void ViewsPanel::BuildResult(const QFont &result_font) {
  result_ = new ResultEdit(tabs_);
  result_->setObjectName(QStringLiteral("result"));
  result_->setFont(result_font);
  result_->SetLimit(g_config.MAX_RESULT_BUFFER * 1024);
  result_->setContextMenuPolicy(Qt::PreventContextMenu);
  // The program writes it; the user selects and copies.
  result_->setReadOnly(true);
  result_->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
  // Dropped files are for the main window, not text for the edit.
  result_->setAcceptDrops(false);
  result_->viewport()->setAcceptDrops(false);
}

void ViewsPanel::AddTabs() {
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
        page = graph_page_;
        break;
      case VIEW_SOURCE:
        page = source_page_;
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
}

void ViewsPanel::BuildStatusBar() {
  status_ = new QStatusBar(this);
  status_->setObjectName(QStringLiteral("status"));
  status_->setSizeGripEnabled(true);
  status_label_ = new ElidedLabel(status_);
  status_label_->setObjectName(QStringLiteral("statusText"));
  status_->addWidget(status_label_, 1);
  lost_ = new LostSourcesNote(status_);
  lost_->setObjectName(QStringLiteral("lostSources"));
  status_->addPermanentWidget(lost_);
  parser_label_ = new QLabel(status_);
  parser_label_->setObjectName(QStringLiteral("parserText"));
  parser_label_->setTextFormat(Qt::PlainText);
  status_->addPermanentWidget(parser_label_);
  UpdateParserLabel();
  rows_label_ = new QLabel(status_);
  rows_label_->setObjectName(QStringLiteral("rowsText"));
  rows_label_->setTextFormat(Qt::PlainText);
  status_->addPermanentWidget(rows_label_);
  QShortcut *find = new QShortcut(QKeySequence::Find, this);
  find->setContext(Qt::WindowShortcut);
  connect(find, &QShortcut::activated, this, &ViewsPanel::FocusFilter);
}

ViewsPanel::~ViewsPanel() {}

bool ViewsPanel::OnGuiThread() const {
  return queue_->OnGuiThread();
}

void ViewsPanel::RelabelTabs() {
  relabelling_ = true;
  for (int t = 0; t < kTabCount; t++) {
    int v = kTabViews[t];
    QString name = v < 4              ? UiTextSjis(g_config.TAB_NAME[v])
                   : v == VIEW_GRAPH  ? UiText(N_("Graph"))
                   : v == VIEW_SOURCE ? UiText(N_("Source"))
                                      : UiText(N_("Callers"));
    tabs_->setTabText(t, (v == current_ ? QStringLiteral("* ") : QStringLiteral("  ")) + name);
  }
  relabelling_ = false;
}

void ViewsPanel::OnTabChanged(int index) {
  if (relabelling_ || ViewAt(index) < 0) return;
  current_ = ViewAt(index);
  if (current_ == VIEW_SOURCE) ShowSourceNow();
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
  if (current_ == VIEW_SOURCE) ShowSourceNow();
  RelabelTabs();
  UpdateRowsText();
}

void ViewsPanel::StepTab(int step) {
  int tab = (TabOf(current_) + step % kTabCount + kTabCount) % kTabCount;
  tabs_->setCurrentIndex(tab);  // as a click on it
}

void ViewsPanel::FocusFilter() {
  if (current_ == VIEW_SOURCE) {  // the search inside the source shown
    source_page_->OpenFind();
    return;
  }
  if (current_ != VIEW_FUNCTIONS && current_ != VIEW_CALLS) SelectView(VIEW_FUNCTIONS);
  boxes_[current_]->setFocus(Qt::ShortcutFocusReason);
  boxes_[current_]->selectAll();
}

QString ViewsPanel::RowsText() const {
  if (current_ != VIEW_FUNCTIONS && current_ != VIEW_CALLS) return QString();
  const ListFilter *f = filters_[current_];
  if (f->Text().isEmpty()) return QString();
  return UiText("%1 of %2 rows").arg(f->rowCount()).arg(models_[current_]->rowCount());
}

void ViewsPanel::UpdateRowsText() {
  rows_label_->setText(RowsText());
}

void ViewsPanel::SetStatusText(const char *text) {
  SetStatusString(FromSjis(text));
}

void ViewsPanel::SetStatusString(const QString &text) {
  status_label_->SetFullText(text);
}

QString ViewsPanel::StatusText() const {
  return status_label_->FullText();
}

void ViewsPanel::UpdateParserLabel() {
  parser_label_->setText(ParserLabelText());
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

void ViewsPanel::FitColumns() {
  int half = std::max(100, window()->width() / 2);
  sizing_ = true;
  for (int list = 0; list < 2; list++) {
    ListView *v = lists_[list];
    QHeaderView *hh = v->horizontalHeader();
    QFontMetrics hf(hh->font()), cf(v->font());
    int margin = hh->style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, hh);
    for (int c = 0; c < models_[list]->columnCount(); c++) {
      if (v->isColumnHidden(c)) continue;
      if (c < 32 && (hand_sized_[list] >> c & 1)) continue;  // the user's width stays
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
  sizing_ = false;
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
  sizing_ = true;
  for (int c = 0; c < models_[list]->columnCount() && c < widths.size(); c++) {
    if (lists_[list]->isColumnHidden(c)) continue;
    // A width the user could not even grab is not taken.
    if (widths[c] >= 8 && widths[c] <= 4000)
      lists_[list]->horizontalHeader()->resizeSection(c, widths[c]);
  }
  sizing_ = false;
}
