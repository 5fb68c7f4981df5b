// The call-tree job's graph output with a renderer of our own: the SVG for
// the Graph tab, Escape while rendering, the question before a large graph,
// a redraw that only shows, and the texts of both jobs in another language.
#include "foundation/messages.h"
#include "shell/ui_language.h"
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

// The letters of a Shift_JIS text outside its 【】 marks (which nest when a
// marked text is filled into a marked format).
std::string Unmarked(const std::string &sjis) {
  std::string out;
  int depth = 0;
  for (size_t i = 0; i < sjis.size(); i++) {
    unsigned char b = (unsigned char)sjis[i];
    if (IsSjisLead(b) && i + 1 < sjis.size()) {
      if (b == 0x81 && sjis[i + 1] == '\x79') depth++;
      if (b == 0x81 && sjis[i + 1] == '\x7a' && depth > 0) depth--;
      i++;
      continue;
    }
    if (depth == 0 && ((b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z'))) out += (char)b;
  }
  return out;
}

// In "xx", the made-up language of the tests whose every text is marked 【】,
// every warning, status text, wait text and phase detail of both jobs is
// marked: none reaches a window without passing the catalogue.
TEST_F(RenderTest, EveryTextOfTheJobsComesFromTheCatalogue) {
  char program[VELMORA_PATH_MAX];
  ProgramPath(program, sizeof program);
  ASSERT_EQ(UseUiLanguage(program, "xx"), 1);
  const std::string mark = Sjis(u8"【");
  std::vector<std::string> all;
  auto run = [&](int (*escape)()) {
    rec.calls.clear();
    EscapeSetPoll(escape);
    Analyse();
    EscapeSetPoll(nullptr);
    all.insert(all.end(), rec.calls.begin(), rec.calls.end());
  };
  Write("notes.txt", "no source\n");
  run(nullptr);  // nothing to analyse
  Write("decl.h", "int x;\n");
  run(nullptr);  // no function
  Write("a.c", "int a(void)\n{\n  return b();\n}\nint b(void)\n{\n  return 0;\n}\n");
  run([]() { return JobState.load() == JobStep::ParseSource ? 1 : 0; });
  DiscardProject();
  run([]() { return JobState.load() == JobStep::LinkCalls ? 1 : 0; });
  DiscardProject();
  // Both branches open a brace: the source ends inside the function.
  Write("lost.c", "int lost(int c)\n{\n#if X\n  if (c) {\n#else\n  if (!c) {\n#endif\n  }\n}\n");
  run(nullptr);
  rec.calls.clear();
  ASSERT_EQ(RequestCallTree(1, 1), 1);  // a rendered tree: its wait and end texts
  WorkerWait();
  all.insert(all.end(), rec.calls.begin(), rec.calls.end());
  rec.calls.clear();
  g_pids_file = dir + "/dot.pids";
  Renderer(30);
  EscapeSetPoll(EscapeWhileRendering);  // a stopped render
  ASSERT_EQ(RequestCallTree(1, 1), 1);
  WorkerWait();
  EscapeSetPoll(nullptr);
  all.insert(all.end(), rec.calls.begin(), rec.calls.end());
  UseUiLanguage(program, "ja");

  int texts = 0, details = 0;
  for (const std::string &c : all) {
    if (c.rfind("SetDetail(", 0) == 0) {
      details += c.find(mark) != std::string::npos;  // the others name sources
      continue;
    }
    if (c.rfind("ShowWarning(", 0) && c.rfind("SetStatusText(", 0) && c.rfind("SetWaitText(", 0) &&
        c.rfind("Open(2,", 0))
      continue;
    texts++;
    size_t open = c.find('(');
    EXPECT_EQ(Unmarked(c.substr(open + 1, c.size() - open - 2)), "") << SjisToUtf8(c);
  }
  EXPECT_GT(texts, 15);
  EXPECT_GT(details, 3);  // numbering, linking
}

}  // namespace
