// Call-tree expansion: the text tree, the CallTree view nodes and the result
// log, on analyzer records built by hand.
#include <cstring>
#include <string>

#include "foundation/log.h"
#include "platform/files.h"
#include "support/testenv.h"
#include "xref/calltree_fixture.h"

using velmora_test::TreeFixture;

namespace {

const char kOptionLines[] =
    "Display the Expanded Function:OFF\r\n"
    "Display the Called Function:OFF\r\n"
    "Display the Non-existence Function:ON\r\n"
    "\r\n";

// The example tree down to b: the same whatever b shows below it.
const std::string kExampleTop =
    "main(argc:0); [m.c]\r\n"
    "  +- a(argc:0); [m.c]\r\n"
    "  |   *- c(argc:0); [m.c]\r\n"
    "  |   \r\n"
    "  *- b(argc:0); [m.c]\r\n";

const std::string kExampleBody = kExampleTop +
                                 "      +- a(argc:0); [m.c] <--  <-- (Already Expanded)\r\n"
                                 "      *- d(argc:0);\r\n"
                                 "\r\n\r\n";

int polls_left;
int EscapeAfter() {
  return --polls_left == 0;
}

}  // namespace

// A tree fixture whose result log goes to a desktop folder of its own; the
// folder and the previous desktop setting are given back whatever the test's
// outcome.
struct TreeLogFixture : TreeFixture {
  std::string desk;
  std::string old_desk;  // XDG_DESKTOP_DIR before the test
  bool had_desk = false;

  void SetUp() override {
    TreeFixture::SetUp();
    const char *old = getenv("XDG_DESKTOP_DIR");
    had_desk = old != nullptr;
    old_desk = old ? old : "";
    desk = velmora_test::MakeTempDir("calltree-desk");
    ASSERT_FALSE(desk.empty());
    setenv("XDG_DESKTOP_DIR", desk.c_str(), 1);
    LogSetLevel(0);
    LogOpen(1, "result");
  }
  void TearDown() override {
    LogShutdown();
    LogSetLevel(-1);
    if (had_desk)
      setenv("XDG_DESKTOP_DIR", old_desk.c_str(), 1);
    else
      unsetenv("XDG_DESKTOP_DIR");
    velmora_test::RemoveTree(desk);
    TreeFixture::TearDown();
  }
};

TEST_F(TreeLogFixture, ExampleTreeTextViewAndLog) {
  Example x = BuildExample();
  EXPECT_EQ(ANA_MakeCallStackTree(tools, x.main, 16), 1);
  LogShutdown();

  EXPECT_EQ(views.result, kOptionLines + std::string("<< Call Tree >>\r\n\r\n") + kExampleBody);
  std::string bar = "//=====================================================\r\n";
  EXPECT_EQ(velmora_test::ReadFile(desk + "/result.txt"),
            "\r\n" + bar + "// \"main\":Call Tee\r\n" + bar + views.result);

  ASSERT_EQ(views.nodes.size(), 6u);
  struct Want {
    int parent;
    const char *text;
    int image;
  } want[] = {{-1, "main(argc:0) [m.c]", NODE_FUNC}, {0, "a(argc:0) [m.c]", NODE_FUNC},
              {1, "c(argc:0) [m.c]", NODE_FUNC},     {0, "b(argc:0) [m.c]", NODE_FUNC},
              {3, "a(argc:0) [m.c]", NODE_EXPANDED}, {3, "d(argc:0) [m.c]", NODE_NOT_EXIST}};
  for (size_t i = 0; i < 6; i++) {
    EXPECT_EQ(views.nodes[i].parent, want[i].parent) << i;
    EXPECT_EQ(views.nodes[i].text, want[i].text) << i;
    EXPECT_EQ(views.nodes[i].image, want[i].image) << i;
  }
}

