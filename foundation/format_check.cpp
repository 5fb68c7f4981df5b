// Template checking for printf-style settings: a strict little scanner of
// conversion directives that refuses anything able to read or write
// arguments the caller did not pass.
#include "foundation/format_check.h"

#include <cstring>

namespace {

bool IsFlag(char c) {
  return c == '-' || c == '+' || c == ' ' || c == '#' || c == '0';
}
bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

// A field width or precision of more than three digits would let a settings
// file make one formatted piece gigabytes long.
const int kMaxFieldDigits = 3;

// Skips the digits at p; false when there are more than kMaxFieldDigits.
bool SkipField(const char *&p) {
  int n = 0;
  while (IsDigit(*p)) {
    p++;
    n++;
  }
  return n <= kMaxFieldDigits;
}

// The argument class a conversion reads: 'd' int, 's' text, 'f' double,
// 'p' pointer; 0 for a conversion that is never acceptable.
char ClassOf(char c) {
  if (std::strchr("diuxXoc", c)) return 'd';
  if (c == 's') return 's';
  if (std::strchr("eEfFgGaA", c)) return 'f';
  if (c == 'p') return 'p';
  return 0;
}

}  // namespace

int FormatConversions(const char *tmpl, char *out, int cap) {
  if (!tmpl || !out || cap <= 0) return 0;
  int k = 0;
  out[0] = 0;
  for (const char *p = tmpl; *p; p++) {
    if (*p != '%') continue;
    p++;
    if (*p == '%') continue;
    while (IsFlag(*p)) p++;
    bool fits = SkipField(p);
    if (*p == '.') {
      p++;
      fits = SkipField(p) && fits;
    }
    // A NUL, '*', 'n', a length modifier or any other letter ends up here.
    if (!fits || !*p || !ClassOf(*p)) {
      out[0] = 0;
      return 0;
    }
    if (k + 1 >= cap) {
      out[0] = 0;
      return 0;
    }
    out[k++] = *p;
    out[k] = 0;
  }
  return 1;
}

int FormatMatches(const char *tmpl, const char *expected_conversions) {
  if (!tmpl || !expected_conversions) return 0;
  char got[64];
  if (!FormatConversions(tmpl, got, sizeof got)) return 0;
  size_t n = std::strlen(got);
  if (n != std::strlen(expected_conversions)) return 0;
  for (size_t i = 0; i < n; i++) {
    char want = expected_conversions[i];
    char have = got[i];
    if (ClassOf(want) == 'd' ? ClassOf(have) != 'd' : have != want) return 0;
  }
  return 1;
}
