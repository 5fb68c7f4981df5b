// The statement parser: a loose scope machine over the token stream that
// records function definitions (ST_FUNC) and follows braces, class heads and
// the statement keywords. Calls are recorded by the parenthesis handler.
// Every trace line here is part of the debug log's public record.
#include <cstring>

#include "engine/parser.h"
#include "engine/precise.h"
#include "foundation/log.h"
#include "foundation/memory.h"
#include "foundation/settings.h"
#include "foundation/text.h"
#include "foundation/trace.h"
#include "platform/sys.h"

namespace {

const char *const kModeLabel[] = {"MODE_TOP",     "!!!! found FUNC_NAME !!!!",
                                  "MODE_TYPEDEF", "MODE_STRUCT",
                                  "MODE_ENUM",    "MODE_BLOCK"};

inline int Kind(const ST_PARSE *ctx) {
  return ctx->token.kind;
}

const char *FlagText(int was, int on) {
  return was == on ? "----" : on ? " ON " : " OFF ";
}

// Records the definition whose head is in func_name. When the record cannot
// be made, the body is still parsed as a body (FUNCTION_FLG on) but with no
// function current, so its calls are not attached to anything.
void RecordFunction(ST_PARSE *ctx) {
  FUNC_HEAD head = {};
  head.scope = ctx->scope_text;
  head.name = ctx->func_name.text;
  head.argc = ctx->func_name.argc;
  head.items = ctx->func_name.items;
  // This parser knows no default arguments: every parameter is needed (the
  // scope-aware linking of PARSER=1 reads it for a source this parser read).
  head.argc_min = head.argc;
  head.line = ctx->line_no - 1;
  head.name_at =
      TEXT_POS{ctx->func_name.name_line, ctx->func_name.name_column, ctx->func_name.name_offset};
  ST_FUNC *f = record_function(ctx->src, head, &ctx->cur_func);
  if (!f) {
    ctx->cur_func = nullptr;
    set_function_flg(ctx, 1);
    return;
  }
  LogPrint(1, LOG_DEBUG, "//##########  enter FUNCTION  ##########\r\n");
  LogPrint(1, LOG_DEBUG, "// %s LINE:%d ----> %s%s(argc:%d/items:%d)\r\n", ctx->src->name, f->line,
           f->scope, f->name, f->argc, f->items);
  set_function_flg(ctx, 1);
}

// The exit values of the function whose body has just closed.
void FinishFunction(ST_PARSE *ctx) {
  if (!ctx->cur_func || !ctx->cur_func->data) return;
  ST_FUNC *f = (ST_FUNC *)ctx->cur_func->data;
  char *def = skip_blank(ctx->anchor_pos);
  int lf = 0;
  for (const char *p = ctx->anchor_pos; p < def; p++)
    if (*p == '\n') lf++;
  f->def_pos = def;
  f->line = ctx->anchor_line + lf;
  // A definition that shares the line of the construct before it starts
  // before the anchor; its text cannot be measured, so it is empty, not
  // negative.
  long len = (long)(ctx->read_pos - def);
  f->def_len = len > 0 ? (int)len : 0;
  if (!f->scope[0] && ctx->class_name[0]) {
    char scope[260];
    FormatText(scope, sizeof scope, "%s::", ctx->class_name);
    f->scope = ANA_Intern(scope);
  }
  f->def_offset = (int)(def - ctx->src->text);
  // The '}' just consumed is still the current token's place.
  if (ctx->token.pos) f->end_line = line_position(ctx, ctx->token.pos).line;
  LogPrint(1, LOG_DEBUG, "//@@@@@@@@@@ exit FUNCTION (%s%s) @@@@@@@@@@\r\n", f->scope, f->name);
}

void BraceBlock(ST_PARSE *ctx) {
  ctx->brace_nest++;
  LogPrint(2, LOG_DEBUG, "//>>>>>>>> BRACE nest[%d]\r\n", ctx->brace_nest);
  NestMove(+1);
  int saved = ctx->mode;
  set_mode(ctx, MODE_BLOCK);
  do {
    parse_statement(ctx);
    int every = ctx->yield_every;
    if (every > 0 && ++ctx->yield_count % (unsigned)every == 0) YieldCpu();
  } while (Kind(ctx) != '}' && !token_ends(ctx));
  // A '}' is consumed here; the end of the source stays current so that
  // every enclosing loop ends too.
  bool closed = Kind(ctx) == '}';
  if (closed) ctx->token.kind = 0;
  ctx->brace_nest--;
  LogPrint(2, LOG_DEBUG, "//<<<<<<<< BRACE nest[%d]\r\n", ctx->brace_nest);
  NestMove(-1);
  set_mode(ctx, saved);
  if (!closed) return;  // a body that never closes keeps no exit values
  if (ctx->mode == MODE_TOP) {
    if (ctx->CLASS_FLG && !ctx->FUNCTION_FLG) {
      set_class_flg(ctx, 0);
      ctx->class_name[0] = 0;
    }
    if (ctx->FUNCTION_FLG) {
      FinishFunction(ctx);
      set_function_flg(ctx, 0);
    }
  }
  if (!ctx->FUNCTION_FLG) set_anchor(ctx);
}

void ClassHead(ST_PARSE *ctx) {
  if (ctx->CLASS_FLG) {
    LogPrint(1, LOG_DEBUG, "//xxxx CLASS-IN-CLASS (%s) xxxx\r\n", ctx->class_token.text);
    return;
  }
  gt_token(ctx);
  ctx->class_token = ctx->token;
  set_class_flg(ctx, 1);
  CopyText(ctx->class_name, sizeof ctx->class_name, ctx->token.text);
  // Base-class lists, and everything up to the next '{' after a forward
  // declaration, are consumed here.
  while (Kind(ctx) != '{' && !token_ends(ctx)) parse_primary(ctx);
}

}  // namespace

