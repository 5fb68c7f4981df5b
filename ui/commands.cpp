// The main window's menus and commands (see mainwindow.h): File (Open
// Folder, Open Files, Re-analyse, Recent, Quit), View (history, tabs, the
// search box, the graph's zoom), Function (what the context menus offer) and
// Help, each with its key shown; and the context menu of a function.
#include <QAction>
#include <QContextMenuEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QKeySequence>
#include <QMenu>
#include <QMenuBar>
#include <QStyle>
#include <QToolBar>

#include "ext/ext_settings.h"
#include "graph/graph.h"
#include "platform/keys.h"
#include "platform/sys.h"
#include "foundation/messages.h"
#include "shell/requests.h"
#include "shell/worker.h"
#include "ui/desktop_settings.h"
#include "ui/dialogs.h"
#include "ui/mainwindow.h"
#include "ui/qtext.h"
#include "ui/views.h"

namespace {

OpenDialogHandler g_open_handler;

// A key shown in a menu without being bound there: the key is handled
// where it acts (a view, the key filter), and binding it twice would make
// it ambiguous. The text is one of the catalogue's.
QString WithKey(const char *text, const char *key) {
  return UiText(text) + QLatin1Char('\t') + QString::fromLatin1(key);
}

}  // namespace

void SetOpenDialogHandler(OpenDialogHandler handler) {
  g_open_handler = std::move(handler);
}

QStringList AskPaths(QWidget *owner, bool folder) {
  if (g_open_handler) return g_open_handler(owner, folder);
  if (folder) {
    QString dir = QFileDialog::getExistingDirectory(owner, UiText("Open Folder"));
    return dir.isEmpty() ? QStringList() : QStringList{dir};
  }
  return QFileDialog::getOpenFileNames(owner, UiText("Open Files"), QString(),
                                       UiText("C and C++ sources (*.c *.cpp *.h);;"
                                              "All files (*)"));
}

QAction *MainWindow::AddCommand(QMenu *menu, const QString &text, int id, const QKeySequence &key) {
  QAction *a = menu->addAction(text);
  a->setData(id);
  // The action's own signal: a shortcut, the menu and the tool bar all come
  // this way, once.
  connect(a, &QAction::triggered, this, [this, id] { Command(id); });
  if (!key.isEmpty()) {
    a->setShortcut(key);
    a->setShortcutContext(Qt::WindowShortcut);
  }
  return a;
}

