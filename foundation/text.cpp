// Bounded copies into fixed text fields. The Shift_JIS-safe cut has to scan
// from the start of the text: a trail byte may look like a lead byte, so only
// walking pair by pair tells where characters begin.
#include "foundation/text.h"

#include <cstdio>
#include <cstring>

#include "platform/codepage.h"

size_t CopyText(char *dst, size_t cap, const char *src, long n, int sjis_safe) {
  if (!dst || cap == 0) return 0;
  if (!src) {
    dst[0] = 0;
    return 0;
  }
  size_t avail = n >= 0 ? strnlen(src, (size_t)n) : strlen(src);
  size_t len = avail < cap - 1 ? avail : cap - 1;
  if (sjis_safe && len < avail) {
    size_t i = 0;
    while (i < len) {
      size_t step = IsSjisLead((unsigned char)src[i]) ? 2 : 1;
      if (i + step > len) break;
      i += step;
    }
    len = i;
  }
  memcpy(dst, src, len);
  dst[len] = 0;
  return len;
}

size_t FormatTextV(char *dst, size_t cap, const char *format, va_list args) {
  if (!dst || cap == 0) return 0;
  if (!format) {
    dst[0] = 0;
    return 0;
  }
  int r = vsnprintf(dst, cap, format, args);
  if (r < 0) {
    dst[0] = 0;
    return 0;
  }
  return (size_t)r < cap ? (size_t)r : cap - 1;
}

size_t FormatText(char *dst, size_t cap, const char *format, ...) {
  va_list args;
  va_start(args, format);
  size_t n = FormatTextV(dst, cap, format, args);
  va_end(args);
  return n;
}

std::string FormatString(const char *format, ...) {
  if (!format) return std::string();
  va_list args;
  va_start(args, format);
  va_list again;
  va_copy(again, args);
  int n = vsnprintf(nullptr, 0, format, args);
  va_end(args);
  std::string out;
  if (n > 0) {
    out.resize((size_t)n + 1);
    vsnprintf(&out[0], out.size(), format, again);
    out.resize((size_t)n);
  }
  va_end(again);
  return out;
}
