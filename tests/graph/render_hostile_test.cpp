// Rendering under attack: picture names claimed when chosen and never
// followed through a link, render files of their own, no free name, a planted
// graph file, paths that would add arguments, labels that would break out,
// and a temporary folder held by someone else.
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "foundation/trace.h"
#include "graph/graph_internal.h"
#include "graph_test_support.h"
#include "platform/files.h"
#include "platform/output_files.h"
#include "platform/process.h"
#include "platform/tempdir.h"
#include "foundation/trace_capture.h"

using velmora_test::Exists;
using velmora_test::GraphFixture;
using velmora_test::Listing;
using velmora_test::ReadFile;
using velmora_test::WriteFile;

namespace {

// The graph as the renderer gets it: without the empty statements it rejects.
std::string Repaired(std::string g) {
  for (size_t at; (at = g.find("];;\n")) != std::string::npos;) g.erase(at + 2, 1);
  return g;
}

// A fixture whose renderer is a script: it records its arguments, keeps a
// copy of the graph it was given, and writes a small picture where -o says.
struct HostileRender : GraphFixture {
  std::string args_file, seen_graph;

  void SetUp() override {
    GraphFixture::SetUp();
    args_file = dir + "/dot.args";
    seen_graph = dir + "/dot.input";
    std::string dot = dir + "/dot.sh";
    WriteFile(dot,
              "#!/bin/sh\n"
              "printf '%s\\n' \"$@\" > \"" +
                  args_file +
                  ".tmp\"\n"
                  "out=; in=\n"
                  "while [ $# -gt 0 ]; do\n"
                  "  case \"$1\" in -o) shift; out=$1 ;; -T*) ;; *) in=$1 ;; esac\n"
                  "  shift\n"
                  "done\n"
                  "[ -n \"$WAIT_FILE\" ] && while [ ! -e \"$WAIT_FILE\" ]; do sleep 0.01; done\n"
                  "cp \"$in\" \"" +
                  seen_graph +
                  "\"\n"
                  "printf 'GIF89a' > \"$out\"\n"
                  "mv \"" +
                  args_file + ".tmp\" \"" + args_file + "\"\n");
    chmod(dot.c_str(), 0755);
    FormatText(g_config.DOT_EXE, sizeof g_config.DOT_EXE, "%s", dot.c_str());
    InitGraphTools();
    ASSERT_EQ(graph_enabled, 1);
  }
  void TearDown() override {
    unsetenv("WAIT_FILE");
    GraphFixture::TearDown();
  }
  std::vector<std::string> DotArgs() {
    std::string text = WaitForFile(args_file);
    std::vector<std::string> out;
    size_t at = 0;
    for (size_t nl; (nl = text.find('\n', at)) != std::string::npos; at = nl + 1)
      out.push_back(text.substr(at, nl - at));
    return out;
  }
  std::string Private() const {
    return std::string(getenv("TMPDIR")) + "/velmora-" + std::to_string(getuid());
  }
};

}  // namespace

// The name is claimed when the tree starts: it exists (empty) at once, no
// other instance can take it, and the renderer writes into the private
// folder; the picture is moved onto the name when the renderer has ended.
TEST_F(HostileRender, PictureNameIsClaimedWhenChosen) {
  Example x = BuildExample();
  ASSERT_EQ(ANA_MakeCallStackTree(tools, x.main, 16), 1);
  std::string pic = desk + "/FuncGraph[1].gif";
  EXPECT_EQ(GraphPictureFile(), pic);
  ASSERT_TRUE(Exists(pic));
  EXPECT_EQ(ReadFile(pic), "");
  ClaimedFile other;
  EXPECT_EQ(ClaimNewFile(desk.c_str(), "FuncGraph[1].gif", &other), ClaimResult::kTaken);

  ASSERT_EQ(RunRenderer(), 1);
  ASSERT_EQ(WaitForRenderer(), 1);
  EXPECT_EQ(ReadFile(pic), "GIF89a");
  std::vector<std::string> args = DotArgs();
  ASSERT_EQ(args.size(), 4u);
  EXPECT_EQ(args[0], "-Tgif");
  EXPECT_EQ(args[1], "-o");
  EXPECT_EQ(args[2].compare(0, Private().size() + 1, Private() + "/"), 0) << args[2];
  EXPECT_EQ(args[3].compare(0, Private().size() + 1, Private() + "/"), 0) << args[3];
  // The render's own files are gone; only the picture is on the desktop.
  EXPECT_EQ(Listing(Private()), "");
  EXPECT_EQ(Listing(desk), "FuncGraph[1].gif\n");
  EXPECT_EQ(ReadFile(seen_graph), Repaired(Graph()));
}

