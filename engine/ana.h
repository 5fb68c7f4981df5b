// The analyzer: the one object that holds everything the analysis engine knows,
// and the records the whole engine shares (sources, functions, calls, tokens).
// Records live as the zero-filled data blocks of CB lists.
#pragma once

#include "foundation/arena.h"
#include "foundation/cb.h"
#include "foundation/hash.h"
#include "foundation/string_pool.h"
#include "platform/files.h"

struct ProgressSink;
struct LOG_GATHER;

// Token kinds.
enum {
  TK_ERROR = -100,   // syntax-error mark of the conditional operator
  TK_STOP = -3,      // stop requested (Escape)
  TK_EOF = -2,       // end of the source
  TK_IDENT = 1000,   // identifier
  TK_NUMBER = 1001,  // decimal number
  TK_HEXNUM = 1002,  // 0x number
  TK_TYPE = 1004,    // basic type words
  TK_FUNC = 1005,    // a name whose parenthesised list was parsed
  TK_CAST = 1007,    // cast marker
  TK_ELLIPSIS = 1008,
  TK_ARROW = 1009,
  TK_LITERAL = 1010,
  TK_LABEL = 1011,
  TK_SCOPE = 1012,
  TK_COMMENT = 1015,
  TK_IF = 1016,
  TK_ELSE = 1017,
  TK_SWITCH = 1018,
  TK_CASE = 1019,
  TK_DEFAULT = 1020,
  TK_FOR = 1021,
  TK_WHILE = 1022,
  TK_DO = 1023,
  TK_RETURN = 1024,
  TK_SIZEOF = 1025,
  TK_VOID = 1026,
  TK_TRY = 1027,
  TK_CATCH = 1028,
  TK_ASM_GCC = 1030,
  TK_ASM_WIN = 1031,
  TK_SHIFT = 1100,
  TK_INC = 1101,
  TK_DEC = 1102,
  TK_ASSIGN = 1200,
  TK_COMPARE = 1300,
  TK_OROR = 1307,
  TK_ANDAND = 1308,
  TK_PP_IF = 2000,  // the eight directives, 2000..2007
  TK_PP_IFDEF = 2001,
  TK_PP_IFNDEF = 2002,
  TK_PP_ELSE = 2003,
  TK_PP_ENDIF = 2004,
  TK_PP_INCLUDE = 2005,
  TK_PP_DEFINE = 2006,
  TK_PP_UNDEF = 2007,
  TK_PREPRO = TK_PP_IF,          // first directive kind
  TK_PREPRO_LAST = TK_PP_UNDEF,  // last directive kind
  TK_TYPEDEF = 2008,
  TK_STRUCT = 2009,
  TK_CLASS = 2010,
  TK_ENUM = 2011,
  TK_EXTERN = 2012,
};

// Where a source stands with the analysis threads (ST_SOURCE.ahead).
enum {
  AHEAD_NONE = 0,     // not taken by a thread (yet)
  AHEAD_PARSING = 1,  // a thread works on it (parses or links it)
  AHEAD_PARSED = 2,   // done; its records and gathered lines wait for its turn
  AHEAD_DIRECT = 3,   // handed back: the worker does it in its turn (what was
                      // gathered was incomplete)
};

// Parser modes.
enum {
  MODE_TOP = 0,
  MODE_FUNC_NAME = 1,
  MODE_TYPEDEF = 2,
  MODE_STRUCT = 3,
  MODE_ENUM = 4,
  MODE_BLOCK = 5,
};

struct ST_TOKEN {
  char text[260];  // the token's bytes (at most 255); "--" for TK_EOF
  char *pos;       // start in line_buf (after the quote for a literal); null at EOF
  int len;         // bytes spanned in the line (literal: bytes after escapes)
  int kind;        // token kind
  int argc;        // parser scratch: argument count of a TK_FUNC
  int items;       // parser scratch: item count of a head
};

struct ST_SOURCE {
  int sid;               // 1-based position in sources; 0 until listed
  char *path;            // native path as registered (owned, MemAlloc)
  char name[260];        // Shift_JIS file-name part of path
  char *text;            // whole source in Shift_JIS (size + 16), or null
  int name_hash;         // HashString of name
  int size;              // file size; then length of the converted text
  CB funcs;              // ST_FUNC records, in order of definition
  CB classes;            // ST_CLASS records (precise parser), in source order
  int status;            // 0 pending/running, -1 completed, -2 stopped
  ARENA records;         // where its function and call records live
  LOG_GATHER *gathered;  // what parsing it ahead printed, until reported
  int ahead;             // work ahead: AHEAD_... (analysis threads' lock)
  // The built-in parser reached the end of the source inside this function's
  // body (its scope and name, interned), so definitions after it may be
  // missing; nullptr when the source ended cleanly. lost_line is that
  // function's line (0-based) then.
  const char *lost_in;
  int lost_line;
};

