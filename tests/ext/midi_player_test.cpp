// The tone player: the exact short messages and pauses of each node kind,
// the state that runs across nodes and trees, and the no-device case.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <vector>

#include "ext/ext_settings.h"
#include "ext/midi_player.h"
#include "foundation/hash.h"
#include "foundation/trace_capture.h"
#include "recorder.h"

namespace {

typedef std::vector<std::string> Log;

std::string Msg(int status, int d1, int d2) {
  char line[32];
  snprintf(line, sizeof line, "msg %02x %02x %02x", status, d1, d2);
  return line;
}

class MidiPlayerTest : public ::testing::Test {
 protected:
  velmora_test::TraceCapture trace_;  // the developer trace of the test
  void SetUp() override {
    ResetExtensionSettings();
    TQ_MidiSetPorts(&rec_, &rec_);
    TQ_MidiResetState();
    TQ_MidiOpen();
    rec_.log.clear();
  }
  void TearDown() override {
    TQ_MidiClose();
    TQ_MidiSetPorts(nullptr, nullptr);
    TQ_MidiResetState();
    ResetExtensionSettings();
  }
  // Entry b of the pitch tables that a name selects.
  static int Slot(const char *name) {
    return static_cast<int>(HashString(name, 0) % static_cast<unsigned>(g_music.INTERVAL_MAX));
  }
  MidiRecorder rec_;
};

TEST_F(MidiPlayerTest, NodeKinds) {
  g_music.RHYTHM[1] = 36, g_music.RHYTHM[2] = 38, g_music.RHYTHM[4] = 42;
  g_music.RHYTHM_VOLUME = 90;
  const char *name = "main";
  int pitch = g_music.INTERVAL[Slot(name)];
  int trans = g_music.INTERVAL_TRANS[Slot(name)];
  // Level 0: octave 4.
  TQ_MidiPlayNode(2, 1, name);
  TQ_MidiPlayNode(2, 2, name);
  TQ_MidiPlayNode(3, 3, name);  // level 1: octave 5, pitch mode toggled
  TQ_MidiPlayNode(3, 4, name);
  TQ_MidiPlayNode(4, 5, name);  // level 2: octave 6, accent chord
  Log want = {Msg(0x90, pitch + 48, 100), Msg(0x99, 36, 90), "sleep 50",
              Msg(0x91, pitch + 48, 100), Msg(0x99, 38, 90), "sleep 200",
              Msg(0x92, trans + 60, 100), Msg(0x99, 35, 90), "sleep 50",
              Msg(0x93, trans + 60, 100), Msg(0x99, 42, 90), "sleep 50"};
  const int accent[6] = {0, 1, 3, 4, 6, 11};
  for (int i = 0; i < 6; i++) want.push_back(Msg(0x90 + i, accent[i] + 72, 127));
  want.push_back("sleep 2000");
  EXPECT_EQ(rec_.log, want);
  ST_MIDI_STATE s = TQ_MidiState();
  EXPECT_EQ(s.melody_channel, 4);  // the chord does not move the channel
  EXPECT_EQ(s.trans_mode, 1);
}

TEST_F(MidiPlayerTest, RecursionTogglesAndTreesRestart) {
  g_music.INTERVAL_MAX = 1;
  g_music.INTERVAL[0] = 2;
  g_music.INTERVAL_TRANS[0] = 9;
  TQ_MidiPlayNode(2, 3, "f");  // toggles before its own note
  TQ_MidiPlayNode(2, 1, "f");
  TQ_MidiPlayNode(2, 3, "f");  // toggles back
  TQ_MidiPlayNode(2, 1, "f");
  std::vector<int> notes;
  for (const std::string &l : rec_.log) {
    if (l.compare(0, 5, "msg 9") == 0 && l[5] != '9')
      notes.push_back(std::stoi(l.substr(7, 2), nullptr, 16));
  }
  EXPECT_EQ(notes, (std::vector<int>{57, 57, 50, 50}));

  TQ_MidiPlayNode(2, 3, "f");
  rec_.log.clear();
  TQ_MidiStartTree();
  EXPECT_EQ(rec_.log, Log{"reset"});
  ST_MIDI_STATE s = TQ_MidiState();
  EXPECT_EQ(s.trans_mode, 0);
  EXPECT_EQ(s.note_pos, 0);
  EXPECT_EQ(s.melody_channel, 5);  // runs on across trees
  rec_.log.clear();
  TQ_MidiEndTree();
  EXPECT_EQ(rec_.log, (Log{"sleep 5000", "reset"}));
}

TEST_F(MidiPlayerTest, MelodyChannelsCycle) {
  for (int i = 0; i < 7; i++) TQ_MidiPlayNode(2, 1, "x");
  std::string channels;
  for (const std::string &l : rec_.log) {
    if (l.compare(0, 5, "msg 9") == 0 && l[5] != '9') channels += l[5];
  }
  EXPECT_EQ(channels, "0123450");
}

TEST_F(MidiPlayerTest, NoteLengthsFromTenEntriesOn) {
  g_music.NOTE_MAX = 9;
  for (int i = 0; i < NOTE_SIZE; i++) g_music.NOTE[i] = 8;
  TQ_MidiPlayNode(2, 1, "x");
  EXPECT_EQ(rec_.log.back(), "sleep 50");
  EXPECT_EQ(TQ_MidiState().note_pos, 0);

  g_music.NOTE_MAX = 10;
  g_music.NOTE[1] = 64;  // 200 / 64 = 3, raised to 16
  g_music.NOTE[2] = 0;   // counts as 1
  g_music.NOTE[9] = 2;
  std::vector<std::string> pauses;
  for (int i = 0; i < 11; i++) {
    TQ_MidiPlayNode(2, 1, "x");
    pauses.push_back(rec_.log.back());
  }
  EXPECT_EQ(pauses, (Log{"sleep 25", "sleep 16", "sleep 200", "sleep 25", "sleep 25", "sleep 25",
                         "sleep 25", "sleep 25", "sleep 25", "sleep 100", "sleep 25"}));
  EXPECT_EQ(TQ_MidiState().note_pos, 1);
  // An already expanded node starts from four times the wait.
  TQ_MidiPlayNode(2, 2, "x");
  EXPECT_EQ(rec_.log.back(), "sleep 16");
}

TEST_F(MidiPlayerTest, SilentStepsAndOctaveShifts) {
  g_music.INTERVAL_MAX = 1;
  g_music.INTERVAL[0] = -1;
  TQ_MidiPlayNode(2, 1, "x");
  EXPECT_EQ(rec_.log[0], Msg(0x90, 48, 0));
  // A shift from ACCENT entry 0: 25 gives +2 octaves, -30 gives -3.
  g_music.INTERVAL[0] = 0;
  g_music.ACCENT[0] = 25;
  rec_.log.clear();
  TQ_MidiPlayNode(2, 1, "x");  // (2 + 2 + 2) % 7 = 6
  EXPECT_EQ(rec_.log[0], Msg(0x91, 72, 100));
  g_music.ACCENT[0] = -30;
  rec_.log.clear();
  TQ_MidiPlayNode(2, 1, "x");  // (2 - 3 + 2) % 7 = 1
  EXPECT_EQ(rec_.log[0], Msg(0x92, 12, 100));
  rec_.log.clear();
  TQ_MidiPlayNode(0, 1, "x");  // (0 - 3 + 2) % 7 = -1, played in octave 0
  EXPECT_EQ(rec_.log[0], Msg(0x93, 0, 100));
}

TEST_F(MidiPlayerTest, SlotsPastTheAccentTableHaveNoShift) {
  g_music.INTERVAL_MAX = 12;
  for (int i = 0; i < ACCENT_SIZE; i++) g_music.ACCENT[i] = 100;
  for (int i = 0; i < INTERVAL_SIZE; i++) g_music.INTERVAL[i] = 0;
  std::string name;
  for (int i = 0; i < 100 && name.empty(); i++) {
    std::string candidate = "f" + std::to_string(i);
    if (Slot(candidate.c_str()) >= ACCENT_SIZE) name = candidate;
  }
  ASSERT_FALSE(name.empty());
  TQ_MidiPlayNode(2, 1, name.c_str());
  EXPECT_EQ(rec_.log[0], Msg(0x90, 48, 100));
}

TEST_F(MidiPlayerTest, SingleMessagesAndTraces) {
  TQ_MidiSetTone(9, 10);
  TQ_MidiSetTone(6, 10);
  TQ_MidiSetTone(0, 128);
  TQ_MidiNoteOn(7, 4, 0, 100);
  TQ_MidiNoteOn(-1, 4, 0, 100);
  TQ_MidiNoteOn(9, 9, 20, 300);
  TQ_MidiNoteOn(2, -4, -7, -5);
  TQ_MidiDrum(20, 64);
  TQ_MidiDrum(100, 200);
  EXPECT_EQ(rec_.log, (Log{Msg(0xC9, 10, 0), Msg(0x99, 95, 127), Msg(0x92, 48, 0),
                           Msg(0x99, 35, 64), Msg(0x99, 81, 127)}));
  EXPECT_EQ(trace_.text(),
            "TQ_MidiSetTone : Invalid channel.[6]\r\n"
            "TQ_MidiSetTone : Invalid tone-no.[128]\r\n"
            "TQ_MidiSetTone : Invalid channel.[7]\r\n"
            "TQ_MidiSetTone : Invalid channel.[-1]\r\n");
}

TEST_F(MidiPlayerTest, WithoutDeviceOnlyPausesAndState) {
  TQ_MidiClose();
  EXPECT_EQ(rec_.log, (Log{"reset", "close"}));
  TQ_MidiClose();
  rec_.available = 0;
  rec_.log.clear();
  TQ_MidiOpen();
  TQ_MidiStartTree();
  TQ_MidiPlayNode(2, 1, "x");
  TQ_MidiPlayNode(2, 3, "x");
  TQ_MidiPlayNode(2, 5, "x");
  TQ_MidiSetTone(0, 1);
  TQ_MidiEndTree();
  EXPECT_EQ(rec_.log, (Log{"open failed", "sleep 50", "sleep 50", "sleep 2000", "sleep 5000"}));
  EXPECT_EQ(TQ_MidiState().trans_mode, 1);
  EXPECT_EQ(TQ_MidiState().melody_channel, 2);
  EXPECT_EQ(TQ_MidiState().open, 0);
}

}  // namespace

