// The statement parser: a loose scope machine over the token stream that
// records function definitions (ST_FUNC) and follows braces, class heads and
// the statement keywords. Calls are recorded by the parenthesis handler.
// Every trace line here is part of the debug log's public record.
#include <cstring>

#include "engine/parser.h"
#include "foundation/log.h"
#include "foundation/text.h"
#include "foundation/trace.h"
#include "platform/sys.h"

// A yield per statement would cost a system call each; one every 64 keeps the
// worker polite without letting the yields dominate the parse.
int g_parse_yield_every = 64;

namespace {

const char *const kModeLabel[] = {"MODE_TOP",     "!!!! found FUNC_NAME !!!!",
                                  "MODE_TYPEDEF", "MODE_STRUCT",
                                  "MODE_ENUM",    "MODE_BLOCK"};

unsigned g_yield_count = 0;

inline int Kind(void) {
  return ANA.token.kind;
}

const char *FlagText(int was, int on) {
  return was == on ? "----" : on ? " ON " : " OFF ";
}

// Records the definition whose head is in func_name. When the record cannot
// be made, the body is still parsed as a body (FUNCTION_FLG on) but with no
// function current, so its calls are not attached to anything.
void RecordFunction(ST_SOURCE *s) {
  CHBUF *e = AddCB(&s->funcs, nullptr, (int)sizeof(ST_FUNC));
  if (!e) {
    s->cur_func = nullptr;
    set_function_flg(1);
    return;
  }
  ST_FUNC *f = (ST_FUNC *)e->data;
  f->source = s;
  CB_Init(&f->calls);
  s->cur_func = e;
  CopyText(f->scope, sizeof f->scope, ANA.scope_text);
  CopyText(f->name, sizeof f->name, ANA.func_name.text);
  f->argc = ANA.func_name.argc;
  f->items = ANA.func_name.items;
  f->line = s->line_no - 1;
  LogPrint(1, LOG_DEBUG, "//##########  enter FUNCTION  ##########\r\n");
  LogPrint(1, LOG_DEBUG, "// %s LINE:%d ----> %s%s(argc:%d/items:%d)\r\n", s->name, f->line,
           f->scope, f->name, f->argc, f->items);
  set_function_flg(1);
}

// The exit values of the function whose body has just closed.
void FinishFunction(ST_SOURCE *s) {
  if (!s->cur_func || !s->cur_func->data) return;
  ST_FUNC *f = (ST_FUNC *)s->cur_func->data;
  char *def = skip_blank(s->anchor_pos);
  int lf = 0;
  for (const char *p = s->anchor_pos; p < def; p++)
    if (*p == '\n') lf++;
  f->def_pos = def;
  f->line = s->anchor_line + lf;
  // A definition that shares the line of the construct before it starts
  // before the anchor; its text cannot be measured, so it is empty, not
  // negative.
  long len = (long)(s->read_pos - def);
  f->def_len = len > 0 ? (int)len : 0;
  if (!f->scope[0] && s->class_name[0])
    FormatText(f->scope, sizeof f->scope, "%s::", s->class_name);
  f->def_offset = (int)(def - s->text);
  LogPrint(1, LOG_DEBUG, "//@@@@@@@@@@ exit FUNCTION (%s%s) @@@@@@@@@@\r\n", f->scope, f->name);
}

void BraceBlock(ST_SOURCE *s) {
  ANA.brace_nest++;
  LogPrint(2, LOG_DEBUG, "//>>>>>>>> BRACE nest[%d]\r\n", ANA.brace_nest);
  NestMove(+1);
  int saved = ANA.mode;
  set_mode(MODE_BLOCK);
  do {
    parse_statement(s);
    int every = g_parse_yield_every;
    if (every > 0 && ++g_yield_count % (unsigned)every == 0) YieldCpu();
  } while (Kind() != '}' && !token_ends());
  // A '}' is consumed here; the end of the source stays current so that
  // every enclosing loop ends too.
  bool closed = Kind() == '}';
  if (closed) ANA.token.kind = 0;
  ANA.brace_nest--;
  LogPrint(2, LOG_DEBUG, "//<<<<<<<< BRACE nest[%d]\r\n", ANA.brace_nest);
  NestMove(-1);
  set_mode(saved);
  if (!closed) return;  // a body that never closes keeps no exit values
  if (ANA.mode == MODE_TOP) {
    if (ANA.CLASS_FLG && !ANA.FUNCTION_FLG) {
      set_class_flg(0);
      s->class_name[0] = 0;
    }
    if (ANA.FUNCTION_FLG) {
      FinishFunction(s);
      set_function_flg(0);
    }
  }
  if (!ANA.FUNCTION_FLG) set_anchor(s);
}

void ClassHead(ST_SOURCE *s) {
  if (ANA.CLASS_FLG) {
    LogPrint(1, LOG_DEBUG, "//xxxx CLASS-IN-CLASS (%s) xxxx\r\n", ANA.class_token.text);
    return;
  }
  gt_token(s);
  ANA.class_token = ANA.token;
  set_class_flg(1);
  CopyText(s->class_name, sizeof s->class_name, ANA.token.text);
  // Base-class lists, and everything up to the next '{' after a forward
  // declaration, are consumed here.
  while (Kind() != '{' && !token_ends()) parse_primary(s);
}

}  // namespace

