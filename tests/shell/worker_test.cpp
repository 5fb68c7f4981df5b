// The job loop against recording ports: the order of every port call of an
// analysis, the endings with a warning (no file, no function, Escape, no
// thread), the call-tree job and its refusal while busy, and that a job
// gives back every block it allocated.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

#include "engine/ana.h"
#include "foundation/memory.h"
#include "foundation/settings.h"
#include "foundation/text.h"
#include "graph/graph.h"
#include "platform/files.h"
#include "platform/codepage.h"
#include "platform/keys.h"
#include "shell/file_collect.h"
#include "shell/requests.h"
#include "shell/worker.h"
#include "graph/graph.h"
#include "platform/sys.h"
#include "foundation/text.h"
#include "support/testenv.h"
#include "xref/calltree.h"
#include "xref/xref.h"

namespace {

// Every port call as one line, in order.
struct PortRecorder : MainWindowPort, ProgressSink, WaitBox, ResultViews {
  std::vector<std::string> calls;
  std::string result;
  int view = 0;
  int open_result = 1;
  // While hold is set, the worker waits inside SelectView(VIEW_TREE), so the
  // main thread meets a job that really runs.
  std::mutex gate;
  std::condition_variable gate_cv;
  bool hold = false;  // the next tree job stops in its first step
  bool held = false;  // the worker is waiting there

  static std::string Status(const char *text) {
    for (int k = 0; k < 5; k++) {
      if (std::string(text) == g_config.STAT_MESS[k]) return "#" + std::to_string(k);
    }
    return text;
  }
  void Add(const std::string &s) { calls.push_back(s); }

  void ShowWarning(const char *text) override { Add("ShowWarning(" + std::string(text) + ")"); }
  void SetStatusText(const char *text) override { Add("SetStatusText(" + Status(text) + ")"); }
  void SelectView(int v) override {
    view = v;
    Add("SelectView(" + std::to_string(v) + ")");
    std::unique_lock<std::mutex> lock(gate);
    if (v != VIEW_TREE || !hold) return;
    held = true;
    gate_cv.notify_all();
    gate_cv.wait(lock, [this] { return !hold; });
  }
  void Hold(bool on) {
    std::lock_guard<std::mutex> lock(gate);
    hold = on;
    gate_cv.notify_all();
  }
  void WaitUntilHeld() {
    std::unique_lock<std::mutex> lock(gate);
    gate_cv.wait(lock, [this] { return held; });
  }
  int CurrentView() override { return view; }
  void AcceptDrops(int on) override { Add("AcceptDrops(" + std::to_string(on) + ")"); }
  void Repaint() override { Add("Repaint()"); }
  void Close(int w) override { Add("Close(" + std::to_string(w) + ")"); }
  void Destroy(int w) override { Add("Destroy(" + std::to_string(w) + ")"); }
  int Open(int w, const char *text) override {
    Add("Open(" + std::to_string(w) + (text ? "," + std::string(text) : "") + ")");
    return open_result;
  }
  void SetFunctionProgress(int p) override {
    Add("SetFunctionProgress(" + std::to_string(p) + ")");
  }
  void SetSourceProgress(int p) override { Add("SetSourceProgress(" + std::to_string(p) + ")"); }
  void SetPass(int n) override { Add("SetPass(" + std::to_string(n) + ")"); }
  void SetDetail(const char *text) override { Add("SetDetail(" + std::string(text) + ")"); }
  void SetPhase(int k) override { Add("SetPhase(" + std::to_string(k) + ")"); }
  void SetWaitText(const char *text) override { Add("SetWaitText(" + std::string(text) + ")"); }
  void ShowGraph(const char *svg) override { Add("ShowGraph(" + std::string(svg) + ")"); }
  void TreeDone(int complete) override { Add("TreeDone(" + std::to_string(complete) + ")"); }

  int HasView(int) override { return 1; }
  void InsertRow(int, int, int, const char *) override {}
  void SetCell(int, int, int, const char *) override {}
  void GetCell(int, int, int, char *b, int n) override {
    if (b && n > 0) b[0] = 0;
  }
  void SetCellText(int, int, int, const char *) override {}
  int SelectedRow(int) override { return -1; }
  int RowCount(int) override { return 0; }
  void DeleteRows(int) override {}
  TREEITEM TreeInsert(TREEITEM, const char *) override { return (TREEITEM)1; }
  void TreeSetImage(TREEITEM, int) override {}
  void TreeClear() override { Add("TreeClear()"); }
  int TreeItemCount() override { return 0; }
  void AppendResult(const char *text) override { result += text; }
};

std::string Sjis(const char *utf8) {
  return Utf8ToSjis(utf8);
}

struct WorkerTest : ::testing::Test {
  PortRecorder rec;
  std::string dir;
  unsigned live_before = 0;

