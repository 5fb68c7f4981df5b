// Call-tree expansion below one function: the indented text in the Result view
// and the result log, the nodes of the CallTree view, and the graph description.
#pragma once

#include "engine/ana.h"
#include "foundation/ports.h"

// Outputs of a tree: bit 1 text, 2 tree view, 4 graph, 8 result-log header.
extern int output_flags;
// 1 once the display-switch lines were written since the Result view was cleared.
extern int flags_shown;

// Node pictures of the CallTree view.
enum {
  NODE_ROOT = 0,
  NODE_FUNC = 1,
  NODE_RECURSIVE = 2,
  NODE_EXPANDED = 3,
  NODE_NOT_EXIST = 4,
  NODE_REMARK = 5,
};

// 1 built, -1 interrupted by Escape, 0 without a root.
int ANA_MakeCallStackTree(ST_FUNC *root, int depthLimit);
int ANA_ExpandFunction(CHBUF *via, ST_FUNC *f, TREEITEM parentNode, int isLast);
void PutTreeText(const char *format, ...) __attribute__((format(printf, 1, 2)));
void PutTreeIndent(int type);
TREEITEM TreeAddNode(TREEITEM parentNode, int kind, const char *sourceName, const char *scope,
                     const char *name, int argc);
void TreeSetNodeKind(TREEITEM node, int kind, const char *name);
