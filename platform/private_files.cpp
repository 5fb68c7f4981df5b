// Private folders, private files and their lock on POSIX: lstat and
// O_NOFOLLOW so a planted link is refused rather than followed, O_EXCL so a
// file is ours from its first byte, flock for the lock (released by the
// kernel when the process ends, whatever way it ends).
#include "platform/private_files.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/user_dirs.h"

namespace {

int OpenNoFollow(const char *path, int flags, mode_t mode) {
  int fd;
  do {
    fd = open(path, flags | O_NOFOLLOW | O_CLOEXEC, mode);
  } while (fd < 0 && errno == EINTR);
  return fd;
}

}  // namespace

int MakePrivateDir(const char *path) {
  if (!path || path[0] != '/') return 0;
  if (!MakeUserDir(path)) return 0;
  struct stat st;
  if (lstat(path, &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != getuid()) return 0;
  if ((st.st_mode & 0777) != 0700 && chmod(path, 0700) != 0) return 0;
  return 1;
}

PrivateFile CheckPrivateFile(const char *path) {
  struct stat st;
  if (!path || !*path) return PrivateFile::kRefused;
  if (lstat(path, &st) != 0) return errno == ENOENT ? PrivateFile::kAbsent : PrivateFile::kRefused;
  if (!S_ISREG(st.st_mode) || st.st_uid != getuid() || st.st_nlink != 1)
    return PrivateFile::kRefused;
  if ((st.st_mode & 0777) != 0600) {
    // Through a descriptor that cannot be a link's target.
    int fd = OpenNoFollow(path, O_RDONLY | O_NONBLOCK, 0);
    bool ok = fd >= 0 && fchmod(fd, 0600) == 0;
    if (fd >= 0) close(fd);
    if (!ok) return PrivateFile::kRefused;
  }
  return PrivateFile::kReady;
}

int CreatePrivateFile(const char *path) {
  if (!path || !*path) return 0;
  int fd = OpenNoFollow(path, O_WRONLY | O_CREAT | O_EXCL, 0600);
  if (fd < 0) return 0;
  close(fd);
  return 1;
}

int64_t PrivateFileSize(const char *path) {
  struct stat st;
  if (!path || !*path || lstat(path, &st) != 0 || !S_ISREG(st.st_mode)) return -1;
  return (int64_t)st.st_size;
}

int LockPrivateFile(const char *path) {
  if (!path || !*path) return -1;
  PrivateFile state = CheckPrivateFile(path);
  if (state == PrivateFile::kRefused) return -1;
  int fd = OpenNoFollow(path, O_RDWR | O_CREAT, 0600);
  if (fd < 0) return -1;
  struct stat st;
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != getuid()) {
    close(fd);
    return -1;
  }
  int r;
  do {
    r = flock(fd, LOCK_EX | LOCK_NB);
  } while (r != 0 && errno == EINTR);
  if (r == 0) return fd;
  int busy = errno == EWOULDBLOCK;
  close(fd);
  return busy ? -2 : -1;
}

void UnlockPrivateFile(int fd) {
  if (fd < 0) return;
  flock(fd, LOCK_UN);
  close(fd);
}
