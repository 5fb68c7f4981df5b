// The store the engine uses (engine/source_store.h): taking a source back
// from the index when its file, its settings and the program are those its
// entry was made with, and handing a parsed source to the writer.
#include <cstdio>
#include <cstring>
#include <vector>

#include "foundation/content_hash.h"
#include "foundation/log.h"
#include "foundation/memory.h"
#include "foundation/string_pool.h"
#include "index/index_internal.h"
#include "index/record_codec.h"
#include "platform/files.h"

namespace index_detail {

namespace {

// A thread's reading side: its own connection and statement, and a buffer
// for the files it hashes.
struct Reader {
  ST_INDEX *ix;
  sqlite3 *db;
  sqlite3_stmt *find;
  std::vector<char> bytes;
};

const char kFind[] =
    "SELECT s.size, s.mtime_ns, s.hash, s.parser, s.exact_names, s.extensions, s.version,"
    " r.data, r.checksum, l.data, l.checksum"
    " FROM sources s JOIN records r ON r.source = s.id"
    " LEFT JOIN logs l ON l.source = s.id AND l.level = ?2 WHERE s.path = ?1";

const char *InternName(void *, const char *text, size_t len) {
  return StrPoolIntern(ANA.names, text, len);
}

bool SameText(sqlite3_stmt *st, int col, const std::string &text) {
  const char *t = (const char *)sqlite3_column_text(st, col);
  return t && (size_t)sqlite3_column_bytes(st, col) == text.size() &&
         memcmp(t, text.data(), text.size()) == 0;
}

// Damage seen while reading: nothing more is taken in this analysis.
void Damaged(ST_INDEX *ix) {
  ix->reading.store(0);
  ix->damaged_in_use.store(1);
  NoteTrouble(ix, Trouble::kDamaged);
}

// The checksum of a blob column matches the checksum column after it.
bool Intact(sqlite3_stmt *st, int col) {
  const void *data = sqlite3_column_blob(st, col);
  size_t n = (size_t)sqlite3_column_bytes(st, col);
  return (int64_t)ContentHash(data, n) == sqlite3_column_int64(st, col + 1);
}

}  // namespace

std::string HexHash(uint64_t h) {
  char text[20];
  snprintf(text, sizeof text, "%016llx", (unsigned long long)h);
  return text;
}

void *OpenReader(void *self) {
  ST_INDEX *ix = (ST_INDEX *)self;
  Reader *r = new Reader{ix, OpenConnection(ix, 1), nullptr, {}};
  if (r->db && sqlite3_prepare_v2(r->db, kFind, -1, &r->find, nullptr) == SQLITE_OK) return r;
  CloseReader(r);
  return nullptr;
}

void CloseReader(void *reader) {
  Reader *r = (Reader *)reader;
  if (!r) return;
  sqlite3_finalize(r->find);
  sqlite3_close_v2(r->db);
  delete r;
}

int TakeSource(void *reader, ST_SOURCE *s, LOG_GATHER *g) {
  Reader *r = (Reader *)reader;
  ST_INDEX *ix = r->ix;
  if (!ix->reading.load(std::memory_order_relaxed)) return 0;
  sqlite3_stmt *st = r->find;
  std::string path = AbsolutePath(s->path);
  sqlite3_reset(st);
  sqlite3_bind_text(st, 1, path.data(), (int)path.size(), SQLITE_STATIC);
  sqlite3_bind_int(st, 2, LogGetLevel());
  int rc = sqlite3_step(st);
  int taken = 0;
  if (rc != SQLITE_ROW) {
    if (TroubleOf(rc) == Trouble::kDamaged) Damaged(ix);
  } else if (sqlite3_column_type(st, 9) != SQLITE_NULL &&  // the level is kept
             sqlite3_column_int(st, 3) == ix->settings.parser &&
             sqlite3_column_int(st, 4) == ix->settings.exact_names &&
             SameText(st, 5, ix->settings.extensions) && SameText(st, 6, ix->settings.version)) {
    int64_t size = sqlite3_column_int64(st, 0);
    FileStamp before, after;
    int64_t got = -1;
    if (size >= 0 && size < ((int64_t)1 << 31)) {
      r->bytes.resize((size_t)size + 1);
      got = ReadFileStamped(s->path, r->bytes.data(), size + 1, &before, &after);
    }
    bool same = got == size && before.size == size && after.size == size &&
                before.mtime_ns == sqlite3_column_int64(st, 1) &&
                after.mtime_ns == before.mtime_ns &&
                SameText(st, 2, HexHash(ContentHash(r->bytes.data(), (size_t)size)));
    if (same && (!Intact(st, 7) || !Intact(st, 9))) {
      Damaged(ix);
    } else if (same) {
      if (!DecodeRecords((const char *)sqlite3_column_blob(st, 7),
                         (size_t)sqlite3_column_bytes(st, 7), s, InternName, nullptr)) {
        Damaged(ix);
      } else if (!DecodeLines((const char *)sqlite3_column_blob(st, 9),
                              (size_t)sqlite3_column_bytes(st, 9), g)) {
        // What was appended goes: the source is parsed into g instead (when
        // memory ran out, g stays failed and the worker parses it again).
        if (!g->failed) {
          Damaged(ix);
          LogGatherRelease(g);
        }
        ForgetRecords(s);
      } else if (s->fell_back == PreciseBudget::kTime) {
        // Sent to the statement parser by the clock: the precise parser
        // may finish in time now, so it is asked again.
        ForgetRecords(s);
        LogGatherRelease(g);
      } else {
        taken = 1;
      }
    }
  }
  sqlite3_reset(st);
  if (!taken) return 0;
  s->status = -1;
  ix->from_index.fetch_add(1);
  return 1;
}

void KeepSource(void *self, const ST_SOURCE *s, const SourceStamp *stamp, const LOG_GATHER *g) {
  ST_INDEX *ix = (ST_INDEX *)self;
  ix->parsed.fetch_add(1);
  // Function ids leave kFidBits for the number of a function in its source.
  if (!stamp || !stamp->steady || s->funcs.count >= (1 << kFidBits)) return;
  {
    std::lock_guard<std::mutex> guard(ix->lock);
    if (!ix->writing) return;
  }
  PendingEntry e{};
  e.kind = PendingEntry::kSource;
  e.path = AbsolutePath(s->path);
  size_t slash = e.path.rfind('/');
  e.name = slash == std::string::npos ? e.path : e.path.substr(slash + 1);
  e.stamp = *stamp;
  EncodeRecords(s, &e.records);
  e.level = LogGetLevel();
  e.has_lines = g && EncodeLines(g, &e.lines);
  Enqueue(ix, std::move(e));
}

}  // namespace index_detail
