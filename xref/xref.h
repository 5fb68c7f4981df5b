// The cross-reference: numbering sources and functions, the Function List and
// Call List rows, linking every call to the definition it reaches, and the
// lookups the call trees and the editor commands use.
#pragma once

#include "engine/ana.h"
#include "xref/results.h"

// Linker position, owned by the analyzer for the length of one linking phase:
// the number of sources and the number already linked.
extern int link_total;
extern int link_position;

// Numbers sources (SID) and functions (FID), writes the function list to the
// result log, hands one Function List row per function to sink (when it takes
// them; sink may be null) and refills func_index (without an index the rest
// is still done). Always 1.
int ANA_MakeFunctionList(ResultsSink *sink);
// Writes the header of the call list to the result log and puts the linker
// before the first source; the analysis threads start resolving calls at
// once, so they work while the caller pauses before the first
// ANA_LinkNextSource. Returns the number of registered sources.
int ANA_BeginCallList(void);
// Starts the analysis threads resolving the calls of every source ahead of
// ANA_LinkNextSource (a start nobody used is undone first). Worker thread,
// after the function list.
void LinkStartAhead(void);
// What ANA_LinkNextSource returns when nothing is left to link.
enum { ANA_LINK_NOTHING_LEFT = -1 };
// Links every call of the next source (after ANA_BeginCallList), handing
// their Call List rows to sink (may be null). Returns the sources linked so
// far (link_total + 1 after an Escape, which skips the rest: see
// ANA_LinkStopped), or ANA_LINK_NOTHING_LEFT.
int ANA_LinkNextSource(ResultsSink *sink);
// 1 when a result of ANA_LinkNextSource says that Escape ended the linking.
inline int ANA_LinkStopped(int result) {
  return result > link_total;
}
// Links one call to the definition it reaches (or to none), logs it and hands
// its Call List row to sink (may be null). 0 for a missing call record
// (nothing changed), else 1. With records of the precise front end outside a
// linking phase, the lookup tables are built for this one call (a walk over
// every function and class).
int ANA_LinkCall(ST_CALL *call, ResultsSink *sink);
// Links one call to the definition it reaches, or to none, as a linking
// phase would, without a log line or a row; the definition or nullptr. The
// statement parser's records only (the precise parser's need the tables of
// a whole phase).
ST_FUNC *ANA_ResolveCall(ST_CALL *call);
// Linking again after one source was analysed again (relink.cpp), for the
// statement parser's records: ANA_RelinkPrepare before ANA_SourceReload takes
// the source's old functions out of func_index and its calls out of the
// query index q; ANA_RelinkFinish afterwards numbers its new functions,
// registers them, brings q up to date and links the source's calls and every
// call elsewhere whose name one of its old or new functions has, keeping the
// Called marks right. The result is what a whole new function list and
// linking phase would make. Finish returns 1, or 0 when q could not be
// updated (it must then be made anew); it releases the state either way.
struct ST_RELINK;
struct ST_QUERY;
ST_RELINK *ANA_RelinkPrepare(ST_QUERY *q, ST_SOURCE *s);
int ANA_RelinkFinish(ST_RELINK *r, ST_QUERY *q, ST_SOURCE *s);
// Hands sink the Called value of every Function List row, in the order in
// which ANA_MakeFunctionList made them. Always 1.
int ANA_UpdateCalledColumn(ResultsSink *sink);
// The function (sid, fid) as numbered by the last function list, or nullptr.
// The record stays the analyzer's.
ST_FUNC *ANA_FindFunction(int sid, int fid);
// The first source whose SID is sid, or nullptr. The record stays the
// analyzer's.
ST_SOURCE *ANA_FindSource(int sid);
// Clears the per-tree `expanded` mark of every function.
void ANA_ClearExpanded(void);
