// What may follow a primary: member access, subscripts, a class scope and
// every parenthesis. A '(' after a name is where functions are found: a head
// outside a body (measured into argc and items) or a call inside one
// (recorded as an ST_CALL of the function being parsed).
#include "engine/parser.h"
#include "foundation/log.h"
#include "foundation/text.h"

namespace {

inline int Kind(void) {
  return ANA.token.kind;
}

// The tokenizer gives a lone full stop kind 0 with the text ".".
inline bool IsMemberDot(void) {
  return ANA.token.kind == 0 && ANA.token.text[0] == '.' && ANA.token.text[1] == 0;
}

// Appends the call just recognised (the TK_FUNC token current) to the
// function being parsed; a call that cannot be allocated is skipped.
void RecordCall(ST_SOURCE *s) {
  if (!s->cur_func || !s->cur_func->data) return;
  ST_FUNC *f = (ST_FUNC *)s->cur_func->data;
  CHBUF *e = AddCB(&f->calls, nullptr, (int)sizeof(ST_CALL));
  if (!e) return;
  ST_CALL *c = (ST_CALL *)e->data;
  c->caller = f;
  if (ANA.scope_text[0]) CopyText(c->scope, sizeof c->scope, ANA.scope_text);
  CopyText(c->name, sizeof c->name, ANA.token.text);
  c->argc = ANA.token.argc;
  c->items = 0;
  c->line = s->line_no - f->line;
  LogPrint(1, LOG_DEBUG, "//oooooooooo  calling FUNCTION  oooooooooo\r\n");
  LogPrint(1, LOG_DEBUG, "// %s%s(argc:%d) LINE:%d ----> %s%s(argc:%d)\r\n", f->scope, f->name,
           f->argc, c->line, c->scope, c->name, c->argc);
}

// "PAREN Type Func Arg": a head's parameter list, first token current.
double Head(ST_SOURCE *s, const ST_TOKEN &name) {
  LogPrint(2, LOG_DEBUG, "//-------- PAREN Type Func Arg\r\n");
  double v = 0;
  int argc = 1, items = 1;
  switch (Kind()) {
    case ')':
      argc = 0;
      items = 0;
      break;
    case TK_VOID:
      if (gt_token(s) == ')') {
        argc = 0;
      } else if (Kind() == '(') {
        parse_paren(s);  // a parenthesised declarator
      }
      break;
    case '(':
      parse_paren(s);
      break;
    default:
      break;
  }
  if (Kind() != TK_EOF) {
    while (Kind() != ')' && Kind() != TK_CAST && Kind() != TK_STOP) {
      items++;
      v = Expression_1(s);
      if (Kind() == ',') {
        argc++;
        items--;
      }
      if (Kind() == TK_EOF) break;
    }
  }
  ANA.token = name;
  ANA.token.argc = argc;
  ANA.token.items = items;
  ANA.token.kind = TK_FUNC;
  return v;
}

// "PAREN Call Func Arg": a call's argument list, first token current.
double Call(ST_SOURCE *s, const ST_TOKEN &name) {
  LogPrint(2, LOG_DEBUG, "//-------- PAREN Call Func Arg\r\n");
  double v = 0;
  int argc = 1;
  if (Kind() == ')')
    argc = 0;
  else if (Kind() == '(')
    parse_paren(s);
  if (Kind() != TK_EOF) {
    while (Kind() != ')' && Kind() != TK_CAST && Kind() != TK_STOP) {
      if (Kind() == ',') argc++;
      v = Expression_1(s);
      if (Kind() == TK_EOF) break;
    }
  }
  if (Kind() == TK_CAST) LogPrint(2, LOG_DEBUG, "//------ CAST\r\n");
  if (Kind() != ')') {
    // A macro-like use with a cast-like argument, or the end of the source.
    LogPrint(1, LOG_DEBUG, "//syntax error.\r\n");
    return v;
  }
  ANA.token = name;
  ANA.token.kind = TK_FUNC;
  ANA.token.argc = argc;
  RecordCall(s);
  return v;
}

// "PAREN Calc": a grouping or a cast.
double Group(ST_SOURCE *s) {
  LogPrint(2, LOG_DEBUG, "//-------- PAREN Calc\r\n");
  double v = 0;
  do {
    v = Expression_1(s);
  } while (Kind() != ')' && Kind() != TK_CAST && !token_ends());
  if (Kind() == TK_CAST) LogPrint(2, LOG_DEBUG, "//------ CAST\r\n");
  gt_token(s);  // the ')', or after a cast the operand that follows
  return v;
}

}  // namespace

double parse_postfix(ST_SOURCE *s) {
  if (!nest_enter("parse_postfix")) return 0;
  double v = parse_primary(s);
  int k = Kind();
  if (k == TK_ARROW || IsMemberDot()) {
    v = parse_postfix(s);  // the member name is read as a new primary
  } else if (k == '(') {
    NestMove(+1);
    ANA.paren_nest++;
    LogPrint(2, LOG_DEBUG, "//>>>>>>>> PAREN nest[%d]\r\n", ANA.paren_nest);
    v = parse_paren(s);
    NestMove(-1);
    ANA.paren_nest--;
    LogPrint(2, LOG_DEBUG, "//<<<<<<<< PAREN nest[%d]\r\n", ANA.paren_nest);
  } else if (k == '[') {
    NestMove(+1);
    ANA.bracket_nest++;
    LogPrint(2, LOG_DEBUG, "//>>>>>>>> BRACKET nest[%d]\r\n", ANA.bracket_nest);
    do {
      v = Expression_0(s);
    } while (Kind() != ']' && !token_ends());
    ANA.bracket_nest--;
    LogPrint(2, LOG_DEBUG, "//<<<<<< BRACKET nest[%d]\r\n", ANA.bracket_nest);
    NestMove(-1);
  } else if (k == TK_SCOPE) {
    CopyText(ANA.scope_text, sizeof ANA.scope_text, ANA.token.text);
    LogPrint(1, LOG_DEBUG, "//&&&&&&&& found CLASS SCOPE (%s) &&&&&&&&\r\n", ANA.scope_text);
  }
  nest_leave();
  return v;
}

double parse_paren(ST_SOURCE *s) {
  if (!nest_enter("parse_paren")) return 0;
  // Only within one logical line does prev_token hold the token before the
  // '(': at the start of a line it is the cleared record, so a grouping.
  ST_TOKEN name = ANA.prev_token;
  double v;
  if (name.kind == TK_IDENT) {
    gt_token(s);
    v = ANA.FUNCTION_FLG ? Call(s, name) : Head(s, name);
  } else {
    v = Group(s);
  }
  nest_leave();
  return v;
}
