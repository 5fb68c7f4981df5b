// The tables of the index. Those users may query (sources, functions,
// calls, links and the view linked_calls) are documented in the README and
// stay as they are within a major version: columns may be added, never
// removed or renamed. records and logs are the program's own.
#include "index/index_internal.h"

namespace index_detail {

namespace {

const char kSchema[] =
    // Every source analysed, with what its entry is keyed by.
    "CREATE TABLE sources("
    " id INTEGER PRIMARY KEY,"
    " path TEXT NOT NULL UNIQUE,"  // absolute path
    " name TEXT NOT NULL,"         // file name (UTF-8)
    " size INTEGER NOT NULL,"      // bytes of the file as analysed
    " mtime_ns INTEGER NOT NULL,"  // its modification time, nanoseconds
    " hash TEXT NOT NULL,"         // 16 hex digits of its content hash
    " parser INTEGER NOT NULL,"    // 0 statement parser, 1 precise parser
    " exact_names INTEGER NOT NULL,"
    " extensions TEXT NOT NULL,"
    " version TEXT NOT NULL,"       // the program that analysed it
    " functions INTEGER NOT NULL,"  // functions defined in it
    " calls INTEGER NOT NULL,"      // calls made in it
    " lost_in TEXT,"                // the function its parse ended inside, or NULL
    " lost_line INTEGER);"          // that function's line (1-based)
    // Every function definition: id is source << 20 | fid.
    "CREATE TABLE functions("
    " id INTEGER PRIMARY KEY,"
    " source INTEGER NOT NULL,"  // sources.id
    " fid INTEGER NOT NULL,"     // its number in its source (1-based)
    " scope TEXT NOT NULL,"      // 'A::' style, or ''
    " name TEXT NOT NULL,"
    " argc INTEGER NOT NULL,"         // parameters
    " line INTEGER NOT NULL,"         // where its text starts (1-based)
    " name_line INTEGER NOT NULL,"    // line of its name (1-based)
    " name_column INTEGER NOT NULL,"  // bytes before its name in that line
    " end_line INTEGER NOT NULL,"     // line of its closing brace (1-based)
    " argc_min INTEGER NOT NULL,"     // fewest arguments a call passes
    " variadic INTEGER NOT NULL,"
    " member INTEGER NOT NULL,"
    " returns TEXT);"  // the class its return type names (precise parser)
    "CREATE INDEX functions_name ON functions(name);"
    // Every call: id is source << 32 | its number in the source (0-based).
    "CREATE TABLE calls("
    " id INTEGER PRIMARY KEY,"
    " source INTEGER NOT NULL,"  // sources.id
    " caller INTEGER NOT NULL,"  // functions.id of the function it is made in
    " scope TEXT NOT NULL,"      // scope written before the name, or ''
    " name TEXT NOT NULL,"       // the name called
    " argc INTEGER NOT NULL,"    // arguments
    " line INTEGER NOT NULL,"    // line of the called name (1-based)
    " column INTEGER NOT NULL,"  // bytes before it in that line
    " form INTEGER NOT NULL,"    // 0 f(), 1 n::f(), 2 obj.f(), 3 this->f()
    " receiver TEXT);"           // obj.f(): the class of obj (precise parser)
    // The definition each linked call reached in the last analysis.
    "CREATE TABLE links("
    " call INTEGER PRIMARY KEY,"  // calls.id
    " callee INTEGER NOT NULL);"  // functions.id
    "CREATE INDEX links_callee ON links(callee);"
    "CREATE VIEW linked_calls AS SELECT"
    " c.id AS call, c.source AS source, c.line AS line, c.column AS column,"
    " c.caller AS caller, f.scope AS caller_scope, f.name AS caller_name,"
    " c.scope AS call_scope, c.name AS call_name, c.argc AS argc,"
    " l.callee AS callee, t.scope AS callee_scope, t.name AS callee_name,"
    " t.source AS callee_source"
    " FROM calls c JOIN functions f ON f.id = c.caller"
    " LEFT JOIN links l ON l.call = c.id LEFT JOIN functions t ON t.id = l.callee;"
    // The program's own: each source's records and the lines it printed at
    // each log level, with a checksum of each.
    "CREATE TABLE records("
    " source INTEGER PRIMARY KEY, data BLOB NOT NULL, checksum INTEGER NOT NULL,"
    " links_hash INTEGER NOT NULL DEFAULT 0);"
    "CREATE TABLE logs("
    " source INTEGER NOT NULL, level INTEGER NOT NULL, data BLOB NOT NULL,"
    " checksum INTEGER NOT NULL, PRIMARY KEY(source, level)) WITHOUT ROWID;";

}  // namespace

int CreateSchema(sqlite3 *db) {
  char pragmas[96];
  sqlite3_snprintf(sizeof pragmas, pragmas, "PRAGMA application_id=%d;PRAGMA user_version=%d;",
                   (int)kApplicationId, (int)kSchemaVersion);
  int rc = sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
  if (rc != SQLITE_OK) return rc;
  rc = sqlite3_exec(db, kSchema, nullptr, nullptr, nullptr);
  if (rc == SQLITE_OK) rc = sqlite3_exec(db, pragmas, nullptr, nullptr, nullptr);
  if (rc == SQLITE_OK) return sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
  sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
  return rc;
}

int SchemaIsCurrent(sqlite3 *db) {
  Stmt id(db, "PRAGMA application_id");
  Stmt version(db, "PRAGMA user_version");
  if (!id || !version || sqlite3_step(id.get()) != SQLITE_ROW ||
      sqlite3_step(version.get()) != SQLITE_ROW)
    return 0;
  return sqlite3_column_int(id.get(), 0) == kApplicationId &&
         sqlite3_column_int(version.get(), 0) == kSchemaVersion;
}

}  // namespace index_detail
