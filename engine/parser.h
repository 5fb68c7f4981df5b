// Internal interface of the analysis engine: the source loader, the line
// reader, the tokenizer, the statement parser with its skips, the expression
// chain and the parenthesis handler. Only engine/ and its tests include this;
// everything else goes through engine/ana.h.
#pragma once

#include "engine/ana.h"

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

// Reads the next logical line of s into a new line_buf (the old one is freed)
// and points tok_pos at it. 1 read; 0 at the end of the text, for a null
// source or when memory runs out (read_pos then unchanged).
int get_line(ST_SOURCE *s);
// First byte at p that is not TAB, LF, CR or space.
char *skip_blank(char *p);
// First NUL, LF or ESC byte at or after p.
char *skip_to_eol(char *p);

// ---- tokenizer (tokenizer.cpp) ----

// Fetches the next token of s into ANA.token (the previous one moves to
// ANA.prev_token) and returns its kind; TK_EOF at the end of the source.
int gt_token(ST_SOURCE *s);
// Replaces the escapes of the first len bytes of a literal's text in place
// and terminates it. Returns the bytes written.
int replace_ESQ(char *text, int len);
// Length of the number starting at the digit p; *hex is set to 1 when the
// 0x prefix switched it to base 16.
int scan_number(const char *p, int *hex);

// ---- statement parser (parser.cpp, parser_skips.cpp) ----

// One statement-sized step: consumes one expression, decides a pending
// function head, follows class heads and brace blocks (recursively).
int parse_statement(ST_SOURCE *s);
// Fetches one token and handles it when it is a statement keyword or a
// skipped construct; after a name or number the token after it is current.
double parse_primary(ST_SOURCE *s);
// The skipped constructs, entered with their keyword current: an enum
// declaration and the two families of inline assembler, read past with their
// trace lines. Current afterwards: the ';' ending the enum declaration (or the
// end of the source); a TK_COMMENT mark after the Windows form; the token
// after the operands of the gcc form (normally ';').
void skip_enum(ST_SOURCE *s);
void skip_asm_win(ST_SOURCE *s);
void skip_asm_gcc(ST_SOURCE *s);
// Puts the parser state of ANA back to the start of a source: top mode, no
// function or class flag, no scope text, nesting counters and guard at 0.
void reset_parser(void);
// Mode, flag and anchor setters with their trace lines.
int set_mode(int value);
int set_function_flg(int on);
int set_class_flg(int on);
void set_anchor(ST_SOURCE *s);

// ---- expression chain (expression.cpp) ----

// One precedence level each, from the comma (0) to the unary operators (13):
// parses that level from the current token, leaves the token after it
// current, and returns the value of constant operands (a by-product; 0 for
// anything else). After the nesting guard ended the source, TK_EOF is current.
double Expression_0(ST_SOURCE *s);
double Expression_1(ST_SOURCE *s);
double Expression_2(ST_SOURCE *s);
double Expression_3(ST_SOURCE *s);
double Expression_4(ST_SOURCE *s);
double Expression_5(ST_SOURCE *s);
double Expression_6(ST_SOURCE *s);
double Expression_7(ST_SOURCE *s);
double Expression_8(ST_SOURCE *s);
double Expression_9(ST_SOURCE *s);
double Expression_10(ST_SOURCE *s);
double Expression_11(ST_SOURCE *s);
double Expression_12(ST_SOURCE *s);
double Expression_13(ST_SOURCE *s);

// ---- parentheses and calls (paren.cpp) ----

// Postfix level: the primary, then member access, a subscript, a class scope
// or a parenthesis (head, call, grouping or cast).
double parse_postfix(ST_SOURCE *s);
// Entered with '(' current: measures a head, records a call, or parses a
// grouping; returns the value of the last expression inside.
double parse_paren(ST_SOURCE *s);

// ---- recursion guard (parser.cpp) ----

// Enters one level of parser recursion. 1: go on (the caller must call
// nest_leave); 0: too deep, the source has been ended (TK_EOF current, the
// tokenizer stopped) and the caller must return at once without nest_leave.
int nest_enter(const char *who);
inline void nest_leave(void) {
  ANA.depth--;
}

// 1 when the current token ends every loop of the parser.
inline bool token_ends(void) {
  return ANA.token.kind == TK_EOF || ANA.token.kind == TK_STOP;
}
