// The columns of the Function List and the Call List, with their header
// texts: the rows are filled by xref/, shown by the desktop program and
// printed by velmora-cli, and all three name a cell by these numbers.
#pragma once

#include "foundation/ports.h"

// Columns of the Function List.
inline constexpr int FL_SID = 0;       // SID of the source
inline constexpr int FL_SOURCE = 1;    // file name of the source
inline constexpr int FL_FID = 2;       // FID of the function within its source
inline constexpr int FL_FUNCTION = 3;  // scope and name
inline constexpr int FL_LINE = 4;      // line of the definition
inline constexpr int FL_ARGC = 5;      // number of parameters
inline constexpr int FL_CALLED = 6;    // linked calls that reach it (hidden in the desktop view)
inline constexpr int FL_COLUMNS = 7;   // number of columns

// Columns of the Call List.
inline constexpr int CL_SID = 0;           // SID of the calling function's source
inline constexpr int CL_SOURCE = 1;        // file name of that source
inline constexpr int CL_FID = 2;           // FID of the calling function
inline constexpr int CL_FUNCTION = 3;      // scope and name of the calling function
inline constexpr int CL_CALL = 4;          // scope and name as written in the call
inline constexpr int CL_ARGC = 5;          // number of arguments of the call
inline constexpr int CL_LINK = 6;          // "===>" when linked, "X" when nothing defines it
inline constexpr int CL_TO_SID = 7;        // SID of the function reached
inline constexpr int CL_TO_SOURCE = 8;     // its source's file name
inline constexpr int CL_TO_FID = 9;        // its FID
inline constexpr int CL_TO_FUNCTION = 10;  // its scope and name
inline constexpr int CL_COLUMNS = 11;      // number of columns of the lists printed and logged
// The desktop program's Call List shows one column more after those: the line
// of the call, counted from 1 as editors count (velmora-cli's tab-separated
// lists keep the columns above; its JSON has the same line as "line").
inline constexpr int CL_LINE = 11;
inline constexpr int CL_VIEW_COLUMNS = 12;  // columns of the desktop's Call List

// Header texts, one per column.
inline constexpr const char *kFunctionListHeaders[FL_COLUMNS] = {
    "SID", "Source", "FID", "Function", "LineNo", "Argc", "Called"};
inline constexpr const char *kCallListHeaders[CL_COLUMNS] = {
    "SID", "Source", "FID",      "Function", "CallFunction", "Argc",
    "-",   "toSID",  "toSource", "toFID",    "toFunction"};
inline constexpr const char *kCallLineHeader = "Line";  // header of CL_LINE

// 1 when the cells of column col of list (VIEW_FUNCTIONS, else the Call
// List) are numbers, which sort and print as numbers.
inline int IsNumberColumn(int list, int col) {
  if (list == VIEW_FUNCTIONS)
    return col == FL_SID || col == FL_FID || col == FL_LINE || col == FL_ARGC || col == FL_CALLED;
  return col == CL_SID || col == CL_FID || col == CL_ARGC || col == CL_TO_SID || col == CL_TO_FID ||
         col == CL_LINE;
}
