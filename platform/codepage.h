// Conversion between Shift_JIS (CP932), UTF-8 and UTF-16LE, and the Shift_JIS
// lead-byte test every text scan uses. Characters that the target cannot hold,
// and invalid input, become '?'.
#pragma once

#include <cstddef>
#include <string>

// 1 for a Shift_JIS lead byte (0x81-0x9F, 0xE0-0xFC), else 0: the byte and the
// one after it are one character, so a scan takes them as a pair. Inline: the
// line reader and the tokenizer ask for every byte of every source.
constexpr inline int IsSjisLead(unsigned char b) {
  return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

// Converts srclen bytes from one encoding ("CP932", "UTF-8", "UTF-16LE",
// "UTF-16BE") to another into dst. Returns the bytes written, or -1 when the
// result would not fit in cap bytes (dst then holds no usable text).
long ConvertText(const char *from, const char *to, const void *src, size_t srclen, void *dst,
                 size_t cap);

// Whole-string conveniences for messages, names and paths.
std::string SjisToUtf8(const std::string &sjis);
std::string Utf8ToSjis(const std::string &utf8);
