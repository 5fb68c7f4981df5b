// Graph test support: a call-tree fixture whose graph file, desktop and tools
// are private to the test.
#pragma once

#include <sys/stat.h>

#include <cstdlib>
#include <string>

#include "graph/graph.h"
#include "support/testenv.h"
#include "xref/calltree_fixture.h"

namespace velmora_test {

// The first lines of every graph description with the default settings.
inline const char kGraphHeader[] =
    "digraph fc1{\n"
    "graph[rankdir=LR,overlap=scale,fontname=\"FixedSys\",fontsize=12,splines=true];\n"
    "node[shape=box,style=bold,style=filled,color=\"#000000\",fillcolor=\"#ffff80\","
    "fontname=\"FixedSys\",fontsize=12];\n"
    "edge[fontname=\"FixedSys\",fontsize=12,arrowtail=odot];\n";

// The graph description of the example project's tree (main calls a and b, a
// calls c, b calls a again and d, which no source defines), after the header.
inline const char kExampleGraphBody[] =
    "FC1_1[label=\" main(argc:0) \\n[m.c]\\n\"];\n"
    "FC1_2[label=\" a(argc:0) \\n[m.c]\\n\"];\n"
    "FC1_3[label=\" c(argc:0) \\n[m.c]\\n\"];\n"
    "FC1_2->FC1_3;\n"
    "FC1_1->FC1_2;\n"
    "FC1_4[label=\" b(argc:0) \\n[m.c]\\n\"];\n"
    "FC1_2[label=\" a(argc:0) \\n[m.c]\\n\"];\n"
    "FC1_4->FC1_2;\n"
    "UQ0[shape=box,fillcolor=\"#C0C0C0\" label=\" d(argc:0) \\n\"];;\n"
    "FC1_4->UQ0;\n"
    "FC1_1->FC1_4;\n"
    "}\n";

struct GraphFixture : TreeFixture {
  std::string dir;      // everything of this test
  std::string desk;     // its desktop folder
  std::string dotfile;  // its graph file

  void SetUp() override {
    TreeFixture::SetUp();
    dir = MakeTempDir("graph");
    desk = dir + "/Desktop";
    dotfile = dir + "/velmora.dot";
    setenv("XDG_DESKTOP_DIR", desk.c_str(), 1);
    SetGraphFilePath(dotfile.c_str());
    g_config.DISPLAY_GRAPH = 1;
    FormatText(g_config.DOT_EXE, sizeof g_config.DOT_EXE, "/usr/bin/dot");
    // A viewer named in the settings keeps graph output on without a
    // desktop association.
    FormatText(g_config.GRAPH_VIEWER, sizeof g_config.GRAPH_VIEWER, "%s",
               Script("viewer", "viewer.args").c_str());
    InitGraphTools();
    GraphTreePorts(&wiring);
    anon_counter = 0;
  }
  void TearDown() override {
    FreeGraphTools();
    SetGraphFilePath(nullptr);
    wiring.graph = TreeGraphPort();
    setenv("XDG_DESKTOP_DIR", (std::string(getenv("HOME")) + "/Desktop").c_str(), 1);
    TreeFixture::TearDown();
    RemoveTree(dir);
  }

  // A program that writes its arguments, one per line, to dir/<log>.
  std::string Script(const char *name, const char *log) {
    std::string path = dir + "/" + name + ".sh";
    WriteFile(path, "#!/bin/sh\nprintf '%s\\n' \"$@\" > \"" + dir + "/" + log + ".tmp\"\nmv \"" +
                        dir + "/" + log + ".tmp\" \"" + dir + "/" + log + "\"\n");
    chmod(path.c_str(), 0755);
    return path;
  }
  // Waits up to 10 s for a file to appear; its content, or "" at the time-out.
  std::string WaitForFile(const std::string &path) {
    for (int i = 0; i < 1000 && !Exists(path); i++) usleep(10000);
    return ReadFile(path);
  }
  // Polls the renderer like the call-tree job; 1 when it ended in time.
  static int WaitForRenderer() {
    for (int i = 0; i < 3000; i++) {
      if (PollRenderer()) return 1;
      usleep(10000);
    }
    return 0;
  }
  std::string Graph() const { return ReadFile(dotfile); }
};

}  // namespace velmora_test