// A link planted at a free name is never followed: the name counts as taken.
// A claimed name replaced while the renderer runs is left alone.
TEST_F(HostileRender, PlantedLinksAreNeverFollowed) {
  std::string victim = dir + "/victim";
  WriteFile(victim, "precious");
  MakeDirs(desk.c_str());
  ASSERT_EQ(symlink(victim.c_str(), (desk + "/FuncGraph[1].gif").c_str()), 0);
  Example x = BuildExample();
  ANA_MakeCallStackTree(tools, x.main, 16);
  EXPECT_EQ(GraphPictureFile(), desk + "/FuncGraph[2].gif");

  std::string go = dir + "/go";
  setenv("WAIT_FILE", go.c_str(), 1);
  ASSERT_EQ(RunRenderer(), 1);
  unlink((desk + "/FuncGraph[2].gif").c_str());
  ASSERT_EQ(symlink(victim.c_str(), (desk + "/FuncGraph[2].gif").c_str()), 0);
  WriteFile(go, "");
  ASSERT_EQ(WaitForRenderer(), 1);
  EXPECT_EQ(ReadFile(victim), "precious");
  struct stat st;
  ASSERT_EQ(lstat((desk + "/FuncGraph[2].gif").c_str(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode));
  EXPECT_EQ(Listing(Private()), "");
}

// A render reads its own copy of its own tree, even when another instance
// has put its graph file in place meanwhile; the copy is removed afterwards.
TEST_F(HostileRender, EachRenderHasItsOwnFiles) {
  Example x = BuildExample();
  ANA_MakeCallStackTree(tools, x.main, 16);
  std::string mine = Graph();
  WriteFile(dotfile + ".other", "digraph fc1{\ngreet;\n}\n");
  ASSERT_EQ(rename((dotfile + ".other").c_str(), dotfile.c_str()), 0);
  EXPECT_EQ(GraphFileSize(), (int)mine.size());
  ASSERT_EQ(RunRenderer(), 1);
  ASSERT_EQ(WaitForRenderer(), 1);
  EXPECT_EQ(ReadFile(seen_graph), Repaired(mine));
  std::string first = DotArgs()[3];
  EXPECT_FALSE(Exists(first));
  unlink(args_file.c_str());
  ANA_MakeCallStackTree(tools, x.b, 16);
  ASSERT_EQ(RunRenderer(), 1);
  ASSERT_EQ(WaitForRenderer(), 1);
  EXPECT_NE(DotArgs()[3], first);
}

// A stopped render (Escape) is killed: nothing is drawn afterwards, its
// picture name is given back and its private files go. A renderer replaced
// by the next tree's runs on and puts its picture in place by itself.
TEST_F(HostileRender, StoppedRenderersGoReplacedOnesFinish) {
  Example x = BuildExample();
  std::string go = dir + "/go";
  setenv("WAIT_FILE", go.c_str(), 1);
  ANA_MakeCallStackTree(tools, x.main, 16);
  ASSERT_EQ(RunRenderer(), 1);
  EXPECT_EQ(PollRenderer(), 0);
  long stopped = g_graph.dot_pid;
  StopRenderer();
  EXPECT_EQ(PollRenderer(), 1);  // nothing to wait for any more
  EXPECT_FALSE(Exists("/proc/" + std::to_string(stopped)));
  EXPECT_FALSE(Exists(desk + "/FuncGraph[1].gif"));
  EXPECT_EQ(Listing(Private()), "");
  ANA_MakeCallStackTree(tools, x.b, 16);
  ASSERT_EQ(RunRenderer(), 1);
  ANA_MakeCallStackTree(tools, x.a, 16);  // a third tree replaces the second renderer
  ASSERT_EQ(RunRenderer(), 1);
  EXPECT_EQ(ReadFile(desk + "/FuncGraph[1].gif"), "");  // claimed, not yet drawn
  WriteFile(go, "");
  ASSERT_EQ(WaitForRenderer(), 1);
  for (int i = 0; i < 300 && PendingReapCount() > 0; i++) usleep(10000);
  for (int n = 1; n <= 2; n++)
    EXPECT_EQ(ReadFile(desk + "/FuncGraph[" + std::to_string(n) + "].gif"), "GIF89a") << n;
  EXPECT_FALSE(Exists(desk + "/FuncGraph[3].gif"));
  EXPECT_EQ(Listing(Private()), "");
}

// With every name taken, a tree makes no picture and overwrites nothing; it
// says so in the trace, and the caller can ask.
TEST_F(HostileRender, NoFreeNameMeansNoPicture) {
  velmora_test::TraceCapture trace;
  MakeDirs(desk.c_str());
  for (int n = 1; n <= 255; n++) WriteFile(desk + "/FuncGraph[" + std::to_string(n) + "].gif", "");
  Example x = BuildExample();
  ANA_MakeCallStackTree(tools, x.main, 16);
  EXPECT_EQ(GraphNoFreePicture(), 0);
  ASSERT_EQ(RunRenderer(), 1);
  ASSERT_EQ(WaitForRenderer(), 1);
  std::string last = desk + "/FuncGraph[256].gif";
  EXPECT_EQ(ReadFile(last), "GIF89a");
  WriteFile(last, "first tree");

  ANA_MakeCallStackTree(tools, x.b, 16);
  EXPECT_EQ(GraphNoFreePicture(), 1);
  EXPECT_STREQ(GraphPictureFile(), "");
  EXPECT_EQ(NextGraphPicture(), 0);
  EXPECT_EQ(RunRenderer(), 0);
  EXPECT_EQ(PollRenderer(), 1);
  EXPECT_EQ(ShowGraphPicture(), 0);
  EXPECT_EQ(ReadFile(last), "first tree");
  EXPECT_NE(trace.text().find("NextGraphPicture :No free picture name! \"" + desk +
                              "/FuncGraph[1..256].gif\"\r\n"),
            std::string::npos)
      << trace.text();
  unlink((desk + "/FuncGraph[7].gif").c_str());
  EXPECT_EQ(NextGraphPicture(), 1);
  EXPECT_EQ(GraphNoFreePicture(), 0);
}

// A link (or anything but our own kind of file) at the graph file: the tree's
// graph file is off, nothing is written through it and nothing is rendered.
TEST_F(HostileRender, PlantedGraphFileIsNotWrittenThrough) {
  velmora_test::TraceCapture trace;
  std::string victim = dir + "/victim";
  WriteFile(victim, "precious");
  ASSERT_EQ(symlink(victim.c_str(), dotfile.c_str()), 0);
  Example x = BuildExample();
  ANA_MakeCallStackTree(tools, x.main, 16);
  EXPECT_EQ(ReadFile(victim), "precious");
  EXPECT_NE(trace.text().find("ResetGraphFile :Link, output off! \"" + dotfile + "\"\r\n"),
            std::string::npos)
      << trace.text();
  EXPECT_EQ(RunRenderer(), 0);
  EXPECT_FALSE(Exists(desk + "/FuncGraph[1].gif"));  // the claimed name was given back
  unlink(dotfile.c_str());
  ANA_MakeCallStackTree(tools, x.main, 16);
  EXPECT_NE(Graph().find("digraph fc1{"), std::string::npos);
  EXPECT_EQ(Listing(dir).find("velmora.dot."), std::string::npos);  // no temporary left
}

// Values go into their own arguments after the template is split: quotes in
// a path never add one. The editor's path may hold blanks in both views.
TEST_F(HostileRender, PathsCannotAddArguments) {
  std::string odd = dir + "/x\" -o \"" + dir + "/victim\" \"y";
  ASSERT_EQ(MakeDirs(odd.c_str()), 1);
  setenv("TMPDIR", odd.c_str(), 1);
  Example x = BuildExample();
  ANA_MakeCallStackTree(tools, x.main, 16);
  ASSERT_EQ(RunRenderer(), 1);
  ASSERT_EQ(WaitForRenderer(), 1);
  setenv("TMPDIR", std::string(getenv("HOME")).c_str(), 1);
  std::vector<std::string> args = DotArgs();
  ASSERT_EQ(args.size(), 4u);
  EXPECT_EQ(args[2].compare(0, odd.size(), odd), 0) << args[2];
  EXPECT_FALSE(Exists(dir + "/victim"));
  EXPECT_EQ(ReadFile(desk + "/FuncGraph[1].gif"), "GIF89a");

  // A desktop with quotes: the viewer gets the picture as one argument.
  std::string desk2 = dir + "/My \"Desk\" top";
  setenv("XDG_DESKTOP_DIR", desk2.c_str(), 1);
  InitGraphTools();
  ANA_MakeCallStackTree(tools, x.main, 16);
  ASSERT_EQ(RunRenderer(), 1);
  ASSERT_EQ(WaitForRenderer(), 1);
  EXPECT_EQ(ShowGraphPicture(), 1);
  EXPECT_EQ(WaitForFile(dir + "/viewer.args"), desk2 + "/FuncGraph[1].gif\n");

  // The editor's path holds a blank.
  std::string editor_dir = dir + "/my editors";
  MakeDirs(editor_dir.c_str());
  std::string editor = Script("editor", "editor.args");
  std::string spaced = editor_dir + "/ed it.sh";
  ASSERT_EQ(rename(editor.c_str(), spaced.c_str()), 0);
  FormatText(g_config.EDITOR, sizeof g_config.EDITOR, "%s", spaced.c_str());
  CopyText(g_config.EDITOR_CMD, sizeof g_config.EDITOR_CMD, "-n \"+%d\"");
  ST_FUNC *f = Func(Source("my \"file\".c"), "f", 1);
  f->name_line = 9;
  EXPECT_EQ(OpenSourceAtFunction(f->sid, f->fid), 1);
  EXPECT_EQ(WaitForFile(dir + "/editor.args"), "-n\n+10\n/src/my \"file\".c\n");
}

// A settings text with a lead byte right before a quote stays inside its
// label: the lone lead byte is no character and the quote is escaped.
TEST_F(HostileRender, LeadByteBeforeAQuoteStaysInItsLabel) {
  CopyText(g_config.EXPAND_MESS[1], sizeof g_config.EXPAND_MESS[1], "\x81\"];evil[\"\x81");
  ST_SOURCE *s = Source("r.c");
  ST_FUNC *f = Func(s, "f", 1);
  Call(f, f);  // a recursion: its edge carries EXPAND_MESS_1
  ANA_MakeCallStackTree(tools, f, 16);
  std::string g = Graph();
  EXPECT_NE(g.find("FC1_1->FC1_1[label=\"?\\\"];evil[\\\"?\",fontcolor="), std::string::npos) << g;
  // A real pair whose second byte is a backslash or quote-like byte stays whole.
  CopyText(g_config.EXPAND_MESS[1], sizeof g_config.EXPAND_MESS[1], "\x81\x5C");
  ANA_MakeCallStackTree(tools, f, 16);
  EXPECT_NE(Graph().find("[label=\"\xE2\x80\x95\","), std::string::npos) << Graph();
}

// '&' in a name cannot make a character reference that puts a control byte
// (&#1;) or no character (&#x7f;'s neighbours) into the picture.
TEST_F(HostileRender, AmpersandInANameIsNoCharacterReference) {
  ST_FUNC *f = Func(Source("x&#1;.c"), "operator&&", 1);
  ANA_MakeCallStackTree(tools, f, 16);
  std::string g = Graph();
  EXPECT_NE(g.find(" operator&amp;&amp;(argc:0) \\n[x&amp;#1;.c]\\n"), std::string::npos) << g;
  EXPECT_EQ(g.find("&#"), std::string::npos) << g;
}

// The shared temporary folder belongs to someone else (here: something else
// stands at its name): a folder of this process stands in, and pictures
// are still rendered, from a repaired copy the renderer accepts.
TEST_F(GraphFixture, SquattedTemporaryFolderStillRenders) {
  std::string base = dir + "/tmp";
  MakeDirs(base.c_str());
  std::string shared = base + "/velmora-" + std::to_string(getuid());
  WriteFile(shared, "not a folder");
  setenv("TMPDIR", base.c_str(), 1);
  Example x = BuildExample();  // its graph holds ";;", which the renderer rejects
  ANA_MakeCallStackTree(tools, x.main, 16);
  ASSERT_NE(Graph().find(";;"), std::string::npos);
  ASSERT_EQ(RunRenderer(), 1);
  ASSERT_EQ(WaitForRenderer(), 1);
  setenv("TMPDIR", std::string(getenv("HOME")).c_str(), 1);
  EXPECT_EQ(ReadFile(desk + "/FuncGraph[1].gif").compare(0, 4, "GIF8"), 0);
  EXPECT_EQ(ReadFile(shared), "not a folder");
  FreeGraphTools();
  EXPECT_EQ(Listing(base), "velmora-" + std::to_string(getuid()) + "\n");  // stand-in gone
}
