// Call-tree expansion: a depth-first walk along the links of the call list,
// written at once as indented text, CallTree view nodes and graph statements.
// The walk is bounded by the depth limit (at most 256 levels of recursion) and
// by MAX_CALL_TABLE shown calls per node.
#include "xref/calltree.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>
#include <unordered_set>
#include <vector>

#include "engine/record_walk.h"
#include "foundation/hash.h"
#include "foundation/log.h"
#include "foundation/settings.h"
#include "foundation/text.h"
#include "foundation/trace.h"
#include "platform/codepage.h"
#include "platform/keys.h"
#include "platform/sys.h"
#include "xref/tree_internal.h"
#include "xref/xref.h"

int output_flags = 0;
int flags_shown = 0;

void SetTreeOutputs(int outputs) {
  output_flags = outputs;
}

void ResetTreeOutput(void) {
  flags_shown = 0;
}

TreeState g_tree;

namespace {

// The log takes at most 2047 characters per line; longer texts go in pieces.
enum { LOG_PIECE = 2000 };

TreeState &tree = g_tree;

// Scratch of the text output: grows to the longest line met, never shrinks.
std::vector<char> text_buf(1024);
// The indentation prefix, built without a fixed limit.
std::string indent_buf;
// LINE of the node being written; used before the walk goes deeper.
char line_buf[1100];
// Key of the repeated-call set.
char key_buf[1100];

bool TextOn() {
  return output_flags & OUTPUT_TEXT;
}
bool ViewOn() {
  return output_flags & OUTPUT_VIEW;
}
bool GraphOn() {
  return output_flags & OUTPUT_GRAPH;
}
const ExtHooks &Ext() {
  return TreeWires().ext;
}
bool MusicOn() {
  return Ext().music_on && Ext().music_on();
}

const char *SourceName(const ST_FUNC *f) {
  return f && f->source ? f->source->name : "";
}

// Appends ready text (not a format) to the Result view and the result log.
void EmitText(const char *text, size_t len) {
  if (ResultViews *v = TreeViews()) {
    if (*text) v->AppendResult(text);
  }
  if (len <= LOG_PIECE) {
    LogPrint(0, LOG_RESULT, "%s", text);
    return;
  }
  // Pieces end on whole Shift_JIS characters, so the log keeps every pair.
  size_t pos = 0;
  while (pos < len) {
    size_t end = pos;
    while (end < len && end - pos < LOG_PIECE)
      end += (IsSjisLead((unsigned char)text[end]) && end + 1 < len) ? 2 : 1;
    LogPrint(0, LOG_RESULT, "%.*s", (int)(end - pos), text + pos);
    pos = end;
  }
}

void OnOffLine(const char *label, int on) {
  PutTreeText("%s:%s\r\n", label, on ? "ON" : "OFF");
}

// LINE of f: "%s%s(argc:%d); [%s]".
// The node of f reached through the call via: " (1 of n)" after it when
// the call fits n definitions alike and f is the first of them (the
// precise parser's linking only), else nothing.
int Candidates(const CHBUF *via) {
  const ST_CALL *call = via ? static_cast<const ST_CALL *>(via->data) : nullptr;
  return call && call->how && call->how->candidate_count > 1 ? call->how->candidate_count : 0;
}

const char *BuildLine(const ST_FUNC *f, const CHBUF *via) {
  size_t n = FormatText(line_buf, sizeof line_buf, "%s%s(argc:%d); [%s]", f->scope, f->name,
                        f->argc, SourceName(f));
  if (int of = Candidates(via)) FormatText(line_buf + n, sizeof line_buf - n, " (1 of %d)", of);
  return line_buf;
}

// The tree view's node of f, marked as its line is.
TREEITEM AddFunctionNode(TREEITEM parentNode, int kind, const ST_FUNC *f, const CHBUF *via) {
  int of = Candidates(via);
  if (!of) return TreeAddNode(parentNode, kind, SourceName(f), f->scope, f->name, f->argc);
  char text[1100];
  FormatText(text, sizeof text, "%s%s(argc:%d) [%s] (1 of %d)", f->scope, f->name, f->argc,
             SourceName(f), of);
  return TreeAddNodeText(VIEW_TREE, parentNode, kind, text, f->name);
}

// The repeated-call pass: marks every call whose (file, scope, name, argc)
// key was met before in this body. 0 when the set cannot be made.
int MarkRepeatedCalls(ST_FUNC *f, int *shownCount) {
  ST_HASH *seen = CreateHASH(512);
  if (!seen) return 0;
  // With EXACT_NAMES keys are told apart by their texts, not their hashes.
  std::unordered_set<std::string> texts;
  ForEachCall(f, [&](ST_CALL *c) {
    FormatText(key_buf, sizeof key_buf, "%s;%s%s;%d", SourceName(c->caller), c->scope, c->name,
               c->argc);
    bool again =
        g_config.EXACT_NAMES ? !texts.insert(key_buf).second : HASH_Search(seen, key_buf, 0) != -1;
    if (again) {
      c->skip = 1;
    } else {
      c->skip = 0;
      HASH_Regist(seen, key_buf, 0, 1);
      (*shownCount)++;
    }
  });
  ReleaseHASH(&seen);
  return 1;
}

// Decides which calls of f the tree shows (the skip marks) and counts them
// into *shownCount. 0 when the repeated-call set cannot be made.
int MarkShownCalls(ST_FUNC *f, int *shownCount) {
  *shownCount = 0;
  if (!g_config.FUNC_CALL_AGAIN) {
    if (!MarkRepeatedCalls(f, shownCount)) return 0;
  } else {
    ForEachCall(f, [&](const ST_CALL *c) {
      if (!c->skip) (*shownCount)++;
    });
  }
  if (!g_config.FUNC_NOT_EXIST_DISP) {
    *shownCount = 0;
    ForEachCall(f, [&](ST_CALL *c) {
      if (c->skip) return;
      if (c->to_func)
        (*shownCount)++;
      else
        c->skip = 1;
    });
  }
  return 1;
}

// The node of f when f is already on the path above: a recursion mark.
void WriteRecursion(CHBUF *via, ST_FUNC *f, TREEITEM parentNode, const char *line) {
  const TreeGraphPort &g = TreeWires().graph;
  if (TextOn()) PutTreeText(" <=> %s%s \r\n", line, g_config.EXPAND_MESS[1]);
  if (ViewOn()) TreeNodeFunction(AddFunctionNode(parentNode, NODE_RECURSIVE, f, via), f);
  TreeReportNode(f->scope, f->name, f->argc, f, "recursive", 0);
  if (GraphOn() && g.recursion_edge) {
    const ST_CALL *call = via ? static_cast<const ST_CALL *>(via->data) : nullptr;
    const ST_FUNC *from = call && call->caller ? call->caller : tree.path_stack[tree.level - 1];
    g.recursion_edge(from, f);
  }
}

// The shown calls of f below its node, in body order: linked ones expanded,
// unlinked ones as non-existence nodes, cut after MAX_CALL_TABLE of them.
void ExpandCalls(ST_FUNC *f, TREEITEM node, int shownCount) {
  const TreeGraphPort &g = TreeWires().graph;
  int shown = 0;
  ForEachCall(f, [&](ST_CALL *c, CHBUF *el) {
    if (c->skip == 1) return WalkResult::kGoOn;
    if (shown >= g_config.MAX_CALL_TABLE) {
      if (TextOn()) {
        PutTreeIndent(2);
        PutTreeText("%s \r\n", g_config.EXPAND_MESS[3]);
      }
      if (ViewOn()) TreeSetNodeKind(node, NODE_REMARK, f->name);
      if (GraphOn() && g.remark) g.remark(f, g_config.EXPAND_MESS[3], 1);
      TreeReportNode("", "", 0, nullptr, "cut", 0);
      return WalkResult::kStop;
    }
    int lastChild = shown == shownCount - 1 ? 1 : 0;
    if (c->to_func) {
      int r = ANA_ExpandFunction(el, c->to_func, node, lastChild);
      if (r != 0 && GraphOn() && g.edge) g.edge(f, c->to_func);
    } else {
      if (TextOn()) {
        PutTreeIndent(lastChild + 1);
        PutTreeText("%s%s(argc:%d);\r\n", c->scope, c->name, c->argc);
      }
      if (ViewOn()) TreeAddNode(node, NODE_NOT_EXIST, SourceName(f), c->scope, c->name, c->argc);
      if (GraphOn() && g.missing_call) g.missing_call(f, c);
      TreeReportNode(c->scope, c->name, c->argc, nullptr, "undefined", 0);
    }
    shown++;
    return WalkResult::kGoOn;
  });
}

// A call tree's node cut at the depth limit: marked in the view, and a
// remark node below it in the graph.
void RemarkBelow(const ST_FUNC *f, TREEITEM node, const char *text) {
  if (ViewOn()) TreeSetNodeKind(node, NODE_REMARK, f->name);
  const TreeGraphPort &g = TreeWires().graph;
  if (GraphOn() && g.remark) g.remark(f, text, 0);
}

}  // namespace

