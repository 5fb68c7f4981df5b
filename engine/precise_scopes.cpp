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
#include "foundation/text.h"

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

// Notes the scope the walk has now as an inline namespace, for linking.
void RecordInline(PreciseWalk *w) {
  ST_SOURCE *s = w->ctx->src;
  CHBUF *e = AddCBFrom(&s->records, &s->classes, (int)sizeof(ST_CLASS));
  if (!e) return;
  ST_CLASS *k = (ST_CLASS *)e->data;
  k->kind = CLASS_INLINE_NS;
  k->scope = ANA_Intern(w->scope);
}

// 1 when the namespace definition node starts with `inline`.
bool InlineNamespace(const PreciseText &t, TSNode ns) {
  uint32_t a = NodeStart(t, ns);
  return t.len - a >= 6 && memcmp(t.text + a, "inline", 6) == 0;
}

bool IsBase(const PreciseGrammar &g, TSSymbol s) {
  return s == g.type_identifier || s == g.qualified_identifier || s == g.template_type;
}

// The function decl (a declaration or member) declares with default
// arguments: its name into *name, its parameters and fewest arguments into
// counts[0] and counts[1]. False for anything else (a qualified name: it
// declares what is declared elsewhere). c is a cursor to reuse.
bool DeclaredDefaults(PreciseWalk *w, TSNode decl, TSTreeCursor *c, const char **name,
                      int *counts) {
  const PreciseGrammar &g = *w->g;
  if (ts_node_symbol(decl) != g.field_declaration && ts_node_symbol(decl) != g.declaration)
    return false;
  TSNode fd = precise_function_declarator(g, ts_node_child_by_field_id(decl, g.f_declarator));
  if (ts_node_is_null(fd) || ts_node_symbol(fd) != g.function_declarator) return false;
  PreciseParams pp = precise_params_of(g, w->t, ts_node_child_by_field_id(fd, g.f_parameters), c);
  PreciseName nm;
  if (pp.argc_min >= pp.argc || pp.variadic ||
      !precise_name_of(g, w->t, ts_node_child_by_field_id(fd, g.f_declarator), &nm) ||
      nm.qualifier[0])
    return false;
  *name = ANA_Intern(nm.name);
  counts[0] = pp.argc;
  counts[1] = pp.argc_min;
  return true;
}

// Keeps count defaults (names, and per name 2 counts) on the record k.
void KeepDefaults(PreciseWalk *w, ST_CLASS *k, const char **names, const int *counts, int count) {
  if (count == 0) return;
  ARENA *a = &w->ctx->src->records;
  k->default_names = (const char **)ArenaAlloc(a, sizeof(const char *) * (size_t)count);
  k->default_counts = (int *)ArenaAlloc(a, sizeof(int) * 2 * (size_t)count);
  if (!k->default_names || !k->default_counts) return;
  memcpy(k->default_names, names, sizeof(const char *) * (size_t)count);
  memcpy(k->default_counts, counts, sizeof(int) * 2 * (size_t)count);
  k->default_count = count;
}

// The member functions declared in the class body with default arguments,
// so that a definition written outside the class (which may not repeat the
// defaults) takes as few arguments as the declaration says.
void RecordDefaults(PreciseWalk *w, TSNode body, ST_CLASS *k) {
  enum { kMaxDefaults = 64 };  // a class with more keeps its first ones
  const char *names[kMaxDefaults];
  int counts[2 * kMaxDefaults];
  int count = 0;
  if (ts_node_is_null(body)) return;
  TSTreeCursor c = ts_tree_cursor_new(body);
  // The members walked with a cursor of their own: the library finds the
  // i-th child by counting from the first, and a class may have thousands.
  TSTreeCursor members = ts_tree_cursor_new(body);
  for (bool next = ts_tree_cursor_goto_first_child(&members); next && count < kMaxDefaults;
       next = ts_tree_cursor_goto_next_sibling(&members)) {
    TSNode decl = ts_tree_cursor_current_node(&members);
    if (DeclaredDefaults(w, decl, &c, &names[count], &counts[2 * count])) count++;
  }
  ts_tree_cursor_delete(&members);
  ts_tree_cursor_delete(&c);
  KeepDefaults(w, k, names, counts, count);
}

