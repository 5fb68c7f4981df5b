// The server's messages, framed and written (see outbox.h).
#include "lsp/outbox.h"

#include "lsp/framing.h"
#include "platform/files.h"

bool Outbox::Send(const Json &message) {
  std::string body = DumpJson(message);
  std::lock_guard<std::mutex> guard(lock_);
  if (fd_ < 0) {
    if (kept_.size() < 100000) kept_.push_back(std::move(body));
    return true;
  }
  if (failed_) return false;
  std::string bytes = FrameMessage(body);
  if (!WriteFd(fd_, bytes.data(), bytes.size())) failed_ = true;
  return !failed_;
}

std::vector<std::string> Outbox::Taken() {
  std::lock_guard<std::mutex> guard(lock_);
  std::vector<std::string> out;
  out.swap(kept_);
  return out;
}
