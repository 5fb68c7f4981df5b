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
  TreeTools tools;                       // its outputs
  int depth_limit;                       // deepest level still expanded
  int level;                             // functions on the path above the node
  ST_FUNC *path_stack[PATH_SLOTS];       // function at each level of the path
  unsigned char more_below[PATH_SLOTS];  // 1: that level's node has a later sibling
  int interrupted;                       // Escape was pressed during this tree
};
extern TreeState g_tree;

// The wiring and views of the tree being drawn.
inline const TreeWiring &TreeWires() {
  static const TreeWiring kNone = {};
  return g_tree.tools.wiring ? *g_tree.tools.wiring : kNone;
}
inline ResultViews *TreeViews() {
  return g_tree.tools.views;
}
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

// The start of a tree into tools' outputs (view: the tree view it fills,
// VIEW_TREE or VIEW_CALLERS): the result log banner "// \"root_name\":kind",
// the display-switch lines once, a picture name and an empty graph file, the
// heading text, the graph header, a cleared path with the depth limit
// clamped, the first notes and cleared `expanded` marks. Never fails.
void OpenTree(const TreeTools &tools, int view, const char *root_name, const char *kind,
              const char *heading, int depthLimit);
// The end of a tree: two blank lines, the graph footer, the last notes, the
// views addressing the CallTree again. Returns -1 when Escape interrupted the
// tree, else 1.
int CloseTree(void);
// What every node of a tree does once its line is written: beyond the depth
// limit, or already expanded in this tree, it is marked (when more would
// follow below it: has_more) and ends here; otherwise it is reported to be
// expanded. remark marks a node cut at the depth limit in the view and the
// graph. calls: the callers trees' count of calls (0 in call trees).
// Returns true when the node ends here.
bool TreeNodeEnds(ST_FUNC *f, TREEITEM node, bool has_more, int calls,
                  void (*remark)(const ST_FUNC *f, TREEITEM node, const char *text));
// A view node with a ready text below parentNode, picture kind and notes as
// TreeAddNode; nullptr (and no sound) when the tree view addressed now
// (view) does not exist.
TREEITEM TreeAddNodeText(int view, TREEITEM parentNode, int kind, const char *text,
                         const char *name);
// The text of a tree that cannot be drawn (no root), written to tools'
// Result view and the result log when text output is on.
void TreeRefused(const TreeTools &tools, const char *text);
// Ties a view node to the function it stands for (nothing for a null node).
void TreeNodeFunction(TREEITEM node, const ST_FUNC *f);
// Steps below f (isLast: f is its parent's last child) before its children
// are drawn; gives the level to hand back to TreeStepUp.
int TreeStepDown(ST_FUNC *f, int isLast);
// Marks f expanded and steps back up to level L after its children; a blank
// column line closes the subtree first when blank_line says a sibling follows.
void TreeStepUp(ST_FUNC *f, int L, bool blank_line);
// Hands one node to the tree's node sink, when there is one.
void TreeReportNode(const char *scope, const char *name, int argc, const ST_FUNC *f,
                    const char *mark, int calls);
