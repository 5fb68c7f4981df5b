// What may follow a primary: member access, subscripts, a class scope and
// every parenthesis. A '(' after a name is where functions are found: a head
// outside a body (measured into argc and items) or a call inside one
// (recorded as an ST_CALL of the function being parsed).
#include "engine/parser.h"
#include "foundation/log.h"
#include "foundation/text.h"

namespace {

inline int Kind(const ST_PARSE *ctx) {
  return ctx->token.kind;
}

// The tokenizer gives a lone full stop kind 0 with the text ".".
inline bool IsMemberDot(const ST_PARSE *ctx) {
  return ctx->token.kind == 0 && ctx->token.text[0] == '.' && ctx->token.text[1] == 0;
}

// Appends the call just recognised (the TK_FUNC token current) to the
// function being parsed; a call that cannot be allocated is skipped.
void RecordCall(ST_PARSE *ctx) {
  if (!ctx->cur_func || !ctx->cur_func->data) return;
  ST_FUNC *f = (ST_FUNC *)ctx->cur_func->data;
  const ST_TOKEN &t = ctx->token;
  ST_CALL *c = record_call(ctx->src, f, ctx->scope_text, t.text, t.argc, ctx->line_no - f->line,
                           TEXT_POS{t.name_line, t.name_column, t.name_offset});
  if (!c) return;
  LogPrint(1, LOG_DEBUG, "//oooooooooo  calling FUNCTION  oooooooooo\r\n");
  LogPrint(1, LOG_DEBUG, "// %s%s(argc:%d) LINE:%d ----> %s%s(argc:%d)\r\n", f->scope, f->name,
           f->argc, c->line, c->scope, c->name, c->argc);
}

// "PAREN Type Func Arg": a head's parameter list, first token current.
double Head(ST_PARSE *ctx, const ST_TOKEN &name) {
  LogPrint(2, LOG_DEBUG, "//-------- PAREN Type Func Arg\r\n");
  double v = 0;
  int argc = 1, items = 1;
  switch (Kind(ctx)) {
    case ')':
      argc = 0;
      items = 0;
      break;
    case TK_VOID:
      if (gt_token(ctx) == ')') {
        argc = 0;
      } else if (Kind(ctx) == '(') {
        parse_paren(ctx);  // a parenthesised declarator
      }
      break;
    case '(':
      parse_paren(ctx);
      break;
    default:
      break;
  }
  if (Kind(ctx) != TK_EOF) {
    while (Kind(ctx) != ')' && Kind(ctx) != TK_CAST && Kind(ctx) != TK_STOP) {
      items++;
      v = Expression_1(ctx);
      if (Kind(ctx) == ',') {
        argc++;
        items--;
      }
      if (Kind(ctx) == TK_EOF) break;
    }
  }
  ctx->token = name;
  ctx->token.argc = argc;
  ctx->token.items = items;
  ctx->token.kind = TK_FUNC;
  return v;
}

// "PAREN Call Func Arg": a call's argument list, first token current.
double Call(ST_PARSE *ctx, const ST_TOKEN &name) {
  LogPrint(2, LOG_DEBUG, "//-------- PAREN Call Func Arg\r\n");
  double v = 0;
  int argc = 1;
  if (Kind(ctx) == ')')
    argc = 0;
  else if (Kind(ctx) == '(')
    parse_paren(ctx);
  if (Kind(ctx) != TK_EOF) {
    while (Kind(ctx) != ')' && Kind(ctx) != TK_CAST && Kind(ctx) != TK_STOP) {
      if (Kind(ctx) == ',') argc++;
      v = Expression_1(ctx);
      if (Kind(ctx) == TK_EOF) break;
    }
  }
  if (Kind(ctx) == TK_CAST) LogPrint(2, LOG_DEBUG, "//------ CAST\r\n");
  if (Kind(ctx) != ')') {
    // A macro-like use with a cast-like argument, or the end of the source.
    LogPrint(1, LOG_DEBUG, "//syntax error.\r\n");
    return v;
  }
  ctx->token = name;
  ctx->token.kind = TK_FUNC;
  ctx->token.argc = argc;
  RecordCall(ctx);
  return v;
}

// "PAREN Calc": a grouping or a cast.
double Group(ST_PARSE *ctx) {
  LogPrint(2, LOG_DEBUG, "//-------- PAREN Calc\r\n");
  double v = 0;
  do {
    v = Expression_1(ctx);
  } while (Kind(ctx) != ')' && Kind(ctx) != TK_CAST && !token_ends(ctx));
  if (Kind(ctx) == TK_CAST) LogPrint(2, LOG_DEBUG, "//------ CAST\r\n");
  gt_token(ctx);  // the ')', or after a cast the operand that follows
  return v;
}

}  // namespace

double parse_postfix(ST_PARSE *ctx) {
  if (!nest_enter(ctx, "parse_postfix")) return 0;
  double v = parse_primary(ctx);
  int k = Kind(ctx);
  if (k == TK_ARROW || IsMemberDot(ctx)) {
    v = parse_postfix(ctx);  // the member name is read as a new primary
  } else if (k == '(') {
    NestMove(+1);
    ctx->paren_nest++;
    LogPrint(2, LOG_DEBUG, "//>>>>>>>> PAREN nest[%d]\r\n", ctx->paren_nest);
    v = parse_paren(ctx);
    NestMove(-1);
    ctx->paren_nest--;
    LogPrint(2, LOG_DEBUG, "//<<<<<<<< PAREN nest[%d]\r\n", ctx->paren_nest);
  } else if (k == '[') {
    NestMove(+1);
    ctx->bracket_nest++;
    LogPrint(2, LOG_DEBUG, "//>>>>>>>> BRACKET nest[%d]\r\n", ctx->bracket_nest);
    do {
      v = Expression_0(ctx);
    } while (Kind(ctx) != ']' && !token_ends(ctx));
    ctx->bracket_nest--;
    LogPrint(2, LOG_DEBUG, "//<<<<<< BRACKET nest[%d]\r\n", ctx->bracket_nest);
    NestMove(-1);
  } else if (k == TK_SCOPE) {
    CopyText(ctx->scope_text, sizeof ctx->scope_text, ctx->token.text);
    LogPrint(1, LOG_DEBUG, "//&&&&&&&& found CLASS SCOPE (%s) &&&&&&&&\r\n", ctx->scope_text);
  }
  nest_leave(ctx);
  return v;
}

double parse_paren(ST_PARSE *ctx) {
  if (!nest_enter(ctx, "parse_paren")) return 0;
  // Only within one logical line does prev_token hold the token before the
  // '(': at the start of a line it is the cleared record, so a grouping.
  ST_TOKEN name = ctx->prev_token;
  double v;
  if (name.kind == TK_IDENT) {
    // The name is on this line: its place is taken now, before the list
    // (which may run over more lines) moves the reader on.
    TEXT_POS at = line_position(ctx, name.pos);
    name.name_line = at.line;
    name.name_column = at.column;
    name.name_offset = at.offset;
    gt_token(ctx);
    v = ctx->FUNCTION_FLG ? Call(ctx, name) : Head(ctx, name);
  } else {
    v = Group(ctx);
  }
  nest_leave(ctx);
  return v;
}
