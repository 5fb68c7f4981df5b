// The constructs the parser passes over without looking inside: enum
// declarations and the two families of inline assembler.
#include "engine/parser.h"
#include "foundation/log.h"
#include "foundation/text.h"

namespace {

inline int Kind(void) {
  return ANA.token.kind;
}

// Fetches tokens until one of kind stop, the end of the source or a stop.
void FetchUntil(ST_SOURCE *s, int stop) {
  do {
    gt_token(s);
  } while (Kind() != stop && !token_ends());
}

}  // namespace

void skip_enum(ST_SOURCE *s) {
  char type_name[260] = "";
  char var_name[260] = "";
  for (;;) {
    int k = gt_token(s);
    if (k == '{') {
      ANA.brace_nest++;
      LogPrint(2, LOG_DEBUG, "//>>>>>>>> BRACE(enum) nest[%d]\r\n", ANA.brace_nest);
      NestMove(+1);
      FetchUntil(s, '}');  // enumerators are not evaluated
      ANA.brace_nest--;
      LogPrint(2, LOG_DEBUG, "//<<<<<<<< BRACE(enum) nest[%d]\r\n", ANA.brace_nest);
      NestMove(-1);
      LogPrint(2, LOG_DEBUG, "//TYPE ENUM [%s] \r\n", type_name);
    } else if (k == TK_IDENT) {
      if (!type_name[0]) {
        CopyText(type_name, sizeof type_name, ANA.token.text);
        continue;
      }
      if (!var_name[0]) {
        CopyText(var_name, sizeof var_name, ANA.token.text);
        LogPrint(2, LOG_DEBUG, "//VARIABLE ENUM [%s] [%s] \r\n", type_name, var_name);
      }
    }
    if (Kind() == ';' || token_ends()) return;
  }
}

void skip_asm_win(ST_SOURCE *s) {
  LogPrint(2, LOG_DEBUG, "//--> ASM(win) SKIP\r\n");
  int k = gt_token(s);
  if (k == TK_IDENT) {
    // One-line form: the instruction runs to the end of the line.
    if (s->tok_pos) s->tok_pos = skip_to_eol(s->tok_pos);
  } else if (k == '{') {
    NestMove(+1);
    ANA.paren_nest++;
    LogPrint(2, LOG_DEBUG, "//>>>>>>>> PAREN(ASM) nest[%d]\r\n", ANA.paren_nest);
    FetchUntil(s, '}');
    NestMove(-1);
    ANA.paren_nest--;
    LogPrint(2, LOG_DEBUG, "//<<<<<<<< PAREN(WASM) nest[%d]\r\n", ANA.paren_nest);
  }
  // What is left current is taken for nothing by the callers. At the end of
  // the source the next fetch meets the end again, so no loop runs on.
  ANA.token.kind = TK_COMMENT;
}

void skip_asm_gcc(ST_SOURCE *s) {
  LogPrint(2, LOG_DEBUG, "//--> ASM(gcc) SKIP\r\n");
  do {
    gt_token(s);
  } while (Kind() == TK_TYPE);
  if (Kind() == '(') {
    NestMove(+1);
    ANA.paren_nest++;
    LogPrint(2, LOG_DEBUG, "//>>>>>>>> PAREN(GASM) nest[%d]\r\n", ANA.paren_nest);
    FetchUntil(s, ')');  // inner parentheses are not counted
    NestMove(-1);
    ANA.paren_nest--;
    LogPrint(2, LOG_DEBUG, "//<<<<<<<< PAREN(GASM) nest[%d]\r\n", ANA.paren_nest);
  }
  gt_token(s);  // normally the ';'
}