TEST_F(TreeFixture, OptionLinesOnlyBeforeTheFirstTreeAfterAClear) {
  Example x = BuildExample();
  ANA_MakeCallStackTree(tools, x.main, 16);
  views.result.clear();
  ANA_MakeCallStackTree(tools, x.main, 16);
  EXPECT_EQ(views.result.find("Display"), std::string::npos);
  EXPECT_EQ(views.result, std::string("<< Call Tree >>\r\n\r\n") + kExampleBody);
  flags_shown = 0;  // the Result view was cleared
  views.result.clear();
  g_config.FUNC_EXPAND_AGAIN = 1;
  ANA_MakeCallStackTree(tools, x.main, 16);
  EXPECT_EQ(views.result.rfind("Display the Expanded Function:ON\r\n", 0), 0u);
}

TEST_F(TreeFixture, MissingRootAndRootWithoutCalls) {
  EXPECT_EQ(ANA_MakeCallStackTree(tools, nullptr, 16), 0);
  EXPECT_EQ(views.result, "ANA_MakeCallStackTree : Invalid Function.\r\n");
  views.result.clear();
  ST_FUNC *f = Func(Source("one.c"), "lonely", 1, 2, "K::");
  EXPECT_EQ(ANA_MakeCallStackTree(tools, f, 16), 1);
  EXPECT_EQ(TreeBody(), "K::lonely(argc:2); [one.c]\r\n\r\n\r\n");
}

TEST_F(TreeFixture, DirectRecursion) {
  ST_FUNC *f = Func(Source("r.c"), "loop", 1);
  Call(f, f);
  EXPECT_EQ(ANA_MakeCallStackTree(tools, f, 16), 1);
  EXPECT_EQ(TreeBody(),
            "loop(argc:0); [r.c]\r\n"
            "  *-  <=> loop(argc:0); [r.c] <=> (Recursive Call) \r\n"
            "\r\n\r\n");
  ASSERT_EQ(views.nodes.size(), 2u);
  EXPECT_EQ(views.nodes[1].image, NODE_RECURSIVE);
  EXPECT_EQ(views.nodes[1].parent, 0);
}

TEST_F(TreeFixture, RepeatedCallsShownOnceUnlessCallAgain) {
  ST_SOURCE *s = Source("g.c");
  ST_FUNC *f = Func(s, "f", 1);
  ST_FUNC *g = Func(s, "g", 2, 1);
  Call(f, g);
  Call(f, g);
  Call(f, nullptr, "g", 2);  // another argc: another call
  ANA_MakeCallStackTree(tools, f, 16);
  EXPECT_EQ(TreeBody(),
            "f(argc:0); [g.c]\r\n"
            "  +- g(argc:1); [g.c]\r\n"
            "  *- g(argc:2);\r\n"
            "\r\n\r\n");

  views.result.clear();
  g_config.FUNC_CALL_AGAIN = 1;
  ForEachCall(f, [](ST_CALL *c) { c->skip = 0; });
  ANA_MakeCallStackTree(tools, f, 16);
  EXPECT_EQ(TreeBody(),
            "f(argc:0); [g.c]\r\n"
            "  +- g(argc:1); [g.c]\r\n"
            "  +- g(argc:1); [g.c]\r\n"
            "  *- g(argc:2);\r\n"
            "\r\n\r\n");
}

TEST_F(TreeFixture, ExpandAgainAndHiddenMissingCalls) {
  g_config.FUNC_EXPAND_AGAIN = 1;
  Example x = BuildExample();
  ANA_MakeCallStackTree(tools, x.main, 16);
  EXPECT_EQ(TreeBody(), kExampleTop +
                            "      +- a(argc:0); [m.c]\r\n"
                            "      |   *- c(argc:0); [m.c]\r\n"
                            "      |   \r\n"
                            "      *- d(argc:0);\r\n"
                            "\r\n\r\n");

  // Without missing functions the linked a is b's last shown call, although
  // the call of d follows it in the body.
  g_config.FUNC_EXPAND_AGAIN = 0;
  g_config.FUNC_NOT_EXIST_DISP = 0;
  views.result.clear();
  flags_shown = 0;
  ANA_MakeCallStackTree(tools, x.main, 16);
  EXPECT_NE(views.result.find("Display the Non-existence Function:OFF\r\n"), std::string::npos);
  EXPECT_EQ(TreeBody(), kExampleTop +
                            "      *- a(argc:0); [m.c] <--  <-- (Already Expanded)\r\n"
                            "\r\n\r\n");
}

