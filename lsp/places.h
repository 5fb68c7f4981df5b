// The query layer's places as the protocol writes them, and the protocol's
// places as the query layer asks them: documents and positions read from a
// request, ranges, locations and call hierarchy items made from the values
// of xref/query.h, every place converted through the source's text.
#pragma once

#include <string>

#include "lsp/session.h"

// The document and place a request names (textDocument.uri, position).
struct DocPlace {
  std::string path;  // native
  int sid;           // the source at path, 0 when no source is there
  int line, column;  // the place as the analysis counts it
};

// Reads params.textDocument.uri into *path and *sid; false with *error
// (invalid params) when it is missing or not a string. A URI that names no
// file of the project gives sid 0 (an empty answer, not an error).
bool ReadDocument(Session &s, const Json &params, std::string *path, int *sid, Answer *error);
// The same with params.position converted; false with *error when missing.
bool ReadDocPlace(Session &s, const Json &params, DocPlace *out, Answer *error);
// Reads a Position object.
bool ReadPosition(const Json &pos, ClientPosition *out);

// A name (scope and name written together) in UTF-8.
std::string NameText(const char *scope, const char *name);
std::string Utf8(const char *sjis);

// Ranges of a function: its name, and its whole text (from where its text
// starts to the end of its closing brace's line).
Json NameRange(Session &s, const QueryFunction &f);
Json FullRange(Session &s, const QueryFunction &f);
// The range of a call's called name, in the source at path.
Json CallRange(Session &s, const std::string &path, const QueryCall &c);
// { uri, range } of a function's name.
Json NameLocation(Session &s, const QueryFunction &f);
// The call hierarchy item of a function (its data names it by SID, FID and name).
Json HierarchyItem(Session &s, const QueryFunction &f);
// The function a call hierarchy item stands for; false when the item is not
// one (*error set) or names no function now (*error unset: empty answer).
bool ItemFunction(Session &s, const Json &item, QueryFunction *out, Answer *error);
// LSP SymbolKind of a function.
int SymbolKindOf(const QueryFunction &f);
