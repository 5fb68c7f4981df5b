// Process start over posix_spawnp, the command-line splitter, and the reaper
// that waits for the children nobody polls any more.
#include "platform/process.h"

#include "platform/files.h"
#include "platform/output_files.h"
#include "platform/sys.h"
#include "platform/tempdir.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <thread>

extern char **environ;

namespace {

std::atomic<int> g_children_quiet{0};  // every child's output goes to /dev/null

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

// Reads one argument by the C runtime rules from p; returns the position after
// it. p must point at a non-blank character.
const char *ReadCrtArgument(const char *p, std::string *arg) {
  bool in_quotes = false;
  for (;;) {
    size_t slashes = 0;
    while (*p == '\\') {
      slashes++;
      p++;
    }
    if (*p == '"') {
      arg->append(slashes / 2, '\\');
      if (slashes % 2) {
        arg->push_back('"');
        p++;
        continue;
      }
      if (in_quotes && p[1] == '"') {
        arg->push_back('"');
        p += 2;
        continue;
      }
      in_quotes = !in_quotes;
      p++;
      continue;
    }
    arg->append(slashes, '\\');
    if (!*p || (!in_quotes && IsBlank(*p))) return p;
    arg->push_back(*p++);
  }
}

// The children given up by their starters, waited for by one background
// thread that sleeps while there is nothing to wait for. A child may leave a
// file to be put in place once it has ended.
struct Reaper {
  struct Child {
    pid_t pid;                           // the child
    std::unique_ptr<ChildOutput> files;  // what to do with its output, or null
  };
  std::mutex lock;
  std::condition_variable wake;
  std::vector<Child> children;
  std::thread thread;
  bool stop = false;

  // Waits for whatever has ended and puts its output in place; called with
  // the lock held.
  void Sweep() {
    children.erase(std::remove_if(children.begin(), children.end(),
                                  [](Child &c) {
                                    int status;
                                    pid_t r = waitpid(c.pid, &status, WNOHANG);
                                    bool gone = r == c.pid || (r < 0 && errno != EINTR);
                                    if (gone && c.files) Place(c.files.get());
                                    return gone;
                                  }),
                   children.end());
  }

  static void Place(ChildOutput *f) {
    FillClaimedFile(&f->claim, f->dir.c_str(), f->name.c_str(), f->from.c_str());
    if (!f->extra.empty()) unlink(f->extra.c_str());
  }

  // The program ends before the child: its claim is given back and its files
  // go (a picture it writes later lands in the private folder only).
  static void Drop(ChildOutput *f) {
    ReleaseClaimedFile(&f->claim, f->dir.c_str(), f->name.c_str());
    if (!f->from.empty()) unlink(f->from.c_str());
    if (!f->extra.empty()) unlink(f->extra.c_str());
  }

  void Run() {
    std::unique_lock<std::mutex> held(lock);
    while (!stop) {
      Sweep();
      if (children.empty())
        wake.wait(held);
      else
        wake.wait_for(held, std::chrono::milliseconds(100));
    }
  }

  void Add(pid_t pid, std::unique_ptr<ChildOutput> files) {
    std::lock_guard<std::mutex> held(lock);
    children.push_back(Child{pid, std::move(files)});
    if (!thread.joinable()) thread = std::thread([this] { Run(); });
    wake.notify_one();
  }

  ~Reaper() {
    {
      std::lock_guard<std::mutex> held(lock);
      stop = true;
      wake.notify_one();
    }
    if (thread.joinable()) thread.join();
    // Children still running at exit go to init, which waits for them.
    std::lock_guard<std::mutex> held(lock);
    Sweep();
    for (Child &c : children)
      if (c.files) Drop(c.files.get());
  }
};

Reaper &TheReaper() {
  static Reaper reaper;
  return reaper;
}

// posix_spawn attributes and file actions, released on every path.
struct SpawnSetup {
  posix_spawnattr_t attr;
  posix_spawn_file_actions_t actions;
  bool attr_ok = false, actions_ok = false;
  SpawnSetup() {
    attr_ok = posix_spawnattr_init(&attr) == 0;
    actions_ok = posix_spawn_file_actions_init(&actions) == 0;
  }
  ~SpawnSetup() {
    if (attr_ok) posix_spawnattr_destroy(&attr);
    if (actions_ok) posix_spawn_file_actions_destroy(&actions);
  }
};

}  // namespace

