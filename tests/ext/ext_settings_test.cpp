// The extension settings file: note names, lists, ranges, TONE handling and
// the relationship attributes built from the CORRELATION table.
#include <gtest/gtest.h>

#include <string>

#include "ext/ext_settings.h"
#include "ext/midi_player.h"
#include "ext/relation.h"
#include "foundation/trace_capture.h"
#include "platform/sys.h"
#include "recorder.h"
#include "support/testenv.h"

namespace {

class ExtSettingsTest : public ::testing::Test {
 protected:
  velmora_test::TraceCapture trace_;         // the developer trace of the test
  velmora_test::ScratchDir scratch_{"ext"};  // its settings files
  void SetUp() override { TQ_MidiSetPorts(&rec_, &rec_); }
  void TearDown() override {
    TQ_MidiClose();
    TQ_MidiSetPorts(nullptr, nullptr);
    ResetExtensionSettings();
  }
  void Load(const std::string &body) {
    LoadExtensionSettings(scratch_.NewFile("ENH.ini", body).c_str());
  }
  std::string Attr(const char *from, const char *to) {
    char buf[RELATION_ATTR_MAX];
    MakeRelationAttr(from, to, buf, sizeof buf);
    return buf;
  }
  MidiRecorder rec_;
};

TEST(ParseNoteNameTest, Notation) {
  struct {
    const char *text;
    int value;
  } cases[] = {{"C", 1},    {"A", 10},    {"B", 12},  {"B#", 13}, {">C", 13}, {"<A", -34},
               {"C-", -36}, {"H", 0},     {"", 0},    {"c", 1},   {"E+", 6},  {"F-", 5},
               {">B#", 25}, {"<C-", -48}, {"G#x", 9}, {" C", 0},  {">", 0},   {"<<C", 0}};
  for (auto &c : cases) EXPECT_EQ(ParseNoteName(c.text), c.value) << c.text;
  EXPECT_EQ(ParseNoteName(nullptr), 0);
}

TEST_F(ExtSettingsTest, BuiltInValuesWithoutFile) {
  LoadExtensionSettings((scratch_.path + "/none.ini").c_str());
  EXPECT_EQ(MusicEnabled(), 0);
  EXPECT_EQ(CorrelationEnabled(), 0);
  EXPECT_EQ(g_music.WAIT, 50);
  EXPECT_EQ(g_music.INTERVAL_MAX, 4);
  EXPECT_EQ(g_music.INTERVAL[5], 4);
  EXPECT_EQ(g_music.INTERVAL_TRANS[11], 10);
  EXPECT_EQ(g_music.ACCENT[5], 11);
  EXPECT_EQ(g_music.RHYTHM[11], 35);
  EXPECT_EQ(g_music.NOTE[0], 0);
  EXPECT_STREQ(g_correlation.palette[7], "#505080");
  // MUSIC off: the device is still opened and the TONE defaults traced.
  ASSERT_FALSE(rec_.log.empty());
  EXPECT_EQ(rec_.log[0], "open");
  std::string tones;
  for (int i = 0; i < 6; i++) tones += "TQ_MidiSetTone : Invalid tone-no.[-1]\r\n";
  EXPECT_EQ(trace_.text(), tones);
  EXPECT_EQ(rec_.log.size(), 1u);
}

TEST_F(ExtSettingsTest, Lists) {
  Load(
      "[MUSIC]\nUSE=1\nINTERVAL=C,E,G\nINTERVAL_TRANS=,,D,,\nNOTE_MAX=3\nNOTE=8,8,4,2\n"
      "ACCENT_MAX=2\nACCENT=>C, <C ,C\nRHYTHM=36,99,,40,x\n");
  EXPECT_EQ(MusicEnabled(), 1);
  int interval[5] = {1, 5, 8, 9, 0};
  for (int i = 0; i < 5; i++) EXPECT_EQ(g_music.INTERVAL[i], interval[i]) << i;
  EXPECT_EQ(g_music.INTERVAL_TRANS[0], 3);
  EXPECT_EQ(g_music.INTERVAL_TRANS[1], 4);
  int note[4] = {8, 8, 4, 0};
  for (int i = 0; i < 4; i++) EXPECT_EQ(g_music.NOTE[i], note[i]) << i;
  EXPECT_EQ(g_music.ACCENT[0], 13);
  EXPECT_EQ(g_music.ACCENT[1], -25);
  EXPECT_EQ(g_music.ACCENT[2], 3);
  int rhythm[5] = {36, 35, 40, 35, 35};
  for (int i = 0; i < 5; i++) EXPECT_EQ(g_music.RHYTHM[i], rhythm[i]) << i;

  Load(
      "[MUSIC]\nINTERVAL_MAX=12\nINTERVAL=C,D,E,F,G,A,B,>C,>D,>E,>F,>G,>A\n"
      "NOTE_MAX=4\nNOTE=0,65,-3,x,64\n");
  EXPECT_EQ(g_music.INTERVAL[11], 20);
  EXPECT_EQ(g_music.INTERVAL_TRANS[11], 10);
  int fallback[5] = {4, 4, 4, 4, 0};
  for (int i = 0; i < 5; i++) EXPECT_EQ(g_music.NOTE[i], fallback[i]) << i;
}

TEST_F(ExtSettingsTest, NumbersAreClamped) {
  Load(
      "[MUSIC]\nACCENT_WAIT=9000\nWAIT=-5\nVOLUME=200\nINTERVAL_MAX=0\nACCENT_MAX=9\n"
      "NOTE_MAX=500\nRHYTHM_VOLUME=-1\nACCENT_VOLUME=128\n");
  EXPECT_EQ(g_music.ACCENT_WAIT, 5000);
  EXPECT_EQ(g_music.WAIT, 0);
  EXPECT_EQ(g_music.VOLUME, 127);
  EXPECT_EQ(g_music.INTERVAL_MAX, 1);
  EXPECT_EQ(g_music.ACCENT_MAX, 6);
  EXPECT_EQ(g_music.NOTE_MAX, 127);
  EXPECT_EQ(g_music.RHYTHM_VOLUME, 0);
  EXPECT_EQ(g_music.ACCENT_VOLUME, 127);
  Load("[MUSIC]\nINTERVAL_MAX=99\nWAIT=2001\n");
  EXPECT_EQ(g_music.INTERVAL_MAX, 12);
  EXPECT_EQ(g_music.WAIT, 2000);
}

TEST_F(ExtSettingsTest, TonesAreSentAtLoad) {
  Load("[MUSIC]\nTONE_00=5\nTONE_01=200\nTONE_02=0\nTONE_03=127\nTONE_04=-1\nTONE_05=19\n");
  std::vector<std::string> want = {"open", "msg c0 05 00", "msg c2 00 00", "msg c3 7f 00",
                                   "msg c5 13 00"};
  EXPECT_EQ(rec_.log, want);
  EXPECT_EQ(trace_.text(),
            "TQ_MidiSetTone : Invalid tone-no.[200]\r\nTQ_MidiSetTone : Invalid tone-no.[-1]\r\n");
  // A second load does not open the device twice.
  Load("[MUSIC]\n");
  EXPECT_EQ(rec_.log.size(), want.size());
}

TEST_F(ExtSettingsTest, RelationAttributes) {
  ResetExtensionSettings();
  // "好き" (fond of) in Shift_JIS, bold red.
  EXPECT_EQ(Attr("FC1_1", "FC1_2"),
            "[label=\"\x8d\x44\x82\xab\",style=bold,fontcolor=\"#FF0000\",color=\"#FF0000\"]");
  Load("[CORRELATION]\nUSE=1\nFORM_03=9:7:x\nPAL_01=#123456\nFORM_00=\n");
  EXPECT_EQ(CorrelationEnabled(), 1);
  EXPECT_EQ(Attr("FC1_1", "FC1_2"),
            "[label=\"x\",style=dashed,fontcolor=\"#123456\",color=\"#123456\"]");
  EXPECT_STREQ(g_correlation.relation_table[0], "0:0:\x97\x46\x90\x6c");
  // Characters below '0' and short entries still select an entry.
  Load("[CORRELATION]\nFORM_03=/:/:y\n");
  EXPECT_EQ(Attr("FC1_1", "FC1_2"),
            "[label=\"y\",style=invis,fontcolor=\"#505080\",color=\"#505080\"]");
  Load("[CORRELATION]\nFORM_03=1\n");
  EXPECT_EQ(Attr("FC1_1", "FC1_2"),
            "[label=\"\",style=dashed,fontcolor=\"#0000FF\",color=\"#0000FF\"]");
  char tiny[8];
  EXPECT_EQ(MakeRelationAttr("FC1_1", "FC1_2", tiny, sizeof tiny), 7);
  EXPECT_STREQ(tiny, "[label=");
  EXPECT_STREQ(MakeRelationAttrText("FC1_1", "FC1_2"),
               "[label=\"\",style=dashed,fontcolor=\"#0000FF\",color=\"#0000FF\"]");
  EXPECT_EQ(MakeRelationAttr(nullptr, "x", tiny, sizeof tiny), 0);
  EXPECT_STREQ(tiny, "");
}

// A label from the settings stays inside its string: a quote (also after a
// lone lead byte) cannot end it and add an attribute, and '&' cannot make a
// character reference.
TEST_F(ExtSettingsTest, RelationLabelsAreEscaped) {
  Load("[CORRELATION]\nUSE=1\nFORM_03=1:0:a\",URL=\"http://x/\n");
  EXPECT_EQ(Attr("FC1_1", "FC1_2"),
            "[label=\"a\\\",URL=\\\"http://x/\",style=solid,"
            "fontcolor=\"#0000FF\",color=\"#0000FF\"]");
  Load("[CORRELATION]\nUSE=1\nFORM_03=1:0:\x81\"&#1;\\\n");
  EXPECT_EQ(Attr("FC1_1", "FC1_2"),
            "[label=\"?\\\"&amp;#1;\\\\\",style=solid,"
            "fontcolor=\"#0000FF\",color=\"#0000FF\"]");
}

TEST_F(ExtSettingsTest, MusicSwitch) {
  Load("[MUSIC]\nUSE=0\n");
  EXPECT_EQ(ToggleMusic(), 1);
  EXPECT_EQ(MusicEnabled(), 1);
  EXPECT_EQ(ToggleMusic(), 0);
  SetMusicEnabled(5);
  EXPECT_EQ(MusicEnabled(), 1);
}

}  // namespace
