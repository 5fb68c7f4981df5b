// Calls as the precise front end reads them: the called name as written
// with its qualifier, how it was reached (a name alone, a qualified name, a
// member of an object, a member through this), the arguments passed and the
// line, relative to the body's opening brace as the statement parser counts
// it. A call through anything that has no name (a pointer, a lambda, the
// result of another call) is not a call of a function the lists can show.
#ifdef VELMORA_HAVE_TREE_SITTER

#include "engine/precise_internal.h"
#include "foundation/text.h"

namespace {

bool Nameable(const PreciseGrammar &g, TSSymbol s) {
  return s == g.identifier || s == g.qualified_identifier || s == g.template_function ||
         s == g.field_identifier || s == g.destructor_name || s == g.operator_name ||
         s == g.template_method;
}

// The arguments passed: the list's expressions; comments and what could not
// be read ("f(1,)") left out.
// One cursor over the list: the library finds the i-th child by counting
// from the first, so indexing would cost the square of the arguments.
int ArgumentCount(const PreciseGrammar &g, TSNode args) {
  if (ts_node_is_null(args)) return 0;
  int argc = 0;
  TSTreeCursor c = ts_tree_cursor_new(args);
  for (bool more = ts_tree_cursor_goto_first_child(&c); more;
       more = ts_tree_cursor_goto_next_sibling(&c)) {
    TSNode n = ts_tree_cursor_current_node(&c);
    TSSymbol s = ts_node_symbol(n);
    argc += ts_node_is_named(n) && s != g.comment && s != kErrorSymbol;
  }
  ts_tree_cursor_delete(&c);
  return argc;
}

// Where the called name of the call node starts (the field of `a.g()`),
// UINT32_MAX when it has none.
uint32_t CalledNameStart(const PreciseGrammar &g, const PreciseText &t, TSNode call) {
  TSNode fn = ts_node_child_by_field_id(call, g.f_function);
  if (!ts_node_is_null(fn) && ts_node_symbol(fn) == g.field_expression)
    fn = ts_node_child_by_field_id(fn, g.f_field);
  return ts_node_is_null(fn) ? UINT32_MAX : NodeStart(t, fn);
}

// obj.m.f(), obj->m.f(), this->m.f(): the class obj is declared with (the
// caller's own for this) into pc's receiver and m into its member; nothing
// when obj's class is not known.
void MemberOfMember(PreciseWalk *w, TSNode object, uint32_t at, PreciseCall *pc) {
  const PreciseGrammar &g = *w->g;
  TSNode inner = ts_node_child_by_field_id(object, g.f_argument);
  TSNode field = ts_node_child_by_field_id(object, g.f_field);
  if (ts_node_is_null(inner) || ts_node_is_null(field) ||
      ts_node_symbol(field) != g.field_identifier)
    return;
  char holder[260] = "";
  if (ts_node_symbol(inner) == g.this_expr) {
    const ST_FUNC *f = w->funcs.back().func;
    if (f && f->member && f->scope) CopyText(holder, sizeof holder, f->scope);
  } else {
    TSNode op = ts_node_child_by_field_id(object, g.f_operator);
    int arrow = !ts_node_is_null(op) && NodeEnd(w->t, op) - NodeStart(w->t, op) == 2;
    precise_receiver_type(w, inner, at, arrow, holder, sizeof holder);
  }
  if (!holder[0]) return;
  CopyText(pc->receiver, sizeof pc->receiver, holder);
  precise_clean_text(w->t, NodeStart(w->t, field), NodeEnd(w->t, field), pc->member,
                     sizeof pc->member, 0);
}

}  // namespace

void precise_enter_call(PreciseWalk *w) {
  const PreciseGrammar &g = *w->g;
  TSNode call = w->path.back().node;
  TSNode fn = ts_node_child_by_field_id(call, g.f_function);
  if (ts_node_is_null(fn)) return;
  PreciseCall pc;
  pc.receiver[0] = 0;
  pc.object[0] = 0;
  pc.member[0] = 0;
  pc.through = UINT32_MAX;
  pc.object_const = -1;
  TSNode name = fn, object{};
  if (ts_node_symbol(fn) == g.field_expression) {
    object = ts_node_child_by_field_id(fn, g.f_argument);
    // (a.b())->f(), (obj).f(): the parentheses change nothing
    while (!ts_node_is_null(object) && ts_node_symbol(object) == g.parenthesized_expression &&
           ts_node_named_child_count(object) == 1)
      object = ts_node_named_child(object, 0);
    name = ts_node_child_by_field_id(fn, g.f_field);
    pc.form =
        !ts_node_is_null(object) && ts_node_symbol(object) == g.this_expr ? CALL_THIS : CALL_MEMBER;
  } else {
    pc.form = CALL_PLAIN;
  }
  if (ts_node_is_null(name) || !Nameable(g, ts_node_symbol(name))) return;
  if (pc.form == CALL_PLAIN && precise_basic_word(w->t, name)) return;  // unsigned(1): a conversion
  if (!precise_name_of(g, w->t, name, &pc.name)) return;
  if (pc.name.qualifier[0]) pc.form = CALL_QUALIFIED;
  TSNode args = ts_node_child_by_field_id(call, g.f_arguments);
  pc.at = NodeStart(w->t, name);
  pc.name_at = precise_name_place(g, name);
  pc.argc = ArgumentCount(g, args);
  if (g.cpp) {  // C has no overloads to tell apart
    precise_each_named_child(args, [&](TSNode a) {
      TSSymbol s = ts_node_symbol(a);
      if (s == g.comment || s == kErrorSymbol) return;
      pc.args.push_back(precise_arg_type(w, a, pc.at));
      const std::string &type = pc.args.back();
      pc.arg_calls.push_back(!type.empty() && type[0] == '@' ? CalledNameStart(g, w->t, a)
                                                             : UINT32_MAX);
    });
  }
  if (pc.form == CALL_MEMBER) {
    TSNode op = ts_node_child_by_field_id(fn, g.f_operator);
    int arrow = !ts_node_is_null(op) && NodeEnd(w->t, op) - NodeStart(w->t, op) == 2;
    precise_receiver_type(w, object, pc.at, arrow, pc.receiver, sizeof pc.receiver);
    TSNode decl, declarator;
    if (g.cpp && pc.receiver[0] && precise_find_declaration(w, object, pc.at, &decl, &declarator))
      pc.object_const = precise_declared_const(w, decl, declarator);
    if (g.cpp && !pc.receiver[0] && !ts_node_is_null(object))
      precise_element_receiver(w, object, pc.at, arrow, &pc);
    if (!ts_node_is_null(object) && ts_node_symbol(object) == g.call_expression)
      pc.through = CalledNameStart(g, w->t, object);
    if (!pc.receiver[0] && !pc.object[0] && ts_node_symbol(object) == g.identifier)
      precise_clean_text(w->t, NodeStart(w->t, object), NodeEnd(w->t, object), pc.object,
                         sizeof pc.object, 0);
    if (!ts_node_is_null(object) && ts_node_symbol(object) == g.field_expression)
      MemberOfMember(w, object, pc.at, &pc);
  }
  PreciseFunc &f = w->funcs.back();
  TSNode end = ts_node_is_null(args) ? call : args;
  pc.line = (int)ts_node_end_point(end).row + 1 - f.body_row;
  pc.nest = w->brackets + 1;
  f.calls.push_back(pc);
}

#endif  // VELMORA_HAVE_TREE_SITTER
