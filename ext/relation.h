// Relationship attributes of graph edges: each edge gets one of the eight
// relationships of the CORRELATION table, chosen from its two node ids.
#pragma once

// Writes the dot attribute list of the edge from_id -> to_id,
// "[label=\"...\",style=...,fontcolor=\"...\",color=\"...\"]", into out (cap
// bytes, always terminated; RELATION_ATTR_MAX is always enough). The entry is
// (HashString(from_id) + HashString(to_id)) & 7 of relation_table. Returns the
// bytes written (0 and "" for nullptr arguments or cap 0).
int MakeRelationAttr(const char *from_id, const char *to_id, char *out, int cap);

// The same text in a buffer of the calling thread, valid until that thread's
// next call; for callers that keep a function pointer returning const char *
// (the expansion's hook table). "" for nullptr arguments.
const char *MakeRelationAttrText(const char *from_id, const char *to_id);
