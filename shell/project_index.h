// The project's index for the analysis job: opened for the job's root paths
// when the program wants one, its store handed to the engine, told when
// linking is done, and closed when the job ends; what it did is kept for
// the status line.
#pragma once

#include "index/index.h"

// Opens the index of the project of the n root paths (native) when the
// settings or the program ask for one, and points the engine at it. Worker
// (or start-up's collection thread) before any source is parsed; a second
// call before ProjectIndexEnd keeps the index already open.
void ProjectIndexBegin(const char *const *roots, int n);
// The same for n root paths one after another, each ended by a NUL (the
// job's dropped paths).
void ProjectIndexBeginList(const char *paths, int n);
// Opens the index again for an update of the last analysis's project
// (worker, update job); nothing when it is not wanted or already open.
void ProjectIndexBeginUpdate(void);
// The update job analysed s again: from its file when stamp is given (what
// was read; its entry is replaced), else from other bytes (an editor's
// buffer), which no entry may hold: the index's links then wait until
// every such source is read from its file again. Worker.
void ProjectIndexSourceRead(const ST_SOURCE *s, const SourceStamp *stamp);
// The source at path is gone: its entry goes too. Worker.
void ProjectIndexSourceGone(const char *path);
// The analysis ended with every source parsed and linked (complete 1) or
// not: links and removals for a complete one. Worker thread.
void ProjectIndexFinish(int complete);
// Writes what is queued and closes the index; the engine no longer uses
// it. Nothing when none is open.
void ProjectIndexEnd(void);
// What the last analysis did with the index (used 0 when none was open).
IndexReport ProjectIndexLastReport(void);
// The status line's addition for the last analysis, Shift_JIS: " [n from
// the index, m parsed]" (and the index's note), "" when none was used.
std::string ProjectIndexStatus(void);
