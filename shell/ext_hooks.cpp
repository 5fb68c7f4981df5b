// Connects the call-tree expansion and the graph writer, which sit below the
// extensions, to the MIDI player and the relationship table of ext/.
#include "shell/ext_hooks.h"

#include "ext/ext_settings.h"
#include "ext/midi_player.h"
#include "ext/relation.h"
#include "shell/worker.h"
#include "xref/calltree.h"

void InstallExtHooks(void) {
  ExtHooks &h = g_ext_hooks;
  h.music_on = MusicEnabled;
  h.midi_start_tree = TQ_MidiStartTree;
  h.midi_play_node = TQ_MidiPlayNode;
  h.midi_reset = TQ_MidiReset;
  h.midi_end_tree = TQ_MidiEndTree;
  h.correlation_on = CorrelationEnabled;
  h.make_relation_attr = MakeRelationAttrText;
  TQ_MidiSetStopCheck(WorkerStopRequested);
}
