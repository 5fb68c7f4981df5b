// The graph description writer: pieces formatted in Shift_JIS, converted to
// UTF-8 and appended to the graph file; node ids, edge attribute lists and
// the statements of one tree.
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "foundation/format_check.h"
#include "foundation/settings.h"
#include "foundation/text.h"
#include "foundation/trace.h"
#include "graph/graph.h"
#include "graph/graph_internal.h"
#include "platform/codepage.h"
#include "platform/files.h"
#include "platform/output_files.h"
#include "xref/callers.h"
#include "xref/calltree.h"

int graph_enabled = 0;
int anon_counter = 0;
GraphState g_graph;

namespace {

enum { PIECE_SIZE = 2048, FLUSH_AT = 64 * 1024 };

const char kAttrGraph[] =
    "graph[rankdir=LR,overlap=scale,fontname=\"%s\",fontsize=%d,splines=true];";
const char kAttrNode[] =
    "node[shape=box,style=bold,style=filled,color=\"#000000\",fillcolor=\"#ffff80\","
    "fontname=\"%s\",fontsize=%d];";
const char kAttrEdge[] = "edge[fontname=\"%s\",fontsize=%d,arrowtail=odot];";
const char kAttrFunc[] = "%s[label=\" %s%s(argc:%d) \\n[%s]\\n\"];";
const char kAttrNoFunc[] = "%s[shape=box,fillcolor=\"#C0C0C0\" label=\" %s%s(argc:%d) \\n\"];";
const char kAttrRemark[] = "%s[shape=ellipse,fillcolor=\"#ffffff\",label=\" %s \\n\"];";

char node_id[40];
char edge_attr[4 * 1400];

// A Shift_JIS second byte: only after a lead byte does a pair make one
// character; a lead byte followed by anything else stands alone.
bool IsSjisTrail(unsigned char b) {
  return (b >= 0x40 && b <= 0x7E) || (b >= 0x80 && b <= 0xFC);
}

// A 259-byte field made safe inside a quoted dot string (EscapeDotLabel):
// five bytes for each of its bytes at most.
struct Label {
  char text[5 * 260 + 8];
  explicit Label(const char *s) { EscapeDotLabel(s, text, sizeof text); }
};

// Appends one formatted piece: cut to 2047 bytes, converted, dropped when
// its UTF-8 form does not fit 2047 bytes or is empty.
void PutGraphV(const char *format, va_list ap) {
  if (!graph_enabled || !g_graph.piece || !g_graph.utf8) return;
  int n = vsnprintf(g_graph.piece, PIECE_SIZE, format, ap);
  if (n <= 0) return;
  if (n >= PIECE_SIZE) n = PIECE_SIZE - 1;
  bool ascii = true;
  for (int i = 0; i < n && ascii; i++) ascii = (unsigned char)g_graph.piece[i] < 0x80;
  if (ascii) {
    // Shift_JIS and UTF-8 agree on every byte below 0x80.
    g_graph.pending.append(g_graph.piece, (size_t)n);
  } else {
    long m = ConvertText("CP932", "UTF-8", g_graph.piece, (size_t)n, g_graph.utf8, PIECE_SIZE - 1);
    if (m <= 0) return;
    g_graph.pending.append(g_graph.utf8, (size_t)m);
  }
  if (g_graph.pending.size() >= FLUSH_AT) GraphFlush();
}

void PutGraph(const char *format, ...) __attribute__((format(printf, 1, 2)));
void PutGraph(const char *format, ...) {
  va_list ap;
  va_start(ap, format);
  PutGraphV(format, ap);
  va_end(ap);
}

struct NodeId {
  char text[40];
  NodeId(int sid, int fid) { CopyText(text, sizeof text, MakeNodeId(sid, fid)); }
};

void PutEdge(const char *fromId, const char *toId, const char *attr) {
  PutGraph("%s->%s%s;\n", fromId, toId, attr);
}

int TreeNextPicture(void) {
  return NextGraphPicture();
}
int TreeResetFile(void) {
  return ResetGraphFile();
}

}  // namespace