int nest_enter(const char *who) {
  if (ANA.depth >= ANA_MAX_DEPTH) {
    if (!ANA.depth_exceeded) {
      DebugPrint("%s : Nesting too deep.\r\n", who);
      ANA.depth_exceeded = 1;
    }
    ST_TOKEN *t = &ANA.token;
    t->kind = TK_EOF;
    t->pos = nullptr;
    t->len = 0;
    CopyText(t->text, sizeof t->text, "--");
    return 0;
  }
  ANA.depth++;
  return 1;
}

void reset_parser(void) {
  ANA.mode = MODE_TOP;
  ANA.FUNCTION_FLG = 0;
  ANA.CLASS_FLG = 0;
  ANA.scope_text[0] = 0;
  ANA.brace_nest = 0;
  ANA.bracket_nest = 0;
  ANA.paren_nest = 0;
  ANA.depth = 0;
  ANA.depth_exceeded = 0;
}

int set_mode(int value) {
  if (value < MODE_TOP || value > MODE_BLOCK) {
    LogPrint(1, LOG_DEBUG, "set_mode : Invalid Mode.\r\n");
    return 0;
  }
  LogPrint(2, LOG_DEBUG, "// <<%s>>\r\n", kModeLabel[value]);
  ANA.mode = value;
  return value;
}

int set_function_flg(int on) {
  on = on ? 1 : 0;
  LogPrint(2, LOG_DEBUG, "// <<FUNCTION_FLG>> :%s\r\n", FlagText(ANA.FUNCTION_FLG, on));
  ANA.FUNCTION_FLG = on;
  return on;
}

int set_class_flg(int on) {
  on = on ? 1 : 0;
  LogPrint(2, LOG_DEBUG, "// <<CLASS_FLG>> :%s\r\n", FlagText(ANA.CLASS_FLG, on));
  ANA.CLASS_FLG = on;
  return on;
}

void set_anchor(ST_SOURCE *s) {
  s->anchor_pos = s->read_pos;
  s->anchor_line = s->line_no;
  LogPrint(2, LOG_DEBUG, "//<[ANCHOR]\r\n");
}

int parse_statement(ST_SOURCE *s) {
  if (!nest_enter("parse_statement")) return 0;
  Expression_0(s);

  // A head seen in the previous step: definition or declaration.
  if (ANA.mode == MODE_FUNC_NAME) {
    int k = Kind();
    const ST_TOKEN &head = ANA.func_name;
    bool definition =
        k == '{' || ((k == TK_IDENT || k == TK_TYPE) && head.argc > 0 && head.argc == head.items);
    if (!definition)
      LogPrint(1, LOG_DEBUG, "//$$$$$$$$ type declaration of FUNCTION (%s) $$$$$$$$\r\n",
               head.text);
    else if (ANA.FUNCTION_FLG)
      LogPrint(1, LOG_DEBUG, "//xxxx FUNCTION-IN-FUNCTION (%s) xxxx\r\n", head.text);
    else
      RecordFunction(s);
    ANA.scope_text[0] = 0;
    set_mode(MODE_TOP);
  }

  switch (Kind()) {
    case TK_FUNC:
      if (!ANA.FUNCTION_FLG) set_mode(MODE_FUNC_NAME);
      ANA.func_name = ANA.token;
      break;
    case TK_CLASS:
      ClassHead(s);
      break;
    default:
      break;
  }

  switch (Kind()) {
    case ';':
      if (!ANA.FUNCTION_FLG) set_anchor(s);
      break;
    case '{':
      BraceBlock(s);
      break;
    default:
      break;
  }
  nest_leave();
  return 0;
}

