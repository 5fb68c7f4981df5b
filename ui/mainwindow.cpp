// The main window (see mainwindow.h): its creation, the key filter, drops
// and closing. Commands and menus are in commands.cpp, trees and their
// history in navigation.cpp, the ports in window_ports.cpp, the progress
// window and the wait box in feedback_windows.cpp.
#include "ui/mainwindow.h"

#include <QApplication>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QFontMetrics>
#include <QGridLayout>
#include <QKeyEvent>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QScreen>
#include <QSpacerItem>
#include <QTableView>
#include <QUrl>

#include <vector>

#include "ext/ext_settings.h"
#include "foundation/messages.h"
#include "foundation/settings.h"
#include "foundation/text.h"
#include "foundation/trace.h"
#include "graph/graph.h"
#include "platform/codepage.h"
#include "platform/keys.h"
#include "shell/requests.h"
#include "shell/worker.h"
#include "ui/desktop_settings.h"
#include "ui/dialogs.h"
#include "ui/graph_page.h"
#include "ui/pictures.h"
#include "ui/qtext.h"
#include "ui/status_bar.h"
#include "ui/views.h"
#include "xref/list_columns.h"

namespace {

const char kTitle[] = "Velmora Ver 0.10";

WarningHandler g_warning_handler;
ConfirmHandler g_confirm_handler;
StopQuitHandler g_stop_quit_handler;

// A message box is as wide as its text, and the title bar cut a short box's
// title ("Warning") to a few letters. In a translated interface the box is
// made wide enough for its whole title beside the title bar's buttons; the
// built-in interface keeps its boxes as they always were.
void KeepTitleWhole(QMessageBox *box) {
  if (MessagesCount() == 0) return;
  QGridLayout *grid = qobject_cast<QGridLayout *>(box->layout());
  if (!grid) return;
  // The title bar's font is the window manager's: allow a quarter more than
  // the box's own, and room for the icon and the buttons.
  int need = QFontMetrics(box->font()).horizontalAdvance(box->windowTitle()) * 5 / 4 + 160;
  grid->addItem(new QSpacerItem(need, 0, QSizePolicy::Minimum, QSizePolicy::Expanding),
                grid->rowCount(), 0, 1, grid->columnCount());
}

// Ctrl+Tab, Ctrl+Shift+Tab, Ctrl+PgDn, Ctrl+PgUp.
bool SwitchesTab(const QKeyEvent *k) {
  if (!(k->modifiers() & Qt::ControlModifier) || (k->modifiers() & Qt::AltModifier)) return false;
  int key = k->key();
  return key == Qt::Key_Tab || key == Qt::Key_Backtab || key == Qt::Key_PageDown ||
         key == Qt::Key_PageUp;
}

// The one application-wide key filter. It looks at key presses as they reach
// a top-level window, before any widget sees them, so each physical press is
// seen exactly once whichever window or view has the focus.
class KeyFilter : public QObject {
 public:
  KeyFilter(MainWindow *w) : QObject(w), w_(w) {}

 protected:
  bool eventFilter(QObject *obj, QEvent *event) override {
    if (event->type() == QEvent::KeyPress && obj->isWindowType()) {
      QKeyEvent *k = static_cast<QKeyEvent *>(event);
      if (k->key() == Qt::Key_Escape) {
        // Only a running job listens for it; a press while idle (closing a
        // box, say) must not stop the next job at its first poll.
        if (WorkerBusy()) EscapeRequest();
      } else if (SwitchesTab(k)) {
        // Here, not as shortcuts: a view takes Tab and PgUp/PgDn for rows.
        w_->Command(k->key() == Qt::Key_Backtab || k->key() == Qt::Key_PageUp ||
                            (k->modifiers() & Qt::ShiftModifier)
                        ? CMD_PREVIOUS_TAB
                        : CMD_NEXT_TAB);
        return true;
      } else if ((k->key() == Qt::Key_Return || k->key() == Qt::Key_Enter) &&
                 WorkerAsksToRender()) {
        // The answer to the question in the status line, and nothing else.
        if (!k->isAutoRepeat()) AnswerRender();
        return true;
      } else if (!k->isAutoRepeat()) {
        w_->KeyCommand(k->key());
      }
    }
    return false;
  }

 private:
  MainWindow *w_;
};

}  // namespace

void SetWarningHandler(WarningHandler handler) {
  g_warning_handler = std::move(handler);
}
void SetConfirmHandler(ConfirmHandler handler) {
  g_confirm_handler = std::move(handler);
}

