// Callers trees (see callers.h). A tree request first inverts the call links
// once: for every function, its distinct callers in SID, FID order with the
// number of their calls to it. Drawing then touches only the nodes it draws,
// so a function with thousands of callers costs one pass over the project's
// calls and then time in proportion to the tree.
#include "xref/callers.h"

#include <cstdint>
#include <cstring>

#include "engine/record_walk.h"
#include "foundation/log.h"
#include "foundation/settings.h"
#include "foundation/text.h"
#include "foundation/trace.h"
#include "xref/calltree.h"
#include "xref/tree_internal.h"

namespace {

// One caller of a function and how many of its calls reach that function.
struct CallerRef {
  ST_FUNC *caller;
  int count;
};

// The inverted links of the analysis, rebuilt for every tree request (the
// records may change between requests); functions are numbered densely in
// SID, FID order.
struct CallersIndex {
  std::vector<int> first_of_source;  // per SID: number of its first function
  std::vector<uint32_t> start;       // per function: its first ref; one more at the end
  std::vector<CallerRef> refs;       // callers of function 0, then of 1, ...
  std::vector<ST_FUNC *> funcs;      // functions by number
};
CallersIndex g_index;

// Number of the function a linked call reaches, or -1. Reads only the call
// record (its numbers and link), not the function's, so the pass over every
// call of a project touches one record per call.
long NumberOf(const ST_CALL *c) {
  if (!c->to_func || c->to_sid <= 0 || c->to_fid <= 0 ||
      (size_t)c->to_sid >= g_index.first_of_source.size())
    return -1;
  long n = (long)g_index.first_of_source[(size_t)c->to_sid] + c->to_fid - 1;
  return n < (long)g_index.funcs.size() && g_index.funcs[(size_t)n] == c->to_func ? n : -1;
}

void BuildIndex() {
  g_index = CallersIndex();
  g_index.first_of_source.push_back(0);  // SIDs start at 1
  ForEachSource([](ST_SOURCE *s) {
    if ((size_t)s->sid != g_index.first_of_source.size()) return;  // not numbered in order
    g_index.first_of_source.push_back((int)g_index.funcs.size());
    ForEachFunction(s, [](ST_FUNC *f) { g_index.funcs.push_back(f); });
  });
  size_t n = g_index.funcs.size();
  // One pass in caller order gathers each distinct (callee, caller) pair with
  // its count; a counting sort by callee then keeps the callers in order.
  struct Pair {
    uint32_t callee;
    CallerRef ref;
  };
  std::vector<Pair> pairs;
  std::vector<uint32_t> last(n, UINT32_MAX);  // per callee: its pair of the current caller
  std::vector<uint32_t> count(n + 1, 0);
  ForEachFunction([&](ST_FUNC *caller) {
    size_t first = pairs.size();  // pairs of this caller start here
    ForEachCall(caller, [&](const ST_CALL *c) {
      long k = NumberOf(c);
      if (k < 0) return;
      uint32_t &at = last[(size_t)k];
      if (at != UINT32_MAX && at >= first) {
        pairs[at].ref.count++;
        return;
      }
      at = (uint32_t)pairs.size();
      pairs.push_back(Pair{(uint32_t)k, CallerRef{caller, 1}});
      count[(size_t)k]++;
    });
  });
  g_index.start.assign(n + 1, 0);
  for (size_t i = 0; i < n; i++) g_index.start[i + 1] = g_index.start[i] + count[i];
  g_index.refs.resize(pairs.size());
  std::vector<uint32_t> fill(g_index.start.begin(), g_index.start.end() - 1);
  for (const Pair &p : pairs) g_index.refs[fill[p.callee]++] = p.ref;
}

void DropIndex() {
  g_index = CallersIndex();
}

// The callers of f: [*begin, *end) of g_index.refs; empty when f is unknown.
void CallersOf(const ST_FUNC *f, size_t *begin, size_t *end) {
  *begin = *end = 0;
  if (!f || f->sid <= 0 || (size_t)f->sid >= g_index.first_of_source.size()) return;
  size_t n = (size_t)g_index.first_of_source[(size_t)f->sid] + (size_t)f->fid - 1;
  if (f->fid <= 0 || n >= g_index.funcs.size() || g_index.funcs[n] != f) return;
  *begin = g_index.start[n];
  *end = g_index.start[n + 1];
}

// A caller as the tree text (form "%s%s(argc:%d); [%s]", as in a call tree)
// or a view node (form "%s%s(argc:%d) [%s]") shows it, with the number of its
// calls when it makes more than one.
std::string CallerText(const char *form, const ST_FUNC *f, int count) {
  char text[1100];
  FormatText(text, sizeof text, form, f->scope, f->name, f->argc, TreeSourceName(f));
  std::string s = text;
  if (count > 1) {
    FormatText(text, sizeof text, " (%d calls)", count);
    s += text;
  }
  return s;
}

std::string CallerLine(const ST_FUNC *f, int count) {
  return CallerText("%s%s(argc:%d); [%s]", f, count);
}

// The view node of a caller, tied to its function so the view can start the
// next tree from it.
TREEITEM AddCallerNode(TREEITEM parent, int kind, const ST_FUNC *f, int count) {
  std::string text = CallerText("%s%s(argc:%d) [%s]", f, count);
  TREEITEM node = TreeAddNodeText(VIEW_CALLERS, parent, kind, text.c_str(), f->name);
  TreeNodeFunction(node, f);
  return node;
}

// A callers tree's node cut at the depth limit: marked in the view, and a
// remark node above it in the graph.
void RemarkAbove(const ST_FUNC *f, TREEITEM node, const char *text) {
  if (TreeViewOn()) TreeSetNodeKind(node, NODE_REMARK, f->name);
  const CallersGraphPort &c = TreeWires().callers_graph;
  if (TreeGraphOn() && c.remark_above) c.remark_above(f, text);
}

// The node of f, reached as a caller of callee (null for the root) with
// count calls, below parentNode; then, unless a mark stops it, its own
// callers. isLast: no later sibling is drawn. Returns 0 for a recursion.
int ExpandCaller(ST_FUNC *f, int count, const ST_FUNC *callee, TREEITEM parentNode, int isLast) {
  if (TreeStopRequested()) return 1;
  const TreeGraphPort &g = TreeWires().graph;
  if (TreeTextOn()) PutTreeIndent(isLast + 1);
  std::string line = CallerLine(f, count);

  if (TreeOnPath(f)) {  // f already waits for this call further down the path
    if (TreeTextOn()) PutTreeText(" <=> %s%s \r\n", line.c_str(), g_config.EXPAND_MESS[1]);
    if (TreeViewOn()) AddCallerNode(parentNode, NODE_RECURSIVE, f, count);
    if (TreeGraphOn() && g.recursion_edge && callee) g.recursion_edge(f, callee);
    TreeReportNode(f->scope, f->name, f->argc, f, "recursive", count);
    return 0;
  }

  TREEITEM node = nullptr;
  if (TreeTextOn()) PutTreeText("%s", line.c_str());
  if (TreeViewOn()) node = AddCallerNode(parentNode, NODE_FUNC, f, count);
  if (TreeGraphOn() && g.function_node) g.function_node(f);
  size_t begin, end;
  CallersOf(f, &begin, &end);
  bool hasCallers = end > begin;
  if (TreeNodeEnds(f, node, hasCallers, count, RemarkAbove)) return 1;

  int L = TreeStepDown(f, isLast);
  size_t shown = 0, total = end - begin;
  for (size_t k = begin; k < end; k++, shown++) {
    if ((int)shown >= g_config.MAX_CALL_TABLE) {
      if (TreeTextOn()) {
        PutTreeIndent(2);
        PutTreeText("%s \r\n", g_config.EXPAND_MESS[3]);
      }
      RemarkAbove(f, node, g_config.EXPAND_MESS[3]);
      TreeReportNode("", "", 0, nullptr, "cut", 0);
      break;
    }
    // The index is not touched while drawing, so the reference stays valid.
    const CallerRef &ref = g_index.refs[k];
    int r = ExpandCaller(ref.caller, ref.count, f, node, shown + 1 == total ? 1 : 0);
    if (r != 0 && TreeGraphOn() && g.edge) g.edge(ref.caller, f);
  }
  TreeStepUp(f, L, hasCallers && callee && !isLast);
  return 1;
}

}  // namespace

