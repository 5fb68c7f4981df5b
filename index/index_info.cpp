// velmora-cli --index-info: what an index file holds, read without taking
// its lock (a reader never stops a writer).
#include <cstdio>
#include <map>

#include "foundation/messages.h"
#include "foundation/text.h"
#include "index/index_internal.h"
#include "platform/files.h"
#include "platform/private_files.h"

using namespace index_detail;

namespace {

// A source's state now: its file against what its entry was made from.
const char *StateOf(const char *path, int64_t size, int64_t mtime_ns) {
  FileStamp now;
  if (!StampFile(path, &now)) return "missing";
  return now.size == size && now.mtime_ns == mtime_ns ? "unchanged" : "changed";
}

}  // namespace

int IndexDescribe(const std::string &path, std::string *text) {
  text->clear();
  PrivateFile state = CheckPrivateFile(path.c_str());
  if (state != PrivateFile::kReady) {
    *text = FormatString(state == PrivateFile::kRefused
                             ? MsgUtf8("no index at %s (not a file of yours)")
                             : MsgUtf8("no index at %s"),
                         path.c_str()) +
            "\n";
    return 0;
  }
  ST_INDEX probe;
  probe.path = path;
  sqlite3 *db = OpenConnection(&probe, 1);
  if (!db || !SchemaIsCurrent(db)) {
    sqlite3_close_v2(db);
    *text = FormatString(MsgUtf8("no index of this version at %s"), path.c_str()) + "\n";
    return 0;
  }
  char line[512];
  snprintf(line, sizeof line, "index: %s\nsize: %lld bytes\n", path.c_str(),
           (long long)PrivateFileSize(path.c_str()));
  *text += line;
  std::map<int64_t, std::string> levels;
  {
    Stmt logs(db, "SELECT source, level FROM logs ORDER BY source, level");
    while (logs && sqlite3_step(logs.get()) == SQLITE_ROW) {
      std::string &l = levels[sqlite3_column_int64(logs.get(), 0)];
      if (!l.empty()) l += ",";
      l += std::to_string(sqlite3_column_int(logs.get(), 1));
    }
  }
  Stmt sources(db,
               "SELECT id, path, size, mtime_ns, parser, functions, calls, version FROM sources"
               " ORDER BY path");
  std::string rows;
  int count = 0;
  std::map<std::string, int> states;
  while (sources && sqlite3_step(sources.get()) == SQLITE_ROW) {
    sqlite3_stmt *st = sources.get();
    const char *p = (const char *)sqlite3_column_text(st, 1);
    const char *s = StateOf(p ? p : "", sqlite3_column_int64(st, 2), sqlite3_column_int64(st, 3));
    states[s]++;
    count++;
    std::string lv = levels[sqlite3_column_int64(st, 0)];
    snprintf(line, sizeof line, "%-9s %s parser %d, %d functions, %d calls, log levels %s\n", s,
             p ? p : "", sqlite3_column_int(st, 4), sqlite3_column_int(st, 5),
             sqlite3_column_int(st, 6), lv.empty() ? "none" : lv.c_str());
    rows += line;
  }
  snprintf(line, sizeof line, "sources: %d", count);
  *text += line;
  for (const auto &s : states) *text += ", " + std::to_string(s.second) + " " + s.first;
  *text += "\n" + rows;
  sqlite3_close_v2(db);
  return 1;
}
