// Output files that cannot be hijacked: no-follow opens, exclusive creation,
// replacement by rename, and names claimed before anything is written to
// them. Every descriptor is held by a UniqueFd until it is handed out.
#include "platform/output_files.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <ctime>
#include <string>

#include "platform/files.h"
#include "platform/unique_fd.h"

namespace {

// The refusal for what lstat found at a path that could not be opened or must
// not be written (kNone: nothing there, or a plain file with one link).
OutputRefusal Classify(const struct stat &st) {
  if (S_ISLNK(st.st_mode)) return OutputRefusal::kLink;
  if (!S_ISREG(st.st_mode)) return OutputRefusal::kNotRegular;
  if (st.st_nlink > 1) return OutputRefusal::kManyLinks;
  return OutputRefusal::kNone;
}

OutputRefusal ClassifyPath(const char *path) {
  struct stat st;
  if (lstat(path, &st) != 0) return OutputRefusal::kFailed;
  OutputRefusal r = Classify(st);
  return r == OutputRefusal::kNone ? OutputRefusal::kFailed : r;
}

void Set(OutputRefusal *why, OutputRefusal r) {
  if (why) *why = r;
}

int OpenRetry(const char *path, int flags, mode_t mode) {
  int fd;
  do {
    fd = open(path, flags | O_CLOEXEC | O_NOFOLLOW | O_NOCTTY, mode);
  } while (fd < 0 && errno == EINTR);
  return fd;
}

// A name no other writer uses at the same moment: process, counter, clock.
std::string FreshSuffix() {
  static std::atomic<unsigned> counter{0};
  struct timespec ts;
  clock_gettime(CLOCK_REALTIME, &ts);
  return "." + std::to_string((long)getpid()) + "-" + std::to_string(counter++) + "-" +
         std::to_string((long)ts.tv_nsec);
}

// The claimed file is still what dfd/name refers to.
bool StillClaimed(int dfd, const char *name, const ClaimedFile &c) {
  struct stat st;
  return fstatat(dfd, name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(st.st_mode) &&
         (uint64_t)st.st_dev == c.dev && (uint64_t)st.st_ino == c.ino;
}

// Copies the regular file at from into fd from its start; 1 done.
int CopyInto(int fd, const char *from) {
  UniqueFd in(OpenRetry(from, O_RDONLY | O_NONBLOCK, 0));
  struct stat st;
  if (!in.valid() || fstat(in.get(), &st) != 0 || !S_ISREG(st.st_mode)) return 0;
  if (ftruncate(fd, 0) != 0 || lseek(fd, 0, SEEK_SET) != 0) return 0;
  char buf[65536];
  for (;;) {
    ssize_t r = read(in.get(), buf, sizeof buf);
    if (r < 0 && errno == EINTR) continue;
    if (r < 0) return 0;
    if (r == 0) return 1;
    if (!WriteFd(fd, buf, (size_t)r)) return 0;
  }
}

void Close(ClaimedFile *c) {
  if (c->fd >= 0) close(c->fd);
  *c = ClaimedFile();
}

}  // namespace

const char *OutputRefusalText(OutputRefusal why) {
  switch (why) {
    case OutputRefusal::kNone:
      return "Opened";
    case OutputRefusal::kFailed:
      return "Cannot open";
    case OutputRefusal::kLink:
      return "Link";
    case OutputRefusal::kNotRegular:
      return "Not a regular file";
    case OutputRefusal::kManyLinks:
      return "File with other links";
  }
  return "Cannot open";
}

int OpenOutputAppend(const char *path, OutputRefusal *why) {
  Set(why, OutputRefusal::kFailed);
  if (!path || !*path) return -1;
  for (int attempt = 0; attempt < 8; attempt++) {
    // O_NONBLOCK: a pipe planted at the path must not hold the open.
    UniqueFd f(OpenRetry(path, O_WRONLY | O_APPEND | O_NONBLOCK, 0));
    if (!f.valid() && errno == ENOENT)
      f.Reset(OpenRetry(path, O_WRONLY | O_APPEND | O_CREAT | O_EXCL, 0666));
    if (!f.valid()) {
      if (errno == EEXIST || errno == ENOENT) continue;  // changed under us: look again
      Set(why, ClassifyPath(path));
      return -1;
    }
    struct stat st;
    if (fstat(f.get(), &st) != 0) return -1;
    OutputRefusal r = Classify(st);
    if (r == OutputRefusal::kNone && st.st_nlink == 0) continue;  // deleted meanwhile
    Set(why, r);
    if (r != OutputRefusal::kNone) return -1;
    int flags = fcntl(f.get(), F_GETFL);
    if (flags >= 0) fcntl(f.get(), F_SETFL, flags & ~O_NONBLOCK);
    return f.Release();
  }
  return -1;
}

int AppendOutputFile(const char *path, const void *bytes, size_t len, OutputRefusal *why) {
  if (!bytes && len) return 0;
  UniqueFd f(OpenOutputAppend(path, why));
  if (!f.valid()) return 0;
  return WriteFd(f.get(), bytes, len);
}

int ReplaceWithNewFile(const char *path, OutputRefusal *why) {
  Set(why, OutputRefusal::kFailed);
  if (!path || !*path) return -1;
  struct stat st;
  if (lstat(path, &st) == 0) {
    OutputRefusal r = Classify(st);
    if (r != OutputRefusal::kNone) {
      Set(why, r);
      return -1;
    }
  }
  std::string tmp;
  UniqueFd f;
  for (int attempt = 0; attempt < 16 && !f.valid(); attempt++) {
    tmp = std::string(path) + FreshSuffix();
    f.Reset(OpenRetry(tmp.c_str(), O_RDWR | O_CREAT | O_EXCL, 0666));
    if (!f.valid() && errno != EEXIST) return -1;
  }
  if (!f.valid()) return -1;
  // A link put at path since the look above is replaced, not followed.
  if (rename(tmp.c_str(), path) != 0) {
    unlink(tmp.c_str());
    return -1;
  }
  Set(why, OutputRefusal::kNone);
  return f.Release();
}

ClaimResult ClaimNewFile(const char *dir, const char *name, ClaimedFile *out) {
  *out = ClaimedFile();
  if (!dir || !*dir || !name || !*name) return ClaimResult::kFailed;
  UniqueFd d(open(dir, O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!d.valid()) return ClaimResult::kFailed;
  int fd;
  do {
    fd = openat(d.get(), name, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC,
                0644);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) return errno == EEXIST ? ClaimResult::kTaken : ClaimResult::kFailed;
  UniqueFd f(fd);
  struct stat st;
  if (fstat(f.get(), &st) != 0) return ClaimResult::kFailed;
  out->dev = (uint64_t)st.st_dev;
  out->ino = (uint64_t)st.st_ino;
  out->fd = f.Release();
  return ClaimResult::kClaimed;
}

int FillClaimedFile(ClaimedFile *c, const char *dir, const char *name, const char *from) {
  if (!c || c->fd < 0) return 0;
  struct stat st;
  bool have = from && *from && lstat(from, &st) == 0 && S_ISREG(st.st_mode);
  UniqueFd d(dir && *dir ? open(dir, O_RDONLY | O_DIRECTORY | O_CLOEXEC) : -1);
  bool claimed = d.valid() && name && StillClaimed(d.get(), name, *c);
  int done = 0;
  if (have && claimed) {
    // The picture keeps the mode its writer gave it, as when it was
    // written in place; across file systems the bytes go into the claim.
    if ((uint64_t)st.st_dev == c->dev && renameat(AT_FDCWD, from, d.get(), name) == 0)
      done = 1;
    else
      done = CopyInto(c->fd, from);
  }
  if (from && *from) unlink(from);
  if (!done) {
    ReleaseClaimedFile(c, dir, name);
    return 0;
  }
  Close(c);
  return 1;
}

void ReleaseClaimedFile(ClaimedFile *c, const char *dir, const char *name) {
  if (!c || c->fd < 0) return;
  UniqueFd d(dir && *dir ? open(dir, O_RDONLY | O_DIRECTORY | O_CLOEXEC) : -1);
  struct stat st;
  if (d.valid() && name && StillClaimed(d.get(), name, *c) && fstat(c->fd, &st) == 0 &&
      st.st_size == 0)
    unlinkat(d.get(), name, 0);
  Close(c);
}

FolderLock LockFolder(const char *dir, int *fd) {
  *fd = -1;
  if (!dir || !*dir) return FolderLock::kFailed;
  UniqueFd d(open(dir, O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!d.valid()) return FolderLock::kFailed;
  int r;
  do {
    r = flock(d.get(), LOCK_EX | LOCK_NB);
  } while (r != 0 && errno == EINTR);
  if (r != 0) return errno == EWOULDBLOCK ? FolderLock::kBusy : FolderLock::kFailed;
  *fd = d.Release();
  return FolderLock::kHeld;
}

void ReleaseFolderLock(int fd) {
  if (fd >= 0) close(fd);
}
