// Base folders, private folders and first copies on POSIX.
#include "platform/user_dirs.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include "platform/files.h"
#include "platform/sys.h"

namespace {

enum : int64_t { kMaxCopy = 16 << 20 };  // far above any settings file

bool WriteAll(int fd, const char *p, size_t len) {
  while (len > 0) {
    ssize_t w = write(fd, p, len);
    if (w < 0 && errno == EINTR) continue;
    if (w <= 0) return false;
    p += w;
    len -= (size_t)w;
  }
  return true;
}

// Stores s when it fits whole; a path is never cut.
int Deliver(const std::string &s, char *buf, size_t cap) {
  if (s.size() + 1 > cap) {
    buf[0] = 0;
    return 0;
  }
  memcpy(buf, s.c_str(), s.size() + 1);
  return 1;
}

}  // namespace

int UserHomeDir(char *buf, size_t cap) {
  if (!buf || cap == 0) return 0;
  buf[0] = 0;
  const char *home = GetEnv("HOME");
  if (home && *home) return Deliver(home, buf, cap);
  struct passwd pw, *res = nullptr;
  char tmp[4096];
  if (getpwuid_r(getuid(), &pw, tmp, sizeof tmp, &res) == 0 && res && res->pw_dir)
    return Deliver(res->pw_dir, buf, cap);
  return 0;
}

int UserBaseDir(UserDir which, char *buf, size_t cap) {
  if (!buf || cap == 0) return 0;
  buf[0] = 0;
  const char *var = which == UserDir::kConfig  ? "XDG_CONFIG_HOME"
                    : which == UserDir::kState ? "XDG_STATE_HOME"
                                               : "XDG_CACHE_HOME";
  const char *below_home = which == UserDir::kConfig  ? "/.config"
                           : which == UserDir::kState ? "/.local/state"
                                                      : "/.cache";
  const char *env = GetEnv(var);
  std::string dir;
  if (env && env[0] == '/') {
    dir = env;
  } else {
    char home[VELMORA_PATH_MAX];
    if (!UserHomeDir(home, sizeof home)) return 0;
    dir = std::string(home) + below_home;
  }
  while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
  return Deliver(dir, buf, cap);
}

int ExpandUserPath(const char *path, char *buf, size_t cap) {
  if (!buf || cap == 0) return 0;
  buf[0] = 0;
  if (!path) return 0;
  std::string out;
  const char *p = path;
  char dir[VELMORA_PATH_MAX];
  if (p[0] == '~' && (p[1] == 0 || p[1] == '/')) {
    if (!UserHomeDir(dir, sizeof dir)) return 0;
    out = dir;
    p++;
  }
  while (*p) {
    if (*p != '$') {
      out += *p++;
      continue;
    }
    p++;
    std::string name;
    bool braced = *p == '{';
    if (braced) p++;
    while ((*p >= 'A' && *p <= 'Z') || (*p >= 'a' && *p <= 'z') || (*p >= '0' && *p <= '9') ||
           *p == '_')
      name += *p++;
    if (braced) {
      if (*p != '}') return 0;
      p++;
    }
    if (name.empty()) return 0;
    const char *value = GetEnv(name.c_str());
    if (name == "XDG_CONFIG_HOME" || name == "XDG_STATE_HOME") {
      // The base folders have defaults of their own.
      if (!UserBaseDir(name == "XDG_STATE_HOME" ? UserDir::kState : UserDir::kConfig, dir,
                       sizeof dir))
        return 0;
      out += dir;
    } else if (value) {
      out += value;
    } else {
      return 0;
    }
  }
  return Deliver(out, buf, cap);
}

int MakeUserDir(const char *path) {
  if (!path || path[0] != '/') return 0;
  std::string p(path);
  for (size_t i = 1; i <= p.size(); i++) {
    if (i < p.size() && p[i] != '/') continue;
    std::string part = p.substr(0, i);
    if (mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) return 0;
  }
  struct stat st;
  return stat(path, &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == getuid() ? 1 : 0;
}

int CopyFileNoReplace(const char *from, const char *to) {
  if (!from || !*from || !to || !*to || FileExists(to)) return 0;
  int64_t size = FileSizeForRead(from);
  if (size < 0 || size > kMaxCopy) return 0;
  std::vector<char> bytes((size_t)size + 1);
  int64_t got = ReadFileInto(from, bytes.data(), size);
  if (got != size) return 0;

  std::string tmp = std::string(to) + ".new-" + std::to_string((long)getpid());
  int fd = open(tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
  if (fd < 0) return 0;
  bool ok = WriteAll(fd, bytes.data(), (size_t)got) && fsync(fd) == 0;
  ok = close(fd) == 0 && ok;
  if (ok && RenameNoReplace(tmp.c_str(), to)) return 1;
  unlink(tmp.c_str());
  return 0;
}