size_t EscapeDotLabel(const char *sjis, char *out, size_t cap) {
  if (!out || cap == 0) return 0;
  size_t k = 0;
  for (const unsigned char *p = (const unsigned char *)(sjis ? sjis : ""); *p; p++) {
    char piece[6];
    size_t n = 0;
    if (IsSjisLead(*p)) {
      // A lead byte without a second byte after it is no character: it
      // becomes '?', as the conversion would make it, for left in place it
      // would pair with an escaping backslash and free the quote after it.
      if (IsSjisTrail(p[1])) {
        piece[n++] = (char)*p++;
        piece[n++] = (char)*p;
      } else {
        piece[n++] = '?';
      }
    } else if (*p == '&') {
      // dot reads "&#1;" or "&amp;" in a label as a character reference.
      memcpy(piece, "&amp;", 5);
      n = 5;
    } else {
      // A '\' that is the second byte of a Shift_JIS character was taken
      // with its pair above: it becomes another character in UTF-8.
      if (*p == '"' || *p == '\\') piece[n++] = '\\';
      piece[n++] = (char)*p;
    }
    if (k + n >= cap) break;
    memcpy(out + k, piece, n);
    k += n;
  }
  out[k] = 0;
  return k;
}

const char *CheckedTemplate(const char *tmpl, const char *builtin, const char *expected) {
  char got[64];
  if (!tmpl || !FormatConversions(tmpl, got, sizeof got)) return builtin;
  size_t n = std::strlen(got);
  if (n > std::strlen(expected)) return builtin;
  for (size_t i = 0; i < n; i++) {
    bool wantInt = expected[i] == 'd';
    bool isInt = std::strchr("diuxXoc", got[i]) != nullptr;
    if (wantInt ? !isInt : got[i] != expected[i]) return builtin;
  }
  return tmpl;
}

void PutGraphText(const char *format, ...) {
  va_list ap;
  va_start(ap, format);
  PutGraphV(format, ap);
  va_end(ap);
}

void GraphFlush(void) {
  if (g_graph.pending.empty()) return;
  if (g_graph.graph_fd >= 0)
    WriteFd(g_graph.graph_fd, g_graph.pending.data(), g_graph.pending.size());
  else if (!g_graph.graph_file.empty())
    AppendOutputFile(g_graph.graph_file.c_str(), g_graph.pending.data(), g_graph.pending.size(),
                     nullptr);
  g_graph.pending.clear();
}

void CloseGraphFile(void) {
  CloseFd(g_graph.graph_fd);
  g_graph.graph_fd = -1;
}

int ResetGraphFile(void) {
  if (!graph_enabled) return 1;
  g_graph.pending.clear();
  CloseGraphFile();
  // A new file of this tree replaces the old one by a rename, so a link
  // planted there is never written through and two instances never write
  // into one file; the tree's pieces then go to it through its descriptor.
  OutputRefusal why = OutputRefusal::kFailed;
  g_graph.graph_fd = ReplaceWithNewFile(g_graph.graph_file.c_str(), &why);
  if (g_graph.graph_fd >= 0) return 1;
  if (why != OutputRefusal::kFailed)
    DebugPrint("ResetGraphFile :%s, output off! \"%s\"\r\n", OutputRefusalText(why),
               Utf8ToSjis(g_graph.graph_file).c_str());
  return 0;
}

int GraphFileSize(void) {
  if (!graph_enabled) return 0;
  GraphFlush();
  int64_t n = -1;
  FdInfo info;
  if (g_graph.graph_fd >= 0)
    n = FdStat(g_graph.graph_fd, &info) ? info.size : -1;
  else
    n = FileSizeForRead(g_graph.graph_file.c_str());
  if (n < 0) return 0;
  return n > 0x7FFFFFFF ? 0x7FFFFFFF : (int)n;
}

void ResetGraphOutput(void) {
  anon_counter = 0;
}

