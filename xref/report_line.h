// A report line of the result log put together piece by piece: texts and
// "%d" numbers appended into a buffer of the log's message size, cut where
// the formatter would cut. The same bytes as the format gives, without the
// formatter's cost on lines written millions of times (links, lists).
#pragma once

#include <cstddef>

#include "foundation/log.h"
#include "foundation/text.h"

// Writes v as "%d" writes it into out (12 bytes at least); returns out.
inline const char *DecimalText(char *out, int v) {
  char digits[12];
  int n = 0;
  unsigned u = v < 0 ? 0u - (unsigned)v : (unsigned)v;
  do {
    digits[n++] = (char)('0' + u % 10);
    u /= 10;
  } while (u);
  char *at = out;
  if (v < 0) *at++ = '-';
  while (n) *at++ = digits[--n];
  *at = 0;
  return out;
}

struct ReportLine {
  char text[2048];  // the log's message size
  size_t len = 0;   // bytes so far (text stays terminated)

  ReportLine() { text[0] = 0; }
  // Appends a text (null appends nothing).
  ReportLine &Add(const char *piece) {
    len += CopyText(text + len, sizeof text - len, piece);
    return *this;
  }
  // Appends v as "%d" writes it.
  ReportLine &Add(int v) {
    char number[12];
    return Add(DecimalText(number, v));
  }
  // Prints the line to the result log at level 0.
  void Print() const { LogPrintText(0, LOG_RESULT, text, len); }
};
