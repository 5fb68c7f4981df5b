// Call-tree expansion below one function: the indented text in the Result view
// and the result log, the nodes of the CallTree view, and the graph description.
//
// The graph writer (graph/) and the extensions (ext/) sit above this layer, so
// the expansion reaches them through tables of function pointers that shell/
// puts together at start-up into one wiring record (TreeWiring) and hands to
// every tree with the views it draws into; an empty entry means "not there"
// (no graph statement, MUSIC off).
#pragma once

#include "engine/ana.h"
#include "foundation/ports.h"

// The outputs of a tree, bits of output_flags.
enum TreeOutput {
  OUTPUT_TEXT = 1,         // indented text in the Result view and the result log
  OUTPUT_VIEW = 2,         // CallTree view nodes (and, through them, MIDI notes)
  OUTPUT_GRAPH = 4,        // graph description
  OUTPUT_LOG_HEADING = 8,  // banner lines in the result log only
  OUTPUT_ALL = OUTPUT_TEXT | OUTPUT_VIEW | OUTPUT_GRAPH | OUTPUT_LOG_HEADING
};
// The outputs of the next trees (TreeOutput bits).
extern int output_flags;
// 1 once the display-switch lines were written since the Result view was cleared.
extern int flags_shown;

// Depth limits of a call tree. The MAX_CALL_NEST setting is read as
// CALL_NEST_MIN..CALL_NEST_MAX; ANA_MakeCallStackTree accepts one level more
// (its argument is clamped to CALL_NEST_MIN..CALL_NEST_MAX + 1).
enum { CALL_NEST_MIN = 4, CALL_NEST_MAX = 255 };

// Chooses the outputs (TreeOutput bits) of the trees that follow. Never fails.
void SetTreeOutputs(int outputs);
// The Result view was emptied: the next tree writes its display-switch lines
// again. Never fails.
void ResetTreeOutput(void);

// Node pictures of the CallTree view.
enum {
  NODE_ROOT = 0,
  NODE_FUNC = 1,
  NODE_EXPANDED = 2,   // function already expanded in this tree
  NODE_RECURSIVE = 3,  // recursive call
  NODE_NOT_EXIST = 4,  // call to a function no source defines
  NODE_REMARK = 5,     // cut off at the depth limit or MAX_CALL_TABLE
};

// The extensions as the expansion sees them; every entry may stay null.
struct ExtHooks {
  int (*music_on)(void);                                               // 1 while MUSIC is on
  void (*midi_start_tree)(void);                                       // TQ_MidiStartTree
  void (*midi_play_node)(int levelPlus2, int kind, const char *name);  // TQ_MidiPlayNode
  void (*midi_reset)(void);                                            // TQ_MidiReset
  // End of a tree (TQ_MidiEndTree: the last notes ring 5000 ms, then reset);
  // when null the expansion sleeps 5000 ms and calls midi_reset itself.
  void (*midi_end_tree)(void);
};

// The graph statements of one tree, written by graph/. Each entry may be
// null: that statement is then not written.
struct TreeGraphPort {
  int (*next_picture)(void);                             // NextGraphPicture
  int (*reset_file)(void);                               // ResetGraphFile
  void (*header)(void);                                  // "digraph fc1{" and attributes
  void (*function_node)(const ST_FUNC *f);               // node statement of f
  void (*edge)(const ST_FUNC *from, const ST_FUNC *to);  // plain edge
  void (*recursion_edge)(const ST_FUNC *from, const ST_FUNC *to);
  void (*missing_call)(const ST_FUNC *caller, const ST_CALL *call);  // node + edge
  // Remark node below f and its edge; cut 1 for the MAX_CALL_TABLE form.
  void (*remark)(const ST_FUNC *f, const char *text, int cut);
  void (*footer)(void);  // "}" and everything written to the file
};

// Statements of a callers tree that a call tree does not have, written by
// graph/; each entry may be null. The node statements and the
// caller-to-callee edges are TreeGraphPort's.
struct CallersGraphPort {
  // The anonymous node of a name no source defines; its id is copied to id
  // (cap bytes).
  void (*name_node)(const char *scope, const char *name, int argc, char *id, int cap);
  void (*edge_to)(const ST_FUNC *from, const char *toId);  // plain edge to a node id
  // Remark node above f (more callers not drawn) and its edge to f.
  void (*remark_above)(const ST_FUNC *f, const char *text);
};

// The tools above this layer that trees are drawn with, put together once
// by the program's start-up (shell/) and read-only afterwards.
struct TreeWiring {
  TreeGraphPort graph;             // statements of every tree's graph
  CallersGraphPort callers_graph;  // those only callers trees have
  ExtHooks ext;                    // the extensions
};

// One node of a tree as scripts see it (velmora-cli --json). Texts are
// Shift_JIS and valid only during the call.
struct TreeNodeInfo {
  int depth;           // functions on the path above it (0: the root)
  const char *scope;   // scope prefix, or ""
  const char *name;    // name; "" for a cut mark
  int argc;            // argument count
  const char *source;  // source file name; "" for a name no source defines
  int sid, fid;        // the function, or 0, 0 for a name no source defines
  // "recursive", "expanded", "depth-limit", "cut" (MAX_CALL_TABLE; no
  // function), "undefined" (no source defines it), or nullptr.
  const char *mark;
  int calls;  // callers trees: calls of this caller to its child (0 in call trees)
};
// Where one tree goes: the wiring, the views that take its nodes and its
// text, and who receives every node. Each may be null: that output is not
// made (no graph statements, no view nodes, no node records).
struct TreeTools {
  const TreeWiring *wiring;                     // graph and extensions
  ResultViews *views;                           // CallTree/Callers nodes, Result text
  void (*node_sink)(const TreeNodeInfo *node);  // every node in drawing order
};

// Builds the tree below root into tools' outputs with the depth limit clamped
// to 4..256. Returns 1 when built, -1 when interrupted by Escape (the outputs
// are still closed), 0 without a root.
int ANA_MakeCallStackTree(const TreeTools &tools, ST_FUNC *root, int depthLimit);
// The outputs that the node functions below address outside a tree (a tree
// uses its own while it is drawn, and leaves none behind). Never fails.
void TreeSetTools(const TreeTools &tools);
// Expands the node of f reached through via (the caller's call element, null
// for the root) below parentNode. Returns 0 when f is a recursion, else 1.
int ANA_ExpandFunction(CHBUF *via, ST_FUNC *f, TREEITEM parentNode, int isLast);
// Formats once and appends the text to the Result view and the result log.
void PutTreeText(const char *format, ...) __attribute__((format(printf, 1, 2)));
// Writes the indentation of the current level: type 0 columns only, 1 with
// INDENT_3, 2 with INDENT_4.
void PutTreeIndent(int type);
// Adds a CallTree node "%s%s(argc:%d) [%s]" with picture kind; nullptr (and no
// sound) when the view does not exist.
TREEITEM TreeAddNode(TREEITEM parentNode, int kind, const char *sourceName, const char *scope,
                     const char *name, int argc);
// Changes the picture of node (kinds 0..5) and plays it when MUSIC is on.
void TreeSetNodeKind(TREEITEM node, int kind, const char *name);
