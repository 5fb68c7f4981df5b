// The cross-reference: numbering sources and functions, the Function List and
// Call List rows, linking every call to the definition it reaches, and the
// lookups the call trees and the editor commands use.
#pragma once

#include "engine/ana.h"

// Linker position, owned by the analyzer for the length of one linking phase:
// the number of sources and the number already linked.
extern int link_total;
extern int link_position;

// Numbers sources (SID) and functions (FID), writes the function list to the
// result log, adds one Function List row per function and refills func_index
// (without an index the rest is still done). Always 1.
int ANA_MakeFunctionList(void);
// Writes the header of the call list to the result log and puts the linker
// before the first source; the analysis threads start resolving calls at
// once, so they work while the caller pauses before the first
// ANA_LinkNextSource. Returns the number of registered sources.
int ANA_BeginCallList(void);
// Starts the analysis threads resolving the calls of every source ahead of
// ANA_LinkNextSource (a start nobody used is undone first). Worker thread,
// after the function list.
void LinkStartAhead(void);
// Links every call of the next source (after ANA_BeginCallList). Returns the
// sources linked so far (link_total + 1 after an Escape, which skips the
// rest), or -1 when nothing is left.
int ANA_LinkNextSource(void);
// Links one call to the definition it reaches (or to none), logs it and adds
// its Call List row. 0 for a missing call record (nothing changed), else 1.
// With PARSER 1 outside a linking phase, the lookup tables are built for this
// one call (a walk over every function and class).
int ANA_LinkCall(ST_CALL *call);
// Rewrites the "Called" cell of every Function List row, in the order in
// which ANA_MakeFunctionList added them. Always 1.
int ANA_UpdateCalledColumn(void);
// The function (sid, fid) as numbered by the last function list, or nullptr.
// The record stays the analyzer's.
ST_FUNC *ANA_FindFunction(int sid, int fid);
// The first function in SID, FID order whose scope and name written together
// ("A::f"), or whose name alone when the text has no "::", is the Shift_JIS
// text name; nullptr when none is (or name is null). The record stays the
// analyzer's.
ST_FUNC *ANA_FindFunctionByName(const char *name);
// The first source whose SID is sid, or nullptr. The record stays the
// analyzer's.
ST_SOURCE *ANA_FindSource(int sid);
// Clears the per-tree `expanded` mark of every function.
void ANA_ClearExpanded(void);

// Appends one Function List row (7 cells); nothing when that view is absent.
void AddFunctionRow(int sid, const char *sourceName, int fid, const char *scope, const char *name,
                    int line, int argc, int called);
// Appends one Call List row (11 cells); toSid <= 0 marks an unlinked call,
// whose "to" arguments are then ignored. Nothing when that view is absent.
// A call linked to the first of several definitions that fit alike
// (candidate_count > 1, the precise parser's linking only) gets "1 of n"
// after its link mark and the candidates in the cell after the shown ones.
void AddCallRow(int callerSid, const char *callerSourceName, int callerFid, const char *callerScope,
                const char *callerName, const char *callScope, const char *callName, int callArgc,
                int toSid, const char *toSourceName, int toFid, const char *toScope,
                const char *toName, int candidate_count = 0,
                ST_FUNC *const *candidates = nullptr);
