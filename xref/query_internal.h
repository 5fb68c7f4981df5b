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

// A call with its place among its caller's calls.
struct QueryCallRef {
  const ST_CALL *call;
  int index;
};

struct ST_QUERY {
  std::vector<const ST_SOURCE *> sources;     // by SID; [0] is null
  std::vector<uint32_t> first_of_source;      // by SID: its first function's number
  std::vector<const ST_FUNC *> funcs;         // every function, numbered in SID, FID order
  std::unordered_map<std::string, int> sids;  // native path to SID
  // The linked calls that reach each function, in SID, FID and body order:
  // callers[caller_start[n] .. caller_start[n + 1]) reach function n.
  std::vector<uint32_t> caller_start;
  std::vector<QueryCallRef> callers;
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
