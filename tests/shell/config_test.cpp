// LoadConfiguration: defaults, limits, text families, encodings and the
// refusal of templates whose placeholders the program would not fill.
#include <gtest/gtest.h>

#include <string>

#include "foundation/log.h"
#include "foundation/settings.h"
#include "foundation/trace_capture.h"
#include "platform/files.h"
#include "platform/sys.h"
#include "shell/config.h"
#include "support/testenv.h"

namespace {

class ConfigTest : public ::testing::Test {
 protected:
  velmora_test::TraceCapture trace_;            // the developer trace of the test
  velmora_test::ScratchDir scratch_{"config"};  // its settings files
  void TearDown() override { ResetConfiguration(); }
  void Load(const std::string &body) { LoadConfiguration(scratch_.NewFile(".ini", body).c_str()); }
};

TEST_F(ConfigTest, MissingFileGivesBuiltInValues) {
  Load("[CONFIG]\nWIDTH=1000\nTAB_NAME_0=x\n");
  LoadConfiguration((scratch_.path + "/absent.ini").c_str());
  EXPECT_EQ(g_config.WIDTH, 800);
  EXPECT_STREQ(g_config.TAB_NAME[0], "Function List");
  EXPECT_STREQ(g_config.EXT, "C;CPP;H;");
  EXPECT_STREQ(g_config.EDITOR, "notepad.exe");
  EXPECT_STREQ(g_config.DOT_CMD, "\"%s\"-T%s -o \"%s\" \"%s\"");
  EXPECT_EQ(g_config.MAX_HASH_BUFFER, 8191);
  EXPECT_EQ(g_config.FUNC_NOT_EXIST_DISP, 1);
  EXPECT_EQ(g_config.GRAPH_IN_WINDOW, 0);
  EXPECT_EQ(LogGetLevel(), 0);
  // The built-in templates pass their own check.
  EXPECT_EQ(trace_.text(), "");
  LoadConfiguration(nullptr);
  EXPECT_EQ(g_config.HEIGHT, 400);
}

TEST_F(ConfigTest, NumbersAreClamped) {
  Load(
      "[CONFIG]\nMAX_CALL_NEST=1\nMAX_CALL_TABLE=5000\nMAX_HASH_BUFFER=100\n"
      "FONT_SIZE_TV=100\nFONT_SIZE_TAB=2\nFONT_SIZE_GRAPH=20\nWIDTH=50\nHEIGHT=-3\n"
      "FUNC_NOT_EXIST_DISP=7\nDISPLAY_GRAPH=-1\nFUNC_EXPAND_AGAIN=0\nMAX_RESULT_BUFFER=9999\n"
      "DEBUG_LOG=2\nGRAPH_IN_WINDOW=5\n");
  EXPECT_EQ(g_config.MAX_CALL_NEST, 4);
  EXPECT_EQ(g_config.MAX_CALL_TABLE, 1023);
  EXPECT_EQ(g_config.MAX_HASH_BUFFER, 8191);
  EXPECT_EQ(g_config.FONT_SIZE_TV, 48);
  EXPECT_EQ(g_config.FONT_SIZE_TAB, 8);
  EXPECT_EQ(g_config.FONT_SIZE_GRAPH, 16);
  EXPECT_EQ(g_config.WIDTH, 128);
  EXPECT_EQ(g_config.HEIGHT, 80);
  EXPECT_EQ(g_config.FUNC_NOT_EXIST_DISP, 1);
  EXPECT_EQ(g_config.DISPLAY_GRAPH, 1);
  EXPECT_EQ(g_config.FUNC_EXPAND_AGAIN, 0);
  EXPECT_EQ(g_config.MAX_RESULT_BUFFER, 2048);
  EXPECT_EQ(g_config.GRAPH_IN_WINDOW, 1);
  EXPECT_EQ(LogGetLevel(), 2);

  Load("[CONFIG]\nMAX_CALL_NEST=300\nMAX_HASH_BUFFER=9999999\nWIDTH=4000\n");
  EXPECT_EQ(g_config.MAX_CALL_NEST, 255);
  EXPECT_EQ(g_config.MAX_HASH_BUFFER, 524287);
  EXPECT_EQ(g_config.WIDTH, 4000);
  EXPECT_EQ(LogGetLevel(), 0);
}

TEST_F(ConfigTest, StringsAndTextFamilies) {
  Load(
      "[CONFIG]\nEDITOR=\nTAB_NAME_1=\nTAB_NAME_0=Funcs\nGRAPH_EXT=PNG\n"
      "INDENT_2=\"|  \"\nEXPAND_MESS_3=  (cut)  \nSTAT_MESS_4=ready\nFLAG_MESS_2=\n"
      "EXT=c;h\nGRAPH_VIEWER=/usr/bin/eog\n");
  EXPECT_STREQ(g_config.EDITOR, "");
  EXPECT_STREQ(g_config.TAB_NAME[1], "Call List");
  EXPECT_STREQ(g_config.TAB_NAME[0], "Funcs");
  EXPECT_STREQ(g_config.GRAPH_EXT, "png");
  EXPECT_STREQ(g_config.INDENT[2], "|  ");
  EXPECT_STREQ(g_config.EXPAND_MESS[3], "(cut)");
  EXPECT_STREQ(g_config.STAT_MESS[4], "ready");
  EXPECT_STREQ(g_config.FLAG_MESS[2], "Display the Non-existence Function");
  EXPECT_STREQ(g_config.EXT, "c;h");
  EXPECT_STREQ(g_config.GRAPH_VIEWER, "/usr/bin/eog");
}

TEST_F(ConfigTest, TextsAreCutToTheirFields) {
  std::string longer(100, 'x');
  Load("[CONFIG]\nINDENT_0=" + longer + "\nFONT_NAME_GRAPH=" + longer + "\nGRAPH_EXT=ABCDEFGHIJ\n" +
       "TAB_NAME_3=" + longer + "\nEDITOR_CMD=-n%d" + longer + "\n");
  EXPECT_EQ(std::string(g_config.INDENT[0]), std::string(14, 'x'));
  EXPECT_EQ(std::string(g_config.FONT_NAME_GRAPH), std::string(61, 'x'));
  EXPECT_EQ(std::string(g_config.TAB_NAME[3]), std::string(62, 'x'));
  EXPECT_STREQ(g_config.GRAPH_EXT, "abcdefg");
  EXPECT_EQ(std::string(g_config.EDITOR_CMD), "-n%d" + std::string(25, 'x'));
}

TEST_F(ConfigTest, FileRulesApply) {
  Load(
      "; settings\r\n[Other]\r\nWIDTH=999\r\n[config]\r\n;WIDTH=111\r\n  width = 640 \r\n"
      "WIDTH=700\r\nFont_Name_Tab = \"Noto Sans CJK JP\" \r\n[CONFIG]\r\nHEIGHT=300\r\n");
  EXPECT_EQ(g_config.WIDTH, 640);
  EXPECT_STREQ(g_config.FONT_NAME_TAB, "Noto Sans CJK JP");
  EXPECT_EQ(g_config.HEIGHT, 400);
}

TEST_F(ConfigTest, Utf8FileGivesShiftJisTexts) {
  // "解析中です。" in UTF-8, without and with a mark.
  const std::string utf8 =
      "\xe8\xa7\xa3\xe6\x9e\x90\xe4\xb8\xad\xe3\x81\xa7\xe3\x81\x99\xe3\x80\x82";
  const std::string sjis = "\x89\xf0\x90\xcd\x92\x86\x82\xc5\x82\xb7\x81\x42";
  Load("[CONFIG]\nSTAT_MESS_0=" + utf8 + "\n");
  EXPECT_EQ(std::string(g_config.STAT_MESS[0]), sjis);
  Load("\xef\xbb\xbf[CONFIG]\nTAB_NAME_2=" + utf8 + "\n");
  EXPECT_EQ(std::string(g_config.TAB_NAME[2]), sjis);
  Load("[CONFIG]\nTAB_NAME_2=" + sjis + "\n");
  EXPECT_EQ(std::string(g_config.TAB_NAME[2]), sjis);
}

TEST_F(ConfigTest, TemplatesWithOtherPlaceholdersFallBack) {
  Load(
      "[CONFIG]\n"
      "ATTR_GRAPH=graph[fontname=\"%s\",fontsize=%d];\n"
      "ATTR_NODE=node[fontname=\"%s\",fontsize=%s];\n"
      "ATTR_FUNC=%s[label=\"%s%s %n\"];\n"
      "ATTR_REMARK=%s[label=\"%s\" 100%%];\n"
      "DOT_CMD=%s -T%s -o %s\n"
      "GRAPH_VIEWER_CMD=\"\"%s\" --fit \"%s\"\"\n"
      "EDITOR_CMD=+%*d\n");
  EXPECT_STREQ(g_config.ATTR_GRAPH, "graph[fontname=\"%s\",fontsize=%d];");
  EXPECT_STREQ(g_config.ATTR_REMARK, "%s[label=\"%s\" 100%%];");
  EXPECT_STREQ(g_config.GRAPH_VIEWER_CMD, "\"%s\" --fit \"%s\"");
  ResetConfiguration();
  const ST_CONFIG builtin = g_config;
  Load(
      "[CONFIG]\nATTR_NODE=node[fontname=\"%s\",fontsize=%s];\nATTR_FUNC=%s[label=\"%s%s %n\"];\n"
      "DOT_CMD=%s -T%s -o %s\nEDITOR_CMD=+%*d\nATTR_EDGE=edge[fontsize=%ld];\n");
  EXPECT_STREQ(g_config.ATTR_NODE, builtin.ATTR_NODE);
  EXPECT_STREQ(g_config.ATTR_FUNC, builtin.ATTR_FUNC);
  EXPECT_STREQ(g_config.ATTR_EDGE, builtin.ATTR_EDGE);
  EXPECT_STREQ(g_config.DOT_CMD, builtin.DOT_CMD);
  EXPECT_STREQ(g_config.EDITOR_CMD, "");
  EXPECT_NE(trace_.text().find("LoadConfiguration :ATTR_NODE ignored"), std::string::npos);
  EXPECT_NE(trace_.text().find("LoadConfiguration :DOT_CMD ignored"), std::string::npos);
  EXPECT_NE(trace_.text().find("LoadConfiguration :EDITOR_CMD ignored"), std::string::npos);

  // The editor template may use the line number or ignore it.
  Load("[CONFIG]\nEDITOR_CMD=+%d\n");
  EXPECT_STREQ(g_config.EDITOR_CMD, "+%d");
  Load("[CONFIG]\nEDITOR_CMD=--new-window\nDOT_CMD=\n");
  EXPECT_STREQ(g_config.EDITOR_CMD, "--new-window");
  EXPECT_STREQ(g_config.DOT_CMD, "");
}

}  // namespace

