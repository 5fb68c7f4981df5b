// The base protocol's framing (see framing.h).
#include "lsp/framing.h"

#include <strings.h>

namespace {

// Header lines are short; one longer than this is not a header.
constexpr size_t kMaxHeaderLine = 8192;
// Headers of one message; more are not a header either.
constexpr int kMaxHeaders = 32;
constexpr size_t kChunk = 65536;

}  // namespace

bool FrameReader::Fill() {
  if (ended_) return false;
  if (pos_ > 0 && pos_ >= buf_.size() / 2) {  // drop what was taken
    buf_.erase(0, pos_);
    pos_ = 0;
  }
  size_t old = buf_.size();
  buf_.resize(old + kChunk);
  long n = source_->Read(&buf_[old], kChunk);
  buf_.resize(old + (n > 0 ? (size_t)n : 0));
  if (n <= 0) ended_ = true;
  return n > 0;
}

int FrameReader::Line(std::string *line, std::string *why) {
  size_t scanned = 0;  // bytes after pos_ known to hold no line feed
  for (;;) {
    size_t nl = buf_.find('\n', pos_ + scanned);
    if (nl != std::string::npos) {
      size_t end = nl > pos_ && buf_[nl - 1] == '\r' ? nl - 1 : nl;
      line->assign(buf_, pos_, end - pos_);
      pos_ = nl + 1;
      return 1;
    }
    scanned = buf_.size() - pos_;
    if (scanned > kMaxHeaderLine) {
      *why = "a header line is longer than 8192 bytes";
      return -1;
    }
    if (!Fill()) {
      if (buf_.size() == pos_) return 0;
      *why = "the stream ended in the middle of a header";
      return -1;
    }
  }
}

FrameStatus FrameReader::Next(std::string *body, std::string *why) {
  if (broken_) {
    *why = broken_why_;
    return FrameStatus::kBroken;
  }
  auto broken = [&](const std::string &text) {
    broken_ = true;
    broken_why_ = text;
    *why = text;
    return FrameStatus::kBroken;
  };
  long long length = -1;
  std::string line;
  int headers = 0;
  for (;;) {
    int r = Line(&line, why);
    if (r < 0) return broken(*why);
    if (r == 0) {
      if (headers == 0) return FrameStatus::kEnd;
      return broken("the stream ended in the middle of a header");
    }
    if (line.empty()) {
      if (headers == 0) continue;  // blank lines between messages
      break;
    }
    if (++headers > kMaxHeaders) return broken("more than 32 header lines");
    size_t colon = line.find(':');
    if (colon == std::string::npos) return broken("a header line without ':'");
    if (colon == 14 && strncasecmp(line.c_str(), "Content-Length", 14) == 0) {
      size_t i = colon + 1;
      while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) i++;
      long long n = 0;
      size_t digits = 0;
      for (; i < line.size() && line[i] >= '0' && line[i] <= '9'; i++, digits++)
        if (n <= (long long)kMaxBody) n = n * 10 + (line[i] - '0');
      while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) i++;
      if (digits == 0 || i != line.size()) return broken("Content-Length is not a number");
      if (n > (long long)kMaxBody) return broken("Content-Length is over 64 MiB");
      length = n;
    }
  }
  if (length < 0) return broken("a message without Content-Length");
  while (buf_.size() - pos_ < (size_t)length) {
    if (!Fill()) return broken("the stream ended in the middle of a message body");
  }
  body->assign(buf_, pos_, (size_t)length);
  pos_ += (size_t)length;
  return FrameStatus::kMessage;
}

std::string FrameMessage(const std::string &body) {
  std::string out = "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n";
  out += body;
  return out;
}
