// The interface language: the values of UI_LANG and --lang, "auto" and the
// locale, where a program finds its catalogues, and the language that
// start-up puts in force (the setting, the option over it, and the built-in
// texts when a catalogue is missing or broken).
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <string>

#include "foundation/messages.h"
#include "foundation/settings.h"
#include "platform/codepage.h"
#include "shell/app.h"
#include "shell/config.h"
#include "shell/ui_language.h"
#include "support/testenv.h"

namespace {

using velmora_test::EnvScope;

const std::string kEnglish = std::string(VELMORA_BINARY_DIR) + "/locale/en/LC_MESSAGES/velmora.mo";

struct UiLanguageTest : ::testing::Test {
  velmora_test::ScratchDir scratch{"uilang"};
  EnvScope env;
  std::string program;  // a program in scratch/bin, installed below scratch/share

  void SetUp() override {
    program = scratch.path + "/bin/velmora";
    mkdir((scratch.path + "/bin").c_str(), 0700);
    // No test takes the machine's locale.
    env.Set("LC_ALL", nullptr);
    env.Set("LC_MESSAGES", nullptr);
    env.Set("LANG", nullptr);
  }
  void TearDown() override {
    MessagesClear();
    AppSetLanguageOption(nullptr);
    ResetConfiguration();
  }
  // A catalogue file of language code below folder (relative to scratch).
  std::string Put(const std::string &folder, const std::string &code, const std::string &bytes) {
    std::string dir = scratch.path;
    std::string rest = folder + "/" + code + "/LC_MESSAGES/";
    for (size_t slash; (slash = rest.find('/')) != std::string::npos; rest.erase(0, slash + 1)) {
      dir += "/" + rest.substr(0, slash);
      mkdir(dir.c_str(), 0700);
    }
    velmora_test::WriteFile(dir + "/velmora.mo", bytes);
    return dir + "/velmora.mo";
  }
  std::string Resolve(const char *value) {
    char code[16];
    ResolveUiLanguage(value, program.c_str(), code, sizeof code);
    return code;
  }
  std::string Found(const char *code) {
    char path[4096];
    return FindCatalogue(program.c_str(), code, path, sizeof path) ? path : "";
  }
};

TEST_F(UiLanguageTest, ValuesOfTheSettingAndTheOption) {
  for (const char *ok : {"ja", "en", "auto", "AUTO", "En", "pt_BR", "pt_br", "fil"})
    EXPECT_EQ(UiLanguageValid(ok), 1) << ok;
  for (const char *bad : {"", "e", "english", "en-US", "en_USA", "../en", "en/x", "ja ", "1a"})
    EXPECT_EQ(UiLanguageValid(bad), 0) << bad;
  EXPECT_EQ(UiLanguageValid(nullptr), 0);
  EXPECT_EQ(Resolve("EN"), "en");
  EXPECT_EQ(Resolve("pt_br"), "pt_BR");
  EXPECT_EQ(Resolve("ja_JP"), "ja");
  EXPECT_EQ(Resolve("../../etc"), "ja");  // never part of a path
  EXPECT_EQ(Resolve(nullptr), "ja");
}

TEST_F(UiLanguageTest, AutoFollowsTheLocaleForMessages) {
  EXPECT_EQ(Resolve("auto"), "ja");  // no locale at all
  for (const char *japanese : {"C", "POSIX", "C.UTF-8", "ja_JP.UTF-8", "ja_JP.eucJP", "ja"}) {
    env.Set("LANG", japanese);
    EXPECT_EQ(Resolve("auto"), "ja") << japanese;
  }
  env.Set("LANG", "en_US.UTF-8");
  EXPECT_EQ(Resolve("auto"), "en");
  // LC_ALL comes first, then LC_MESSAGES, then LANG; an empty one is unset.
  env.Set("LC_MESSAGES", "ja_JP.UTF-8");
  EXPECT_EQ(Resolve("auto"), "ja");
  env.Set("LC_ALL", "en_GB.UTF-8");
  EXPECT_EQ(Resolve("auto"), "en");
  env.Set("LC_ALL", "");
  EXPECT_EQ(Resolve("auto"), "ja");
  // A language the program does not speak gets English; one it speaks, its own.
  env.Set("LC_ALL", "de_DE.UTF-8@euro");
  EXPECT_EQ(Resolve("auto"), "en");
  Put("bin/locale", "de", "x");
  EXPECT_EQ(Resolve("auto"), "de_DE");
  // An explicit value is taken as it is, whatever the locale.
  EXPECT_EQ(Resolve("ja"), "ja");
}

TEST_F(UiLanguageTest, CataloguesBesideTheProgramThenInstalled) {
  EXPECT_EQ(Found("en"), "");
  std::string installed = Put("share/locale", "en", "x");
  EXPECT_EQ(Found("en"), installed);
  std::string beside = Put("bin/locale", "en", "x");
  EXPECT_EQ(Found("en"), beside);
  // A territory falls back to its language.
  std::string pt = Put("share/locale", "pt", "x");
  EXPECT_EQ(Found("pt_BR"), pt);
  std::string br = Put("share/locale", "pt_BR", "x");
  EXPECT_EQ(Found("pt_BR"), br);
  // Only a regular file is a catalogue.
  mkdir((scratch.path + "/bin/locale/fr").c_str(), 0700);
  mkdir((scratch.path + "/bin/locale/fr/LC_MESSAGES").c_str(), 0700);
  mkdir((scratch.path + "/bin/locale/fr/LC_MESSAGES/velmora.mo").c_str(), 0700);
  EXPECT_EQ(Found("fr"), "");
  char path[8];  // a path that does not fit is no catalogue
  EXPECT_EQ(FindCatalogue(program.c_str(), "en", path, sizeof path), 0);
  EXPECT_STREQ(path, "");
}

TEST_F(UiLanguageTest, UseUiLanguageLoadsOrFallsBackToTheBuiltInTexts) {
  std::string stopping = Utf8ToSjis(u8"中断します。");
  EXPECT_EQ(UseUiLanguage(program.c_str(), "en"), 0);  // a copy without catalogues
  EXPECT_EQ(Msg(stopping.c_str()), stopping.c_str());
  Put("bin/locale", "en", velmora_test::ReadFile(kEnglish));
  EXPECT_EQ(UseUiLanguage(program.c_str(), "en"), 1);
  EXPECT_STREQ(Msg(stopping.c_str()), "Stopping.");
  EXPECT_EQ(UseUiLanguage(program.c_str(), "ja"), 0);
  EXPECT_EQ(MessagesCount(), 0);
  // A broken catalogue is no catalogue: the built-in texts show.
  Put("bin/locale", "de", "not a catalogue");
  EXPECT_EQ(UseUiLanguage(program.c_str(), "de"), 0);
  EXPECT_EQ(Msg(stopping.c_str()), stopping.c_str());
}

// The built catalogue: every entry is taken, and the status texts, the tab
// names and the job messages have an English text.
TEST_F(UiLanguageTest, TheEnglishCatalogueTranslatesTheBuiltInTexts) {
  std::string mo = velmora_test::ReadFile(kEnglish);
  ASSERT_FALSE(mo.empty()) << kEnglish;
  ASSERT_EQ(MessagesLoad(mo.data(), mo.size()), 1);
  EXPECT_GT(MessagesCount(), 100);
  for (const char *text : g_config.STAT_MESS) {
    std::string shown = Msg(text);
    EXPECT_NE(shown, text);
    for (char c : shown) EXPECT_LT((unsigned char)c, 0x80) << shown;
  }
  EXPECT_STREQ(Msg(g_config.TAB_NAME[2]), "Call Tree");
  EXPECT_STREQ(MsgUtf8("&Quit."), "&Quit");
  EXPECT_STREQ(MsgUtf8("&view Function."), "&View Function");
}

TEST_F(UiLanguageTest, StartUpTakesTheSettingAndTheOptionOverIt) {
  // test_shell runs from the build folder, where the catalogues are built.
  std::string ini = scratch.NewFile(".ini", "[CONFIG]\nUI_LANG=en\n");
  std::string stopping = Utf8ToSjis(u8"中断します。");
  ASSERT_EQ(AppStart(ini.c_str(), 0, nullptr, nullptr), 1);
  EXPECT_STREQ(g_config.UI_LANG, "en");
  EXPECT_STREQ(Msg(stopping.c_str()), "Stopping.");
  AppStop();
  EXPECT_EQ(MessagesCount(), 0);  // shutdown lets the catalogue go

  AppSetLanguageOption("ja");
  ASSERT_EQ(AppStart(ini.c_str(), 0, nullptr, nullptr), 1);
  EXPECT_EQ(MessagesCount(), 0);
  AppStop();

  // Before start-up: the option, else the setting of the file start-up reads.
  AppSetLanguageOption(nullptr);
  AppUseEarlyLanguage(ini.c_str());
  EXPECT_STREQ(Msg(stopping.c_str()), "Stopping.");
  AppUseEarlyLanguage((scratch.path + "/absent.ini").c_str());
  EXPECT_EQ(MessagesCount(), 0);

  // An empty value is the built-in language, as no key is.
  LoadConfiguration(scratch.NewFile(".ini", "[CONFIG]\nUI_LANG=\n").c_str());
  EXPECT_STREQ(g_config.UI_LANG, "ja");
  LoadConfiguration(nullptr);
  EXPECT_STREQ(g_config.UI_LANG, "ja");
}

}  // namespace
