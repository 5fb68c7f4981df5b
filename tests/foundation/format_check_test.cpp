// The template check that guards every user-supplied printf template.
#include <gtest/gtest.h>

#include "foundation/format_check.h"

namespace {

// Each case: a template and the conversions it must have.
struct Case {
  const char *format;
  const char *conversions;
};

TEST(FormatCheckTest, AcceptsExactlyTheExpectedConversions) {
  for (Case c :
       {Case{"%s and %d then %s", "sds"}, Case{"no placeholders", ""}, Case{"100%% %s%%", "s"},
        Case{"%-10s|%08d|%.3s|%+5.2d|%#x", "sdsdd"}, Case{"%i %u %X %c", "dddd"}})
    EXPECT_TRUE(FormatMatches(c.format, c.conversions)) << c.format;
  for (Case c : {Case{"%s", "sd"}, Case{"%s %d %s", "sd"}, Case{"%d %s", "sd"}, Case{"%x", "s"},
                 Case{"%f", "d"}, Case{nullptr, ""}, Case{"", nullptr}})
    EXPECT_FALSE(FormatMatches(c.format, c.conversions)) << (c.format ? c.format : "null");
}

TEST(FormatCheckTest, RefusesDangerousDirectives) {
  for (Case c : {Case{"%*d", "d"}, Case{"%.*s", "s"}, Case{"%n", ""}, Case{"%s%n", "s"},
                 Case{"%ld", "d"}, Case{"%hhd", "d"}, Case{"%ls", "s"}, Case{"%1$s", "s"},
                 Case{"trailing %", ""}, Case{"%-", ""}, Case{"%'d", "d"}, Case{"%k", ""}})
    EXPECT_FALSE(FormatMatches(c.format, c.conversions)) << c.format;

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
