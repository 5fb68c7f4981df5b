// The protocol channel on the standard streams (see stdio_channel.h).
#include "platform/stdio_channel.h"

#include "platform/files.h"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

long ReadSome(int fd, void *buf, size_t cap) {
  for (;;) {
    ssize_t n = read(fd, buf, cap);
    if (n >= 0) return (long)n;
    if (errno != EINTR) return -1;
  }
}

int TakeStdoutForProtocol(void) {
  int out = fcntl(1, F_DUPFD_CLOEXEC, 3);
  if (out < 0) return -1;
  if (dup2(2, 1) < 0) {
    close(out);
    return -1;
  }
  signal(SIGPIPE, SIG_IGN);
  return out;
}

int OpenWakeableReader(int fd, WakeableReader *r) {
  r->fd = fd;
  r->wake[0] = r->wake[1] = -1;
  return pipe2(r->wake, O_CLOEXEC) == 0 ? 1 : 0;
}

long WakeableRead(WakeableReader *r, void *buf, size_t cap) {
  for (;;) {
    struct pollfd fds[2] = {{r->fd, POLLIN, 0}, {r->wake[0], POLLIN, 0}};
    int n = poll(fds, 2, -1);
    if (n < 0) {
      if (errno == EINTR) continue;
      return -1;
    }
    if (fds[1].revents) return -2;
    if (fds[0].revents) return ReadSome(r->fd, buf, cap);
  }
}

void WakeReader(WakeableReader *r) {
  if (r->wake[1] >= 0) WriteFd(r->wake[1], "x", 1);
}

void CloseWakeableReader(WakeableReader *r) {
  for (int &fd : r->wake) {
    if (fd >= 0) close(fd);
    fd = -1;
  }
}
