// The index's writing thread: entries queued by the analysis threads and
// the worker are written in batches, each batch one transaction of whole
// entries, so that a program stopped at any point leaves the index with
// every entry either whole or as it was. The first failure to write (a full
// or read-only disk) ends writing for this analysis; what is queued then is
// dropped.
#include <cstring>

#include "engine/record_walk.h"
#include "foundation/arena.h"
#include "foundation/content_hash.h"
#include "index/index_internal.h"
#include "index/record_codec.h"
#include "platform/codepage.h"

namespace index_detail {

namespace {

const size_t kMaxQueued = (size_t)64 << 20;  // bytes waiting before producers wait
const size_t kBatchBytes = (size_t)8 << 20;  // bytes written in one transaction at most

// The writer's statements, prepared once on its connection.
struct Statements {
  Stmt find_source, key_of, insert_source, update_source;
  Stmt delete_functions, delete_calls, delete_links, delete_logs, delete_source, delete_records;
  Stmt insert_function, insert_call, insert_link, put_records, put_log, set_links_hash;

  explicit Statements(sqlite3 *db)
      : find_source(db, "SELECT id FROM sources WHERE path = ?"),
        key_of(db,
               "SELECT size, mtime_ns, hash, parser, exact_names, extensions, version"
               " FROM sources WHERE id = ?"),
        insert_source(db,
                      "INSERT INTO sources(path, name, size, mtime_ns, hash, parser, exact_names,"
                      " extensions, version, functions, calls, lost_in, lost_line)"
                      " VALUES(?1,?2,?3,?4,?5,?6,?7,?8,?9,?10,?11,?12,?13)"),
        update_source(db,
                      "UPDATE sources SET path=?1, name=?2, size=?3, mtime_ns=?4, hash=?5,"
                      " parser=?6, exact_names=?7, extensions=?8, version=?9, functions=?10,"
                      " calls=?11, lost_in=?12, lost_line=?13 WHERE id=?14"),
        delete_functions(db, "DELETE FROM functions WHERE id BETWEEN ?1 AND ?2"),
        delete_calls(db, "DELETE FROM calls WHERE id BETWEEN ?1 AND ?2"),
        delete_links(db, "DELETE FROM links WHERE call BETWEEN ?1 AND ?2"),
        delete_logs(db, "DELETE FROM logs WHERE source = ?"),
        delete_source(db, "DELETE FROM sources WHERE id = ?"),
        delete_records(db, "DELETE FROM records WHERE source = ?"),
        insert_function(
            db, "INSERT INTO functions VALUES(?1,?2,?3,?4,?5,?6,?7,?8,?9,?10,?11,?12,?13,?14)"),
        insert_call(db, "INSERT INTO calls VALUES(?1,?2,?3,?4,?5,?6,?7,?8,?9,?10)"),
        insert_link(db, "INSERT OR REPLACE INTO links VALUES(?1,?2)"),
        put_records(db, "INSERT OR REPLACE INTO records(source, data, checksum) VALUES(?1,?2,?3)"),
        put_log(db, "INSERT OR REPLACE INTO logs VALUES(?1,?2,?3,?4)"),
        set_links_hash(db, "UPDATE records SET links_hash = ?2 WHERE source = ?1") {}