double parse_primary(ST_SOURCE *s) {
  int kind = gt_token(s);
  for (;;) {
    switch (kind) {
      case TK_IDENT:
      case TK_NUMBER:
      case TK_HEXNUM:
        // A name or number is consumed with the token after it, so that what
        // follows it ('(', '[', ':' of a conditional) is current on return.
        gt_token(s);
        return 0;

      case ';':
        ANA.scope_text[0] = 0;
        return 0;

      case TK_SWITCH: {
        LogPrint(2, LOG_DEBUG, "//--> SWITCH SKIP\r\n");
        if (gt_token(s) != '(') {
          LogPrint(1, LOG_DEBUG, "// syntax error!(switch-1)\r\n");
          return 0;
        }
        double v = Expression_1(s);
        if (Kind() != ')') {
          LogPrint(1, LOG_DEBUG, "// syntax error!(switch-2)\r\n");
          return v;
        }
        parse_statement(s);  // the body
        return v;
      }

      case TK_CASE: {
        int k = gt_token(s);
        if (k == TK_IDENT || k == TK_NUMBER || k == TK_HEXNUM) {
          if (gt_token(s) != ':') LogPrint(1, LOG_DEBUG, "// syntax error!(case-2)\r\n");
        } else if (k != TK_LABEL) {
          LogPrint(1, LOG_DEBUG, "// syntax error!(case-1)\r\n");
        }
        return 0;
      }

      case TK_FOR: {
        kind = gt_token(s);
        if (kind != '(') {
          LogPrint(1, LOG_DEBUG, "//Syntax Error.(for)\r\n");
          continue;  // the same token, handled again without a fetch
        }
        NestMove(+1);
        ANA.paren_nest++;
        LogPrint(2, LOG_DEBUG, "//>>>>>>>> PAREN(FOR) nest[%d]\r\n", ANA.paren_nest);
        double v = 0;
        do {
          v = Expression_0(s);
        } while (Kind() != ')' && !token_ends());
        NestMove(-1);
        ANA.paren_nest--;
        LogPrint(2, LOG_DEBUG, "//<<<<<<<< PAREN(FOR) nest[%d]\r\n", ANA.paren_nest);
        return v;
      }

      case TK_ASM_GCC:
        skip_asm_gcc(s);
        return 0;

      case TK_ASM_WIN:
        skip_asm_win(s);
        return 0;

      case TK_TYPEDEF: {
        LogPrint(2, LOG_DEBUG, "//--> TYPEDEF SKIP\r\n");
        int saved = ANA.mode;
        set_mode(MODE_TYPEDEF);
        gt_token(s);  // taken without a look, even when it is ';'
        do {
          gt_token(s);
        } while (Kind() != ';' && !token_ends());
        set_mode(saved);
        if (!ANA.FUNCTION_FLG) set_anchor(s);
        return 0;
      }

      case TK_STRUCT: {
        LogPrint(2, LOG_DEBUG, "//--> STRUCT SKIP\r\n");
        int saved = ANA.mode;
        set_mode(MODE_STRUCT);
        parse_statement(s);
        set_mode(saved);
        if (!ANA.FUNCTION_FLG) set_anchor(s);
        return 0;
      }

      case TK_ENUM: {
        LogPrint(2, LOG_DEBUG, "//--> ENUM SKIP\r\n");
        int saved = ANA.mode;
        set_mode(MODE_ENUM);
        skip_enum(s);
        set_mode(saved);
        return 0;
      }

      case TK_EXTERN:
        LogPrint(2, LOG_DEBUG, "//--> EXTERN SKIP\r\n");
        parse_statement(s);
        return 0;

      default:
        if (kind >= TK_PREPRO && kind <= TK_PREPRO_LAST) {
          // Directives are not interpreted: the rest of the line goes.
          LogPrint(2, LOG_DEBUG, "//--> PRE-PROCESSOR SKIP\r\n");
          if (s->tok_pos) s->tok_pos = skip_to_eol(s->tok_pos);
          if (!ANA.FUNCTION_FLG) set_anchor(s);
        }
        return 0;
    }
  }
}
