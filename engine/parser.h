// Internal interface of the analysis engine: the source loader, the line
// reader, the tokenizer, the statement parser with its skips, the expression
// chain and the parenthesis handler. Only engine/ and its tests include this;
// everything else goes through engine/ana.h.
#pragma once

#include "engine/ana.h"
#include "foundation/log.h"

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
  // Where the name of a TK_FUNC stands in the source's text (0-based line,
  // byte column in that line, byte offset); set on TK_FUNC tokens only.
  int name_line;
  int name_column;
  int name_offset;
};

// A run of bytes of the text that the line reader left out of a logical line
// (a block comment, a continuation, a stray CR, two literals joined): the
// line's bytes from `out` on come from the text at `src` on.
struct LINE_GAP {
  int out;          // offset in line_buf
  const char *src;  // where that byte is in the text
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
  int exact_names;       // 1: words equal to a keyword by hash alone are names
  ARENA scratch;         // the current line's bytes, reused line after line
  // Where the bytes of line_buf come from, so that a name can be placed in
  // the text (line_position): the line's first byte in the text, its line,
  // and the runs left out of it (in scratch, in order).
  const char *line_src;  // text byte of line_buf[0]
  int line_first;        // 0-based line of line_src
  LINE_GAP *gaps;        // runs left out of the current line
  int gap_count;         // used entries of gaps
  int gap_cap;           // entries gaps has room for
  // The last place found in the current line, where the next search starts
  // when it lies beyond it (names are placed in order).
  const char *seen_src;  // a byte of the line's text, or null
  int seen_line;         // its 0-based line
  const char *seen_bol;  // the first byte of that line
};

// A place in a source's text.
struct TEXT_POS {
  int line;    // 0-based line
  int column;  // bytes before it in its line
  int offset;  // bytes before it in the text
};

// Deepest parser recursion a source may drive (braces, parentheses, prefix
// operators, nested conditionals and declarations). Past it the source ends as
// if at its end, so no input can exhaust the stack.
enum { ANA_MAX_DEPTH = 2000 };

// ---- records (records.cpp): how every front end records what it found ----

// What a front end knows of a definition when it records it.
struct FUNC_HEAD {
  const char *scope;    // scope prefix ("A::", "n::A::") or "" (copied: interned)
  const char *name;     // the function's name (interned)
  int argc;             // parameters counted in the head
  int items;            // item count kept with argc
  int argc_min;         // fewest arguments a call passes
  int variadic;         // 1: calls may pass more than argc_min
  int member;           // 1: a member of the class its scope names
  int const_this;       // 1: a const member
  const char *returns;  // the class its return type names (interned), or null
  int line;             // 0-based line where its text starts (its `line`)
  TEXT_POS name_at;     // where its name is
};
// Appends the definition to s's functions: scope and name interned, no
// calls, the closing brace not yet seen (end_line -1). nullptr when no
// memory is left (nothing appended). *element, when asked, is its list
// element.
ST_FUNC *record_function(ST_SOURCE *s, const FUNC_HEAD &head, CHBUF **element = nullptr);
// Appends a call of scope and name (scope may be null or "") with argc
// arguments to caller's calls; line is its line as the front end counts it
// (relative to the caller), at where its called name is. nullptr when no
// memory is left (nothing appended).
ST_CALL *record_call(ST_SOURCE *s, ST_FUNC *caller, const char *scope, const char *name, int argc,
                     int line, TEXT_POS at);
// Every function of s whose body never closed ends at last_line.
void close_functions(ST_SOURCE *s, int last_line);

// ---- source loading (source_loader.cpp) ----

// Reads the file at the native path and brings it to Shift_JIS. With *text
// null a buffer of size + 16 zero bytes is allocated (MemAlloc) and handed to
// the caller in *text; otherwise the conversion is written into *text, which
// must hold size + 16 bytes. Returns the converted length (0 on any failure,
// *text then unchanged and nothing allocated left behind).
int load_source(const char *path, char **text);
// load_source, and when stamp is given, what the bytes read were: their
// size, time and content hash, and whether the file stayed the same while
// it was read (*stamp zero when nothing could be read).
struct SourceStamp;
int load_source_stamped(const char *path, char **text, SourceStamp *stamp);

