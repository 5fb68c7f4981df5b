// The index of a project: one SQLite file that keeps, per source, what
// analysing it produced (records and the lines it printed at each log level),
// so that the next analysis of the project parses only what changed, and
// documented tables (sources, functions, calls, links and the view
// linked_calls) that users may query with sqlite3 (README: "The index").
//
// One project is one index: the file is named from its sorted root paths in
// the user's cache folder ($XDG_CACHE_HOME/velmora/index, folder 0700, file
// 0600), or given. A program opens it for one analysis (IndexOpen), hands
// its store to the engine (IndexStore, engine/source_store.h), tells it
// when linking is done (IndexAnalysisDone) and closes it (IndexClose).
// A second program on the same index while one writes it runs without it.
//
// A front that keeps a project open (the language server) updates it one
// source at a time: after it re-analysed a source and linked the project
// again, IndexKeepSource(ix, s) replaces that source's entry and
// IndexAnalysisDone(ix, 1) brings the links up to date; the source's log
// lines are not kept, so the next full analysis parses it once more. Only
// records parsed from the file itself may be kept: an entry is the file's.
// While some source holds other records (an editor's unsaved buffer),
// IndexAnalysisDone must not run, since the links it would write are those
// of records no entry holds.
//
// Threads: IndexOpen, IndexAnalysisDone, IndexKeepSource and IndexClose on
// the thread that runs the analysis (the worker), while no analysis thread
// runs; the store's take and keep on any analysis thread. Entries are
// written by a thread of the index, each source in one transaction with
// others (whole sources only), so an interrupted write leaves every entry
// whole.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/ana.h"
#include "engine/source_store.h"

struct ST_INDEX;

// What an analysis did with the index, for the status line and notes.
struct IndexReport {
  int used;          // 1: the index was in use for the analysis
  int from_index;    // sources taken from it
  int parsed;        // sources parsed (stored, or not when it could not be written)
  std::string note;  // a problem met (UTF-8, one sentence), "" when none
};

// How a program wants the index.
struct IndexOptions {
  std::string file;                // the index file; "" names it from the roots
  std::vector<std::string> roots;  // the project's root paths (native)
  const char *vfs = nullptr;       // SQLite file layer (tests), null: the default
};

// The file that holds the index of the project of roots (native paths,
// made absolute and sorted): "<cache>/velmora/index/<16 hex>.db". "" when
// there is no home folder.
std::string IndexFileFor(const std::vector<std::string> &roots);

// Opens (creating, or rebuilding when damaged or of another version) the
// index for one analysis. Never null: an index that cannot be used says so
// in its report and gives no store.
ST_INDEX *IndexOpen(const IndexOptions &options);
// The store for the engine (ANA_UseStore), or null when the index is off.
const SourceStore *IndexStore(ST_INDEX *ix);
// After linking the whole project: the links of every source are brought up
// to date and, for a complete analysis, entries of sources no longer in the
// project are removed. Worker thread; the records must be those linked.
void IndexAnalysisDone(ST_INDEX *ix, int complete);
// Replaces the entry of s (parsed, status -1) with its records as they are
// now, stamped with read (what the records were parsed from, ANA_SourceReload)
// or, when null, from its file as it is now; no log lines are kept. A stamp
// not steady keeps nothing. 1 written.
int IndexKeepSource(ST_INDEX *ix, const ST_SOURCE *s, const SourceStamp *read = nullptr);
// Removes the entry of the source at path (its file is gone), if any.
void IndexDropSource(ST_INDEX *ix, const char *path);
// What the analysis did (valid until IndexClose).
IndexReport IndexGetReport(ST_INDEX *ix);
// Writes what is queued, closes the file and frees ix (*ix null); report,
// when given, receives what the analysis did, the last writes included.
void IndexClose(ST_INDEX **ix, IndexReport *report = nullptr);

// A description of the index file at path for velmora-cli --index-info:
// its path, size, settings and each source with its state (UTF-8 lines).
// 0 when there is no index there (text says why).
int IndexDescribe(const std::string &path, std::string *text);