void TreeNodeFunction(TREEITEM node, const ST_FUNC *f) {
  ResultViews *v = TreeViews();
  if (v && node && f) v->TreeSetFunction(node, f->sid, f->fid);
}

bool TreeNodeEnds(ST_FUNC *f, TREEITEM node, bool has_more, int calls,
                  void (*remark)(const ST_FUNC *f, TREEITEM node, const char *text)) {
  // Beyond the depth limit: not expanded here, and not marked, so a place
  // nearer the root can still expand it.
  if (tree.level > tree.depth_limit) {
    if (has_more) {
      if (TextOn()) PutTreeText("%s", g_config.EXPAND_MESS[0]);
      remark(f, node, g_config.EXPAND_MESS[0]);
    }
    TreeReportNode(f->scope, f->name, f->argc, f, has_more ? "depth-limit" : nullptr, calls);
    if (TextOn()) PutTreeText("\r\n");
    return true;
  }
  if (!g_config.FUNC_EXPAND_AGAIN && f->expanded) {
    if (has_more) {
      if (TextOn()) PutTreeText(" <-- %s", g_config.EXPAND_MESS[2]);
      if (ViewOn()) TreeSetNodeKind(node, NODE_EXPANDED, f->name);
    }
    TreeReportNode(f->scope, f->name, f->argc, f, has_more ? "expanded" : nullptr, calls);
    if (TextOn()) PutTreeText("\r\n");
    return true;
  }
  TreeReportNode(f->scope, f->name, f->argc, f, nullptr, calls);
  if (TextOn()) PutTreeText("\r\n");
  return false;
}

