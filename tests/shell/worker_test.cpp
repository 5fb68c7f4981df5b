// The job loop against recording ports: the order of the port calls of an
// analysis, the endings with a warning (no file, no function, Escape, no
// thread), the call-tree job and its refusal while busy, and that a job
// gives back every block it allocated.
#include "engine/precise.h"
#include "worker_fixture.h"

using namespace velmora_worker_test;

namespace {

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
  EXPECT_EQ(tail,
            (std::vector<std::string>{
                "SetDetail(a.c)", "ShowWarning(" + Sjis(u8"中断します。") + ")", "Destroy(1)",
                "SetStatusText(Stopped after 0 of 1 sources; nothing listed: F5 analyses again)",
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
  EXPECT_EQ(
      tail,
      (std::vector<std::string>{
          "ShowWarning(" + Sjis(u8"中断します。") + ")", "Destroy(1)",
          "SetStatusText(Stopped after collecting 1 files; nothing listed: F5 analyses again)",
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
  InstallExtHooks();
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
  EXPECT_EQ(WorkerLinkingStopped(), 0);
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
  // The program is told, so that no tree is built from partial links.
  EXPECT_EQ(WorkerLinkingStopped(), 1);
  // a's call of b and b's of c were linked before the stop, c's of a never.
  EXPECT_EQ(ANA_FindFunction(2, 1)->called, 1);
  EXPECT_EQ(ANA_FindFunction(3, 1)->called, 1);
  EXPECT_EQ(ANA_FindFunction(1, 1)->called, 0);
}

// Sources the precise parser hands to the statement parser, and sources
// whose parse ends inside a function, are named once each in source order
// when parsing ends, and counted after the status text.
TEST_F(WorkerTest, NotesOnSourcesNotReadAsAsked) {
  if (!ANA_PreciseBuiltIn()) GTEST_SKIP() << "built without the grammars";
  Write("a.cpp", "int a(void)\n{\n  return b();\n}\n");
  Write("b.c", "int b(void)\n{\n  if (x) {\n");
  g_config.PARSER = 1;
  g_precise_limits.max_bytes = 10;  // every source is over the size budget
  Analyse();
  g_precise_limits = kPreciseLimits;
  std::vector<std::string> notes;
  for (const std::string &c : rec.calls)
    if (c.rfind("Source", 0) == 0) notes.push_back(c);
  notes.push_back(rec.calls.end()[-3]);  // the status at the end
  const std::string why =
      ", over the precise parser's size budget: read with the statement parser)";
  EXPECT_EQ(notes, (std::vector<std::string>{
                       "SourceFellBack(" + dir + "/a.cpp" + why,
                       "SourceLost(" + dir + "/b.c, b, 2)", "SourceFellBack(" + dir + "/b.c" + why,
                       "SetStatusText(" + std::string(g_config.STAT_MESS[2]) +
                           "  [1 source(s) end inside a function: definitions may be missing]"
                           "  [2 source(s) read with the statement parser: over the precise "
                           "parser's budget])"}));
}

// PARSER=1 in a build without the precise parser: every source is read by
// the statement parser, and the status line says so.
TEST_F(WorkerTest, NoPreciseParserSaysSo) {
  Write("a.cpp", "int a(void)\n{\n  return 0;\n}\n");
  g_config.PARSER = 1;
  g_precise_hidden = 1;
  Analyse();
  g_precise_hidden = 0;
  EXPECT_EQ(rec.calls.end()[-3], "SetStatusText(" + std::string(g_config.STAT_MESS[2]) +
                                     "  [the precise parser is not built in: sources read with "
                                     "the statement parser])");
  EXPECT_EQ(ANA_FindFunction(1, 1)->items, 1);  // "(void)" is an item to the statement parser
}

}  // namespace
