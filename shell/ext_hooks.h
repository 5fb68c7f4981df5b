// The wiring of the extensions: the call-tree expansion (xref/) and the graph
// writer (graph/) sit below ext/, so start-up points their hook table at the
// MIDI player and the relationship table.
#pragma once

// Points g_ext_hooks (xref/calltree.h) at ext/: the MUSIC and CORRELATION
// switches, the MIDI player and the relationship attributes; and the tone
// player's pauses at the worker's stop request. Start-up does it once;
// calling it again restores hooks a test replaced. Never fails.
void InstallExtHooks(void);
