// Callers trees on records built by hand: the text and view nodes for counts,
// recursion, a function met twice, the depth limit, the MAX_CALL_TABLE cut, a
// name no source defines, Escape, and the name lookups that choose roots.
#include <string>
#include <vector>

#include "xref/callers.h"
#include "xref/calltree_fixture.h"

using velmora_test::TreeFixture;
using velmora_test::TreeRecorder;

namespace {

// Also records where the tree operations went and which functions the
// nodes stand for.
struct CallersRecorder : TreeRecorder {
  int target = VIEW_TREE;
  std::vector<int> node_targets;
  std::vector<std::pair<int, int>> functions;
  int HasView(int view) override { return view == VIEW_CALLERS || TreeRecorder::HasView(view); }
  void TreeTarget(int view) override { target = view; }
  TREEITEM TreeInsert(TREEITEM parent, const char *text) override {
    node_targets.push_back(target);
    return TreeRecorder::TreeInsert(parent, text);
  }
  void TreeSetFunction(TREEITEM, int sid, int fid) override { functions.push_back({sid, fid}); }
};

struct CallersTest : TreeFixture {
  CallersRecorder rec;
  void SetUp() override {
    TreeFixture::SetUp();
    tools.views = &rec;
    TreeSetTools(tools);
  }
  std::string Body() const {
    const std::string title = "<< Caller Tree >>\r\n\r\n";
    size_t at = rec.result.rfind(title);
    return at == std::string::npos ? std::string() : rec.result.substr(at + title.size());
  }
};

int polls_left;
int EscapeAfter() {
  return --polls_left == 0;
}

TEST_F(CallersTest, CountsRecursionAlreadyExpandedAndDepthLimit) {
  ST_SOURCE *s = Source("m.c");
  ST_FUNC *leaf = Func(s, "leaf", 1);
  ST_FUNC *mid = Func(s, "mid", 2);
  ST_FUNC *self = Func(s, "self", 3, 1);
  ST_FUNC *hub = Func(s, "hub", 4);
  ST_FUNC *top = Func(s, "top", 5);
  Call(mid, leaf);
  Call(mid, leaf);
  Call(self, self);
  Call(self, leaf);
  Call(hub, mid);
  Call(hub, self);
  Call(top, hub);
  ST_FUNC *chain[6];
  for (int i = 0; i < 6; i++) {
    chain[i] = Func(s, Numbered("c", i).c_str(), 6 + i);
    Call(chain[i], i ? chain[i - 1] : leaf);
  }
  EXPECT_EQ(ANA_MakeCallersTree(tools, leaf, 4), 1);
  EXPECT_EQ(Body(),
            "leaf(argc:0); [m.c]\r\n"
            "  +- mid(argc:0); [m.c] (2 calls)\r\n"
            "  |   *- hub(argc:0); [m.c]\r\n"
            "  |       *- top(argc:0); [m.c]\r\n"
            "  |   \r\n"
            "  +- self(argc:1); [m.c]\r\n"
            "  |   +-  <=> self(argc:1); [m.c] <=> (Recursive Call) \r\n"
            "  |   *- hub(argc:0); [m.c] <--  <-- (Already Expanded)\r\n"
            "  |   \r\n"
            "  *- c0(argc:0); [m.c]\r\n"
            "      *- c1(argc:0); [m.c]\r\n"
            "          *- c2(argc:0); [m.c]\r\n"
            "              *- c3(argc:0); [m.c]\r\n"
            "                  *- c4(argc:0); [m.c](......)\r\n"
            "\r\n\r\n");
  // The nodes went to the Callers view, each tied to its function, and the
  // view target is back on the CallTree afterwards.
  EXPECT_EQ(rec.target, VIEW_TREE);
  ASSERT_FALSE(rec.node_targets.empty());
  for (int t : rec.node_targets) EXPECT_EQ(t, VIEW_CALLERS);
  ASSERT_EQ(rec.functions.size(), rec.nodes.size());
  EXPECT_EQ(rec.functions[1], std::make_pair(1, 2));
  EXPECT_EQ(rec.nodes[1].text, "mid(argc:0) [m.c] (2 calls)");
  EXPECT_EQ(rec.nodes[1].parent, 0);
  EXPECT_EQ(rec.nodes[5].image, NODE_RECURSIVE);
  EXPECT_EQ(rec.nodes[6].image, NODE_EXPANDED);
  EXPECT_EQ(rec.nodes.back().image, NODE_REMARK);
  // A function nobody calls is a leaf of its callers tree.
  EXPECT_EQ(ANA_MakeCallersTree(tools, top, 16), 1);
  EXPECT_EQ(Body(), "top(argc:0); [m.c]\r\n\r\n\r\n");
  EXPECT_EQ(ANA_MakeCallersTree(tools, nullptr, 16), 0);
}

TEST_F(CallersTest, CutAtMaxCallTableAndEscape) {
  g_config.MAX_CALL_TABLE = 4;
  ST_SOURCE *s = Source("m.c");
  ST_FUNC *f = Func(s, "f", 1);
  for (int i = 0; i < 6; i++) {
    Call(Func(s, Numbered("u", i).c_str(), 2 + i), f);
  }
  ANA_MakeCallersTree(tools, f, 16);
  EXPECT_EQ(Body(),
            "f(argc:0); [m.c]\r\n"
            "  +- u0(argc:0); [m.c]\r\n"
            "  +- u1(argc:0); [m.c]\r\n"
            "  +- u2(argc:0); [m.c]\r\n"
            "  +- u3(argc:0); [m.c]\r\n"
            "  *- (Interrupt [MaxItems]) \r\n"
            "\r\n\r\n");
  polls_left = 3;
  EscapeSetPoll(EscapeAfter);
  EXPECT_EQ(ANA_MakeCallersTree(tools, f, 16), -1);
  // As in a call tree, the open loop still runs to its end after Escape.
  EXPECT_EQ(Body(),
            "f(argc:0); [m.c]\r\n"
            "  +- u0(argc:0); [m.c]\r\n"
            "  *- (Interrupt [MaxItems]) \r\n"
            "\r\n\r\n");
}

TEST_F(CallersTest, NameNoSourceDefinesIsOneLevel) {
  ST_SOURCE *s = Source("m.c");
  ST_FUNC *a = Func(s, "a", 1);
  ST_FUNC *b = Func(s, "b", 2);
  Call(a, nullptr, "printf", 1);
  Call(b, nullptr, "printf", 2);
  Call(b, nullptr, "printf", 1);
  Call(b, nullptr, "printf", 1);
  Call(a, b);
  EXPECT_EQ(ANA_MakeNameCallersTree(tools, "printf", 1), 1);
  EXPECT_EQ(Body(),
            "printf(argc:1);\r\n"
            "  +- a(argc:0); [m.c]\r\n"
            "  *- b(argc:0); [m.c] (2 calls)\r\n"
            "\r\n\r\n");
  EXPECT_EQ(rec.nodes[0].image, NODE_NOT_EXIST);
  EXPECT_EQ(ANA_MakeNameCallersTree(tools, "", 1), 0);
}

}  // namespace
