// Rendering with the real renderer, the picture names on the desktop, the
// viewer (named or associated) and the editor launches, through scripts that
// record the arguments they were started with.
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "graph/graph_internal.h"
#include "graph_test_support.h"
#include "platform/files.h"
#include "platform/process.h"

using velmora_test::Exists;
using velmora_test::GraphFixture;
using velmora_test::ReadFile;
using velmora_test::WriteFile;

namespace {

bool IsGif(const std::string &path) {
  return ReadFile(path).compare(0, 4, "GIF8") == 0;
}

}  // namespace

TEST_F(GraphFixture, ThreeTreesGiveThreePicturesAndAFreedNameIsReused) {
  ASSERT_EQ(graph_enabled, 1);
  Example x = BuildExample();
  for (int n = 1; n <= 3; n++) {
    ASSERT_EQ(ANA_MakeCallStackTree(tools, x.main, 16), 1);
    std::string pic = desk + "/FuncGraph[" + std::to_string(n) + "].gif";
    EXPECT_EQ(GraphPictureFile(), pic);
    EXPECT_GT(GraphFileSize(), 0);
    ASSERT_EQ(RunRenderer(), 1);
    ASSERT_EQ(WaitForRenderer(), 1);
    EXPECT_TRUE(IsGif(pic)) << pic;
  }
  unlink((desk + "/FuncGraph[1].gif").c_str());
  ANA_MakeCallStackTree(tools, x.main, 16);
  EXPECT_EQ(GraphPictureFile(), desk + "/FuncGraph[1].gif");
}

TEST_F(GraphFixture, NamedViewerGetsTheLongPicturePath) {
  Example x = BuildExample();
  EXPECT_EQ(ShowGraphPicture(), 0);  // no picture yet
  ANA_MakeCallStackTree(tools, x.main, 16);
  ASSERT_EQ(RunRenderer(), 1);
  ASSERT_EQ(WaitForRenderer(), 1);
  EXPECT_EQ(ShowGraphPicture(), 1);
  EXPECT_EQ(WaitForFile(dir + "/viewer.args"), desk + "/FuncGraph[1].gif\n");
}

TEST_F(GraphFixture, AssociatedViewerFromTheDesktopEntry) {
  // A desktop folder with a blank in its name, and no viewer in the settings.
  desk = dir + "/My Desktop";
  setenv("XDG_DESKTOP_DIR", desk.c_str(), 1);
  std::string config = dir + "/config", data = dir + "/data";
  MakeDirs((config).c_str());
  MakeDirs((data + "/applications").c_str());
  std::string viewer = Script("assoc", "assoc.args");
  WriteFile(config + "/mimeapps.list",
            "[Added Associations]\nimage/gif=other.desktop;\n"
            "[Default Applications]\nimage/gif=missing.desktop;test-view.desktop;\n");
  WriteFile(data + "/applications/test-view.desktop",
            "[Desktop Entry]\nName=View\nExec=" + viewer + " --title %c --open %U --tail\n");
  setenv("XDG_CONFIG_HOME", config.c_str(), 1);
  setenv("XDG_DATA_HOME", data.c_str(), 1);
  g_config.GRAPH_VIEWER[0] = 0;
  InitGraphTools();
  EXPECT_EQ(std::string(GraphViewerTemplate()), viewer + " --title  --open %s");
  EXPECT_EQ(graph_enabled, 1);

  Example x = BuildExample();
  ANA_MakeCallStackTree(tools, x.main, 16);
  ASSERT_EQ(RunRenderer(), 1);
  ASSERT_EQ(WaitForRenderer(), 1);
  EXPECT_EQ(ShowGraphPicture(), 1);
  EXPECT_EQ(WaitForFile(dir + "/assoc.args"), "--title\n--open\n" + desk + "/FuncGraph[1].gif\n");
  setenv("XDG_CONFIG_HOME", (std::string(getenv("HOME")) + "/.config").c_str(), 1);
  unsetenv("XDG_DATA_HOME");
}

TEST_F(GraphFixture, AwkwardNamesAndBadTemplatesStillRender) {
  CopyText(g_config.DOT_CMD, sizeof g_config.DOT_CMD, "%s -T%d");  // falls back
  ST_FUNC *f = Func(Source("q\"uote\\.c"), "f", 1);
  Call(f, nullptr, "g", 0);
  ANA_MakeCallStackTree(tools, f, 16);
  ASSERT_EQ(RunRenderer(), 1);
  ASSERT_EQ(WaitForRenderer(), 1);
  EXPECT_TRUE(IsGif(desk + "/FuncGraph[1].gif"));
}