void PutTreeText(const char *format, ...) {
  va_list ap;
  va_start(ap, format);
  int n = vsnprintf(text_buf.data(), text_buf.size(), format, ap);
  va_end(ap);
  if (n < 0) return;
  if ((size_t)n >= text_buf.size()) {
    text_buf.resize((size_t)n + 1);
    va_start(ap, format);
    vsnprintf(text_buf.data(), text_buf.size(), format, ap);
    va_end(ap);
  }
  EmitText(text_buf.data(), (size_t)n);
}

void PutTreeIndent(int type) {
  int L = tree.level;
  if (L <= 0) {
    PutTreeText("%s", "");
    return;
  }
  indent_buf.assign(g_config.INDENT[0]);
  for (int i = 1; i < L && i < PATH_SLOTS; i++)
    indent_buf += tree.more_below[i] ? g_config.INDENT[2] : g_config.INDENT[1];
  if (type == 1) indent_buf += g_config.INDENT[3];
  if (type == 2) indent_buf += g_config.INDENT[4];
  PutTreeText("%s", indent_buf.c_str());
}

const char *TreeSourceName(const ST_FUNC *f) {
  return SourceName(f);
}

int TreeOnPath(const ST_FUNC *f) {
  for (int i = 0; i < tree.level && i < PATH_SLOTS; i++)
    if (tree.path_stack[i] == f) return 1;
  return 0;
}