struct ST_FUNC {
  int fid;            // 1-based position in its source's funcs
  int sid;            // SID of its source
  ST_SOURCE *source;  // owner
  const char *scope;  // scope prefix, "A::" style, or "" (interned, ANA.names)
  const char *name;   // function name (interned)
  int scope_hash;     // HashString of scope
  int name_hash;      // HashString of name
  int argc;           // parameters counted in the head
  int items;          // item count kept with argc
  char *def_pos;      // first non-blank byte of the definition's text
  int def_len;        // bytes from def_pos past the closing brace
  int line;           // line of the definition (0-based)
  int def_offset;     // def_pos - text, valid after text is freed
  CB calls;           // ST_CALL records made in the body, in order
  int expanded;       // call-tree expansion mark
  int called;         // 1 once some call was linked to it
  // What calls may pass (the statement parser sets argc_min to argc and the
  // other two to 0; only the precise parser sees defaults, ... and classes):
  int argc_min;         // fewest arguments a call passes (parameters without defaults)
  int variadic;         // 1: calls may pass any number of arguments past argc_min
  int member;           // 1: a member of the class its scope names
  int const_this;       // 1: a const member (its calls of overloads take the const one)
  const char *returns;  // the class its return type names, "n::A::" (precise parser), or null
  // Precise parser, C++ only: each parameter's type as written, normalised
  // ("const char*", "int", "A*"; "$" a template parameter, "" not known),
  // argc of them, or null; and 1 for a function template.
  const char **param_types;
  int templated;
  const char *return_type;  // its return type, written as param_types are, or null
  int returns_const;        // 1: it returns a const object, reference or pointee
};

enum {
  CALL_PLAIN = 0,      // f(...), a name alone
  CALL_QUALIFIED = 1,  // n::f(...), A::f(...), obj.A::f(...): scope holds the qualifier
  CALL_MEMBER = 2,     // obj.f(...), p->f(...)
  CALL_THIS = 3,       // this->f(...)
};

struct ST_CALL;

// How a call is written, beyond its scope and name, as the precise parser
// reads it. Most calls have nothing to say here (a name alone), and the
// statement parser's never do, so it is a record apart that such calls go
// without.
struct ST_CALL_FORM {
  int form;                // how the call names its target (CALL_...)
  const char *receiver;    // obj.f(): the class obj is declared with, "n::A::", or null
  const char *object;      // obj.f() with obj declared nowhere near: its name (a data member?)
  const ST_CALL *through;  // g().f(): the call g() whose result f is called on, or null
  // What the arguments visibly are, normalised as ST_FUNC.param_types ("" not
  // known), argc of them, or null when none is known.
  const char **arg_types;
  // Per argument written as a call ("@" in arg_types), that call's record
  // (else null); null when no argument is a call.
  const ST_CALL **arg_calls;
  int object_const;  // obj.f(): 1 obj is const, 0 it is not, -1 not known
  // Set by linking when more than one definition fits equally: every one of
  // them, the linked one (to_func) first; candidate_count 0 otherwise.
  ST_FUNC **candidates;
  int candidate_count;
};

struct ST_CALL {
  int to_sid, to_fid;  // linked definition, 0 if none
  ST_FUNC *to_func;    // linked definition, or null
  ST_FUNC *caller;     // function whose body holds the call
  const char *scope;   // scope written before the called name, or "" (interned)
  const char *name;    // called name (interned)
  int scope_hash;      // HashString of scope
  int name_hash;       // HashString of name
  int argc;            // arguments at the call
  int items;           // 0
  int line;            // line of the call minus the caller's line
  int skip;            // 1: not shown in call trees
  ST_CALL_FORM *how;   // null: a name alone (CALL_PLAIN), nothing more known
};

// How a call names what it calls, as the precise parser records it; the
// statement parser's calls are all CALL_PLAIN.
inline int CallForm(const ST_CALL *c) {
  return c->how ? c->how->form : CALL_PLAIN;
}

// What an ST_CLASS record stands for.
enum {
  CLASS_RECORD = 0,      // a class, struct or union with a body
  CLASS_INLINE_NS = 1,   // an inline namespace (its names are reached without it): scope only
  CLASS_ENUMERATION = 2  // an enum: scope, and its enumerators as fields (name, enum's name)
};

// A class (struct, union) with a body, as the precise parser found it; or
// another scope the linker needs to know of (kind).
struct ST_CLASS {
  int kind;  // CLASS_...
  const char *scope;    // the class as a scope, enclosing ones first: "n::A::" (interned)
  int base_count;       // classes named in its base list
  const char **bases;   // their names as written, as scopes ("B::", "ns::C::"), interned
  int field_count;      // data members declared with a class type (precise parser)
  const char **fields;  // per member its name, then its class as a scope ("impl_", "Impl::")
  // Member functions declared in the body with default arguments (their
  // definitions may leave the defaults out): names, and per name the
  // parameters and the fewest arguments (2 ints each).
  int default_count;
  const char **default_names;
  int *default_counts;
};