const char *MakeNodeId(int sid, int fid) {
  if (sid || fid)
    FormatText(node_id, sizeof node_id, "FC%d_%d", sid, fid);
  else
    FormatText(node_id, sizeof node_id, "UQ%d", anon_counter++);
  return node_id;
}

int NodeIdFunction(const char *id, int *sid, int *fid) {
  if (!id || id[0] != 'F' || id[1] != 'C') return 0;
  long v[2] = {0, 0};
  const char *p = id + 2;
  for (int k = 0; k < 2; k++) {
    if (*p < '0' || *p > '9') return 0;
    while (*p >= '0' && *p <= '9') {
      v[k] = v[k] * 10 + (*p++ - '0');
      if (v[k] > 0x7FFFFFFF) return 0;
    }
    if (*p++ != (k == 0 ? '_' : '\0')) return 0;
  }
  if (v[0] <= 0 || v[1] <= 0) return 0;
  if (sid) *sid = (int)v[0];
  if (fid) *fid = (int)v[1];
  return 1;
}

int GraphNodeCount(void) {
  return g_graph.nodes;
}

const char *MakeEdgeAttr(const char *label, const char *fontcolor, const char *color,
                         const char *fromId, const char *toId) {
  if (g_graph.correlation_on && g_graph.correlation_on() && g_graph.relation_attr) {
    const char *r = g_graph.relation_attr(fromId ? fromId : "", toId ? toId : "");
    CopyText(edge_attr, sizeof edge_attr, r ? r : "");
    return edge_attr;
  }
  size_t k = CopyText(edge_attr, sizeof edge_attr, "[");
  if (label && *label)
    k += FormatText(edge_attr + k, sizeof edge_attr - k, "label=\"%s\",", Label(label).text);
  if (fontcolor && *fontcolor)
    k +=
        FormatText(edge_attr + k, sizeof edge_attr - k, "fontcolor=\"%s\",", Label(fontcolor).text);
  if (color && *color)
    k += FormatText(edge_attr + k, sizeof edge_attr - k, "color=\"%s\",", Label(color).text);
  if (k > 1 && edge_attr[k - 1] == ',') edge_attr[--k] = 0;
  FormatText(edge_attr + k, sizeof edge_attr - k, "]");
  if (std::strlen(edge_attr) <= 2) edge_attr[0] = 0;
  return edge_attr;
}

void GraphHeader(void) {
  g_graph.nodes = 0;
  Label font(g_config.FONT_NAME_GRAPH);
  int size = g_config.FONT_SIZE_GRAPH;
  PutGraph("%s", "digraph fc1{\n");
  PutGraphText(CheckedTemplate(g_config.ATTR_GRAPH, kAttrGraph, "sd"), font.text, size);
  PutGraph("%s", "\n");
  PutGraphText(CheckedTemplate(g_config.ATTR_NODE, kAttrNode, "sd"), font.text, size);
  PutGraph("%s", "\n");
  PutGraphText(CheckedTemplate(g_config.ATTR_EDGE, kAttrEdge, "sd"), font.text, size);
  PutGraph("%s", "\n");
}

void GraphFunctionNode(const ST_FUNC *f) {
  if (!f) return;
  NodeId id(f->sid, f->fid);
  g_graph.nodes++;
  PutGraphText(CheckedTemplate(g_config.ATTR_FUNC, kAttrFunc, "sssds"), id.text,
               Label(f->scope).text, Label(f->name).text, f->argc,
               Label(f->source ? f->source->name : "").text);
  PutGraph("%s", "\n");
}

void GraphEdge(const ST_FUNC *from, const ST_FUNC *to) {
  if (!from || !to) return;
  NodeId a(from->sid, from->fid), b(to->sid, to->fid);
  PutEdge(a.text, b.text, MakeEdgeAttr(nullptr, nullptr, nullptr, a.text, b.text));
}

