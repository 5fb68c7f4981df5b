// The call-tree job's graph output with a renderer of our own: the SVG for
// the Graph tab, Escape while rendering, the question before a large graph,
// and a redraw that only shows.
#include "worker_fixture.h"

using namespace velmora_worker_test;

namespace {

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
    InstallExtHooks();  // the trees reach the graph writer, as start-up wires them
    g_front = Front(&rec, 1, 0);
    g_front.in_window = 1;
    g_front.ask_large = 1;
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
