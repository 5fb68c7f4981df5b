// Function definitions as the precise front end records them: the name and
// qualifier from the declarator, the full scope (enclosing namespaces and
// classes, then the qualifier written before the name), the parameter
// counts, and the text and line where the definition starts the way the
// statement parser finds them, so that lists, logs and graphs read both
// front ends' records alike.
#ifdef VELMORA_HAVE_TREE_SITTER

#include <algorithm>
#include <cstring>
#include <vector>

#include "engine/precise_internal.h"
#include "foundation/arena.h"
#include "foundation/log.h"
#include "foundation/text.h"

namespace {

// The node that names the function, its parameter list and the declarator
// that holds the list, from the declarator precise_function_declarator found.
void NameAndParams(const PreciseGrammar &g, TSNode fd, TSNode *name, TSNode *params,
                   TSNode *holder) {
  *holder = fd;
  if (ts_node_symbol(fd) == g.function_declarator) {
    *name = ts_node_child_by_field_id(fd, g.f_declarator);
    *params = ts_node_child_by_field_id(fd, g.f_parameters);
    return;
  }
  // A conversion operator, maybe qualified: its parameters hang off the
  // declarator after its type.
  *name = fd;
  TSNode cast = fd;
  while (!ts_node_is_null(cast) && ts_node_symbol(cast) == g.qualified_identifier)
    cast = ts_node_child_by_field_id(cast, g.f_name);
  TSNode decl = ts_node_is_null(cast) ? cast : ts_node_child_by_field_id(cast, g.f_declarator);
  *params = ts_node_is_null(decl) ? decl : ts_node_child_by_field_id(decl, g.f_parameters);
  *holder = decl;
}

// The last part of a qualifier ("n::A::" gives "A").
std::string LastPart(const char *qualifier) {
  std::string q = qualifier;
  if (q.size() >= 2 && q.compare(q.size() - 2, 2, "::") == 0) q.resize(q.size() - 2);
  size_t cut = q.rfind("::");
  return cut == std::string::npos ? q : q.substr(cut + 2);
}

// A member: defined in a class body, or outside with a qualifier that does
// not name a namespace seen so far.
int IsMember(const PreciseWalk *w, const char *qualifier) {
  if (!w->scopes.empty() && w->scopes.back().is_class) return 1;
  if (!qualifier[0] || strcmp(qualifier, "::") == 0) return 0;
  std::string last = LastPart(qualifier);
  return w->namespaces.count(last) == 0;
}

bool Blank(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// Where the definition's text starts: the first non-blank byte of the lines
// after the anchor's line (a comment block above the head included).
uint32_t TextStart(PreciseWalk *w) {
  const char *text = w->t.text;
  uint32_t p = 0;
  if (w->anchor_at != UINT32_MAX) {
    p = precise_line_end(w, w->anchor_at);
    if (p < w->t.len) p++;
  }
  while (p < w->t.len && Blank(text[p])) p++;
  return p;
}

// Just past the line that holds the last byte of the definition.
uint32_t TextEnd(PreciseWalk *w, uint32_t end) {
  uint32_t p = precise_line_end(w, end > 0 ? end - 1 : 0);
  return p < w->t.len ? p + 1 : w->t.len;
}

// 1 when a `const` follows the parameter list params in its declarator fd.
// (The declarator is passed: the library finds a parent by walking down
// from the root, past every definition before it.)
int ConstAfter(const PreciseText &t, TSNode fd, TSNode params) {
  if (ts_node_is_null(params)) return 0;
  uint32_t after = ts_node_end_byte(params);
  uint32_t n = ts_node_is_null(fd) ? 0 : ts_node_child_count(fd);
  for (uint32_t i = 0; i < n; i++) {
    TSNode c = ts_node_child(fd, i);
    uint32_t at = NodeStart(t, c);
    if (at >= after && NodeEnd(t, c) == at + 5 && memcmp(t.text + at, "const", 5) == 0) return 1;
  }
  return 0;
}

// 1 when the definition def is a friend's (in a class, maybe a template).
bool Befriended(const PreciseGrammar &g, TSNode def) {
  TSNode up = ts_node_parent(def);
  for (int hops = 0; hops < 2 && !ts_node_is_null(up); hops++, up = ts_node_parent(up))
    if (ts_node_symbol(up) == g.friend_declaration) return true;
  return false;
}

// 1 when the definition def is a function template's.
int Templated(const PreciseGrammar &g, TSNode def) {
  TSNode up = ts_node_parent(def);
  return !ts_node_is_null(up) && ts_node_symbol(up) == g.template_declaration;
}

// `auto f() -> T`: the type descriptor T, and its declarator into
// *declarator; null when def's return type is written before its name.
TSNode TrailingReturn(const PreciseGrammar &g, TSNode def, TSNode *declarator) {
  TSNode type = ts_node_child_by_field_id(def, g.f_type);
  if (ts_node_is_null(type) || ts_node_symbol(type) != g.placeholder_type_specifier)
    return TSNode{};
  TSNode fd = precise_function_declarator(g, ts_node_child_by_field_id(def, g.f_declarator));
  if (ts_node_is_null(fd) || ts_node_symbol(fd) != g.function_declarator) return TSNode{};
  TSNode desc{};
  precise_each_named_child(fd, [&](TSNode c) {
    if (ts_node_symbol(c) == g.trailing_return_type && ts_node_named_child_count(c) > 0)
      desc = ts_node_named_child(c, 0);
  });
  if (ts_node_is_null(desc) || ts_node_symbol(desc) != g.type_descriptor) return TSNode{};
  *declarator = ts_node_child_by_field_id(desc, g.f_declarator);
  return desc;
}

// What C++ says of a function's types beside its name: its parameters'
// and return types, whether it is a template (C has no overloads to tell
// apart, so C sources go without).
void RecordTypes(PreciseWalk *w, ST_FUNC *f, TSNode def, TSNode params,
                 const std::vector<std::string> &templates) {
  if (!w->g->cpp) return;
  f->templated = Templated(*w->g, def);
  f->param_types = precise_param_types(w, params, f->argc, templates);
  TSNode declarator = ts_node_child_by_field_id(def, w->g->f_declarator);
  TSNode trailing_declarator;
  TSNode trailing = TrailingReturn(*w->g, def, &trailing_declarator);
  TSNode holder = def;
  if (!ts_node_is_null(trailing)) holder = trailing, declarator = trailing_declarator;
  std::string type = precise_type_text(w, holder, declarator, templates);
  if (!type.empty() && type[0] != '$') f->return_type = ANA_Intern(type.c_str());
  // `template <typename To> To f(...)`: a call f<T>(...) is a T.
  if (f->templated && !templates.empty() && type == "$" + templates[0])
    f->return_type = ANA_Intern("$0");
  f->returns_const = precise_declared_const(w, holder, declarator);
}

// Makes the record of a function named nm (its qualifier and name) at
// name_at, whose body ends on end_line.
ST_FUNC *Record(PreciseWalk *w, const PreciseName &nm, const PreciseParams &pp, TSNode def,
                int is_const, TEXT_POS name_at, int end_line) {
  ST_SOURCE *s = w->ctx->src;
  char scope[1300];
  const char *q = strcmp(nm.qualifier, "::") == 0 ? "" : nm.qualifier;
  // A friend defined in a class belongs to the namespace around the class.
  bool befriended = Befriended(*w->g, def) && !q[0];
  size_t outer = w->scope_len;
  for (const PreciseScope &sc : w->scopes)
    if (sc.is_class && sc.prev_len < outer) outer = sc.prev_len;
  FormatText(scope, sizeof scope, "%.*s%s", (int)(befriended ? outer : w->scope_len), w->scope, q);
  FUNC_HEAD head = {};
  head.scope = scope;
  head.name = nm.name;
  head.argc = head.items = pp.argc;
  head.argc_min = pp.argc_min;
  head.variadic = pp.variadic;
  head.member = befriended ? 0 : IsMember(w, nm.qualifier);
  head.const_this = head.member && is_const;
  char returns[260];
  TSNode trailing_declarator;
  TSNode trailing = w->g->cpp ? TrailingReturn(*w->g, def, &trailing_declarator) : TSNode{};
  TSNode returned = ts_node_is_null(trailing) ? def : trailing;
  if (precise_class_of(w, ts_node_child_by_field_id(returned, w->g->f_type), returns,
                       sizeof returns))
    head.returns = ANA_Intern(returns);
  uint32_t start = TextStart(w);
  head.line = precise_row_of(w, start);
  head.name_at = name_at;
  ST_FUNC *f = record_function(s, head);
  if (!f) return nullptr;
  uint32_t end = TextEnd(w, NodeEnd(w->t, def));
  // The class whose body holds the definition (not one around a local class).
  if (!w->scopes.empty() && w->scopes.back().is_class && w->funcs.empty())
    f->class_at = 1 + (int)NodeStart(w->t, w->path[w->scopes.back().depth].node);
  f->def_pos = s->text + start;
  f->def_offset = (int)start;
  f->def_len = end > start ? (int)(end - start) : 0;
  f->end_line = end_line;
  return f;
}

}  // namespace

namespace {

// Opens the function whose declarator (as precise_function_declarator
// gives it) is fd and whose body is body; def is the node that ends with it.
void Open(PreciseWalk *w, TSNode fd, TSNode body, TSNode def) {
  const PreciseGrammar &g = *w->g;
  TSNode name_node, params, holder;
  NameAndParams(g, fd, &name_node, &params, &holder);
  PreciseName nm;
  if (!precise_name_of(g, w->t, name_node, &nm)) return;
  TSTreeCursor c = ts_tree_cursor_new(def);
  PreciseParams pp = precise_params_of(g, w->t, params, &c);
  ts_tree_cursor_delete(&c);
  PreciseFunc pf;
  pf.depth = w->path.size() - 1;
  pf.templates = precise_template_names(w, def);
  pf.func = Record(w, nm, pp, def, ConstAfter(w->t, holder, params),
                   precise_name_place(g, name_node), (int)ts_node_end_point(body).row);
  if (pf.func) RecordTypes(w, pf.func, def, params, pf.templates);
  pf.body_row = (int)ts_node_start_point(body).row;
  pf.nest = w->brackets;
  if (w->log && pf.func) {
    const ST_FUNC *f = pf.func;
    NestMove(pf.nest);
    LogPrint(1, LOG_DEBUG, "//##########  enter FUNCTION  ##########\r\n");
    LogPrint(1, LOG_DEBUG, "// %s LINE:%d ----> %s%s(argc:%d/items:%d)\r\n", w->ctx->src->name,
             pf.body_row, f->scope, f->name, f->argc, f->items);
    NestMove(-pf.nest);
  }
  w->funcs.push_back(std::move(pf));
}

}  // namespace

void precise_enter_function(PreciseWalk *w) {
  const PreciseGrammar &g = *w->g;
  TSNode def = w->path.back().node;
  TSNode body = ts_node_child_by_field_id(def, g.f_body);
  TSNode fd = precise_function_declarator(g, ts_node_child_by_field_id(def, g.f_declarator));
  if (ts_node_is_null(body) || ts_node_is_null(fd)) return;
  Open(w, fd, body, def);
}

void precise_recover_function(PreciseWalk *w) {
  const PreciseGrammar &g = *w->g;
  if (w->path.size() < 2) return;
  TSNode body = w->path.back().node;
  // The declarator ends the construct before the block: follow its last
  // named children down a few levels.
  TSNode n = w->path[w->path.size() - 2].last_child;
  for (int level = 0; level < 6 && !ts_node_is_null(n); level++) {
    if (ts_node_symbol(n) == g.function_declarator) {
      if (ts_node_end_byte(n) <= ts_node_start_byte(body)) Open(w, n, body, body);
      return;
    }
    uint32_t count = ts_node_named_child_count(n);
    n = count ? ts_node_named_child(n, count - 1) : TSNode{};
  }
}

namespace {

// The call already made whose name starts at byte at (the calls are in the
// order of their names, so it is one of the last ones), or null.
const ST_CALL *Through(const std::vector<PreciseCall> &calls, const std::vector<ST_CALL *> &made,
                       uint32_t at) {
  if (at == UINT32_MAX) return nullptr;
  size_t last = made.size() - 1;
  for (size_t j = last; j-- > 0 && last - j <= 256;)  // calls in g's arguments lie between
    if (calls[j].at == at) return made[j];
  return nullptr;
}

// The record of how the call is written, or null for a name alone (most
// calls), so that the plain ones cost no more than the statement parser's.
ST_CALL_FORM *HowWritten(ST_SOURCE *s, const PreciseCall &pc, const ST_CALL *through) {
  bool typed = false;
  for (const std::string &a : pc.args) typed = typed || !a.empty();
  if (pc.form == CALL_PLAIN && !pc.receiver[0] && !pc.object[0] && !through && !typed &&
      pc.object_const < 0)
    return nullptr;
  ST_CALL_FORM *how = (ST_CALL_FORM *)ArenaAlloc(&s->records, sizeof(ST_CALL_FORM));
  if (!how) return nullptr;
  how->form = pc.form;
  how->receiver = pc.receiver[0] ? ANA_Intern(pc.receiver) : nullptr;
  how->object = pc.object[0] ? ANA_Intern(pc.object) : nullptr;
  how->member = pc.member[0] ? ANA_Intern(pc.member) : nullptr;
  how->through = through;
  how->object_const = pc.object_const;
  if (typed && pc.argc > 0 && (size_t)pc.argc == pc.args.size()) {
    how->arg_types = (const char **)ArenaAlloc(&s->records, sizeof(const char *) * (size_t)pc.argc);
    for (int i = 0; how->arg_types && i < pc.argc; i++)
      how->arg_types[i] = ANA_Intern(pc.args[(size_t)i].c_str());
  }
  return how;
}

// The records of the calls written as arguments of the calls listed in
// which (the calls of one function are in the order of their names, so
// each is found by where its name starts).
void ArgumentCalls(ST_SOURCE *s, const std::vector<PreciseCall> &calls,
                   const std::vector<ST_CALL *> &made, const std::vector<size_t> &which) {
  for (size_t i : which) {
    const PreciseCall &pc = calls[i];
    ST_CALL_FORM *how = made[i]->how;
    bool any = false;
    for (uint32_t at : pc.arg_calls) any = any || at != UINT32_MAX;
    if (!any || pc.arg_calls.size() != (size_t)pc.argc) continue;
    const ST_CALL **list =
        (const ST_CALL **)ArenaAlloc(&s->records, sizeof(const ST_CALL *) * pc.arg_calls.size());
    if (!list) return;
    for (size_t j = 0; j < pc.arg_calls.size(); j++) {
      auto it = std::lower_bound(calls.begin() + (long)i, calls.begin() + (long)made.size(),
                                 pc.arg_calls[j],
                                 [](const PreciseCall &c, uint32_t at) { return c.at < at; });
      bool found = pc.arg_calls[j] != UINT32_MAX && it != calls.begin() + (long)made.size() &&
                   it->at == pc.arg_calls[j];
      list[j] = found ? made[(size_t)(it - calls.begin())] : nullptr;
    }
    how->arg_calls = list;
  }
}

}  // namespace

void precise_leave_function(PreciseWalk *w) {
  PreciseFunc &pf = w->funcs.back();
  std::stable_sort(pf.calls.begin(), pf.calls.end(),
                   [](const PreciseCall &a, const PreciseCall &b) { return a.at < b.at; });
  ST_FUNC *f = pf.func;
  ST_SOURCE *s = w->ctx->src;
  std::vector<ST_CALL *> made;
  std::vector<size_t> calls_in_args;  // calls whose arguments may be calls
  for (const PreciseCall &pc : pf.calls) {
    if (!f) break;
    ST_CALL *c = record_call(s, f, pc.form == CALL_QUALIFIED ? pc.name.qualifier : "", pc.name.name,
                             pc.argc, pc.line, pc.name_at);
    if (!c) break;
    made.push_back(c);
    c->how = HowWritten(s, pc, Through(pf.calls, made, pc.through));
    if (c->how && c->how->arg_types) calls_in_args.push_back(made.size() - 1);
    if (!w->log) continue;
    NestMove(pc.nest);
    LogPrint(1, LOG_DEBUG, "//oooooooooo  calling FUNCTION  oooooooooo\r\n");
    LogPrint(1, LOG_DEBUG, "// %s%s(argc:%d) LINE:%d ----> %s%s(argc:%d)\r\n", f->scope, f->name,
             f->argc, c->line, c->scope, c->name, c->argc);
    NestMove(-pc.nest);
  }
  if (f) ArgumentCalls(s, pf.calls, made, calls_in_args);
  if (w->log && f) {
    NestMove(pf.nest);
    LogPrint(1, LOG_DEBUG, "//@@@@@@@@@@ exit FUNCTION (%s%s) @@@@@@@@@@\r\n", f->scope, f->name);
    NestMove(-pf.nest);
  }
  // As after any body at the top: the next definition starts on a later line.
  TSNode def = w->path.size() > pf.depth ? w->path[pf.depth].node : TSNode{};
  if (!ts_node_is_null(def)) {
    uint32_t end = NodeEnd(w->t, def);
    w->anchor_at = end > 0 ? end - 1 : 0;
  }
  w->funcs.pop_back();
}

#endif  // VELMORA_HAVE_TREE_SITTER