int nest_enter(ST_PARSE *ctx, const char *who) {
  if (ctx->depth >= ANA_MAX_DEPTH) {
    if (!ctx->depth_exceeded) {
      DebugPrint("%s : Nesting too deep.\r\n", who);
      ctx->depth_exceeded = 1;
    }
    ST_TOKEN *t = &ctx->token;
    t->kind = TK_EOF;
    t->pos = nullptr;
    t->len = 0;
    CopyText(t->text, sizeof t->text, "--");
    return 0;
  }
  ctx->depth++;
  return 1;
}

void reset_parser(ST_PARSE *ctx) {
  ctx->mode = MODE_TOP;
  ctx->FUNCTION_FLG = 0;
  ctx->CLASS_FLG = 0;
  ctx->scope_text[0] = 0;
  ctx->brace_nest = 0;
  ctx->bracket_nest = 0;
  ctx->paren_nest = 0;
  ctx->depth = 0;
  ctx->depth_exceeded = 0;
}

void begin_source(ST_PARSE *ctx, ST_SOURCE *s) {
  end_source(ctx);
  ctx->src = s;
  s->lost_in = nullptr;
  s->fell_back = PreciseBudget::kNone;
  s->lost_line = 0;
  ctx->read_pos = ctx->anchor_pos = s->text;
  ctx->line_no = 0;
  ctx->anchor_line = 0;
  ctx->cur_func = nullptr;
  ctx->class_name[0] = 0;
  ctx->yield_every = 0;
  ctx->precise = ANA_ParserInUse();
  s->precise = ctx->precise;
  ctx->exact_names = g_config.EXACT_NAMES;
  reset_parser(ctx);
}

void end_source(ST_PARSE *ctx) {
  ArenaRelease(&ctx->scratch);
  ctx->line_buf = nullptr;
  ctx->tok_pos = nullptr;
}

int set_mode(ST_PARSE *ctx, int value) {
  if (value < MODE_TOP || value > MODE_BLOCK) {
    LogPrint(1, LOG_DEBUG, "set_mode : Invalid Mode.\r\n");
    return 0;
  }
  LogPrint(2, LOG_DEBUG, "// <<%s>>\r\n", kModeLabel[value]);
  ctx->mode = value;
  return value;
}

int set_function_flg(ST_PARSE *ctx, int on) {
  on = on ? 1 : 0;
  LogPrint(2, LOG_DEBUG, "// <<FUNCTION_FLG>> :%s\r\n", FlagText(ctx->FUNCTION_FLG, on));
  ctx->FUNCTION_FLG = on;
  return on;
}

int set_class_flg(ST_PARSE *ctx, int on) {
  on = on ? 1 : 0;
  LogPrint(2, LOG_DEBUG, "// <<CLASS_FLG>> :%s\r\n", FlagText(ctx->CLASS_FLG, on));
  ctx->CLASS_FLG = on;
  return on;
}

void set_anchor(ST_PARSE *ctx) {
  ctx->anchor_pos = ctx->read_pos;
  ctx->anchor_line = ctx->line_no;
  LogPrint(2, LOG_DEBUG, "//<[ANCHOR]\r\n");
}

int parse_statement(ST_PARSE *ctx) {
  if (!nest_enter(ctx, "parse_statement")) return 0;
  Expression_0(ctx);

  // A head seen in the previous step: definition or declaration.
  if (ctx->mode == MODE_FUNC_NAME) {
    int k = Kind(ctx);
    const ST_TOKEN &head = ctx->func_name;
    bool definition =
        k == '{' || ((k == TK_IDENT || k == TK_TYPE) && head.argc > 0 && head.argc == head.items);
    if (!definition)
      LogPrint(1, LOG_DEBUG, "//$$$$$$$$ type declaration of FUNCTION (%s) $$$$$$$$\r\n",
               head.text);
    else if (ctx->FUNCTION_FLG)
      LogPrint(1, LOG_DEBUG, "//xxxx FUNCTION-IN-FUNCTION (%s) xxxx\r\n", head.text);
    else
      RecordFunction(ctx);
    ctx->scope_text[0] = 0;
    set_mode(ctx, MODE_TOP);
  }

  switch (Kind(ctx)) {
    case TK_FUNC:
      if (!ctx->FUNCTION_FLG) set_mode(ctx, MODE_FUNC_NAME);
      ctx->func_name = ctx->token;
      break;
    case TK_CLASS:
      ClassHead(ctx);
      break;
    default:
      break;
  }

  switch (Kind(ctx)) {
    case ';':
      if (!ctx->FUNCTION_FLG) set_anchor(ctx);
      break;
    case '{':
      BraceBlock(ctx);
      break;
    default:
      break;
  }
  nest_leave(ctx);
  return 0;
}

