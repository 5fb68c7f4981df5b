// Namespaces and classes met by the precise front end's walk: each adds its
// name to the scope text that the functions inside it take ("n::A::"), and a
// class with a body gets its record with the bases it names. A class inside a
// function body is local: it neither changes the scope nor gets a record.
#ifdef VELMORA_HAVE_TREE_SITTER

#include <cstring>
#include <string>
#include <vector>

#include "engine/precise_internal.h"
#include "foundation/arena.h"

namespace {

// Appends "name::" (cleaned) to the walk's scope text.
void AppendScope(PreciseWalk *w, TSNode name) {
  size_t cap = sizeof w->scope;
  w->scope_len = precise_clean_text(w->t, NodeStart(w->t, name), NodeEnd(w->t, name), w->scope, cap,
                                    w->scope_len);
  if (w->scope_len + 2 < cap) {
    memcpy(w->scope + w->scope_len, "::", 3);
    w->scope_len += 2;
  }
}

// Remembers each part of a namespace's name ("a::b" gives a and b).
void NoteNamespace(PreciseWalk *w, TSNode name) {
  char text[260];
  precise_clean_text(w->t, NodeStart(w->t, name), NodeEnd(w->t, name), text, sizeof text, 0);
  std::string all = text;
  size_t from = 0;
  while (from <= all.size()) {
    size_t to = all.find("::", from);
    if (to == std::string::npos) to = all.size();
    std::string part = all.substr(from, to - from);
    if (!part.empty()) w->namespaces.insert(part);
    from = to + 2;
  }
}

bool IsBase(const PreciseGrammar &g, TSSymbol s) {
  return s == g.type_identifier || s == g.qualified_identifier || s == g.template_type;
}

// The class's record: its scope as the walk has it now, and its bases.
void RecordClass(PreciseWalk *w, TSNode klass) {
  const PreciseGrammar &g = *w->g;
  ST_SOURCE *s = w->ctx->src;
  CHBUF *e = AddCBFrom(&s->records, &s->classes, (int)sizeof(ST_CLASS));
  if (!e) return;
  ST_CLASS *k = (ST_CLASS *)e->data;
  k->scope = ANA_Intern(w->scope);
  precise_record_fields(w, ts_node_child_by_field_id(klass, g.f_body), k);
  TSNode clause{};
  TSTreeCursor c = ts_tree_cursor_new(klass);
  for (bool more = ts_tree_cursor_goto_first_child(&c); more && ts_node_is_null(clause);
       more = ts_tree_cursor_goto_next_sibling(&c)) {
    TSNode n = ts_tree_cursor_current_node(&c);
    if (ts_node_symbol(n) == g.base_class_clause) clause = n;
  }
  // Its bases, read with one cursor (the library finds the i-th child by
  // counting from the first).
  std::vector<TSNode> bases;
  if (!ts_node_is_null(clause)) {
    ts_tree_cursor_reset(&c, clause);
    for (bool more = ts_tree_cursor_goto_first_child(&c); more;
         more = ts_tree_cursor_goto_next_sibling(&c)) {
      TSNode b = ts_tree_cursor_current_node(&c);
      if (ts_node_is_named(b) && IsBase(g, ts_node_symbol(b))) bases.push_back(b);
    }
  }
  ts_tree_cursor_delete(&c);
  if (bases.empty()) return;
  k->bases = (const char **)ArenaAlloc(&s->records, sizeof(const char *) * bases.size());
  if (!k->bases) return;
  for (TSNode b : bases) {
    char text[260];
    size_t used =
        precise_clean_text(w->t, NodeStart(w->t, b), NodeEnd(w->t, b), text, sizeof text - 2, 0);
    memcpy(text + used, "::", 3);
    k->bases[k->base_count++] = ANA_Intern(text);
  }
}

}  // namespace

void precise_enter_scope(PreciseWalk *w) {
  const PreciseGrammar &g = *w->g;
  PreciseEntry &e = w->path.back();
  TSNode name = ts_node_child_by_field_id(e.node, g.f_name);
  int is_class = e.sym != g.namespace_definition;
  if (is_class) {
    // A declaration that only names the class ("struct S s;"), or a local
    // class, leaves the scope as it is.
    if (ts_node_is_null(ts_node_child_by_field_id(e.node, g.f_body)) || !w->funcs.empty()) return;
  }
  w->scopes.push_back(PreciseScope{w->path.size() - 1, w->scope_len, is_class});
  if (ts_node_is_null(name)) return;  // an anonymous namespace or class adds no name
  AppendScope(w, name);
  if (is_class)
    RecordClass(w, e.node);
  else
    NoteNamespace(w, name);
}

void precise_leave_scope(PreciseWalk *w) {
  if (w->scopes.empty() || w->scopes.back().depth != w->path.size() - 1) return;
  w->scope_len = w->scopes.back().prev_len;
  w->scope[w->scope_len] = 0;
  w->scopes.pop_back();
}

#endif  // VELMORA_HAVE_TREE_SITTER
