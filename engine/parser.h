// Internal interface of the analysis engine: the source loader, the line
// reader, the tokenizer, the statement parser with its skips, the expression
// chain and the parenthesis handler. Only engine/ and its tests include this;
// everything else goes through engine/ana.h.
#pragma once

#include "engine/ana.h"
#include "foundation/log.h"

// Deepest parser recursion a source may drive (braces, parentheses, prefix
// operators, nested conditionals and declarations). Past it the source ends as
// if at its end, so no input can exhaust the stack.
enum { ANA_MAX_DEPTH = 2000 };

// ---- source loading (source_loader.cpp) ----

// Reads the file at the native path and brings it to Shift_JIS. With *text
// null a buffer of size + 16 zero bytes is allocated (MemAlloc) and handed to
// the caller in *text; otherwise the conversion is written into *text, which
// must hold size + 16 bytes. Returns the converted length (0 on any failure,
// *text then unchanged and nothing allocated left behind).
int load_source(const char *path, char **text);

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
// byte, no line, no current function or class, parser state reset); the
// tokens and the last function head stay, as from source to source.
void begin_source(ST_PARSE *ctx, ST_SOURCE *s);
// Gives back the context's line buffer; the context no longer reads a line.
void end_source(ST_PARSE *ctx);
// The context in which ANA_Exec parses, on the thread that calls it (the
// analysis worker). It lives as long as the process.
ST_PARSE *exec_context(void);
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
void parse_ahead(ST_PARSE *ctx, ST_SOURCE *s, LOG_GATHER *g);
// Puts a source parsed ahead back as registered: no records, no text.
void forget_parse(ST_SOURCE *s);
// ANA_Exec's step for s, the current source, parsed ahead: waits until it is
// parsed, then writes what it printed up to its next slice of ten statements
// and returns that slice's progress; once everything is written, reports it
// completed and moves on (ANA_EXEC_SOURCE_DONE). Polls Escape once per slice
// (a stop ends the threads; the next call reports the source stopped).
int pool_exec(ST_SOURCE *s);
// Up to ten statement steps of the context's source (begun with
// begin_source), as one call of ANA_Exec makes: after each, stop() is asked
// and a yes makes the current token TK_STOP. The source's status becomes -2
// at a stop, -1 at its end. Returns how far its text is read, in percent.
int parse_slice(ST_PARSE *ctx, int (*stop)(void));
// ANA_Exec's way of reporting a source completed: the trace, the move to the
// next source, the text given back.
int report_completed(ST_SOURCE *s);
