// The server's project on the shell (see workspace.h): the ports the worker
// reports through, which hand everything to WorkspaceEvents as values, and
// the calls that start, update and stop the project.
#include "lsp/workspace.h"

#include <cctype>

#include "engine/ana.h"
#include "foundation/messages.h"
#include "foundation/settings.h"
#include "foundation/text.h"
#include "platform/codepage.h"
#include "shell/app.h"
#include "shell/file_collect.h"
#include "shell/paths.h"
#include "shell/project_query.h"
#include "shell/worker.h"
#include "lsp/uri.h"

namespace {

// The worker's windows as the server sees them: warnings and notes as
// texts, progress as parsed sources and the linking phase, rows not at all
// (the query layer answers), the end of a job as its last drop acceptance.
struct ShellPorts : MainWindowPort, ProgressSink, ResultsSink {
  WorkspaceEvents *events = nullptr;

  void ShowWarning(const char *text) override { events->Warning(SjisToUtf8(text ? text : "")); }
  void SetStatusText(const char *) override {}
  void SelectView(int) override {}
  int CurrentView() override { return VIEW_FUNCTIONS; }
  // Every job ends by accepting drops again, on the worker (or at once on
  // the main thread when it could not start).
  void AcceptDrops(int on) override {
    if (on) events->JobEnded();
  }
  void Repaint() override {}
  void Close(int) override {}
  void Destroy(int) override {}
  void SourceLost(const char *path, const char *function, int line) override {
    events->Note(std::string(path) + ": the parse ended inside " + SjisToUtf8(function) +
                 " (line " + std::to_string(line) + "); definitions after it may be missing");
  }

  // What the index did is said once per analysis that used it, with its
  // problem if it had one.
  void IndexUsed(int from_index, int parsed, const char *note) override {
    if (note && *note) events->Note(note);
    if (from_index + parsed > 0)
      events->Note(
          FormatString(MsgUtf8("index: %d sources from the index, %d parsed"), from_index, parsed));
  }

  void SetFunctionProgress(int) override {}
  void SetSourceProgress(int) override {}
  void SetPass(int) override {}
  void SetDetail(const char *) override {}
  void SetPhase(int k) override {
    if (k == 2) events->Linking();
  }

  int TakesRows(int) override { return 0; }
  void AddFunctionRows(const FunctionRow *, size_t) override {}
  void AddCallRows(const CallRow *, size_t) override {}
  void SetCalled(size_t, const int *, size_t) override {}
  int TakesParsed() override { return 1; }
  void SourceParsed(const char *path, const FunctionRow *rows, size_t n, int done,
                    int total) override {
    std::vector<ParsedSymbol> symbols;
    symbols.reserve(n);
    for (size_t i = 0; i < n; i++) {
      const FunctionRow &r = rows[i];
      symbols.push_back(ParsedSymbol{SjisToUtf8(r.name), SjisToUtf8(r.scope), path, r.line,
                                     r.end_line, r.name_line, r.name_column, 0});
    }
    events->Parsed(std::move(symbols), done, total);
  }
};

ShellPorts g_ports;
bool g_started = false;

}  // namespace

bool WorkspaceStart(const WorkspaceOptions &o, WorkspaceEvents *events, std::string *failure) {
  g_ports.events = events;
  AppSetLogs(o.logs);
  const char *why = nullptr;
  g_started = true;
  if (!AppStart(o.ini.empty() ? nullptr : o.ini.c_str(), 0, nullptr, &why)) {
    *failure = SjisToUtf8(why ? why : "start-up failed");
    return false;
  }
  if (o.parser >= 0) g_config.PARSER = o.parser ? 1 : 0;
  if (o.exact_names >= 0) g_config.EXACT_NAMES = o.exact_names ? 1 : 0;
  if (o.jobs >= 0) g_config.JOBS = o.jobs > 64 ? 64 : o.jobs;
  if (!o.extensions.empty()) {
    std::string ext = Utf8ToSjis(o.extensions);
    CopyText(g_config.EXT, sizeof g_config.EXT, ext.c_str());
  }
  SetCollectionExcludes(o.exclude);
  g_worker_timing = kHeadlessTiming;
  g_front = ShellFront{};
  g_front.main_window = &g_ports;
  g_front.progress = &g_ports;
  g_front.results = &g_ports;
  g_front.render = 0;
  g_front.view = 0;
  g_front.index = o.index ? 1 : 0;
  return true;
}

bool WorkspaceAnalyse(const std::vector<std::string> &folders) {
  std::vector<const char *> paths;
  for (const std::string &f : folders) paths.push_back(f.c_str());
  if (paths.empty()) return false;
  return RequestAnalysis(paths.data(), (int)paths.size()) != 0;
}

bool WorkspaceUpdate(const std::vector<SourceChange> &changes) {
  if (changes.empty()) return false;
  return RequestSourceChanges(changes.data(), (int)changes.size()) != 0;
}

void WorkspaceJobDone() {
  WorkerWait();
}

const ST_QUERY *WorkspaceQuery() {
  return ProjectQuery();
}

bool WorkspaceTakes(const std::vector<std::string> &folders, const std::string &path) {
  if (!MatchExtension(path.c_str(), g_config.EXT)) return false;
  for (const std::string &f : folders) {
    if (!PathIsBelow(path, f) || path == f) continue;
    size_t skip = f == "/" ? 1 : f.size() + 1;
    if (!CollectionLeavesOut(path.substr(skip))) return true;
  }
  return false;
}

std::vector<std::string> WorkspaceExtensions() {
  std::vector<std::string> out;
  std::string ext = g_config.EXT;
  size_t start = 0;
  while (start < ext.size()) {
    size_t semi = ext.find(';', start);
    if (semi == std::string::npos) semi = ext.size();
    std::string one = ext.substr(start, semi - start);
    if (!one.empty()) {
      for (char &c : one) c = (char)tolower((unsigned char)c);
      out.push_back(SjisToUtf8(one));
    }
    start = semi + 1;
  }
  return out;
}

void WorkspaceStop() {
  if (!g_started) return;
  g_front = ShellFront{};
  AppStop();
  g_started = false;
}