TEST_F(GraphFixture, RendererNeedsItsFiles) {
  Example x = BuildExample();
  ANA_MakeCallStackTree(tools, x.main, 16);
  unlink(dotfile.c_str());
  EXPECT_EQ(RunRenderer(), 0);
  EXPECT_EQ(PollRenderer(), 1);
}

TEST_F(GraphFixture, ReplacedRendererIsStillReaped) {
  // A renderer that runs until the test lets it end.
  std::string script = dir + "/until.sh", flag = dir + "/end-now";
  WriteFile(script, "#!/bin/sh\nwhile [ ! -e \"$1\" ]; do sleep 0.01; done\n");
  chmod(script.c_str(), 0755);
  ASSERT_EQ(RunProgram(2, 0, (script + " " + flag).c_str()), 1);
  long first = g_graph.dot_pid;
  ASSERT_GT(first, 0);
  EXPECT_EQ(PollRenderer(), 0);
  // Escape ended the wait; the next tree starts another renderer.
  ASSERT_EQ(RunProgram(2, 0, "/bin/true"), 1);
  EXPECT_NE(g_graph.dot_pid, first);
  EXPECT_EQ(WaitForRenderer(), 1);
  WriteFile(flag, "");
  for (int i = 0; i < 1000 && PendingReapCount() > 0; i++) usleep(10000);
  EXPECT_EQ(PendingReapCount(), 0);
  EXPECT_FALSE(Exists("/proc/" + std::to_string(first)));  // no zombie left
  EXPECT_EQ(RunProgram(0, 0, ""), 0);
}

TEST_F(GraphFixture, EditorOnTheSourceAtTheFunctionLine) {
  FormatText(g_config.EDITOR, sizeof g_config.EDITOR, "%s",
             Script("editor", "editor.args").c_str());
  CopyText(g_config.EDITOR_CMD, sizeof g_config.EDITOR_CMD, "+%d");
  ST_FUNC *f = Func(Source("my file.c"), "f", 1);
  // The line of its name, not where its text (and the comment above it) starts.
  f->line = 3;
  f->name_line = 7;
  EXPECT_EQ(OpenSourceAtFunction(1, 1), 1);
  EXPECT_EQ(WaitForFile(dir + "/editor.args"), "+8\n/src/my file.c\n");
  unlink((dir + "/editor.args").c_str());
  // A call's line in a source.
  EXPECT_EQ(OpenSourceAtLine(1, 11), 1);
  EXPECT_EQ(WaitForFile(dir + "/editor.args"), "+12\n/src/my file.c\n");
  unlink((dir + "/editor.args").c_str());
  EXPECT_EQ(OpenSourceAtLine(2, 11), 0);

  f->name_line = 41;
  CopyText(g_config.EDITOR_CMD, sizeof g_config.EDITOR_CMD, "-l %s");  // unusable: dropped
  EXPECT_EQ(OpenSourceAtFunction(1, 1), 1);
  EXPECT_EQ(WaitForFile(dir + "/editor.args"), "/src/my file.c\n");
  EXPECT_EQ(OpenSourceAtFunction(1, 2), 0);
}

// Polls the launches until none runs or one failed; the last answer.
static int WaitForLaunches(std::string *why) {
  int r = 1;
  for (int i = 0; i < 1000 && (r = PollLaunches(why)) == 1; i++) usleep(10000);
  return r;
}