int TreeStopRequested(void) {
  if (tree.interrupted) return 1;
  if (!EscapePressed()) return 0;
  tree.interrupted = 1;
  return 1;
}

void TreeReportNode(const char *scope, const char *name, int argc, const ST_FUNC *f,
                    const char *mark, int calls) {
  if (!tree.tools.node_sink) return;
  TreeNodeInfo n{tree.level,     scope,          name, argc, f ? SourceName(f) : "",
                 f ? f->sid : 0, f ? f->fid : 0, mark, calls};
  tree.tools.node_sink(&n);
}

TREEITEM TreeAddNodeText(int view, TREEITEM parentNode, int kind, const char *text,
                         const char *name) {
  ResultViews *v = TreeViews();
  if (!v || !v->HasView(view)) return nullptr;
  TREEITEM node = v->TreeInsert(parentNode, text);
  if (node) v->TreeSetImage(node, kind);
  if (MusicOn() && Ext().midi_play_node)
    Ext().midi_play_node(tree.level + 2, kind, name ? name : "");
  return node;
}

TREEITEM TreeAddNode(TREEITEM parentNode, int kind, const char *sourceName, const char *scope,
                     const char *name, int argc) {
  char text[1100];
  FormatText(text, sizeof text, "%s%s(argc:%d) [%s]", scope ? scope : "", name ? name : "", argc,
             sourceName ? sourceName : "");
  return TreeAddNodeText(VIEW_TREE, parentNode, kind, text, name);
}

void TreeSetNodeKind(TREEITEM node, int kind, const char *name) {
  ResultViews *v = TreeViews();
  if (v && node && kind >= 0 && kind <= 5) v->TreeSetImage(node, kind);
  if (MusicOn() && Ext().midi_play_node)
    Ext().midi_play_node(tree.level + 2, kind, name ? name : "");
}

int ANA_ExpandFunction(CHBUF *via, ST_FUNC *f, TREEITEM parentNode, int isLast) {
  if (!f || TreeStopRequested()) return 1;
  const TreeGraphPort &g = TreeWires().graph;
  if (TextOn()) PutTreeIndent(isLast + 1);
  const char *line = BuildLine(f, via);

  // Recursion: f is already on the path above.
  if (TreeOnPath(f)) {
    WriteRecursion(via, f, parentNode, line);
    return 0;
  }

  TREEITEM node = nullptr;
  if (TextOn()) PutTreeText("%s", line);
  if (ViewOn()) {
    node = AddFunctionNode(parentNode, NODE_FUNC, f, via);
    // The view can act on the function the node stands for.
    TreeNodeFunction(node, f);
  }
  if (GraphOn() && g.function_node) g.function_node(f);
  int hasCalls = f->calls.count > 0;
  if (TreeNodeEnds(f, node, hasCalls, 0, RemarkBelow)) return 1;

  int shownCount = 0;
  if (!MarkShownCalls(f, &shownCount)) {
    if (TextOn()) PutTreeText("\r\nMemory Alloc Error! (Hash Table)\r\n");
    return 1;
  }

  int L = TreeStepDown(f, isLast);
  ExpandCalls(f, node, shownCount);
  // The caller has a later call: a sibling follows.
  TreeStepUp(f, L, hasCalls && via && via->next && via->next->next);
  return 1;
}

int TreeStepDown(ST_FUNC *f, int isLast) {
  int L = tree.level;
  tree.more_below[L] = isLast ? 0 : 1;
  tree.path_stack[L] = f;
  tree.level = L + 1;
  return L;
}

