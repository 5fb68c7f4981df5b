// Collecting the source files below dropped paths: a walk over folders that
// keeps every file whose extension is in the EXT setting, with progress lines
// for the progress window and trace lines for what it skips.
//
// Threads: one collection at a time, on the thread that runs it (start-up's
// main thread, or the worker); its state lives in file_collect.cpp.
#pragma once

#include <string>
#include <vector>

#include "foundation/cb.h"
#include "foundation/ports.h"

// Starts a new collection: the entry counter and the progress clock go back
// to 0. stop_requested (may be null) is polled before each folder entry; 1
// ends the walk at once (shutdown). Never fails.
void BeginCollection(int (*stop_requested)(void));

// Appends to list every file at or below base + name ("" base: name alone)
// whose extension is in EXT, each as its native path with its NUL. window (may
// be null) gets "[%d] %s" detail lines at most every 100 ms. A folder already
// on the current walk (a link loop) is not entered again, and a path longer
// than VELMORA_PATH_MAX is skipped; both leave a trace line, as does a path
// whose attributes cannot be read. A null list only traces.
void GetDirFile(ProgressSink *window, CB *list, const char *base, const char *name);

// Entries every later walk leaves out, below the folders it starts from:
// names ("build", ".git") or globs ('*' any run of characters but '/', '?'
// one), matched against the entry's name, or with a '/' inside against its
// path below that folder ("drivers/gpu"); a trailing '/' only matches
// folders. Each one left out leaves a trace line. Empty (the default): the
// walk takes everything. Not while a collection runs.
void SetCollectionExcludes(const std::vector<std::string> &patterns);
// Whether a walk would leave out the file at path `below` (relative to the
// folder it starts from, '/' between the parts) or a folder on its way.
bool CollectionLeavesOut(const std::string &below);

// Folder entries seen since BeginCollection, "." and ".." of every folder
// included.
int CollectedEntryCount(void);
