// What the parts of the index share: the open index record, its SQLite
// helpers, the writer's queue, and the settings an entry is keyed by.
// Private to index/.
#pragma once

#include <sqlite3.h>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <thread>

#include "index/index.h"

namespace index_detail {

// The schema this program writes (PRAGMA user_version); another one is
// rebuilt. application_id marks the file as ours.
enum : int { kSchemaVersion = 1, kApplicationId = 0x564C4D58 };
// Function ids are source << kFidBits | fid, call ids source << 32 | n.
enum : int { kFidBits = 20 };

// One prepared statement, finalized with its owner.
class Stmt {
 public:
  Stmt() = default;
  Stmt(sqlite3 *db, const char *sql);
  ~Stmt();
  Stmt(const Stmt &) = delete;
  Stmt &operator=(const Stmt &) = delete;
  sqlite3_stmt *get() const { return st_; }
  explicit operator bool() const { return st_ != nullptr; }

 private:
  sqlite3_stmt *st_ = nullptr;
};

// What every entry of this run is keyed by besides its file.
struct EntrySettings {
  int parser;              // ANA_ParserInUse
  int exact_names;         // EXACT_NAMES
  std::string extensions;  // EXT as set (Shift_JIS, ASCII in practice)
  std::string version;     // the program and its record format
};

// One source's entry waiting for the writer.
struct PendingEntry {
  enum Kind { kSource, kLinks, kRemove } kind;
  std::string path;     // absolute native path (kSource, kRemove)
  std::string name;     // its file name, UTF-8
  SourceStamp stamp;    // the bytes it was parsed from
  std::string records;  // EncodeRecords
  int has_lines;        // 1: lines holds what it printed at level
  int level;            // the log level in force (-1: nothing is printed)
  std::string lines;    // EncodeLines
  int64_t source;       // kLinks, kRemove: the source's id
  std::string links;    // kLinks: pairs of varints (call number, callee id)
  uint64_t links_hash;  // kLinks: ContentHash of links
};

// Problems met, in the order of their importance for the one note shown.
enum class Trouble { kNone, kBusy, kRefused, kNoPlace, kUnwritable, kDamaged };

}  // namespace index_detail

struct ST_INDEX {
  std::string path;           // the index file
  int lock_fd = -1;           // the lock held while in use
  sqlite3 *db = nullptr;      // the writer's connection
  const char *vfs = nullptr;  // SQLite file layer (tests)
  index_detail::EntrySettings settings;
  SourceStore store{};                 // handed to the engine
  int on = 0;                          // 1: the store may be used
  std::atomic<int> reading{1};         // 0 once damage was seen: nothing more is taken
  std::atomic<int> damaged_in_use{0};  // 1: damage seen after opening; made anew at close
  std::atomic<int> from_index{0};      // sources taken
  std::atomic<int> parsed{0};          // sources handed to keep
  std::mutex lock;                     // guards the fields below
  std::condition_variable wake;        // the writer waits here for work
  std::condition_variable drained;     // producers wait here for room, closers for the end
  std::deque<index_detail::PendingEntry> queue;  // entries to write, in order
  size_t queued_bytes = 0;                       // their bytes
  int busy = 0;                                  // 1 while the writer writes a batch
  int writing = 1;                               // 0 once writing failed: entries are dropped
  int closing = 0;                               // 1: the writer ends when the queue is empty
  index_detail::Trouble trouble = index_detail::Trouble::kNone;  // the worst problem met
  std::thread writer;                                            // the writing thread
};

namespace index_detail {

// Notes trouble t (the worst one is kept); any thread.
void NoteTrouble(ST_INDEX *ix, Trouble t);
// The trouble that an SQLite result code means.
Trouble TroubleOf(int rc);
// Opens a connection to ix->path (readonly or not), with the busy timeout.
sqlite3 *OpenConnection(const ST_INDEX *ix, int readonly);
// The store's functions (index_store.cpp).
void *OpenReader(void *self);
void CloseReader(void *reader);
int TakeSource(void *reader, ST_SOURCE *s, LOG_GATHER *g);
void KeepSource(void *self, const ST_SOURCE *s, const SourceStamp *stamp, const LOG_GATHER *g);
// Sixteen hex digits of a hash, as the sources table keeps it.
std::string HexHash(uint64_t h);
// Queues an entry for the writer, waiting while too much waits already.
void Enqueue(ST_INDEX *ix, PendingEntry &&e);
// The writer (index_writer.cpp): starts it, and waits until everything
// queued so far is written (or dropped).
void StartWriter(ST_INDEX *ix);
void WaitWritten(ST_INDEX *ix);
void StopWriter(ST_INDEX *ix);
// The absolute form of a native path (the working folder before a relative one).
std::string AbsolutePath(const char *path);
// The schema (index_schema.cpp): creates the tables and views in db. rc.
int CreateSchema(sqlite3 *db);
// 1 when db holds an index of this schema version.
int SchemaIsCurrent(sqlite3 *db);

}  // namespace index_detail