// 1 when a preprocessor directive starts a line in the text [from, to): a
// base named under an `#if` in a class head exists in one configuration
// only, and taking it for granted would prefer overloads by it.
bool DirectiveIn(const PreciseText &t, uint32_t from, uint32_t to) {
  bool line_start = false;
  for (uint32_t i = from; i < to && i < t.len; i++) {
    char ch = t.text[i];
    if (ch == '\n') {
      line_start = true;
    } else if (ch == '#' && line_start) {
      return true;
    } else if (ch != ' ' && ch != '\t') {
      line_start = false;
    }
  }
  return false;
}

// The class's record: its scope as the walk has it now, and its bases
// (none when the head holds a directive).
void RecordClass(PreciseWalk *w, TSNode klass) {
  const PreciseGrammar &g = *w->g;
  ST_SOURCE *s = w->ctx->src;
  CHBUF *e = AddCBFrom(&s->records, &s->classes, (int)sizeof(ST_CLASS));
  if (!e) return;
  ST_CLASS *k = (ST_CLASS *)e->data;
  k->scope = ANA_Intern(w->scope);
  precise_record_fields(w, ts_node_child_by_field_id(klass, g.f_body), k);
  RecordDefaults(w, ts_node_child_by_field_id(klass, g.f_body), k);
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
  if (bases.empty() || DirectiveIn(w->t, NodeStart(w->t, klass), NodeEnd(w->t, clause))) return;
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
  if (is_class) {
    RecordClass(w, e.node);
  } else {
    NoteNamespace(w, name);
    if (InlineNamespace(w->t, e.node)) RecordInline(w);
  }
}

namespace {

// A new record of the kind for the name last in the scope the walk has now
// ("n::A::" + last + "::"); null when memory runs out.
ST_CLASS *NamedRecord(PreciseWalk *w, int kind, const char *last) {
  ST_SOURCE *s = w->ctx->src;
  CHBUF *rec = AddCBFrom(&s->records, &s->classes, (int)sizeof(ST_CLASS));
  if (!rec) return nullptr;
  ST_CLASS *k = (ST_CLASS *)rec->data;
  k->kind = kind;
  char scope[1300];
  FormatText(scope, sizeof scope, "%s%s::", w->scope, last);
  k->scope = ANA_Intern(scope);
  return k;
}

}  // namespace

void precise_record_enum(PreciseWalk *w) {
  const PreciseGrammar &g = *w->g;
  TSNode e = w->path.back().node;
  TSNode name = ts_node_child_by_field_id(e, g.f_name);
  TSNode body = ts_node_child_by_field_id(e, g.f_body);
  if (ts_node_is_null(name) || ts_node_is_null(body) || !w->funcs.empty()) return;
  enum { kMaxEnumerators = 256 };  // an enum with more keeps its first ones
  const char *pairs[2 * kMaxEnumerators];
  char last[260];
  precise_clean_text(w->t, NodeStart(w->t, name), NodeEnd(w->t, name), last, sizeof last, 0);
  const char *type = ANA_Intern(last);
  int count = 0;
  uint32_t n = ts_node_named_child_count(body);
  for (uint32_t i = 0; i < n && count < kMaxEnumerators; i++) {
    TSNode id = ts_node_child_by_field_id(ts_node_named_child(body, i), g.f_name);
    if (ts_node_is_null(id)) continue;
    char text[260];
    precise_clean_text(w->t, NodeStart(w->t, id), NodeEnd(w->t, id), text, sizeof text, 0);
    pairs[2 * count] = ANA_Intern(text);
    pairs[2 * count + 1] = type;
    count++;
  }
  ST_SOURCE *s = w->ctx->src;
  ST_CLASS *k = NamedRecord(w, CLASS_ENUMERATION, last);
  if (!k) return;
  size_t bytes = sizeof(const char *) * 2 * (size_t)count;
  k->fields = count ? (const char **)ArenaAlloc(&s->records, bytes) : nullptr;
  if (!k->fields) return;
  memcpy(k->fields, pairs, bytes);
  k->field_count = count;
}

