// Converting places between the analysis's Shift_JIS columns and a client's
// characters (see positions.h). Each character of a line is measured three
// ways: its bytes in the text kept here, its bytes in the analysis's
// Shift_JIS (found by converting it as source loading converts it, so that
// characters Shift_JIS lacks count as the '?' they became), and its units in
// the client's encoding.
#include "lsp/positions.h"

#include <algorithm>
#include <unordered_map>

#include "engine/encoding.h"
#include "platform/codepage.h"

namespace {

// One character of a line.
struct Char {
  int bytes;     // in the text kept
  int sjis;      // in the analysis's text
  int u16;       // UTF-16 units in the client's text
  int u8;        // UTF-8 bytes in the client's text
  bool lone_cr;  // a CR not followed by LF: the client starts a new line
};

// Bytes that code point cp takes in the analysis's text: converted from
// UTF-16 to Shift_JIS as source loading converts it ('?' for none).
int SjisLength(uint32_t cp) {
  if (cp < 0x80) return 1;
  thread_local std::unordered_map<uint32_t, uint8_t> known;
  auto it = known.find(cp);
  if (it != known.end()) return it->second;
  unsigned char units[4];
  size_t n = 2;
  if (cp >= 0x10000) {
    uint32_t v = cp - 0x10000;
    uint32_t hi = 0xD800 + (v >> 10), lo = 0xDC00 + (v & 0x3FF);
    units[0] = (unsigned char)hi, units[1] = (unsigned char)(hi >> 8);
    units[2] = (unsigned char)lo, units[3] = (unsigned char)(lo >> 8);
    n = 4;
  } else {
    units[0] = (unsigned char)cp, units[1] = (unsigned char)(cp >> 8);
  }
  char out[16];
  long len = ConvertText("UTF-16LE", "CP932", units, n, out, sizeof out);
  uint8_t r = (uint8_t)(len > 0 ? len : 1);
  if (known.size() < 65536) known.emplace(cp, r);
  return r;
}

// UTF-16 units and UTF-8 bytes of a Shift_JIS character (one or two bytes)
// as the client decodes it.
void SjisUnits(const unsigned char *p, int n, int *u16, int *u8) {
  uint32_t key = n == 2 ? (uint32_t)(p[0] << 8 | p[1]) : p[0];
  if (key < 0x80) {
    *u16 = *u8 = 1;
    return;
  }
  thread_local std::unordered_map<uint32_t, uint16_t> known;
  auto it = known.find(key);
  if (it == known.end()) {
    char out[16];
    long len = ConvertText("CP932", "UTF-8", p, (size_t)n, out, sizeof out);
    int bytes = len > 0 ? (int)len : 1;
    int units = bytes >= 4 ? 2 : 1;
    it = known.emplace(key, (uint16_t)(units << 8 | bytes)).first;
  }
  *u16 = it->second >> 8;
  *u8 = it->second & 0xFF;
}

// The code point of the UTF-8 sequence at p (left bytes there), its length in
// *n; -1 (and *n 1) for a byte that starts no valid sequence.
long DecodeUtf8(const unsigned char *p, size_t left, int *n) {
  unsigned char b = p[0];
  int len = b < 0x80                ? 1
            : b >= 0xF0 && b < 0xF5 ? 4
            : b >= 0xE0             ? 3
            : b >= 0xC2 && b < 0xE0 ? 2
                                    : 0;
  if (len == 0 || (size_t)len > left) {
    *n = 1;
    return -1;
  }
  uint32_t cp = len == 1 ? b : len == 2 ? b & 0x1F : len == 3 ? b & 0x0F : b & 0x07;
  for (int i = 1; i < len; i++) {
    if ((p[i] & 0xC0) != 0x80) {
      *n = 1;
      return -1;
    }
    cp = cp << 6 | (p[i] & 0x3F);
  }
  bool overlong = (len == 3 && cp < 0x800) || (len == 4 && (cp < 0x10000 || cp > 0x10FFFF));
  if (overlong || (cp >= 0xD800 && cp <= 0xDFFF)) {
    *n = 1;
    return -1;
  }
  *n = len;
  return (long)cp;
}

}  // namespace

// A walk over the characters of one line of a TextLines.
struct TextLines::Walk {
  const TextLines &t;
  size_t pos;  // the next character's offset
  size_t end;  // the line's end

  Walk(const TextLines &lines, int line)
      : t(lines), pos(lines.starts_[(size_t)line]), end(lines.ends_[(size_t)line]) {}
  bool More() const { return pos < end; }
  // The character at pos (pos itself does not move).
  Char Peek() const {
    const unsigned char *p = (const unsigned char *)t.text_.data() + pos;
    size_t left = t.text_.size() - pos;
    if (p[0] == '\r' && (left < 2 || p[1] != '\n')) return Char{1, 1, 1, 1, true};
    if (t.kind_ == Kind::kSjis) {
      int n = IsSjisLead(p[0]) && pos + 1 < end ? 2 : 1;
      Char c{n, n, 1, 1, false};
      SjisUnits(p, n, &c.u16, &c.u8);
      return c;
    }
    int n;
    long cp = DecodeUtf8(p, left, &n);
    if (cp < 0) return Char{1, 1, 1, 1, false};
    Char c{n, SjisLength((uint32_t)cp), cp >= 0x10000 ? 2 : 1, n, false};
    if (pos == 0 && t.mark_) c.u16 = c.u8 = 0;  // the mark is no character of the client's
    return c;
  }
};

