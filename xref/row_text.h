// The texts of list rows, made in one place: the cells the desktop's lists
// show and velmora-cli prints as tab-separated lines, and the report lines of
// the result log. All in Shift_JIS, as the analyzer keeps its texts.
#pragma once

#include <string>

#include "engine/ana.h"
#include "xref/results.h"

// The row of a numbered function (called as it stands in the record).
FunctionRow MakeFunctionRow(const ST_FUNC *f);
// The row of a call, linked or not (its caller numbered).
CallRow MakeCallRow(const ST_CALL *c);

// Appends the text of cell col (a column of xref/list_columns.h) of a row
// to out; nothing for a column the list does not have. Numbers as "%d",
// names as scope and name written together, an unlinked call's "to" cells
// empty; a call's CL_LINE counted from 1.
void AppendFunctionCell(std::string &out, const FunctionRow &r, int col);
void AppendCallCell(std::string &out, const CallRow &r, int col);
// Appends every cell of a row (a Call List row's CL_COLUMNS, without its
// line), each ended by a tab but the last; a tab, CR
// or LF inside a cell becomes a blank, so one row stays one line.
void AppendFunctionCells(std::string &out, const FunctionRow &r);
void AppendCallCells(std::string &out, const CallRow &r);

// The result log's line of a function in the function list:
// "\t(FID:%d)%s%s (argc:%d)\r\n". Printed at level 0.
void PrintFunctionReport(const FunctionRow &r);
// The result log's line of a linked or unlinked call:
// "[%s] %s%s(argc:%d)---[LINK]--->(SID:%d,FID:%d)[%s] %s%s\r\n" or
// "[%s] %s%s(argc:%d)------------>not found.\r\n". Printed at level 0.
void PrintCallReport(const CallRow &r);