void GraphRecursionEdge(const ST_FUNC *from, const ST_FUNC *to) {
  if (!from || !to) return;
  NodeId a(from->sid, from->fid), b(to->sid, to->fid);
  PutEdge(a.text, b.text,
          MakeEdgeAttr(g_config.EXPAND_MESS[1], "#FF0000", "#FF0000", a.text, b.text));
}

void GraphMissingCall(const ST_FUNC *caller, const ST_CALL *call) {
  if (!caller || !call) return;
  NodeId id(0, 0);
  g_graph.nodes++;
  PutGraphText(CheckedTemplate(g_config.ATTR_NO_FUNC, kAttrNoFunc, "sssd"), id.text,
               Label(call->scope).text, Label(call->name).text, call->argc);
  PutGraph("%s", ";\n");
  NodeId from(caller->sid, caller->fid);
  PutEdge(from.text, id.text, MakeEdgeAttr(nullptr, nullptr, nullptr, from.text, id.text));
}

void GraphRemark(const ST_FUNC *f, const char *text, int cut) {
  if (!f) return;
  NodeId id(0, 0);
  g_graph.nodes++;
  PutGraphText(CheckedTemplate(g_config.ATTR_REMARK, kAttrRemark, "ss"), id.text, Label(text).text);
  if (!cut) PutGraph("%s", ";\n");
  NodeId from(f->sid, f->fid);
  PutEdge(from.text, id.text, MakeEdgeAttr(nullptr, nullptr, nullptr, from.text, id.text));
}

void GraphNameNode(const char *scope, const char *name, int argc, char *id, int cap) {
  NodeId node(0, 0);
  g_graph.nodes++;
  if (argc < 0)  // the calls of every count: the template's form without a count
    PutGraphText("%s[shape=box,fillcolor=\"#C0C0C0\" label=\" %s%s(argc:*) \\n\"];", node.text,
                 Label(scope).text, Label(name).text);
  else
    PutGraphText(CheckedTemplate(g_config.ATTR_NO_FUNC, kAttrNoFunc, "sssd"), node.text,
                 Label(scope).text, Label(name).text, argc);
  PutGraph("%s", "\n");
  if (id && cap > 0) CopyText(id, (size_t)cap, node.text);
}

void GraphEdgeTo(const ST_FUNC *from, const char *toId) {
  if (!from || !toId) return;
  NodeId a(from->sid, from->fid);
  PutEdge(a.text, toId, MakeEdgeAttr(nullptr, nullptr, nullptr, a.text, toId));
}

void GraphRemarkAbove(const ST_FUNC *f, const char *text) {
  if (!f) return;
  NodeId id(0, 0);
  g_graph.nodes++;
  PutGraphText(CheckedTemplate(g_config.ATTR_REMARK, kAttrRemark, "ss"), id.text, Label(text).text);
  PutGraph("%s", "\n");
  NodeId to(f->sid, f->fid);
  PutEdge(id.text, to.text, MakeEdgeAttr(nullptr, nullptr, nullptr, id.text, to.text));
}

void GraphFooter(void) {
  PutGraph("%s", "}\n");
  GraphFlush();
}

void GraphTreePorts(TreeWiring *w) {
  TreeGraphPort &p = w->graph;
  p.next_picture = TreeNextPicture;
  p.reset_file = TreeResetFile;
  p.header = GraphHeader;
  p.function_node = GraphFunctionNode;
  p.edge = GraphEdge;
  p.recursion_edge = GraphRecursionEdge;
  p.missing_call = GraphMissingCall;
  p.remark = GraphRemark;
  p.footer = GraphFooter;
  CallersGraphPort &c = w->callers_graph;
  c.name_node = GraphNameNode;
  c.edge_to = GraphEdgeTo;
  c.remark_above = GraphRemarkAbove;
}

void GraphUseRelations(int (*correlation_on)(void),
                       const char *(*relation_attr)(const char *fromId, const char *toId)) {
  g_graph.correlation_on = correlation_on;
  g_graph.relation_attr = relation_attr;
}
