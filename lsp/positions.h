// Places in a source as the analysis counts them (0-based lines ended by LF,
// columns in bytes of the Shift_JIS text the analysis read) and as an LSP
// client counts them (lines ended by LF, CR LF or CR; characters in UTF-16
// units, or UTF-8 bytes when agreed at initialize). A TextLines is made from
// the same bytes the analysis converted (a file's, in whatever encoding it
// has, or an editor's UTF-8 buffer) and walks one line to convert a place,
// character by character, so a call after Japanese text lands on its name.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

enum class PositionEncoding { kUtf16, kUtf8 };

struct ClientPosition {
  int line;       // 0-based, as the client counts lines
  int character;  // in the agreed encoding's units
};

class TextLines {
 public:
  TextLines() = default;
  // The text of a file from its bytes, its encoding read as source loading
  // reads it (UTF-16 with a mark, UTF-8, or Shift_JIS).
  static TextLines FromFileBytes(const std::string &bytes);
  // An editor's buffer (UTF-8, as the protocol carries it).
  static TextLines FromEditorText(const std::string &utf8);

  // The client's place of the analysis's (line, byte column). A column
  // inside a character gives that character's start; places past the end of
  // a line or of the text are kept on its last line's end.
  ClientPosition ToClient(int line, int column, PositionEncoding enc) const;
  // The analysis's (line, column) of a client's place, clamped to the text.
  void ToAnalysis(ClientPosition p, PositionEncoding enc, int *line, int *column) const;
  // The client's place of the end of analysis line `line` (before its line end).
  ClientPosition LineEnd(int line, PositionEncoding enc) const;
  // Lines as the analysis counts them (at least 1).
  int LineCount() const { return (int)starts_.size(); }
  // Bytes kept for the text (for the cache's bound).
  size_t Bytes() const { return text_.size() + starts_.size() * 8 + client_line_.size() * 4; }

 private:
  // How the analysis made its Shift_JIS from the bytes.
  enum class Kind {
    kPlain,  // ASCII without a lone CR or a mark: every unit is one byte
    kSjis,   // taken as it was: text_ holds the Shift_JIS bytes
    kUtf8,   // converted from UTF-8 (text_) through UTF-16
    kUtf16,  // converted from UTF-16 (text_ holds it as UTF-8)
  };
  struct Walk;  // one line being walked (positions.cpp)
  void Index();
  int LineIndexOfClient(int client_line) const;

  Kind kind_ = Kind::kPlain;
  std::string text_;                  // see Kind; empty for kPlain
  bool mark_ = false;                 // the text starts with a byte-order mark
  std::vector<uint32_t> starts_{0};   // by line: offset of its first byte
  std::vector<uint32_t> ends_{0};     // by line: offset of its end (before CR LF or LF)
  std::vector<int32_t> client_line_;  // by line: the client's line where it starts
                                      // (only with a lone CR inside the text)
};
