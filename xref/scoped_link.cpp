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

namespace {

using std::string_view;

// A scope with a name (or the last part of a scope with a name).
struct PairKey {
  string_view scope;
  string_view name;
  bool operator==(const PairKey &o) const { return scope == o.scope && name == o.name; }
};

struct PairHash {
  size_t operator()(const PairKey &k) const {
    size_t h = std::hash<string_view>()(k.scope);
    return (h ^ (h >> 17)) * 0x9E3779B97F4A7C15ull + std::hash<string_view>()(k.name);
  }
};

using FuncList = std::vector<ST_FUNC *>;  // in SID, FID order

// Base classes looked through for one class at most: a hierarchy deeper or
// wider than this is cut, so a hostile chain of bases cannot make the tables
// grow with the square of the classes.
enum { kMaxAncestors = 64 };

struct ClassInfo {
  std::vector<string_view> bases;      // the bases found among the analysed classes
  std::vector<string_view> ancestors;  // every base, bases of bases, ...: nearest first, once
};

struct ScopedIndex {
  std::unordered_map<PairKey, FuncList, PairHash> by_scope;  // (scope, name)
  std::unordered_map<PairKey, FuncList, PairHash> by_last;   // (innermost scope part, name)
  std::unordered_map<string_view, FuncList> members;         // name: definitions inside classes
  std::unordered_map<string_view, FuncList> in_namespaces;   // name: namespace functions
  std::unordered_map<string_view, ClassInfo> classes;        // class scope "n::A::"
  std::unordered_map<string_view, std::vector<string_view>> classes_by_last;  // "A": scopes
  std::unordered_map<PairKey, string_view, PairHash> fields;  // (class, member): its class
  std::unordered_set<string_view> inline_namespaces;           // "lib::v2::"
  std::unordered_map<string_view, string_view> class_aliases;  // "lib::A::" -> "lib::v2::A::"
  std::unordered_set<string_view> enums;                       // "E": an enum's name
  std::unordered_map<string_view, string_view> enumerators;    // "E_ONE" -> "E" (the first)
  bool ready = false;
};

// Written by the worker before the linking threads start and after they
// stop; only read in between.
ScopedIndex g_scoped;

string_view Text(const char *s) {
  return s ? string_view(s) : string_view();
}

string_view WithoutTrailingColons(string_view scope) {
  if (scope.size() >= 2 && scope.substr(scope.size() - 2) == "::") scope.remove_suffix(2);
  return scope;
}

// "n::A::" -> "n::" -> "".
string_view Enclosing(string_view scope) {
  string_view inner = WithoutTrailingColons(scope);
  size_t at = inner.rfind("::");
  return at == string_view::npos ? string_view() : scope.substr(0, at + 2);
}

// "n::A::" -> "A".
string_view LastPart(string_view scope) {
  string_view inner = WithoutTrailingColons(scope);
  size_t at = inner.rfind("::");
  return at == string_view::npos ? inner : inner.substr(at + 2);
}

// scope ends with tail, and the tail starts a part of it: "x::n::A::" ends
// with "n::A::" and with "A::", not with "nA::"'s "A::".
bool EndsAtBoundary(string_view scope, string_view tail) {
  if (scope.size() < tail.size() || scope.substr(scope.size() - tail.size()) != tail) return false;
  size_t before = scope.size() - tail.size();
  return before == 0 || (before >= 2 && scope.substr(before - 2, 2) == "::");
}

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

bool Derives(string_view derived, string_view base);
bool IsEnum(string_view name);
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
template <typename Map, typename Key>
const FuncList *Lookup(const Map &map, const Key &key) {
  auto it = map.find(key);
  return it == map.end() ? nullptr : &it->second;
}

// The analysed class a type written as `type` ("A::", "n::A::") names, seen
// from the scope `from`: the innermost enclosing scope that holds it, else
// the one analysed class whose scope ends with it (a namespace brought in by
// a using-directive).
bool ResolveType(string_view from, string_view type, string_view *out) {
  if (type.substr(0, 2) == "::") type.remove_prefix(2);
  std::string key;
  for (string_view p = from;; p = Enclosing(p)) {
    key.assign(p.data(), p.size()).append(type.data(), type.size());
    auto it = g_scoped.classes.find(key);
    if (it != g_scoped.classes.end()) {
      *out = it->first;
      return true;
    }
    auto alias = g_scoped.class_aliases.find(key);
    if (alias != g_scoped.class_aliases.end()) {
      *out = alias->second;
      return true;
    }
    if (p.empty()) break;
  }
  auto same = g_scoped.classes_by_last.find(LastPart(type));
  if (same == g_scoped.classes_by_last.end()) return false;
  int seen = 0;
  for (string_view scope : same->second) {
    if (EndsAtBoundary(scope, type) && seen++ == 0) *out = scope;
  }
  return seen == 1;
}

// A base class as written in the class `from`: as a type seen from there,
// except that a base written from the global scope ("::B") is that class
// alone.
bool ResolveBase(string_view from, string_view base, string_view *out) {
  if (base.substr(0, 2) != "::") return ResolveType(from, base, out);
  auto it = g_scoped.classes.find(base.substr(2));
  if (it != g_scoped.classes.end()) *out = it->first;
  return it != g_scoped.classes.end();
}

// A scope as written from outside its inline namespaces ("lib::v2::A::"
// is "lib::A::" when v2 is inline): interned, or scope itself.
string_view Visible(string_view scope) {
  if (g_scoped.inline_namespaces.empty()) return scope;
  std::string shown;
  bool dropped = false;
  for (size_t from = 0; from < scope.size();) {
    size_t to = scope.find("::", from);
    if (to == string_view::npos) break;
    if (g_scoped.inline_namespaces.count(scope.substr(0, to + 2)))
      dropped = true;
    else
      shown.append(scope.substr(from, to + 2 - from));
    from = to + 2;
  }
  return dropped ? string_view(ANA_Intern(shown.c_str())) : scope;
}

void AddClasses() {
  ForEachSource([](ST_SOURCE *s) {
    CB_ForEach<ST_CLASS>(s->classes, [](const ST_CLASS *c) {
      if (c->kind == CLASS_INLINE_NS && c->scope) g_scoped.inline_namespaces.insert(c->scope);
      if (c->kind != CLASS_ENUMERATION || !c->scope) return;
      g_scoped.enums.insert(LastPart(c->scope));
      for (int i = 0; c->fields && i < c->field_count; i++)
        g_scoped.enumerators.emplace(Text(c->fields[2 * i]), Text(c->fields[2 * i + 1]));
    });
  });
  ForEachSource([](ST_SOURCE *s) {
    CB_ForEach<ST_CLASS>(s->classes, [](const ST_CLASS *c) {
      string_view scope = Text(c->scope);
      if (c->kind != CLASS_RECORD || scope.empty() ||
          !g_scoped.classes.emplace(scope, ClassInfo()).second)
        return;
      string_view shown = Visible(scope);
      if (shown != scope) g_scoped.class_aliases.emplace(shown, scope);
      g_scoped.classes_by_last[LastPart(scope)].push_back(scope);
    });
  });
  // The bases of a class defined twice (a header seen from two places) are
  // those of its first record.
  std::unordered_set<string_view> done;
  ForEachSource([&done](ST_SOURCE *s) {
    CB_ForEach<ST_CLASS>(s->classes, [&done](const ST_CLASS *c) {
      string_view scope = Text(c->scope);
      if (c->kind != CLASS_RECORD || scope.empty() || !done.insert(scope).second) return;
      for (int i = 0; c->fields && i < c->field_count; i++)
        g_scoped.fields.emplace(PairKey{scope, Text(c->fields[2 * i])}, Text(c->fields[2 * i + 1]));
      ClassInfo &info = g_scoped.classes[scope];
      for (int i = 0; c->bases && i < c->base_count; i++) {
        string_view written = Text(c->bases[i]), base;
        if (!written.empty() && ResolveBase(scope, written, &base) && base != scope)
          info.bases.push_back(base);
      }
    });
  });
}

// Every base of a class, the bases of those and so on, breadth first; a
// class met again (a cycle, or a base reached twice) is skipped.
void AddAncestors(string_view self, ClassInfo &info) {
  std::unordered_set<string_view> seen{self};
  auto add = [&](const std::vector<string_view> &bases) {
    for (string_view base : bases) {
      if (info.ancestors.size() >= kMaxAncestors) return;
      if (seen.insert(base).second) info.ancestors.push_back(base);
    }
  };
  add(info.bases);
  for (size_t i = 0; i < info.ancestors.size(); i++)
    add(g_scoped.classes.find(info.ancestors[i])->second.bases);
}

// A definition written outside its class that repeats no default takes as
// few arguments as the class's declaration of it says (same name, same
// number of parameters).
void AddDeclaredDefaults() {
  std::unordered_map<PairKey, std::vector<std::pair<int, int>>, PairHash> declared;
  ForEachSource([&declared](ST_SOURCE *s) {
    CB_ForEach<ST_CLASS>(s->classes, [&declared](const ST_CLASS *c) {
      for (int i = 0; c->default_names && i < c->default_count; i++)
        declared[PairKey{Text(c->scope), Text(c->default_names[i])}].push_back(
            {c->default_counts[2 * i], c->default_counts[2 * i + 1]});
    });
  });
  if (declared.empty()) return;
  ForEachFunction([&declared](ST_FUNC *f) {
    if (!f->name || f->argc_min < f->argc || f->variadic) return;
    auto it = declared.find(PairKey{Text(f->scope), f->name});
    if (it == declared.end()) return;
    for (const auto &d : it->second)
      if (d.first == f->argc && d.second < f->argc_min) f->argc_min = d.second;
  });
}

void AddFunctions() {
  ForEachFunction([](ST_FUNC *f) {
    if (!f->name) return;
    string_view scope = Text(f->scope), name = f->name;
    g_scoped.by_scope[PairKey{scope, name}].push_back(f);
    if (!scope.empty()) g_scoped.by_last[PairKey{LastPart(scope), name}].push_back(f);
    string_view shown = Visible(scope);  // also reached without its inline namespaces
    if (shown != scope) {
      g_scoped.by_scope[PairKey{shown, name}].push_back(f);
      if (!shown.empty()) g_scoped.by_last[PairKey{LastPart(shown), name}].push_back(f);
    }
    if (f->member || g_scoped.classes.count(scope))
      g_scoped.members[name].push_back(f);
    else if (!scope.empty())
      g_scoped.in_namespaces[name].push_back(f);
  });
}

// 1 when a class named derived (a last part) has one named base among its
// ancestors.
bool Derives(string_view derived, string_view base) {
  auto same = g_scoped.classes_by_last.find(derived);
  if (same == g_scoped.classes_by_last.end()) return false;
  for (string_view scope : same->second)
    for (string_view ancestor : g_scoped.classes.find(scope)->second.ancestors)
      if (LastPart(ancestor) == base) return true;
  return false;
}

bool IsEnum(string_view name) {
  return g_scoped.enums.count(name) != 0;
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

// The data member `object` of the class `from` or of a base: false when
// there is none with a class type; else true, with *cls the analysed class
// it is declared with, or empty when that class is not analysed.
bool FieldClass(string_view from, string_view object, string_view *cls) {
  auto own = g_scoped.classes.find(from);
  if (own == g_scoped.classes.end()) return false;
  auto field = g_scoped.fields.find(PairKey{from, object});
  string_view holder = from;
  for (size_t i = 0; field == g_scoped.fields.end() && i < own->second.ancestors.size(); i++) {
    holder = own->second.ancestors[i];
    field = g_scoped.fields.find(PairKey{holder, object});
  }
  if (field == g_scoped.fields.end()) return false;
  if (!ResolveType(holder, field->second, cls)) *cls = string_view();
  return true;
}

// obj.f() in a member of the class `from`, with obj declared nowhere near:
// when obj is a data member of that class or of a base, the class it is
// declared with (*found set; the result null when that class is not
// analysed).
ST_FUNC *FindThroughField(string_view from, string_view object, const Ask &ask, bool *found) {
  string_view cls;
  if (!FieldClass(from, object, &cls)) return nullptr;
  *found = true;
  return cls.empty() ? nullptr : FindInClass(cls, ask);
}

// obj.f(), p->f(): the type of obj is not known, so only a name that one
// class alone defines for this many arguments is linked.
ST_FUNC *FindMember(const Ask &ask) {
  return FromOneScope(Lookup(g_scoped.members, ask.name), ask, [](string_view) { return true; });
}

}  // namespace

void ScopedIndexBuild(void) {
  ScopedIndexDrop();
  AddClasses();
  for (auto &entry : g_scoped.classes) AddAncestors(entry.first, entry.second);
  AddDeclaredDefaults();
  AddFunctions();
  g_scoped.ready = true;
}

void ScopedIndexDrop(void) {
  g_scoped = ScopedIndex();
}

int ScopedIndexReady(void) {
  return g_scoped.ready ? 1 : 0;
}

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
        ask.want_const = this_const;  // a data member of a const member's object is const
        ST_FUNC *f = FindThroughField(from, how->object, ask, &found);
        if (found) return f;
        ask.want_const = -1;
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
