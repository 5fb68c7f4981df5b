// The Graph tab's cut of a tree's graph: the nodes within a depth of the
// root, the edges between them, the root at one end, and lines that are not
// the writer's statements left alone.
#include <gtest/gtest.h>

#include <string>

#include "graph/graph.h"

namespace {

// The graph of main -> a -> b -> c, a -> UQ0 (undefined), c -> a (recursion),
// with the writer's header and end, and one line no statement of the writer.
const char kCalls[] =
    "digraph fc1{\n"
    "graph[rankdir=LR];\n"
    "FC1_1[label=\" main \"];\n"
    "FC1_2[label=\" a \"];\n"
    "FC1_1->FC1_2;\n"
    "UQ0[shape=box label=\" printf \"];;\n"
    "FC1_2->UQ0;\n"
    "FC1_3[label=\" b \"];\n"
    "FC1_2->FC1_3;\n"
    "FC1_4[label=\" c \"];\n"
    "FC1_3->FC1_4;\n"
    "FC1_4->FC1_2[label=\" <=> (Recursive Call)\"];\n"
    "something the user's template wrote\n"
    "}\n";

bool Has(const std::string &text, const std::string &line) {
  return text.find(line + "\n") != std::string::npos;
}

}  // namespace

TEST(GraphCut, DepthsOfACallTree) {
  GraphShape all;
  std::string whole = CutGraphText(kCalls, 0, 0, &all);
  EXPECT_EQ(all.nodes, 5);
  EXPECT_EQ(all.shown, 5);
  EXPECT_EQ(all.depth, 3);  // c, through the longest way round
  EXPECT_EQ(all.root, "FC1_1");
  // Everything stays, the root goes first in the layout, before the end.
  EXPECT_NE(whole.find("something the user's template wrote\n{rank=source; FC1_1;}\n}\n"),
            std::string::npos)
      << whole;
  EXPECT_EQ(whole.size(),
            std::string(kCalls).size() + std::string("{rank=source; FC1_1;}\n").size());

  GraphShape one;
  std::string first = CutGraphText(kCalls, 0, 1, &one);
  EXPECT_EQ(one.shown, 2);
  EXPECT_EQ(one.nodes, 5);
  EXPECT_TRUE(Has(first, "FC1_1->FC1_2;"));
  EXPECT_FALSE(Has(first, "FC1_2->UQ0;"));
  EXPECT_EQ(first.find("UQ0["), std::string::npos);
  EXPECT_TRUE(Has(first, "graph[rankdir=LR];"));
  EXPECT_TRUE(Has(first, "something the user's template wrote"));

  GraphShape two;
  std::string second = CutGraphText(kCalls, 0, 2, &two);
  EXPECT_EQ(two.shown, 4);  // main, a, printf, b
  EXPECT_TRUE(Has(second, "FC1_2->FC1_3;"));
  // The recursion back to a needs c, which is deeper.
  EXPECT_EQ(second.find("FC1_4"), std::string::npos);
}

TEST(GraphCut, CallersTreesGoAgainstTheEdges) {
  // is_even's callers: is_odd calls it, gcd calls it, main calls gcd; the
  // recursion mark points from the root to is_odd.
  const char callers[] =
      "digraph fc1{\n"
      "FC5_2[label=\" is_even \"];\n"
      "FC5_3[label=\" is_odd \"];\n"
      "FC5_2->FC5_3[label=\" <=> (Recursive Call)\"];\n"
      "FC5_3->FC5_2;\n"
      "FC5_4[label=\" gcd \"];\n"
      "FC1_2[label=\" main \"];\n"
      "FC1_2->FC5_4;\n"
      "FC5_4->FC5_2;\n"
      "}\n";
  GraphShape shape;
  std::string cut = CutGraphText(callers, 1, 1, &shape);
  EXPECT_EQ(shape.root, "FC5_2");
  EXPECT_EQ(shape.depth, 2);
  EXPECT_EQ(shape.shown, 3);
  EXPECT_EQ(cut.find("FC1_2"), std::string::npos);
  // The root at the far end, where the callers lead.
  EXPECT_NE(cut.find("{rank=sink; FC5_2;}\n}\n"), std::string::npos) << cut;
}

TEST(GraphCut, TextThatIsNoGraph) {
  GraphShape shape;
  shape.nodes = 7;
  EXPECT_EQ(CutGraphText("", 0, 2, &shape), "");
  EXPECT_EQ(shape.nodes, 0);
  EXPECT_EQ(shape.root, "");
  // Names that only look like the writer's ids, and no end line.
  std::string odd = "FC1_2x[label=a];\nUQ->UQ1;\nFC1_1[label=b];\nFC1_1->FC1_1";
  std::string out = CutGraphText(odd, 0, 1, &shape);
  EXPECT_EQ(shape.nodes, 1);
  EXPECT_EQ(shape.root, "FC1_1");
  EXPECT_EQ(out, odd + "\n");  // nothing to put the rank before
}