  bool Ready() const {
    for (const Stmt *s :
         {&find_source, &key_of, &insert_source, &update_source, &delete_functions, &delete_calls,
          &delete_links, &delete_logs, &delete_source, &delete_records, &insert_function,
          &insert_call, &insert_link, &put_records, &put_log, &set_links_hash})
      if (!*s) return false;
    return true;
  }
};

// Runs a statement with its bindings to its end: SQLITE_DONE or an error.
// Every use binds every parameter, so the bindings are left as they are.
int Run(sqlite3_stmt *st) {
  int rc = sqlite3_step(st);
  sqlite3_reset(st);
  return rc;
}

// Texts of records are Shift_JIS; the tables hold UTF-8.
void BindName(sqlite3_stmt *st, int col, const char *sjis, std::string *scratch) {
  if (!sjis) {
    sqlite3_bind_null(st, col);
    return;
  }
  size_t n = strlen(sjis);
  bool ascii = true;
  for (size_t i = 0; i < n && ascii; i++) ascii = (unsigned char)sjis[i] < 0x80;
  if (ascii) {
    sqlite3_bind_text(st, col, sjis, (int)n, SQLITE_STATIC);
    return;
  }
  *scratch = SjisToUtf8(sjis);
  sqlite3_bind_text(st, col, scratch->data(), (int)scratch->size(), SQLITE_TRANSIENT);
}

void BindText(sqlite3_stmt *st, int col, const std::string &text) {
  sqlite3_bind_text(st, col, text.data(), (int)text.size(), SQLITE_STATIC);
}

// Texts of the records decoded for the rows live in one buffer reserved
// for all of them (they are fewer bytes than the records), so none moves.
const char *KeepName(void *ctx, const char *text, size_t len) {
  std::string *names = (std::string *)ctx;
  if (names->size() + len + 1 > names->capacity()) return nullptr;
  size_t at = names->size();
  names->append(text, len);
  names->push_back(0);
  return names->data() + at;
}

int64_t FirstFunction(int64_t source) {
  return source << kFidBits;
}
int64_t FirstCall(int64_t source) {
  return source << 32;
}

// Removes the rows a source's records made (functions, calls, links).
int DeleteRows(Statements &q, int64_t id) {
  int rc = SQLITE_DONE;
  struct {
    sqlite3_stmt *st;
    int64_t first, last;
  } ranges[] = {
      {q.delete_functions.get(), FirstFunction(id), FirstFunction(id + 1) - 1},
      {q.delete_calls.get(), FirstCall(id), FirstCall(id + 1) - 1},
      {q.delete_links.get(), FirstCall(id), FirstCall(id + 1) - 1},
  };
  for (auto &r : ranges) {
    sqlite3_bind_int64(r.st, 1, r.first);
    sqlite3_bind_int64(r.st, 2, r.last);
    if (rc == SQLITE_DONE) rc = Run(r.st);
  }
  return rc;
}

// The rows of the functions and calls of the records in e.
int InsertRows(Statements &q, int64_t id, const ST_SOURCE &local) {
  std::string a, b, c;
  int rc = SQLITE_DONE;
  int64_t call_no = 0;
  int fid = 0;
  ForEachFunction(&local, [&](ST_FUNC *f) {
    if (rc != SQLITE_DONE) return WalkResult::kStop;
    int64_t fn = FirstFunction(id) + ++fid;
    sqlite3_stmt *st = q.insert_function.get();
    sqlite3_bind_int64(st, 1, fn);
    sqlite3_bind_int64(st, 2, id);
    sqlite3_bind_int(st, 3, fid);
    BindName(st, 4, f->scope, &a);
    BindName(st, 5, f->name, &b);
    sqlite3_bind_int(st, 6, f->argc);
    sqlite3_bind_int(st, 7, f->line + 1);
    sqlite3_bind_int(st, 8, f->name_line + 1);
    sqlite3_bind_int(st, 9, f->name_column);
    sqlite3_bind_int(st, 10, f->end_line + 1);
    sqlite3_bind_int(st, 11, f->argc_min);
    sqlite3_bind_int(st, 12, f->variadic);
    sqlite3_bind_int(st, 13, f->member);
    BindName(st, 14, f->returns, &c);
    rc = Run(st);
    ForEachCall(f, [&](ST_CALL *k) {
      if (rc != SQLITE_DONE) return WalkResult::kStop;
      sqlite3_stmt *cs = q.insert_call.get();
      sqlite3_bind_int64(cs, 1, FirstCall(id) + call_no++);
      sqlite3_bind_int64(cs, 2, id);
      sqlite3_bind_int64(cs, 3, fn);
      BindName(cs, 4, k->scope, &a);
      BindName(cs, 5, k->name, &b);
      sqlite3_bind_int(cs, 6, k->argc);
      sqlite3_bind_int(cs, 7, k->name_line + 1);
      sqlite3_bind_int(cs, 8, k->name_column);
      sqlite3_bind_int(cs, 9, CallForm(k));
      BindName(cs, 10, k->how ? k->how->receiver : nullptr, &c);
      rc = Run(cs);
      return WalkResult::kGoOn;
    });
    return WalkResult::kGoOn;
  });
  return rc;
}

// 1 when the entry of id was made from the same bytes with the same settings.
bool SameKey(Statements &q, int64_t id, const PendingEntry &e, const EntrySettings &set) {
  sqlite3_stmt *st = q.key_of.get();
  sqlite3_bind_int64(st, 1, id);
  bool same = false;
  if (sqlite3_step(st) == SQLITE_ROW) {
    auto text = [&](int col, const std::string &want) {
      const char *t = (const char *)sqlite3_column_text(st, col);
      return t && want == t;
    };
    same = sqlite3_column_int64(st, 0) == e.stamp.size &&
           sqlite3_column_int64(st, 1) == e.stamp.mtime_ns && text(2, HexHash(e.stamp.hash)) &&
           sqlite3_column_int(st, 3) == set.parser &&
           sqlite3_column_int(st, 4) == set.exact_names && text(5, set.extensions) &&
           text(6, set.version);
  }
  sqlite3_reset(st);
  return same;
}

int64_t FindSource(Statements &q, const std::string &path) {
  sqlite3_stmt *st = q.find_source.get();
  BindText(st, 1, path);
  int64_t id = sqlite3_step(st) == SQLITE_ROW ? sqlite3_column_int64(st, 0) : 0;
  sqlite3_reset(st);
  return id;
}

int WriteSource(sqlite3 *db, Statements &q, const PendingEntry &e, const EntrySettings &set) {
  // The rows come from the bytes themselves, decoded apart from the analyzer.
  std::string names;
  names.reserve(2 * e.records.size() + 16);
  ST_SOURCE local{};
  ArenaInit(&local.records, 4096, (size_t)1 << 20);
  if (!DecodeRecords(e.records.data(), e.records.size(), &local, KeepName, &names))
    return SQLITE_DONE;  // cannot happen for bytes just encoded; nothing is written
  int calls = 0;
  ForEachFunction(&local, [&](ST_FUNC *f) { calls += f->calls.count; });

  int64_t id = FindSource(q, e.path);
  bool same = id && SameKey(q, id, e, set);
  int rc = SQLITE_DONE;
  if (id) rc = DeleteRows(q, id);
  if (id && !same && rc == SQLITE_DONE) {
    sqlite3_bind_int64(q.delete_logs.get(), 1, id);
    rc = Run(q.delete_logs.get());
  }
  sqlite3_stmt *st = id ? q.update_source.get() : q.insert_source.get();
  std::string hash = HexHash(e.stamp.hash), lost;
  BindText(st, 1, e.path);
  BindText(st, 2, e.name);
  sqlite3_bind_int64(st, 3, e.stamp.size);
  sqlite3_bind_int64(st, 4, e.stamp.mtime_ns);
  BindText(st, 5, hash);
  sqlite3_bind_int(st, 6, set.parser);
  sqlite3_bind_int(st, 7, set.exact_names);
  BindText(st, 8, set.extensions);
  BindText(st, 9, set.version);
  sqlite3_bind_int(st, 10, local.funcs.count);
  sqlite3_bind_int(st, 11, calls);
  BindName(st, 12, local.lost_in, &lost);
  if (local.lost_in)
    sqlite3_bind_int(st, 13, local.lost_line + 1);
  else
    sqlite3_bind_null(st, 13);
  if (id) sqlite3_bind_int64(st, 14, id);
  if (rc == SQLITE_DONE) rc = Run(st);
  if (!id) id = sqlite3_last_insert_rowid(db);
  if (rc == SQLITE_DONE) rc = InsertRows(q, id, local);
  ForgetRecords(&local);
  if (rc != SQLITE_DONE) return rc;

  sqlite3_stmt *r = q.put_records.get();
  sqlite3_bind_int64(r, 1, id);
  sqlite3_bind_blob(r, 2, e.records.data(), (int)e.records.size(), SQLITE_STATIC);
  sqlite3_bind_int64(r, 3, (int64_t)ContentHash(e.records.data(), e.records.size()));
  rc = Run(r);
  if (rc != SQLITE_DONE || !e.has_lines) return rc;
  sqlite3_stmt *l = q.put_log.get();
  sqlite3_bind_int64(l, 1, id);
  sqlite3_bind_int(l, 2, e.level);
  sqlite3_bind_blob(l, 3, e.lines.data(), (int)e.lines.size(), SQLITE_STATIC);
  sqlite3_bind_int64(l, 4, (int64_t)ContentHash(e.lines.data(), e.lines.size()));
  return Run(l);
}

int WriteLinks(Statements &q, const PendingEntry &e) {
  sqlite3_stmt *del = q.delete_links.get();
  sqlite3_bind_int64(del, 1, FirstCall(e.source));
  sqlite3_bind_int64(del, 2, FirstCall(e.source + 1) - 1);
  int rc = Run(del);
  // Pairs of varints: the call's number in its source, the callee's id.
  const unsigned char *p = (const unsigned char *)e.links.data();
  const unsigned char *end = p + e.links.size();
  auto next = [&]() {
    uint64_t v = 0;
    for (int shift = 0; p < end && shift < 64; shift += 7) {
      unsigned char b = *p++;
      v |= (uint64_t)(b & 0x7F) << shift;
      if (!(b & 0x80)) break;
    }
    return v;
  };
  while (p < end && rc == SQLITE_DONE) {
    int64_t call = FirstCall(e.source) + (int64_t)next();
    int64_t callee = (int64_t)next();
    sqlite3_bind_int64(q.insert_link.get(), 1, call);
    sqlite3_bind_int64(q.insert_link.get(), 2, callee);
    rc = Run(q.insert_link.get());
  }
  if (rc != SQLITE_DONE) return rc;
  sqlite3_bind_int64(q.set_links_hash.get(), 1, e.source);
  sqlite3_bind_int64(q.set_links_hash.get(), 2, (int64_t)e.links_hash);
  return Run(q.set_links_hash.get());
}

int RemoveSource(Statements &q, int64_t id) {
  int rc = DeleteRows(q, id);
  for (sqlite3_stmt *st : {q.delete_logs.get(), q.delete_records.get(), q.delete_source.get()}) {
    sqlite3_bind_int64(st, 1, id);
    if (rc == SQLITE_DONE) rc = Run(st);
  }
  return rc;
}

int WriteEntry(sqlite3 *db, Statements &q, const PendingEntry &e, const EntrySettings &set) {
  switch (e.kind) {
    case PendingEntry::kSource:
      return WriteSource(db, q, e, set);
    case PendingEntry::kLinks:
      return WriteLinks(q, e);
    case PendingEntry::kRemove:
      return RemoveSource(q, e.source);
  }
  return SQLITE_DONE;
}

size_t BytesOf(const PendingEntry &e) {
  return e.records.size() + e.lines.size() + e.links.size() + e.path.size() + 64;
}

// Writing failed: nothing more is written in this analysis.
void StopWriting(ST_INDEX *ix, int rc) {
  std::lock_guard<std::mutex> guard(ix->lock);
  ix->writing = 0;
  Trouble t = TroubleOf(rc);
  if (t == Trouble::kNone || t == Trouble::kBusy) t = Trouble::kUnwritable;
  if ((int)t > (int)ix->trouble) ix->trouble = t;
  if (t == Trouble::kDamaged) ix->damaged_in_use.store(1);
  ix->queue.clear();
  ix->queued_bytes = 0;
}

void WriterMain(ST_INDEX *ix) {
  Statements q(ix->db);
  if (!q.Ready()) StopWriting(ix, sqlite3_errcode(ix->db));
  std::vector<PendingEntry> batch;
  for (;;) {
    {
      std::unique_lock<std::mutex> guard(ix->lock);
      ix->busy = 0;
      ix->drained.notify_all();
      ix->wake.wait(guard, [ix] { return !ix->queue.empty() || ix->closing; });
      if (ix->queue.empty()) break;
      size_t bytes = 0;
      batch.clear();
      while (!ix->queue.empty() && bytes < kBatchBytes) {
        bytes += BytesOf(ix->queue.front());
        batch.push_back(std::move(ix->queue.front()));
        ix->queue.pop_front();
      }
      ix->queued_bytes -= bytes < ix->queued_bytes ? bytes : ix->queued_bytes;
      ix->busy = 1;
      ix->drained.notify_all();
    }
    int rc = sqlite3_exec(ix->db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
    if (rc == SQLITE_OK) rc = SQLITE_DONE;
    for (const PendingEntry &e : batch) {
      if (rc != SQLITE_DONE) break;
      rc = WriteEntry(ix->db, q, e, ix->settings);
    }
    if (rc == SQLITE_DONE) rc = sqlite3_exec(ix->db, "COMMIT", nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK && rc != SQLITE_DONE) {
      sqlite3_exec(ix->db, "ROLLBACK", nullptr, nullptr, nullptr);
      StopWriting(ix, rc);
    }
  }
}

}  // namespace

void Enqueue(ST_INDEX *ix, PendingEntry &&e) {
  std::unique_lock<std::mutex> guard(ix->lock);
  ix->drained.wait(guard, [ix] { return !ix->writing || ix->queued_bytes < kMaxQueued; });
  if (!ix->writing) return;
  ix->queued_bytes += BytesOf(e);
  ix->queue.push_back(std::move(e));
  ix->wake.notify_one();
}

void StartWriter(ST_INDEX *ix) {
  try {
    ix->writer = std::thread(WriterMain, ix);
  } catch (...) {
    StopWriting(ix, SQLITE_NOMEM);
  }
}

void WaitWritten(ST_INDEX *ix) {
  std::unique_lock<std::mutex> guard(ix->lock);
  ix->drained.wait(guard, [ix] { return ix->queue.empty() && !ix->busy; });
}

void StopWriter(ST_INDEX *ix) {
  {
    std::lock_guard<std::mutex> guard(ix->lock);
    ix->closing = 1;
    ix->wake.notify_all();
  }
  if (ix->writer.joinable()) ix->writer.join();
}

}  // namespace index_detail
