// The expression chain: precedence levels from the comma (Expression_0) to
// the unary operators (Expression_13). Its value is a by-product; what
// matters to the parser is the order in which tokens are consumed, the cast
// marker and the conditional's error mark.
#include <cmath>
#include <cstdint>

#include "engine/parser.h"
#include "foundation/trace.h"

namespace {

inline int Kind(void) {
  return ANA.token.kind;
}

// Truncates toward zero to 64 bits and keeps the low 32 bits, as the
// processor's conversion does; values it cannot convert give 0.
int32_t ToInt32(double v) {
  if (std::isnan(v) || v >= 9223372036854775808.0 || v < -9223372036854775808.0) return 0;
  return (int32_t)(uint32_t)(uint64_t)(int64_t)v;
}

// Unary levels recurse on themselves; each level is one guarded step.
double Unary(ST_SOURCE *s);

double UnaryGuarded(ST_SOURCE *s) {
  if (!nest_enter("Expression_13")) return 0;
  double v = Unary(s);
  nest_leave();
  return v;
}

double Unary(ST_SOURCE *s) {
  switch (Kind()) {
    case '!': {
      gt_token(s);
      double v = UnaryGuarded(s);
      return v == 0 ? 1 : 0;
    }
    case '~': {
      gt_token(s);
      double v = UnaryGuarded(s);
      return (double)(int32_t) ~(uint32_t)ToInt32(v);
    }
    case '*':
    case '&': {
      // '*)' and '&)' close a cast such as (char *) or (T &).
      if (gt_token(s) == ')') {
        ANA.token.kind = TK_CAST;
        return 0;
      }
      return UnaryGuarded(s);
    }
    case TK_SIZEOF:
      gt_token(s);
      UnaryGuarded(s);
      return 0;
    case TK_INC: {
      gt_token(s);
      return UnaryGuarded(s) + 1;
    }
    case TK_DEC: {
      gt_token(s);
      return UnaryGuarded(s) - 1;
    }
    default: {
      double v = parse_postfix(s);
      if (Kind() == TK_INC) {
        gt_token(s);
        return v + 1;
      }
      if (Kind() == TK_DEC) {
        gt_token(s);
        return v - 1;
      }
      return v;
    }
  }
}

}  // namespace

double Expression_0(ST_SOURCE *s) {
  Expression_1(s);
  if (Kind() == ',') Expression_1(s);
  return 0;
}

double Expression_1(ST_SOURCE *s) {
  double left = Expression_2(s);
  if (Kind() >= TK_ASSIGN && Kind() <= TK_ASSIGN + 11) return Expression_2(s);
  return left;
}

double Expression_2(ST_SOURCE *s) {
  if (!nest_enter("Expression_2")) return 0;
  double left = Expression_3(s);
  if (Kind() != '?') {
    nest_leave();
    return left;
  }
  double b = Expression_2(s);
  if (Kind() != ':') {
    DebugPrint("Expression_2 : Ternary Operator Error.\r\n");
    ANA.token.kind = TK_ERROR;
    nest_leave();
    return left;
  }
  double c = Expression_2(s);
  nest_leave();
  return left != 0 ? b : c;
}

double Expression_3(ST_SOURCE *s) {
  double left = Expression_4(s);
  if (Kind() != TK_OROR) return left;
  double right = Expression_4(s);
  return (left != 0 || right != 0) ? 1 : 0;
}

double Expression_4(ST_SOURCE *s) {
  double left = Expression_5(s);
  if (Kind() != TK_ANDAND) return left;
  double right = Expression_5(s);
  return (left != 0 && right != 0) ? 1 : 0;
}

double Expression_5(ST_SOURCE *s) {
  double left = Expression_6(s);
  if (Kind() != '|') return left;
  double right = Expression_6(s);
  return (double)(ToInt32(left) | ToInt32(right));
}

double Expression_6(ST_SOURCE *s) {
  double left = Expression_7(s);
  if (Kind() != '^') return left;
  double right = Expression_7(s);
  return (double)(ToInt32(left) ^ ToInt32(right));
}

double Expression_7(ST_SOURCE *s) {
  double left = Expression_8(s);
  if (Kind() != '&') return left;
  double right = Expression_8(s);
  return (double)(ToInt32(left) & ToInt32(right));
}

// Equality, relational and shift levels: the tokenizer reports comparisons
// and shifts as TK_COMPARE and TK_SHIFT, which no level takes, so these pass
// the value through.
double Expression_8(ST_SOURCE *s) {
  return Expression_9(s);
}
double Expression_9(ST_SOURCE *s) {
  return Expression_10(s);
}
double Expression_10(ST_SOURCE *s) {
  return Expression_11(s);
}

double Expression_11(ST_SOURCE *s) {
  double left = Expression_12(s);
  if (Kind() == '+') return left + Expression_12(s);
  if (Kind() == '-') return left - Expression_12(s);
  return left;
}

double Expression_12(ST_SOURCE *s) {
  double left = Expression_13(s);
  int k = Kind();
  if (k == '*') return left * Expression_13(s);
  if (k == '/') {
    double right = Expression_13(s);
    if (right == 0) {
      DebugPrint("ZERO-DIVIDE.\n");
      return left;
    }
    return left / right;
  }
  if (k == '%') {
    double right = Expression_13(s);
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

double Expression_13(ST_SOURCE *s) {
  return UnaryGuarded(s);
}
