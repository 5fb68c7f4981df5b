// Types as far as the source shows them, for telling overloads apart: each
// parameter's declared type, and what each argument of a call visibly is (a
// literal, a variable declared in sight, `this`, `&x`, `*p`, a cast, a
// conditional whose branches agree). Types are written one way whatever
// the spelling: without qualifiers on the object itself, references,
// template arguments and namespaces ("const std::string &" is "string",
// "char const *" is "const char*", "unsigned int" is "unsigned").
// A name among the templates' parameters is "$T", anything else unknown "".
// An argument that is a name declared nowhere in sight is "#name" (an
// enumerator, maybe), one that is a call "@" (its definition's return type
// may tell).
#ifdef VELMORA_HAVE_TREE_SITTER

#include <cstring>
#include <string>
#include <vector>

#include "engine/precise_internal.h"
#include "foundation/arena.h"

namespace {

bool WordChar(char c) {
  return c == '_' || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

// The words of the type text [from, to) without template arguments and
// without what never tells overloads apart; a qualified name keeps its last
// part. *is_const is set when `const` is among them.
std::string BaseName(const PreciseText &t, uint32_t from, uint32_t to, bool *is_const) {
  std::vector<std::string> words;
  int depth = 0;
  for (uint32_t i = from; i < to && i < t.len;) {
    char c = t.text[i];
    if (c == '<') {
      depth++;
    } else if (c == '>') {
      if (depth > 0) depth--;
    } else if (depth == 0 && c == ':' && i + 1 < to && t.text[i + 1] == ':') {
      if (!words.empty()) words.pop_back();  // a namespace or class before the name
      i += 2;
      continue;
    } else if (depth == 0 && WordChar(c)) {
      uint32_t j = i;
      while (j < to && WordChar(t.text[j])) j++;
      std::string w(t.text + i, j - i);
      if (w == "const") {
        *is_const = true;
      } else if (w != "volatile" && w != "struct" && w != "class" && w != "enum" &&
                 w != "typename" && w != "mutable" && w != "static" && w != "inline" &&
                 w != "register" && w != "constexpr" && w != "extern") {
        words.push_back(w);
      }
      i = j;
      continue;
    }
    i++;
  }
  if (words.empty()) return std::string();
  // Integer types spelled many ways.
  bool is_unsigned = false, is_signed = false;
  int longs = 0;
  std::string core;
  for (const std::string &w : words) {
    if (w == "unsigned") {
      is_unsigned = true;
    } else if (w == "signed") {
      is_signed = true;
    } else if (w == "long") {
      longs++;
    } else if (w == "int" && (is_unsigned || is_signed || longs || !core.empty())) {
      continue;
    } else {
      core = w;
    }
  }
  if (core.empty() || core == "int")
    core = longs == 0 ? "int" : longs == 1 ? "long" : "long long";
  else if (core == "double" && longs)
    core = "long double";
  if (core == "char" && is_signed) core = "signed char";
  if (is_unsigned) core = core == "int" ? "unsigned" : "unsigned " + core;
  if (core == "auto" || core == "decltype") return std::string();
  return core;
}

bool IsTemplateName(const std::string &name, const std::vector<std::string> &templates) {
  for (const std::string &n : templates)
    if (n == name) return true;
  return false;
}

// Walks a declarator down to its name: pointers counted, references and
// initialisers passed over. False for what no plain type describes (a
// function pointer, an array).
bool Stars(const PreciseGrammar &g, TSNode d, int *stars) {
  for (int hops = 0; hops < 16 && !ts_node_is_null(d); hops++) {
    TSSymbol s = ts_node_symbol(d);
    if (s == g.pointer_declarator || s == g.abstract_pointer_declarator) {
      ++*stars;
    } else if (s == g.identifier || s == g.field_identifier) {
      return true;
    } else if (s != g.reference_declarator && s != g.abstract_reference_declarator &&
               s != g.init_declarator && s != g.function_declarator) {
      return false;
    }
    TSNode inner = ts_node_child_by_field_id(d, g.f_declarator);
    if (ts_node_is_null(inner)) {  // a reference names its declarator without a field
      uint32_t n = ts_node_named_child_count(d);
      inner = n ? ts_node_named_child(d, n - 1) : TSNode{};
      if (!ts_node_is_null(inner) && ts_node_symbol(inner) == g.type_qualifier) break;
    }
    if (s == g.function_declarator) return true;  // `T x(a);` in a body: an object
    d = inner;
  }
  return true;  // an abstract declarator ends without a name
}

// `const` written among decl's own children (before or after its type).
bool ConstQualified(const PreciseGrammar &g, const PreciseText &t, TSNode decl) {
  bool found = false;
  precise_each_named_child(decl, [&](TSNode c) {
    if (found || ts_node_symbol(c) != g.type_qualifier) return;
    uint32_t a = NodeStart(t, c);
    found = NodeEnd(t, c) == a + 5 && memcmp(t.text + a, "const", 5) == 0;
  });
  return found;
}

std::string TypeOf(PreciseWalk *w, TSNode decl, TSNode declarator,
                   const std::vector<std::string> &templates) {
  const PreciseGrammar &g = *w->g;
  TSNode type = ts_node_child_by_field_id(decl, g.f_type);
  if (ts_node_is_null(type)) return std::string();
  int stars = 0;
  if (!ts_node_is_null(declarator) && !Stars(g, declarator, &stars)) return std::string();
  bool is_const = ConstQualified(g, w->t, decl);
  std::string base = BaseName(w->t, NodeStart(w->t, type), NodeEnd(w->t, type), &is_const);
  if (base.empty()) return base;
  if (IsTemplateName(base, templates)) return stars ? std::string() : "$" + base;
  if (stars == 0) return base;
  return (is_const ? "const " : "") + base + std::string((size_t)stars, '*');
}

std::string NumberType(const PreciseText &t, TSNode n) {
  uint32_t a = NodeStart(t, n), b = NodeEnd(t, n);
  std::string text(t.text + a, b - a);
  bool hex = text.size() > 1 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
  bool floating = !hex && text.find_first_of(".eE") != std::string::npos;
  char last = text.empty() ? 0 : text.back();
  if (floating) return last == 'f' || last == 'F' ? "float" : "double";
  if (text == "0") return "0";  // also a null pointer
  bool u = text.find_first_of("uU") != std::string::npos;
  size_t ls = 0;
  for (char c : text) ls += c == 'l' || c == 'L';
  std::string core = ls == 0 ? "int" : ls == 1 ? "long" : "long long";
  return u ? (core == "int" ? "unsigned" : "unsigned " + core) : core;
}

// The class of the function being walked, as its scope's last part.
std::string ThisType(PreciseWalk *w) {
  const ST_FUNC *f = w->funcs.back().func;
  if (!f || !f->member || !f->scope) return std::string();
  std::string scope = f->scope;
  if (scope.size() < 2) return std::string();
  scope.resize(scope.size() - 2);
  size_t cut = scope.rfind("::");
  std::string last = cut == std::string::npos ? scope : scope.substr(cut + 2);
  return (f->const_this ? "const " : "") + last + "*";
}

// f<T>(x) as an argument: static_cast<T>(x) and its kin are a T; any other
// call is "@T", which the linker reads as T when f returns its first
// template parameter ("@" when T is not told).
std::string ExplicitlyTyped(PreciseWalk *w, TSNode fn) {
  const PreciseGrammar &g = *w->g;
  static const char *const kCasts[] = {"static_cast", "const_cast", "reinterpret_cast",
                                       "dynamic_cast"};
  TSNode name = ts_node_child_by_field_id(fn, g.f_name);
  TSNode targs = ts_node_child_by_field_id(fn, g.f_arguments);
  TSNode first = ts_node_is_null(targs) ? targs : ts_node_named_child(targs, 0);
  std::string type;
  if (!ts_node_is_null(first) && ts_node_symbol(first) == g.type_descriptor)
    type = TypeOf(w, first, ts_node_child_by_field_id(first, g.f_declarator),
                  w->funcs.back().templates);
  if (!type.empty() && type[0] == '$') type.clear();
  uint32_t a = ts_node_is_null(name) ? 0 : NodeStart(w->t, name);
  uint32_t b = ts_node_is_null(name) ? 0 : NodeEnd(w->t, name);
  for (const char *c : kCasts)
    if (b - a == strlen(c) && memcmp(w->t.text + a, c, b - a) == 0) return type;
  return "@" + type;
}

// std::string(x) and its kin: a temporary of that library class.
bool StdStringCall(const PreciseText &t, TSNode fn) {
  static const char *const kStrings[] = {"std::string", "std::wstring", "std::string_view",
                                         "std::wstring_view"};
  char text[64];
  size_t n = precise_clean_text(t, NodeStart(t, fn), NodeEnd(t, fn), text, sizeof text, 0);
  const char *p = n >= 2 && text[0] == ':' && text[1] == ':' ? text + 2 : text;
  for (const char *k : kStrings)
    if (strcmp(p, k) == 0) return true;
  return false;
}

}  // namespace

int precise_basic_word(const PreciseText &t, TSNode n) {
  static const char *const kWords[] = {"unsigned", "signed", "int",   "long", "short",
                                       "char",     "double", "float", "bool"};
  if (ts_node_is_null(n)) return 0;
  uint32_t a = NodeStart(t, n), b = NodeEnd(t, n);
  for (const char *w : kWords)
    if (b - a == strlen(w) && memcmp(t.text + a, w, b - a) == 0) return 1;
  return 0;
}

std::string precise_type_text(PreciseWalk *w, TSNode decl, TSNode declarator,
                              const std::vector<std::string> &templates) {
  return TypeOf(w, decl, declarator, templates);
}

int precise_declared_const(PreciseWalk *w, TSNode decl, TSNode declarator) {
  (void)declarator;
  bool is_const = ConstQualified(*w->g, w->t, decl);
  TSNode type = ts_node_child_by_field_id(decl, w->g->f_type);
  if (!ts_node_is_null(type)) BaseName(w->t, NodeStart(w->t, type), NodeEnd(w->t, type), &is_const);
  return is_const ? 1 : 0;
}

std::string precise_arg_type(PreciseWalk *w, TSNode e, uint32_t at) {
  const PreciseGrammar &g = *w->g;
  for (int hops = 0; hops < 8 && !ts_node_is_null(e); hops++) {
    TSSymbol s = ts_node_symbol(e);
    if (s == g.string_literal || s == g.concatenated_string || s == g.raw_string_literal)
      return "const char*";
    if (s == g.char_literal) return "char";
    if (s == g.number_literal) return NumberType(w->t, e);
    if (s == g.true_expr || s == g.false_expr) return "bool";
    if (s == g.nullptr_expr) return "nullptr";
    if (s == g.this_expr) return ThisType(w);
    if (s == g.identifier) {
      TSNode decl, declarator;
      if (!precise_find_declaration(w, e, at, &decl, &declarator)) {
        uint32_t a = NodeStart(w->t, e), b = NodeEnd(w->t, e);
        return "#" + std::string(w->t.text + a, b - a);
      }
      std::string type = TypeOf(w, decl, declarator, w->funcs.back().templates);
      return type[0] == '$' ? std::string() : type;  // a template's parameter: anything
    }
    if (s == g.call_expression) {
      // int(1), unsigned(x): a functional cast; anything else a call.
      TSNode fn = ts_node_child_by_field_id(e, g.f_function);
      TSSymbol fs = ts_node_is_null(fn) ? 0 : ts_node_symbol(fn);
      if (fs == g.primitive_type || fs == g.sized_type_specifier || precise_basic_word(w->t, fn)) {
        bool c = false;
        return BaseName(w->t, NodeStart(w->t, fn), NodeEnd(w->t, fn), &c);
      }
      if (fs == g.template_function) return ExplicitlyTyped(w, fn);
      if (StdStringCall(w->t, fn)) {
        bool c = false;
        return BaseName(w->t, NodeStart(w->t, fn), NodeEnd(w->t, fn), &c);
      }
      return "@";
    }
    if (s == g.parenthesized_expression) {
      e = ts_node_named_child(e, 0);
      continue;
    }
    if (s == g.pointer_expression) {
      TSNode op = ts_node_child_by_field_id(e, g.f_operator);
      char c = ts_node_is_null(op) ? 0 : w->t.text[NodeStart(w->t, op)];
      std::string inner = precise_arg_type(w, ts_node_child_by_field_id(e, g.f_argument), at);
      if (inner.empty() || inner == "$") return std::string();
      if (c == '&') return inner + "*";
      if (c == '*' && inner.back() == '*') {
        inner.pop_back();
        if (inner.back() != '*' && inner.compare(0, 6, "const ") == 0) inner.erase(0, 6);
        return inner;
      }
      return std::string();
    }
    if (s == g.conditional_expression) {
      std::string a = precise_arg_type(w, ts_node_child_by_field_id(e, g.f_consequence), at);
      std::string b = precise_arg_type(w, ts_node_child_by_field_id(e, g.f_alternative), at);
      return a == b ? a : std::string();
    }
    if (s == g.cast_expression) {
      TSNode d = ts_node_child_by_field_id(e, g.f_type);
      if (ts_node_is_null(d)) return std::string();
      return TypeOf(w, d, ts_node_child_by_field_id(d, g.f_declarator), {});
    }
    if (s == g.new_expression) {  // new A(...), new A[n]: an A*
      std::string type = TypeOf(w, e, TSNode{}, w->funcs.back().templates);
      return type.empty() || type[0] == '$' ? std::string() : type + "*";
    }
    if (s == g.unary_expression) {  // -1, -2.5
      TSNode arg = ts_node_child_by_field_id(e, g.f_argument);
      if (!ts_node_is_null(arg) && ts_node_symbol(arg) == g.number_literal) {
        std::string n = NumberType(w->t, arg);
        return n == "0" ? "int" : n;
      }
      return std::string();
    }
    return std::string();
  }
  return std::string();
}

std::vector<std::string> precise_template_names(PreciseWalk *w, TSNode def) {
  const PreciseGrammar &g = *w->g;
  std::vector<std::string> names;
  TSNode n = ts_node_parent(def);
  for (int hops = 0; hops < 8 && !ts_node_is_null(n); hops++, n = ts_node_parent(n)) {
    if (ts_node_symbol(n) != g.template_declaration) continue;
    TSNode list = ts_node_child_by_field_id(n, g.f_parameters);
    uint32_t count = ts_node_is_null(list) ? 0 : ts_node_named_child_count(list);
    for (uint32_t i = 0; i < count; i++) {
      TSNode p = ts_node_named_child(list, i);
      TSSymbol s = ts_node_symbol(p);
      if (s != g.type_parameter_declaration && s != g.variadic_type_parameter_declaration &&
          s != g.optional_type_parameter_declaration)
        continue;
      TSNode id = ts_node_child_by_field_id(p, g.f_name);
      if (ts_node_is_null(id)) {
        uint32_t m = ts_node_named_child_count(p);
        for (uint32_t k = 0; k < m && ts_node_is_null(id); k++)
          if (ts_node_symbol(ts_node_named_child(p, k)) == g.type_identifier)
            id = ts_node_named_child(p, k);
      }
      if (ts_node_is_null(id)) continue;
      uint32_t a = NodeStart(w->t, id), b = NodeEnd(w->t, id);
      names.emplace_back(w->t.text + a, b - a);
    }
  }
  return names;
}

const char **precise_param_types(PreciseWalk *w, TSNode params, int argc,
                                 const std::vector<std::string> &templates) {
  const PreciseGrammar &g = *w->g;
  // Never null for C++, even without parameters: the linker tells C++
  // records from C ones by it.
  size_t slots = argc > 0 ? (size_t)argc : 1;
  const char **types =
      (const char **)ArenaAlloc(&w->ctx->src->records, sizeof(const char *) * slots);
  if (!types) return nullptr;
  types[0] = ANA_Intern("");
  if (ts_node_is_null(params) || argc <= 0) return types;
  int k = 0;
  precise_each_named_child(params, [&](TSNode p) {
    TSSymbol s = ts_node_symbol(p);
    if (k >= argc || s == g.comment) return;
    std::string type;
    if (s == g.parameter_declaration || s == g.optional_parameter_declaration)
      type = TypeOf(w, p, ts_node_child_by_field_id(p, g.f_declarator), templates);
    types[k++] = ANA_Intern(type.c_str());
  });
  while (k < argc) types[k++] = ANA_Intern("");
  return types;
}

#endif  // VELMORA_HAVE_TREE_SITTER