TEST_F(GraphFixture, AnEditorThatFailsIsReported) {
  Func(Source("my file.c"), "f", 1);
  // A launcher that starts but cannot open anything, as xdg-open without a
  // terminal: its last line on stderr is the reason.
  std::string failing = dir + "/failing.sh";
  WriteFile(failing,
            "#!/bin/sh\necho 'starting' >&2\necho 'x-terminal-emulator: not found' >&2\n"
            "exit 3\n");
  chmod(failing.c_str(), 0755);
  FormatText(g_config.EDITOR, sizeof g_config.EDITOR, "%s", failing.c_str());
  ASSERT_EQ(OpenSourceAtFunction(1, 1), 1);
  std::string why;
  EXPECT_EQ(WaitForLaunches(&why), -1);
  EXPECT_EQ(why, failing + ": x-terminal-emulator: not found");
  EXPECT_EQ(PollLaunches(&why), 0);  // told once

  // Silent failures say how they ended; a program that is not there, why.
  WriteFile(failing, "#!/bin/sh\nexit 4\n");
  ASSERT_EQ(OpenSourceAtFunction(1, 1), 1);
  EXPECT_EQ(WaitForLaunches(&why), -1);
  EXPECT_EQ(why, failing + ": exit status 4");
  FormatText(g_config.EDITOR, sizeof g_config.EDITOR, "%s", (dir + "/no-editor").c_str());
  ASSERT_EQ(OpenSourceAtFunction(1, 1), 1);
  EXPECT_EQ(WaitForLaunches(&why), -1);
  EXPECT_EQ(why, dir + "/no-editor: No such file or directory");

  // An editor that does its work ends the watch without a word.
  FormatText(g_config.EDITOR, sizeof g_config.EDITOR, "%s",
             Script("editor", "editor.args").c_str());
  why.clear();
  ASSERT_EQ(OpenSourceAtFunction(1, 1), 1);
  EXPECT_EQ(WaitForLaunches(&why), 0);
  EXPECT_EQ(why, "");
}