void MainWindow::BuildMenus() {
  QMenu *file = menuBar()->addMenu(UiText("&File"));
  AddCommand(file, UiText("Open &Folder..."), CMD_OPEN_FOLDER, QKeySequence::Open);
  AddCommand(file, UiText("Open F&iles..."), CMD_OPEN_FILES,
             QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_O));
  reanalyse_ = AddCommand(file, UiText("&Re-analyse"), CMD_REANALYSE, QKeySequence(Qt::Key_F5));
  recent_ = file->addMenu(UiText("Re&cent"));
  recent_->setObjectName(QStringLiteral("recentMenu"));
  // Paths may go while the program runs: the entries are looked at anew.
  connect(recent_, &QMenu::aboutToShow, this, &MainWindow::FillRecentMenu);
  FillRecentMenu();
  file->addSeparator();
  AddCommand(file, UiText("&Settings..."), CMD_SETTINGS, QKeySequence(Qt::CTRL | Qt::Key_Comma));
  list_files_ =
      AddCommand(file, WithKey("&List Files in the Trace", "F4"), CMD_LIST_FILES, QKeySequence());
  file->addSeparator();
  quit_ = AddCommand(file, UiText("&Quit."), CMD_QUIT, QKeySequence(Qt::CTRL | Qt::Key_Q));

  QMenu *view = menuBar()->addMenu(UiText("&View"));
  back_ = AddCommand(view, UiText("&Back"), CMD_BACK, QKeySequence(Qt::ALT | Qt::Key_Left));
  forward_ =
      AddCommand(view, UiText("&Forward"), CMD_FORWARD, QKeySequence(Qt::ALT | Qt::Key_Right));
  view->addSeparator();
  // The key filter switches tabs (also Ctrl+PgDn and Ctrl+PgUp).
  AddCommand(view, WithKey("&Next Tab", "Ctrl+Tab"), CMD_NEXT_TAB, QKeySequence());
  AddCommand(view, WithKey("&Previous Tab", "Ctrl+Shift+Tab"), CMD_PREVIOUS_TAB, QKeySequence());
  view->addSeparator();
  AddCommand(view, WithKey("&Search", "Ctrl+F"), CMD_FIND, QKeySequence());
  view->addSeparator();
  AddCommand(view, WithKey("Graph: Zoom &In", "+"), CMD_ZOOM_IN, QKeySequence());
  AddCommand(view, WithKey("Graph: Zoom &Out", "-"), CMD_ZOOM_OUT, QKeySequence());
  AddCommand(view, WithKey("Graph: Fi&t", "0"), CMD_FIT, QKeySequence());
  AddCommand(view, UiText("Graph: Save Picture &As..."), CMD_SAVE_PICTURE,
             QKeySequence(Qt::CTRL | Qt::Key_S));
  view->addSeparator();
  music_ = AddCommand(view, WithKey("&MIDI Notes On/Off", "F12"), CMD_MUSIC, QKeySequence());
  music_->setCheckable(true);
  // Back and Forward as buttons too, with their keys in the tooltips.
  QToolBar *bar = addToolBar(UiText("Navigation"));
  bar->setObjectName(QStringLiteral("navigationBar"));
  bar->setMovable(false);
  back_->setIcon(style()->standardIcon(QStyle::SP_ArrowBack));
  forward_->setIcon(style()->standardIcon(QStyle::SP_ArrowForward));
  back_->setToolTip(UiText("Back to the previous tree (Alt+Left)"));
  forward_->setToolTip(UiText("Forward to the next tree (Alt+Right)"));
  bar->addAction(back_);
  bar->addAction(forward_);
  UpdateHistoryActions();

  // The context menu's commands, on the function of the view shown.
  QMenu *function = menuBar()->addMenu(UiText("F&unction"));
  function_menu_ = function;
  AddCommand(function, WithKey("&Tree", "Enter"), CMD_TREE, QKeySequence());
  AddCommand(function, WithKey("&Callers", "Shift+Enter"), CMD_CALLERS, QKeySequence());
  AddCommand(function, UiText("&view Function."), CMD_VIEW_FUNCTION,
             QKeySequence(Qt::CTRL | Qt::Key_E));
  AddCommand(function, UiText("view Source"), CMD_VIEW_SOURCE,
             QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_E));
  AddCommand(function, UiText("&Go to Definition"), CMD_GO_TO_DEFINITION,
             QKeySequence(Qt::CTRL | Qt::Key_B));
  AddCommand(function, UiText("Show in the &Source Tab"), CMD_SHOW_SOURCE,
             QKeySequence(Qt::CTRL | Qt::Key_U));

  // What the menus show (what can act, what is on) is brought up to date as
  // each opens; a shortcut of a disabled item does nothing.
  for (QAction *m : menuBar()->actions())
    connect(m->menu(), &QMenu::aboutToShow, this, &MainWindow::UpdateMenuStates);
  UpdateMenuStates();

  QMenu *help = menuBar()->addMenu(UiText("&Help"));
  AddCommand(help, UiText("List &Colours"), CMD_LEGEND, QKeySequence(Qt::SHIFT | Qt::Key_F1));
  AddCommand(help, UiText("&About"), CMD_ABOUT, QKeySequence(Qt::Key_F1));
}

void MainWindow::UpdateMenuStates() {
  // The function commands need something listed.
  bool loaded = ProjectIsOpen() && views_->Model(VIEW_FUNCTIONS)->Size() > 0;
  if (function_menu_)
    for (QAction *a : function_menu_->actions()) a->setEnabled(loaded);
  if (music_) music_->setChecked(MusicEnabled() != 0);
  if (list_files_) {
    // Without a trace file the list would go nowhere.
    bool trace = GetEnv("VELMORA_TRACE") && *GetEnv("VELMORA_TRACE");
    list_files_->setEnabled(trace && ProjectIsOpen() && !WorkerBusy());
    list_files_->setToolTip(trace ? QString()
                                  : UiText("The trace is off: VELMORA_TRACE names its file"));
  }
}

namespace {

// 1 when at least one of the paths is still there to be analysed.
bool AnyPathExists(const QStringList &paths) {
  for (const QString &p : paths)
    if (QFileInfo::exists(p)) return true;
  return false;
}

}  // namespace

void MainWindow::FillRecentMenu() {
  if (!recent_) return;
  recent_->clear();
  const QList<QStringList> sets = RecentPathSets();
  for (int i = 0; i < sets.size(); i++) {
    QString label = sets[i].join(QStringLiteral(", "));
    if (label.size() > 90) label = label.left(42) + QStringLiteral(" ... ") + label.right(42);
    QAction *a = recent_->addAction(QStringLiteral("&%1 %2").arg(i + 1).arg(label));
    a->setData(CMD_RECENT + i);
    // A set whose paths are all gone can only end in "no file": greyed out.
    bool there = AnyPathExists(sets[i]);
    a->setEnabled(there);
    a->setToolTip((there ? QString() : UiText("Gone: ")) + sets[i].join(QLatin1Char('\n')));
    connect(a, &QAction::triggered, this, [this, i] { OpenRecent(i); });
  }
  recent_->setEnabled(!sets.isEmpty());
}

