// Conversion between Shift_JIS (CP932), UTF-8 and UTF-16LE. Characters that
// the target cannot hold, and invalid input, become '?'.
#pragma once

#include <cstddef>
#include <string>

// Converts srclen bytes from one encoding ("CP932", "UTF-8", "UTF-16LE",
// "UTF-16BE") to another into dst. Returns the bytes written, or -1 when the
// result would not fit in cap bytes (dst then holds no usable text).
long ConvertText(const char *from, const char *to, const void *src, size_t srclen, void *dst,
                 size_t cap);

// Whole-string conveniences for messages, names and paths.
std::string SjisToUtf8(const std::string &sjis);
std::string Utf8ToSjis(const std::string &utf8);