void ShowWarningBox(QWidget *owner, const QString &text) {
  if (g_warning_handler) {
    g_warning_handler(owner, text);
    return;
  }
  QMessageBox box(QMessageBox::Warning, UiText("Warning"), text, QMessageBox::Ok, owner);
  KeepTitleWhole(&box);
  box.exec();
}

void SetStopQuitHandler(StopQuitHandler handler) {
  g_stop_quit_handler = std::move(handler);
}

StopAnswer AskStopJob(QWidget *owner, const QString &text, const QString &stop_text) {
  if (g_stop_quit_handler)
    return g_stop_quit_handler(owner, text) ? StopAnswer::kStop : StopAnswer::kCancel;
  QMessageBox box(QMessageBox::Warning, UiText("Warning"), text, QMessageBox::NoButton, owner);
  box.setObjectName(QStringLiteral("stopQuestion"));
  QPushButton *stop = box.addButton(stop_text, QMessageBox::AcceptRole);
  KeepTitleWhole(&box);
  box.addButton(QMessageBox::Cancel);
  box.setDefaultButton(stop);
  // A question about a job that has ended is none: it closes itself.
  bool ended = false;
  QTimer watch;
  watch.setInterval(50);
  QObject::connect(&watch, &QTimer::timeout, &box, [&] {
    if (WorkerBusy()) return;
    ended = true;
    box.done(0);
  });
  watch.start();
  box.exec();
  if (ended) return StopAnswer::kJobEnded;
  return box.clickedButton() == stop ? StopAnswer::kStop : StopAnswer::kCancel;
}

bool AskConfirmation(QWidget *owner, const QString &caption, const QString &text) {
  if (g_confirm_handler) return g_confirm_handler(owner, caption, text);
  // Task-modal and without owner: it blocks the whole program, like the
  // platform's box of that kind.
  QMessageBox box(QMessageBox::Information, caption, text, QMessageBox::Ok | QMessageBox::Cancel);
  box.setWindowModality(Qt::ApplicationModal);
  KeepTitleWhole(&box);
  return box.exec() == QMessageBox::Ok;
}

// ---------------------------------------------------------------------------
// MainWindow

MainWindow::MainWindow(QWidget *parent) : QMainWindow(parent) {
  setObjectName(QStringLiteral("mainWindow"));
  setWindowTitle(QString::fromLatin1(kTitle));
  setWindowIcon(ProgramIcon());
  // The default first size; later runs come back as they were left.
  resize(g_config.WIDTH, g_config.HEIGHT);
  setAcceptDrops(false);

  views_ = new ViewsPanel(&queue_, this);
  setCentralWidget(views_);
  BuildMenus();
  connect(views_, &ViewsPanel::TreeRequested, this,
          [this](int, int sid, int fid) { TreeRequest(sid, fid); });
  connect(views_, &ViewsPanel::TabChosen, this, [this](int view) {
    // While an analysis runs the lists are not ready for a double-click.
    if (ProjectIsOpen() && !WorkerBusy()) SetStatus(StatusFor(view));
  });
  connect(views_, &ViewsPanel::FunctionMenu, this, &MainWindow::ShowFunctionMenu);
  connect(views_, &ViewsPanel::CallersRequested, this,
          [this](int sid, int fid) { CallersRequest(sid, fid); });
  connect(views_, &ViewsPanel::CallersOfName, this,
          [this](const QByteArray &sjis, int argc) { NameCallersRequest(sjis, argc); });
  connect(views_, &ViewsPanel::NotDefined, this, [this](const QString &name) {
    views_->SetStatusText(
        ToSjis(UiText("%1 is not defined in the analysed code").arg(name)).c_str());
  });
  RestoreState();

  idle_timer_.setInterval(50);
  connect(&idle_timer_, &QTimer::timeout, this, [this] {
    if (WorkerBusy() || shut_down_) return;
    idle_timer_.stop();
    if (reanalyse_when_idle_) {
      reanalyse_when_idle_ = false;
      Command(CMD_REANALYSE);
    }
  });
  launch_timer_.setInterval(200);
  connect(&launch_timer_, &QTimer::timeout, this, [this] { PollEditorLaunches(); });
  progress_timer_.setInterval(150);
  connect(&progress_timer_, &QTimer::timeout, this, [this] { progress_port_.ApplyTo(progress_); });

  key_filter_ = new KeyFilter(this);
  qApp->installEventFilter(key_filter_);

  g_front.main_window = &port_;
  g_front.progress = &progress_port_;
  g_front.wait_box = &wait_port_;
  g_front.views = views_;
  g_front.results = views_;
  // The Graph tab shows every rendered tree; as the viewer, it replaces the
  // external one. Large graphs wait for the user's word.
  g_front.in_window = 1;
  g_front.ask_large = 1;
  // As the viewer, the Graph tab needs no picture on the desktop either.
  if (g_config.GRAPH_IN_WINDOW) g_front.view = 0;
  graph_in_window_ = g_config.GRAPH_IN_WINDOW;
  g_front.no_picture = g_config.GRAPH_IN_WINDOW ? 1 : 0;
  g_front.graph_depth = views_->GraphTab()->Depth();
  connect(views_->GraphTab(), &GraphPage::DepthChosen, this, &MainWindow::ChooseGraphDepth);
  export_timer_.setInterval(50);
  connect(&export_timer_, &QTimer::timeout, this, &MainWindow::FinishPictureExport);
  connect(views_->Graph(), &GraphView::GraphMenu, this, &MainWindow::ShowGraphMenu);
  depth_timer_.setInterval(50);
  connect(&depth_timer_, &QTimer::timeout, this, &MainWindow::FinishDepthRender);
  SetStatus(Msg(g_config.STAT_MESS[0]));
}

