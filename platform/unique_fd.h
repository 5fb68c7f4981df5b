// An owned file descriptor. Exactly one owner closes it, once: the handle can
// be moved but not copied, so no early return leaks a descriptor and no copy
// closes one twice. Used only inside platform/.
#pragma once

#include <unistd.h>

#include <utility>

class UniqueFd {
 public:
  UniqueFd() = default;
  // Takes ownership of fd (-1: owns nothing).
  explicit UniqueFd(int fd) : fd_(fd) {}
  ~UniqueFd() { Reset(); }
  UniqueFd(UniqueFd &&other) noexcept : fd_(other.Release()) {}
  UniqueFd &operator=(UniqueFd &&other) noexcept {
    if (this != &other) Reset(other.Release());
    return *this;
  }
  UniqueFd(const UniqueFd &) = delete;
  UniqueFd &operator=(const UniqueFd &) = delete;

  // The descriptor, still owned here; -1 when none.
  int get() const { return fd_; }
  bool valid() const { return fd_ >= 0; }
  // Gives the descriptor up without closing it; the caller owns it now.
  int Release() { return std::exchange(fd_, -1); }
  // Closes the owned descriptor (if any) and takes fd instead.
  void Reset(int fd = -1) {
    if (fd_ >= 0) close(fd_);
    fd_ = fd;
  }

 private:
  int fd_ = -1;  // owned descriptor, -1 for none
};
