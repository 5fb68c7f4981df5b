// Internal interface of the precise front end: a C and C++ parser (tree-sitter
// with the C and C++ grammars) that fills the same function, call and class
// records as the statement parser, through the same parse context. Only
// engine/ and its tests include this; a build without the grammars has the
// interface, and precise_available() says 0.
#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/parser.h"

// 1 when this build has the grammars (and so the precise front end).
int precise_available(void);
// Test hook: while nonzero, precise_available() says 0, as in a build
// without the grammars.
extern int g_precise_hidden;

// What each source may cost the precise front end. A source past one of
// them is read by the statement parser instead (ST_SOURCE::fell_back says
// which), exactly as that parser alone reads it: the limits are checked
// before the walk over the tree writes anything.
struct PreciseLimits {
  uint32_t max_bytes;          // longer sources are not given to the grammar
  uint64_t max_memory;         // bytes the parsing library may hold for one source
  uint32_t max_ms;             // milliseconds the library may parse one source
  uint32_t slice_us;           // how long the library parses between two looks
  uint32_t (*clock_ms)(void);  // the clock max_ms is measured on
};
// The limits in force: kPreciseLimits unless a test sets others.
extern const PreciseLimits kPreciseLimits;
extern PreciseLimits g_precise_limits;

// Parses the whole source of ctx (begun with begin_source, its text loaded)
// and appends its functions, calls and classes to the source's records. stop
// is asked about every 50 ms of parsing; a yes leaves the source stopped
// (status -2) with no records of it. Otherwise the source is complete
// (status -1). Writes the trace line of its unreadable regions and, at
// DEBUG_LOG 1, each function's summary lines. Returns 100 (the whole text
// read). A source over a limit of g_precise_limits is handed to the
// statement parser (ctx->precise 0, s->fell_back set, a trace line) and this
// returns that parser's first slice. Without the grammars it completes the
// source with no records.
int precise_parse_source(ST_PARSE *ctx, int (*stop)(void));

// The word for a budget ("size", "memory", "time"; "" for none).
const char *precise_budget_word(PreciseBudget budget);

// Finds, in the files of every registered source, the object-like macros
// whose body only opens or closes namespaces (or braces), for the parser to
// see through them; the table of the previous analysis is dropped. Called
// before any source is parsed, never while one is.
void precise_collect_namespace_macros(void);

// ---- memory of the parsing library (precise_memory.cpp) ----

// Routes the parsing library's allocations through this module (once per
// process, before the first parser is made).
void precise_memory_install(void);
// Every block the parsing library allocates on this thread between the two
// calls belongs to the scope and is given back by precise_scope_end if the
// library did not; a free of a pointer that is not the start of one of our
// blocks is ignored. Not nested. Once the scope's blocks hold more than
// limit bytes (0: no limit) its over flag is 1.
void precise_scope_begin(uint64_t limit);
// The scope's over flag, for the parser's cancellation flag (this thread's).
const size_t *precise_scope_over_flag(void);
// 1 when the scope went past its limit.
int precise_scope_over(void);
// Ends the scope; returns the number of blocks that were still held.
unsigned precise_scope_end(void);

// ---- names as the records write them (precise_names.cpp) ----

// Text helpers over a source's bytes: each appends to out (at most cap
// bytes, always terminated) and returns the new length.
//
// A scope or name written in the source, without template argument lists
// and blanks ("Box<int, 2>::" gives "Box::"); runs of blanks inside a
// conversion operator's type become one blank.
size_t precise_clean_name(const char *text, uint32_t len, char *out, size_t cap, size_t used);