namespace {

std::atomic<int> g_stop_polls{0};
std::atomic<int> g_stop_after{0};  // polls answered "no" before the stop

int StopAfterSomePolls() {
  return ++g_stop_polls > g_stop_after.load() ? 1 : 0;
}

}  // namespace

// The steps of real time the system clock took, instead of taking them.
std::vector<unsigned> g_steps;
void CountStep(unsigned ms) {
  g_steps.push_back(ms);
}
unsigned Sum(const std::vector<unsigned> &steps) {
  unsigned sum = 0;
  for (unsigned ms : steps) sum += ms;
  return sum;
}

// With real time, every pause polls the stop request at least every 50 ms:
// the five-second ring-out at the end of a tree, and a long note, end soon
// after the program asks the worker to stop.
TEST(MidiPauses, RealPausesEndOnAStopRequest) {
  MidiRecorder out;
  TQ_MidiSetPorts(&out, nullptr);  // the system clock
  TQ_MidiSetSleep(CountStep);
  g_steps.clear();
  g_stop_polls = 0;
  g_stop_after = 3;  // three steps of ring-out, then the stop
  TQ_MidiSetStopCheck(StopAfterSomePolls);
  TQ_MidiEndTree();
  EXPECT_EQ(g_steps, (std::vector<unsigned>{50, 50, 50})) << "the ring-out ignored the stop";
  EXPECT_EQ(g_stop_polls.load(), 4);

  ResetExtensionSettings();
  g_music.WAIT = 100000;  // a note of 100 s
  g_steps.clear();
  g_stop_polls = 0;
  g_stop_after = 1;
  TQ_MidiPlayNode(2, 1, "main");
  EXPECT_EQ(g_steps, (std::vector<unsigned>{50}));
  EXPECT_EQ(TQ_MidiStopRequested(), 1);  // what other clocks ask

  // Without a request the pauses are whole, in steps of at most 50 ms.
  TQ_MidiSetStopCheck(nullptr);
  EXPECT_EQ(TQ_MidiStopRequested(), 0);
  ResetExtensionSettings();
  g_music.WAIT = 120;
  g_steps.clear();
  TQ_MidiPlayNode(2, 1, "main");
  EXPECT_EQ(g_steps, (std::vector<unsigned>{50, 50, 20}));
  g_steps.clear();
  TQ_MidiEndTree();
  EXPECT_EQ(Sum(g_steps), 5000u);
  EXPECT_EQ(g_steps.size(), 100u);
  TQ_MidiSetSleep(nullptr);
  TQ_MidiSetPorts(nullptr, nullptr);
  ResetExtensionSettings();
}
