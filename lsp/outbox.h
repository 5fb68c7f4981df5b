// Where the server's messages go: framed and written whole to the protocol's
// descriptor, one message at a time whatever thread sends it. Tests and the
// fuzz target keep them instead.
#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "lsp/json_access.h"

class Outbox {
 public:
  // fd: the descriptor to write to; -1 keeps the messages (Taken).
  explicit Outbox(int fd) : fd_(fd) {}
  // Writes one message; false once the descriptor cannot be written.
  bool Send(const Json &message);
  // The messages kept so far (fd -1), emptied.
  std::vector<std::string> Taken();

 private:
  std::mutex lock_;  // guards everything below
  int fd_;
  bool failed_ = false;
  std::vector<std::string> kept_;
};
