// Overload choice by the types the source shows. The ranks follow what a
// reader expects of C++'s rules, coarsely: the same type, then promotions
// and qualification (int to long, char* to const char*), then conversions
// (int to double, 0 to a pointer, a string literal to a string class,
// derived to base), then doubtful ones (a pointer to bool, a class to
// another that may convert); a candidate that cannot take an argument at
// all drops out. An argument or parameter whose type is not known counts
// for nothing, so it never decides between candidates.
#include "xref/overloads.h"

#include <cstring>

namespace {

using std::string_view;

bool IsPointer(string_view t) {
  return !t.empty() && t.back() == '*';
}

bool IsIntegral(string_view t) {
  static const char *const kIntegral[] = {
      "char",     "signed char", "unsigned char", "short",     "unsigned short",     "int",
      "unsigned", "long",        "unsigned long", "long long", "unsigned long long", "wchar_t",
      "char16_t", "char32_t",    "size_t",        "ssize_t",   "ptrdiff_t",          "int8_t",
      "uint8_t",  "int16_t",     "uint16_t",      "int32_t",   "uint32_t",           "int64_t",
      "uint64_t", "intptr_t",    "uintptr_t",     "0"};
  for (const char *k : kIntegral)
    if (t == k) return true;
  return false;
}

bool IsFloating(string_view t) {
  return t == "float" || t == "double" || t == "long double";
}

bool IsArithmetic(string_view t) {
  return IsIntegral(t) || IsFloating(t) || t == "bool";
}

// "const A*" -> "A*" (one level), and whether it was const.
string_view Unconst(string_view t, bool *was_const) {
  *was_const = t.substr(0, 6) == "const ";
  return *was_const ? t.substr(6) : t;
}

bool StringClass(string_view t) {
  return t == "string" || t == "string_view" || t == "basic_string" || t == "wstring";
}

int PointerRank(string_view arg, string_view param, const OverloadTypes &types) {
  bool arg_const, param_const;
  string_view a = Unconst(arg, &arg_const), p = Unconst(param, &param_const);
  if (arg_const && !param_const) return -1;  // would drop a const
  if (a == p) return 3;                      // adds a const
  if (p == "void*") return 2;
  if (a.size() > 1 && p.size() > 1 && a.back() == '*' && p.back() == '*' &&
      a[a.size() - 2] != '*' && types.derives &&
      types.derives(a.substr(0, a.size() - 1), p.substr(0, p.size() - 1)))
    return 2;
  return -1;
}

bool SameSignature(const ST_FUNC *a, const ST_FUNC *b) {
  if (strcmp(a->scope, b->scope) != 0 || a->argc != b->argc) return false;
  if (!a->param_types || !b->param_types) return a->param_types == b->param_types;
  for (int i = 0; i < a->argc; i++)
    if (strcmp(a->param_types[i], b->param_types[i]) != 0) return false;
  return a->const_this == b->const_this;
}

}  // namespace

int OverloadRank(string_view arg, string_view param, const OverloadTypes &types) {
  if (arg.empty() || param.empty()) return 0;
  if (param[0] == '$') return 4;  // a template's parameter takes anything as it is
  if (arg == param) return 4;
  bool to_enum = !IsPointer(param) && types.is_enum && types.is_enum(param);
  bool from_enum = !IsPointer(arg) && types.is_enum && types.is_enum(arg);
  if (to_enum) return -1;  // only the enum itself (checked above) makes one
  if (arg == "0") {        // a literal zero: an int, or a null pointer
    if (param == "int") return 4;
    if (IsArithmetic(param)) return 3;
    return IsPointer(param) ? 2 : 1;
  }
  if (arg == "nullptr") return IsPointer(param) ? 3 : -1;
  if (IsPointer(arg)) {
    if (IsPointer(param)) return PointerRank(arg, param, types);
    if (param == "bool") return 1;
    if (IsArithmetic(param)) return -1;
    bool c;
    if (StringClass(param) && Unconst(arg, &c) == "char*") return 2;
    return 1;  // a class that may be made from it
  }
  if (IsArithmetic(arg) || from_enum) {
    if (IsPointer(param)) return -1;
    if (IsArithmetic(param)) {
      bool same_kind = (IsIntegral(arg) && IsIntegral(param)) ||
                       (IsFloating(arg) && IsFloating(param)) ||
                       ((arg == "bool" || from_enum) && IsIntegral(param));
      return same_kind ? 3 : 2;
    }
    return 1;  // a class that may be made from it
  }
  // arg is a class (or a typedef of the analysed code).
  if (IsPointer(param)) return -1;
  if (types.derives && types.derives(arg, param)) return 2;
  return 1;
}