std::vector<std::string> SplitCommandLine(const char *commandLine) {
  std::vector<std::string> args;
  if (!commandLine) return args;
  const char *p = commandLine;
  while (IsBlank(*p)) p++;
  if (!*p) return args;
  // The program: as the process creator finds it, so a quoted program name
  // followed at once by an option ("dot"-Tgif) still names the program alone.
  std::string program;
  if (*p == '"') {
    const char *end = p + 1;
    while (*end && *end != '"') end++;
    program.assign(p + 1, end);
    p = *end ? end + 1 : end;
  } else {
    while (*p && !IsBlank(*p)) {
      if (*p != '"') program.push_back(*p);
      p++;
    }
  }
  args.push_back(program);
  for (;;) {
    while (IsBlank(*p)) p++;
    if (!*p) break;
    std::string arg;
    p = ReadCrtArgument(p, &arg);
    args.push_back(arg);
  }
  return args;
}

std::string QuoteArgument(const char *arg) {
  std::string out("\"");
  size_t slashes = 0;
  for (const char *p = arg ? arg : ""; *p; p++) {
    if (*p == '\\') {
      slashes++;
      continue;
    }
    if (*p == '"') {
      out.append(slashes * 2 + 1, '\\');
      out.push_back('"');
    } else {
      out.append(slashes, '\\');
      out.push_back(*p);
    }
    slashes = 0;
  }
  out.append(slashes * 2, '\\');
  out.push_back('"');
  return out;
}

long StartProcess(const char *commandLine, int hidden) {
  return StartProcessArgs(SplitCommandLine(commandLine), hidden);
}

void ChildrenWithoutOutput(void) {
  g_children_quiet.store(1);
}

namespace {

// posix_spawnp of args in a process group of its own; err_fd >= 0 becomes its
// standard error. -1 with *error set when it cannot be started.
long Spawn(const std::vector<std::string> &given, int hidden, int err_fd, int *error) {
  *error = 0;
  std::vector<std::string> args = given;
  if (args.empty() || args[0].empty()) return -1;
  if (g_children_quiet.load()) hidden = 1;
  std::vector<char *> argv;
  for (std::string &a : args) argv.push_back(&a[0]);
  argv.push_back(nullptr);

  SpawnSetup s;
  if (!s.attr_ok || !s.actions_ok) {
    *error = ENOMEM;
    return -1;
  }
  // Own process group: a Ctrl-C typed at our terminal stops us, not the viewer
  // or a renderer the user chose to leave running. Signals we ignore or block
  // are not passed on.
  sigset_t none, defaults;
  sigemptyset(&none);
  sigemptyset(&defaults);
  for (int sig : {SIGINT, SIGQUIT, SIGTERM, SIGPIPE, SIGCHLD, SIGHUP}) sigaddset(&defaults, sig);
  posix_spawnattr_setsigmask(&s.attr, &none);
  posix_spawnattr_setsigdefault(&s.attr, &defaults);
  posix_spawnattr_setpgroup(&s.attr, 0);
  posix_spawnattr_setflags(&s.attr,
                           POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETPGROUP);
  posix_spawn_file_actions_addopen(&s.actions, 0, "/dev/null", O_RDONLY, 0);
  if (hidden) {
    posix_spawn_file_actions_addopen(&s.actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_adddup2(&s.actions, 1, 2);
  } else if (err_fd >= 0) {
    posix_spawn_file_actions_adddup2(&s.actions, err_fd, 2);
  }
#if defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 34))
  // No inherited handles: nothing but the three standard streams.
  posix_spawn_file_actions_addclosefrom_np(&s.actions, 3);
#endif
  pid_t pid = -1;
  int r = posix_spawnp(&pid, argv[0], &s.actions, &s.attr, argv.data(), environ);
  if (r != 0) {
    *error = r;
    return -1;
  }
  return (long)pid;
}

// The last line of text in the file of fd (at most its last 4 KiB), without
// its line end, cut to 300 bytes; "" when there is none.
std::string LastLine(int fd) {
  FdInfo info;
  if (fd < 0 || !FdStat(fd, &info) || info.size <= 0) return std::string();
  int64_t from = info.size > 4096 ? info.size - 4096 : 0;
  std::string text((size_t)(info.size - from), '\0');
  int64_t got = ReadFdFrom(fd, from, &text[0], (int64_t)text.size());
  text.resize(got > 0 ? (size_t)got : 0);
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' '))
    text.pop_back();
  size_t nl = text.find_last_of('\n');
  if (nl != std::string::npos) text.erase(0, nl + 1);
  if (text.size() > 300) text.resize(300);
  return text;
}

}  // namespace

