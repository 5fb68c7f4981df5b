// The failing file layer: each file holds the default layer's file after
// its own header, and every method but xWrite and xTruncate forwards to it.
#include "index/faulty_vfs.h"

#include <atomic>
#include <cstring>

namespace velmora_test {

namespace {

struct FaultyFile {
  sqlite3_file base;
  sqlite3_file *real;
};

std::atomic<int> g_fail{SQLITE_OK};
sqlite3_vfs g_vfs;
sqlite3_io_methods g_methods;

sqlite3_file *Real(sqlite3_file *f) {
  return ((FaultyFile *)f)->real;
}

int Close(sqlite3_file *f) {
  return Real(f)->pMethods->xClose(Real(f));
}
int Read(sqlite3_file *f, void *buf, int n, sqlite3_int64 off) {
  return Real(f)->pMethods->xRead(Real(f), buf, n, off);
}
int Write(sqlite3_file *f, const void *buf, int n, sqlite3_int64 off) {
  int rc = g_fail.load();
  return rc != SQLITE_OK ? rc : Real(f)->pMethods->xWrite(Real(f), buf, n, off);
}
int Truncate(sqlite3_file *f, sqlite3_int64 size) {
  int rc = g_fail.load();
  return rc != SQLITE_OK ? rc : Real(f)->pMethods->xTruncate(Real(f), size);
}
int Sync(sqlite3_file *f, int flags) {
  return Real(f)->pMethods->xSync(Real(f), flags);
}
int FileSize(sqlite3_file *f, sqlite3_int64 *size) {
  return Real(f)->pMethods->xFileSize(Real(f), size);
}
int Lock(sqlite3_file *f, int l) {
  return Real(f)->pMethods->xLock(Real(f), l);
}
int Unlock(sqlite3_file *f, int l) {
  return Real(f)->pMethods->xUnlock(Real(f), l);
}
int CheckReserved(sqlite3_file *f, int *out) {
  return Real(f)->pMethods->xCheckReservedLock(Real(f), out);
}
int FileControl(sqlite3_file *f, int op, void *arg) {
  return Real(f)->pMethods->xFileControl(Real(f), op, arg);
}
int SectorSize(sqlite3_file *f) {
  return Real(f)->pMethods->xSectorSize(Real(f));
}
int Device(sqlite3_file *f) {
  return Real(f)->pMethods->xDeviceCharacteristics(Real(f));
}
int ShmMap(sqlite3_file *f, int page, int size, int extend, void volatile **out) {
  return Real(f)->pMethods->xShmMap(Real(f), page, size, extend, out);
}
int ShmLock(sqlite3_file *f, int offset, int n, int flags) {
  return Real(f)->pMethods->xShmLock(Real(f), offset, n, flags);
}
void ShmBarrier(sqlite3_file *f) {
  Real(f)->pMethods->xShmBarrier(Real(f));
}
int ShmUnmap(sqlite3_file *f, int del) {
  return Real(f)->pMethods->xShmUnmap(Real(f), del);
}

int Open(sqlite3_vfs *vfs, const char *name, sqlite3_file *f, int flags, int *out) {
  sqlite3_vfs *def = (sqlite3_vfs *)vfs->pAppData;
  FaultyFile *ff = (FaultyFile *)f;
  ff->real = (sqlite3_file *)(ff + 1);
  int rc = def->xOpen(def, name, ff->real, flags, out);
  ff->base.pMethods = rc == SQLITE_OK && ff->real->pMethods ? &g_methods : nullptr;
  return rc;
}

}  // namespace

const char *FaultyVfs(void) {
  if (!g_vfs.zName) {
    sqlite3_vfs *def = sqlite3_vfs_find(nullptr);
    g_vfs = *def;
    g_vfs.zName = "faulty";
    g_vfs.pAppData = def;
    g_vfs.szOsFile = (int)sizeof(FaultyFile) + def->szOsFile;
    g_vfs.xOpen = Open;
    g_vfs.pNext = nullptr;
    g_methods = sqlite3_io_methods{2,           Close,      Read,    Write,  Truncate,
                                   Sync,        FileSize,   Lock,    Unlock, CheckReserved,
                                   FileControl, SectorSize, Device,  ShmMap, ShmLock,
                                   ShmBarrier,  ShmUnmap,   nullptr, nullptr};
    sqlite3_vfs_register(&g_vfs, 0);
  }
  return g_vfs.zName;
}

void FaultyVfsFailWrites(int rc) {
  g_fail.store(rc);
}

}  // namespace velmora_test
