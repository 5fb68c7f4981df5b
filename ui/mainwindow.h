// The main window: menus, drops, the context menus, key commands, call-tree
// requests and closing; and the ports through which the worker reaches the
// windows (main window, progress window, wait box). Its commands are in
// ui/commands.cpp, the trees and their history in ui/navigation.cpp, the
// ports in ui/window_ports.cpp.
#pragma once

#include <QMainWindow>
#include <QPointer>
#include <QTimer>

#include <functional>
#include <mutex>
#include <string>

#include "foundation/ports.h"
#include "ui/dialogs.h"
#include "ui/port_queue.h"
#include "ui/tree_history.h"
#include "ui/views.h"

class QAction;
class QMenu;
class MainWindow;

// Command ids of menus 101 and 111, and of the menus beside them.
enum {
  CMD_QUIT = 40001,
  CMD_VIEW_FUNCTION = 40002,
  CMD_ABOUT = 40003,
  CMD_VIEW_SOURCE = 40004,
  CMD_CALLERS = 40005,  // "Callers" of the function shown
  CMD_TREE = 40006,     // its call tree
  CMD_OPEN_FOLDER = 40010,
  CMD_OPEN_FILES = 40011,
  CMD_REANALYSE = 40012,
  CMD_LIST_FILES = 40013,  // F4
  CMD_BACK = 40020,
  CMD_FORWARD = 40021,
  CMD_NEXT_TAB = 40022,
  CMD_PREVIOUS_TAB = 40023,
  CMD_FIND = 40024,
  CMD_ZOOM_IN = 40025,
  CMD_ZOOM_OUT = 40026,
  CMD_FIT = 40027,
  CMD_MUSIC = 40028,  // F12
  CMD_LEGEND = 40030,
  CMD_RECENT = 40100,  // + the place in Recent
};

// Modal boxes go through these, so that tests can answer them.
// A warning: caption "Warning", warning icon, OK; owner may be nullptr.
typedef std::function<void(QWidget *owner, const QString &text)> WarningHandler;
// The confirmation before a drop discards the project: true for OK.
typedef std::function<bool(QWidget *owner, const QString &caption, const QString &text)>
    ConfirmHandler;
// Installs a handler; an empty one restores the real message box.
void SetWarningHandler(WarningHandler handler);
void SetConfirmHandler(ConfirmHandler handler);
void ShowWarningBox(QWidget *owner, const QString &text);
bool AskConfirmation(QWidget *owner, const QString &caption, const QString &text);
// The question before quitting while a job runs: true for "Stop and quit".
typedef std::function<bool(QWidget *owner, const QString &text)> StopQuitHandler;
void SetStopQuitHandler(StopQuitHandler handler);
bool AskStopAndQuit(QWidget *owner, const QString &text);
// The folder dialog (folder true) and the files dialog: the paths chosen,
// none for Cancel.
typedef std::function<QStringList(QWidget *owner, bool folder)> OpenDialogHandler;
void SetOpenDialogHandler(OpenDialogHandler handler);
QStringList AskPaths(QWidget *owner, bool folder);

// MainWindowPort over the main window; callable from any thread.
class MainPort : public MainWindowPort {
 public:
  explicit MainPort(MainWindow *w) : w_(w) {}
  void ShowWarning(const char *text) override;
  void SetStatusText(const char *text) override;
  void SelectView(int view) override;
  int CurrentView() override;
  void AcceptDrops(int on) override;
  void Repaint() override;
  void Close(int window) override;
  int Open(int window, const char *text) override;
  void Destroy(int window) override;
  void ShowGraph(const char *svg_path) override;
  void TreeDone(int complete) override;
  void SourceFellBack(const char *path, const char *text) override;

 private:
  MainWindow *w_;
};

// ProgressSink: the worker's updates are kept as the latest state and shown
// a few times a second, so a fast job never floods the GUI thread.
class ProgressPort : public ProgressSink {
 public:
  void SetFunctionProgress(int percent) override;
  void SetSourceProgress(int percent) override;
  void SetPass(int n) override;
  void SetDetail(const char *text) override;
  void SetPhase(int k) override;
  // GUI thread: shows what changed since the last call on window (if any).
  void ApplyTo(ProgressWindow *window);
  // Forgets pending changes (a new window starts from its initial state).
  void Reset();

 private:
  enum { FUNC = 1, SOURCE = 2, PASS = 4, DETAIL = 8, PHASE = 16 };
  std::mutex mu_;       // guards everything below
  unsigned dirty_ = 0;  // which values changed
  int function_ = 0;    // latest "Function : " bar
  int source_ = 0;      // latest "Source : " bar
  int pass_ = 0;        // latest pass
  std::string detail_;  // latest detail text (Shift_JIS)
  int phase_ = 0;       // latest phase
  // The detail line last shown; GUI thread only (ApplyTo, Reset).
  std::string shown_detail_;
};

// WaitBox port: the text travels in order with everything else.
class WaitPort : public WaitBox {
 public:
  explicit WaitPort(MainWindow *w) : w_(w) {}
  void SetWaitText(const char *text) override;

 private:
  MainWindow *w_;
};

class MainWindow : public QMainWindow {
  Q_OBJECT
 public:
  // Builds the menus, the views and the ports; makes the ports the shell's.
  explicit MainWindow(QWidget *parent = nullptr);
  ~MainWindow() override;

