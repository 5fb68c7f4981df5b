// Places between the protocol and the query layer (see places.h).
#include "lsp/places.h"

#include <cstring>

#include "lsp/uri.h"
#include "platform/codepage.h"

namespace {

enum { kKindClass = 5, kKindMethod = 6, kKindFunction = 12 };

Json PositionJson(ClientPosition p) {
  return Json{{"line", p.line}, {"character", p.character}};
}

Json RangeJson(ClientPosition a, ClientPosition b) {
  return Json{{"start", PositionJson(a)}, {"end", PositionJson(b)}};
}

}  // namespace

Answer InvalidParams(const std::string &why) {
  Answer a;
  a.error = kInvalidParams;
  a.message = why;
  return a;
}

bool ReadDocument(Session &s, const Json &params, std::string *path, int *sid, Answer *error) {
  const Json *doc = GetObject(params, "textDocument");
  std::string uri;
  if (!doc || !GetString(*doc, "uri", &uri)) {
    *error = InvalidParams("textDocument.uri is missing");
    return false;
  }
  *sid = 0;
  path->clear();
  if (UriToPath(uri, path)) *sid = Query_SourceByPath(s.query, path->c_str());
  return true;
}

bool ReadPosition(const Json &pos, ClientPosition *out) {
  long long line, character;
  if (!GetInt(pos, "line", &line) || !GetInt(pos, "character", &character)) return false;
  if (line < 0 || character < 0 || line > 0x7FFFFFFF || character > 0x7FFFFFFF) return false;
  out->line = (int)line;
  out->character = (int)character;
  return true;
}

bool ReadDocPlace(Session &s, const Json &params, DocPlace *out, Answer *error) {
  if (!ReadDocument(s, params, &out->path, &out->sid, error)) return false;
  const Json *pos = GetObject(params, "position");
  ClientPosition p;
  if (!pos || !ReadPosition(*pos, &p)) {
    *error = InvalidParams("position is missing or not a position");
    return false;
  }
  out->line = out->column = 0;
  if (out->sid) s.texts.Lines(out->path)->ToAnalysis(p, s.encoding, &out->line, &out->column);
  return true;
}

std::string Utf8(const char *sjis) {
  if (!sjis) return std::string();
  // Most names are ASCII, the same in both: no conversion for them.
  for (const char *p = sjis; *p; p++)
    if ((unsigned char)*p >= 0x80) return SjisToUtf8(sjis);
  return sjis;
}

std::string NameText(const char *scope, const char *name) {
  return Utf8((std::string(scope ? scope : "") + (name ? name : "")).c_str());
}

Json NameRange(Session &s, const QueryFunction &f) {
  auto lines = s.texts.Lines(f.path);
  int len = (int)strlen(f.name);
  return RangeJson(lines->ToClient(f.name_line, f.name_column, s.encoding),
                   lines->ToClient(f.name_line, f.name_column + len, s.encoding));
}

Json FullRange(Session &s, const QueryFunction &f) {
  auto lines = s.texts.Lines(f.path);
  // The text may start after the name only in records the parser could not
  // place; the range always holds the name.
  int start = f.line <= f.name_line ? f.line : f.name_line;
  int end = f.end_line >= f.name_line ? f.end_line : f.name_line;
  return RangeJson(lines->ToClient(start, 0, s.encoding), lines->LineEnd(end, s.encoding));
}

Json CallRange(Session &s, const std::string &path, const QueryCall &c) {
  auto lines = s.texts.Lines(path);
  int len = (int)strlen(c.call_name);
  return RangeJson(lines->ToClient(c.line, c.column, s.encoding),
                   lines->ToClient(c.line, c.column + len, s.encoding));
}

Json NameLocation(Session &s, const QueryFunction &f) {
  return Json{{"uri", PathToUri(f.path)}, {"range", NameRange(s, f)}};
}

int SymbolKindOf(const QueryFunction &f) {
  return f.member ? kKindMethod : kKindFunction;
}

Json HierarchyItem(Session &s, const QueryFunction &f) {
  Json item{{"name", NameText(f.scope, f.name)},
            {"kind", SymbolKindOf(f)},
            {"detail", Utf8(f.source)},
            {"uri", PathToUri(f.path)},
            {"range", FullRange(s, f)},
            {"selectionRange", NameRange(s, f)},
            {"data", Json{{"sid", f.sid}, {"fid", f.fid}, {"name", NameText(f.scope, f.name)}}}};
  return item;
}

bool ItemFunction(Session &s, const Json &item, QueryFunction *out, Answer *error) {
  std::string uri, path;
  const Json *sel = GetObject(item, "selectionRange");
  const Json *start = sel ? GetObject(*sel, "start") : nullptr;
  ClientPosition p;
  if (!item.is_object() || !GetString(item, "uri", &uri) || !start || !ReadPosition(*start, &p)) {
    *error = InvalidParams("item is not a call hierarchy item");
    return false;
  }
  if (!UriToPath(uri, &path)) return false;
  // The numbers of the item's time, when they still name that function.
  const Json *data = GetObject(item, "data");
  long long sid, fid;
  std::string name;
  if (data && GetInt(*data, "sid", &sid) && GetInt(*data, "fid", &fid) &&
      GetString(*data, "name", &name) && sid > 0 && fid > 0 && sid < 0x7FFFFFFF &&
      fid < 0x7FFFFFFF && Query_Function(s.query, (int)sid, (int)fid, out) && path == out->path &&
      NameText(out->scope, out->name) == name)
    return true;
  // Else the function whose name is at the item's place now.
  int at = Query_SourceByPath(s.query, path.c_str());
  if (!at) return false;
  int line, column;
  s.texts.Lines(path)->ToAnalysis(p, s.encoding, &line, &column);
  return Query_FunctionAt(s.query, at, line, column, out);
}
