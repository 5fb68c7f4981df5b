// The graph of a callers tree: every edge points from caller to callee, the
// recursion edge too; a name no source defines is an anonymous node that its
// callers point at; remarks point at the function whose callers they stand
// for. Every statement is whole, so the file needs no repair for dot.
#include <string>

#include "graph_test_support.h"
#include "xref/callers.h"

using velmora_test::GraphFixture;

namespace {

TEST_F(GraphFixture, CallersTreeEdgesPointFromCallerToCallee) {
  g_config.MAX_CALL_TABLE = 4;
  ST_SOURCE *s = Source("r.c");
  ST_FUNC *f = Func(s, "f", 1);
  ST_FUNC *g = Func(s, "g", 2);
  Call(g, f);
  Call(g, g);
  for (int i = 0; i < 5; i++) {
    Call(Func(s, Numbered("u", i).c_str(), 3 + i), g);
  }
  ANA_MakeCallersTree(tools, f, 16);
  std::string dot = Graph();
  EXPECT_NE(dot.find("FC1_1[label=\" f(argc:0) \\n[r.c]\\n\"];\n"
                     "FC1_2[label=\" g(argc:0) \\n[r.c]\\n\"];\n"
                     "FC1_2->FC1_2[label=\" <=> (Recursive Call)\",fontcolor=\"#FF0000\","
                     "color=\"#FF0000\"];\n"
                     "FC1_3[label=\" u0(argc:0) \\n[r.c]\\n\"];\n"
                     "FC1_3->FC1_2;\n"),
            std::string::npos)
      << dot;
  EXPECT_NE(dot.find("UQ0[shape=ellipse,fillcolor=\"#ffffff\",label=\" (Interrupt [MaxItems]) "
                     "\\n\"];\nUQ0->FC1_2;\n"
                     "FC1_2->FC1_1;\n}\n"),
            std::string::npos)
      << dot;
  EXPECT_EQ(dot.find(";;"), std::string::npos);

  Call(f, nullptr, "puts", 1);
  Call(g, nullptr, "puts", 1);
  anon_counter = 0;
  ANA_MakeNameCallersTree(tools, "puts", 1);
  dot = Graph();
  EXPECT_NE(dot.find("UQ0[shape=box,fillcolor=\"#C0C0C0\" label=\" puts(argc:1) \\n\"];\n"
                     "FC1_1[label=\" f(argc:0) \\n[r.c]\\n\"];\n"
                     "FC1_1->UQ0;\n"
                     "FC1_2[label=\" g(argc:0) \\n[r.c]\\n\"];\n"
                     "FC1_2->UQ0;\n}\n"),
            std::string::npos)
      << dot;
}

}  // namespace