ST_FUNC *ChooseOverload(const std::vector<ST_FUNC *> &viable, const OverloadAsk &ask,
                        std::vector<ST_FUNC *> *tied) {
  tied->clear();
  if (viable.empty()) return nullptr;
  if (viable.size() == 1) return viable[0];
  const ST_CALL *call = ask.call;
  const char *const *written = call && call->how ? call->how->arg_types : nullptr;
  std::vector<string_view> args;
  for (int i = 0; written && i < call->argc; i++) {
    string_view a = written[i];
    if (!a.empty() && (a[0] == '@' || a[0] == '#'))
      a = ask.types->resolve ? ask.types->resolve(call, i) : string_view();
    args.push_back(a);
  }
  std::vector<ST_FUNC *> best;
  int best_score = -1;
  for (ST_FUNC *f : viable) {
    int score = 0;
    bool fits = true;
    std::vector<std::pair<string_view, string_view>> deduced;  // "$T" -> the argument's type
    for (size_t i = 0; f->param_types && i < args.size() && (int)i < f->argc && fits; i++) {
      string_view p = f->param_types[i];
      int r = OverloadRank(args[i], p, *ask.types);
      fits = r >= 0;
      score += r;
      if (p.empty() || p[0] != '$' || args[i].empty()) continue;
      string_view a = args[i] == "0" ? string_view("int") : args[i];
      for (const auto &d : deduced)
        if (d.first == p && d.second != a) fits = false;  // T deduced two ways
      deduced.emplace_back(p, a);
    }
    if (!fits) continue;
    if (score > best_score) best.clear(), best_score = score;
    if (score == best_score) best.push_back(f);
  }
  if (best.empty()) best = viable;  // nothing fits what was seen: every one may be meant
  auto keep_if = [&best](auto pred) {
    std::vector<ST_FUNC *> kept;
    for (ST_FUNC *f : best)
      if (pred(f)) kept.push_back(f);
    if (!kept.empty()) best.swap(kept);
  };
  keep_if([](const ST_FUNC *f) { return !f->templated; });
  if (ask.want_const >= 0)
    keep_if([&ask](const ST_FUNC *f) { return !f->member || f->const_this == ask.want_const; });
  // A name alone in a member written in its class's body names a member of
  // that body first: one specialisation of a class template (or one #if
  // twin of a class) does not call into another. Not when a candidate is
  // defined outside every body: which class it belongs to is not known.
  const ST_FUNC *caller = call ? call->caller : nullptr;
  int form = call ? CallForm(call) : CALL_PLAIN;
  bool in_bodies = true;
  for (const ST_FUNC *f : best) in_bodies = in_bodies && f->class_at != 0;
  if (caller && caller->class_at && in_bodies &&
      (form == CALL_THIS || (form == CALL_PLAIN && (!call->scope || !*call->scope))))
    keep_if([caller](const ST_FUNC *f) {
      return f->sid == caller->sid && f->class_at == caller->class_at;
    });
  // One function defined in several places (a static function per source,
  // the branches of an #if): the caller's own source has it.
  bool same = true;
  for (const ST_FUNC *f : best) same = same && SameSignature(f, best[0]);
  if (same) keep_if([&ask](const ST_FUNC *f) { return f->sid == ask.caller_sid; });
  // The usual choice first: the last one in the caller's source, else the first.
  ST_FUNC *chosen = best[0];
  for (ST_FUNC *f : best)
    if (f->sid == ask.caller_sid) chosen = f;
  // C (no parameter types: no overloads) keeps the statement parser's
  // rule for one function written in each branch of an #if of the caller's
  // own source: the later one. In C++ the branches stay candidates, as
  // nothing tells which configuration is meant.
  if (same && chosen->sid == ask.caller_sid && !chosen->param_types) return chosen;
  if (best.size() == 1) return chosen;
  tied->push_back(chosen);
  for (ST_FUNC *f : best)
    if (f != chosen) tied->push_back(f);
  return chosen;
}
