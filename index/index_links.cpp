// What the index learns once a whole project is linked: the definition each
// call reached (rewritten only for sources whose links changed), the
// sources that left the project, and a source updated on its own.
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "engine/record_walk.h"
#include "foundation/content_hash.h"
#include "index/index_internal.h"
#include "index/record_codec.h"
#include "platform/files.h"

using namespace index_detail;

namespace {

void PutUnsigned(std::string *out, uint64_t v) {
  while (v >= 0x80) {
    out->push_back((char)(v | 0x80));
    v >>= 7;
  }
  out->push_back((char)v);
}

// Every stored source's id by its path, and the hash of its stored links.
struct Stored {
  std::unordered_map<std::string, int64_t> ids;
  std::unordered_map<int64_t, int64_t> links_hash;
};

bool ReadStored(ST_INDEX *ix, Stored *out) {
  sqlite3 *db = OpenConnection(ix, 1);
  if (!db) return false;
  bool ok;
  {
    Stmt sources(db, "SELECT id, path FROM sources");
    Stmt hashes(db, "SELECT source, links_hash FROM records");
    ok = sources && hashes;
    int rc;
    while (ok && (rc = sqlite3_step(sources.get())) == SQLITE_ROW) {
      const char *p = (const char *)sqlite3_column_text(sources.get(), 1);
      out->ids[p ? p : ""] = sqlite3_column_int64(sources.get(), 0);
    }
    ok = ok && rc == SQLITE_DONE;
    while (ok && (rc = sqlite3_step(hashes.get())) == SQLITE_ROW)
      out->links_hash[sqlite3_column_int64(hashes.get(), 0)] =
          sqlite3_column_int64(hashes.get(), 1);
    ok = ok && rc == SQLITE_DONE;
    if (!ok) NoteTrouble(ix, TroubleOf(sqlite3_errcode(db)));
  }
  sqlite3_close_v2(db);
  return ok;
}

bool Writing(ST_INDEX *ix) {
  std::lock_guard<std::mutex> guard(ix->lock);
  return ix->writing != 0;
}

}  // namespace

void IndexAnalysisDone(ST_INDEX *ix, int complete) {
  if (!ix || !ix->on || !complete) return;
  WaitWritten(ix);  // every source parsed now has its id
  Stored stored;
  if (!Writing(ix) || !ReadStored(ix, &stored)) return;
  std::unordered_map<const ST_SOURCE *, int64_t> id_of;
  std::unordered_set<std::string> present;
  ForEachSource([&](const ST_SOURCE *s) {
    std::string path = AbsolutePath(s->path);
    auto it = stored.ids.find(path);
    if (it != stored.ids.end()) id_of[s] = it->second;
    present.insert(std::move(path));
  });
  ForEachSource([&](const ST_SOURCE *s) {
    auto me = id_of.find(s);
    if (me == id_of.end()) return;
    std::string links;
    uint64_t n = 0;
    ForEachCall(s, [&](const ST_CALL *c) {
      const ST_FUNC *to = c->to_func;
      auto target = to ? id_of.find(to->source) : id_of.end();
      if (target != id_of.end()) {
        PutUnsigned(&links, n);
        PutUnsigned(&links, (uint64_t)(target->second << kFidBits | to->fid));
      }
      n++;
    });
    uint64_t hash = ContentHash(links.data(), links.size());
    auto old = stored.links_hash.find(me->second);
    if (old != stored.links_hash.end() && (uint64_t)old->second == hash) return;
    PendingEntry e{};
    e.kind = PendingEntry::kLinks;
    e.source = me->second;
    e.links = std::move(links);
    e.links_hash = hash;
    Enqueue(ix, std::move(e));
  });
  // One index is one project: what it no longer holds goes.
  for (const auto &it : stored.ids) {
    if (present.count(it.first)) continue;
    PendingEntry e{};
    e.kind = PendingEntry::kRemove;
    e.source = it.second;
    Enqueue(ix, std::move(e));
  }
}

int IndexKeepSource(ST_INDEX *ix, const ST_SOURCE *s, const SourceStamp *read) {
  if (!ix || !ix->on || !s || s->status != -1) return 0;
  SourceStamp stamp{};
  if (read) {
    stamp = *read;
  } else {
    int64_t size = FileSizeForRead(s->path);
    if (size < 0 || size > 0x7FFFFFFF - 64) return 0;
    std::vector<char> bytes((size_t)size + 1);
    FileStamp before, after;
    int64_t got = ReadFileStamped(s->path, bytes.data(), size + 1, &before, &after);
    if (got < 0) return 0;
    stamp =
        SourceStamp{before.size, before.mtime_ns, ContentHash(bytes.data(), (size_t)got),
                    got == size && before.size == after.size && before.mtime_ns == after.mtime_ns};
  }
  ix->parsed.fetch_add(-1);  // KeepSource counts an analysis's parsed sources
  KeepSource(ix, s, &stamp, nullptr);
  WaitWritten(ix);
  return Writing(ix) && stamp.steady ? 1 : 0;
}

void IndexDropSource(ST_INDEX *ix, const char *path) {
  if (!ix || !ix->on || !path) return;
  WaitWritten(ix);
  Stored stored;
  if (!Writing(ix) || !ReadStored(ix, &stored)) return;
  auto it = stored.ids.find(AbsolutePath(path));
  if (it == stored.ids.end()) return;
  PendingEntry e{};
  e.kind = PendingEntry::kRemove;
  e.source = it->second;
  Enqueue(ix, std::move(e));
  WaitWritten(ix);
}
