// The declared class of the object a member call goes through (`info.f()`,
// `impl_->f()`): the linker can then look for f in that class instead of
// guessing among every class that defines an f. Only what is written near
// the call is read: the declarations before it in the blocks around it, the
// function's parameters and the members of the classes around an in-class
// definition. A type behind `auto`, a typedef or a call stays unknown.
#ifdef VELMORA_HAVE_TREE_SITTER

#include <cstring>

#include "engine/precise_internal.h"
#include "foundation/arena.h"
#include "foundation/text.h"

namespace {

// Declarations and enclosing nodes looked at for one call at most: a body
// with thousands of them costs no more than this per call.
const int kBudget = 512;

struct Lookup {
  const PreciseGrammar *g;
  const PreciseText *t;
  const char *name;
  size_t name_len;
  int budget;
  TSNode type;        // the type node of the declaration found
  TSNode decl;        // that declaration
  TSNode declarator;  // its declarator that declares the name
  bool in_body;       // looking through blocks: `T x(a);` declares an object
};

// The identifier a declarator declares, through initialisers, pointers,
// references and parentheses; null when there is none. In a body,
// `Printer p(fp);` reads as a function's declaration to the grammar, but
// declares the object p (objects is true there).
TSNode DeclaredName(const PreciseGrammar &g, TSNode d, bool objects = false) {
  for (int hops = 0; hops < 16 && !ts_node_is_null(d); hops++) {
    TSSymbol s = ts_node_symbol(d);
    if (s == g.identifier || s == g.field_identifier) return d;
    if (s != g.init_declarator && s != g.pointer_declarator && s != g.reference_declarator &&
        s != g.parenthesized_declarator && s != g.attributed_declarator &&
        !(objects && s == g.function_declarator))
      return TSNode{};
    TSNode inner = ts_node_child_by_field_id(d, g.f_declarator);
    if (ts_node_is_null(inner)) {  // a reference's declarator has no field name
      uint32_t n = ts_node_named_child_count(d);
      inner = n ? ts_node_named_child(d, n - 1) : TSNode{};
    }
    d = inner;
  }
  return TSNode{};
}

// Calls more(id) with each name that decl (a declaration, member or
// parameter) declares, while it says true; declarators that declare no name
// (a member function's) are passed over.
template <typename More>
void ForEachDeclaredName(const PreciseGrammar &g, TSNode decl, More more, bool objects = false) {
  TSTreeCursor c = ts_tree_cursor_new(decl);
  for (bool next = ts_tree_cursor_goto_first_child(&c); next;
       next = ts_tree_cursor_goto_next_sibling(&c)) {
    if (ts_tree_cursor_current_field_id(&c) != g.f_declarator) continue;
    TSNode d = ts_tree_cursor_current_node(&c);
    TSNode id = DeclaredName(g, d, objects);
    if (!ts_node_is_null(id) && !more(id, d)) break;
  }
  ts_tree_cursor_delete(&c);
}

// True when decl declares the name; its type node and declarator are kept.
bool Declares(Lookup *k, TSNode decl) {
  if (--k->budget < 0) return false;
  bool found = false;
  ForEachDeclaredName(
      *k->g, decl,
      [k, &found](TSNode id, TSNode d) {
        uint32_t a = NodeStart(*k->t, id), b = NodeEnd(*k->t, id);
        found = b - a == k->name_len && memcmp(k->t->text + a, k->name, k->name_len) == 0;
        if (found) k->declarator = d;
        return !found;
      },
      k->in_body);
  if (found) {
    k->type = ts_node_child_by_field_id(decl, k->g->f_type);
    k->decl = decl;
  }
  return found;
}

// The named children of node of kind sym (starting before `before`) that
// declare the name; the nearest one before the call wins.
bool Among(Lookup *k, TSNode node, TSSymbol sym, uint32_t before) {
  bool found = false;
  uint32_t n = ts_node_named_child_count(node);
  for (uint32_t i = 0; i < n && k->budget > 0; i++) {
    TSNode c = ts_node_named_child(node, i);
    if (ts_node_start_byte(c) >= before) break;
    if (ts_node_symbol(c) == sym && Declares(k, c)) found = true;
  }
  return found;
}

bool InParameters(Lookup *k, TSNode def) {
  const PreciseGrammar &g = *k->g;
  TSNode fd = precise_function_declarator(g, ts_node_child_by_field_id(def, g.f_declarator));
  if (ts_node_is_null(fd) || ts_node_symbol(fd) != g.function_declarator) return false;
  TSNode list = ts_node_child_by_field_id(fd, g.f_parameters);
  uint32_t n = ts_node_is_null(list) ? 0 : ts_node_named_child_count(list);
  for (uint32_t i = 0; i < n && k->budget > 0; i++) {
    TSNode p = ts_node_named_child(list, i);
    TSSymbol s = ts_node_symbol(p);
    if ((s == g.parameter_declaration || s == g.optional_parameter_declaration) && Declares(k, p))
      return true;
  }
  return false;
}

// 1 when the template named at [from, to) holds one object of its first
// argument's type that `->` reaches (a smart pointer, an optional).
bool Wrapper(const PreciseText &t, uint32_t from, uint32_t to) {
  static const char *const kWrappers[] = {"unique_ptr", "shared_ptr", "weak_ptr",
                                          "optional",   "scoped_ptr", "auto_ptr"};
  char name[64];
  size_t n = precise_clean_text(t, from, to, name, sizeof name, 0);
  const char *last = name;
  for (size_t i = 0; i + 1 < n; i++)
    if (name[i] == ':' && name[i + 1] == ':') last = name + i + 2;
  for (const char *w : kWrappers)
    if (strcmp(last, w) == 0) return true;
  return false;
}

// std::unique_ptr<T> and the like, as the type node T (null when type is
// none of them).
TSNode Wrapped(const PreciseGrammar &g, const PreciseText &t, TSNode type) {
  TSNode tt = type;
  while (!ts_node_is_null(tt) && ts_node_symbol(tt) == g.qualified_identifier)
    tt = ts_node_child_by_field_id(tt, g.f_name);
  if (ts_node_is_null(tt) || ts_node_symbol(tt) != g.template_type) return TSNode{};
  TSNode name = ts_node_child_by_field_id(tt, g.f_name);
  if (ts_node_is_null(name) || !Wrapper(t, NodeStart(t, name), NodeEnd(t, name))) return TSNode{};
  TSNode args = ts_node_named_child(tt, ts_node_named_child_count(tt) - 1);
  TSNode first = ts_node_is_null(args) ? args : ts_node_named_child(args, 0);
  if (ts_node_is_null(first) || ts_node_symbol(first) != g.type_descriptor) return TSNode{};
  return ts_node_child_by_field_id(first, g.f_type);
}

// The class a type node names, as "n::A::"; false for anything else. A
// smart pointer or optional names the class it holds when unwrap is set
// (members reached through `->`, and data members, which are looked at for
// such calls); with basics set a basic type ("int::") counts too.
bool ClassOf(const PreciseGrammar &g, const PreciseText &t, TSNode type, char *out, size_t cap,
             bool unwrap = true, bool basics = false) {
  if (ts_node_is_null(type)) return false;
  TSNode held = unwrap ? Wrapped(g, t, type) : TSNode{};
  if (!ts_node_is_null(held)) type = held;
  TSSymbol s = ts_node_symbol(type);
  bool basic = s == g.primitive_type || s == g.sized_type_specifier;
  if (s != g.type_identifier && s != g.qualified_identifier && s != g.template_type &&
      !(basics && basic))
    return false;
  size_t used = precise_clean_text(t, NodeStart(t, type), NodeEnd(t, type), out, cap, 0);
  if (used == 0 || used + 3 > cap) return false;
  CopyText(out + used, cap - used, "::");
  return true;
}

}  // namespace

