// A source file as the Source tab shows it: the whole file read once,
// decoded from its own encoding (Shift_JIS, UTF-8 or UTF-16, decided as the
// analysis decides) and cut into lines where the analysis counts them (at
// each line feed), with the way from a place of the analysis (a line and a
// byte column of the Shift_JIS text it read) to a character of the text shown.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringView>

#include <vector>

#include "engine/encoding.h"

class SourceText {
 public:
  // Reads and decodes the file at path (native). false when it cannot be
  // read (*error says why); the text is then empty.
  bool Load(const QByteArray &path, QString *error);

  const QByteArray &Path() const { return path_; }
  // Lines (at least 1, an empty file being one empty line).
  int LineCount() const { return (int)starts_.size(); }
  // Line i (0-based) without its line end; empty for a line out of range.
  QStringView Line(int i) const;
  // Where line i starts in Text(), and its length (its line end excluded).
  int LineStart(int i) const;
  int LineLength(int i) const;
  const QString &Text() const { return text_; }
  // The most characters on one line.
  int LongestLine() const { return longest_; }
  // "Shift_JIS", "UTF-8" or "UTF-16".
  const char *EncodingName() const;
  // The character of line (0-based) at byte column col of that line of the
  // Shift_JIS text the analysis read (col past the line: its end).
  int CharColumn(int line, int col) const;
  // The line and character of a place in Text() (offset in UTF-16 units).
  void PlaceOf(int offset, int *line, int *column) const;

 private:
  QByteArray path_;
  QString text_;             // the whole text, line ends included
  std::vector<int> starts_;  // where each line starts in text_
  int longest_ = 0;          // the most characters on one line
  SourceEncoding encoding_ = SourceEncoding::kSjis;
  int marked_ = 0;  // 1: the file began with a byte order mark
};
