// Linking for the precise front end, which records more than a name for each
// call: how it is written (plain, qualified, through an object, through
// this), the classes with their bases, and the argument counts a definition
// accepts. Calls are then looked up the way the language does: the caller's
// class and its bases before the enclosing namespaces, qualified names only
// in a matching scope, and member calls only when one class can be meant.
// Used by link.cpp when the precise parser made the records.
#pragma once

#include <vector>

#include "engine/ana.h"

// Builds the lookup tables from every source's functions and classes, once
// per linking phase. Afterwards they are only read, so any number of threads
// may call ScopedFind until ScopedIndexDrop.
void ScopedIndexBuild(void);
// Gives the tables back; ScopedIndexReady is false afterwards.
void ScopedIndexDrop(void);
// 1 between ScopedIndexBuild and ScopedIndexDrop.
int ScopedIndexReady(void);
// The definition the call reaches, or nullptr (also when no table is ready).
// Among the definitions one rule allows, the one whose parameter types fit
// the call's arguments best; of several alike, the last in the caller's
// source, else the first in SID, FID order, and then tied (may be null)
// gets all of them, that one first (else it is left empty).
ST_FUNC *ScopedFind(const ST_CALL *call, std::vector<ST_FUNC *> *tied = nullptr);
