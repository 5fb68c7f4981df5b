// The cross-reference: numbering sources and functions, the Function List and
// Call List rows, linking every call to the definition it reaches, and the
// lookups the call trees and the editor commands use.
#pragma once

#include "engine/ana.h"

// Numbers sources and functions, refills func_index, writes the function list
// to the result log and the Function List view.
void ANA_MakeFunctionList(void);
// Returns the number of registered sources and resets the linking position.
int ANA_BeginCallList(void);
// Links the calls of the next source; returns the sources linked so far, or -1
// when nothing is left.
int ANA_LinkNextSource(void);
int ANA_LinkCall(ST_CALL *call);
void ANA_UpdateCalledColumn(void);
ST_FUNC *ANA_FindFunction(int sid, int fid);
ST_SOURCE *ANA_FindSource(int sid);
void ANA_ClearExpanded(void);
void AddFunctionRow(ST_FUNC *f);
void AddCallRow(ST_CALL *c);
