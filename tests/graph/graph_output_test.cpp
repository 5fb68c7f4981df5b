// The graph description written during call trees: statement forms, node ids,
// edge attributes, encoding, escaping and the file's life cycle.
#include <string>

#include "graph_test_support.h"

using velmora_test::GraphFixture;
using velmora_test::kExampleGraphBody;
using velmora_test::kGraphHeader;

namespace {

int polls_left;
int EscapeAfter() {
  return --polls_left == 0;
}

int On() {
  return 1;
}
const char *Relation(const char *from, const char *to) {
  static std::string text;
  text = std::string("[label=\"") + from + "~" + to + "\"]";
  return text.c_str();
}

}  // namespace

TEST_F(GraphFixture, ExampleTreeDescription) {
  ASSERT_EQ(graph_enabled, 1);
  Example x = BuildExample();
  ASSERT_EQ(ANA_MakeCallStackTree(tools, x.main, 16), 1);
  EXPECT_EQ(Graph(), std::string(kGraphHeader) + kExampleGraphBody);
  EXPECT_EQ(GraphFileSize(), (int)Graph().size());
}

TEST_F(GraphFixture, RecursionRemarksAndCutOff) {
  g_config.MAX_CALL_TABLE = 4;
  ST_SOURCE *s = Source("r.c");
  ST_FUNC *f = Func(s, "f", 1);
  Call(f, f);
  for (int i = 0; i < 5; i++) Call(f, nullptr, "u", i);
  ANA_MakeCallStackTree(tools, f, 16);
  EXPECT_EQ(Graph(), std::string(kGraphHeader) +
                         "FC1_1[label=\" f(argc:0) \\n[r.c]\\n\"];\n"
                         "FC1_1->FC1_1[label=\" <=> (Recursive Call)\",fontcolor=\"#FF0000\","
                         "color=\"#FF0000\"];\n"
                         "UQ0[shape=box,fillcolor=\"#C0C0C0\" label=\" u(argc:0) \\n\"];;\n"
                         "FC1_1->UQ0;\n"
                         "UQ1[shape=box,fillcolor=\"#C0C0C0\" label=\" u(argc:1) \\n\"];;\n"
                         "FC1_1->UQ1;\n"
                         "UQ2[shape=box,fillcolor=\"#C0C0C0\" label=\" u(argc:2) \\n\"];;\n"
                         "FC1_1->UQ2;\n"
                         "UQ3[shape=ellipse,fillcolor=\"#ffffff\",label=\" (Interrupt [MaxItems]) "
                         "\\n\"];FC1_1->UQ3;\n"
                         "}\n");

  // The depth-limit remark ends its node statement with its own ";\n".
  ST_FUNC *chain[7];
  for (int i = 0; i < 7; i++) {
    chain[i] = Func(s, Numbered("g", i).c_str(), i + 2);
    if (i) Call(chain[i - 1], chain[i]);
  }
  anon_counter = 0;
  ANA_MakeCallStackTree(tools, chain[0], 4);
  EXPECT_NE(Graph().find("FC1_7[label=\" g5(argc:0) \\n[r.c]\\n\"];\n"
                         "UQ0[shape=ellipse,fillcolor=\"#ffffff\",label=\" (......) \\n\"];;\n"
                         "FC1_7->UQ0;\n"
                         "FC1_6->FC1_7;\n"),
            std::string::npos)
      << Graph();
}

TEST_F(GraphFixture, AnonymousIdsRestartOnlyWhenTheTreeViewIsCleared) {
  Example x = BuildExample();
  ANA_MakeCallStackTree(tools, x.main, 16);
  EXPECT_NE(Graph().find("UQ0["), std::string::npos);
  ANA_MakeCallStackTree(tools, x.main, 16);  // no clearing in between
  EXPECT_EQ(Graph().find("UQ0["), std::string::npos);
  EXPECT_NE(Graph().find("UQ1["), std::string::npos);
  anon_counter = 0;  // what clearing the CallTree view does
  ANA_MakeCallStackTree(tools, x.main, 16);
  EXPECT_NE(Graph().find("FC1_4->UQ0;\n"), std::string::npos);
}

TEST_F(GraphFixture, EscapeLeavesACompleteFile) {
  Example x = BuildExample();
  polls_left = 3;
  EscapeSetPoll(EscapeAfter);
  EXPECT_EQ(ANA_MakeCallStackTree(tools, x.main, 16), -1);
  EXPECT_EQ(Graph(), std::string(kGraphHeader) +
                         "FC1_1[label=\" main(argc:0) \\n[m.c]\\n\"];\n"
                         "FC1_2[label=\" a(argc:0) \\n[m.c]\\n\"];\n"
                         "FC1_2->FC1_3;\n"
                         "FC1_1->FC1_2;\n"
                         "FC1_1->FC1_4;\n"
                         "}\n");
}

