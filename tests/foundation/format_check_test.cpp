// The template check that guards every user-supplied printf template.
#include <gtest/gtest.h>

#include "foundation/format_check.h"

namespace {

TEST(FormatCheckTest, AcceptsExactlyTheExpectedConversions) {
  EXPECT_TRUE(FormatMatches("%s and %d then %s", "sds"));
  EXPECT_TRUE(FormatMatches("no placeholders", ""));
  EXPECT_TRUE(FormatMatches("100%% %s%%", "s"));
  EXPECT_TRUE(FormatMatches("%-10s|%08d|%.3s|%+5.2d|%#x", "sdsdd"));
  EXPECT_TRUE(FormatMatches("%i %u %X %c", "dddd"));
  EXPECT_FALSE(FormatMatches("%s", "sd"));
  EXPECT_FALSE(FormatMatches("%s %d %s", "sd"));
  EXPECT_FALSE(FormatMatches("%d %s", "sd"));
  EXPECT_FALSE(FormatMatches("%x", "s"));
  EXPECT_FALSE(FormatMatches("%f", "d"));
  EXPECT_FALSE(FormatMatches(nullptr, ""));
  EXPECT_FALSE(FormatMatches("", nullptr));
}

TEST(FormatCheckTest, RefusesDangerousDirectives) {
  EXPECT_FALSE(FormatMatches("%*d", "d"));
  EXPECT_FALSE(FormatMatches("%.*s", "s"));
  EXPECT_FALSE(FormatMatches("%n", ""));
  EXPECT_FALSE(FormatMatches("%s%n", "s"));
  EXPECT_FALSE(FormatMatches("%ld", "d"));
  EXPECT_FALSE(FormatMatches("%hhd", "d"));
  EXPECT_FALSE(FormatMatches("%ls", "s"));
  EXPECT_FALSE(FormatMatches("%1$s", "s"));
  EXPECT_FALSE(FormatMatches("trailing %", ""));
  EXPECT_FALSE(FormatMatches("%-", ""));
  EXPECT_FALSE(FormatMatches("%'d", "d"));
  EXPECT_FALSE(FormatMatches("%k", ""));

  // Field widths and precisions stay small: a settings file must not be able
  // to make one formatted piece gigabytes long.
  EXPECT_TRUE(FormatMatches("%255s|%.999d", "sd"));
  EXPECT_FALSE(FormatMatches("%1999999999s", "s"));
  EXPECT_FALSE(FormatMatches("%.1999999999d", "d"));
  EXPECT_FALSE(FormatMatches("%02045808616d", "d"));

  char out[4];
  EXPECT_EQ(FormatConversions("%s%d%s", out, sizeof out), 1);
  EXPECT_STREQ(out, "sds");
  EXPECT_EQ(FormatConversions("%s%d%s%s", out, sizeof out), 0);
  EXPECT_STREQ(out, "");
}

}  // namespace
