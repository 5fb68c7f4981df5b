// The main window: menus, drops, the context menu, key commands, call-tree
// requests and closing; and the ports through which the worker reaches the
// windows (main window, progress window, wait box).
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

class ViewsPanel;
class MainWindow;

// Command ids of menus 101 and 111.
enum {
  CMD_QUIT = 40001,
  CMD_VIEW_FUNCTION = 40002,
  CMD_ABOUT = 40003,
  CMD_VIEW_SOURCE = 40004,
  CMD_CALLERS = 40005,  // "Callers" of the row's function (both lists)
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
  // files when start-up collected some, else accepts drops.
  void Start();
  // The menu commands (ids above).
  void Command(int id);
  // Key commands: F4 lists the project's files in the trace, F12 toggles the
  // MIDI notes. Called once per physical key press.
  void KeyCommand(int key);
  // A drop of files and folders (native paths).
  void DropPaths(const QStringList &paths);
  // A call-tree request from a list; 0 when refused.
  int TreeRequest(int sid, int fid);
  // A callers-tree request: of (sid, fid), or of a name no source defines
  // (Shift_JIS) with argc arguments; 0 when refused.
  int CallersRequest(int sid, int fid);
  int NameCallersRequest(const QByteArray &sjis, int argc);
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
  // The status text of a view while a project is open.
  static const char *StatusFor(int view);

 protected:
  void closeEvent(QCloseEvent *event) override;
  void dragEnterEvent(QDragEnterEvent *event) override;
  void dragMoveEvent(QDragMoveEvent *event) override;
  void dropEvent(QDropEvent *event) override;
  // A right-click anywhere in the window: the Function List's menu while that
  // view is selected.
  void contextMenuEvent(QContextMenuEvent *event) override;

 private:
  void BuildMenus();
  void ShowContextMenu(const QPoint &global);
  void ShowCallListMenu(const QPoint &global);
  void OpenFromList(int id);

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
};