TEST_F(TreeFixture, DepthLimitMarksAndLaterExpansion) {
  // A chain f0 -> f1 -> ... -> f7; f0 also calls f6 directly after f1.
  ST_SOURCE *s = Source("deep.c");
  ST_FUNC *f[8];
  for (int i = 0; i < 8; i++) {
    f[i] = Func(s, Numbered("f", i).c_str(), i + 1);
  }
  for (int i = 0; i < 7; i++) Call(f[i], f[i + 1]);
  Call(f[0], f[6]);
  EXPECT_EQ(ANA_MakeCallStackTree(tools, f[0], 1), 1);  // clamped to 4
  std::string body = TreeBody();
  // f5 at level 5 has a call: marked; f6 below it is never reached from there.
  EXPECT_NE(body.find("*- f5(argc:0); [deep.c](......)\r\n"), std::string::npos) << body;
  // Met again at level 1, f6 is expanded there, down to f7.
  EXPECT_NE(body.find("  *- f6(argc:0); [deep.c]\r\n      *- f7(argc:0); [deep.c]\r\n"),
            std::string::npos)
      << body;
  ASSERT_FALSE(views.nodes.empty());
  EXPECT_EQ(views.nodes[5].text, "f5(argc:0) [deep.c]");
  EXPECT_EQ(views.nodes[5].image, NODE_REMARK);

  // The leaf f7 beyond the limit ends with the line break only.
  views.result.clear();
  ANA_MakeCallStackTree(tools, f[2], 4);
  EXPECT_NE(TreeBody().find("*- f7(argc:0); [deep.c]\r\n"), std::string::npos) << TreeBody();
}

TEST_F(TreeFixture, MaxCallTableCutsWithRemark) {
  g_config.MAX_CALL_TABLE = 4;
  ST_SOURCE *s = Source("wide.c");
  ST_FUNC *root = Func(s, "root", 1);
  for (int i = 0; i < 6; i++) {
    Call(root, nullptr, Numbered("u", i).c_str(), 0);
  }
  ANA_MakeCallStackTree(tools, root, 16);
  EXPECT_EQ(TreeBody(),
            "root(argc:0); [wide.c]\r\n"
            "  +- u0(argc:0);\r\n"
            "  +- u1(argc:0);\r\n"
            "  +- u2(argc:0);\r\n"
            "  +- u3(argc:0);\r\n"
            "  *- (Interrupt [MaxItems]) \r\n"
            "\r\n\r\n");
  EXPECT_EQ(views.nodes[0].image, NODE_REMARK);
  EXPECT_EQ(views.nodes.size(), 5u);
}

TEST_F(TreeFixture, EscapeStopsTheExpansionAndClosesTheText) {
  Example x = BuildExample();
  polls_left = 3;  // main, a, then the stop at c
  EscapeSetPoll(EscapeAfter);
  EXPECT_EQ(ANA_MakeCallStackTree(tools, x.main, 16), -1);
  EXPECT_EQ(TreeBody(),
            "main(argc:0); [m.c]\r\n"
            "  +- a(argc:0); [m.c]\r\n"
            "  |   \r\n"
            "\r\n\r\n");
  // The next tree starts afresh.
  EscapeSetPoll(nullptr);
  views.result.clear();
  EXPECT_EQ(ANA_MakeCallStackTree(tools, x.main, 16), 1);
}