// Everything that belongs to one source while it is parsed: the reader's
// place in its text, the current tokens and the parser's state. Passed first
// to every step of the engine, so a source is parsed by whoever holds its
// context and nothing else of the analyzer changes meanwhile.
struct ST_PARSE {
  ST_SOURCE *src;        // source being parsed
  char *read_pos;        // next byte for the line reader
  int line_no;           // physical lines consumed so far
  char *line_buf;        // current logical line (in scratch), or null
  char *tok_pos;         // tokenizer cursor in line_buf; null: fetch a line
  char *anchor_pos;      // start of the current top-level declaration
  int anchor_line;       // line_no when anchor_pos was set
  CHBUF *cur_func;       // element of src->funcs whose body is parsed
  char class_name[264];  // class whose body is being parsed
  ST_TOKEN token;        // current token
  ST_TOKEN prev_token;   // previous token within the logical line
  int mode;              // parser mode (MODE_...)
  int FUNCTION_FLG;      // inside the body of a recorded function
  int CLASS_FLG;         // inside a class body
  char scope_text[260];  // text of the last TK_SCOPE token, or empty
  ST_TOKEN func_name;    // copy of the last TK_FUNC token
  ST_TOKEN class_token;  // copy of the token after the last "class"
  int brace_nest;        // brace depth, for trace lines
  int bracket_nest;      // bracket depth, for trace lines
  int paren_nest;        // parenthesis depth, for trace lines
  int depth;             // recursion depth of the parser (guard)
  int depth_exceeded;    // 1 once the guard ended the current source
  int trace_level;       // log level, read once per logical line
  unsigned yield_count;  // statements in braces since the last yield
  int yield_every;       // statements in braces between two yields; 0 never
  int precise;           // 1: this source is parsed by the precise front end
  ARENA scratch;         // the current line's bytes, reused line after line
};

struct ST_ANA {
  ST_HASH *keywords;     // keyword text to token kind (read-only once created)
  ST_HASH2 *func_index;  // "scope:name" to ST_FUNC, filled by the function list
  CB sources;            // ST_SOURCE records in order of registration
  CHBUF *cur_source;     // element of sources that ANA_Exec works on
  int header_done;       // 1 once the current source's banner was written
  STR_POOL *names;       // the texts of every record's scope and name
};

// The one analyzer of the process.
extern ST_ANA ANA;
// Statements parsed inside braces between two yields of the processor, so a
// worker beside a window leaves it time to paint; 0 never yields (a program
// with no window to keep responsive). 64 unless the program sets it.
extern int g_parse_yield_every;

// Creates the keyword table and the function index (once) and empties ANA for
// a new analysis (settings must be read first). 1 ready; 0 when a table
// cannot be created (traced; what exists stays for ReleaseANA).
int CreateANA(void);
// Releases the tables and every source with its records; ANA is then empty.
void ReleaseANA(void);
// The analyzer's one copy of text (cut to 259 bytes), for the scope and name
// fields of records: valid until the sources are released; "" when memory
// runs out (or text is null).
const char *ANA_Intern(const char *text);
// Registers the file at the native path as a new source at the end of the
// list. 1 added; 0 when it cannot be read, is empty or too large for the
// records, or memory runs out (the list is then unchanged).
int ANA_SourceCreate(const char *path);
// Registers every path of the list (a CB of NUL-terminated native paths, the
// caller's) in order, reporting progress to window (may be null) at most every
// 200 ms, and points the analysis at the first source. Returns the number of
// sources added; paths that cannot be registered are skipped.
int ANA_SourceCreateAll(ProgressSink *window, CB *paths);
// Frees every source with its text, functions and calls; the list is empty
// and no source is current. func_index still refers to the freed records
// until the next function list refills it.
void ANA_SourceRelease(void);
// 1 when the len bytes at word are exactly one of the keyword table's texts
// (directives with their '#'), else 0. The table itself keeps only hashes.
int ANA_IsKeywordText(const char *word, int len);
// The number of functions found in all sources.
int ANA_GetFuncCount(void);
// One step of the current source: with mode < 0 only copies its name into
// name_buffer (260 bytes, may be null) and returns 0; otherwise parses up to ten
// statements and returns its progress 0..100 or an AnaExecResult. window is
// unused (the worker reports progress itself). A source that cannot be loaded
// completes at once; its records stay when it is stopped.
int ANA_Exec(ProgressSink *window, char *name_buffer, int mode);
// The name of the source ANA_Exec works on, or nullptr when none is left.
// Unlike a name query through ANA_Exec it writes no trace line.
const char *ANA_CurrentSourceName(void);

// Stops the analysis threads, if any run, and waits for them; what they
// parsed of sources not yet reported is released (those sources are then
// as registered). ANA_Exec does this itself when every source has been
// reported or one was stopped; a worker leaving a job early calls it.
void ANA_StopParsing(void);

// The number of sources parsed to their end whose parse ended inside a
// function body (lost_in set), as the last analysis left them.
int ANA_LostSourceCount(void);

// What ANA_Exec returns in mode 0 besides the progress of the current source
// (0..100, in percent of its bytes).
enum AnaExecResult {
  ANA_EXEC_SOURCE_DONE = -1,  // the current source completed; the next call moves on
  ANA_EXEC_NO_SOURCE = -2,    // no source is left to analyse
  ANA_EXEC_STOPPED = -3,      // the user stopped the analysis with Escape
};
