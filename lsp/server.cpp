// The language server's state machine (see server.h): the base protocol's
// checks, the lifecycle (initialize, shutdown, exit), the table of requests,
// the requests that wait for the analysis, and the worker's reports.
#include "lsp/server.h"

#include <cstdio>
#include <new>

#include "lsp/answers.h"
#include "lsp/uri.h"

namespace {

const char kVersion[] = "0.10";
const char kProgressToken[] = "velmora-analysis";

enum { kLogError = 1, kLogWarning = 2, kLogInfo = 3 };

// The requests answered from the project, and whether they may answer from
// what is parsed so far while the first analysis runs.
struct Method {
  const char *name;
  ::Answer (*answer)(Session &, const Json &);
  bool partial;
};
const Method kMethods[] = {
    {"textDocument/prepareCallHierarchy", PrepareCallHierarchy, false},
    {"callHierarchy/incomingCalls", IncomingCalls, false},
    {"callHierarchy/outgoingCalls", OutgoingCalls, false},
    {"textDocument/definition", Definition, false},
    {"textDocument/references", References, false},
    {"textDocument/documentSymbol", DocumentSymbols, false},
    {"workspace/symbol", WorkspaceSymbols, true},
};

const Method *Find(const std::string &name) {
  for (const Method &m : kMethods)
    if (name == m.name) return &m;
  return nullptr;
}

// A number or a string: the ids JSON-RPC allows.
bool ValidId(const Json &id) {
  return id.is_string() || id.is_number_integer();
}

// The integer or the text of an option; false when absent or of another type.
int IntOption(const Json &o, const char *key, int fallback) {
  bool b;
  long long n;
  if (GetBool(o, key, &b)) return b ? 1 : 0;
  if (GetInt(o, key, &n)) return n < 0 ? fallback : n > 64 ? 64 : (int)n;
  return fallback;
}

}  // namespace

Server::Server(Outbox *out, EventQueue *events, const std::string &ini, int index)
    : out_(out), events_(events), ini_(ini), index_(index) {}

Server::~Server() {
  Stop();
}

void Server::Stop() {
  if (started_) WorkspaceStop();
  started_ = false;
}

// ---- messages --------------------------------------------------------------

void Server::OnBody(const std::string &body) {
  Json msg;
  if (!ParseJson(body, &msg)) {
    RespondError(Json(nullptr), kParseError, "the message is not JSON");
    return;
  }
  try {
    OnMessage(msg);
  } catch (const std::bad_alloc &) {
    RespondError(Json(nullptr), kInternalError, "out of memory");
  } catch (const std::exception &e) {
    Log(kLogError, std::string("velmora-lsp: ") + e.what());
  }
}

void Server::OnMessage(const Json &msg) {
  const Json *id = Member(msg, "id");
  std::string version, method;
  if (!msg.is_object() || !GetString(msg, "jsonrpc", &version) || version != "2.0") {
    RespondError(id && ValidId(*id) ? *id : Json(nullptr), kInvalidRequest,
                 "not a JSON-RPC 2.0 message");
    return;
  }
  const Json *m = Member(msg, "method");
  if (!m) {
    // A response to one of our requests (progress, registration): nothing to do.
    if (id && (Member(msg, "result") || Member(msg, "error"))) return;
    RespondError(id && ValidId(*id) ? *id : Json(nullptr), kInvalidRequest,
                 "a message without a method");
    return;
  }
  if (!m->is_string() || (id && !ValidId(*id))) {
    RespondError(id && ValidId(*id) ? *id : Json(nullptr), kInvalidRequest,
                 "the method or the id is of the wrong type");
    return;
  }
  method = m->get<std::string>();
  const Json *params = Member(msg, "params");
  Json none = Json::object();
  if (params && params->is_null()) params = nullptr;  // written out as absent
  if (params && !params->is_object() && !params->is_array()) {
    if (id) RespondError(*id, kInvalidParams, "params must be an object or an array");
    return;
  }
  if (id)
    OnRequest(*id, method, params ? *params : none);
  else
    OnNotification(method, params ? *params : none);
}

