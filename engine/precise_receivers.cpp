// The declared class of the object a member call goes through (`info.f()`,
// `impl_->f()`): the linker can then look for f in that class instead of
// guessing among every class that defines an f. Only what is written near
// the call is read: the declarations before it in the blocks around it, the
// function's parameters and the members of the classes around an in-class
// definition. A type behind `auto`, a typedef or a call stays unknown.
#ifdef VELMORA_HAVE_TREE_SITTER

#include <algorithm>
#include <cstring>
#include <string>

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
// none of them); *desc the type descriptor that holds it (`const T`).
TSNode Wrapped(const PreciseGrammar &g, const PreciseText &t, TSNode type, TSNode *desc = nullptr) {
  TSNode tt = type;
  while (!ts_node_is_null(tt) && ts_node_symbol(tt) == g.qualified_identifier)
    tt = ts_node_child_by_field_id(tt, g.f_name);
  if (ts_node_is_null(tt) || ts_node_symbol(tt) != g.template_type) return TSNode{};
  TSNode name = ts_node_child_by_field_id(tt, g.f_name);
  if (ts_node_is_null(name) || !Wrapper(t, NodeStart(t, name), NodeEnd(t, name))) return TSNode{};
  TSNode args = ts_node_named_child(tt, ts_node_named_child_count(tt) - 1);
  TSNode first = ts_node_is_null(args) ? args : ts_node_named_child(args, 0);
  if (ts_node_is_null(first) || ts_node_symbol(first) != g.type_descriptor) return TSNode{};
  if (desc) *desc = first;
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

// 1 when the template named by the text [from, to) is a standard container
// whose first template argument is its element type.
bool StdContainer(const PreciseText &t, uint32_t from, uint32_t to) {
  static const char *const kContainers[] = {
      "vector", "list",     "deque",           "forward_list",
      "set",    "multiset", "unordered_set",   "unordered_multiset",
      "array",  "span",     "initializer_list"};
  char name[80];
  size_t n = precise_clean_text(t, from, to, name, sizeof name, 0);
  const char *p = name;
  if (n >= 2 && p[0] == ':' && p[1] == ':') p += 2;
  if (strncmp(p, "std::", 5) != 0) return false;
  for (const char *c : kContainers)
    if (strcmp(p + 5, c) == 0) return true;
  return false;
}

}  // namespace

int precise_element_of(PreciseWalk *w, TSNode type, char *out, size_t cap, int *pointee) {
  const PreciseGrammar &g = *w->g;
  TSNode tt = type;
  while (!ts_node_is_null(tt) && ts_node_symbol(tt) == g.qualified_identifier)
    tt = ts_node_child_by_field_id(tt, g.f_name);
  if (ts_node_is_null(tt) || ts_node_symbol(tt) != g.template_type) return 0;
  TSNode name = ts_node_child_by_field_id(tt, g.f_name);
  if (ts_node_is_null(name) || !StdContainer(w->t, NodeStart(w->t, type), NodeEnd(w->t, name)))
    return 0;
  uint32_t n = ts_node_named_child_count(tt);
  TSNode args = n ? ts_node_named_child(tt, n - 1) : TSNode{};
  TSNode first = ts_node_is_null(args) ? args : ts_node_named_child(args, 0);
  if (ts_node_is_null(first) || ts_node_symbol(first) != g.type_descriptor) return 0;
  TSNode elem = ts_node_child_by_field_id(first, g.f_type);
  TSNode d = ts_node_child_by_field_id(first, g.f_declarator);
  TSNode held_desc;
  if (!ts_node_is_null(Wrapped(g, w->t, elem, &held_desc))) {
    if (!ts_node_is_null(d)) return 0;
    *pointee = precise_declared_const(w, held_desc, TSNode{});  // unique_ptr<const T>
    return ClassOf(g, w->t, elem, out, cap, true) ? 1 : 0;
  }
  if (ts_node_is_null(d)) {
    *pointee = -2;
  } else if (ts_node_symbol(d) == g.abstract_pointer_declarator &&
             ts_node_is_null(ts_node_child_by_field_id(d, g.f_declarator))) {
    *pointee = precise_declared_const(w, first, d);
  } else {
    return 0;  // a pointer to a pointer, a function type
  }
  return ClassOf(g, w->t, elem, out, cap, false) ? 1 : 0;
}

int precise_class_of(PreciseWalk *w, TSNode type, char *out, size_t cap) {
  return ClassOf(*w->g, w->t, type, out, cap) ? 1 : 0;
}

namespace {

// The mark a data member's class text starts with, for how the constness of
// what a call reaches through it is known (see ST_CLASS.fields).
char PointeeMark(int pointee) {
  return pointee == -2 ? 0 : pointee == -1 ? '?' : pointee ? '^' : '*';
}

// Appends one (name, marked class) pair; false when the table is full.
bool AddField(const char **pairs, int *count, int max, const std::string &name, char mark,
              const char *cls) {
  if (*count >= max) return false;
  std::string marked = mark ? std::string(1, mark) + cls : std::string(cls);
  pairs[2 * *count] = ANA_Intern(name.c_str());
  pairs[2 * *count + 1] = ANA_Intern(marked.c_str());
  return ++*count < max;
}

}  // namespace

