// The ports through which the worker and the engine reach the user. The desktop
// program implements them with widgets, the terminal program with a terminal,
// tests with recorders. A missing port (nullptr) means "that window does not
// exist": every operation on it does nothing. All texts are Shift_JIS.
//
// Calls arrive from the worker thread; an implementation must apply them in
// the order they were made (the desktop program blocks or queues in order).
#pragma once

// The progress window of the analysis job.
struct ProgressSink {
  virtual ~ProgressSink() {}
  virtual void SetFunctionProgress(int percent) = 0;  // "Function : " bar, 0..100
  virtual void SetSourceProgress(int percent) = 0;    // "Source : " bar, 0..100
  virtual void SetPass(int n) = 0;                    // pass line "PASS : %d"
  virtual void SetDetail(const char *text) = 0;       // detail line; copied at once
  virtual void SetPhase(int k) = 0;                   // phase caption 0..2
};

// The wait box of the call-tree job.
struct WaitBox {
  virtual ~WaitBox() {}
  virtual void SetWaitText(const char *text) = 0;  // replaces the message; copied at once
  // A question the job waits for (render a large graph?): the message, and
  // the answers where the box can offer them; the next SetWaitText ends it.
  virtual void AskToRender(const char *question) { SetWaitText(question); }
};

// The main window as the worker sees it.
struct MainWindowPort {
  virtual ~MainWindowPort() {}
  // Modal warning (caption "Warning", warning icon, OK); returns when dismissed.
  virtual void ShowWarning(const char *text) = 0;
  virtual void SetStatusText(const char *text) = 0;
  virtual void SelectView(int view) = 0;
  virtual int CurrentView() = 0;
  // Drops are refused while a job runs and accepted again when it ends.
  virtual void AcceptDrops(int on) = 0;
  virtual void Repaint() = 0;
  // Close request to a feedback window (WINDOW_PROGRESS or WINDOW_WAITBOX).
  virtual void Close(int window) = 0;
  // Opens a feedback window before a job starts, on the main thread:
  // WINDOW_PROGRESS with phase 0 (text nullptr), or WINDOW_WAITBOX with its
  // message. 1 when it is open, 0 when it cannot be created.
  virtual int Open(int window, const char *text) {
    (void)window;
    (void)text;
    return 1;
  }
  // Destroys the progress window at once (done on the main thread).
  virtual void Destroy(int window) = 0;
  // The SVG of the graph of the tree just drawn is ready at svg_path (a
  // native path, copied at once); windows without a Graph tab ignore it.
  virtual void ShowGraph(const char *svg_path) { (void)svg_path; }
  // A call-tree job has ended: complete 1 when its tree was drawn to the end
  // (rendered or not), 0 when the user stopped it. Windows that keep no
  // history of trees ignore it.
  virtual void TreeDone(int complete) { (void)complete; }
  // The parse of the source at path (native) ended inside the body of
  // function (Shift_JIS, scope and name), defined at line (1-based), so the
  // definitions after it may be missing. Called once per such source, in
  // source order, when parsing ends; windows that only count them ignore it.
  virtual void SourceLost(const char *path, const char *function, int line) {
    (void)path;
    (void)function;
    (void)line;
  }
  // An analysis that used the project's index ended: from_index sources
  // were taken from it and parsed were parsed; note (UTF-8) is a problem the
  // index met, or "". The desktop program's status line says it already.
  virtual void IndexUsed(int from_index, int parsed, const char *note) {
    (void)from_index;
    (void)parsed;
    (void)note;
  }
  // The precise parser handed the source at path (native) to the statement
  // parser, which read it as it reads every source; text (Shift_JIS) says
  // why. Called like SourceLost; windows that only count them ignore it.
  virtual void SourceFellBack(const char *path, const char *text) {
    (void)path;
    (void)text;
  }
};

enum { WINDOW_PROGRESS = 1, WINDOW_WAITBOX = 2 };

// The four result views behind the tab control.
// VIEW_CALLERS is the tree view of callers trees, after the original four;
// VIEW_GRAPH the picture of the last tree's graph and VIEW_SOURCE the text of
// the selected function (the desktop program).
enum {
  VIEW_FUNCTIONS = 0,
  VIEW_CALLS = 1,
  VIEW_TREE = 2,
  VIEW_RESULT = 3,
  VIEW_CALLERS = 4,
  VIEW_GRAPH = 5,
  VIEW_SOURCE = 6
};

typedef void *TREEITEM;  // a node of the CallTree view; nullptr: none / top level

// The views a tree is drawn into and the Result text, as the worker and the
// call-tree expansion see them. (The rows of the two lists travel typed, as
// xref/results.h says.) A job's start record carries the views it fills.
struct ResultViews {
  virtual ~ResultViews() {}
  virtual int HasView(int view) = 0;  // 1 when that view exists
  // CallTree view.
  virtual TREEITEM TreeInsert(TREEITEM parent, const char *text) = 0;
  virtual void TreeSetImage(TREEITEM item, int k) = 0;
  virtual void TreeClear() = 0;
  virtual int TreeItemCount() = 0;
  // The tree view that the tree operations address from now on: VIEW_TREE
  // (the start) or VIEW_CALLERS. Views without a Callers tree ignore it.
  virtual void TreeTarget(int view) { (void)view; }
  // The function (sid, fid) that item stands for, so the view can act on it;
  // views that do not act on nodes ignore it.
  virtual void TreeSetFunction(TREEITEM item, int sid, int fid) {
    (void)item;
    (void)sid;
    (void)fid;
  }
  // Result view.
  virtual void AppendResult(const char *text) = 0;
};