MainWindow::~MainWindow() {
  Shutdown();
  qApp->removeEventFilter(key_filter_);
  // The views answer to the queue, a member that goes before the children.
  queue_.SetApplier(nullptr);
  delete views_;
  views_ = nullptr;
}

const char *MainWindow::StatusFor(int view) {
  // The Result, Callers and Graph views have no entry of their own; they
  // share the CallTree's text, which invites a new tree or a new drop.
  int k = 2 + view;
  if (k < 0) k = 0;
  if (k > 4) k = 4;
  return Msg(g_config.STAT_MESS[k]);
}

void MainWindow::Start(const QStringList &paths) {
  // The analysis first: remembering the paths writes the settings file,
  // which may wait for the disk.
  bool started = JobState.load() == JobStep::RegisterSources && RequestStartupAnalysis();
  if (!paths.isEmpty()) {
    // As absolute paths: Recent may be opened from another folder.
    paths_.clear();
    for (const QString &p : paths) paths_ << QFileInfo(p).absoluteFilePath();
    AddRecentPathSet(paths_);
    FillRecentMenu();
  }
  if (!started) SetDropsAccepted(true);
  // The keys go to the Function List from the start (Down moves in it).
  views_->ListWidget(VIEW_FUNCTIONS)->setFocus(Qt::OtherFocusReason);
}

void MainWindow::KeyCommand(int key) {
  if (shut_down_) return;
  if (key == Qt::Key_F4) {
    if (WorkerBusy() || !ProjectIsOpen()) return;
    int i = 0;
    void *data = nullptr;
    for (CHBUF *e = CB_Next(ProjectFiles, &data); e; e = CB_Next(e, &data)) {
      const char *path = (const char *)data;
      bool ascii = true;
      for (const char *p = path; *p; p++) ascii = ascii && (unsigned char)*p < 0x80;
      std::string shown = ascii ? std::string(path) : Utf8ToSjis(path);
      DebugPrint("[%2d]:%s\r\n", i++, shown.c_str());
    }
  } else if (key == Qt::Key_F12) {
    ToggleMusic();
    UpdateMenuStates();
  }
}

void MainWindow::DropPaths(const QStringList &paths) {
  if (shut_down_ || WorkerBusy()) return;  // ignored silently while busy
  int n = (int)paths.size();
  if (n == 0) return;
  ApplySettingsChanges();
  setFocus();
  activateWindow();
  if (ProjectIsOpen()) {
    if (!AskConfirmation(nullptr, UiText("Confirm."),
                         UiText("現在展開中のプロジェクトを破棄して宜しいですか？")))
      return;
    DiscardProject();
    views_->ClearViews();
  }
  std::vector<QByteArray> native;
  native.reserve((size_t)n);
  for (const QString &p : paths) native.push_back(QFile::encodeName(p));
  std::vector<const char *> ptrs;
  for (const QByteArray &b : native) ptrs.push_back(b.constData());
  // The trees of the last project name functions of the next one no more.
  history_.Clear();
  pending_ = Pending();
  UpdateHistoryActions();
  views_->Graph()->ShowText(QString());
  // The search texts and the notes were for the project that goes.
  views_->ClearFilters();
  views_->LostNote()->Clear();
  paths_ = paths;
  AddRecentPathSet(paths);
  // Later: this may run inside the signal of an action of that very menu.
  QMetaObject::invokeMethod(
      this, [this] { FillRecentMenu(); }, Qt::QueuedConnection);
  RequestAnalysis(ptrs.data(), n);
}