void precise_record_declaration(PreciseWalk *w) {
  if (!w->scopes.empty() && w->scopes.back().is_class) return;  // the class record has those
  TSNode decl = w->path.back().node;
  TSTreeCursor c = ts_tree_cursor_new(decl);
  const char *name;
  int counts[2];
  bool found = DeclaredDefaults(w, decl, &c, &name, counts);
  ts_tree_cursor_delete(&c);
  if (!found) return;
  ST_SOURCE *s = w->ctx->src;
  CHBUF *rec = AddCBFrom(&s->records, &s->classes, (int)sizeof(ST_CLASS));
  if (!rec) return;
  ST_CLASS *k = (ST_CLASS *)rec->data;
  k->kind = CLASS_DECLARATIONS;
  k->scope = ANA_Intern(w->scope);
  KeepDefaults(w, k, &name, counts, 1);
}

void precise_record_alias(PreciseWalk *w) {
  const PreciseGrammar &g = *w->g;
  TSNode e = w->path.back().node;
  TSNode name, type;
  if (ts_node_symbol(e) == g.alias_declaration) {  // using B = A;
    name = ts_node_child_by_field_id(e, g.f_name);
    TSNode desc = ts_node_child_by_field_id(e, g.f_type);
    if (ts_node_is_null(desc) || !ts_node_is_null(ts_node_child_by_field_id(desc, g.f_declarator)))
      return;  // a pointer, a function type
    type = ts_node_child_by_field_id(desc, g.f_type);
  } else {  // typedef A B; (one name, no pointer)
    name = ts_node_child_by_field_id(e, g.f_declarator);
    if (ts_node_named_child_count(e) != 2) return;
    type = ts_node_child_by_field_id(e, g.f_type);
  }
  char target[260], last[260];
  if (ts_node_is_null(name) || ts_node_symbol(name) != g.type_identifier ||
      !precise_class_of(w, type, target, sizeof target))
    return;
  precise_clean_text(w->t, NodeStart(w->t, name), NodeEnd(w->t, name), last, sizeof last, 0);
  const char **bases = (const char **)ArenaAlloc(&w->ctx->src->records, sizeof(const char *));
  ST_CLASS *k = bases ? NamedRecord(w, CLASS_ALIAS, last) : nullptr;
  if (!k) return;
  bases[0] = ANA_Intern(target);
  k->bases = bases;
  k->base_count = 1;
}

void precise_macro_scopes_before(PreciseWalk *w, uint32_t at) {
  for (; w->next_macro < w->macro_scopes.size() && w->macro_scopes[w->next_macro].at <= at;
       w->next_macro++) {
    w->anchor_at = w->macro_scopes[w->next_macro].at;  // a definition starts after its line
    for (const char *o = w->macro_scopes[w->next_macro].ops; *o;) {
      const char *end = strchr(o, ' ');
      if (!end) end = o + strlen(o);
      if (*o == '+') {
        w->macro_lens.push_back(w->scope_len);
        bool is_inline = o[1] == '!';
        std::string name(o + 1 + is_inline, (size_t)(end - o - 1 - is_inline));
        if (!name.empty() && w->scope_len + name.size() + 3 < sizeof w->scope) {
          memcpy(w->scope + w->scope_len, name.data(), name.size());
          w->scope_len += name.size();
          memcpy(w->scope + w->scope_len, "::", 3);
          w->scope_len += 2;
          for (size_t from = 0; from <= name.size();) {  // "a::b": a and b
            size_t to = name.find("::", from);
            if (to == std::string::npos) to = name.size();
            std::string part = name.substr(from, to - from);
            if (!part.empty()) w->namespaces.insert(part);
            from = to + 2;
          }
          if (is_inline) RecordInline(w);
        }
      } else if (*o == '-' && !w->macro_lens.empty()) {
        // A scope the file opened itself after the macro's and still open
        // keeps what it has.
        if (w->macro_lens.back() <= w->scope_len) {
          w->scope_len = w->macro_lens.back();
          w->scope[w->scope_len] = 0;
        }
        w->macro_lens.pop_back();
      }
      o = *end ? end + 1 : end;
    }
  }
}

void precise_leave_scope(PreciseWalk *w) {
  if (w->scopes.empty() || w->scopes.back().depth != w->path.size() - 1) return;
  w->scope_len = w->scopes.back().prev_len;
  w->scope[w->scope_len] = 0;
  w->scopes.pop_back();
}

#endif  // VELMORA_HAVE_TREE_SITTER
