// The query index of the open project (xref/query.h) as the programs' main
// threads use it: made when first asked after an analysis, dropped when the
// sources change.
#pragma once

#include "xref/query.h"

// The index of the analysis the open project holds, made on first use;
// nullptr while a job runs, when nothing was analysed or when no memory is
// left. Main thread; valid until the next job starts or the project is
// discarded (the next call makes a new one when the sources changed).
const ST_QUERY *ProjectQuery(void);
// Drops the index (before the sources it answers from are released). Main
// thread; never fails.
void ForgetProjectQuery(void);
// For the update job, on the worker while it runs (the main thread leaves
// the index alone then): the index when it answers for the sources as they
// are, to be brought up to date in place; nullptr when there is none.
ST_QUERY *ProjectQueryToUpdate(void);
// The update job has brought that index up to date with the sources as they
// are now (worker, while the job runs).
void ProjectQueryUpdated(void);