// Detects UTF-16 (FF FE / FE FF), UTF-8 (mark, or the first non-ASCII byte
// starting a valid sequence) or Shift_JIS and converts src (len bytes; len < 0
// up to its NUL) into dst. dst must hold cap + 1 bytes: the UTF-8 terminator
// may take the extra one. Returns the bytes written (UTF-8: counting the NUL),
// 0 when the conversion failed.
int wchar2sjis(const char *src, int len, char *dst, int cap);

// ---- line reader (line_reader.cpp) ----

// Reads the next logical line of the context's source into a new line_buf
// (the old one is freed) and points tok_pos at it. 1 read; 0 at the end of
// the text, for a null context or when memory runs out (read_pos then
// unchanged).
int get_line(ST_PARSE *ctx);
// Where the byte at `at` of the current logical line (inside line_buf)
// stands in the source's text. Places asked for in the order of the line
// cost no more than the line's length together.
TEXT_POS line_position(ST_PARSE *ctx, const char *at);
// First byte at p that is not TAB, LF, CR or space.
char *skip_blank(char *p);
// First NUL, LF or ESC byte at or after p.
char *skip_to_eol(char *p);

// ---- tokenizer (tokenizer.cpp) ----

// Fetches the next token of the context's source into ctx->token (the
// previous one moves to ctx->prev_token) and returns its kind; TK_EOF at the
// end of the source.
int gt_token(ST_PARSE *ctx);
// Replaces the escapes of the first len bytes of a literal's text in place
// and terminates it. Returns the bytes written.
int replace_ESQ(char *text, int len);
// Length of the number starting at the digit p; *hex is set to 1 when the
// 0x prefix switched it to base 16.
int scan_number(const char *p, int *hex);

// ---- statement parser (parser.cpp, parser_skips.cpp) ----

// One statement-sized step: consumes one expression, decides a pending
// function head, follows class heads and brace blocks (recursively).
int parse_statement(ST_PARSE *ctx);
// Fetches one token and handles it when it is a statement keyword or a
// skipped construct; after a name or number the token after it is current.
double parse_primary(ST_PARSE *ctx);
// The skipped constructs, entered with their keyword current: an enum
// declaration and the two families of inline assembler, read past with their
// trace lines. Current afterwards: the ';' ending the enum declaration (or the
// end of the source); a TK_COMMENT mark after the Windows form; the token
// after the operands of the gcc form (normally ';').
void skip_enum(ST_PARSE *ctx);
void skip_asm_win(ST_PARSE *ctx);
void skip_asm_gcc(ST_PARSE *ctx);
// Puts the parser state of ctx back to the start of a source: top mode, no
// function or class flag, no scope text, nesting counters and guard at 0.
void reset_parser(ST_PARSE *ctx);
// Points ctx at the start of s, whose text is loaded (reader at its first
// byte, no line, no current function or class, parser state reset, never
// yielding); the tokens and the last function head stay, as from source to
// source.
void begin_source(ST_PARSE *ctx, ST_SOURCE *s);
// Gives back the context's line buffer; the context no longer reads a line.
void end_source(ST_PARSE *ctx);
// Mode, flag and anchor setters with their trace lines.
int set_mode(ST_PARSE *ctx, int value);
int set_function_flg(ST_PARSE *ctx, int on);
int set_class_flg(ST_PARSE *ctx, int on);
void set_anchor(ST_PARSE *ctx);

// ---- expression chain (expression.cpp) ----

// One precedence level each, from the comma (0) to the unary operators (13):
// parses that level from the current token, leaves the token after it
// current, and returns the value of constant operands (a by-product; 0 for
// anything else). After the nesting guard ended the source, TK_EOF is current.
double Expression_0(ST_PARSE *ctx);
double Expression_1(ST_PARSE *ctx);
double Expression_2(ST_PARSE *ctx);
double Expression_3(ST_PARSE *ctx);
double Expression_4(ST_PARSE *ctx);
double Expression_5(ST_PARSE *ctx);
double Expression_6(ST_PARSE *ctx);
double Expression_7(ST_PARSE *ctx);
double Expression_8(ST_PARSE *ctx);
double Expression_9(ST_PARSE *ctx);
double Expression_10(ST_PARSE *ctx);
double Expression_11(ST_PARSE *ctx);
double Expression_12(ST_PARSE *ctx);
double Expression_13(ST_PARSE *ctx);

