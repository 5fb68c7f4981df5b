// Files and folders on POSIX. Every descriptor and folder handle is owned by a
// small guard (UniqueFd, Dir) so that no early return leaks one.
#include "platform/files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "platform/sys.h"
#include "platform/unique_fd.h"
#include "platform/user_dirs.h"

namespace {

struct Dir {
  DIR *d;
  explicit Dir(DIR *p) : d(p) {}
  ~Dir() {
    if (d) closedir(d);
  }
  Dir(const Dir &) = delete;
  Dir &operator=(const Dir &) = delete;
};

int OpenRetry(const char *path, int flags, mode_t mode = 0) {
  int fd;
  do {
    fd = open(path, flags | O_CLOEXEC, mode);
  } while (fd < 0 && errno == EINTR);
  return fd;
}

// Opens a regular file for reading, and nothing else: a pipe, device or
// socket is refused before it is opened (opening one can block, take the
// terminal or rewind a tape), and the open file is checked again, since the
// name may have changed in between.
int OpenRegularForRead(const char *path) {
  struct stat st;
  if (!path || !*path || stat(path, &st) != 0 || !S_ISREG(st.st_mode)) return -1;
  UniqueFd f(OpenRetry(path, O_RDONLY | O_NOCTTY | O_NONBLOCK));
  if (f.get() < 0 || fstat(f.get(), &st) != 0 || !S_ISREG(st.st_mode)) return -1;
  return f.Release();
}

bool WriteAll(int fd, const void *bytes, size_t len) {
  const char *p = (const char *)bytes;
  while (len > 0) {
    ssize_t w = write(fd, p, len);
    if (w < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    p += w;
    len -= (size_t)w;
  }
  return true;
}

// Stores s in buf when it fits whole; a path is never cut.
int Deliver(const std::string &s, char *buf, size_t cap) {
  if (!buf || cap == 0) return 0;
  if (s.size() + 1 > cap) {
    buf[0] = 0;
    return 0;
  }
  memcpy(buf, s.c_str(), s.size() + 1);
  return 1;
}

std::string HomeFolder() {
  char home[VELMORA_PATH_MAX];
  return UserHomeDir(home, sizeof home) ? std::string(home) : std::string();
}

// The DESKTOP entry of user-dirs.dirs: XDG_DESKTOP_DIR="$HOME/Desktop" or an
// absolute path, shell-quoted. Empty when absent or malformed.
std::string DesktopFromUserDirs(const std::string &home) {
  std::string conf;
  const char *xch = GetEnv("XDG_CONFIG_HOME");
  if (xch && *xch == '/')
    conf = xch;
  else if (!home.empty())
    conf = home + "/.config";
  else
    return std::string();
  std::string file = conf + "/user-dirs.dirs";
  FILE *f = fopen(file.c_str(), "re");
  if (!f) return std::string();
  std::string result;
  char line[4096];
  while (fgets(line, sizeof line, f)) {
    const char *p = line;
    while (*p == ' ' || *p == '\t') p++;
    if (strncmp(p, "XDG_DESKTOP_DIR", 15) != 0) continue;
    p += 15;
    while (*p == ' ' || *p == '\t') p++;
    if (*p++ != '=') continue;
    while (*p == ' ' || *p == '\t') p++;
    if (*p++ != '"') continue;
    std::string value;
    if (strncmp(p, "$HOME", 5) == 0 && (p[5] == '/' || p[5] == '"')) {
      value = home;
      p += 5;
    } else if (*p != '/') {
      continue;
    }
    bool closed = false;
    for (; *p; p++) {
      if (*p == '\\' && p[1]) {
        value += *++p;
      } else if (*p == '"') {
        closed = true;
        break;
      } else {
        value += *p;
      }
    }
    if (closed && !value.empty()) {
      result = value;
      break;
    }
  }
  fclose(f);
  return result;
}

}  // namespace

int FileExists(const char *path) {
  struct stat st;
  return path && *path && lstat(path, &st) == 0 ? 1 : 0;
}

int IsDirectory(const char *path) {
  struct stat st;
  return path && *path && stat(path, &st) == 0 && S_ISDIR(st.st_mode) ? 1 : 0;
}

int IsRegularFile(const char *path) {
  struct stat st;
  return path && *path && stat(path, &st) == 0 && S_ISREG(st.st_mode) ? 1 : 0;
}

int64_t FileSizeForRead(const char *path) {
  UniqueFd f(OpenRegularForRead(path));
  struct stat st;
  if (f.get() < 0 || fstat(f.get(), &st) != 0) return -1;
  return (int64_t)st.st_size;
}

int64_t ReadFileInto(const char *path, void *buf, int64_t cap) {
  if (cap < 0 || (!buf && cap > 0)) return -1;
  UniqueFd f(OpenRegularForRead(path));
  if (f.get() < 0) return -1;
  return ReadFdFrom(f.get(), 0, buf, cap);
}

namespace {

void StampOf(const struct stat &st, FileStamp *out) {
  if (!out) return;
  out->size = (int64_t)st.st_size;
  out->mtime_ns = (int64_t)st.st_mtim.tv_sec * 1000000000 + (int64_t)st.st_mtim.tv_nsec;
}

}  // namespace

int64_t ReadFileStamped(const char *path, void *buf, int64_t cap, FileStamp *before,
                        FileStamp *after) {
  if (before) *before = FileStamp{};
  if (after) *after = FileStamp{};
  if (cap < 0 || (!buf && cap > 0)) return -1;
  UniqueFd f(OpenRegularForRead(path));
  struct stat st;
  if (f.get() < 0 || fstat(f.get(), &st) != 0) return -1;
  StampOf(st, before);
  int64_t got = ReadFdFrom(f.get(), 0, buf, cap);
  if (got < 0 || fstat(f.get(), &st) != 0) return -1;
  StampOf(st, after);
  return got;
}

int StampFile(const char *path, FileStamp *out) {
  struct stat st;
  if (!path || !*path || stat(path, &st) != 0 || !S_ISREG(st.st_mode)) return 0;
  StampOf(st, out);
  return 1;
}

int AppendFile(const char *path, const void *bytes, size_t len) {
  if (!path || !*path || (!bytes && len)) return 0;
  UniqueFd f(OpenRetry(path, O_WRONLY | O_CREAT | O_APPEND, 0666));
  if (f.get() < 0) return 0;
  return WriteAll(f.get(), bytes, len) ? 1 : 0;
}

int RenameNoReplace(const char *from, const char *to) {
  if (!from || !to || !*from || !*to) return 0;
  if (renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE) == 0) return 1;
  if (errno != EINVAL && errno != ENOSYS) return 0;
  // File systems without the no-replace flag: a hard link fails when the
  // target exists, which keeps the no-replace promise for regular files.
  if (link(from, to) == 0) {
    unlink(from);
    return 1;
  }
  if (errno == EEXIST) return 0;
  struct stat st;
  if (lstat(to, &st) == 0) return 0;
  return rename(from, to) == 0 ? 1 : 0;
}

