// Conversions between Shift_JIS, UTF-8 and UTF-16: round trips, '?' for what
// the target cannot hold, and the capacity rule; the lead-byte test.
#include <gtest/gtest.h>

#include <string>

#include "platform/codepage.h"

namespace {

const std::string kSjis = "A\x93\xfa\x96\x7b\x8c\xea\xb1\\";  // A 日本語 ｱ backslash
const std::string kUtf8 = "A\xe6\x97\xa5\xe6\x9c\xac\xe8\xaa\x9e\xef\xbd\xb1\\";

std::string Convert(const char *from, const char *to, const std::string &in, size_t cap = 256) {
  std::string out(cap, '\0');
  long n = ConvertText(from, to, in.data(), in.size(), &out[0], cap);
  if (n < 0) return "<overflow>";
  out.resize((size_t)n);
  return out;
}

}  // namespace

TEST(Codepage, SjisLeadBytes) {
  for (int b : {0x81, 0x9F, 0xE0, 0xFC}) EXPECT_EQ(IsSjisLead((unsigned char)b), 1) << b;
  for (int b : {0x00, 0x5C, 0x80, 0xA0, 0xDF, 0xFD, 0xFF})
    EXPECT_EQ(IsSjisLead((unsigned char)b), 0) << b;
  static_assert(IsSjisLead(0x88) && !IsSjisLead('\\'), "usable in constant tables");
}

TEST(Codepage, RoundTrips) {
  EXPECT_EQ(SjisToUtf8(kSjis), kUtf8);
  EXPECT_EQ(Utf8ToSjis(kUtf8), kSjis);
  std::string le = Convert("CP932", "UTF-16LE", kSjis);
  EXPECT_EQ(le.substr(0, 4), std::string("A\0\xe5\x65", 4));  // U+65E5
  EXPECT_EQ(Convert("UTF-16LE", "CP932", le), kSjis);
  std::string be = Convert("UTF-8", "UTF-16BE", kUtf8);
  EXPECT_EQ(be.substr(0, 4), std::string("\0A\x65\xe5", 4));
  EXPECT_EQ(Convert("UTF-16BE", "UTF-8", be), kUtf8);
  EXPECT_EQ(SjisToUtf8(""), "");
}

TEST(Codepage, UnmappableAndInvalidBecomeQuestionMarks) {
  // é and an emoji have no Shift_JIS form; each becomes one '?'.
  EXPECT_EQ(Utf8ToSjis("a\xc3\xa9"
                       "b\xf0\x9f\x98\x80"
                       "c"),
            "a?b?c");
  // A stray byte of invalid UTF-8, and a sequence cut at the end.
  EXPECT_EQ(Utf8ToSjis("x\xffy\xe6\x97"), "x?y?");
  // A lead byte followed by a byte that cannot be its partner keeps that byte.
  EXPECT_EQ(SjisToUtf8("\x81\x20z"), "? z");
  EXPECT_EQ(SjisToUtf8("end\x93"), "end?");
  // A lone surrogate in UTF-16, and '?' written in the target's own form.
  EXPECT_EQ(Convert("UTF-16LE", "CP932",
                    std::string("\x00\xd8"
                                "a\0",
                                4)),
            "?a");
  EXPECT_EQ(Convert("UTF-8", "UTF-16LE", "\xff"), std::string("?\0", 2));
  EXPECT_EQ(Convert("UTF-8", "UTF-16BE", "\xff"), std::string("\0?", 2));
}

TEST(Codepage, ResultMustFitTheCapacity) {
  EXPECT_EQ(Convert("CP932", "UTF-8", kSjis, kUtf8.size()), kUtf8);
  EXPECT_EQ(Convert("CP932", "UTF-8", kSjis, kUtf8.size() - 1), "<overflow>");
  EXPECT_EQ(Convert("UTF-8", "CP932", "\xff", 0), "<overflow>");
  char out[4];
  EXPECT_EQ(ConvertText("CP932", "NO-SUCH-CODE", "a", 1, out, sizeof out), -1);
  EXPECT_EQ(ConvertText("CP932", "UTF-8", "", 0, out, sizeof out), 0);
}
