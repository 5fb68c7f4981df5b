// Scope-aware linking over the precise front end's records. Every table is
// keyed by texts (the interned scope and name of the records), so names that
// merely hash alike never meet, and is built once per linking phase: a call
// then costs a few hash probes, one per enclosing scope or base class, never
// a walk over all functions.
#include "xref/scoped_link.h"

#include <cstring>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "engine/record_walk.h"
#include "xref/overloads.h"
#include "xref/scoped_index.h"

namespace {

using namespace scoped;

// Whether f can take argc arguments: defaulted parameters may be left out and
// a variadic list takes any number more. A negative count matches anything.
bool Accepts(const ST_FUNC *f, int argc) {
  if (argc < 0 || f->argc < 0) return true;
  int least = f->argc_min < f->argc ? f->argc_min : f->argc;
  return argc >= least && (f->variadic || argc <= f->argc);
}

// What one call asks of the tables: its name and count, the caller's
// source, the const overload wanted (-1 either), the call itself (for its
// argument types), and where the definitions that tie go.
struct Ask {
  string_view name;
  int argc;
  int sid;
  int want_const;
  const ST_CALL *call;
  std::vector<ST_FUNC *> *tied;
};

string_view ResolveArgument(const ST_CALL *call, int i);
const OverloadTypes kTypes{Derives, IsEnum, ResolveArgument};

// The choice among the definitions of list that take the call's arguments
// (and that keep allows): the one whose parameters fit them best; when
// several fit alike, the usual one (the last in the caller's source, else
// the first) with the others in ask.tied.
template <typename Keep>
ST_FUNC *Pick(const FuncList *list, const Ask &ask, Keep keep) {
  if (!list) return nullptr;
  std::vector<ST_FUNC *> viable;
  for (ST_FUNC *f : *list)
    if (Accepts(f, ask.argc) && keep(f)) viable.push_back(f);
  return ChooseOverload(viable, OverloadAsk{ask.call, ask.sid, ask.want_const, &kTypes}, ask.tied);
}

ST_FUNC *Pick(const FuncList *list, const Ask &ask) {
  return Pick(list, ask, [](const ST_FUNC *) { return true; });
}
// Arguments whose type waits for the tables: an enumerator's enum, a call's
// return type (when every definition it may reach returns the same). The
// calls of calls are followed this deep at most per thread.
thread_local int t_argument_depth = 0;
enum { kMaxArgumentDepth = 3 };
ST_FUNC *Find(const ST_CALL *call, int through_left, std::vector<ST_FUNC *> *tied);

string_view ResolveArgument(const ST_CALL *call, int i) {
  const ST_CALL_FORM *how = call->how;
  string_view written = how && how->arg_types ? how->arg_types[i] : string_view();
  if (!written.empty() && written[0] == '#') {
    auto it = g_scoped.enumerators.find(written.substr(1));
    return it == g_scoped.enumerators.end() ? string_view() : it->second;
  }
  const ST_CALL *inner = how && how->arg_calls ? how->arg_calls[i] : nullptr;
  if (!inner || t_argument_depth >= kMaxArgumentDepth) return string_view();
  t_argument_depth++;
  std::vector<ST_FUNC *> tied;
  const ST_FUNC *f = Find(inner, 2, &tied);
  t_argument_depth--;
  if (!f || !f->return_type) return string_view();
  for (const ST_FUNC *g : tied)
    if (!g->return_type || strcmp(g->return_type, f->return_type) != 0) return string_view();
  // "$0": it returns its first template parameter, which the call names
  // ("@T") or leaves to deduction (not known).
  if (strcmp(f->return_type, "$0") == 0) return written.size() > 1 ? written.substr(1) : "";
  return f->return_type;
}

// A member of the class `scope` (or a function of the namespace `scope`),
// else of its bases, nearest first.
ST_FUNC *FindInClass(string_view scope, const Ask &ask) {
  const ScopedIndex &x = g_scoped;
  if (ST_FUNC *f = Pick(Lookup(x.by_scope, PairKey{scope, ask.name}), ask)) return f;
  auto it = x.classes.find(scope);
  if (it == x.classes.end()) return nullptr;
  for (string_view base : it->second.ancestors) {
    if (ST_FUNC *f = Pick(Lookup(x.by_scope, PairKey{base, ask.name}), ask)) return f;
  }
  return nullptr;
}

// f(): the caller's class and its bases, then each enclosing scope out to
// the global one.
ST_FUNC *FindPlain(string_view from, const Ask &ask) {
  for (string_view p = from;; p = Enclosing(p)) {
    if (ST_FUNC *f = FindInClass(p, ask)) return f;
    if (p.empty()) return nullptr;
  }
}

// When the definitions in list that accept the count (and whose scope keep
// allows) all lie in one scope, the choice among that scope's definitions
// of the name; else nullptr, as no one scope can be meant.
template <typename Keep>
ST_FUNC *FromOneScope(const FuncList *list, const Ask &ask, Keep keep) {
  if (!list) return nullptr;
  bool have = false;
  string_view only;
  for (const ST_FUNC *f : *list) {
    string_view scope = Text(f->scope);
    if (!Accepts(f, ask.argc) || !keep(scope)) continue;
    if (have && scope != only) return nullptr;
    have = true;
    only = scope;
  }
  return have ? Pick(Lookup(g_scoped.by_scope, PairKey{only, ask.name}), ask) : nullptr;
}

// "a::b::" -> "a::".
string_view Outermost(string_view scope) {
  size_t at = scope.find("::");
  return at == string_view::npos ? scope : scope.substr(0, at + 2);
}

// f() found nowhere around the caller: a using-declaration or -directive
// may have brought it from a namespace beside the caller's. Taken when one
// namespace alone, inside the caller's outermost one, defines f for this
// many arguments (a library function of the same name stays unlinked).
ST_FUNC *FindUsed(string_view from, const Ask &ask) {
  string_view top = Outermost(from);
  if (top.empty()) return nullptr;
  return FromOneScope(Lookup(g_scoped.in_namespaces, ask.name), ask,
                      [top](string_view scope) { return Outermost(scope) == top; });
}

// q::f(): q seen from each enclosing scope of the caller, then any scope
// that ends with q. "::f" and "::q::f" start from the global scope.
ST_FUNC *FindQualified(string_view from, string_view q, const Ask &ask) {
  if (q.substr(0, 2) == "::") return FindInClass(q.substr(2), ask);
  std::string key;
  for (string_view p = from;; p = Enclosing(p)) {
    key.assign(p.data(), p.size()).append(q.data(), q.size());
    if (ST_FUNC *f = FindInClass(key, ask)) return f;
    if (p.empty()) break;
  }
  const FuncList *list = Lookup(g_scoped.by_last, PairKey{LastPart(q), ask.name});
  return Pick(list, ask, [q](const ST_FUNC *f) { return EndsAtBoundary(Text(f->scope), q); });
}

// obj.f() in a member of the class `from`, with obj declared nowhere near:
// when obj is a data member of that class or of a base (or an element of
// one, "v[]"), the class it is declared with (*found set; the result null
// when that class is not analysed). The object is const as the call says
// (object_const 1, or 0 for a copy), else as the member's pointer says, else
// as the caller's object (this_const).
ST_FUNC *FindThroughField(string_view from, string_view object, int object_const, int this_const,
                          Ask ask, bool *found) {
  string_view cls;
  int pointee = -2;
  if (!FieldClass(from, object, &cls, &pointee)) return nullptr;
  *found = true;
  if (object_const == 1 || (object_const == 0 && pointee == -2))
    ask.want_const = object_const;
  else
    ask.want_const = pointee == -2 ? this_const : pointee;
  return cls.empty() ? nullptr : FindInClass(cls, ask);
}

// obj.f(), p->f(): the type of obj is not known, so only a name that one
// class alone defines for this many arguments is linked.
ST_FUNC *FindMember(const Ask &ask) {
  return FromOneScope(Lookup(g_scoped.members, ask.name), ask, [](string_view) { return true; });
}

}  // namespace