long StartProcessArgs(const std::vector<std::string> &given, int hidden) {
  int error;
  return Spawn(given, hidden, -1, &error);
}

void StartWatchedProcess(const std::vector<std::string> &args, WatchedProcess *w) {
  if (!w) return;
  *w = WatchedProcess();
  std::string path;
  int fd = CreatePrivateTemp("stderr-", ".txt", &path);
  // Nobody but this process needs the name: what the child writes stays
  // readable through the descriptor, and the file goes when both close it.
  if (fd >= 0) RemoveFile(path.c_str());
  long pid = Spawn(args, 0, fd, &w->error);
  w->pid = pid;
  if (pid <= 0) {
    CloseFd(fd);
    if (!w->error) w->error = ENOENT;
    return;
  }
  w->err_fd = fd;
}

int PollWatchedProcess(WatchedProcess *w, std::string *why) {
  if (!w) return 1;
  if (w->pid <= 0) {
    if (why) *why = w->error ? strerror(w->error) : "not started";
    *w = WatchedProcess();
    return -1;
  }
  int status = 0;
  pid_t r;
  do {
    r = waitpid((pid_t)w->pid, &status, WNOHANG);
  } while (r < 0 && errno == EINTR);
  if (r == 0) return 0;
  // Not our child any more (r < 0): nothing to say.
  int result = 1;
  std::string text;
  if (r > 0 && !(WIFEXITED(status) && WEXITSTATUS(status) == 0)) {
    result = -1;
    text = LastLine(w->err_fd);
    if (text.empty())
      text = WIFEXITED(status) ? "exit status " + std::to_string(WEXITSTATUS(status))
                               : "killed by signal " + std::to_string(WTERMSIG(status));
  }
  CloseFd(w->err_fd);
  *w = WatchedProcess();
  if (why) *why = text;
  return result;
}

void ForgetWatchedProcess(WatchedProcess *w) {
  if (!w) return;
  ForgetProcess(w->pid);
  CloseFd(w->err_fd);
  *w = WatchedProcess();
}

int PollProcess(long pid) {
  if (pid <= 0) return 1;
  int status;
  pid_t r;
  do {
    r = waitpid((pid_t)pid, &status, WNOHANG);
  } while (r < 0 && errno == EINTR);
  return r == 0 ? 0 : 1;
}

void ForgetProcess(long pid) {
  if (pid > 0) TheReaper().Add((pid_t)pid, nullptr);
}

void ForgetProcessWithOutput(long pid, ChildOutput *output) {
  if (!output) return;
  auto files = std::make_unique<ChildOutput>(std::move(*output));
  *output = ChildOutput();
  if (pid > 0)
    TheReaper().Add((pid_t)pid, std::move(files));
  else
    Reaper::Place(files.get());
}

void KillProcess(long pid) {
  if (pid <= 0) return;
  // The child leads a group of its own (StartProcess): the group goes with it.
  if (kill(-(pid_t)pid, SIGKILL) != 0) kill((pid_t)pid, SIGKILL);
  int status;
  pid_t r;
  do {
    r = waitpid((pid_t)pid, &status, 0);
  } while (r < 0 && errno == EINTR);
}

int PendingReapCount(void) {
  Reaper &r = TheReaper();
  std::lock_guard<std::mutex> held(r.lock);
  r.Sweep();
  return (int)r.children.size();
}

int FindProgram(const char *name, std::string *out) {
  if (!name || !*name || !out) return 0;
  struct stat st;
  if (std::string(name).find('/') != std::string::npos) {
    if (stat(name, &st) != 0) return 0;
    *out = name;
    return 1;
  }
  const char *path = GetEnv("PATH");
  std::string dirs = path && *path ? path : "/usr/local/bin:/usr/bin:/bin";
  size_t start = 0;
  while (start <= dirs.size()) {
    size_t end = dirs.find(':', start);
    if (end == std::string::npos) end = dirs.size();
    std::string dir = dirs.substr(start, end - start);
    std::string full = (dir.empty() ? std::string(".") : dir) + "/" + name;
    if (stat(full.c_str(), &st) == 0 && S_ISREG(st.st_mode) && access(full.c_str(), X_OK) == 0) {
      *out = full;
      return 1;
    }
    start = end + 1;
  }
  return 0;
}