TEST_F(ConfigTest, OutputDirWhereTheSettingsSay) {
  char buf[VELMORA_PATH_MAX];
  velmora_test::EnvScope desk;
  desk.Set("XDG_DESKTOP_DIR", (scratch_.path + "/Desktop").c_str());
  velmora_test::EnvScope home;
  home.Set("HOME", scratch_.path.c_str());
  velmora_test::EnvScope state;
  state.Set("XDG_STATE_HOME", nullptr);
  // Built in: the desktop.
  Load("[CONFIG]\n");
  EXPECT_STREQ(g_config.OUTPUT_DIR, "");
  ASSERT_EQ(OutputFolder(buf, sizeof buf), 1);
  EXPECT_EQ(std::string(buf), scratch_.path + "/Desktop");
  // The sample's form: the state folder, made private.
  Load("[CONFIG]\nOUTPUT_DIR=$XDG_STATE_HOME/velmora\n");
  ASSERT_EQ(OutputFolder(buf, sizeof buf), 1);
  EXPECT_EQ(std::string(buf), scratch_.path + "/.local/state/velmora");
  // A relative folder lies beside the settings file.
  Load("[CONFIG]\nOUTPUT_DIR=logs\n");
  ASSERT_EQ(OutputFolder(buf, sizeof buf), 1);
  EXPECT_EQ(std::string(buf), scratch_.path + "/logs");
  // One that cannot be made out: the desktop, and a trace line.
  Load("[CONFIG]\nOUTPUT_DIR=$VELMORA_NO_SUCH_VARIABLE/x\n");
  ASSERT_EQ(OutputFolder(buf, sizeof buf), 1);
  EXPECT_EQ(std::string(buf), scratch_.path + "/Desktop");
  EXPECT_NE(trace_.text().find("LoadConfiguration :OUTPUT_DIR ignored"), std::string::npos);
  LoadConfiguration(nullptr);
}
