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

// Where a source stands with the analysis threads (ST_SOURCE.ahead).
enum {
  AHEAD_NONE = 0,     // not taken by a thread (yet)
  AHEAD_PARSING = 1,  // a thread works on it (parses or links it)
  AHEAD_PARSED = 2,   // done; its records and gathered lines wait for its turn
  AHEAD_DIRECT = 3,   // handed back: the worker does it in its turn (what was
                      // gathered was incomplete)
};

// Which limit of the precise parser a source passed, so that the
// statement parser read it instead.
enum class PreciseBudget : int {
  kNone = 0,  // read as asked
  kSize,      // longer than the precise parser takes
  kMemory,    // the parse would have held more memory than one source may
  kTime,      // the parse would have taken longer than one source may
};

// Where a source stands in the analysis (ST_SOURCE.status).
enum {
  SOURCE_PENDING = 0,     // registered, or being analysed
  SOURCE_COMPLETED = -1,  // analysed to its end (or could not be loaded)
  SOURCE_STOPPED = -2,    // the user stopped its analysis
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
  int status;            // SOURCE_PENDING, SOURCE_COMPLETED or SOURCE_STOPPED
  ARENA records;         // where its function and call records live
  LOG_GATHER *gathered;  // what parsing it ahead printed, until reported
  int ahead;             // work ahead: AHEAD_... (analysis threads' lock)
  int precise;           // 1: its records were made by the precise front end
  // The built-in parser reached the end of the source inside this function's
  // body (its scope and name, interned), so definitions after it may be
  // missing; nullptr when the source ended cleanly. lost_line is that
  // function's line (0-based) then.
  const char *lost_in;
  int lost_line;
  // The precise parser was asked for and handed the source to the
  // statement parser: which of its limits the source passed.
  PreciseBudget fell_back;
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
  // ("const char*", "int", "A*"; "$T" a template parameter, "" not known),
  // argc of them (one "" slot when none), or null (C, the statement
  // parser); and 1 for a function template.
  const char **param_types;
  int templated;
  // Its return type, written as param_types are, or null; "$0" when a
  // function template returns its first template parameter.
  const char *return_type;
  int returns_const;  // 1: it returns a const object, reference or pointee
  // Defined in a class body (precise parser): 1 + the byte where that class
  // starts in its source, else 0. Tells the specialisations and #if twins
  // of one class apart.
  int class_at;
  // Where it is in its source's text, beyond `line` (where its text starts,
  // the comment block above it included): its name and its closing brace.
  int name_line;    // 0-based line of the name
  int name_column;  // bytes before the name in that line of the text as read
  int name_offset;  // bytes before the name in the text as read
  int end_line;     // 0-based line of the closing brace (the last line when it never closes)
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
  int form;              // how the call names its target (CALL_...)
  const char *receiver;  // obj.f(): the class obj is declared with, "n::A::", or null
  const char *object;    // obj.f() with obj declared nowhere near: its name (a data member?)
  // obj.m.f(), this->m.f(): the data member m of the class in receiver (obj's
  // class, or the caller's for this) whose class f is looked for in, or null.
  const char *member;
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
  int name_line;       // 0-based line of the called name in its source's text
  int name_column;     // bytes before the called name in that line of the text as read
};

// How a call names what it calls, as the precise parser records it; the
// statement parser's calls are all CALL_PLAIN.
inline int CallForm(const ST_CALL *c) {
  return c->how ? c->how->form : CALL_PLAIN;
}

// What an ST_CLASS record stands for.
enum {
  CLASS_RECORD = 0,       // a class, struct or union with a body
  CLASS_INLINE_NS = 1,    // an inline namespace (its names are reached without it): scope only
  CLASS_ENUMERATION = 2,  // an enum: scope, and its enumerators as fields (name, enum's name)
  // `using B = A;`, `typedef A B;` of a class: scope B, bases the one A as written
  CLASS_ALIAS = 3,
  // A function declared outside classes with default arguments: scope its
  // namespace, the defaults as a class's
  CLASS_DECLARATIONS = 4
};

// A class (struct, union) with a body, as the precise parser found it; or
// another scope the linker needs to know of (kind).
struct ST_CLASS {
  int kind;            // CLASS_...
  const char *scope;   // the class as a scope, enclosing ones first: "n::A::" (interned)
  int base_count;      // classes named in its base list
  const char **bases;  // their names as written, as scopes ("B::", "ns::C::"), interned
  int field_count;     // data members declared with a class type (precise parser)
  // Per member its name, then its class as a scope ("impl_", "Impl::"). The
  // class is marked when the member reaches its object through a pointer or
  // reference ("*Impl::", "^Impl::" to a const one, "?Impl::" not known).
  // An element of a standard container member is listed as "name[]" (held
  // by value) or "name[]*" (by pointer) with the element's class.
  const char **fields;
  // Member functions declared in the body with default arguments (their
  // definitions may leave the defaults out): names, and per name the
  // parameters and the fewest arguments (2 ints each).
  int default_count;
  const char **default_names;
  int *default_counts;
};