void MainWindow::OpenRecent(int i) {
  const QList<QStringList> sets = RecentPathSets();
  if (i < 0 || i >= sets.size()) return;
  // Checked again as it is chosen: the open project stays when nothing of
  // the set is left to take its place.
  if (!AnyPathExists(sets[i])) {
    views_->SetStatusString(UiText("Not opened: the paths of that entry are gone"));
    FillRecentMenu();
    return;
  }
  DropPaths(sets[i]);
}

void MainWindow::Reanalyse() {
  if (shut_down_) return;
  if (WorkerBusy()) {
    // The job is stopped as Escape stops it, and the analysis follows its end.
    StopAnswer a = AskStopJob(this, RunningJobText(), UiText("Stop and analyse again"));
    if (a == StopAnswer::kCancel) return;
    if (a == StopAnswer::kStop && WorkerBusy()) EscapeRequest();
    reanalyse_when_idle_ = true;
    idle_timer_.start();
    return;
  }
  if (paths_.isEmpty()) {
    views_->SetStatusText(Msg("Nothing to analyse again: open a folder or files first (Ctrl+O)"));
    return;
  }
  // The same paths again: the project they made goes without a question.
  if (ProjectIsOpen()) {
    DiscardProject();
    views_->ClearViews();
  }
  QStringList again = paths_;
  DropPaths(again);
}

void MainWindow::Command(int id) {
  switch (id) {
    case CMD_QUIT:
      // close() asks first while a job runs.
      close();
      break;
    case CMD_VIEW_FUNCTION:
    case CMD_VIEW_SOURCE:
    case CMD_GO_TO_DEFINITION:
    case CMD_SHOW_SOURCE:
    case CMD_CALLERS:
    case CMD_TREE:
      FunctionCommand(id, views_->CurrentTarget());
      break;
    case CMD_ABOUT: {
      AboutBox box(this);
      box.exec();
      break;
    }
    case CMD_OPEN_FOLDER:
    case CMD_OPEN_FILES: {
      if (shut_down_ || WorkerBusy()) return;
      QStringList paths = AskPaths(this, id == CMD_OPEN_FOLDER);
      if (!paths.isEmpty()) DropPaths(paths);
      break;
    }
    case CMD_REANALYSE:
      Reanalyse();
      break;
    case CMD_LIST_FILES:
      KeyCommand(Qt::Key_F4);
      break;
    case CMD_MUSIC:
      KeyCommand(Qt::Key_F12);
      break;
    case CMD_BACK:
      GoThroughHistory(-1);
      break;
    case CMD_FORWARD:
      GoThroughHistory(1);
      break;
    case CMD_NEXT_TAB:
      views_->StepTab(1);
      break;
    case CMD_PREVIOUS_TAB:
      views_->StepTab(-1);
      break;
    case CMD_FIND:
      views_->FocusFilter();
      break;
    case CMD_ZOOM_IN:
    case CMD_ZOOM_OUT:
    case CMD_FIT: {
      GraphView *g = views_->Graph();
      views_->SelectView(VIEW_GRAPH);
      if (id == CMD_ZOOM_IN) g->ZoomIn();
      if (id == CMD_ZOOM_OUT) g->ZoomOut();
      if (id == CMD_FIT) g->Fit();
      break;
    }
    case CMD_SAVE_PICTURE:
      SavePicture();
      break;
    case CMD_SETTINGS:
      OpenSettings();
      break;
    case CMD_LEGEND: {
      ColourLegend legend(this);
      legend.exec();
      break;
    }
    default:
      break;
  }
}

void MainWindow::FunctionCommand(int id, const FunctionTarget &t) {
  if (shut_down_ || t.IsEmpty()) return;
  switch (id) {
    case CMD_VIEW_FUNCTION:
    case CMD_VIEW_SOURCE:
    case CMD_GO_TO_DEFINITION:
      OpenInEditor(id, t);
      break;
    case CMD_CALLERS:
      // A call no source defines: the functions that name it, with any
      // number of arguments.
      if (!t.name.isEmpty())
        NameCallersRequest(t.name, -1);
      else
        CallersRequest(t.sid, t.fid);
      break;
    case CMD_TREE:
      if (t.IsFunction()) TreeRequest(t.sid, t.fid);
      break;
    case CMD_SHOW_SOURCE: {
      // From a call in the Source tab: on to the function it reaches; from
      // a Call List row: the call in its caller.
      FunctionTarget to = t;
      if (views_->CurrentView() == VIEW_SOURCE) to.call_sid = 0, to.call_line = to.call_column = -1;
      if (to.IsFunction() || to.IsCall()) views_->ShowSource(to);
      break;
    }
    default:
      break;
  }
}