  // After the window is shown: starts the analysis of the command-line
  // files (paths, kept for Re-analyse and Recent) when start-up collected
  // some, else accepts drops.
  void Start(const QStringList &paths = QStringList());
  // The menu commands (ids above); the function commands act on the
  // function of the view shown.
  void Command(int id);
  // The function commands on a given function.
  void FunctionCommand(int id, const FunctionTarget &target);
  // Key commands: F4 lists the project's files in the trace, F12 toggles the
  // MIDI notes. Called once per physical key press.
  void KeyCommand(int key);
  // A drop of files and folders (native paths); Open Folder, Open Files and
  // Recent come here too.
  void DropPaths(const QStringList &paths);
  // The paths of the open project (or of the last analysis), for Re-analyse.
  const QStringList &ProjectPaths() const { return paths_; }
  // A call-tree request from a list; 0 when refused.
  int TreeRequest(int sid, int fid);
  // A callers-tree request: of (sid, fid), or of a name no source defines
  // (Shift_JIS) with argc arguments; 0 when refused.
  int CallersRequest(int sid, int fid);
  int NameCallersRequest(const QByteArray &sjis, int argc);
  // Back (-1) and Forward (+1) through the trees of the session; 0 when
  // there is none that way or the request is refused.
  int GoThroughHistory(int step);
  const TreeHistory &History() const { return history_; }
  // The context menu of a function at a screen position (its object name
  // "contextMenu").
  void ShowFunctionMenu(const FunctionTarget &target, const QPoint &global);
  // The shutdown of the window: stops a running job and waits for it.
  void Shutdown();

  ViewsPanel *Views() const { return views_; }
  PortQueue *Queue() { return &queue_; }
  ProgressWindow *Progress() const { return progress_; }
  WaitBoxWindow *Wait() const { return wait_; }
  MainWindowPort *Port() { return &port_; }
  ProgressPort *ProgressPortObject() { return &progress_port_; }
  WaitBox *WaitPortObject() { return &wait_port_; }
  bool IsShutDown() const { return shut_down_; }

  // Window operations behind the ports (GUI thread).
  int OpenProgress();
  int OpenWait(const QString &text);
  void CloseProgress();
  void CloseWait();
  void DestroyProgress();
  void SetDropsAccepted(bool on);
  void SetStatus(const char *sjis);
  // From the worker, through the ports: the SVG of the tree just drawn, and
  // the end of a tree job.
  void GraphReady(const QString &svg);
  void TreeJobDone(int complete);
  // The status text of a view while a project is open.
  static const char *StatusFor(int view);

 protected:
  void closeEvent(QCloseEvent *event) override;
  void showEvent(QShowEvent *event) override;
  void dragEnterEvent(QDragEnterEvent *event) override;
  void dragMoveEvent(QDragMoveEvent *event) override;
  void dropEvent(QDropEvent *event) override;
  // A right-click anywhere in the window: the Function List's menu while that
  // view is selected.
  void contextMenuEvent(QContextMenuEvent *event) override;

 private:
  void BuildMenus();
  QAction *AddCommand(QMenu *menu, const QString &text, int id, const QKeySequence &key);
  void FillRecentMenu();
  void OpenRecent(int i);
  void Reanalyse();
  void OpenInEditor(int id, const FunctionTarget &target);
  // The context menu of a function (empty: its commands do nothing).
  void ShowMenu(const FunctionTarget &target, const QPoint &global);
  // The request of a tree as a visit; 0 when refused.
  int StartTree(const TreeVisit &visit);
  // Keeps the tab and scroll positions of the tree shown in its visit.
  void KeepVisitState();
  void RestoreVisit(const TreeVisit &visit);
  void UpdateHistoryActions();
  void SaveState();
  void RestoreState();
  // A feedback box that goes gives the activation back to this window.
  void TakeBackActivation(QWidget *box);
  // Clears slot and lets its box go: the keys back to this window, then the
  // box finishes (fades out) or hides, and is deleted later. Nothing when none.
  template <typename Box>
  void LetGo(QPointer<Box> &slot, bool finish);

  PortQueue queue_;                    // worker -> GUI, in order
  ViewsPanel *views_ = nullptr;        // tab control, views, status bar
  MainPort port_{this};                // MainWindowPort
  ProgressPort progress_port_;         // ProgressSink
  WaitPort wait_port_{this};           // WaitBox
  QPointer<ProgressWindow> progress_;  // open progress window, or none
  QPointer<WaitBoxWindow> wait_;       // open wait box, or none
  QTimer progress_timer_;              // shows coalesced progress
  QObject *key_filter_ = nullptr;      // application-wide key filter
  bool shut_down_ = false;             // Shutdown has run
  bool restored_ = false;              // the saved geometry was applied

  QStringList paths_;        // paths of the last analysis requested
  QMenu *recent_ = nullptr;  // "Recent"
  QAction *back_ = nullptr, *forward_ = nullptr;
  TreeHistory history_;  // the trees of this session
  // The tree job under way: a new tree (step 0) or a visit step away.
  struct Pending {
    bool active = false;
    int step = 0;
    TreeVisit visit;
    QString svg;  // the SVG it produced
  } pending_;
};
