// Relationship attributes of graph edges. An entry "P:S:label" names a
// palette colour by its first character and a line style by its third; any
// character is accepted there, taken as its non-negative residue.
#include "ext/relation.h"

#include <cstring>

#include "ext/ext_settings.h"
#include "foundation/hash.h"
#include "foundation/text.h"
#include "graph/graph.h"

namespace {

// (code of c - '0') mod n, never negative, the code taken as an unsigned byte.
int Digit(char c, int n) {
  int v = (static_cast<unsigned char>(c) - '0') % n;
  return v < 0 ? v + n : v;
}

}  // namespace

int MakeRelationAttr(const char *from_id, const char *to_id, char *out, int cap) {
  if (!out || cap <= 0) return 0;
  out[0] = 0;
  if (!from_id || !to_id) return 0;
  unsigned r = (HashString(from_id, 0) + HashString(to_id, 0)) & 7u;
  const char *entry = g_correlation.relation_table[r];
  size_t len = std::strlen(entry);
  // A short entry reads as if padded with NULs.
  char pal = len > 0 ? entry[0] : 0;
  char sty = len > 2 ? entry[2] : 0;
  // The label is a settings text: escaped like every other label, so it can
  // neither end its string early nor add attributes to the edge.
  char label[5 * sizeof g_correlation.relation_table[0]];
  EscapeDotLabel(len > 4 ? entry + 4 : "", label, sizeof label);
  const char *colour = g_correlation.palette[Digit(pal, RELATION_COUNT)];
  const char *style = edge_styles[Digit(sty, EDGE_STYLE_COUNT)];
  return static_cast<int>(FormatText(out, static_cast<size_t>(cap),
                                     "[label=\"%s\",style=%s,fontcolor=\"%s\",color=\"%s\"]", label,
                                     style, colour, colour));
}

const char *MakeRelationAttrText(const char *from_id, const char *to_id) {
  static thread_local char text[RELATION_ATTR_MAX];
  MakeRelationAttr(from_id, to_id, text, sizeof text);
  return text;
}
