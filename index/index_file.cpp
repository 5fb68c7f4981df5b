// The index file: where it is, opening it safely (a private folder, no link
// followed, a lock so that one program writes it at a time), making it anew
// when it is damaged or of another version, and closing it.
#include <algorithm>
#include <cstdio>
#include <cstring>

#include "foundation/content_hash.h"
#include "foundation/messages.h"
#include "foundation/settings.h"
#include "foundation/text.h"
#include "index/index_internal.h"
#include "index/record_codec.h"
#include "index_stamp.h"
#include "platform/files.h"
#include "platform/private_files.h"
#include "platform/user_dirs.h"

using namespace index_detail;

namespace index_detail {

Stmt::Stmt(sqlite3 *db, const char *sql) {
  if (sqlite3_prepare_v2(db, sql, -1, &st_, nullptr) != SQLITE_OK) {
    sqlite3_finalize(st_);
    st_ = nullptr;
  }
}

Stmt::~Stmt() {
  sqlite3_finalize(st_);
}

void NoteTrouble(ST_INDEX *ix, Trouble t) {
  std::lock_guard<std::mutex> guard(ix->lock);
  if ((int)t > (int)ix->trouble) ix->trouble = t;
}

Trouble TroubleOf(int rc) {
  switch (rc & 0xFF) {
    case SQLITE_OK:
    case SQLITE_ROW:
    case SQLITE_DONE:
      return Trouble::kNone;
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
      return Trouble::kDamaged;
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
      return Trouble::kBusy;
    default:  // full, read-only, I/O errors, no memory, no permission
      return Trouble::kUnwritable;
  }
}

sqlite3 *OpenConnection(const ST_INDEX *ix, int readonly) {
  sqlite3 *db = nullptr;
  int flags = (readonly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE) | SQLITE_OPEN_NOFOLLOW |
              SQLITE_OPEN_NOMUTEX;
  if (sqlite3_open_v2(ix->path.c_str(), &db, flags, ix->vfs) != SQLITE_OK) {
    sqlite3_close_v2(db);
    return nullptr;
  }
  sqlite3_busy_timeout(db, 5000);
  return db;
}

std::string AbsolutePath(const char *path) {
  if (!path || path[0] == '/') return path ? path : "";
  char cwd[VELMORA_PATH_MAX];
  if (!WorkingFolder(cwd, sizeof cwd)) return path;
  std::string out = cwd;
  if (out.empty() || out.back() != '/') out += '/';
  const char *rest = path;
  while (rest[0] == '.' && rest[1] == '/') rest += 2;
  return out + rest;
}

}  // namespace index_detail

namespace {

const char *const kSideFiles[] = {"", "-wal", "-shm", ".lock"};

// The index cannot be used; the analysis goes on without it.
ST_INDEX *Off(ST_INDEX *ix, Trouble t) {
  NoteTrouble(ix, t);
  if (ix->db) sqlite3_close_v2(ix->db);
  ix->db = nullptr;
  ix->on = 0;
  return ix;
}

void RemoveIndexFiles(const std::string &path) {
  for (int i = 0; i < 3; i++) RemoveFile((path + kSideFiles[i]).c_str());
}

// A new empty index at ix->path with its tables, opened in ix->db. rc.
int MakeAnew(ST_INDEX *ix) {
  if (ix->db) sqlite3_close_v2(ix->db);
  ix->db = nullptr;
  RemoveIndexFiles(ix->path);
  if (!CreatePrivateFile(ix->path.c_str())) return SQLITE_CANTOPEN;
  ix->db = OpenConnection(ix, 0);
  if (!ix->db) return SQLITE_CANTOPEN;
  int rc = sqlite3_exec(ix->db, "PRAGMA journal_mode=WAL", nullptr, nullptr, nullptr);
  return rc == SQLITE_OK ? CreateSchema(ix->db) : rc;
}

// What the file holds: 1 an index of ours of this version, 0 an index of
// ours of another version, -1 something else or damaged, -2 an empty file.
int Recognise(sqlite3 *db) {
  Stmt tables(db, "SELECT count(*) FROM sqlite_master");
  if (!tables || sqlite3_step(tables.get()) != SQLITE_ROW) return -1;
  if (sqlite3_column_int(tables.get(), 0) == 0) return -2;
  Stmt id(db, "PRAGMA application_id");
  if (!id || sqlite3_step(id.get()) != SQLITE_ROW) return -1;
  if (sqlite3_column_int(id.get(), 0) != kApplicationId) return -1;
  return SchemaIsCurrent(db) ? 1 : 0;
}

}  // namespace

