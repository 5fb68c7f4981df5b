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
