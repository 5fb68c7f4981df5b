// The wiring of the trees: the call-tree expansion (xref/) and the graph
// writer (graph/) sit below ext/, so start-up puts their tables together
// here, pointed at the graph writer, the MIDI player and the relationship
// table.
#pragma once

#include "xref/calltree.h"

// The wiring every tree job of the program draws with; filled by
// InstallExtHooks and read-only afterwards.
extern TreeWiring g_tree_wiring;

// Fills g_tree_wiring: the graph statements of graph/, the MUSIC switch and
// the MIDI player of ext/; connects the graph writer's edges to the
// CORRELATION relationship table, and the tone player's pauses to the
// worker's stop request. Start-up does it once; calling it again restores
// what a test replaced. Never fails.
void InstallExtHooks(void);