TEST_F(GraphFixture, EditorOnAPrivateCopyOfTheFunction) {
  FormatText(g_config.EDITOR, sizeof g_config.EDITOR, "%s",
             Script("editor", "editor.args").c_str());
  std::string src = dir + "/src.c";
  WriteFile(src, "int f(){return 1;}\nint g(){}\n");
  ST_SOURCE *s = Source("src.c");
  MemFree(s->path);
  s->path = (char *)MemAlloc(src.size() + 1);
  memcpy(s->path, src.c_str(), src.size());
  ST_FUNC *g = Func(s, "g", 1);
  g->def_offset = 19;
  g->def_len = 9;
  std::string tmp = std::string(getenv("TMPDIR")) + "/velmora-" + std::to_string(getuid());
  std::string copy = tmp + "/VLM174B.TMP";

  EXPECT_EQ(OpenFunctionText(1, 1), 1);
  EXPECT_EQ(WaitForFile(dir + "/editor.args"), copy + "\n");
  EXPECT_EQ(ReadFile(copy), "int g(){}\r\n");
  struct stat st;
  ASSERT_EQ(stat(tmp.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);

  // A link planted under the fixed name is not followed.
  unlink(copy.c_str());
  std::string victim = dir + "/victim";
  ASSERT_EQ(symlink(victim.c_str(), copy.c_str()), 0);
  EXPECT_EQ(OpenFunctionText(1, 1), 0);
  EXPECT_FALSE(Exists(victim));
  unlink(copy.c_str());

  // Offsets beyond the file as it is now, and unknown functions.
  g->def_offset = 25;
  EXPECT_EQ(OpenFunctionText(1, 1), 0);
  g->def_len = 0;
  EXPECT_EQ(OpenFunctionText(1, 1), 1);
  EXPECT_EQ(OpenFunctionText(2, 1), 0);
}

TEST(NodeIds, MapBackToTheirFunctions) {
  int sid = 0, fid = 0;
  EXPECT_EQ(NodeIdFunction(MakeNodeId(317, 117), &sid, &fid), 1);
  EXPECT_EQ(sid, 317);
  EXPECT_EQ(fid, 117);
  EXPECT_EQ(NodeIdFunction("FC1_2", &sid, &fid), 1);
  EXPECT_EQ(sid * 10 + fid, 12);
  sid = fid = -7;
  for (const char *id : {"UQ0", "FC1", "FC1_", "FC_2", "FC1_2x", "FC1_2_3", "FC0_2", "FC1_0",
                         "FC-1_2", "FC99999999999_1", "fc1_2", "", "F"}) {
    EXPECT_EQ(NodeIdFunction(id, &sid, &fid), 0) << id;
    EXPECT_EQ(sid, -7) << id;
  }
  EXPECT_EQ(NodeIdFunction(nullptr, &sid, &fid), 0);
}

TEST_F(GraphFixture, SvgBesideThePictureWithItsNodes) {
  Example x = BuildExample();
  ASSERT_EQ(ANA_MakeCallStackTree(tools, x.main, 16), 1);
  EXPECT_GT(GraphNodeCount(), 2);
  ASSERT_EQ(RunRenderer(), 1);
  ASSERT_EQ(RunSvgRenderer(0, 0), 1);
  EXPECT_STREQ(GraphSvgFile(), "");  // not before its renderer ended
  for (int i = 0; i < 3000 && !PollSvgRenderer(); i++) usleep(10000);
  ASSERT_EQ(WaitForRenderer(), 1);
  EXPECT_EQ(RendererRunning(), 0);
  std::string svg = GraphSvgFile();
  std::string tmp = std::string(getenv("TMPDIR")) + "/velmora-" + std::to_string(getuid()) + "/";
  ASSERT_EQ(svg.compare(0, tmp.size(), tmp), 0) << svg;
  std::string text = ReadFile(svg);
  EXPECT_NE(text.find("<svg"), std::string::npos);
  char title[64];
  FormatText(title, sizeof title, "<title>FC%d_%d</title>", x.main->sid, x.main->fid);
  EXPECT_NE(text.find(title), std::string::npos);
  EXPECT_TRUE(IsGif(desk + "/FuncGraph[1].gif"));

  // A second tree gets a file of its own; shutdown removes both.
  ASSERT_EQ(ANA_MakeCallStackTree(tools, x.main, 16), 1);
  ASSERT_EQ(RunSvgRenderer(0, 0), 1);
  for (int i = 0; i < 3000 && !PollSvgRenderer(); i++) usleep(10000);
  std::string second = GraphSvgFile();
  EXPECT_NE(second, svg);
  EXPECT_TRUE(Exists(svg));
  FreeGraphTools();
  EXPECT_FALSE(Exists(svg));
  EXPECT_FALSE(Exists(second));
  InitGraphTools();
}

TEST_F(GraphFixture, StoppedRenderIsKilledAndWritesNothing) {
  // A renderer that takes its time and then writes whatever -o names.
  std::string slow = dir + "/slow-dot.sh";
  WriteFile(slow,
            "#!/bin/sh\nsleep 30\nwhile [ $# -gt 0 ]; do [ \"$1\" = -o ] && echo x > \"$2\"; "
            "shift; done\n");
  chmod(slow.c_str(), 0755);
  FormatText(g_config.DOT_EXE, sizeof g_config.DOT_EXE, "%s", slow.c_str());
  Example x = BuildExample();
  ASSERT_EQ(ANA_MakeCallStackTree(tools, x.main, 16), 1);
  ASSERT_EQ(RunRenderer(), 1);
  ASSERT_EQ(RunSvgRenderer(0, 0), 1);
  std::string svg = g_graph.svg.output;
  long pids[2] = {g_graph.dot_pid, g_graph.svg.pid};
  EXPECT_EQ(RendererRunning(), 1);
  EXPECT_EQ(PollRenderer(), 0);
  StopRenderer();
  EXPECT_EQ(RendererRunning(), 0);
  EXPECT_EQ(PollRenderer(), 1);
  EXPECT_EQ(PollSvgRenderer(), 1);
  EXPECT_STREQ(GraphSvgFile(), "");
  for (long pid : pids) EXPECT_FALSE(Exists("/proc/" + std::to_string(pid))) << pid;
  EXPECT_FALSE(Exists(svg));
  usleep(300000);
  EXPECT_FALSE(Exists(desk + "/FuncGraph[1].gif"));
  StopRenderer();  // nothing left to stop
}

TEST_F(GraphFixture, GraphTabAsViewerNeedsOnlyTheRenderer) {
  g_config.DISPLAY_GRAPH = 0;
  g_config.GRAPH_VIEWER[0] = 0;
  setenv("XDG_DATA_DIRS", dir.c_str(), 1);  // no desktop association either
  setenv("XDG_DATA_HOME", dir.c_str(), 1);
  InitGraphTools();
  EXPECT_EQ(graph_enabled, 0);
  g_config.GRAPH_IN_WINDOW = 1;
  InitGraphTools();
  EXPECT_EQ(graph_enabled, 1);
  FormatText(g_config.DOT_EXE, sizeof g_config.DOT_EXE, "%s/no-dot", dir.c_str());
  InitGraphTools();
  EXPECT_EQ(graph_enabled, 0);
  g_config.GRAPH_IN_WINDOW = 0;
  unsetenv("XDG_DATA_DIRS");
  unsetenv("XDG_DATA_HOME");
}
