// What the server knows between messages, on its main thread: the agreed
// position encoding, the workspace folders, the open documents, the texts
// for converting places, the functions parsed so far during the first
// analysis, and the project's query index while a request is answered.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "lsp/json_access.h"
#include "lsp/positions.h"
#include "lsp/text_cache.h"
#include "xref/query.h"

// A document the client has opened.
struct OpenDocument {
  std::string uri;  // as the client names it
  long long version;
  std::string text;  // its buffer (UTF-8)
  bool analysed;     // the analysis holds this buffer's text (not the file's)
};

// A function of a source parsed during the first analysis, before anything
// is numbered (what workspace/symbol answers from until the analysis ends).
struct ParsedSymbol {
  std::string name;   // UTF-8
  std::string scope;  // UTF-8, "A::" or ""
  std::string path;   // native path of its source
  int line, end_line, name_line, name_column;
  int member;
};

struct Session {
  PositionEncoding encoding = PositionEncoding::kUtf16;
  std::vector<std::string> roots;            // workspace folders, tidy native paths
  std::map<std::string, OpenDocument> docs;  // by native path
  TextCache texts;
  std::vector<ParsedSymbol> parsed;   // during the first analysis
  bool hierarchical_symbols = false;  // documentSymbol may answer DocumentSymbol[]
  const ST_QUERY *query = nullptr;    // the project's index while a request is answered
};

// What a request handler gives back: a result, or an error code and text.
struct Answer {
  Json result;
  int error = 0;
  std::string message;
};

// LSP and JSON-RPC error codes.
enum ErrorCode : int {
  kParseError = -32700,
  kInvalidRequest = -32600,
  kMethodNotFound = -32601,
  kInvalidParams = -32602,
  kInternalError = -32603,
  kServerNotInitialized = -32002,
  kRequestCancelled = -32800,
};

Answer InvalidParams(const std::string &why);
