// What the two tree walks share, the call tree (calltree.cpp) and the callers
// tree (callers.cpp): the state of the tree being drawn, its outputs, and its
// opening and closing. Private to xref/.
#pragma once

#include "engine/ana.h"
#include "foundation/ports.h"
#include "xref/calltree.h"

// The expansion takes one level more than the setting allows, and its path
// holds every level from the root (0) to the deepest.
enum { DEPTH_MIN = CALL_NEST_MIN, DEPTH_MAX = CALL_NEST_MAX + 1, PATH_SLOTS = DEPTH_MAX + 1 };

// The expansion state of the one tree being drawn (one at a time).
struct TreeState {
  int depth_limit;                       // deepest level still expanded
  int level;                             // functions on the path above the node
  ST_FUNC *path_stack[PATH_SLOTS];       // function at each level of the path
  unsigned char more_below[PATH_SLOTS];  // 1: that level's node has a later sibling
  int interrupted;                       // Escape was pressed during this tree
};
extern TreeState g_tree;

inline bool TreeTextOn() {
  return output_flags & OUTPUT_TEXT;
}
inline bool TreeViewOn() {
  return output_flags & OUTPUT_VIEW;
}
inline bool TreeGraphOn() {
  return output_flags & OUTPUT_GRAPH;
}
// The file name of f's source, "" when it has none.
const char *TreeSourceName(const ST_FUNC *f);
// 1 when f is on the path above the current level (a recursion).
int TreeOnPath(const ST_FUNC *f);
// Polls Escape once: 1 (and interrupted set) when the tree must stop here.
int TreeStopRequested(void);

// The start of a tree: the result log banner "// \"root_name\":kind", the
// display-switch lines once, a picture name and an empty graph file, the
// heading text, the graph header, a cleared path with the depth limit
// clamped, the first notes and cleared `expanded` marks. Never fails.
void OpenTree(const char *root_name, const char *kind, const char *heading, int depthLimit);
// The end of a tree: two blank lines, the graph footer, the last notes.
// Returns -1 when Escape interrupted the tree, else 1.
int CloseTree(void);
// A view node with a ready text below parentNode, picture kind and notes as
// TreeAddNode; nullptr (and no sound) when the tree view addressed now
// (view) does not exist.
TREEITEM TreeAddNodeText(int view, TREEITEM parentNode, int kind, const char *text,
                         const char *name);
// Hands one node to g_tree_node_sink, when there is one.
void TreeReportNode(const char *scope, const char *name, int argc, const ST_FUNC *f,
                    const char *mark, int calls);
