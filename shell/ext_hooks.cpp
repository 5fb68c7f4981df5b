// Connects the call-tree expansion and the graph writer, which sit below the
// extensions, to the graph statements, the MIDI player and the relationship
// table of ext/.
#include "shell/ext_hooks.h"

#include "ext/ext_settings.h"
#include "ext/midi_player.h"
#include "ext/relation.h"
#include "graph/graph.h"
#include "shell/worker.h"

TreeWiring g_tree_wiring;

void InstallExtHooks(void) {
  g_tree_wiring = TreeWiring();
  GraphTreePorts(&g_tree_wiring);
  ExtHooks &h = g_tree_wiring.ext;
  h.music_on = MusicEnabled;
  h.midi_start_tree = TQ_MidiStartTree;
  h.midi_play_node = TQ_MidiPlayNode;
  h.midi_reset = TQ_MidiReset;
  h.midi_end_tree = TQ_MidiEndTree;
  GraphUseRelations(CorrelationEnabled, MakeRelationAttrText);
  TQ_MidiSetStopCheck(WorkerStopRequested);
}