void precise_record_fields(PreciseWalk *w, TSNode body, ST_CLASS *k) {
  const PreciseGrammar &g = *w->g;
  enum { kMaxFields = 64 };  // a class with more keeps its first ones
  const char *pairs[2 * kMaxFields];
  int count = 0;
  ForEachChild(body, [&](TSNode decl) {
    if (count >= kMaxFields || ts_node_symbol(decl) != g.field_declaration) return;
    TSNode type_node = ts_node_child_by_field_id(decl, g.f_type);
    char type[260], element[260];
    int elem_pointee = -2;
    bool is_class = ClassOf(g, w->t, type_node, type, sizeof type);
    bool is_container =
        precise_element_of(w, type_node, element, sizeof element, &elem_pointee) != 0;
    if (!is_class && !is_container) return;
    TSNode held_desc;
    bool wrapped = !ts_node_is_null(Wrapped(g, w->t, type_node, &held_desc));
    ForEachDeclaredName(g, decl, [&](TSNode id, TSNode d) {
      char name[64];
      precise_clean_text(w->t, NodeStart(w->t, id), NodeEnd(w->t, id), name, sizeof name, 0);
      if (ts_node_symbol(d) == g.init_declarator) d = ts_node_child_by_field_id(d, g.f_declarator);
      TSSymbol ds = ts_node_is_null(d) ? 0 : ts_node_symbol(d);
      bool through = ds == g.pointer_declarator || ds == g.reference_declarator;
      int pointee = wrapped && through ? -1
                    : wrapped          ? precise_declared_const(w, held_desc, TSNode{})
                    : through          ? precise_declared_const(w, decl, d)
                                       : -2;
      if (is_class && !AddField(pairs, &count, kMaxFields, name, PointeeMark(pointee), type))
        return false;
      // An element of a container member (`suites_[i]->f()`, a range for
      // over it): "suites_[]", "[]*" when it is reached through a pointer.
      if (is_container && (ds == g.field_identifier || ds == g.identifier)) {
        std::string e = std::string(name) + (elem_pointee == -2 ? "[]" : "[]*");
        if (!AddField(pairs, &count, kMaxFields, e, PointeeMark(elem_pointee), element))
          return false;
      }
      return true;
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

// The variable a range for declares (`for (auto* s : suites)`), when it is
// name and byte at is in the loop's body.
bool InRangeFor(PreciseWalk *w, TSNode loop, std::string_view name, uint32_t at,
                PreciseDecls::Entry *found) {
  const PreciseGrammar &g = *w->g;
  TSNode declarator = ts_node_child_by_field_id(loop, g.f_declarator);
  TSNode id = DeclaredName(g, declarator);
  TSNode body = ts_node_child_by_field_id(loop, g.f_body);
  if (ts_node_is_null(id) || ts_node_is_null(body) || at < NodeStart(w->t, body)) return false;
  uint32_t from = NodeStart(w->t, id);
  if (std::string_view(w->t.text + from, NodeEnd(w->t, id) - from) != name) return false;
  *found = PreciseDecls::Entry{NodeStart(w->t, loop), ts_node_child_by_field_id(loop, g.f_type),
                               loop, declarator};
  return true;
}

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
    } else if (i > fn_depth && e.sym == g.for_range_loop) {
      if (InRangeFor(w, e.node, name, at, found)) return true;
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

void precise_element_receiver(PreciseWalk *w, TSNode object, uint32_t at, int arrow,
                              PreciseCall *pc) {
  const PreciseGrammar &g = *w->g;
  TSNode range;
  int declared = -1;  // what the loop variable's own declaration says of its constness
  if (ts_node_symbol(object) == g.subscript_expression) {
    range = ts_node_child_by_field_id(object, g.f_argument);
  } else {
    PreciseDecls::Entry loop;
    if (!FindDeclaration(w, object, at, &loop) || ts_node_symbol(loop.decl) != g.for_range_loop ||
        ts_node_is_null(loop.type) || ts_node_symbol(loop.type) != g.placeholder_type_specifier)
      return;
    TSSymbol ds = ts_node_is_null(loop.declarator) ? 0 : ts_node_symbol(loop.declarator);
    if (precise_declared_const(w, loop.decl, loop.declarator))
      declared = 1;
    else if (!arrow && ds == g.identifier)
      declared = 0;  // `auto x`: a copy of the element
    range = ts_node_child_by_field_id(loop.decl, g.f_right);
    at = loop.at;
  }
  while (!ts_node_is_null(range) && ts_node_symbol(range) == g.parenthesized_expression)
    range = ts_node_named_child(range, 0);
  if (ts_node_is_null(range) || ts_node_symbol(range) != g.identifier) return;
  PreciseDecls::Entry held;
  if (FindDeclaration(w, range, at, &held)) {
    char cls[260];
    int pointee = -2;
    if (!precise_element_of(w, held.type, cls, sizeof cls, &pointee)) return;
    // `->` on an element held by value is that element's own operator.
    if ((pointee != -2) != (arrow != 0)) return;
    CopyText(pc->receiver, sizeof pc->receiver, cls);
    if (declared >= 0) {
      pc->object_const = declared;
    } else if (pointee >= 0) {
      pc->object_const = pointee;
    } else if (precise_declared_const(w, held.decl, held.declarator)) {
      pc->object_const = 1;  // held by value: as const as the container
    } else {
      // A data member's constness is its object's, which is not known here.
      pc->object_const = ts_node_symbol(held.decl) == g.field_declaration ? -1 : 0;
    }
    return;
  }
  // Declared nowhere near: maybe a data member of the caller's class, whose
  // element the linker looks up ("suites_[]*", see precise_record_fields).
  size_t n = precise_clean_text(w->t, NodeStart(w->t, range), NodeEnd(w->t, range), pc->object,
                                sizeof pc->object - 4, 0);
  if (n == 0) return;
  CopyText(pc->object + n, sizeof pc->object - n, arrow ? "[]*" : "[]");
  pc->object_const = declared;
}

#endif  // VELMORA_HAVE_TREE_SITTER
