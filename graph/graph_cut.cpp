// The graph of a tree as the Graph tab draws it: cut to the nodes within a
// depth of its root, with the root put at one end of the layout. The graph
// writer puts every statement on a line of its own and names nodes FC<sid>_<fid>
// or UQ<n>, so a line is read as a node statement ("ID[...]") or an edge
// ("ID->ID..."); any other line (the header, the attribute lines, the end)
// is kept as it is.
#include <cstring>
#include <deque>
#include <string>
#include <unordered_map>
#include <vector>

#include "graph/graph.h"

namespace {

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

// Reads a node id of the writer at p (FC<digits>_<digits> or UQ<digits>);
// its length, 0 when none starts there.
size_t NodeIdAt(const char *p, const char *end) {
  const char *q = p;
  if (end - q >= 3 && q[0] == 'F' && q[1] == 'C') {
    q += 2;
    const char *d = q;
    while (q < end && IsDigit(*q)) q++;
    if (q == d || q >= end || *q != '_') return 0;
    d = ++q;
    while (q < end && IsDigit(*q)) q++;
    if (q == d) return 0;
  } else if (end - q >= 3 && q[0] == 'U' && q[1] == 'Q') {
    q += 2;
    const char *d = q;
    while (q < end && IsDigit(*q)) q++;
    if (q == d) return 0;
  } else {
    return 0;
  }
  // The id ends there, not inside a longer name.
  if (q < end && (IsDigit(*q) || *q == '_' || (*q >= 'A' && *q <= 'Z') || (*q >= 'a' && *q <= 'z')))
    return 0;
  return (size_t)(q - p);
}

enum class LineKind { kOther, kNode, kEdge };

struct Line {
  size_t at, len;    // where it is in the text (its line end excluded)
  LineKind kind;     // what it states
  std::string a, b;  // the node (a), or the edge's ends (a -> b)
};

Line ReadLine(const std::string &text, size_t at, size_t len) {
  Line l{at, len, LineKind::kOther, std::string(), std::string()};
  const char *p = text.data() + at, *end = p + len;
  while (p < end && (*p == ' ' || *p == '\t')) p++;
  size_t n = NodeIdAt(p, end);
  if (!n) return l;
  std::string a(p, n);
  p += n;
  while (p < end && (*p == ' ' || *p == '\t')) p++;
  if (end - p >= 2 && p[0] == '-' && p[1] == '>') {
    p += 2;
    while (p < end && (*p == ' ' || *p == '\t')) p++;
    size_t m = NodeIdAt(p, end);
    if (!m) return l;
    l.kind = LineKind::kEdge;
    l.a = a;
    l.b.assign(p, m);
  } else if (p < end && (*p == '[' || *p == ';')) {
    l.kind = LineKind::kNode;
    l.a = a;
  }
  return l;
}

}  // namespace

std::string CutGraphText(const std::string &text, int callers, int depth, GraphShape *shape) {
  std::vector<Line> lines;
  for (size_t at = 0; at < text.size();) {
    size_t nl = text.find('\n', at);
    size_t end = nl == std::string::npos ? text.size() : nl;
    lines.push_back(ReadLine(text, at, end - at));
    at = end + 1;
  }
  // The distance of every node from the root along the edges (against them
  // in a callers tree, whose edges run from caller to callee).
  std::string root;
  std::unordered_map<std::string, std::vector<std::string>> next;
  int nodes = 0;
  for (const Line &l : lines) {
    if (l.kind == LineKind::kNode) {
      if (root.empty()) root = l.a;
      nodes++;
    } else if (l.kind == LineKind::kEdge) {
      if (callers)
        next[l.b].push_back(l.a);
      else
        next[l.a].push_back(l.b);
    }
  }
  std::unordered_map<std::string, int> dist;
  int deepest = 0;
  if (!root.empty()) {
    std::deque<std::string> queue{root};
    dist[root] = 0;
    while (!queue.empty()) {
      std::string n = queue.front();
      queue.pop_front();
      int d = dist[n];
      if (d > deepest) deepest = d;
      auto it = next.find(n);
      if (it == next.end()) continue;
      for (const std::string &m : it->second)
        if (dist.emplace(m, d + 1).second) queue.push_back(m);
    }
  }
  auto kept = [&](const std::string &id) {
    auto it = dist.find(id);
    // A node the root does not reach is kept with every depth shown.
    if (it == dist.end()) return depth <= 0;
    return depth <= 0 || it->second <= depth;
  };
  std::string out;
  out.reserve(text.size() + 64);
  int shown = 0;
  size_t last_close = std::string::npos;  // the line that ends the graph
  for (size_t i = 0; i < lines.size(); i++) {
    const Line &l = lines[i];
    if (l.kind == LineKind::kNode && !kept(l.a)) continue;
    if (l.kind == LineKind::kEdge && (!kept(l.a) || !kept(l.b))) continue;
    if (l.kind == LineKind::kNode) shown++;
    if (l.kind == LineKind::kOther && l.len > 0 && text.compare(l.at, 1, "}") == 0)
      last_close = out.size();
    out.append(text, l.at, l.len);
    out += '\n';
  }
  if (!root.empty() && last_close != std::string::npos) {
    // The root at the end where the tree starts, or where callers lead to.
    std::string rank = std::string("{rank=") + (callers ? "sink" : "source") + "; " + root + ";}\n";
    out.insert(last_close, rank);
  }
  if (shape) {
    shape->nodes = nodes;
    shape->shown = shown;
    shape->depth = deepest;
    shape->root = root;
  }
  return out;
}
