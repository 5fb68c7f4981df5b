// The base protocol's framing: messages as "Content-Length: n" headers, an
// empty line and n bytes of JSON. The reader takes bytes from any source (the
// standard input, or a buffer in tests and the fuzz target) and hands out one
// body at a time; it never trusts a length before the bytes are there.
#pragma once

#include <cstddef>
#include <string>

// Where the reader's bytes come from.
struct ByteSource {
  virtual ~ByteSource() {}
  // Up to cap bytes into buf: the count, 0 at the end, < 0 on an error.
  virtual long Read(char *buf, size_t cap) = 0;
};

// The largest body taken; a longer one breaks the stream.
constexpr size_t kMaxBody = (size_t)64 << 20;

enum class FrameStatus {
  kMessage,  // a body was read
  kEnd,      // the stream ended between two messages
  kBroken,   // it cannot be read on: a header without Content-Length, a
             // length over kMaxBody, an end in the middle of a message
};

class FrameReader {
 public:
  explicit FrameReader(ByteSource *source) : source_(source) {}
  // The next message's body into *body; with kBroken, *why says what was
  // wrong (one line of English). After kEnd or kBroken it keeps saying so.
  FrameStatus Next(std::string *body, std::string *why);

 private:
  // Reads more bytes into buf_; false at the end of the stream or an error.
  bool Fill();
  // The next header line (without its CR LF) into *line. 1 a line, 0 the
  // stream ended before any byte of it, -1 broken (*why set).
  int Line(std::string *line, std::string *why);

  ByteSource *source_;
  std::string buf_;      // bytes read and not yet taken
  size_t pos_ = 0;       // first byte of buf_ not yet taken
  bool ended_ = false;   // the source has ended
  bool broken_ = false;  // kBroken was reported
  std::string broken_why_;
};

// The bytes of one message: its header and body.
std::string FrameMessage(const std::string &body);