int precise_class_of(PreciseWalk *w, TSNode type, char *out, size_t cap) {
  return ClassOf(*w->g, w->t, type, out, cap) ? 1 : 0;
}

void precise_record_fields(PreciseWalk *w, TSNode body, ST_CLASS *k) {
  const PreciseGrammar &g = *w->g;
  enum { kMaxFields = 64 };  // a class with more keeps its first ones
  const char *pairs[2 * kMaxFields];
  int count = 0;
  uint32_t n = ts_node_is_null(body) ? 0 : ts_node_named_child_count(body);
  for (uint32_t i = 0; i < n && count < kMaxFields; i++) {
    TSNode decl = ts_node_named_child(body, i);
    char type[260];
    if (ts_node_symbol(decl) != g.field_declaration ||
        !ClassOf(g, w->t, ts_node_child_by_field_id(decl, g.f_type), type, sizeof type))
      continue;
    ForEachDeclaredName(g, decl, [&](TSNode id, TSNode) {
      char name[64];
      precise_clean_text(w->t, NodeStart(w->t, id), NodeEnd(w->t, id), name, sizeof name, 0);
      pairs[2 * count] = ANA_Intern(name);
      pairs[2 * count + 1] = ANA_Intern(type);
      return ++count < kMaxFields;
    });
  }
  if (count == 0) return;
  size_t bytes = sizeof(const char *) * 2 * (size_t)count;
  k->fields = (const char **)ArenaAlloc(&w->ctx->src->records, bytes);
  if (!k->fields) return;
  memcpy(k->fields, pairs, bytes);
  k->field_count = count;
}