namespace {

// Calls on a call's result followed back at most: `a().b().c()` chains
// longer than this are left unlinked rather than deepen the recursion.
enum { kMaxThrough = 8 };

// g().f(): the class g returns, when g links to a definition that names
// one, or the class g names when it is a temporary of that class.
ST_FUNC *FindThroughResult(const ST_CALL *call, int through_left, const Ask &ask, bool *found) {
  const ST_CALL *inner = call->how ? call->how->through : nullptr;
  if (through_left <= 0 || !inner || !inner->name) return nullptr;
  const ST_FUNC *caller = call->caller;
  string_view from = caller ? Text(caller->scope) : string_view(), cls;
  std::vector<ST_FUNC *> inner_tied;
  const ST_FUNC *g = Find(inner, through_left - 1, &inner_tied);
  Ask on_result = ask;
  if (g && g->returns) {
    *found = true;
    if (!ResolveType(Text(g->scope), g->returns, &cls)) return nullptr;
    // What it returns is const or not as its definition says, when every
    // definition the inner call may reach says the same.
    on_result.want_const = g->returns_const;
    for (const ST_FUNC *h : inner_tied)
      if (h->returns_const != g->returns_const) on_result.want_const = -1;
  } else {
    // A temporary, `A(...).f()`: the inner call names a class.
    std::string named = inner->scope ? inner->scope : "";
    named.append(inner->name).append("::");
    if (g || !ResolveType(from, named, &cls)) return nullptr;
    *found = true;
    on_result.want_const = 0;  // a temporary is not const
  }
  return FindInClass(cls, on_result);
}

ST_FUNC *Find(const ST_CALL *call, int through_left, std::vector<ST_FUNC *> *tied) {
  tied->clear();
  if (!call || !call->name) return nullptr;
  const ST_FUNC *caller = call->caller;
  string_view from = caller ? Text(caller->scope) : string_view();
  string_view q = Text(call->scope);
  const ST_CALL_FORM *how = call->how;
  Ask ask{call->name, call->argc, caller ? caller->sid : 0, -1, call, tied};
  int this_const = caller && caller->member ? caller->const_this : -1;
  switch (CallForm(call)) {
    case CALL_MEMBER:
      ask.want_const = how->object_const;
      if (how->receiver && *how->receiver) {
        // Declared with a class: that class and its bases, or nothing when
        // it is not analysed (a library type such as a string).
        string_view cls;
        if (!ResolveType(from, how->receiver, &cls)) return nullptr;
        if (how->member) {  // obj.m.f(): m's class, when m has one that is analysed
          string_view holder = cls;
          if (!FieldClass(holder, how->member, &cls) || cls.empty()) return nullptr;
          ask.want_const = -1;
        }
        return FindInClass(cls, ask);
      }
      if (how->through) {
        bool found = false;
        ST_FUNC *f = FindThroughResult(call, through_left, ask, &found);
        if (found) return f;
      }
      if (how->object && caller && caller->member) {
        bool found = false;
        ST_FUNC *f =
            FindThroughField(from, how->object, how->object_const, this_const, ask, &found);
        if (found) return f;
      }
      return FindMember(ask);
    case CALL_THIS:
      ask.want_const = this_const;
      return from.empty() ? nullptr : FindInClass(from, ask);
    default:
      if (!q.empty()) return FindQualified(from, q, ask);
      ask.want_const = this_const;
      if (ST_FUNC *f = FindPlain(from, ask)) return f;
      ask.want_const = -1;
      return FindUsed(from, ask);
  }
}

}  // namespace

ST_FUNC *ScopedFind(const ST_CALL *call, std::vector<ST_FUNC *> *tied) {
  std::vector<ST_FUNC *> none;
  if (!tied) tied = &none;
  tied->clear();
  if (!g_scoped.ready) return nullptr;
  return Find(call, kMaxThrough, tied);
}
