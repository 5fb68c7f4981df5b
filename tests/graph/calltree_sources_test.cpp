// The call tree of a small project read from its sources: analysis, linking,
// expansion, graph description and MIDI phrases from start to end.
#include <string>

#include "ext/ext_settings.h"
#include "ext/midi_player.h"
#include "graph_test_support.h"
#include "shell/ext_hooks.h"
#include "xref/xref.h"

using velmora_test::GraphFixture;

namespace {

// Analyses every file named and links the calls, as the analysis job does.
void Analyse(const std::vector<std::string> &files) {
  CB *paths = CreateCB();
  for (const std::string &f : files) AddCB(paths, f.c_str(), (int)f.size() + 1);
  ANA_SourceCreateAll(nullptr, paths);
  ReleaseCB(&paths);
  ANA_EXEC exec = {};
  ANA_ExecBegin(&exec);
  char name[260] = "";
  int r;
  do r = ANA_Exec(&exec, nullptr, name, 0);
  while (r != -2 && r != -3);
  ANA_ExecRelease(&exec);
  ANA_MakeFunctionList(nullptr);
  ANA_BeginCallList();
  while (ANA_LinkNextSource(nullptr) != -1) {
  }
}

struct MidiRecorder : MidiOutPort {
  int messages = 0, resets = 0;
  int Open() override { return 1; }
  void Send(uint32_t) override { messages++; }
  void Reset() override { resets++; }
  void Close() override {}
};
struct FakeClock : ClockPort {
  unsigned total = 0, last = 0;
  void Sleep(unsigned ms) override {
    total += ms;
    last = ms;
  }
};

}  // namespace

TEST_F(GraphFixture, ExampleProjectFromItsSources) {
  Analyse({std::string(VELMORA_TEST_DATA) + "/calltree_example/m.c"});
  ST_FUNC *root = ANA_FindFunction(1, 1);
  ASSERT_NE(root, nullptr);
  ASSERT_STREQ(root->name, "main");
  views.result.clear();
  ASSERT_EQ(ANA_MakeCallStackTree(tools, root, g_config.MAX_CALL_NEST), 1);
  EXPECT_EQ(views.result,
            "Display the Expanded Function:OFF\r\n"
            "Display the Called Function:OFF\r\n"
            "Display the Non-existence Function:ON\r\n"
            "\r\n"
            "<< Call Tree >>\r\n"
            "\r\n"
            "main(argc:0); [m.c]\r\n"
            "  +- a(argc:0); [m.c]\r\n"
            "  |   *- c(argc:0); [m.c]\r\n"
            "  |   \r\n"
            "  *- b(argc:0); [m.c]\r\n"
            "      +- a(argc:0); [m.c] <--  <-- (Already Expanded)\r\n"
            "      *- d(argc:0);\r\n"
            "\r\n\r\n");
  EXPECT_EQ(Graph(), std::string(velmora_test::kGraphHeader) + velmora_test::kExampleGraphBody);
  // The graph file keeps its bytes; the renderer still makes the picture.
  ASSERT_EQ(RunRenderer(), 1);
  ASSERT_EQ(WaitForRenderer(), 1);
  EXPECT_EQ(velmora_test::ReadFile(desk + "/FuncGraph[1].gif").compare(0, 4, "GIF8"), 0);
  EXPECT_NE(Graph().find("];;\n"), std::string::npos);
}

TEST_F(GraphFixture, MusicPlaysEveryNodeAndRingsOut) {
  Analyse({std::string(VELMORA_TEST_DATA) + "/calltree_example/m.c"});
  MidiRecorder midi;
  FakeClock clock;
  TQ_MidiSetPorts(&midi, &clock);
  TQ_MidiOpen();
  InstallExtHooks();  // the MIDI player behind the expansion, as start-up wires it
  SetMusicEnabled(1);
  TreeTools wired{&g_tree_wiring, &views, nullptr};
  ASSERT_EQ(ANA_MakeCallStackTree(wired, ANA_FindFunction(1, 1), 16), 1);
  SetMusicEnabled(0);
  TQ_MidiClose();
  TQ_MidiSetPorts(nullptr, nullptr);
  EXPECT_GT(midi.messages, 6);   // six nodes, each at least one note
  EXPECT_GE(midi.resets, 2);     // at the start and at the end of the tree
  EXPECT_EQ(clock.last, 5000u);  // the ring-out comes last
}