struct ST_ANA {
  ST_HASH *keywords;     // keyword text to token kind (read-only once created)
  ST_HASH2 *func_index;  // "scope:name" to ST_FUNC, filled by the function list
  CB sources;            // ST_SOURCE records in order of registration
  STR_POOL *names;       // the texts of every record's scope and name
  unsigned generation;   // changes whenever sources are registered or released
};

// The one analyzer of the process.
extern ST_ANA ANA;

struct ST_PARSE;

// One analysis as its caller steps through it with ANA_Exec: the source it
// works on, whether that source's banner was written, how often the caller's
// thread yields, and the parse context it parses in. The caller owns it (the
// analysis worker keeps one per job); zero-filled it points at no source.
struct ANA_EXEC {
  CHBUF *cur_source;  // element of ANA.sources that ANA_Exec works on, or null
  int header_done;    // 1 once the current source's banner was written
  // Statements parsed inside braces between two yields of the processor, so
  // a worker beside a window leaves it time to paint; 0 never yields (a
  // program with no window to keep responsive).
  int yield_every;
  ST_PARSE *ctx;  // the calling thread's parse context (made on first use), or null
};

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
// 200 ms. Returns the number of sources added; paths that cannot be
// registered are skipped.
int ANA_SourceCreateAll(ProgressSink *window, CB *paths);
// Analyses source s again (see source_reload.cpp): from bytes, len bytes as
// a file's (the encoding detected and converted as when its file is read),
// or from its file when bytes is null. Its functions, classes and calls are
// replaced; its SID stays, its functions have no numbers until the next
// function list, and calls of other sources that reached its old functions
// point at freed records until they are linked again. No analysis threads
// may run. 1 parsed; 0 when there is no text (s then has no functions).
// stamp, when given, receives what was read from the file (zero for bytes).
struct SourceStamp;
int ANA_SourceReload(ST_SOURCE *s, const char *bytes, int len, SourceStamp *stamp = nullptr);
// Frees every source with its text, functions and calls; the list is empty.
// An ANA_EXEC that pointed into it must be begun again. func_index still
// refers to the freed records until the next function list refills it.
void ANA_SourceRelease(void);
// 1 when the len bytes at word are exactly one of the keyword table's texts
// (directives with their '#'), else 0. The table itself keeps only hashes.
int ANA_IsKeywordText(const char *word, int len);
// The number of functions found in all sources.
int ANA_GetFuncCount(void);
// Points exec at the first registered source (none when there is none) with
// its banner not yet written, and makes its parse context when it has none
// (it stays null when no memory is left: ANA_Exec then completes each source
// it would parse itself without records); yield_every stays. Never fails.
void ANA_ExecBegin(ANA_EXEC *exec);
// Gives back exec's parse context (the source it read goes with it); exec
// then points at nothing. Never fails; null is allowed.
void ANA_ExecRelease(ANA_EXEC *exec);
// Starts the analysis threads parsing ahead of exec, from its current source
// on, when they can be used (see engine/source_pool.h). 1 when they run, 0
// when exec's caller parses alone. Any thread; the threads stop when every
// source is reported, one is stopped, or ANA_StopParsing.
int ANA_StartParsing(ANA_EXEC *exec);
// One step of exec's current source: with mode < 0 only copies its name into
// name_buffer (260 bytes, may be null) and returns 0; otherwise parses up to
// ten statements (the analysis threads started when none run) and returns
// its progress 0..100 or an AnaExecResult. window is unused (the worker
// reports progress itself). A source that cannot be loaded completes at
// once; its records stay when it is stopped.
int ANA_Exec(ANA_EXEC *exec, ProgressSink *window, char *name_buffer, int mode);
// The name of the source exec works on, or nullptr when none is left.
// Unlike a name query through ANA_Exec it writes no trace line.
const char *ANA_CurrentSourceName(const ANA_EXEC *exec);

// Stops the analysis threads, if any run, and waits for them; what they
// parsed of sources not yet reported is released (those sources are then
// as registered). ANA_Exec does this itself when every source has been
// reported or one was stopped; a worker leaving a job early calls it.
void ANA_StopParsing(void);

// The front end the settings in force read sources with: 1 the precise one
// (PARSER=1 in a build that has it), 0 the statement parser.
int ANA_ParserInUse(void);

// The number of sources parsed to their end whose parse ended inside a
// function body (lost_in set), as the last analysis left them.
int ANA_LostSourceCount(void);
// 1 when this build has the precise parser (PARSER=1 is honoured), else 0.
int ANA_PreciseBuiltIn(void);
// The number of sources of the last analysis that the precise parser handed
// to the statement parser (fell_back set).
int ANA_FellBackSourceCount(void);

// What ANA_Exec returns in mode 0 besides the progress of the current source
// (0..100, in percent of its bytes).
enum AnaExecResult {
  ANA_EXEC_SOURCE_DONE = -1,  // the current source completed; the next call moves on
  ANA_EXEC_NO_SOURCE = -2,    // no source is left to analyse
  ANA_EXEC_STOPPED = -3,      // the user stopped the analysis with Escape
};