  void SetUp() override {
    ResetConfiguration();
    live_before = MemLiveCount();
    ASSERT_EQ(CreateANA(), 1);
    g_worker_timing = kHeadlessTiming;
    g_front = ShellFront{&rec, &rec, &rec, 0, 0};
    g_views = &rec;
    EscapeSetPoll(nullptr);
    while (EscapePressed()) {
    }
    dir = velmora_test::MakeTempDir("worker");
  }
  void TearDown() override {
    WorkerWait();
    EscapeSetPoll(nullptr);
    g_views = nullptr;
    g_front = ShellFront{nullptr, nullptr, nullptr, 1, 1};
    g_worker_timing = kDesktopTiming;
    ReleaseCB(&ProjectFiles);
    ReleaseANA();
    EXPECT_EQ(MemLiveCount(), live_before);
    velmora_test::RemoveTree(dir);
  }

  void Write(const std::string &name, const std::string &text) {
    velmora_test::WriteFile(dir + "/" + name, text);
  }
  void Analyse() {
    const char *paths[] = {dir.c_str()};
    ASSERT_EQ(RequestAnalysis(paths, 1), 1);
    WorkerWait();
    EXPECT_EQ(JobState.load(), JobStep::Idle);
    EXPECT_EQ(WorkerBusy(), 0);
  }
  // The calls without the progress lines of collection and registering (they
  // depend on the clock) and with every run of parse slices as one "F*".
  std::vector<std::string> Steady() const {
    std::vector<std::string> out;
    bool parsing = false;
    for (size_t i = 0; i < rec.calls.size(); i++) {
      const std::string &c = rec.calls[i];
      if (c.rfind("SetDetail([", 0) == 0) {
        if (c.find('/') != std::string::npos && i + 1 < rec.calls.size() &&
            rec.calls[i + 1].rfind("SetFunctionProgress(", 0) == 0)
          i++;
        continue;
      }
      if (c == "SetPhase(1)") parsing = true;
      if (c == "SetPass(2)") parsing = false;
      if (parsing && c.rfind("SetFunctionProgress(", 0) == 0) {
        if (out.empty() || out.back() != "F*") out.push_back("F*");
        continue;
      }
      out.push_back(c);
    }
    return out;
  }
};

// What the user sees of two sources: drops refused and the progress window
// open before anything else, the sources parsed in the order they were
// collected with the source bar at 50 then 100, and at the end the status of
// the Function List, the window closed and drops accepted again.
TEST_F(WorkerTest, TwoSourcesInOrder) {
  Write("a.c", "int a(int x)\n{\n  return b(x, 1);\n}\n");
  Write("b.c", "int b(int x, int y)\n{\n  return x + y;\n}\n");
  Analyse();
  std::vector<std::string> steady = Steady();
  ASSERT_GE(steady.size(), 4u);
  EXPECT_EQ(steady[0], "AcceptDrops(0)");
  EXPECT_EQ(steady[1], "Open(1)");
  std::vector<std::string> parsing;
  bool in_parse = false;
  for (const std::string &c : steady) {
    if (c == "SetPhase(1)") in_parse = true;
    if (c == "SetPass(2)") in_parse = false;
    if (in_parse && (c.rfind("SetDetail(", 0) == 0 || c.rfind("SetSourceProgress(", 0) == 0))
      parsing.push_back(c);
  }
  // Each source is named when its parsing begins and again when it ends.
  EXPECT_EQ(parsing,
            (std::vector<std::string>{"SetSourceProgress(50)", "SetDetail(a.c)", "SetDetail(a.c)",
                                      "SetSourceProgress(100)", "SetDetail(b.c)", "SetDetail(b.c)",
                                      "SetSourceProgress(100)", "SetDetail(b.c)"}));
  std::vector<std::string> tail(steady.end() - 4, steady.end());
  EXPECT_EQ(tail, (std::vector<std::string>{"Repaint()", "SetStatusText(#2)", "Close(1)",
                                            "AcceptDrops(1)"}));
  EXPECT_EQ(ProjectIsOpen(), 1);
  EXPECT_EQ(ProjectFiles->count, 2);
  ASSERT_NE(ANA_FindFunction(2, 1), nullptr);
  EXPECT_EQ(ANA_FindFunction(2, 1)->called, 1);  // b, called from a
}

TEST_F(WorkerTest, NoMatchingFile) {
  Write("notes.txt", "int main(void) { return 0; }\n");
  Analyse();
  EXPECT_EQ(
      rec.calls[rec.calls.size() - 4],
      "ShowWarning(" + Sjis(u8"解析対象ファイルが存在しません。\r\n処理を中断します。") + ")");
  // The status line invites a drop again, not a double-click.
  EXPECT_EQ(rec.calls[rec.calls.size() - 3], "SetStatusText(#0)");
  EXPECT_EQ(rec.calls[rec.calls.size() - 2], "Close(1)");
  for (const std::string &c : rec.calls) EXPECT_NE(c, "SetStatusText(#2)");
  EXPECT_EQ(rec.calls.back(), "AcceptDrops(1)");
  EXPECT_EQ(ProjectIsOpen(), 0);
}

TEST_F(WorkerTest, SourcesWithoutFunctions) {
  Write("decl.h", "int x;\nextern int y;\n");
  Write("empty.c", "");  // not registered at all
  Analyse();
  std::vector<std::string> tail(rec.calls.end() - 6, rec.calls.end());
  EXPECT_EQ(tail,
            (std::vector<std::string>{"Repaint()", "SetStatusText(#2)",
                                      "ShowWarning(" + Sjis(u8"関数が検出できませんでした。") + ")",
                                      "SetStatusText(#0)", "Close(1)", "AcceptDrops(1)"}));
  EXPECT_EQ(ProjectIsOpen(), 0);
}

TEST_F(WorkerTest, EscapeDuringParsingKeepsTheProject) {
  Write("a.c", "int a(void)\n{\n  return 1;\n}\nint b(void)\n{\n  return 2;\n}\n");
  EscapeSetPoll([]() { return JobState.load() == JobStep::ParseSource ? 1 : 0; });
  Analyse();
  std::vector<std::string> tail(rec.calls.end() - 6, rec.calls.end());
  EXPECT_EQ(tail, (std::vector<std::string>{
                      "SetDetail(a.c)", "ShowWarning(" + Sjis(u8"中断します。") + ")", "Destroy(1)",
                      "SetStatusText(Stopped: 0 of 1 sources analysed; lists are partial)",
                      "AcceptDrops(1)", "AcceptDrops(1)"}));
  for (const std::string &c : rec.calls) {
    EXPECT_NE(c, "Close(1)");
    EXPECT_NE(c, "SetPass(2)");
  }
  EXPECT_EQ(ProjectIsOpen(), 1);
  DiscardProject();
  EXPECT_EQ(ProjectIsOpen(), 0);
}

// Escape (Ctrl-C in the terminal) stops a long collection the way it stops
// parsing: nothing is analysed, the project stays open with what was
// collected so far, and the next drop asks first.
TEST_F(WorkerTest, EscapeDuringCollectionStopsTheJob) {
  Write("a.c", "int a(void) { return 1; }\n");
  Write("b.c", "int b(void) { return 1; }\n");
  static int polls;
  polls = 0;
  EscapeSetPoll([]() { return ++polls == 2 ? 1 : 0; });  // after the first entry
  Analyse();
  std::vector<std::string> tail(rec.calls.end() - 5, rec.calls.end());
  EXPECT_EQ(tail,
            (std::vector<std::string>{"ShowWarning(" + Sjis(u8"中断します。") + ")", "Destroy(1)",
                                      "SetStatusText(Stopped: 1 files collected, none analysed)",
                                      "AcceptDrops(1)", "AcceptDrops(1)"}));
  for (const std::string &c : rec.calls) EXPECT_NE(c, "SetPhase(1)");
  ASSERT_EQ(ProjectIsOpen(), 1);
  EXPECT_EQ(ProjectFiles->count, 1);
  EXPECT_EQ(ANA_GetFuncCount(), 0);
  DiscardProject();
}

TEST_F(WorkerTest, ThreadThatCannotStartReturnsToIdle) {
  Write("a.c", "int a(void) { return 1; }\n");
  WorkerFailNextStart(1);
  const char *paths[] = {dir.c_str()};
  EXPECT_EQ(RequestAnalysis(paths, 1), 0);
  EXPECT_EQ(rec.calls, (std::vector<std::string>{
                           "AcceptDrops(0)", "Open(1)",
                           "ShowWarning(" + Sjis(u8"処理スレッドの作成に失敗しました。") + ")",
                           "Close(1)", "AcceptDrops(1)"}));
  EXPECT_EQ(JobState.load(), JobStep::Idle);
  EXPECT_EQ(WorkerBusy(), 0);
  // The next request works.
  rec.calls.clear();
  Analyse();
  EXPECT_EQ(rec.calls.back(), "AcceptDrops(1)");
}

TEST_F(WorkerTest, ProgressWindowThatCannotOpen) {
  rec.open_result = 0;
  const char *paths[] = {dir.c_str()};
  EXPECT_EQ(RequestAnalysis(paths, 1), 0);
  EXPECT_EQ(rec.calls,
            (std::vector<std::string>{"AcceptDrops(0)", "Open(1)",
                                      "ShowWarning(CreateDialogParam failed.\r\nstop processing.)",
                                      "AcceptDrops(1)"}));
  EXPECT_EQ(JobState.load(), JobStep::Idle);
  EXPECT_EQ(RequestAnalysis(paths, 0), 0);
}

TEST_F(WorkerTest, StartupEntryBeginsAtRegistering) {
  Write("a.c", "int a(void)\n{\n  return 1;\n}\n");
  ProjectFiles = CreateCB();
  GetDirFile(nullptr, ProjectFiles, "", dir.c_str());
  JobState = JobStep::RegisterSources;
  ASSERT_EQ(RequestStartupAnalysis(), 1);
  WorkerWait();
  EXPECT_EQ(rec.calls[0], "AcceptDrops(0)");
  EXPECT_EQ(rec.calls[1], "Open(1)");
  EXPECT_EQ(rec.calls[2], "SetStatusText(#1)");
  EXPECT_EQ(rec.calls.back(), "AcceptDrops(1)");
  EXPECT_NE(ANA_FindFunction(1, 1), nullptr);
  EXPECT_EQ(RequestStartupAnalysis(), 0);  // nothing pending any more
}

TEST_F(WorkerTest, CallTreeJob) {
  Write("a.c", "int a(void)\n{\n  return b();\n}\nint b(void)\n{\n  return 0;\n}\n");
  Analyse();
  rec.calls.clear();

  EXPECT_EQ(RequestCallTree(1, 99), 1);  // no such function: no job
  EXPECT_EQ(rec.calls, (std::vector<std::string>{"TreeClear()"}));
  rec.calls.clear();

  ASSERT_EQ(RequestCallTree(1, 1), 1);
  WorkerWait();
  ASSERT_GE(rec.calls.size(), 4u);
  EXPECT_EQ(rec.calls[0], "TreeClear()");
  EXPECT_EQ(rec.calls[1], "Open(2," + Sjis(u8"関数呼出木を作成しています。") + ")");
  EXPECT_EQ(rec.calls[2], "SelectView(2)");
  std::vector<std::string> tail(rec.calls.end() - 4, rec.calls.end());
  EXPECT_EQ(tail, (std::vector<std::string>{"SetStatusText(#4)", "TreeDone(1)", "Close(2)",
                                            "AcceptDrops(1)"}));
  EXPECT_NE(rec.result.find("a(argc:0)"), std::string::npos);
  EXPECT_NE(rec.result.find("b(argc:0)"), std::string::npos);

  // While a tree job runs (held in its first step), a tree is refused with a
  // warning and a drop silently; the running job then ends as usual.
  rec.Hold(true);
  ASSERT_EQ(RequestCallTree(1, 1), 1);
  rec.WaitUntilHeld();
  rec.calls.clear();
  EXPECT_EQ(WorkerBusy(), 1);
  EXPECT_EQ(RequestCallTree(1, 1), 0);
  const char *paths[] = {dir.c_str()};
  EXPECT_EQ(RequestAnalysis(paths, 1), 0);
  // The editor views read the records the job writes: refused the same way.
  EXPECT_EQ(RequestEditor(EditorView::kFunction, 1, 1), 0);
  EXPECT_EQ(RequestEditor(EditorView::kSource, 1, 1), 0);
  std::string busy = "ShowWarning(" + Sjis(u8"処理中は受け付けません。") + ")";
  EXPECT_EQ(rec.calls, (std::vector<std::string>{busy, busy, busy}));
  rec.Hold(false);
  WorkerWait();
  EXPECT_EQ(rec.calls.back(), "AcceptDrops(1)");
  EXPECT_EQ(WorkerBusy(), 0);
}

// Every picture name on the desktop is taken: the tree is built, no picture
// is made, and the status bar says why.
TEST_F(WorkerTest, NoFreePictureNameIsShownInTheStatus) {
  Write("a.c", "int a(void)\n{\n  return b();\n}\nint b(void)\n{\n  return 0;\n}\n");
  Analyse();
  std::string desk = dir + "/Desktop";
  MakeDirs(desk.c_str());
  for (int n = 1; n <= 256; n++)
    velmora_test::WriteFile(desk + "/FuncGraph[" + std::to_string(n) + "].gif", "");
  velmora_test::EnvScope env;
  env.Set("XDG_DESKTOP_DIR", desk.c_str());
  g_config.DISPLAY_GRAPH = 1;
  CopyText(g_config.DOT_EXE, sizeof g_config.DOT_EXE, "/bin/true");
  CopyText(g_config.GRAPH_VIEWER, sizeof g_config.GRAPH_VIEWER, "/bin/true");
  SetGraphFilePath((dir + "/velmora.dot").c_str());
  InitGraphTools();
  ASSERT_EQ(graph_enabled, 1);
  g_front.render = 1;
  rec.calls.clear();
  ASSERT_EQ(RequestCallTree(1, 1), 1);
  WorkerWait();
  std::vector<std::string> tail(rec.calls.end() - 4, rec.calls.end());
  EXPECT_EQ(tail[0], "SetStatusText(" +
                         Sjis(u8"デスクトップの FuncGraph[1]～[256] がすべて使われているため、"
                              u8"図を作成しませんでした。") +
                         ")");
  EXPECT_NE(rec.result.find("b(argc:0)"), std::string::npos);
  FreeGraphTools();
  SetGraphFilePath(nullptr);
  graph_enabled = 0;
}

TEST_F(WorkerTest, CallTreeInterruptedGoesOn) {
  Write("a.c", "int a(void)\n{\n  return b();\n}\nint b(void)\n{\n  return 0;\n}\n");
  Analyse();
  rec.calls.clear();
  EscapeSetPoll([]() { return 1; });
  ASSERT_EQ(RequestCallTree(1, 1), 1);
  WorkerWait();
  std::vector<std::string> tail(rec.calls.end() - 5, rec.calls.end());
  EXPECT_EQ(tail, (std::vector<std::string>{"ShowWarning(" + Sjis(u8"中断しました。") + ")",
                                            "SetStatusText(Stopped: the tree is partial)",
                                            "TreeDone(0)", "Close(2)", "AcceptDrops(1)"}));
}

int g_link_polls = 0;
int EscapeOnSecondLinkedCall() {
  return JobState.load() == JobStep::LinkCalls && ++g_link_polls >= 2 ? 1 : 0;
}

TEST_F(WorkerTest, EscapeDuringLinkingSaysTheListsArePartial) {
  Write("a.c", "int a(void)\n{\n  return b();\n}\n");
  Write("b.c", "int b(void)\n{\n  return c();\n}\n");
  Write("c.c", "int c(void)\n{\n  return a();\n}\n");
  g_link_polls = 0;
  EscapeSetPoll(EscapeOnSecondLinkedCall);
  Analyse();
  std::vector<std::string> tail(rec.calls.end() - 4, rec.calls.end());
  EXPECT_EQ(tail,
            (std::vector<std::string>{
                "Repaint()", "SetStatusText(Stopped: 1 of 3 sources linked; lists are partial)",
                "Close(1)", "AcceptDrops(1)"}));
  // a's call of b and b's of c were linked before the stop, c's of a never.
  EXPECT_EQ(ANA_FindFunction(2, 1)->called, 1);
  EXPECT_EQ(ANA_FindFunction(3, 1)->called, 1);
  EXPECT_EQ(ANA_FindFunction(1, 1)->called, 0);
}

// Graph output with a renderer of our own: it writes "<svg/>" (or "GIF8")
// into whatever -o names, after sleep_s seconds.
struct RenderTest : WorkerTest {
  std::string desk;
  void SetUp() override {
    WorkerTest::SetUp();
    desk = dir + "/Desktop";
    setenv("XDG_DESKTOP_DIR", desk.c_str(), 1);
    SetGraphFilePath((dir + "/velmora.dot").c_str());
    Renderer(0);
    g_config.DISPLAY_GRAPH = 1;
    g_config.GRAPH_IN_WINDOW = 1;
    InitGraphTools();
    g_front = ShellFront{&rec, &rec, &rec, 1, 0, 1, 1};
  }
  void TearDown() override {
    FreeGraphTools();
    SetGraphFilePath(nullptr);
    setenv("XDG_DESKTOP_DIR", (std::string(getenv("HOME")) + "/Desktop").c_str(), 1);
    WorkerTest::TearDown();
  }
  void Renderer(int sleep_s) {
    std::string path = dir + "/dot.sh";
    velmora_test::WriteFile(
        path, "#!/bin/sh\necho $$ >> \"" + dir + "/dot.pids\"\nsleep " + std::to_string(sleep_s) +
                  "\nfmt=$1\nwhile [ $# -gt 0 ]; do [ \"$1\" = -o ] && { [ \"$fmt\" = -Tsvg ] && "
                  "echo '<svg/>' > \"$2\" || echo GIF8 > \"$2\"; }; shift; done\n");
    chmod(path.c_str(), 0755);
    FormatText(g_config.DOT_EXE, sizeof g_config.DOT_EXE, "%s", path.c_str());
    CopyText(g_config.DOT_CMD, sizeof g_config.DOT_CMD, "\"%s\" -T%s -o \"%s\" \"%s\"");
  }
  std::vector<std::string> Tail(size_t n) const {
    n = std::min(n, rec.calls.size());
    return std::vector<std::string>(rec.calls.end() - (long)n, rec.calls.end());
  }
};

TEST_F(RenderTest, SvgForTheGraphTabAndNoViewer) {
  Write("a.c", "int a(void)\n{\n  return b();\n}\nint b(void)\n{\n  return 0;\n}\n");
  Analyse();
  rec.calls.clear();
  ASSERT_EQ(RequestCallTree(1, 1), 1);
  WorkerWait();
  std::string svg;
  for (const std::string &c : rec.calls)
    if (c.rfind("ShowGraph(", 0) == 0) svg = c.substr(10, c.size() - 11);
  ASSERT_FALSE(svg.empty());
  EXPECT_EQ(velmora_test::ReadFile(svg), "<svg/>\n");
  EXPECT_EQ(velmora_test::ReadFile(desk + "/FuncGraph[1].gif"), "GIF8\n");
  EXPECT_EQ(Tail(4), (std::vector<std::string>{"SetStatusText(#4)", "TreeDone(1)", "Close(2)",
                                               "AcceptDrops(1)"}));
}

// Both renderers (picture and SVG) have started when both wrote their pid.
std::string g_pids_file;
int EscapeWhileRendering() {
  if (JobState.load() != JobStep::WaitForRenderer) return 0;
  std::string pids = velmora_test::ReadFile(g_pids_file);
  return std::count(pids.begin(), pids.end(), '\n') >= 2 ? 1 : 0;
}

TEST_F(RenderTest, EscapeKillsTheRenderersAndNothingIsWritten) {
  Write("a.c", "int a(void)\n{\n  return b();\n}\nint b(void)\n{\n  return 0;\n}\n");
  Analyse();
  Renderer(30);
  rec.calls.clear();
  g_pids_file = dir + "/dot.pids";
  EscapeSetPoll(EscapeWhileRendering);
  ASSERT_EQ(RequestCallTree(1, 1), 1);
  WorkerWait();
  EXPECT_EQ(Tail(5), (std::vector<std::string>{"ShowWarning(" + Sjis(u8"中断しました。") + ")",
                                               "SetStatusText(Stopped: the graph was not rendered)",
                                               "TreeDone(0)", "Close(2)", "AcceptDrops(1)"}));
  std::string pids = velmora_test::ReadFile(dir + "/dot.pids");
  EXPECT_FALSE(pids.empty());
  for (size_t at = 0; at < pids.size();) {
    size_t nl = pids.find('\n', at);
    std::string pid = pids.substr(at, nl - at);
    EXPECT_FALSE(velmora_test::Exists("/proc/" + pid)) << pid;  // killed and reaped
    at = nl + 1;
  }
  EXPECT_FALSE(velmora_test::Exists(desk + "/FuncGraph[1].gif"));
  EXPECT_EQ(RendererRunning(), 0);
}

// A function whose tree has more than 2,000 nodes.
std::string LargeTree() {
  std::string text = "int root(void)\n{\n";
  for (int i = 0; i < 100; i++) text += "  a" + std::to_string(i) + "();\n";
  text += "}\n";
  for (int i = 0; i < 100; i++) {
    text += "int a" + std::to_string(i) + "(void)\n{\n";
    for (int k = 0; k < 25; k++)
      text += "  u" + std::to_string(i) + "_" + std::to_string(k) + "();\n";
    text += "}\n";
  }
  return text;
}

int EscapeWhileAsked() {
  return JobState.load() == JobStep::AskRender ? 1 : 0;
}

TEST_F(RenderTest, LargeGraphsAreRenderedOnlyWhenTheUserSaysSo) {
  Write("big.c", LargeTree());
  Analyse();
  rec.calls.clear();
  EscapeSetPoll(EscapeWhileAsked);  // Escape: not rendered
  ASSERT_EQ(RequestCallTree(1, 1), 1);
  WorkerWait();
  int nodes = GraphNodeCount();
  ASSERT_GT(nodes, kAskNodes);
  const std::string question = "The graph has " + std::to_string(nodes) +
                               " nodes. Enter: render it; Escape: leave it unrendered";
  EXPECT_NE(std::find(rec.calls.begin(), rec.calls.end(), "SetStatusText(" + question + ")"),
            rec.calls.end());
  EXPECT_NE(std::find(rec.calls.begin(), rec.calls.end(), "SetWaitText(" + question + ")"),
            rec.calls.end());
  EXPECT_EQ(Tail(4), (std::vector<std::string>{"SetStatusText(Not rendered: the graph has " +
                                                   std::to_string(nodes) + " nodes)",
                                               "TreeDone(1)", "Close(2)", "AcceptDrops(1)"}));
  EXPECT_FALSE(velmora_test::Exists(dir + "/dot.pids"));           // never started
  EXPECT_FALSE(velmora_test::Exists(desk + "/FuncGraph[1].gif"));  // its name given back

  // Enter: rendered as any other.
  EscapeSetPoll(nullptr);
  rec.calls.clear();
  ASSERT_EQ(RequestCallTree(1, 1), 1);
  for (int i = 0; i < 3000 && !WorkerAsksToRender(); i++) SleepMs(5);
  ASSERT_EQ(WorkerAsksToRender(), 1);
  AnswerRender();
  WorkerWait();
  EXPECT_EQ(Tail(4), (std::vector<std::string>{"SetStatusText(#4)", "TreeDone(1)", "Close(2)",
                                               "AcceptDrops(1)"}));
  EXPECT_TRUE(velmora_test::Exists(desk + "/FuncGraph[1].gif"));

  // velmora-cli never asks.
  g_front.ask_large = 0;
  rec.calls.clear();
  ASSERT_EQ(RequestCallTree(1, 1), 1);
  WorkerWait();
  EXPECT_EQ(WorkerAsksToRender(), 0);
  EXPECT_TRUE(velmora_test::Exists(desk + "/FuncGraph[2].gif"));
  AnswerRender();  // no question open: nothing
}

TEST_F(RenderTest, RedrawIsViewOnly) {
  Write("a.c", "int a(void)\n{\n  return b();\n}\nint b(void)\n{\n  return 0;\n}\n");
  Analyse();
  ASSERT_EQ(RequestCallTree(1, 1), 1);
  WorkerWait();
  std::string graph = velmora_test::ReadFile(dir + "/velmora.dot");
  rec.result.clear();
  rec.calls.clear();
  ASSERT_EQ(RequestTreeRedraw(0, 1, 2, nullptr, 0), 1);
  WorkerWait();
  EXPECT_EQ(rec.result, "");
  EXPECT_EQ(velmora_test::ReadFile(dir + "/velmora.dot"), graph);
  EXPECT_FALSE(velmora_test::Exists(desk + "/FuncGraph[2].gif"));
  for (const std::string &c : rec.calls) EXPECT_NE(c.rfind("ShowGraph(", 0), 0u) << c;
  EXPECT_EQ(Tail(3), (std::vector<std::string>{"TreeDone(1)", "Close(2)", "AcceptDrops(1)"}));
}

}  // namespace
