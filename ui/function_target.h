// What a menu, a key or a click acts on: a function, or a call (its place
// and what it reaches), as the views and the main window pass it around.
#pragma once

#include <QByteArray>

struct FunctionTarget {
  int sid = 0, fid = 0;  // the function, or 0, 0
  QByteArray name;       // else a name no source defines (Shift_JIS), for its callers
  int argc = 0;          // with its number of arguments
  // A call (a Call List row, a call in the Source view): its caller's source,
  // line (0-based) and byte column, where "view Source" goes; 0, -1, -1
  // otherwise.
  int call_sid = 0, call_line = -1, call_column = -1;
  bool IsFunction() const { return sid > 0 && fid > 0; }
  bool IsEmpty() const { return !IsFunction() && name.isEmpty(); }
  bool IsCall() const { return call_sid > 0 && call_line >= 0; }
};
