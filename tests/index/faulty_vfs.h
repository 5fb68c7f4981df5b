// A SQLite file layer for tests that passes everything to the default one
// but fails every write with a chosen error while it is switched on (a full
// or read-only disk on demand).
#pragma once

#include <sqlite3.h>

namespace velmora_test {

// Registers the layer (once) under the name "faulty"; returns that name.
const char *FaultyVfs(void);
// From now on writes fail with rc (SQLITE_OK: they succeed again).
void FaultyVfsFailWrites(int rc);

}  // namespace velmora_test