TEST_F(TreeFixture, LongIndentTextsDeepTreeNeverOverflow) {
  for (int i = 0; i < 5; i++) std::memset(g_config.INDENT[i], i == 3 ? '+' : '|', 14);
  for (int i = 0; i < 5; i++) g_config.INDENT[i][14] = 0;
  ST_SOURCE *s = Source("chain.c");
  enum { N = 300 };
  ST_FUNC *prev = nullptr, *root = nullptr;
  for (int i = 0; i < N; i++) {
    ST_FUNC *f = Func(s, Numbered("n", i).c_str(), i + 1);
    if (prev) Call(prev, f);
    if (!root) root = f;
    prev = f;
  }
  EXPECT_EQ(ANA_MakeCallStackTree(tools, root, 1000), 1);  // clamped to 256
  std::string body = TreeBody();
  // Level 257 is the deepest line: 14 bytes for each of 257 columns and marker.
  std::string deepest = "n257(argc:0); [chain.c](......)\r\n";
  size_t at = body.find(deepest);
  ASSERT_NE(at, std::string::npos);
  size_t start = body.rfind('\n', at) + 1;
  EXPECT_EQ(at - start, 14u * 258);
  EXPECT_EQ(body.find("n258("), std::string::npos);
}

TEST_F(TreeFixture, WithoutTreeViewNoNodesButText) {
  views.tree_view = 0;
  Example x = BuildExample();
  ANA_MakeCallStackTree(tools, x.main, 16);
  EXPECT_TRUE(views.nodes.empty());
  EXPECT_EQ(TreeBody(), kExampleBody);
  // Only the text: no view, no graph.
  output_flags = 1;
  views.tree_view = 1;
  views.result.clear();
  ANA_MakeCallStackTree(tools, x.main, 16);
  EXPECT_TRUE(views.nodes.empty());
  EXPECT_EQ(TreeBody(), kExampleBody);
}

namespace {
int g_graph_calls = 0;
int CountGraphCall() {
  return ++g_graph_calls;
}
}  // namespace

TEST_F(TreeFixture, ViewOnlyLeavesTextLogAndGraphAlone) {
  Example x = BuildExample();
  wiring.graph.next_picture = CountGraphCall;
  wiring.graph.reset_file = CountGraphCall;
  g_graph_calls = 0;
  output_flags = OUTPUT_VIEW;
  ANA_MakeCallStackTree(tools, x.main, 16);
  EXPECT_FALSE(views.nodes.empty());
  EXPECT_EQ(views.result, "");
  EXPECT_EQ(g_graph_calls, 0);
  output_flags = OUTPUT_ALL;
  ANA_MakeCallStackTree(tools, x.main, 16);
  EXPECT_EQ(g_graph_calls, 2);
  wiring.graph = TreeGraphPort();
}

namespace {
std::vector<std::string> played;
int MusicOn() {
  return 1;
}
void Play(int levelPlus2, int kind, const char *name) {
  played.push_back(std::to_string(levelPlus2) + "/" + std::to_string(kind) + "/" + name);
}
}  // namespace

TEST_F(TreeFixture, NodesPlayWhenMusicIsOn) {
  played.clear();
  wiring.ext.music_on = MusicOn;
  wiring.ext.midi_play_node = Play;
  TREEITEM n = TreeAddNode(nullptr, NODE_FUNC, "m.c", "A::", "f", 1);
  ASSERT_NE(n, nullptr);
  EXPECT_EQ(views.nodes[0].text, "A::f(argc:1) [m.c]");
  TreeSetNodeKind(n, NODE_REMARK, "f");
  views.tree_view = 0;
  EXPECT_EQ(TreeAddNode(nullptr, NODE_FUNC, "m.c", "", "g", 0), nullptr);  // silent
  TreeSetNodeKind(nullptr, NODE_EXPANDED, "g");                            // still heard
  wiring.ext = ExtHooks();
  EXPECT_EQ(played, (std::vector<std::string>{"2/1/f", "2/5/f", "2/2/g"}));
  EXPECT_EQ(views.nodes[0].image, NODE_REMARK);
}