int ANA_MakeCallersTree(const TreeTools &tools, ST_FUNC *root, int depthLimit) {
  DebugPrint("enter ANA_MakeCallersTree\r\n");
  if (output_flags & OUTPUT_LOG_HEADING) LogPrint(0, LOG_RESULT, "\r\n");
  if (!root) {
    TreeRefused(tools, "ANA_MakeCallersTree : Invalid Function.\r\n");
    return 0;
  }
  BuildIndex();
  OpenTree(tools, VIEW_CALLERS, root->name, "Caller Tree", "<< Caller Tree >>\r\n\r\n", depthLimit);
  ExpandCaller(root, 0, nullptr, nullptr, 0);
  int r = CloseTree();
  DropIndex();
  return r;
}

int ANA_MakeNameCallersTree(const TreeTools &tools, const char *text, int argc) {
  DebugPrint("enter ANA_MakeNameCallersTree\r\n");
  if (output_flags & OUTPUT_LOG_HEADING) LogPrint(0, LOG_RESULT, "\r\n");
  if (!text || !*text) {
    TreeRefused(tools, "ANA_MakeNameCallersTree : Invalid Function.\r\n");
    return 0;
  }
  // The callers in SID, FID order, each once, with their number of calls.
  std::vector<CallerRef> callers;
  ForEachFunction([&](ST_FUNC *f) {
    ForEachCall(f, [&](const ST_CALL *c) {
      if (c->to_func || (argc >= 0 && c->argc != argc)) return;
      size_t n = strlen(c->scope);
      if (strncmp(text, c->scope, n) != 0 || strcmp(text + n, c->name) != 0) return;
      if (!callers.empty() && callers.back().caller == f)
        callers.back().count++;
      else
        callers.push_back(CallerRef{f, 1});
    });
  });

  OpenTree(tools, VIEW_CALLERS, text, "Caller Tree", "<< Caller Tree >>\r\n\r\n", 1);
  const TreeGraphPort &g = TreeWires().graph;
  const CallersGraphPort &cg = TreeWires().callers_graph;
  char id[40] = "";
  TREEITEM node = nullptr;
  if (!TreeStopRequested()) {
    // Calls of every count have no one count to show.
    char count[16] = "*";
    if (argc >= 0) FormatText(count, sizeof count, "%d", argc);
    if (TreeTextOn()) PutTreeText("%s(argc:%s);\r\n", text, count);
    if (TreeViewOn()) {
      char label[1100];
      FormatText(label, sizeof label, "%s(argc:%s)", text, count);
      node = TreeAddNodeText(VIEW_CALLERS, nullptr, NODE_NOT_EXIST, label, text);
    }
    if (TreeGraphOn() && cg.name_node) cg.name_node("", text, argc, id, (int)sizeof id);
    TreeReportNode("", text, argc, nullptr, "undefined", 0);
    // One level: the callers are drawn, never expanded.
    g_tree.path_stack[0] = nullptr;
    g_tree.level = 1;
    size_t shown = 0;
    for (const CallerRef &ref : callers) {
      if (TreeStopRequested()) break;
      if ((int)shown >= g_config.MAX_CALL_TABLE) {
        if (TreeTextOn()) {
          PutTreeIndent(2);
          PutTreeText("%s \r\n", g_config.EXPAND_MESS[3]);
        }
        TreeReportNode("", "", 0, nullptr, "cut", 0);
        break;
      }
      bool last = ++shown == callers.size();
      if (TreeTextOn()) {
        PutTreeIndent(last ? 2 : 1);
        PutTreeText("%s\r\n", CallerLine(ref.caller, ref.count).c_str());
      }
      if (TreeViewOn()) AddCallerNode(node, NODE_FUNC, ref.caller, ref.count);
      if (TreeGraphOn()) {
        if (g.function_node) g.function_node(ref.caller);
        if (cg.edge_to && id[0]) cg.edge_to(ref.caller, id);
      }
      TreeReportNode(ref.caller->scope, ref.caller->name, ref.caller->argc, ref.caller, nullptr,
                     ref.count);
    }
    g_tree.level = 0;
  }
  return CloseTree();
}
