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
  CMD_CALLERS = 40005,           // "Callers" of the function shown
  CMD_TREE = 40006,              // its call tree
  CMD_GO_TO_DEFINITION = 40007,  // the editor at its name (a call's: the called function's)
  CMD_SHOW_SOURCE = 40008,       // the Source tab on it
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
  CMD_MUSIC = 40028,         // F12
  CMD_SAVE_PICTURE = 40029,  // the graph shown, as a picture file
  CMD_SETTINGS = 40014,      // the Settings dialog
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
// The question before quitting (or analysing again) while a job runs, with
// text saying what runs: true for "Stop and quit" ("Stop and analyse again").
typedef std::function<bool(QWidget *owner, const QString &text)> StopQuitHandler;
void SetStopQuitHandler(StopQuitHandler handler);
// The answers of AskStopJob.
enum class StopAnswer {
  kCancel,    // the job goes on, and nothing else happens
  kStop,      // the user chose to stop it
  kJobEnded,  // the job ended while the question was open; it closed itself
};
// Asks whether to stop the job that runs (text: what runs; stop: the
// button's text). A job that ends first closes the question.
StopAnswer AskStopJob(QWidget *owner, const QString &text, const QString &stop);
// The folder dialog (folder true) and the files dialog: the paths chosen,
// none for Cancel.
typedef std::function<QStringList(QWidget *owner, bool folder)> OpenDialogHandler;
void SetOpenDialogHandler(OpenDialogHandler handler);
QStringList AskPaths(QWidget *owner, bool folder);

// The file dialog of "Save Picture As...": the path chosen ("" for Cancel),
// suggested is the name offered.
typedef std::function<QString(QWidget *owner, const QString &suggested)> SaveDialogHandler;
void SetSaveDialogHandler(SaveDialogHandler handler);
QString AskSavePath(QWidget *owner, const QString &suggested);
// Copies from over dest, which keeps its old content unless the copy is
// whole; false when nothing was replaced.
bool CopyReplacing(const QString &from, const QString &dest);

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
  void SourceLost(const char *path, const char *function, int line) override;
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
  void AskToRender(const char *question) override;

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
  // What the job that runs does, as the question before stopping it says.
  static QString RunningJobText();
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
  // Enables the function commands while something is listed, checks F12
  // while notes play, enables F4 while there is a trace and a project.
  void UpdateMenuStates();
  void OpenRecent(int i);
  void Reanalyse();
  void OpenInEditor(int id, const FunctionTarget &target);
  // Watches the editor launches until they end; one that fails is told in
  // the status line.
  void WatchLaunches();
  void PollEditorLaunches();
  // The context menu of a function (empty: its commands do nothing).
  void ShowMenu(const FunctionTarget &target, const QPoint &global);
  // The request of a tree as a visit; 0 when refused.
  int StartTree(const TreeVisit &visit);
  // Keeps the tab and scroll positions of the tree shown in its visit.
  void KeepVisitState();
  void RestoreVisit(const TreeVisit &visit);
  // The name of a tree's root as the title line shows it.
  QString RootName(const TreeVisit &visit) const;
  // Shows the graph svg of visit in the Graph tab, with its title and its
  // root marked; fit: as a new graph is first seen.
  void ShowGraphOf(const TreeVisit &visit, const QString &svg, bool fit);
  // The depth control: the graph shown drawn again at depth, the next ones
  // at that depth too.
  void ChooseGraphDepth(int depth);
  // Shows the graph drawn at the new depth once its renderer has ended.
  void FinishDepthRender();
  // "Save Picture As...": asks for a file and saves the graph shown there;
  // the status line says how it went.
  void SavePicture();
  // Puts the saved picture in place once its renderer has ended.
  void FinishPictureExport();
  // The menu of the Graph tab away from any node.
  void ShowGraphMenu(const QPoint &global);
  // Settings changed in the file or the Settings dialog take effect before a
  // job starts (nothing while a job runs).
  void ApplySettingsChanges();
  // The values of the settings just read, in the window.
  void ApplyConfigToWindow();
  // The Settings dialog; what it writes takes effect at once while no job
  // runs, else at the next job.
  void OpenSettings();
  void UpdateHistoryActions();
  void SaveState();
  void RestoreState();
  // The main window's keys that act in a feedback window too (Ctrl+Q, F5).
  void HookFeedbackWindow(QWidget *box);
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
  QTimer launch_timer_;                // polls the editor launches while any runs
  QObject *key_filter_ = nullptr;      // application-wide key filter
  bool shut_down_ = false;             // Shutdown has run
  bool restored_ = false;              // the saved geometry was applied
  QTimer idle_timer_;                  // waits for the job to end before Re-analyse
  bool reanalyse_when_idle_ = false;   // F5 stopped a job: analyse again once it ends
  int graph_in_window_ = 0;            // GRAPH_IN_WINDOW as the window last took it

  QStringList paths_;        // paths of the last analysis requested
  QMenu *recent_ = nullptr;  // "Recent"
  QAction *back_ = nullptr, *forward_ = nullptr;
  QMenu *function_menu_ = nullptr;  // "Function"
  QAction *quit_ = nullptr;         // Ctrl+Q, also in the feedback windows
  QAction *reanalyse_ = nullptr;    // F5, also in the feedback windows
  QAction *music_ = nullptr;        // F12, checked while notes play
  QAction *list_files_ = nullptr;   // F4
  TreeHistory history_;             // the trees of this session
  // The graph shown drawn again at another depth.
  struct DepthRender {
    long pid = -1;   // its renderer (0: drawn before), -1: none
    int visit = -1;  // the visit it is for (history index)
    int depth = 0;   // the depth
    QString svg;     // what it draws
  } depth_render_;
  QTimer depth_timer_;  // polls that renderer
  // A picture being saved.
  struct Export {
    long pid = -1;           // its renderer, or -1 (none, or a copy)
    QString from;            // the picture made (or the SVG shown)
    QString dest;            // where it goes
    bool temporary = false;  // from is ours to remove afterwards
  } export_;
  QTimer export_timer_;  // polls its renderer
  // The tree job under way: a new tree (step 0) or a visit step away.
  struct Pending {
    bool active = false;
    int step = 0;
    TreeVisit visit;
    QString svg;  // the SVG it produced
  } pending_;
};
