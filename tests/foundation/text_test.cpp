// The bounded copy and formatter: cuts, termination and Shift_JIS-safe cuts.
#include <gtest/gtest.h>

#include <cstring>

#include "foundation/text.h"

TEST(CopyText, CutsTerminatesAndKeepsPairsWhole) {
  char buf[6];
  memset(buf, 'Z', sizeof buf);
  EXPECT_EQ(CopyText(buf, sizeof buf, "abcdefgh"), 5u);
  EXPECT_STREQ(buf, "abcde");
  EXPECT_EQ(CopyText(buf, sizeof buf, "abcdefgh", 2), 2u);
  EXPECT_STREQ(buf, "ab");
  EXPECT_EQ(CopyText(buf, sizeof buf, nullptr), 0u);
  EXPECT_STREQ(buf, "");
  EXPECT_EQ(CopyText(buf, 0, "abc"), 0u);
  EXPECT_EQ(CopyText(buf, 1, "abc"), 0u);
  EXPECT_STREQ(buf, "");

  // "a" + two double-byte characters; the second one would be split at 4.
  const char *sjis = "a\x93\xfa\x96\x7b";
  EXPECT_EQ(CopyText(buf, 5, sjis, -1, 1), 3u);
  EXPECT_STREQ(buf, "a\x93\xfa");
  EXPECT_EQ(CopyText(buf, 5, sjis, -1, 0), 4u);
  // A trail byte in the lead range is not mistaken for a lead byte.
  const char *trail = "\x88\x88x";  // one character, then 'x'
  EXPECT_EQ(CopyText(buf, 4, trail, -1, 1), 3u);
  EXPECT_STREQ(buf, trail);
}

TEST(FormatText, CutsToCapacity) {
  char buf[8];
  EXPECT_EQ(FormatText(buf, sizeof buf, "%d-%s", 42, "abc"), 6u);
  EXPECT_STREQ(buf, "42-abc");
  EXPECT_EQ(FormatText(buf, sizeof buf, "%s", "0123456789"), 7u);
  EXPECT_STREQ(buf, "0123456");
  EXPECT_EQ(FormatText(buf, 0, "%s", "x"), 0u);
}