void Server::OnRequest(const Json &id, const std::string &method, const Json &params) {
  if (method == "initialize") {
    if (phase_ != Phase::kNew)
      RespondError(id, kInvalidRequest, "initialize was already received");
    else
      Initialize(id, params);
    return;
  }
  if (phase_ == Phase::kNew) {
    RespondError(id, kServerNotInitialized, "the server is not initialized");
    return;
  }
  if (phase_ == Phase::kShutDown) {
    RespondError(id, kInvalidRequest, "the server is shutting down");
    return;
  }
  if (method == "shutdown") {
    phase_ = Phase::kShutDown;
    Respond(id, Json(nullptr));
    return;
  }
  const Method *m = Find(method);
  if (!m) {
    RespondError(id, kMethodNotFound, "no method " + method);
    return;
  }
  bool first = work_ == Work::kFirst || work_ == Work::kAgain;
  if (work_ == Work::kNone && applied_ >= edits_) {
    Answer(id, method, params);
  } else if (m->partial && first && edits_ == applied_) {
    Answer(id, method, params);  // from what is parsed so far
  } else {
    waiting_.push_back(Waiting{id, method, params, edits_});
  }
}

void Server::OnNotification(const std::string &method, const Json &params) {
  if (method == "exit") {
    status_ = phase_ == Phase::kShutDown ? 0 : 1;
    done_ = true;
    return;
  }
  if (phase_ != Phase::kRunning) return;  // before initialize, or after shutdown
  if (method == "initialized")
    Initialized();
  else if (method == "$/cancelRequest")
    Cancel(params);
  else if (method == "textDocument/didOpen")
    DidOpen(params);
  else if (method == "textDocument/didChange")
    DidChange(params);
  else if (method == "textDocument/didClose")
    DidClose(params);
  else if (method == "workspace/didChangeWatchedFiles")
    DidChangeWatchedFiles(params);
  // Any other notification is not for us.
}

// ---- lifecycle -------------------------------------------------------------

void Server::Initialize(const Json &id, const Json &params) {
  // The workspace: its folders, else the root URI, else the root path.
  std::vector<std::string> roots;
  if (const Json *folders = GetArray(params, "workspaceFolders")) {
    for (const Json &f : *folders) {
      std::string uri, path;
      if (GetString(f, "uri", &uri) && UriToPath(uri, &path)) roots.push_back(path);
    }
  }
  std::string uri, path;
  if (roots.empty() && GetString(params, "rootUri", &uri) && UriToPath(uri, &path))
    roots.push_back(path);
  if (roots.empty() && GetString(params, "rootPath", &path) && !path.empty() && path[0] == '/')
    roots.push_back(TidyPath(path));
  WorkspaceOptions o;
  o.ini = ini_;
  o.index = index_;
  if (const Json *opts = GetObject(params, "initializationOptions")) {
    std::string parser;
    if (GetString(*opts, "parser", &parser)) {
      if (parser != "statement" && parser != "precise") {
        RespondError(id, kInvalidParams, "parser is \"statement\" or \"precise\"");
        return;
      }
      o.parser = parser == "precise";
    }
    o.exact_names = IntOption(*opts, "exactNames", -1);
    o.jobs = IntOption(*opts, "jobs", -1);
    o.logs = IntOption(*opts, "logs", 0);
    o.index = IntOption(*opts, "index", index_);
    GetString(*opts, "extensions", &o.extensions);
    if (const Json *ex = GetArray(*opts, "exclude"))
      for (const Json &e : *ex)
        if (e.is_string()) o.exclude.push_back(e.get<std::string>());
  }
  const Json *caps = GetObject(params, "capabilities");
  Json none = Json::object();
  const Json &c = caps ? *caps : none;
  s_.encoding = PositionEncoding::kUtf16;
  if (const Json *encs = Path(c, {"general", "positionEncodings"}))
    if (encs->is_array())
      for (const Json &e : *encs)
        if (e.is_string() && e.get<std::string>() == "utf-8") s_.encoding = PositionEncoding::kUtf8;
  bool b = false;
  if (const Json *w = Path(c, {"window"}))
    work_done_progress_ = GetBool(*w, "workDoneProgress", &b) && b;
  if (const Json *w = Path(c, {"workspace", "didChangeWatchedFiles"}))
    watch_files_ = GetBool(*w, "dynamicRegistration", &b) && b;
  if (const Json *d = Path(c, {"textDocument", "documentSymbol"}))
    s_.hierarchical_symbols = GetBool(*d, "hierarchicalDocumentSymbolSupport", &b) && b;

  std::string failure;
  started_ = true;
  if (!WorkspaceStart(o, this, &failure)) {
    RespondError(id, kInternalError, "velmora-lsp cannot start: " + failure);
    fprintf(stderr, "velmora-lsp: cannot start: %s\n", failure.c_str());
    return;
  }
  phase_ = Phase::kRunning;
  s_.roots = roots;
  Json sync{{"openClose", true}, {"change", 1}};
  Json result{{"capabilities",
               {{"positionEncoding", s_.encoding == PositionEncoding::kUtf8 ? "utf-8" : "utf-16"},
                {"textDocumentSync", sync},
                {"definitionProvider", true},
                {"referencesProvider", true},
                {"workspaceSymbolProvider", true},
                {"documentSymbolProvider", true},
                {"callHierarchyProvider", true}}},
              {"serverInfo", {{"name", "velmora-lsp"}, {"version", kVersion}}}};
  Respond(id, result);
  if (roots.empty()) {
    Log(kLogWarning, "velmora-lsp: no workspace folder; nothing is analysed");
    return;
  }
  if (work_done_progress_) {
    out_->Send(Json{{"jsonrpc", "2.0"},
                    {"id", "velmora-" + std::to_string(next_request_++)},
                    {"method", "window/workDoneProgress/create"},
                    {"params", {{"token", kProgressToken}}}});
    progress_open_ = true;
    Progress(Json{{"kind", "begin"},
                  {"title", "Velmora"},
                  {"message", "collecting sources"},
                  {"percentage", 0},
                  {"cancellable", false}});
  }
  work_ = Work::kFirst;
  in_job_ = edits_;
  if (!WorkspaceAnalyse(roots)) work_ = Work::kNone;
}

