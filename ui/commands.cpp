// The main window's menus and commands (see mainwindow.h): File (Open
// Folder, Open Files, Re-analyse, Recent, Quit), View (history, tabs, the
// search box, the graph's zoom), Function (what the context menus offer) and
// Help, each with its key shown; and the context menu of a function.
#include <QAction>
#include <QContextMenuEvent>
#include <QFileDialog>
#include <QKeySequence>
#include <QMenu>
#include <QMenuBar>
#include <QStyle>
#include <QToolBar>

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
  AddCommand(file, UiText("&Re-analyse"), CMD_REANALYSE, QKeySequence(Qt::Key_F5));
  recent_ = file->addMenu(UiText("Re&cent"));
  recent_->setObjectName(QStringLiteral("recentMenu"));
  FillRecentMenu();
  file->addSeparator();
  AddCommand(file, WithKey("&List Files in the Trace", "F4"), CMD_LIST_FILES, QKeySequence());
  file->addSeparator();
  AddCommand(file, UiText("&Quit."), CMD_QUIT, QKeySequence(Qt::CTRL | Qt::Key_Q));

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
  view->addSeparator();
  AddCommand(view, WithKey("&MIDI Notes On/Off", "F12"), CMD_MUSIC, QKeySequence());
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
  AddCommand(function, WithKey("&Tree", "Enter"), CMD_TREE, QKeySequence());
  AddCommand(function, WithKey("&Callers", "Shift+Enter"), CMD_CALLERS, QKeySequence());
  AddCommand(function, UiText("&view Function."), CMD_VIEW_FUNCTION,
             QKeySequence(Qt::CTRL | Qt::Key_E));
  AddCommand(function, UiText("view Source"), CMD_VIEW_SOURCE,
             QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_E));

  QMenu *help = menuBar()->addMenu(UiText("&Help"));
  AddCommand(help, UiText("List &Colours"), CMD_LEGEND, QKeySequence(Qt::SHIFT | Qt::Key_F1));
  AddCommand(help, UiText("&About"), CMD_ABOUT, QKeySequence(Qt::Key_F1));
}

void MainWindow::FillRecentMenu() {
  if (!recent_) return;
  recent_->clear();
  const QList<QStringList> sets = RecentPathSets();
  for (int i = 0; i < sets.size(); i++) {
    QString label = sets[i].join(QStringLiteral(", "));
    if (label.size() > 90) label = label.left(42) + QStringLiteral(" ... ") + label.right(42);
    QAction *a = recent_->addAction(QStringLiteral("&%1 %2").arg(i + 1).arg(label));
    a->setData(CMD_RECENT + i);
    a->setToolTip(sets[i].join(QLatin1Char('\n')));
    connect(a, &QAction::triggered, this, [this, i] { OpenRecent(i); });
  }
  recent_->setEnabled(!sets.isEmpty());
}

void MainWindow::OpenRecent(int i) {
  const QList<QStringList> sets = RecentPathSets();
  if (i >= 0 && i < sets.size()) DropPaths(sets[i]);
}

void MainWindow::Reanalyse() {
  if (shut_down_) return;
  if (WorkerBusy()) {
    ShowWarningBox(this, UiText("処理中は受け付けません。"));
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
      OpenInEditor(id, t);
      break;
    case CMD_CALLERS:
      // A call no source defines: the functions that name it.
      if (!t.name.isEmpty())
        NameCallersRequest(t.name, t.argc);
      else
        CallersRequest(t.sid, t.fid);
      break;
    case CMD_TREE:
      if (t.IsFunction()) TreeRequest(t.sid, t.fid);
      break;
    default:
      break;
  }
}

void MainWindow::OpenInEditor(int id, const FunctionTarget &t) {
  if (!t.IsFunction()) return;
  // Refused while a job runs: it renumbers the records these read.
  RequestEditor(id == CMD_VIEW_FUNCTION ? EditorView::kFunction : EditorView::kSource, t.sid,
                t.fid);
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
  menu.addSeparator();
  add(WithKey("Callers", "Shift+Enter"), CMD_CALLERS, QKeySequence());
  // On a call no source defines, Tree is the caller's.
  if (target.IsFunction() || target.IsEmpty())
    add(WithKey("Tree", "Enter"), CMD_TREE, QKeySequence());
  QAction *chosen = menu.exec(global);
  if (chosen) FunctionCommand(chosen->data().toInt(), target);
}
