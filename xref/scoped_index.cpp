// The tables of scope-aware linking (see scoped_index.h): functions by
// scope and name, classes with their ancestors and data members, enums with
// their enumerators, inline namespaces, and the defaults a class declares
// for members defined outside it.
#include "xref/scoped_index.h"

#include "engine/record_walk.h"
#include "xref/scoped_link.h"

namespace scoped {

// Written by the worker before the linking threads start and after they
// stop; only read in between.
ScopedIndex g_scoped;

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

namespace {

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

// `using B = A;` of an analysed class: B names A. An alias that names
// another class where it is written again (an `#if` twin) names neither.
void AddTypeAliases() {
  std::unordered_map<string_view, string_view> named;
  std::unordered_set<string_view> twice;
  ForEachSource([&](ST_SOURCE *s) {
    CB_ForEach<ST_CLASS>(s->classes, [&](const ST_CLASS *c) {
      string_view scope = Text(c->scope), cls;
      if (c->kind != CLASS_ALIAS || scope.empty() || c->base_count != 1 ||
          g_scoped.classes.count(scope) ||
          !ResolveType(Enclosing(scope), Text(c->bases[0]), &cls) || cls == scope)
        return;
      auto put = named.emplace(scope, cls);
      if (!put.second && put.first->second != cls) twice.insert(scope);
    });
  });
  for (const auto &a : named)
    if (!twice.count(a.first)) g_scoped.class_aliases.emplace(a.first, a.second);
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
  AddTypeAliases();
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

}  // namespace

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

// The data member `object` of the class `from` or of a base: false when
// there is none with a class type; else true, with *cls the analysed class
// it is declared with, or empty when that class is not analysed.
bool FieldClass(string_view from, string_view object, string_view *cls, int *pointee) {
  auto own = g_scoped.classes.find(from);
  if (own == g_scoped.classes.end()) return false;
  auto field = g_scoped.fields.find(PairKey{from, object});
  string_view holder = from;
  for (size_t i = 0; field == g_scoped.fields.end() && i < own->second.ancestors.size(); i++) {
    holder = own->second.ancestors[i];
    field = g_scoped.fields.find(PairKey{holder, object});
  }
  if (field == g_scoped.fields.end()) return false;
  string_view type = field->second;
  char mark = type.empty() ? 0 : type[0];
  int how = mark == '*' ? 0 : mark == '^' ? 1 : mark == '?' ? -1 : -2;
  if (how != -2) type.remove_prefix(1);
  if (pointee) *pointee = how;
  if (!ResolveType(holder, type, cls)) *cls = string_view();
  return true;
}

void Build() {
  AddClasses();
  for (auto &entry : g_scoped.classes) AddAncestors(entry.first, entry.second);
  AddDeclaredDefaults();
  AddFunctions();
  g_scoped.ready = true;
}

}  // namespace scoped

void ScopedIndexBuild(void) {
  ScopedIndexDrop();
  scoped::Build();
}

void ScopedIndexDrop(void) {
  scoped::g_scoped = scoped::ScopedIndex();
}

int ScopedIndexReady(void) {
  return scoped::g_scoped.ready ? 1 : 0;
}
