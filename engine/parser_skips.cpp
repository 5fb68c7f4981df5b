// The constructs the parser passes over without looking inside: enum
// declarations and the two families of inline assembler.
#include "engine/parser.h"
#include "foundation/log.h"
#include "foundation/text.h"

namespace {

inline int Kind(const ST_PARSE *ctx) {
  return ctx->token.kind;
}

// Fetches tokens until one of kind stop, the end of the source or a stop.
void FetchUntil(ST_PARSE *ctx, int stop) {
  do {
    gt_token(ctx);
  } while (Kind(ctx) != stop && !token_ends(ctx));
}

}  // namespace

void skip_enum(ST_PARSE *ctx) {
  char type_name[260] = "";
  char var_name[260] = "";
  for (;;) {
    int k = gt_token(ctx);
    if (k == '{') {
      ctx->brace_nest++;
      LogPrint(2, LOG_DEBUG, "//>>>>>>>> BRACE(enum) nest[%d]\r\n", ctx->brace_nest);
      NestMove(+1);
      FetchUntil(ctx, '}');  // enumerators are not evaluated
      ctx->brace_nest--;
      LogPrint(2, LOG_DEBUG, "//<<<<<<<< BRACE(enum) nest[%d]\r\n", ctx->brace_nest);
      NestMove(-1);
      LogPrint(2, LOG_DEBUG, "//TYPE ENUM [%s] \r\n", type_name);
    } else if (k == TK_IDENT) {
      if (!type_name[0]) {
        CopyText(type_name, sizeof type_name, ctx->token.text);
        continue;
      }
      if (!var_name[0]) {
        CopyText(var_name, sizeof var_name, ctx->token.text);
        LogPrint(2, LOG_DEBUG, "//VARIABLE ENUM [%s] [%s] \r\n", type_name, var_name);
      }
    }
    if (Kind(ctx) == ';' || token_ends(ctx)) return;
  }
}

void skip_asm_win(ST_PARSE *ctx) {
  LogPrint(2, LOG_DEBUG, "//--> ASM(win) SKIP\r\n");
  int k = gt_token(ctx);
  if (k == TK_IDENT) {
    // One-line form: the instruction runs to the end of the line.
    if (ctx->tok_pos) ctx->tok_pos = skip_to_eol(ctx->tok_pos);
  } else if (k == '{') {
    NestMove(+1);
    ctx->paren_nest++;
    LogPrint(2, LOG_DEBUG, "//>>>>>>>> PAREN(ASM) nest[%d]\r\n", ctx->paren_nest);
    FetchUntil(ctx, '}');
    NestMove(-1);
    ctx->paren_nest--;
    LogPrint(2, LOG_DEBUG, "//<<<<<<<< PAREN(WASM) nest[%d]\r\n", ctx->paren_nest);
  }
  // What is left current is taken for nothing by the callers. At the end of
  // the source the next fetch meets the end again, so no loop runs on.
  ctx->token.kind = TK_COMMENT;
}

void skip_asm_gcc(ST_PARSE *ctx) {
  LogPrint(2, LOG_DEBUG, "//--> ASM(gcc) SKIP\r\n");
  do {
    gt_token(ctx);
  } while (Kind(ctx) == TK_TYPE);
  if (Kind(ctx) == '(') {
    NestMove(+1);
    ctx->paren_nest++;
    LogPrint(2, LOG_DEBUG, "//>>>>>>>> PAREN(GASM) nest[%d]\r\n", ctx->paren_nest);
    FetchUntil(ctx, ')');  // inner parentheses are not counted
    NestMove(-1);
    ctx->paren_nest--;
    LogPrint(2, LOG_DEBUG, "//<<<<<<<< PAREN(GASM) nest[%d]\r\n", ctx->paren_nest);
  }
  gt_token(ctx);  // normally the ';'
}
