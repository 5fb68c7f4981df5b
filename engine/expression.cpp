// The expression chain: precedence levels from the comma (Expression_0) to
// the unary operators (Expression_13). Its value is a by-product; what
// matters to the parser is the order in which tokens are consumed, the cast
// marker and the conditional's error mark.
#include <cmath>
#include <cstdint>

#include "engine/parser.h"
#include "foundation/trace.h"

namespace {

inline int Kind(const ST_PARSE *ctx) {
  return ctx->token.kind;
}

// Truncates toward zero to 64 bits and keeps the low 32 bits, as the
// processor's conversion does; values it cannot convert give 0.
int32_t ToInt32(double v) {
  if (std::isnan(v) || v >= 9223372036854775808.0 || v < -9223372036854775808.0) return 0;
  return (int32_t)(uint32_t)(uint64_t)(int64_t)v;
}

// Unary levels recurse on themselves; each level is one guarded step.
double Unary(ST_PARSE *ctx);

double UnaryGuarded(ST_PARSE *ctx) {
  if (!nest_enter(ctx, "Expression_13")) return 0;
  double v = Unary(ctx);
  nest_leave(ctx);
  return v;
}

double Unary(ST_PARSE *ctx) {
  switch (Kind(ctx)) {
    case '!': {
      gt_token(ctx);
      double v = UnaryGuarded(ctx);
      return v == 0 ? 1 : 0;
    }
    case '~': {
      gt_token(ctx);
      double v = UnaryGuarded(ctx);
      return (double)(int32_t) ~(uint32_t)ToInt32(v);
    }
    case '*':
    case '&': {
      // '*)' and '&)' close a cast such as (char *) or (T &).
      if (gt_token(ctx) == ')') {
        ctx->token.kind = TK_CAST;
        return 0;
      }
      return UnaryGuarded(ctx);
    }
    case TK_SIZEOF:
      gt_token(ctx);
      UnaryGuarded(ctx);
      return 0;
    case TK_INC: {
      gt_token(ctx);
      return UnaryGuarded(ctx) + 1;
    }
    case TK_DEC: {
      gt_token(ctx);
      return UnaryGuarded(ctx) - 1;
    }
    default: {
      double v = parse_postfix(ctx);
      if (Kind(ctx) == TK_INC) {
        gt_token(ctx);
        return v + 1;
      }
      if (Kind(ctx) == TK_DEC) {
        gt_token(ctx);
        return v - 1;
      }
      return v;
    }
  }
}

}  // namespace

double Expression_0(ST_PARSE *ctx) {
  Expression_1(ctx);
  if (Kind(ctx) == ',') Expression_1(ctx);
  return 0;
}

double Expression_1(ST_PARSE *ctx) {
  double left = Expression_2(ctx);
  if (Kind(ctx) >= TK_ASSIGN && Kind(ctx) <= TK_ASSIGN + 11) return Expression_2(ctx);
  return left;
}

double Expression_2(ST_PARSE *ctx) {
  if (!nest_enter(ctx, "Expression_2")) return 0;
  double left = Expression_3(ctx);
  if (Kind(ctx) != '?') {
    nest_leave(ctx);
    return left;
  }
  double b = Expression_2(ctx);
  if (Kind(ctx) != ':') {
    DebugPrint("Expression_2 : Ternary Operator Error.\r\n");
    ctx->token.kind = TK_ERROR;
    nest_leave(ctx);
    return left;
  }
  double c = Expression_2(ctx);
  nest_leave(ctx);
  return left != 0 ? b : c;
}

double Expression_3(ST_PARSE *ctx) {
  double left = Expression_4(ctx);
  if (Kind(ctx) != TK_OROR) return left;
  double right = Expression_4(ctx);
  return (left != 0 || right != 0) ? 1 : 0;
}

double Expression_4(ST_PARSE *ctx) {
  double left = Expression_5(ctx);
  if (Kind(ctx) != TK_ANDAND) return left;
  double right = Expression_5(ctx);
  return (left != 0 && right != 0) ? 1 : 0;
}

double Expression_5(ST_PARSE *ctx) {
  double left = Expression_6(ctx);
  if (Kind(ctx) != '|') return left;
  double right = Expression_6(ctx);
  return (double)(ToInt32(left) | ToInt32(right));
}

double Expression_6(ST_PARSE *ctx) {
  double left = Expression_7(ctx);
  if (Kind(ctx) != '^') return left;
  double right = Expression_7(ctx);
  return (double)(ToInt32(left) ^ ToInt32(right));
}

double Expression_7(ST_PARSE *ctx) {
  double left = Expression_8(ctx);
  if (Kind(ctx) != '&') return left;
  double right = Expression_8(ctx);
  return (double)(ToInt32(left) & ToInt32(right));
}

// Equality, relational and shift levels: the tokenizer reports comparisons
// and shifts as TK_COMPARE and TK_SHIFT, which no level takes, so these pass
// the value through.
double Expression_8(ST_PARSE *ctx) {
  return Expression_9(ctx);
}
double Expression_9(ST_PARSE *ctx) {
  return Expression_10(ctx);
}
double Expression_10(ST_PARSE *ctx) {
  return Expression_11(ctx);
}

double Expression_11(ST_PARSE *ctx) {
  double left = Expression_12(ctx);
  if (Kind(ctx) == '+') return left + Expression_12(ctx);
  if (Kind(ctx) == '-') return left - Expression_12(ctx);
  return left;
}

double Expression_12(ST_PARSE *ctx) {
  double left = Expression_13(ctx);
  int k = Kind(ctx);
  if (k == '*') return left * Expression_13(ctx);
  if (k == '/') {
    double right = Expression_13(ctx);
    if (right == 0) {
      DebugPrint("ZERO-DIVIDE.\n");
      return left;
    }
    return left / right;
  }
  if (k == '%') {
    double right = Expression_13(ctx);
    int32_t l = ToInt32(left), r = ToInt32(right);
    if (r == 0) {
      DebugPrint("ZERO-DIVIDE.\n");
      return l;
    }
    if (r == -1) return 0;  // INT32_MIN % -1 would trap
    return (double)(l % r);
  }
  return left;
}

double Expression_13(ST_PARSE *ctx) {
  return UnaryGuarded(ctx);
}
