// The tables of scope-aware linking (scoped_link.cpp), built once per
// linking phase from every source's functions, classes, enums and inline
// namespaces, and only read while the linking threads run. Internal to
// xref/: scoped_link.cpp and scoped_index.cpp include it.
#pragma once

#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "engine/ana.h"

namespace scoped {

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
  std::unordered_map<PairKey, string_view, PairHash> fields;   // (class, member): its class
  std::unordered_set<string_view> inline_namespaces;           // "lib::v2::"
  std::unordered_map<string_view, string_view> class_aliases;  // "lib::A::" -> "lib::v2::A::"
  std::unordered_set<string_view> enums;                       // "E": an enum's name
  std::unordered_map<string_view, string_view> enumerators;    // "E_ONE" -> "E" (the first)
  bool ready = false;
};

// Written by the worker before the linking threads start and after they
// stop; only read in between.
extern ScopedIndex g_scoped;

inline string_view Text(const char *s) {
  return s ? string_view(s) : string_view();
}

inline string_view WithoutTrailingColons(string_view scope) {
  if (scope.size() >= 2 && scope.substr(scope.size() - 2) == "::") scope.remove_suffix(2);
  return scope;
}

// "n::A::" -> "n::" -> "".
inline string_view Enclosing(string_view scope) {
  string_view inner = WithoutTrailingColons(scope);
  size_t at = inner.rfind("::");
  return at == string_view::npos ? string_view() : scope.substr(0, at + 2);
}

// "n::A::" -> "A".
inline string_view LastPart(string_view scope) {
  string_view inner = WithoutTrailingColons(scope);
  size_t at = inner.rfind("::");
  return at == string_view::npos ? inner : inner.substr(at + 2);
}

// scope ends with tail, and the tail starts a part of it: "x::n::A::" ends
// with "n::A::" and with "A::", not with "nA::"'s "A::".
inline bool EndsAtBoundary(string_view scope, string_view tail) {
  if (scope.size() < tail.size() || scope.substr(scope.size() - tail.size()) != tail) return false;
  size_t before = scope.size() - tail.size();
  return before == 0 || (before >= 2 && scope.substr(before - 2, 2) == "::");
}

template <typename Map, typename Key>
const FuncList *Lookup(const Map &map, const Key &key) {
  auto it = map.find(key);
  return it == map.end() ? nullptr : &it->second;
}

// The analysed class a type written as `type` ("A::", "n::A::") names, seen
// from the scope `from`, into *out; false when it names none.
bool ResolveType(string_view from, string_view type, string_view *out);
// The data member `object` of the class `from` or of a base: false when
// there is none with a class type; else true, with *cls the analysed class
// it is declared with, or empty when that class is not analysed. *pointee
// (when not null) says how const what a call reaches through it is: 0 or 1
// for a pointer or reference to a non-const or const object, -1 not known,
// -2 an object held by value (as const as the object holding it).
bool FieldClass(string_view from, string_view object, string_view *cls, int *pointee = nullptr);
// 1 when a class named derived (a last part) has one named base among its
// ancestors.
bool Derives(string_view derived, string_view base);
// 1 when name (a last part) names an enum of the analysed code.
bool IsEnum(string_view name);
// Fills g_scoped from every source's records (g_scoped empty before).
void Build();

}  // namespace scoped
