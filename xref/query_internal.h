// The query index (see query.h): what CreateQuery makes of the analysis,
// shared by the two files that answer from it (query.cpp: places, calls and
// callers; query_names.cpp: names). Private to xref/.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "engine/ana.h"
#include "xref/query.h"

// A call in the index of calls by name: the hash of its called name, its
// place among its caller's calls, the record (null once its source was
// dropped for an update).
struct QueryCallEntry {
  uint32_t hash;
  uint32_t index;
  const ST_CALL *call;
};

struct ST_QUERY {
  std::vector<const ST_SOURCE *> sources;     // by SID; [0] is null
  std::vector<uint32_t> first_of_source;      // by SID: its first function's number
  std::vector<const ST_FUNC *> funcs;         // every function, numbered in SID, FID order
  std::unordered_map<std::string, int> sids;  // native path to SID
  // Every call, by the hash of its called name (HashString), and within one
  // hash in SID, FID and body order: the callers of a function are the calls
  // of its name's run that reach it, and an update replaces one source's.
  std::vector<QueryCallEntry> calls;
  // Names for the search: every function's scope and name written together,
  // ASCII letters upper case, each ended by a NUL, in function order.
  std::string folded;
  std::vector<uint32_t> text_at;  // by function: where its text starts in folded
  std::vector<uint16_t> name_at;  // by function: its name's offset in its text (the scope's length)
  std::vector<uint8_t> wide;      // by function: 1 when its text has bytes past ASCII
};

// The number of function (sid, fid), or -1.
long QueryNumber(const ST_QUERY *q, int sid, int fid);
// The answer value of a function record.
QueryFunction QueryFunctionOf(const ST_FUNC *f);
// Fills the name part of q (folded, text_at, name_at, wide) from q->funcs.
void QueryBuildNames(ST_QUERY *q);
// The folded search text of f (see ST_QUERY::folded) without its NUL, its
// name's offset in it and whether it has bytes past ASCII.
void QueryFoldedText(const ST_FUNC *f, std::string *text, uint16_t *name_at, uint8_t *wide);
// The entries of q->calls whose hash is h: [*first, *last).
void QueryCallRun(const ST_QUERY *q, uint32_t h, size_t *first, size_t *last);
// The answer value of a call record with its place among its caller's calls.
QueryCall QueryCallOf(const ST_CALL *c, int index);
