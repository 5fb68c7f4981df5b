// Callers trees: for one function, the functions whose calls are linked to it,
// expanded upward to the functions nobody calls; for a name that no source
// defines, the functions whose unlinked calls name it (one level). Drawn like
// a call tree (same marks, settings, branch characters and outputs) under the
// heading "<< Caller Tree >>", into the Callers view, and as a graph whose
// edges point from caller to callee.
#pragma once

#include "engine/ana.h"
#include "xref/calltree.h"

// Draws the callers tree of root with the depth limit clamped as for a call
// tree. Needs linked calls (after an analysis). Returns 1 when drawn, -1 when
// interrupted by Escape (the outputs are still closed), 0 without a root.
int ANA_MakeCallersTree(const TreeTools &tools, ST_FUNC *root, int depthLimit);
// Draws the one-level callers tree of the name text (scope and name written
// together, Shift_JIS) as unlinked calls with argc arguments write it; argc
// below 0 takes the calls of every argument count (the root then reads
// "text(argc:*)").
// Returns 1, -1 when interrupted, 0 for a null or empty text (nothing drawn).
int ANA_MakeNameCallersTree(const TreeTools &tools, const char *text, int argc);
