// The declared class of the object a member call goes through (`info.f()`,
// `impl_->f()`): the linker can then look for f in that class instead of
// guessing among every class that defines an f. Only what is written near
// the call is read: the declarations before it in the blocks around it, the
// function's parameters and the members of the classes around an in-class
// definition. A type behind `auto`, a typedef or a call stays unknown.
#ifdef VELMORA_HAVE_TREE_SITTER

#include <algorithm>
#include <cstring>

#include "engine/precise_internal.h"
#include "foundation/arena.h"
#include "foundation/text.h"

namespace {

// Enclosing nodes looked at for one call at most: a deep nest of blocks
// costs no more than this per call.
const int kBudget = 512;

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

// Calls more(id, declarator) with each name that decl (a declaration,
// member or parameter) declares and the declarator that declares it, while
// it says true; declarators that declare no name (a member function's) are
// passed over, but for objects as DeclaredName reads them.
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

// Calls each(child) for every child of node, with one cursor (the library
// finds the i-th child by counting from the first).
template <typename Each>
void ForEachChild(TSNode node, Each each) {
  if (ts_node_is_null(node)) return;
  TSTreeCursor c = ts_tree_cursor_new(node);
  for (bool next = ts_tree_cursor_goto_first_child(&c); next;
       next = ts_tree_cursor_goto_next_sibling(&c))
    each(ts_tree_cursor_current_node(&c));
  ts_tree_cursor_delete(&c);
}

// The declarations among node's children of kind a or b, read once (with
// objects as ForEachDeclaredName takes it: the same for every look at one
// node, since a node is a block, a parameter list or a class body).
const PreciseDecls &DeclsOf(PreciseWalk *w, TSNode node, TSSymbol a, TSSymbol b,
                            bool objects = false) {
  auto key = std::make_pair(node.id, ts_node_start_byte(node));
  auto found = w->decls.find(key);
  if (found != w->decls.end()) return found->second;
  PreciseDecls &d = w->decls[key];
  const PreciseGrammar &g = *w->g;
  ForEachChild(node, [&](TSNode decl) {
    TSSymbol s = ts_node_symbol(decl);
    if (!ts_node_is_named(decl) || (s != a && s != b)) return;
    TSNode type = ts_node_child_by_field_id(decl, g.f_type);
    uint32_t at = ts_node_start_byte(decl);
    ForEachDeclaredName(
        g, decl,
        [&](TSNode id, TSNode declarator) {
          uint32_t from = NodeStart(w->t, id), to = NodeEnd(w->t, id);
          std::vector<PreciseDecls::Entry> &v =
              d.by_name[std::string_view(w->t.text + from, to - from)];
          if (v.empty() || v.back().at != at)
            v.push_back(PreciseDecls::Entry{at, type, decl, declarator});
          return true;
        },
        objects);
  });
  return d;
}

// The declarations of name in d, or nullptr.
const std::vector<PreciseDecls::Entry> *Named(const PreciseDecls &d, std::string_view name) {
  auto e = d.by_name.find(name);
  return e == d.by_name.end() || e->second.empty() ? nullptr : &e->second;
}

// The nearest declaration of name among node's children of kind sym that
// starts before `before` into *found.
bool Among(PreciseWalk *w, TSNode node, TSSymbol sym, std::string_view name, uint32_t before,
           bool objects, PreciseDecls::Entry *found) {
  const std::vector<PreciseDecls::Entry> *v = Named(DeclsOf(w, node, sym, sym, objects), name);
  if (!v) return false;
  auto past = std::lower_bound(v->begin(), v->end(), before,
                               [](const PreciseDecls::Entry &e, uint32_t at) { return e.at < at; });
  if (past == v->begin()) return false;
  *found = *(past - 1);
  return true;
}

// The first parameter of the function defined by def that declares name.
bool InParameters(PreciseWalk *w, TSNode def, std::string_view name, PreciseDecls::Entry *found) {
  const PreciseGrammar &g = *w->g;
  TSNode fd = precise_function_declarator(g, ts_node_child_by_field_id(def, g.f_declarator));
  if (ts_node_is_null(fd) || ts_node_symbol(fd) != g.function_declarator) return false;
  TSNode list = ts_node_child_by_field_id(fd, g.f_parameters);
  if (ts_node_is_null(list)) return false;
  const std::vector<PreciseDecls::Entry> *v =
      Named(DeclsOf(w, list, g.parameter_declaration, g.optional_parameter_declaration), name);
  if (!v) return false;
  *found = v->front();
  return true;
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
  ForEachChild(body, [&](TSNode decl) {
    char type[260];
    if (count >= kMaxFields || ts_node_symbol(decl) != g.field_declaration ||
        !ClassOf(g, w->t, ts_node_child_by_field_id(decl, g.f_type), type, sizeof type))
      return;
    ForEachDeclaredName(g, decl, [&](TSNode id, TSNode) {
      char name[64];
      precise_clean_text(w->t, NodeStart(w->t, id), NodeEnd(w->t, id), name, sizeof name, 0);
      pairs[2 * count] = ANA_Intern(name);
      pairs[2 * count + 1] = ANA_Intern(type);
      return ++count < kMaxFields;
    });
  });
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
bool FindDeclaration(PreciseWalk *w, TSNode object, uint32_t at, PreciseDecls::Entry *found) {
  const PreciseGrammar &g = *w->g;
  if (ts_node_is_null(object) || ts_node_symbol(object) != g.identifier || w->funcs.empty())
    return false;
  uint32_t from = NodeStart(w->t, object);
  std::string_view name(w->t.text + from, NodeEnd(w->t, object) - from);
  size_t fn_depth = w->funcs.back().depth;
  int budget = kBudget;
  for (size_t i = w->path.size(); i-- > 0 && budget-- > 0;) {
    const PreciseEntry &e = w->path[i];
    if (i > fn_depth && e.sym == g.compound_statement) {
      if (Among(w, e.node, g.declaration, name, at, true, found)) return true;
    } else if (i == fn_depth && e.sym == g.function_definition) {
      if (InParameters(w, e.node, name, found)) return true;
    } else if (i < fn_depth && e.sym == g.field_declaration_list) {
      if (Among(w, e.node, g.field_declaration, name, UINT32_MAX, false, found)) return true;
    }
  }
  return false;
}

}  // namespace

int precise_find_declaration(PreciseWalk *w, TSNode object, uint32_t at, TSNode *decl,
                             TSNode *declarator) {
  PreciseDecls::Entry found;
  if (!FindDeclaration(w, object, at, &found)) return 0;
  *decl = found.decl;
  *declarator = found.declarator;
  return 1;
}

void precise_receiver_type(PreciseWalk *w, TSNode object, uint32_t at, int arrow, char *out,
                           size_t cap) {
  if (cap == 0) return;
  out[0] = 0;
  PreciseDecls::Entry found;
  if (!FindDeclaration(w, object, at, &found) ||
      !ClassOf(*w->g, w->t, found.type, out, cap, arrow != 0, true))
    out[0] = 0;
}

#endif  // VELMORA_HAVE_TREE_SITTER
