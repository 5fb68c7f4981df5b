// The server's project on the shell below it: start-up with the settings
// and the client's options, the first analysis of the workspace folders as
// a drop of those folders, updates of changed sources, the query index, and
// shutdown. The worker's reports arrive through WorkspaceEvents on the
// worker thread; the rest runs on the server's main thread.
#pragma once

#include <string>
#include <vector>

#include "lsp/session.h"
#include "shell/requests.h"

// What initializationOptions may set; -1 and empty mean "as the settings say".
struct WorkspaceOptions {
  std::string ini;                   // settings file (velmora-lsp --ini), "" the usual one
  int logs = 0;                      // write debug.txt and result.txt as the programs do
  int parser = -1;                   // 0 statement, 1 precise
  int exact_names = -1;              // EXACT_NAMES
  int jobs = -1;                     // analysis threads
  std::string extensions;            // EXT ("C;CPP;H;")
  std::vector<std::string> exclude;  // folder names or globs left out
  int index = 1;                     // the project's index (the INDEX setting does not count)
};

// What the worker reports; each is called on the worker thread.
struct WorkspaceEvents {
  virtual ~WorkspaceEvents() {}
  // A source of the first analysis is parsed: its functions, the done-th of total.
  virtual void Parsed(std::vector<ParsedSymbol> symbols, int done, int total) = 0;
  // The analysis moved on to linking.
  virtual void Linking() = 0;
  // A job has ended.
  virtual void JobEnded() = 0;
  // A warning of a job (UTF-8), or a source whose parse ended inside a function.
  virtual void Warning(std::string text) = 0;
  virtual void Note(std::string text) = 0;
};

// Starts the shell with the settings and options; false with *failure
// (UTF-8) when it cannot. Main thread, once.
bool WorkspaceStart(const WorkspaceOptions &o, WorkspaceEvents *events, std::string *failure);
// The first analysis (or a new one) of the folders (native paths). false
// when it cannot start.
bool WorkspaceAnalyse(const std::vector<std::string> &folders);
// An update of changed sources; false when it cannot start (no project).
bool WorkspaceUpdate(const std::vector<SourceChange> &changes);
// The worker has ended its job (after JobEnded): joins it.
void WorkspaceJobDone();
// The query index of the analysed project, or nullptr (a job runs, nothing
// was analysed). Valid until the next job starts.
const ST_QUERY *WorkspaceQuery();
// Whether a file at path (native) is one the collection would take below
// one of the folders: its extension in EXT and no part of it excluded.
bool WorkspaceTakes(const std::vector<std::string> &folders, const std::string &path);
// The extensions collected, for the client's file watchers ("c", "h", ...).
std::vector<std::string> WorkspaceExtensions();
// Stops a running job and releases everything (the leak report is written
// to the trace). Main thread, once, after WorkspaceStart.
void WorkspaceStop();