int RemoveFile(const char *path) {
  return path && *path && unlink(path) == 0 ? 1 : 0;
}

int64_t ReadFdFrom(int fd, int64_t offset, void *buf, int64_t cap) {
  if (fd < 0 || offset < 0 || cap < 0 || (!buf && cap > 0)) return -1;
  int64_t got = 0;
  char *p = (char *)buf;
  while (got < cap) {
    ssize_t r = pread(fd, p + got, (size_t)std::min<int64_t>(cap - got, 1 << 30), offset + got);
    if (r < 0) {
      if (errno == EINTR) continue;
      return -1;
    }
    if (r == 0) break;
    got += r;
  }
  return got;
}

int TruncateFile(const char *path) {
  if (!path || !*path) return 0;
  UniqueFd f(OpenRetry(path, O_WRONLY | O_CREAT | O_TRUNC, 0666));
  return f.get() >= 0 ? 1 : 0;
}

int MakeDirs(const char *path) {
  if (!path || !*path) return 0;
  if (IsDirectory(path)) return 1;
  std::string p(path);
  for (size_t i = 1; i <= p.size(); i++) {
    if (i < p.size() && p[i] != '/') continue;
    std::string part = p.substr(0, i);
    if (mkdir(part.c_str(), 0777) != 0 && errno != EEXIST) return 0;
  }
  return IsDirectory(path);
}

int DesktopFolder(char *buf, size_t cap) {
  if (!buf || cap == 0) return 0;
  buf[0] = 0;
  std::string desk;
  const char *env = GetEnv("XDG_DESKTOP_DIR");
  if (env && *env) {
    desk = env;
  } else {
    std::string home = HomeFolder();
    desk = DesktopFromUserDirs(home);
    if (desk.empty()) {
      if (home.empty()) return 0;
      desk = home + "/Desktop";
    }
  }
  while (desk.size() > 1 && desk.back() == '/') desk.pop_back();
  if (!MakeDirs(desk.c_str())) return 0;
  return Deliver(desk, buf, cap);
}