// ---- parentheses and calls (paren.cpp) ----

// Postfix level: the primary, then member access, a subscript, a class scope
// or a parenthesis (head, call, grouping or cast).
double parse_postfix(ST_PARSE *ctx);
// Entered with '(' current: measures a head, records a call, or parses a
// grouping; returns the value of the last expression inside.
double parse_paren(ST_PARSE *ctx);

// ---- recursion guard (parser.cpp) ----

// Enters one level of parser recursion. 1: go on (the caller must call
// nest_leave); 0: too deep, the source has been ended (TK_EOF current, the
// tokenizer stopped) and the caller must return at once without nest_leave.
int nest_enter(ST_PARSE *ctx, const char *who);
inline void nest_leave(ST_PARSE *ctx) {
  ctx->depth--;
}

// 1 when the current token ends every loop of the parser.
inline bool token_ends(const ST_PARSE *ctx) {
  return ctx->token.kind == TK_EOF || ctx->token.kind == TK_STOP;
}

// ---- analysis threads (parse_pool.cpp; the pool itself: source_pool.h) ----

// The work of the analysis threads on one source: ANA_Exec's slices, one
// after another, each ending with a mark that carries its progress; the text
// is given back at the end.
// state is the thread's own parse context.
void parse_ahead(void *state, ST_SOURCE *s, LOG_GATHER *g);
// Puts a source parsed ahead back as registered: no records, no text.
void forget_parse(ST_SOURCE *s);
// The analysis threads' parsing: parse_ahead with a context per thread.
struct SourceWork;
extern const SourceWork kParsing;
// ANA_Exec's step for s, the current source, parsed ahead: waits until it is
// parsed, then writes what it printed up to its next slice of ten statements
// and returns that slice's progress; once everything is written, reports it
// completed and moves on (ANA_EXEC_SOURCE_DONE). Polls Escape once per slice
// (a stop ends the threads; the next call reports the source stopped).
int pool_exec(ANA_EXEC *exec, ST_SOURCE *s);
// Up to ten statement steps of the context's source (begun with
// begin_source), as one call of ANA_Exec makes: after each, stop() is asked
// and a yes makes the current token TK_STOP. The source's status becomes -2
// at a stop, -1 at its end. Returns how far its text is read, in percent.
int parse_slice(ST_PARSE *ctx, int (*stop)(void));
// ANA_Exec's way of reporting a source completed: the trace, the move to the
// next source, the text given back.
int report_completed(ANA_EXEC *exec, ST_SOURCE *s);

// ---- the worker and the store (source_store.cpp; the store: source_store.h) ----

// Takes the current source s from the store in force, for the worker to
// report without the threads: 1 with its records made and what it printed
// in s->gathered; 0 when the store has nothing that fits (s untouched).
int direct_take(ST_SOURCE *s);
// ANA_Exec's step for a source taken by direct_take: writes what it printed
// up to its next slice and returns that slice's progress (Escape makes the
// source stopped); once everything is written, reports it completed.
int direct_replay(ANA_EXEC *exec, ST_SOURCE *s);
// Gives back what a taken source printed (a stop before it was all written).
void direct_release(ST_SOURCE *s);
// The worker parses a source itself: a copy of what it prints is made when
// a store is in force (null then: nothing to stamp). direct_copy_on(1/0)
// brackets each piece of work on it, direct_copy_mark adds a slice's mark,
// and direct_copy_end hands the source to the store when it is complete
// and its file stayed the same, then forgets the copy.
struct SourceStamp *direct_copy_begin(void);
void direct_copy_on(int on);
void direct_copy_mark(int progress);
void direct_copy_end(const ST_SOURCE *s);