void TreeStepUp(ST_FUNC *f, int L, bool blank_line) {
  f->expanded = 1;
  if (blank_line && TextOn()) {
    PutTreeIndent(0);
    PutTreeText("\r\n");
  }
  tree.level = L;
  tree.more_below[L] = 0;
  tree.path_stack[L] = nullptr;
}

void OpenTree(const TreeTools &tools, int view, const char *root_name, const char *kind,
              const char *heading, int depthLimit) {
  tree.tools = tools;
  if (tree.tools.views) tree.tools.views->TreeTarget(view);
  if (output_flags & OUTPUT_LOG_HEADING) {
    static const char kBar[] = "//=====================================================\r\n";
    LogPrint(0, LOG_RESULT, "%s", kBar);
    LogPrint(0, LOG_RESULT, "// \"%s\":%s\r\n", root_name, kind);
    LogPrint(0, LOG_RESULT, "%s", kBar);
  }
  if (!flags_shown && TextOn()) {
    OnOffLine(g_config.FLAG_MESS[0], g_config.FUNC_EXPAND_AGAIN);
    OnOffLine(g_config.FLAG_MESS[1], g_config.FUNC_CALL_AGAIN);
    OnOffLine(g_config.FLAG_MESS[2], g_config.FUNC_NOT_EXIST_DISP);
    PutTreeText("\r\n");
    flags_shown = 1;
  }
  const TreeGraphPort &g = TreeWires().graph;
  // A tree drawn again into its view only leaves the picture names and the
  // graph file of the last graph alone.
  if (GraphOn()) {
    if (g.next_picture) g.next_picture();
    if (g.reset_file) g.reset_file();
  }
  if (TextOn()) PutTreeText("%s", heading);
  if (GraphOn() && g.header) g.header();

  tree.depth_limit = depthLimit < DEPTH_MIN   ? DEPTH_MIN
                     : depthLimit > DEPTH_MAX ? DEPTH_MAX
                                              : depthLimit;
  tree.level = 0;
  std::memset(tree.more_below, 0, sizeof tree.more_below);
  std::memset(tree.path_stack, 0, sizeof tree.path_stack);
  if (MusicOn() && Ext().midi_start_tree) Ext().midi_start_tree();
  ANA_ClearExpanded();
  tree.interrupted = 0;
}

int CloseTree(void) {
  const TreeGraphPort &g = TreeWires().graph;
  if (TextOn()) PutTreeText("\r\n\r\n");
  if (GraphOn() && g.footer) g.footer();
  if (MusicOn()) {
    if (Ext().midi_end_tree) {
      Ext().midi_end_tree();
    } else {
      SleepMs(5000);  // the last notes ring out
      if (Ext().midi_reset) Ext().midi_reset();
    }
  }
  if (tree.tools.views) tree.tools.views->TreeTarget(VIEW_TREE);
  int r = tree.interrupted ? -1 : 1;
  tree.tools = TreeTools{};
  return r;
}

void TreeSetTools(const TreeTools &tools) {
  tree.tools = tools;
}

void TreeRefused(const TreeTools &tools, const char *text) {
  tree.tools = tools;
  if (TextOn()) PutTreeText("%s", text);
  tree.tools = TreeTools{};
}

int ANA_MakeCallStackTree(const TreeTools &tools, ST_FUNC *root, int depthLimit) {
  DebugPrint("enter ANA_MakeCallStackTree\r\n");
  if (output_flags & OUTPUT_LOG_HEADING) LogPrint(0, LOG_RESULT, "\r\n");
  if (!root) {
    TreeRefused(tools, "ANA_MakeCallStackTree : Invalid Function.\r\n");
    return 0;
  }
  OpenTree(tools, VIEW_TREE, root->name, "Call Tee", "<< Call Tree >>\r\n\r\n", depthLimit);
  ANA_ExpandFunction(nullptr, root, nullptr, 0);
  return CloseTree();
}