void MainWindow::OpenInEditor(int id, const FunctionTarget &t) {
  int started = 0;
  ApplySettingsChanges();  // an EDITOR changed in the file counts from now
  // Refused while a job runs: it renumbers the records these read.
  if (id == CMD_VIEW_SOURCE && t.IsCall()) {
    started = RequestEditorAtLine(t.call_sid, t.call_line);  // the call itself
  } else if (id == CMD_GO_TO_DEFINITION && t.IsCall() && !t.name.isEmpty()) {
    Q_EMIT views_->NotDefined(FromSjis(t.name.toStdString()));
  } else if (t.IsFunction()) {
    started = RequestEditor(id == CMD_VIEW_FUNCTION ? EditorView::kFunction : EditorView::kSource,
                            t.sid, t.fid);
  }
  if (started) WatchLaunches();
}

void MainWindow::WatchLaunches() {
  if (shut_down_) return;
  if (!launch_timer_.isActive()) launch_timer_.start();
  // A program that cannot be started at all is told at once.
  QMetaObject::invokeMethod(
      this, [this] { PollEditorLaunches(); }, Qt::QueuedConnection);
}

void MainWindow::PollEditorLaunches() {
  std::string why;
  int r = PollLaunches(&why);
  if (r < 0) {
    // One failure a time; the timer keeps polling the others.
    views_->SetStatusString(UiText("The editor did not start: %1 (see EDITOR and EDITOR_CMD "
                                   "in the settings)")
                                .arg(QString::fromLocal8Bit(why.c_str())));
  } else if (r == 0) {
    launch_timer_.stop();
  }
}

void MainWindow::ShowFunctionMenu(const FunctionTarget &target, const QPoint &global) {
  if (!target.IsEmpty()) ShowMenu(target, global);
}

void MainWindow::contextMenuEvent(QContextMenuEvent *event) {
  // A right-click anywhere else in the window: the Function List's menu, on
  // its selected row, while that view is selected.
  if (views_->CurrentView() == VIEW_FUNCTIONS)
    ShowMenu(views_->CurrentTarget(), event->globalPos());
  event->accept();
}

void MainWindow::ShowGraphMenu(const QPoint &global) {
  if (shut_down_) return;
  QMenu menu(this);
  menu.setObjectName(QStringLiteral("graphMenu"));
  QAction *save = menu.addAction(UiText("Save Picture &As..."));
  save->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
  save->setData(CMD_SAVE_PICTURE);
  save->setEnabled(!views_->Graph()->File().isEmpty());
  QAction *fit = menu.addAction(WithKey("Fi&t", "0"));
  fit->setData(CMD_FIT);
  QAction *chosen = menu.exec(global);
  if (chosen) Command(chosen->data().toInt());
}

void MainWindow::ShowMenu(const FunctionTarget &target, const QPoint &global) {
  if (shut_down_) return;
  QMenu menu(QStringLiteral("dummy"), this);
  menu.setObjectName(QStringLiteral("contextMenu"));
  auto add = [&](const QString &text, int id, const QKeySequence &key) {
    QAction *a = menu.addAction(text);
    a->setData(id);
    if (!key.isEmpty()) a->setShortcut(key);
    return a;
  };
  add(UiText("&view Function."), CMD_VIEW_FUNCTION, QKeySequence(Qt::CTRL | Qt::Key_E));
  add(UiText("view Source"), CMD_VIEW_SOURCE, QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_E));
  add(UiText("&Go to Definition"), CMD_GO_TO_DEFINITION, QKeySequence(Qt::CTRL | Qt::Key_B));
  add(UiText("Show in the &Source Tab"), CMD_SHOW_SOURCE, QKeySequence(Qt::CTRL | Qt::Key_U));
  menu.addSeparator();
  add(WithKey("Callers", "Shift+Enter"), CMD_CALLERS, QKeySequence());
  // On a call no source defines, Tree is the caller's.
  if (target.IsFunction() || target.IsEmpty())
    add(WithKey("Tree", "Enter"), CMD_TREE, QKeySequence());
  QAction *chosen = menu.exec(global);
  if (chosen) FunctionCommand(chosen->data().toInt(), target);
}