TEST_F(GraphFixture, CorrelationReplacesEveryEdgeAttribute) {
  GraphUseRelations(On, Relation);
  ST_FUNC *f = Func(Source("r.c"), "f", 1);
  Call(f, f);
  Call(f, nullptr, "gone", 0);
  ANA_MakeCallStackTree(tools, f, 16);
  GraphUseRelations(nullptr, nullptr);
  EXPECT_NE(Graph().find("FC1_1->FC1_1[label=\"FC1_1~FC1_1\"];\n"), std::string::npos);
  EXPECT_NE(Graph().find("FC1_1->UQ0[label=\"FC1_1~UQ0\"];\n"), std::string::npos);
}

TEST_F(GraphFixture, EdgeAttributesAndNodeIds) {
  EXPECT_STREQ(MakeEdgeAttr(nullptr, "", nullptr, "A", "B"), "");
  EXPECT_STREQ(MakeEdgeAttr("x", nullptr, "red", "A", "B"), "[label=\"x\",color=\"red\"]");
  EXPECT_STREQ(MakeNodeId(3, 14), "FC3_14");
  anon_counter = 7;
  EXPECT_STREQ(MakeNodeId(0, 0), "UQ7");
  EXPECT_EQ(anon_counter, 8);
}

TEST_F(GraphFixture, NamesInUtf8AndEscapedForDot) {
  // "関数" in Shift_JIS; "表" ends in the byte of a backslash.
  ST_SOURCE *s = Source("we\"ird\x95\x5C.c");
  ST_FUNC *f = Func(s, "\x8A\xD6\x90\x94", 1);
  ANA_MakeCallStackTree(tools, f, 16);
  std::string g = Graph();
  EXPECT_NE(
      g.find("FC1_1[label=\" \xE9\x96\xA2\xE6\x95\xB0(argc:0) \\n[we\\\"ird\xE8\xA1\xA8.c]\\n\"];"),
      std::string::npos)
      << g;
  EXPECT_NE(g.substr(0, 3), "\xEF\xBB\xBF");  // no byte-order mark
}

TEST_F(GraphFixture, TemplatesWithOtherPlaceholdersFallBack) {
  CopyText(g_config.ATTR_FUNC, sizeof g_config.ATTR_FUNC, "%s[label=\"%d %n\"];");
  CopyText(g_config.ATTR_NO_FUNC, sizeof g_config.ATTR_NO_FUNC, "%s[label=\"%s%s\"]");
  CopyText(g_config.ATTR_GRAPH, sizeof g_config.ATTR_GRAPH, "graph[fontsize=%d];");
  Example x = BuildExample();
  ANA_MakeCallStackTree(tools, x.main, 16);
  std::string g = Graph();
  EXPECT_NE(g.find("FC1_1[label=\" main(argc:0) \\n[m.c]\\n\"];\n"), std::string::npos);
  // Fewer placeholders than passed are safe and kept.
  EXPECT_NE(g.find("UQ0[label=\"d\"];\n"), std::string::npos);
  EXPECT_NE(g.find("graph[rankdir=LR,overlap=scale,"), std::string::npos);
}

TEST_F(GraphFixture, DisabledOutputTouchesNoFile) {
  g_config.DISPLAY_GRAPH = 0;
  InitGraphTools();
  EXPECT_EQ(graph_enabled, 0);
  Example x = BuildExample();
  ANA_MakeCallStackTree(tools, x.main, 16);
  EXPECT_FALSE(velmora_test::Exists(dotfile));
  EXPECT_EQ(GraphFileSize(), 0);
  EXPECT_EQ(NextGraphPicture(), 1);
  EXPECT_EQ(RunRenderer(), 1);
  EXPECT_EQ(PollRenderer(), 1);
  EXPECT_EQ(ShowGraphPicture(), 1);
  EXPECT_STREQ(GraphPictureFile(), "");
}

TEST_F(GraphFixture, MissingToolsSwitchGraphOff) {
  FormatText(g_config.DOT_EXE, sizeof g_config.DOT_EXE, "%s/no-dot", dir.c_str());
  InitGraphTools();
  EXPECT_EQ(graph_enabled, 0);
  // No viewer named and no association for pictures.
  setenv("XDG_DATA_DIRS", dir.c_str(), 1);
  setenv("XDG_CONFIG_DIRS", dir.c_str(), 1);
  FormatText(g_config.DOT_EXE, sizeof g_config.DOT_EXE, "/usr/bin/dot");
  g_config.GRAPH_VIEWER[0] = 0;
  InitGraphTools();
  unsetenv("XDG_DATA_DIRS");
  unsetenv("XDG_CONFIG_DIRS");
  EXPECT_STREQ(GraphViewerTemplate(), "");
  EXPECT_EQ(graph_enabled, 0);
}

TEST_F(GraphFixture, PiecesOverTheLimitAreDropped) {
  std::string big(3000, 'x');
  PutGraphText("%s", "a;");
  PutGraphText("%s", big.c_str());  // cut to 2047 bytes
  std::string kanji;
  for (int i = 0; i < 1000; i++) kanji += "\x8A\xD6";  // 3000 bytes in UTF-8: dropped
  PutGraphText("%s", kanji.c_str());
  PutGraphText("%s", "b;");
  GraphFlush();
  EXPECT_EQ(Graph(), "a;" + std::string(2047, 'x') + "b;");
  EXPECT_EQ(ResetGraphFile(), 1);
  EXPECT_EQ(Graph(), "");
}
