// The requests the server answers, each a function from the request's
// params to an Answer over the session's query index (s.query, never null
// when these are called but for WorkspaceSymbols during the first analysis).
#pragma once

#include "lsp/session.h"

Answer PrepareCallHierarchy(Session &s, const Json &params);
Answer IncomingCalls(Session &s, const Json &params);
Answer OutgoingCalls(Session &s, const Json &params);
Answer Definition(Session &s, const Json &params);
Answer References(Session &s, const Json &params);
Answer WorkspaceSymbols(Session &s, const Json &params);
Answer DocumentSymbols(Session &s, const Json &params);
