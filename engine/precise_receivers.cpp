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
// references and parentheses; null when there is none.
TSNode DeclaredName(const PreciseGrammar &g, TSNode d) {
  for (int hops = 0; hops < 16 && !ts_node_is_null(d); hops++) {
    TSSymbol s = ts_node_symbol(d);
    if (s == g.identifier || s == g.field_identifier) return d;
    if (s != g.init_declarator && s != g.pointer_declarator && s != g.reference_declarator &&
        s != g.parenthesized_declarator && s != g.attributed_declarator)
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
void ForEachDeclaredName(const PreciseGrammar &g, TSNode decl, More more) {
  TSTreeCursor c = ts_tree_cursor_new(decl);
  for (bool next = ts_tree_cursor_goto_first_child(&c); next;
       next = ts_tree_cursor_goto_next_sibling(&c)) {
    if (ts_tree_cursor_current_field_id(&c) != g.f_declarator) continue;
    TSNode id = DeclaredName(g, ts_tree_cursor_current_node(&c));
    if (!ts_node_is_null(id) && !more(id)) break;
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

// The declarations among node's children of kind a or b, read once.
const PreciseDecls &DeclsOf(PreciseWalk *w, TSNode node, TSSymbol a, TSSymbol b) {
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
    ForEachDeclaredName(g, decl, [&](TSNode id) {
      uint32_t from = NodeStart(w->t, id), to = NodeEnd(w->t, id);
      std::vector<PreciseDecls::Entry> &v =
          d.by_name[std::string_view(w->t.text + from, to - from)];
      if (v.empty() || v.back().at != at) v.push_back(PreciseDecls::Entry{at, type});
      return true;
    });
  });
  return d;
}

// The declarations of name in d, or nullptr.
const std::vector<PreciseDecls::Entry> *Named(const PreciseDecls &d, std::string_view name) {
  auto e = d.by_name.find(name);
  return e == d.by_name.end() || e->second.empty() ? nullptr : &e->second;
}

// The nearest declaration of name among node's children of kind sym that
// starts before `before`: its type node into *type.
bool Among(PreciseWalk *w, TSNode node, TSSymbol sym, std::string_view name, uint32_t before,
           TSNode *type) {
  const std::vector<PreciseDecls::Entry> *v = Named(DeclsOf(w, node, sym, sym), name);
  if (!v) return false;
  auto past = std::lower_bound(v->begin(), v->end(), before,
                               [](const PreciseDecls::Entry &e, uint32_t at) { return e.at < at; });
  if (past == v->begin()) return false;
  *type = (past - 1)->type;
  return true;
}

// The first parameter of the function defined by def that declares name.
bool InParameters(PreciseWalk *w, TSNode def, std::string_view name, TSNode *type) {
  const PreciseGrammar &g = *w->g;
  TSNode fd = precise_function_declarator(g, ts_node_child_by_field_id(def, g.f_declarator));
  if (ts_node_is_null(fd) || ts_node_symbol(fd) != g.function_declarator) return false;
  TSNode list = ts_node_child_by_field_id(fd, g.f_parameters);
  if (ts_node_is_null(list)) return false;
  const std::vector<PreciseDecls::Entry> *v =
      Named(DeclsOf(w, list, g.parameter_declaration, g.optional_parameter_declaration), name);
  if (!v) return false;
  *type = v->front().type;
  return true;
}

// The class a type node names, as "n::A::"; false for anything else.
bool ClassOf(const PreciseGrammar &g, const PreciseText &t, TSNode type, char *out, size_t cap) {
  if (ts_node_is_null(type)) return false;
  TSSymbol s = ts_node_symbol(type);
  if (s != g.type_identifier && s != g.qualified_identifier && s != g.template_type) return false;
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
    ForEachDeclaredName(g, decl, [&](TSNode id) {
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

void precise_receiver_type(PreciseWalk *w, TSNode object, uint32_t at, char *out, size_t cap) {
  if (cap == 0) return;
  out[0] = 0;
  const PreciseGrammar &g = *w->g;
  if (ts_node_is_null(object) || ts_node_symbol(object) != g.identifier || w->funcs.empty()) return;
  uint32_t from = NodeStart(w->t, object);
  std::string_view name(w->t.text + from, NodeEnd(w->t, object) - from);
  size_t fn_depth = w->funcs.back().depth;
  TSNode type{};
  bool found = false;
  int budget = kBudget;
  for (size_t i = w->path.size(); i-- > 0 && !found && budget-- > 0;) {
    const PreciseEntry &e = w->path[i];
    if (i > fn_depth && e.sym == g.compound_statement) {
      found = Among(w, e.node, g.declaration, name, at, &type);
    } else if (i == fn_depth && e.sym == g.function_definition) {
      found = InParameters(w, e.node, name, &type);
    } else if (i < fn_depth && e.sym == g.field_declaration_list) {
      found = Among(w, e.node, g.field_declaration, name, UINT32_MAX, &type);
    }
  }
  if (!found || !ClassOf(g, w->t, type, out, cap)) out[0] = 0;
}

#endif  // VELMORA_HAVE_TREE_SITTER
