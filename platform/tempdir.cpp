// The private temporary folder and no-follow file writes.
#include "platform/tempdir.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>

#include "platform/codepage.h"
#include "platform/files.h"
#include "platform/sys.h"
#include "platform/unique_fd.h"

namespace {

// The stand-in folder made when the shared name is held by someone else;
// made once per process, guarded by its lock.
std::mutex g_standin_lock;
std::string g_standin;

std::string TempBase() {
  const char *base = GetEnv("TMPDIR");
  std::string dir = base && *base ? base : "/tmp";
  while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
  return dir;
}

// The user's own folder at dir: made when missing, then opened itself (not a
// link to one) and checked through the descriptor, so a swap after the check
// cannot fool us.
bool UsableOwnFolder(const std::string &dir) {
  if (mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST) return false;
  UniqueFd d(open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
  if (d.get() < 0) return false;
  struct stat st;
  if (fstat(d.get(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != getuid()) return false;
  return (st.st_mode & 0777) == 0700 || fchmod(d.get(), 0700) == 0;
}

// A folder of this process beside the refused one (mkdtemp makes it ours,
// mode 0700); "" when it cannot be made.
std::string StandInFolder(const std::string &refused) {
  std::lock_guard<std::mutex> held(g_standin_lock);
  if (g_standin.empty()) {
    std::string tmpl = refused + "-XXXXXX";
    if (mkdtemp(&tmpl[0])) {
      g_standin = tmpl;
      TraceWrite(("PrivateTempDir :Folder of another owner, using \"" + Utf8ToSjis(tmpl) + "\"\r\n")
                     .c_str());
    }
  }
  return g_standin;
}

}  // namespace

int PrivateTempDir(char *buf, size_t cap) {
  if (!buf || cap == 0) return 0;
  buf[0] = 0;
  std::string dir = TempBase() + "/velmora-" + std::to_string((unsigned long)getuid());
  if (!UsableOwnFolder(dir)) dir = StandInFolder(dir);
  if (dir.empty() || dir.size() + 1 > cap) return 0;
  std::memcpy(buf, dir.c_str(), dir.size() + 1);
  return 1;
}

void ReleasePrivateTempDir(void) {
  std::lock_guard<std::mutex> held(g_standin_lock);
  if (!g_standin.empty()) rmdir(g_standin.c_str());
  g_standin.clear();
}

int CreatePrivateTemp(const char *prefix, const char *suffix, std::string *path) {
  if (!path) return -1;
  path->clear();
  char dir[VELMORA_PATH_MAX];
  if (!PrivateTempDir(dir, sizeof dir)) return -1;
  std::string sfx = suffix ? suffix : "";
  std::string name = std::string(dir) + "/" + (prefix ? prefix : "") + "XXXXXX" + sfx;
  int fd = mkostemps(&name[0], (int)sfx.size(), O_CLOEXEC);
  if (fd < 0) return -1;
  *path = name;
  return fd;
}

int WriteFileNoFollow(const char *path, const void *a, size_t alen, const void *b, size_t blen) {
  if (!path || !*path || (!a && alen) || (!b && blen)) return 0;
  UniqueFd f(open(path, O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0600));
  if (f.get() < 0) return 0;
  struct stat st;
  if (fstat(f.get(), &st) != 0 || !S_ISREG(st.st_mode)) return 0;
  return WriteFd(f.get(), a, alen) && WriteFd(f.get(), b, blen) ? 1 : 0;
}