void Server::Initialized() {
  if (!watch_files_) return;
  // The files of the workspace's extensions, in any folder.
  std::string glob = "**/*.{";
  std::vector<std::string> exts = WorkspaceExtensions();
  for (size_t i = 0; i < exts.size(); i++) {
    std::string upper = exts[i];
    for (char &ch : upper)
      if (ch >= 'a' && ch <= 'z') ch = (char)(ch - 32);
    glob += (i ? "," : "") + exts[i] + (upper != exts[i] ? "," + upper : "");
  }
  glob += "}";
  Json watcher{{"globPattern", glob}};
  out_->Send(
      Json{{"jsonrpc", "2.0"},
           {"id", "velmora-" + std::to_string(next_request_++)},
           {"method", "client/registerCapability"},
           {"params",
            {{"registrations",
              Json::array({{{"id", "velmora-watched-files"},
                            {"method", "workspace/didChangeWatchedFiles"},
                            {"registerOptions", {{"watchers", Json::array({watcher})}}}}})}}}});
}

// ---- answers ---------------------------------------------------------------

void Server::Answer(const Json &id, const std::string &method, const Json &params) {
  const Method *m = Find(method);
  if (!m) return;
  s_.query = WorkspaceQuery();
  ::Answer a;
  try {
    a = m->answer(s_, params);
  } catch (const std::exception &e) {
    a.error = kInternalError;
    a.message = std::string("internal error: ") + e.what();
  }
  s_.query = nullptr;
  if (a.error)
    RespondError(id, a.error, a.message);
  else
    Respond(id, a.result);
}

void Server::AnswerWaiting() {
  // Each request that has its edits analysed, in the order they came.
  std::vector<Waiting> still;
  std::vector<Waiting> now;
  for (Waiting &w : waiting_) (w.edits <= applied_ ? now : still).push_back(std::move(w));
  waiting_.swap(still);
  for (const Waiting &w : now) Answer(w.id, w.method, w.params);
}

void Server::Cancel(const Json &params) {
  const Json *id = Member(params, "id");
  if (!id) return;
  for (size_t i = 0; i < waiting_.size(); i++) {
    if (waiting_[i].id != *id) continue;
    Json cancelled = waiting_[i].id;
    waiting_.erase(waiting_.begin() + (long)i);
    RespondError(cancelled, kRequestCancelled, "cancelled");
    return;
  }
}