std::string IndexFileFor(const std::vector<std::string> &roots) {
  char cache[VELMORA_PATH_MAX];
  if (!UserBaseDir(UserDir::kCache, cache, sizeof cache)) return "";
  std::vector<std::string> sorted;
  for (const std::string &r : roots) {
    // "src", "./src/" and "/abs/src/." name one project.
    std::string a = AbsolutePath(r.c_str());
    for (bool cut = true; cut && a.size() > 1;) {
      cut = false;
      if (a.back() == '/') a.pop_back(), cut = true;
      if (a.size() > 2 && a.compare(a.size() - 2, 2, "/.") == 0) a.resize(a.size() - 2), cut = true;
    }
    sorted.push_back(a);
  }
  std::sort(sorted.begin(), sorted.end());
  std::string joined;
  for (const std::string &r : sorted) joined.append(r.c_str(), r.size() + 1);
  char name[32];
  snprintf(name, sizeof name, "%016llx.db",
           (unsigned long long)ContentHash(joined.data(), joined.size()));
  return std::string(cache) + "/velmora/index/" + name;
}

ST_INDEX *IndexOpen(const IndexOptions &options) {
  ST_INDEX *ix = new ST_INDEX();
  ix->vfs = options.vfs;
  ix->settings.parser = ANA_ParserInUse();
  ix->settings.exact_names = g_config.EXACT_NAMES;
  ix->settings.extensions = g_config.EXT;
  ix->settings.version = std::string("velmora 0.10 ") + VELMORA_INDEX_STAMP + " records " +
                         std::to_string((int)kRecordFormat);
  ix->path = options.file.empty() ? IndexFileFor(options.roots) : options.file;
  if (ix->path.empty()) return Off(ix, Trouble::kNoPlace);
  if (options.file.empty()) {
    std::string folder = ix->path.substr(0, ix->path.rfind('/'));
    if (!MakePrivateDir(folder.c_str())) return Off(ix, Trouble::kNoPlace);
  }
  for (const char *side : kSideFiles) {
    if (CheckPrivateFile((ix->path + side).c_str()) == PrivateFile::kRefused)
      return Off(ix, Trouble::kRefused);
  }
  ix->lock_fd = LockPrivateFile((ix->path + ".lock").c_str());
  if (ix->lock_fd == -2) return Off(ix, Trouble::kBusy);
  if (ix->lock_fd < 0) return Off(ix, Trouble::kUnwritable);

  int known = -2;
  if (CheckPrivateFile(ix->path.c_str()) == PrivateFile::kReady) {
    ix->db = OpenConnection(ix, 0);
    known = ix->db ? Recognise(ix->db) : -1;
  }
  int rc = SQLITE_OK;
  if (known == -1) NoteTrouble(ix, Trouble::kDamaged);  // made anew, said once
  if (known != 1) rc = MakeAnew(ix);
  if (rc == SQLITE_OK)
    rc = sqlite3_exec(ix->db, "PRAGMA journal_mode=WAL", nullptr, nullptr, nullptr);
  if (rc == SQLITE_OK)
    rc = sqlite3_exec(ix->db, "PRAGMA synchronous=OFF", nullptr, nullptr, nullptr);
  if (rc != SQLITE_OK)
    return Off(ix, TroubleOf(rc) == Trouble::kDamaged ? Trouble::kDamaged : Trouble::kUnwritable);
  ix->store = SourceStore{ix, OpenReader, CloseReader, TakeSource, KeepSource};
  ix->on = 1;
  StartWriter(ix);
  return ix;
}

const SourceStore *IndexStore(ST_INDEX *ix) {
  return ix && ix->on ? &ix->store : nullptr;
}

IndexReport IndexGetReport(ST_INDEX *ix) {
  IndexReport r;
  if (!ix) return r;
  r.used = ix->on;
  r.from_index = ix->from_index.load();
  r.parsed = ix->parsed.load();
  Trouble t;
  {
    std::lock_guard<std::mutex> guard(ix->lock);
    t = ix->trouble;
  }
  switch (t) {
    case Trouble::kNone:
      break;
    case Trouble::kBusy:
      r.note = MsgUtf8(
          "another program is writing the index of this project; this analysis does without it");
      break;
    case Trouble::kRefused:
      r.note = FormatString(
          MsgUtf8("the index %s is not a file of yours (a link?); this analysis does without it"),
          ix->path.c_str());
      break;
    case Trouble::kNoPlace:
      r.note = MsgUtf8("there is no folder for the index; this analysis does without it");
      break;
    case Trouble::kUnwritable:
      r.note = MsgUtf8(
          "the index cannot be written (disk full or read-only?); the analysis goes on without it");
      break;
    case Trouble::kDamaged:
      r.note = MsgUtf8("the index was damaged and is made anew; its sources are parsed again");
      break;
  }
  return r;
}

void IndexClose(ST_INDEX **ref, IndexReport *report) {
  if (!ref || !*ref) return;
  ST_INDEX *ix = *ref;
  *ref = nullptr;
  StopWriter(ix);
  if (report) *report = IndexGetReport(ix);
  // Damage seen while in use: nothing reads it any more, so it is made anew
  // now for the next analysis.
  if (ix->damaged_in_use.load() && ix->on) MakeAnew(ix);
  if (ix->db) sqlite3_close_v2(ix->db);
  ix->db = nullptr;
  if (ix->lock_fd >= 0) UnlockPrivateFile(ix->lock_fd);
  delete ix;
}