namespace {

// The declaration of the identifier object before byte at; false when none
// is in sight.
bool FindDeclaration(PreciseWalk *w, TSNode object, uint32_t at, Lookup *out) {
  const PreciseGrammar &g = *w->g;
  if (ts_node_is_null(object) || ts_node_symbol(object) != g.identifier || w->funcs.empty())
    return false;
  Lookup k{&g,       &w->t, w->t.text + NodeStart(w->t, object), 0, kBudget, TSNode{}, TSNode{},
           TSNode{}, true};
  k.name_len = NodeEnd(w->t, object) - NodeStart(w->t, object);
  size_t fn_depth = w->funcs.back().depth;
  bool found = false;
  for (size_t i = w->path.size(); i-- > 0 && !found && k.budget > 0;) {
    k.budget--;  // a deep nest of blocks costs its share too
    const PreciseEntry &e = w->path[i];
    if (i > fn_depth && e.sym == g.compound_statement) {
      k.in_body = true;
      found = Among(&k, e.node, g.declaration, at);
    } else if (i == fn_depth && e.sym == g.function_definition) {
      k.in_body = false;
      found = InParameters(&k, e.node);
    } else if (i < fn_depth && e.sym == g.field_declaration_list) {
      k.in_body = false;
      found = Among(&k, e.node, g.field_declaration, UINT32_MAX);
    }
  }
  *out = k;
  return found;
}

}  // namespace

int precise_find_declaration(PreciseWalk *w, TSNode object, uint32_t at, TSNode *decl,
                             TSNode *declarator) {
  Lookup k;
  if (!FindDeclaration(w, object, at, &k)) return 0;
  *decl = k.decl;
  *declarator = k.declarator;
  return 1;
}

void precise_receiver_type(PreciseWalk *w, TSNode object, uint32_t at, int arrow, char *out,
                           size_t cap) {
  if (cap == 0) return;
  out[0] = 0;
  Lookup k;
  if (!FindDeclaration(w, object, at, &k) ||
      !ClassOf(*w->g, w->t, k.type, out, cap, arrow != 0, true))
    out[0] = 0;
}

#endif  // VELMORA_HAVE_TREE_SITTER
