// The message catalogue: lookups by Shift_JIS and UTF-8 keys, texts that
// keep their original, translations refused for their placeholders, and
// catalogue files that are broken or hostile.
#include <gtest/gtest.h>

#include <string>

#include "foundation/messages.h"
#include "platform/codepage.h"
#include "support/mo_writer.h"

namespace {

using velmora_test::MakeMo;

struct MessagesTest : ::testing::Test {
  void TearDown() override { MessagesClear(); }
  int Load(const std::string &mo) { return MessagesLoad(mo.data(), mo.size()); }
};

TEST_F(MessagesTest, WithoutCatalogueEveryTextIsItself) {
  const char *sjis = "\x92\x86\x92\x66\x82\xb5\x82\xdc\x82\xb7\x81\x42";  // 中断します。
  EXPECT_EQ(Msg(sjis), sjis);
  EXPECT_EQ(MsgUtf8("&Quit."), std::string("&Quit."));
  const char *quit = "&Quit.";
  EXPECT_EQ(MsgUtf8(quit), quit);  // the very pointer: nothing copied
  EXPECT_EQ(Msg(nullptr), nullptr);
  EXPECT_EQ(MessagesCount(), 0);
}

TEST_F(MessagesTest, KeysInBothEncodingsFindOneTranslation) {
  ASSERT_EQ(Load(MakeMo({{u8"中断します。", "Stopping."},
                         {"&Quit.", "&Quit"},
                         {u8"≪ ソース解析中 ≫", u8"Analyse des sources à venir"}})),
            1);
  EXPECT_EQ(MessagesCount(), 3);
  EXPECT_STREQ(MsgUtf8(u8"中断します。"), "Stopping.");
  EXPECT_STREQ(Msg(Utf8ToSjis(u8"中断します。").c_str()), "Stopping.");
  EXPECT_STREQ(Msg("&Quit."), "&Quit");
  // A Shift_JIS key whose second byte is a backslash (ソ) is found too.
  EXPECT_STREQ(MsgUtf8(u8"≪ ソース解析中 ≫"), u8"Analyse des sources à venir");
  // Shift_JIS has no à: the lower layers get '?' for it, the fronts the text.
  EXPECT_STREQ(Msg(Utf8ToSjis(u8"≪ ソース解析中 ≫").c_str()), "Analyse des sources ? venir");
  // Anything else, a near miss included, is shown as it is.
  const char *other = "&Quit";
  EXPECT_EQ(MsgUtf8(other), other);
  EXPECT_EQ(MsgUtf8(u8"中断しました。"), std::string(u8"中断しました。"));
  MessagesClear();
  EXPECT_STREQ(Msg("&Quit."), "&Quit.");
}

TEST_F(MessagesTest, EntriesWithoutUsableTranslationKeepTheirOriginal) {
  ASSERT_EQ(Load(MakeMo({
                {"Untranslated", ""},
                {"%d of %d sources", "%d of %d sources done"},
                {"Stopped: %d files", "Stopped: %s files"},     // reads a text for a number
                {"%s  [%d lost]", "[%d lost] %s"},              // the arguments swapped
                {"Not rendered: %d nodes", "Not rendered"},     // one argument too few
                {"%1 of %2 rows", "%2 rows, %1 shown"},         // Qt: any order
                {"The graph cannot be shown: %1", "No graph"},  // Qt: the path lost
                {std::string("one\0many", 8), "plural"},        // plural entries
                {"100%% done: %d", "all %d done (100%%)"},
            })),
            1);
  EXPECT_STREQ(MsgUtf8("Untranslated"), "Untranslated");
  EXPECT_STREQ(MsgUtf8("%d of %d sources"), "%d of %d sources done");
  EXPECT_STREQ(MsgUtf8("Stopped: %d files"), "Stopped: %d files");
  EXPECT_STREQ(MsgUtf8("%s  [%d lost]"), "%s  [%d lost]");
  EXPECT_STREQ(MsgUtf8("Not rendered: %d nodes"), "Not rendered: %d nodes");
  EXPECT_STREQ(MsgUtf8("%1 of %2 rows"), "%2 rows, %1 shown");
  EXPECT_STREQ(MsgUtf8("The graph cannot be shown: %1"), "The graph cannot be shown: %1");
  EXPECT_STREQ(MsgUtf8("one"), "one");
  EXPECT_STREQ(MsgUtf8("100%% done: %d"), "all %d done (100%%)");
  EXPECT_EQ(MessagesCount(), 3);
}

TEST_F(MessagesTest, EitherByteOrderIsRead) {
  ASSERT_EQ(Load(MakeMo({{"Warning", "Achtung"}}, true)), 1);
  EXPECT_STREQ(MsgUtf8("Warning"), "Achtung");
}

TEST_F(MessagesTest, BrokenCataloguesAreRefusedAndTheOneInForceStays) {
  ASSERT_EQ(Load(MakeMo({{"Warning", "Careful"}})), 1);
  const std::string good = MakeMo({{"Warning", "Attention"}, {"OK", "Fine"}});
  // Every cut of a catalogue is refused: tables and texts run past the end.
  for (size_t n = 0; n < good.size(); n++) EXPECT_EQ(Load(good.substr(0, n)), 0) << "cut at " << n;
  std::string bad = good;
  bad[0] = 'x';  // no magic number
  EXPECT_EQ(Load(bad), 0);
  bad = good;
  bad[8] = bad[9] = bad[10] = bad[11] = '\xff';  // more entries than the file can hold
  EXPECT_EQ(Load(bad), 0);
  bad = good;
  bad[16] = bad[17] = bad[18] = '\xff';  // the translations' table far outside the file
  bad[19] = '\x7f';
  EXPECT_EQ(Load(bad), 0);
  bad = good;
  bad[bad.size() - 1] = 'x';  // the last text not ended by its NUL
  EXPECT_EQ(Load(bad), 0);
  bad = good;
  bad[6] = 2;  // a major revision that may mean another layout
  EXPECT_EQ(Load(bad), 0);
  EXPECT_EQ(
      Load(MakeMo({{"Warning", "Achtung"}}, false, "Content-Type: text/plain; charset=EUC-JP\n")),
      0);
  EXPECT_EQ(MessagesLoad(nullptr, 100), 0);
  EXPECT_STREQ(MsgUtf8("Warning"), "Careful");
  ASSERT_EQ(Load(good), 1);
  EXPECT_STREQ(MsgUtf8("OK"), "Fine");
}

}  // namespace