// ---- the worker's reports --------------------------------------------------

void Server::Parsed(std::vector<ParsedSymbol> symbols, int done, int total) {
  auto box = std::make_shared<std::vector<ParsedSymbol>>(std::move(symbols));
  events_->Post([this, box, done, total] { OnParsed(*box, done, total); });
}

void Server::Linking() {
  events_->Post([this] {
    if (!progress_open_ || progress_percent_ == 101) return;
    progress_percent_ = 101;  // said once
    Progress(Json{{"kind", "report"}, {"message", "linking calls"}});
  });
}

void Server::JobEnded() {
  events_->Post([this] { OnJobEnded(); });
}

void Server::Warning(std::string text) {
  events_->Post([this, text] {
    fprintf(stderr, "velmora-lsp: %s\n", text.c_str());
    Notify("window/showMessage", Json{{"type", kLogWarning}, {"message", "Velmora: " + text}});
  });
}

void Server::Note(std::string text) {
  events_->Post([this, text] { Log(kLogInfo, "velmora-lsp: " + text); });
}

void Server::OnParsed(std::vector<ParsedSymbol> &symbols, int done, int total) {
  if (!started_ || (work_ != Work::kFirst && work_ != Work::kAgain)) return;
  for (ParsedSymbol &p : symbols) s_.parsed.push_back(std::move(p));
  int percent = total > 0 ? (int)((long long)done * 100 / total) : 0;
  if (progress_open_ && percent != progress_percent_) {
    progress_percent_ = percent;
    Progress(Json{{"kind", "report"},
                  {"message", std::to_string(done) + " of " + std::to_string(total) + " sources"},
                  {"percentage", percent}});
  }
}

void Server::OnJobEnded() {
  if (!started_ || work_ == Work::kNone) return;
  WorkspaceJobDone();
  WorkspaceQuery();  // made now, so that an update can bring it up to date
  Work was = work_;
  work_ = Work::kNone;
  applied_ = in_job_;
  if (was == Work::kFirst || was == Work::kAgain) {
    std::vector<ParsedSymbol>().swap(s_.parsed);
    if (progress_open_) {
      const ST_QUERY *q = WorkspaceQuery();
      Progress(Json{{"kind", "end"},
                    {"message", std::to_string(Query_FunctionCount(q)) + " functions in " +
                                    std::to_string(Query_SourceCount(q)) + " sources"}});
      progress_open_ = false;
    }
    // The analysis read the files: buffers that differ go in again.
    for (auto &d : s_.docs) {
      d.second.analysed = false;
      if (BufferDiffersFromFile(d.first, d.second.text)) changed_[d.first] = Change::kBuffer;
    }
  }
  AnswerWaiting();
  if (!changed_.empty() && phase_ != Phase::kShutDown) StartUpdate();
  if (work_ == Work::kNone && !waiting_.empty()) {
    applied_ = edits_;  // nothing can be applied any more: answer what is there
    AnswerWaiting();
  }
}

// ---- output ----------------------------------------------------------------

void Server::Respond(const Json &id, const Json &result) {
  out_->Send(Json{{"jsonrpc", "2.0"}, {"id", id}, {"result", result}});
}

void Server::RespondError(const Json &id, int code, const std::string &message) {
  out_->Send(
      Json{{"jsonrpc", "2.0"}, {"id", id}, {"error", {{"code", code}, {"message", message}}}});
}

void Server::Notify(const std::string &method, const Json &params) {
  out_->Send(Json{{"jsonrpc", "2.0"}, {"method", method}, {"params", params}});
}

void Server::Log(int type, const std::string &text) {
  fprintf(stderr, "%s\n", text.c_str());
  Notify("window/logMessage", Json{{"type", type}, {"message", text}});
}

void Server::Progress(const Json &value) {
  Notify("$/progress", Json{{"token", kProgressToken}, {"value", value}});
}

void Server::OnStreamEnd(bool broken, const std::string &why) {
  if (done_) return;
  if (broken) fprintf(stderr, "velmora-lsp: %s\n", why.c_str());
  status_ = !broken && phase_ == Phase::kShutDown ? 0 : 1;
  done_ = true;
}