double parse_primary(ST_PARSE *ctx) {
  int kind = gt_token(ctx);
  for (;;) {
    switch (kind) {
      case TK_IDENT:
        // A name is consumed with the token after it, so that what follows it
        // ('(' of a head or call, '[') is current on return. A number, like
        // every other token, stays current: a directive on the next line is
        // then fetched by the next primary and skipped with its anchor.
        gt_token(ctx);
        return 0;

      case ';':
        ctx->scope_text[0] = 0;
        return 0;

      case TK_SWITCH: {
        LogPrint(2, LOG_DEBUG, "//--> SWITCH SKIP\r\n");
        if (gt_token(ctx) != '(') {
          LogPrint(1, LOG_DEBUG, "// syntax error!(switch-1)\r\n");
          return 0;
        }
        double v = Expression_1(ctx);
        if (Kind(ctx) != ')') {
          LogPrint(1, LOG_DEBUG, "// syntax error!(switch-2)\r\n");
          return v;
        }
        parse_statement(ctx);  // the body
        return v;
      }

      case TK_CASE: {
        int k = gt_token(ctx);
        if (k == TK_IDENT || k == TK_NUMBER || k == TK_HEXNUM) {
          if (gt_token(ctx) != ':') LogPrint(1, LOG_DEBUG, "// syntax error!(case-2)\r\n");
        } else if (k != TK_LABEL) {
          LogPrint(1, LOG_DEBUG, "// syntax error!(case-1)\r\n");
        }
        return 0;
      }

      case TK_FOR: {
        kind = gt_token(ctx);
        if (kind != '(') {
          LogPrint(1, LOG_DEBUG, "//Syntax Error.(for)\r\n");
          continue;  // the same token, handled again without a fetch
        }
        NestMove(+1);
        ctx->paren_nest++;
        LogPrint(2, LOG_DEBUG, "//>>>>>>>> PAREN(FOR) nest[%d]\r\n", ctx->paren_nest);
        double v = 0;
        do {
          v = Expression_0(ctx);
        } while (Kind(ctx) != ')' && !token_ends(ctx));
        NestMove(-1);
        ctx->paren_nest--;
        LogPrint(2, LOG_DEBUG, "//<<<<<<<< PAREN(FOR) nest[%d]\r\n", ctx->paren_nest);
        return v;
      }

      case TK_ASM_GCC:
        skip_asm_gcc(ctx);
        return 0;

      case TK_ASM_WIN:
        skip_asm_win(ctx);
        return 0;

      case TK_TYPEDEF: {
        LogPrint(2, LOG_DEBUG, "//--> TYPEDEF SKIP\r\n");
        int saved = ctx->mode;
        set_mode(ctx, MODE_TYPEDEF);
        gt_token(ctx);  // taken without a look, even when it is ';'
        do {
          gt_token(ctx);
        } while (Kind(ctx) != ';' && !token_ends(ctx));
        set_mode(ctx, saved);
        if (!ctx->FUNCTION_FLG) set_anchor(ctx);
        return 0;
      }

      case TK_STRUCT: {
        LogPrint(2, LOG_DEBUG, "//--> STRUCT SKIP\r\n");
        int saved = ctx->mode;
        set_mode(ctx, MODE_STRUCT);
        parse_statement(ctx);
        set_mode(ctx, saved);
        if (!ctx->FUNCTION_FLG) set_anchor(ctx);
        return 0;
      }

      case TK_ENUM: {
        LogPrint(2, LOG_DEBUG, "//--> ENUM SKIP\r\n");
        int saved = ctx->mode;
        set_mode(ctx, MODE_ENUM);
        skip_enum(ctx);
        set_mode(ctx, saved);
        return 0;
      }

      case TK_EXTERN:
        LogPrint(2, LOG_DEBUG, "//--> EXTERN SKIP\r\n");
        parse_statement(ctx);
        return 0;

      default:
        if (kind >= TK_PREPRO && kind <= TK_PREPRO_LAST) {
          // Directives are not interpreted: the rest of the line goes.
          LogPrint(2, LOG_DEBUG, "//--> PRE-PROCESSOR SKIP\r\n");
          if (ctx->tok_pos) ctx->tok_pos = skip_to_eol(ctx->tok_pos);
          if (!ctx->FUNCTION_FLG) set_anchor(ctx);
        }
        return 0;
    }
  }
}

int ANA_ParserInUse(void) {
  return g_config.PARSER && precise_available() ? 1 : 0;
}