void MainWindow::SetDropsAccepted(bool on) {
  setAcceptDrops(on && !shut_down_);
  // The job that ends here may have listed a project, or dropped one.
  if (!shut_down_) UpdateMenuStates();
}

void MainWindow::SetStatus(const char *sjis) {
  views_->SetStatusText(sjis);
}

void MainWindow::Shutdown() {
  if (shut_down_) return;
  shut_down_ = true;
  // The worker may be waiting for this thread inside a port call: release it
  // and let later calls fall through, then wait until it has ended, so that
  // nothing it uses is released under it.
  queue_.Abandon();
  WorkerStop();
  progress_timer_.stop();
  launch_timer_.stop();
  idle_timer_.stop();
  depth_timer_.stop();
  export_timer_.stop();
  if (progress_) DestroyProgress();
  if (wait_) CloseWait();
  if (g_front.main_window == &port_) g_front = ShellFront{};
  setAcceptDrops(false);
}

QString MainWindow::RunningJobText() {
  switch (JobState.load()) {
    case JobStep::StartRenderer:
    case JobStep::WaitForRenderer:
    case JobStep::AskRender:
    case JobStep::ShowPicture:
      return UiText("グラフを作成しています。");  // the graph is being rendered
    case JobStep::StartTree:
    case JobStep::ExpandTree:
      return UiText("関数呼出木を作成しています。");  // a call tree is being built
    default:
      return UiText("ソース解析処理中です。");  // the sources are being analysed
  }
}

void MainWindow::closeEvent(QCloseEvent *event) {
  // A job runs: the user chooses between stopping it and going on; a job
  // that ends while the question is open leaves nothing to stop.
  if (!shut_down_ && WorkerBusy() &&
      AskStopJob(this, RunningJobText(), UiText("Stop and quit")) == StopAnswer::kCancel) {
    event->ignore();
    return;
  }
  if (!shut_down_) SaveState();
  Shutdown();
  // The program ends with its last window.
  event->accept();
}

void MainWindow::showEvent(QShowEvent *event) {
  QMainWindow::showEvent(event);
  // A saved place that no screen shows any more is not taken.
  if (restored_) return;
  restored_ = true;
  QScreen *s = screen();
  if (s && !s->availableGeometry().intersects(frameGeometry()))
    move(s->availableGeometry().topLeft());
}

void MainWindow::SaveState() {
  SaveWindowState(saveGeometry(), views_->ColumnWidths(VIEW_FUNCTIONS),
                  views_->ColumnWidths(VIEW_CALLS), views_->HandSizedColumns(VIEW_FUNCTIONS),
                  views_->HandSizedColumns(VIEW_CALLS));
}

void MainWindow::RestoreState() {
  QByteArray g = SavedGeometry();
  if (!g.isEmpty()) restoreGeometry(g);
  views_->SetColumnWidths(VIEW_FUNCTIONS, SavedColumnWidths(VIEW_FUNCTIONS));
  views_->SetColumnWidths(VIEW_CALLS, SavedColumnWidths(VIEW_CALLS));
  views_->SetHandSizedColumns(VIEW_FUNCTIONS, SavedHandSizedColumns(VIEW_FUNCTIONS));
  views_->SetHandSizedColumns(VIEW_CALLS, SavedHandSizedColumns(VIEW_CALLS));
}

void MainWindow::dragEnterEvent(QDragEnterEvent *event) {
  if (acceptDrops() && event->mimeData()->hasUrls())
    event->acceptProposedAction();
  else
    event->ignore();
}

void MainWindow::dragMoveEvent(QDragMoveEvent *event) {
  if (acceptDrops() && event->mimeData()->hasUrls())
    event->acceptProposedAction();
  else
    event->ignore();
}

void MainWindow::dropEvent(QDropEvent *event) {
  QStringList paths;
  for (const QUrl &url : event->mimeData()->urls())
    if (url.isLocalFile()) paths << url.toLocalFile();
  event->acceptProposedAction();
  DropPaths(paths);
}
