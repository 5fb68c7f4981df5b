// The requests about names: workspace/symbol (the ranked search of the query
// layer, or while the first analysis runs the functions parsed so far) and
// textDocument/documentSymbol (the functions of a file, methods under their
// class where the precise parser knows it).
#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "lsp/answers.h"
#include "lsp/places.h"
#include "lsp/uri.h"
#include "platform/codepage.h"

namespace {

// workspace/symbol answers at most this many.
constexpr int kMaxSymbols = 200;

// The scope as a container name: "n::A::" -> "n::A".
std::string Container(const std::string &scope) {
  if (scope.size() >= 2 && scope.compare(scope.size() - 2, 2, "::") == 0)
    return scope.substr(0, scope.size() - 2);
  return scope;
}

std::string Folded(std::string text) {
  for (char &c : text)
    if (c >= 'a' && c <= 'z') c = (char)(c - 32);
  return text;
}

Json RangeOf(Session &s, const std::string &path, int line, int column, int len) {
  auto lines = s.texts.Lines(path);
  ClientPosition a = lines->ToClient(line, column, s.encoding);
  ClientPosition b = lines->ToClient(line, column + len, s.encoding);
  return Json{{"start", {{"line", a.line}, {"character", a.character}}},
              {"end", {{"line", b.line}, {"character", b.character}}}};
}

// The search over the functions parsed so far, ranked as the query layer
// ranks: the same text, the same but for case, a prefix, a substring; then
// shorter texts first, then the order parsed.
Json SearchParsed(Session &s, const std::string &query) {
  bool scoped = query.find("::") != std::string::npos;
  std::string needle = Folded(query);
  struct Hit {
    int kind;
    size_t len;
    size_t at;
  };
  std::vector<Hit> hits;
  for (size_t i = 0; i < s.parsed.size(); i++) {
    const ParsedSymbol &p = s.parsed[i];
    std::string text = scoped ? p.scope + p.name : p.name;
    size_t pos = Folded(text).find(needle);
    if (pos == std::string::npos) continue;
    int kind = pos > 0 ? 3 : text.size() != query.size() ? 2 : text == query ? 0 : 1;
    hits.push_back(Hit{kind, text.size(), i});
  }
  std::stable_sort(hits.begin(), hits.end(), [](const Hit &a, const Hit &b) {
    return a.kind != b.kind ? a.kind < b.kind : a.len < b.len;
  });
  Json out = Json::array();
  for (size_t k = 0; k < hits.size() && k < (size_t)kMaxSymbols; k++) {
    const ParsedSymbol &p = s.parsed[hits[k].at];
    std::string name_sjis = Utf8ToSjis(p.name);
    out.push_back(
        Json{{"name", p.name},
             {"kind", p.member ? 6 : 12},
             {"containerName", Container(p.scope)},
             {"location",
              {{"uri", PathToUri(p.path)},
               {"range", RangeOf(s, p.path, p.name_line, p.name_column, (int)name_sjis.size())}}}});
  }
  return out;
}

Json SymbolInformation(Session &s, const QueryFunction &f) {
  return Json{{"name", Utf8(f.name)},
              {"kind", SymbolKindOf(f)},
              {"containerName", Container(Utf8(f.scope))},
              {"location", NameLocation(s, f)}};
}

}  // namespace

Answer WorkspaceSymbols(Session &s, const Json &params) {
  Answer a;
  std::string query;
  if (!GetString(params, "query", &query)) return InvalidParams("query is missing");
  a.result = Json::array();
  if (query.empty()) return a;  // every function of a large tree is no answer
  if (!s.query) {
    a.result = SearchParsed(s, query);
    return a;
  }
  std::string text = Utf8ToSjis(query);
  for (const QueryHit &h : Query_Search(s.query, text.c_str(), kMaxSymbols))
    a.result.push_back(SymbolInformation(s, h.function));
  return a;
}

Answer DocumentSymbols(Session &s, const Json &params) {
  Answer a;
  std::string path;
  int sid;
  if (!ReadDocument(s, params, &path, &sid, &a)) return a;
  a.result = Json::array();
  std::vector<QueryFunction> funcs = Query_FunctionsOf(s.query, sid);
  if (!s.hierarchical_symbols) {
    for (const QueryFunction &f : funcs) a.result.push_back(SymbolInformation(s, f));
    return a;
  }
  // Members of one class go under one symbol of that class, placed where its
  // first member is and spanning its members.
  std::map<std::string, size_t> classes;
  for (const QueryFunction &f : funcs) {
    Json sym{{"name", Utf8(f.name)},
             {"detail", Container(Utf8(f.scope))},
             {"kind", SymbolKindOf(f)},
             {"range", FullRange(s, f)},
             {"selectionRange", NameRange(s, f)}};
    if (!f.member || !*f.scope) {
      a.result.push_back(std::move(sym));
      continue;
    }
    std::string scope = Container(Utf8(f.scope));
    auto it = classes.find(scope);
    if (it == classes.end()) {
      size_t cut = scope.rfind("::");
      std::string name = cut == std::string::npos ? scope : scope.substr(cut + 2);
      Json cls{{"name", name},
               {"detail", scope},
               {"kind", 5},
               {"range", sym["range"]},
               {"selectionRange", sym["selectionRange"]},
               {"children", Json::array()}};
      it = classes.emplace(scope, a.result.size()).first;
      a.result.push_back(std::move(cls));
    }
    Json &cls = a.result[it->second];
    cls["range"]["end"] = sym["range"]["end"];
    cls["children"].push_back(std::move(sym));
  }
  return a;
}
