// Throughput of the result log: one million level-0 lines through LogPrint
// (descriptor kept open, one write per line), beside the same lines written
// the open-seek-write-close way with a second open for the size test, and the
// cost of a line filtered out by its level. Runs on a scratch desktop folder.
// bench-links: velmora_foundation
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "foundation/log.h"
#include "foundation/text.h"
#include "support_scratch.h"

namespace {

const int kLines = 1000000;
const off_t kRotate = 10485760;

double Seconds(std::chrono::steady_clock::time_point t0) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

void Report(const char *what, int lines, double secs) {
  printf("%-44s %9d lines %8.3f s %12.0f lines/s\n", what, lines, secs, lines / secs);
}

// One line written the simple way: open, seek to the end,
// write, close, then open again to read the size and rotate past 10 MiB.
void OpenWriteClose(const char *path, const char *line, size_t len) {
  int fd = open(path, O_WRONLY | O_CREAT, 0666);
  if (fd < 0) return;
  lseek(fd, 0, SEEK_END);
  if (write(fd, line, len) < 0) perror("write");
  close(fd);
  fd = open(path, O_RDONLY);
  if (fd < 0) return;
  struct stat st;
  int ok = fstat(fd, &st) == 0;
  close(fd);
  if (ok && st.st_size > kRotate) {
    char target[4200];
    for (int n = 1;; n++) {
      FormatText(target, sizeof target, "%s.[%d]", path, n);
      if (access(target, F_OK) != 0) break;
    }
    rename(path, target);
  }
}

}  // namespace

int main() {
  bench::Scratch desk("velmora-logbench");
  if (!desk.ok()) {
    fprintf(stderr, "bench_log: cannot make a scratch folder\n");
    return 1;
  }
  setenv("XDG_DESKTOP_DIR", desk.path().c_str(), 1);
  LogSetLevel(0);
  LogOpen(0, "debug");
  LogOpen(1, "result");

  auto t0 = std::chrono::steady_clock::now();
  for (int i = 0; i < kLines; i++)
    LogPrint(0, LOG_RESULT, "[%5d] main.c        %-24s : %d calls\r\n", i % 99999, "ANA_Exec", i);
  Report("LogPrint, level 0, kept descriptor", kLines, Seconds(t0));

  t0 = std::chrono::steady_clock::now();
  for (int i = 0; i < kLines; i++) LogPrint(2, LOG_DEBUG, "[%5d] token %s\r\n", i, "identifier");
  Report("LogPrint, level 2 filtered out", kLines, Seconds(t0));
  LogShutdown();

  std::string path = desk.path() + "/owc.txt";
  char line[256];
  t0 = std::chrono::steady_clock::now();
  for (int i = 0; i < kLines; i++) {
    size_t n = FormatText(line, sizeof line, "[%5d] main.c        %-24s : %d calls\r\n", i % 99999,
                          "ANA_Exec", i);
    OpenWriteClose(path.c_str(), line, n);
  }
  Report("open-seek-write-close + size open", kLines, Seconds(t0));
  return 0;
}
