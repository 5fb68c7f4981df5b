// Fuzz target: a settings file. The same bytes are read as the settings file
// (CONFIG) and as the extension settings file (CORRELATION, MUSIC); every
// line is also read as a note name. A small fixed project is then analysed
// with those settings, so absurd limits, indentation pieces, node marks and
// graph templates all reach the code that uses them, and the MIDI player
// plays every node into a port that checks each message.
#include <cstdint>
#include <cstring>
#include <string>

#include "ext/ext_settings.h"
#include "ext/midi_player.h"
#include "foundation/log.h"
#include "foundation/settings.h"
#include "fuzz/fuzz_support.h"
#include "shell/ext_hooks.h"
#include "graph/graph.h"
#include "shell/config.h"
#include "xref/calltree.h"

namespace velmora_fuzz {
namespace {

// Recursion, a call to a function nobody defines, a scope, a name that needs
// escaping in a dot label, more calls under one node than MAX_CALL_TABLE's
// lowest value, and a chain deeper than MAX_CALL_NEST's lowest value.
const char kProject[] =
    "int leaf(void) { return 0; }\n"
    "int f5(void) { return leaf(); }\n"
    "int f4(void) { return f5(); }\n"
    "int f3(void) { return f4(); }\n"
    "int f2(void) { return f3(); }\n"
    "int f1(void) { return f2(); }\n"
    "int A::odd\\\"name(int a, int b) { return a + b; }\n"
    "int rec(int n) { return n ? rec(n - 1) : missing(n); }\n"
    "int main(int argc, char **argv) {\n"
    "  f1(); leaf(); rec(3); missing(1, 2); leaf(); leaf(); f2(); f3(); f4(); f5();\n"
    "  \x93\xfa\x96\x7b(argc, argv);\n"
    "  return 0;\n"
    "}\n";

// Every short message must be a status byte with two data bytes.
struct CheckingMidi : MidiOutPort {
  int Open() override { return 1; }
  void Send(uint32_t msg) override {
    if ((msg & 0x80) == 0 || ((msg >> 8) & 0x80) || ((msg >> 16) & 0x80) || (msg >> 24))
      FuzzFail("malformed MIDI short message");
  }
  void Reset() override {}
  void Close() override {}
};

// Pauses are counted, never slept.
struct NoClock : ClockPort {
  void Sleep(unsigned ms) override {
    if (ms > 60000) FuzzFail("MIDI pause longer than a minute");
  }
};

void NoEndPause(void) {
  TQ_MidiReset();
}

}  // namespace

int FuzzSettings(const uint8_t *data, size_t size) {
  FuzzInit();
  if (size > (1u << 20)) return 0;
  static CheckingMidi midi;
  static NoClock clock;
  TQ_MidiSetPorts(&midi, &clock);

  std::string ini = FuzzWriteFile("fuzz.ini", data, size);
  FuzzWriteFile("fuzzENH.ini", data, size);

  FuzzDefaultSettings();
  LoadConfiguration(ini.c_str());
  LoadExtensionSettings((FuzzDir() + "/fuzzENH.ini").c_str());
  InitGraphTools();
  graph_enabled = 1;
  // The end of a tree rings for five seconds; here it only resets.
  g_tree_wiring.ext.midi_end_tree = NoEndPause;

  // Note names, one per line.
  std::string text(reinterpret_cast<const char *>(data), size);
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    int n = ParseNoteName(line.c_str());
    if (n < -60 || n > 60) FuzzFail("ParseNoteName out of range");
    start = end + 1;
  }

  std::string src =
      FuzzWriteFile("project.c", reinterpret_cast<const uint8_t *>(kProject), sizeof kProject - 1);
  FuzzAnalyseFile(src.c_str(), 16);

  // Leave nothing of these settings to the next input (or the next target).
  SetMusicEnabled(0);
  ResetExtensionSettings();
  TQ_MidiSetPorts(nullptr, nullptr);
  FuzzDefaultSettings();
  return 0;
}

}  // namespace velmora_fuzz

VELMORA_FUZZ_ENTRY(velmora_fuzz::FuzzSettings)