TextLines TextLines::FromFileBytes(const std::string &bytes) {
  TextLines t;
  SourceEncoding enc =
      DetectSourceEncoding(bytes.data(), (int)std::min<size_t>(bytes.size(), 0x7FFFFFFF));
  if (enc == SourceEncoding::kUtf16) {
    t.kind_ = Kind::kUtf16;
    const char *from = (unsigned char)bytes[0] == 0xFE ? "UTF-16BE" : "UTF-16LE";
    size_t units = bytes.size() / 2;
    t.text_.resize(units * 3 + 16);
    long n = ConvertText(from, "UTF-8", bytes.data(), units * 2, &t.text_[0], t.text_.size());
    t.text_.resize(n > 0 ? (size_t)n : 0);
    t.mark_ = true;
  } else if (enc == SourceEncoding::kUtf8) {
    t.kind_ = Kind::kUtf8;
    // The analysis reads up to the first NUL.
    t.text_ = bytes.substr(0, bytes.find('\0'));
    t.mark_ = t.text_.compare(0, 3, "\xEF\xBB\xBF") == 0;
  } else {
    t.kind_ = Kind::kSjis;
    t.text_ = bytes;
  }
  t.Index();
  return t;
}

TextLines TextLines::FromEditorText(const std::string &utf8) {
  TextLines t;
  bool ascii =
      std::all_of(utf8.begin(), utf8.end(), [](char c) { return (unsigned char)c < 0x80; });
  t.kind_ = ascii ? Kind::kSjis : Kind::kUtf8;
  t.text_ = ascii ? utf8 : utf8.substr(0, utf8.find('\0'));
  t.Index();
  return t;
}

void TextLines::Index() {
  starts_.assign(1, 0);
  ends_.clear();
  bool plain = kind_ != Kind::kUtf16 && !mark_;
  bool lone_cr = false;
  for (size_t i = 0; i < text_.size(); i++) {
    unsigned char c = (unsigned char)text_[i];
    if (c >= 0x80) plain = false;
    if (c == '\r' && (i + 1 >= text_.size() || text_[i + 1] != '\n')) lone_cr = true;
    if (c == '\n') {
      ends_.push_back((uint32_t)(i > starts_.back() && text_[i - 1] == '\r' ? i - 1 : i));
      starts_.push_back((uint32_t)(i + 1));
    }
  }
  ends_.push_back((uint32_t)text_.size());
  client_line_.clear();
  if (lone_cr) {
    plain = false;
    int client = 0;
    for (size_t l = 0; l < starts_.size(); l++) {
      client_line_.push_back(client);
      for (size_t i = starts_[l]; i < ends_[l]; i++)
        if (text_[i] == '\r' && text_[i + 1] != '\n') client++;
      client++;
    }
  }
  if (plain) {
    kind_ = Kind::kPlain;
    std::string().swap(text_);
  }
}

ClientPosition TextLines::ToClient(int line, int column, PositionEncoding enc) const {
  if (line < 0) line = column = 0;
  if (line >= LineCount()) return LineEnd(LineCount() - 1, enc);
  if (column < 0) column = 0;
  if (kind_ == Kind::kPlain) {
    int len = (int)(ends_[(size_t)line] - starts_[(size_t)line]);
    return ClientPosition{line, std::min(column, len)};
  }
  ClientPosition p{client_line_.empty() ? line : client_line_[(size_t)line], 0};
  int sjis = 0;
  for (Walk w(*this, line); w.More() && sjis < column;) {
    Char c = w.Peek();
    if (sjis + c.sjis > column) break;  // inside this character: its start
    sjis += c.sjis;
    w.pos += (size_t)c.bytes;
    if (c.lone_cr) {
      p.line++;
      p.character = 0;
    } else {
      p.character += enc == PositionEncoding::kUtf8 ? c.u8 : c.u16;
    }
  }
  return p;
}

int TextLines::LineIndexOfClient(int client_line) const {
  if (client_line_.empty()) return std::min(client_line, LineCount() - 1);
  auto it = std::upper_bound(client_line_.begin(), client_line_.end(), client_line);
  return (int)(it - client_line_.begin()) - 1;
}

void TextLines::ToAnalysis(ClientPosition p, PositionEncoding enc, int *line, int *column) const {
  if (p.line < 0) p.line = p.character = 0;
  if (p.character < 0) p.character = 0;
  int l = LineIndexOfClient(p.line);
  *line = l;
  if (kind_ == Kind::kPlain) {
    int len = (int)(ends_[(size_t)l] - starts_[(size_t)l]);
    *column = p.line > l ? len : std::min(p.character, len);
    return;
  }
  int client_line = client_line_.empty() ? l : client_line_[(size_t)l];
  int units = 0, sjis = 0;
  for (Walk w(*this, l); w.More();) {
    Char c = w.Peek();
    if (client_line == p.line) {
      int u = enc == PositionEncoding::kUtf8 ? c.u8 : c.u16;
      if (c.lone_cr || units + u > p.character || (u > 0 && units >= p.character)) break;
      units += u;
    } else if (c.lone_cr) {
      client_line++;
    }
    sjis += c.sjis;
    w.pos += (size_t)c.bytes;
  }
  *column = sjis;
}

ClientPosition TextLines::LineEnd(int line, PositionEncoding enc) const {
  if (line < 0) line = 0;
  if (line >= LineCount()) line = LineCount() - 1;
  if (kind_ == Kind::kPlain)
    return ClientPosition{line, (int)(ends_[(size_t)line] - starts_[(size_t)line])};
  return ToClient(line, 0x7FFFFFFF, enc);
}
