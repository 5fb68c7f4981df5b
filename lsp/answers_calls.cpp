// The requests about calls, each a function over the query layer: the call
// hierarchy (prepare, incoming, outgoing), go to definition and find
// references. Places come in and go out through places.h.
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "lsp/answers.h"
#include "lsp/places.h"
#include "lsp/uri.h"

namespace {

// The function a place means: the definition a call there reaches, else
// the function whose text holds the place. false when neither is there.
bool FunctionMeant(Session &s, const DocPlace &at, QueryFunction *out) {
  QueryCall c;
  if (Query_CallAt(s.query, at.sid, at.line, at.column, &c))
    return c.to_sid && Query_Function(s.query, c.to_sid, c.to_fid, out);
  return Query_FunctionAt(s.query, at.sid, at.line, at.column, out);
}

// Whether the place is on f's name.
bool OnName(const QueryFunction &f, const DocPlace &at) {
  return at.line == f.name_line && at.column >= f.name_column &&
         at.column <= f.name_column + (int)strlen(f.name);
}

// The function of params.item: false with *a the answer to give (invalid
// params, or an empty list when the item names no function now).
bool ItemOfParams(Session &s, const Json &params, QueryFunction *f, Answer *a) {
  a->result = Json::array();
  const Json *item = GetObject(params, "item");
  if (!item) {
    *a = InvalidParams("item is missing");
    return false;
  }
  return ItemFunction(s, *item, f, a);
}

}  // namespace

Answer PrepareCallHierarchy(Session &s, const Json &params) {
  Answer a;
  DocPlace at;
  if (!ReadDocPlace(s, params, &at, &a)) return a;
  QueryFunction f;
  a.result = Json(nullptr);
  if (at.sid && FunctionMeant(s, at, &f)) a.result = Json::array({HierarchyItem(s, f)});
  return a;
}

Answer IncomingCalls(Session &s, const Json &params) {
  Answer a;
  QueryFunction f;
  if (!ItemOfParams(s, params, &f, &a)) return a;
  // The callers in SID, FID order, each with the places of its calls.
  std::vector<QueryCall> calls = Query_CallersOf(s.query, f.sid, f.fid);
  for (size_t i = 0; i < calls.size();) {
    QueryFunction caller;
    size_t j = i;
    while (j < calls.size() && calls[j].sid == calls[i].sid && calls[j].fid == calls[i].fid) j++;
    if (Query_Function(s.query, calls[i].sid, calls[i].fid, &caller)) {
      Json ranges = Json::array();
      for (size_t k = i; k < j; k++) ranges.push_back(CallRange(s, caller.path, calls[k]));
      a.result.push_back(Json{{"from", HierarchyItem(s, caller)}, {"fromRanges", ranges}});
    }
    i = j;
  }
  return a;
}

Answer OutgoingCalls(Session &s, const Json &params) {
  Answer a;
  QueryFunction f;
  if (!ItemOfParams(s, params, &f, &a)) return a;
  // One entry per function reached (or per name no source defines), in the
  // order of the first call of each, with the places of all its calls.
  std::vector<Json> entries;
  std::map<std::string, size_t> slot;
  for (const QueryCall &c : Query_CallsOf(s.query, f.sid, f.fid)) {
    QueryFunction to;
    bool linked = c.to_sid && Query_Function(s.query, c.to_sid, c.to_fid, &to);
    std::string key = linked ? std::to_string(c.to_sid) + ":" + std::to_string(c.to_fid)
                             : "?" + NameText(c.call_scope, c.call_name);
    Json range = CallRange(s, f.path, c);
    auto it = slot.find(key);
    if (it != slot.end()) {
      entries[it->second]["fromRanges"].push_back(range);
      continue;
    }
    Json target;
    if (linked) {
      target = HierarchyItem(s, to);
    } else {
      // No source defines it: the name alone, placed at this call.
      target = Json{{"name", NameText(c.call_scope, c.call_name)},
                    {"kind", 12},
                    {"detail", "not defined in the workspace"},
                    {"uri", PathToUri(f.path)},
                    {"range", range},
                    {"selectionRange", range}};
    }
    slot[key] = entries.size();
    entries.push_back(Json{{"to", target}, {"fromRanges", Json::array({range})}});
  }
  for (Json &e : entries) a.result.push_back(std::move(e));
  return a;
}

Answer Definition(Session &s, const Json &params) {
  Answer a;
  DocPlace at;
  if (!ReadDocPlace(s, params, &at, &a)) return a;
  a.result = Json::array();
  if (!at.sid) return a;
  QueryCall c;
  if (Query_CallAt(s.query, at.sid, at.line, at.column, &c)) {
    for (const QueryFunction &f : Query_DefinitionsOf(s.query, c))
      a.result.push_back(NameLocation(s, f));
    return a;
  }
  QueryFunction f;
  if (Query_FunctionAt(s.query, at.sid, at.line, at.column, &f) && OnName(f, at))
    a.result.push_back(NameLocation(s, f));
  return a;
}

Answer References(Session &s, const Json &params) {
  Answer a;
  DocPlace at;
  if (!ReadDocPlace(s, params, &at, &a)) return a;
  bool with_declaration = false;
  if (const Json *context = GetObject(params, "context"))
    GetBool(*context, "includeDeclaration", &with_declaration);
  a.result = Json::array();
  if (!at.sid) return a;
  QueryCall c;
  std::vector<QueryCall> calls;
  QueryFunction f;
  bool defined = false;
  if (Query_CallAt(s.query, at.sid, at.line, at.column, &c) && !c.to_sid) {
    // A name no source defines: every call of it that nothing reaches.
    std::string text = std::string(c.call_scope) + c.call_name;
    calls = Query_UnlinkedCallsOf(s.query, text.c_str());
  } else if (FunctionMeant(s, at, &f)) {
    defined = true;
    calls = Query_CallersOf(s.query, f.sid, f.fid);
  }
  if (defined && with_declaration) a.result.push_back(NameLocation(s, f));
  for (const QueryCall &k : calls) {
    const char *path = Query_SourcePath(s.query, k.sid);
    if (!path) continue;
    a.result.push_back(Json{{"uri", PathToUri(path)}, {"range", CallRange(s, path, k)}});
  }
  return a;
}
