// Stop keys on a terminal. Escape arrives as a lone ESC byte (an ESC followed
// at once by '[' or 'O' starts a cursor-key sequence and is not a stop), read
// by a small thread that polls stdin. Ctrl-C stays a signal (ISIG is kept), so
// it works whatever the terminal mode. Everything a signal handler touches is
// async-signal-safe: an atomic flag, tcsetattr, write, _exit.
#include "platform/terminal.h"

#include <poll.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <thread>

#include "platform/keys.h"

namespace {

struct TerminalState {
  std::atomic<int> watching{0};     // StopKeysBegin ran and StopKeysEnd did not
  std::atomic<int> interrupts{0};   // Ctrl-C seen while watching
  std::atomic<int> reader_stop{0};  // asks the reader thread to end
  int saved_valid = 0;              // saved holds the terminal's settings
  struct termios saved;             // stdin settings before raw input
  struct sigaction old_int, old_term, old_hup, old_pipe;  // handlers replaced
  std::thread reader;                                     // Escape reader (only with a terminal)
};

TerminalState g_term;
// Called (async-signal-safe) before a signal ends the process.
std::atomic<void (*)(void)> g_exit_hook{nullptr};

void RunExitHook() {
  void (*fn)(void) = g_exit_hook.load();
  if (fn) fn();
}

void RestoreTerminal() {
  if (g_term.saved_valid) tcsetattr(0, TCSANOW, &g_term.saved);
}

void OnInterrupt(int) {
  if (g_term.interrupts.fetch_add(1) == 0) {
    EscapeRequest();
    return;
  }
  RestoreTerminal();
  RunExitHook();
  static const char msg[] = "\n";
  ssize_t unused = write(2, msg, sizeof msg - 1);
  (void)unused;
  _exit(130);
}

// Termination by another signal: give the terminal back, then die of it.
void OnFatal(int sig) {
  RestoreTerminal();
  RunExitHook();
  signal(sig, SIG_DFL);
  raise(sig);
}

void ReaderLoop() {
  unsigned char buf[64];
  while (!g_term.reader_stop.load()) {
    struct pollfd p = {0, POLLIN, 0};
    int r = poll(&p, 1, 100);
    if (r <= 0) continue;
    if (p.revents & (POLLHUP | POLLERR | POLLNVAL)) {
      if (!(p.revents & POLLIN)) return;
    }
    ssize_t n = read(0, buf, sizeof buf);
    if (n <= 0) {
      if (n < 0 && errno == EINTR) continue;
      return;
    }
    for (ssize_t i = 0; i < n; i++) {
      if (buf[i] != 0x1B) continue;
      if (i + 1 < n && (buf[i + 1] == '[' || buf[i + 1] == 'O')) {
        i++;
        continue;
      }
      EscapeRequest();
    }
  }
}

void Install(int sig, void (*fn)(int), struct sigaction *old) {
  struct sigaction sa = {};
  sa.sa_handler = fn;
  sigemptyset(&sa.sa_mask);
  sigaction(sig, &sa, old);
}

}  // namespace

int IsTerminal(int fd) {
  return isatty(fd) ? 1 : 0;
}

int TerminalColumns(int fd) {
  struct winsize ws;
  if (ioctl(fd, TIOCGWINSZ, &ws) == 0 && ws.ws_col > 0) return ws.ws_col;
  return 0;
}

int StopKeysBegin(void) {
  if (g_term.watching.exchange(1)) return 1;
  g_term.interrupts.store(0);
  g_term.reader_stop.store(0);
  g_term.saved_valid = 0;
  if (isatty(0) && tcgetattr(0, &g_term.saved) == 0) {
    g_term.saved_valid = 1;
    struct termios raw = g_term.saved;
    raw.c_lflag &= ~(tcflag_t)(ICANON | ECHO);
    raw.c_cc[VMIN] = 1;
    raw.c_cc[VTIME] = 0;
    tcsetattr(0, TCSANOW, &raw);
  }
  Install(SIGINT, OnInterrupt, &g_term.old_int);
  Install(SIGTERM, OnFatal, &g_term.old_term);
  Install(SIGHUP, OnFatal, &g_term.old_hup);
  Install(SIGPIPE, OnFatal, &g_term.old_pipe);
  if (g_term.saved_valid) {
    try {
      g_term.reader = std::thread(ReaderLoop);
    } catch (...) {
      // Without the reader only Ctrl-C stops a job.
    }
  }
  return 1;
}

void StopKeysSetExitHook(void (*fn)(void)) {
  g_exit_hook.store(fn);
}

void StopKeysEnd(void) {
  if (!g_term.watching.exchange(0)) return;
  g_term.reader_stop.store(1);
  if (g_term.reader.joinable()) g_term.reader.join();
  RestoreTerminal();
  g_term.saved_valid = 0;
  sigaction(SIGINT, &g_term.old_int, nullptr);
  sigaction(SIGTERM, &g_term.old_term, nullptr);
  sigaction(SIGHUP, &g_term.old_hup, nullptr);
  sigaction(SIGPIPE, &g_term.old_pipe, nullptr);
}
