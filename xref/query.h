// The questions every front asks of an analysed project, answered from the
// records and their links in one place: the desktop, velmora-cli and the
// language server agree because they ask the same code. A query index is
// made after an analysis (numbered and linked) and answers until the records
// are released; it is read-only once made, so any number of threads may ask
// it at once. Answers are plain values (numbers, places, the analyzer's own
// texts): a front never needs the engine's records.
//
// Functions are named by their (SID, FID); lines are 0-based and columns
// count bytes of a line of the source's text as read (Shift_JIS; a file's
// byte-order mark is converted with the text, so in a UTF-8 or UTF-16 file
// with a mark the first line begins with one character more than an editor
// shows).
#pragma once

#include <cstddef>
#include <string>
#include <vector>

struct ST_QUERY;
struct ST_SOURCE;

// A definition as the fronts see it.
struct QueryFunction {
  int sid, fid;        // its numbers
  const char *path;    // its source's native path
  const char *source;  // its source's file name (Shift_JIS)
  const char *scope;   // scope prefix ("n::A::") or ""
  const char *name;    // its name
  int argc;            // parameters counted in its head
  int line;            // where its text starts (the comment block above it included)
  int name_line;       // its name's line
  int name_column;     // its name's column
  int end_line;        // its closing brace's line
  int member;          // 1: a member of the class its scope names (precise parser)
};

// A call as the fronts see it: where it is, what it names, what it reaches.
struct QueryCall {
  int sid, fid;            // the function whose body holds it
  int index;               // its place among that function's calls (0-based)
  const char *call_scope;  // the scope written at the call, or ""
  const char *call_name;   // the name written at the call
  int argc;                // arguments at the call
  int line;                // its called name's line
  int column;              // its called name's column
  int to_sid, to_fid;      // the definition it reaches; 0, 0 for none
};

// How a name matched, best first.
enum class QueryMatch : int {
  kExact = 0,      // the same text
  kExactCase = 1,  // the same text but for the case of ASCII letters
  kPrefix = 2,     // the text starts with the query (any case)
  kSubstring = 3,  // the text holds the query (any case)
};

struct QueryHit {
  QueryFunction function;
  QueryMatch match;
};

// Makes the index of the analysis in ANA (after the function list and the
// linking). nullptr when no memory is left. The caller owns it
// (ReleaseQuery); it must go before the sources are released.
ST_QUERY *CreateQuery(void);
// Frees the index; *q becomes nullptr. Null is allowed.
void ReleaseQuery(ST_QUERY **q);
// An update of one source (query_update.cpp). Before its records are
// released: its calls leave the index (1; 0 for no such source). After it
// was analysed again and numbered (or registered at the end since the index
// was made): its functions and calls come in (1; 0 when memory ran out, the
// index is then to be made anew). Neither may run while another thread asks.
int Query_DropSource(ST_QUERY *q, int sid);
int Query_AddSource(ST_QUERY *q, const ST_SOURCE *s);

// The number of sources, and of functions of all sources.
int Query_SourceCount(const ST_QUERY *q);
int Query_FunctionCount(const ST_QUERY *q);
// The native path and file name (Shift_JIS) of source sid, nullptr when
// there is none.
const char *Query_SourcePath(const ST_QUERY *q, int sid);
const char *Query_SourceName(const ST_QUERY *q, int sid);
// The SID of the source registered with the native path, 0 when none is.
int Query_SourceByPath(const ST_QUERY *q, const char *path);

// Function (sid, fid); false when there is none (*out unchanged).
bool Query_Function(const ST_QUERY *q, int sid, int fid, QueryFunction *out);
// The functions of source sid in definition (FID) order.
std::vector<QueryFunction> Query_FunctionsOf(const ST_QUERY *q, int sid);

// The function of source sid whose text holds the place (line, column): from
// its name to its closing brace; of nested ones the innermost. false when
// none does.
bool Query_FunctionAt(const ST_QUERY *q, int sid, int line, int column, QueryFunction *out);
// The call of source sid whose called name holds the place (line, column).
// false when none does.
bool Query_CallAt(const ST_QUERY *q, int sid, int line, int column, QueryCall *out);

// The calls of function (sid, fid) in the order of its body, with their
// targets; empty when there is no such function.
std::vector<QueryCall> Query_CallsOf(const ST_QUERY *q, int sid, int fid);
// Every linked call that reaches function (sid, fid), its callers in SID,
// FID order and each caller's calls in the order of its body.
std::vector<QueryCall> Query_CallersOf(const ST_QUERY *q, int sid, int fid);
// Every call that no definition was linked to and whose name matches text
// by the rule of Query_FunctionsNamed (scope and name written together, or
// the name alone when text has no "::"; Shift_JIS), with any argument
// count, in SID, FID and body order.
std::vector<QueryCall> Query_UnlinkedCallsOf(const ST_QUERY *q, const char *text);

// The definitions a call may mean, for going to its definition: none for a
// call nothing was linked to; the candidates the precise parser's linking
// kept for a call that several definitions fit alike (the linked one
// first); else the linked one first, then every other definition of the
// linked one's scope and name whose argument count fits, in SID, FID order.
std::vector<QueryFunction> Query_DefinitionsOf(const ST_QUERY *q, const QueryCall &call);

// The functions the lookup of a name takes, in SID, FID order: those whose
// scope and name written together ("A::f") are text, or, when text has no
// "::", whose name alone is text.
std::vector<QueryFunction> Query_FunctionsNamed(const ST_QUERY *q, const char *text);
// The definitions whose name (or, when text has "::", whose scope and name
// written together) matches text, best first: exact, exact but for case,
// prefix, substring; within one kind shorter names first, then SID, FID
// order. At most max of them (max <= 0: all). An empty text matches none.
std::vector<QueryHit> Query_Search(const ST_QUERY *q, const char *text, int max);
