// The results of an analysis as the fronts receive them: one typed row per
// function of the Function List and per call of the Call List, handed over
// in batches through a sink that the job's start record carries. Rows hold
// numbers, positions and the analyzer's own texts (interned names, source
// names), so a front never parses a cell back into a number; the texts stay
// valid until the sources are released, and a front empties its lists
// before that (a new analysis, or shutdown).
#pragma once

#include <cstddef>

struct ST_FUNC;

// One row of the Function List.
struct FunctionRow {
  int sid;             // SID of its source
  int fid;             // FID within its source
  const char *source;  // its source's file name (Shift_JIS)
  const char *scope;   // scope prefix ("A::") or ""
  const char *name;    // function name
  int line;            // where its text starts (0-based; the comment block above it included)
  int argc;            // parameters counted in its head
  int called;          // 1 once a linked call reaches it (rows are made with 0)
  int name_line;       // 0-based line of its name
  int name_column;     // bytes before its name in that line of the text as read
  int end_line;        // 0-based line of its closing brace
};

// One row of the Call List: a call, its caller, and the definition it
// reaches (to_sid 0: none does, and the other to_ fields are empty).
struct CallRow {
  int sid;                 // the caller's SID
  int fid;                 // the caller's FID
  const char *source;      // the caller's source file name (Shift_JIS)
  const char *scope;       // the caller's scope
  const char *name;        // the caller's name
  const char *call_scope;  // the scope written at the call, or ""
  const char *call_name;   // the name written at the call
  int argc;                // arguments at the call
  int to_sid;              // the definition reached, 0 when none
  int to_fid;              // its FID
  const char *to_source;   // its source file name, "" when none
  const char *to_scope;    // its scope, "" when none
  const char *to_name;     // its name, "" when none
  int line;                // 0-based line of the called name
  int column;              // bytes before the called name in that line of the text as read
  // A call that several definitions fit alike (the precise parser's linking
  // only): how many, and each of them, the linked one first (the analysis
  // records, valid as long as the texts); 0 and null otherwise.
  int candidate_count;
  ST_FUNC *const *candidates;
};

// Where an analysis job delivers its rows. Calls come from the worker thread,
// in order: the function rows (numbered as listed), then the call rows source
// by source, then the Called values of every function row in list order.
// The rows and values are only valid during the call: a sink copies them.
struct ResultsSink {
  virtual ~ResultsSink() {}
  // 1 when the Function List (VIEW_FUNCTIONS) or the Call List (VIEW_CALLS)
  // takes rows; rows of a list nobody takes are not made.
  virtual int TakesRows(int list) = 0;
  virtual void AddFunctionRows(const FunctionRow *rows, size_t n) = 0;
  virtual void AddCallRows(const CallRow *rows, size_t n) = 0;
  // The Called value of function rows first .. first + n - 1 (list order).
  virtual void SetCalled(size_t first, const int *called, size_t n) = 0;
  // 1 when the sink wants each source's functions as soon as it is parsed,
  // before anything is numbered (SourceParsed); the lists never need them.
  virtual int TakesParsed() { return 0; }
  // The functions of the source at path (native) just parsed, in definition
  // order, the done-th of total sources; sid and fid are 0 (not numbered
  // yet), called 0.
  virtual void SourceParsed(const char *path, const FunctionRow *rows, size_t n, int done,
                            int total) {
    (void)path;
    (void)rows;
    (void)n;
    (void)done;
    (void)total;
  }
};