namespace {
std::string g_output_folder;  // SetOutputFolder's folder, "" for the desktop; main thread
}  // namespace

void SetOutputFolder(const char *path) {
  g_output_folder = path ? path : "";
  while (g_output_folder.size() > 1 && g_output_folder.back() == '/') g_output_folder.pop_back();
}

int OutputFolder(char *buf, size_t cap) {
  if (!buf || cap == 0) return 0;
  buf[0] = 0;
  if (g_output_folder.empty()) return DesktopFolder(buf, cap);
  if (!MakeUserDir(g_output_folder.c_str())) return 0;
  return Deliver(g_output_folder, buf, cap);
}

int ReadDirEntries(const char *dir, std::vector<DirEntry> *out) {
  if (!out) return 0;
  out->clear();
  if (!dir || !*dir) return 0;
  Dir d(opendir(dir));
  if (!d.d) return 0;
  std::vector<std::string> names;
  while (struct dirent *de = readdir(d.d)) {
    const char *n = de->d_name;
    if (n[0] == '.' && (n[1] == 0 || (n[1] == '.' && n[2] == 0))) continue;
    names.emplace_back(n);
  }
  // Byte order, so a walk gives the same result on every machine.
  std::sort(names.begin(), names.end());
  int dfd = dirfd(d.d);
  out->reserve(names.size());
  for (std::string &name : names) {
    struct stat lst, st;
    if (fstatat(dfd, name.c_str(), &lst, AT_SYMLINK_NOFOLLOW) != 0) continue;  // vanished
    DirEntry e{};
    e.is_link = S_ISLNK(lst.st_mode) ? 1 : 0;
    if (fstatat(dfd, name.c_str(), &st, 0) == 0) {
      e.is_dir = S_ISDIR(st.st_mode) ? 1 : 0;
      e.is_file = S_ISREG(st.st_mode) ? 1 : 0;
      e.is_special = !e.is_dir && !e.is_file ? 1 : 0;
      e.dev = (uint64_t)st.st_dev;
      e.ino = (uint64_t)st.st_ino;
    } else {  // dangling link
      e.dev = (uint64_t)lst.st_dev;
      e.ino = (uint64_t)lst.st_ino;
    }
    e.name = std::move(name);
    out->push_back(std::move(e));
  }
  return 1;
}

int ForEachDirEntry(const char *dir, int (*fn)(const DirEntryInfo *e, void *ctx), void *ctx) {
  if (!fn) return 0;
  std::vector<DirEntry> entries;
  if (!ReadDirEntries(dir, &entries)) return 0;
  for (const DirEntry &d : entries) {
    DirEntryInfo e{d.name.c_str(), d.is_dir, d.is_file, d.is_link, d.dev, d.ino, d.is_special};
    if (!fn(&e, ctx)) break;
  }
  return 1;
}

int PathIdentity(const char *path, uint64_t *dev, uint64_t *ino) {
  struct stat st;
  if (!path || !*path || stat(path, &st) != 0) return 0;
  if (dev) *dev = (uint64_t)st.st_dev;
  if (ino) *ino = (uint64_t)st.st_ino;
  return 1;
}

int WorkingFolder(char *buf, size_t cap) {
  if (!buf || cap == 0) return 0;
  if (getcwd(buf, cap)) return 1;
  buf[0] = 0;
  return 0;
}

int ProgramPath(char *buf, size_t cap) {
  if (!buf || cap == 0) return 0;
  buf[0] = 0;
  char tmp[VELMORA_PATH_MAX];
  ssize_t n = readlink("/proc/self/exe", tmp, sizeof tmp - 1);
  if (n <= 0 || (size_t)n >= sizeof tmp - 1) return 0;
  tmp[n] = 0;
  return Deliver(std::string(tmp, (size_t)n), buf, cap);
}

int OpenAppendFd(const char *path) {
  if (!path || !*path) return -1;
  return OpenRetry(path, O_WRONLY | O_CREAT | O_APPEND, 0666);
}

int WriteFd(int fd, const void *bytes, size_t len) {
  if (fd < 0 || (!bytes && len)) return 0;
  return WriteAll(fd, bytes, len) ? 1 : 0;
}

int FdStat(int fd, FdInfo *info) {
  struct stat st;
  if (fd < 0 || !info || fstat(fd, &st) != 0) return 0;
  info->dev = (uint64_t)st.st_dev;
  info->ino = (uint64_t)st.st_ino;
  info->size = (int64_t)st.st_size;
  info->nlink = (uint64_t)st.st_nlink;
  return 1;
}

void CloseFd(int fd) {
  if (fd >= 0) close(fd);
}
