// The MIDI tone player. Pitch follows the function name's hash, octave the
// node's depth, percussion the node kind; cut-off nodes play an accent chord.
// Notes are never switched off one by one: they ring until the next reset.
#include "ext/midi_player.h"

#include <atomic>

#include "ext/ext_settings.h"
#include "foundation/hash.h"
#include "foundation/trace.h"
#include "platform/midi.h"
#include "platform/sys.h"

namespace {

enum : unsigned { kPauseStepMs = 50 };

// The system MIDI output behind the port interface.
struct SystemMidiOut : MidiOutPort {
  MidiDevice *device = nullptr;  // open device, or none
  int Open() override {
    if (!device) device = MidiDeviceOpen();
    return device ? 1 : 0;
  }
  void Send(uint32_t msg) override { MidiDeviceSend(device, msg); }
  void Reset() override { MidiDeviceReset(device); }
  void Close() override {
    MidiDeviceClose(device);
    device = nullptr;
  }
};

std::atomic<int (*)(void)> g_stop_check{nullptr};  // stop request polled in pauses
std::atomic<void (*)(unsigned)> g_sleep{nullptr};  // one step of real time; nullptr: SleepMs

// Real time, taken in steps of at most 50 ms with the stop request polled
// before each: closing the program during a tree must not wait for the
// five-second ring-out (or a long WAIT) to pass.
struct SystemClock : ClockPort {
  void Sleep(unsigned ms) override {
    while (ms > 0) {
      if (TQ_MidiStopRequested()) return;
      unsigned step = ms < kPauseStepMs ? ms : kPauseStepMs;
      void (*sleep)(unsigned) = g_sleep.load();
      if (sleep) {
        sleep(step);
      } else {
        SleepMs(step);
      }
      ms -= step;
    }
  }
};

SystemMidiOut g_system_out;
SystemClock g_system_clock;

// Everything the player keeps between calls.
struct Player {
  MidiOutPort *out = &g_system_out;    // where messages go
  ClockPort *clock = &g_system_clock;  // how pauses are taken
  ST_MIDI_STATE s = {0, 0, 0, 0};      // device flag and phrase state
};

Player g_player;

const int kDrumChannel = 9;

int Clamp(int v, int lo, int hi) {
  return v < lo ? lo : (v > hi ? hi : v);
}

void Send(int status, int data1, int data2) {
  if (!g_player.s.open) return;
  g_player.out->Send(static_cast<uint32_t>(status & 0xFF) |
                     static_cast<uint32_t>(data1 & 0x7F) << 8 |
                     static_cast<uint32_t>(data2 & 0x7F) << 16);
}

void Pause(int ms) {
  g_player.clock->Sleep(static_cast<unsigned>(ms < 0 ? 0 : ms));
}

bool ValidChannel(int channel) {
  return (channel >= 0 && channel <= 5) || channel == kDrumChannel;
}

// Octave shift of an ACCENT value: whole octaves away from the first one,
// rounding towards lower octaves for negative values.
int OctaveShift(int a) {
  if (a > 0) return (a - 1) / 12;
  if (a < 0) return (a + 1) / 12 - 1;
  return 0;
}

}  // namespace

void TQ_MidiSetPorts(MidiOutPort *out, ClockPort *clock) {
  if (g_player.s.open) {
    g_player.out->Reset();
    g_player.out->Close();
    g_player.s.open = 0;
  }
  g_player.out = out ? out : &g_system_out;
  g_player.clock = clock ? clock : &g_system_clock;
}

void TQ_MidiSetStopCheck(int (*stop_requested)(void)) {
  g_stop_check.store(stop_requested);
}

int TQ_MidiStopRequested(void) {
  int (*stop)(void) = g_stop_check.load();
  return stop && stop() ? 1 : 0;
}

void TQ_MidiSetSleep(void (*sleep_ms)(unsigned ms)) {
  g_sleep.store(sleep_ms);
}

void TQ_MidiOpen(void) {
  if (g_player.s.open) return;
  g_player.s.open = g_player.out->Open() ? 1 : 0;
}

void TQ_MidiClose(void) {
  if (!g_player.s.open) return;
  g_player.out->Reset();
  g_player.out->Close();
  g_player.s.open = 0;
}

void TQ_MidiReset(void) {
  if (g_player.s.open) g_player.out->Reset();
}

void TQ_MidiStartTree(void) {
  g_player.s.trans_mode = 0;
  g_player.s.note_pos = 0;
  TQ_MidiReset();
}

void TQ_MidiEndTree(void) {
  Pause(5000);
  TQ_MidiReset();
}

void TQ_MidiSetTone(int channel, int tone) {
  if (!ValidChannel(channel)) {
    DebugPrint("TQ_MidiSetTone : Invalid channel.[%d]\r\n", channel);
    return;
  }
  if (tone < 0 || tone > 127) {
    DebugPrint("TQ_MidiSetTone : Invalid tone-no.[%d]\r\n", tone);
    return;
  }
  Send(0xC0 + channel, tone, 0);
}

void TQ_MidiNoteOn(int channel, int octave, int semitone, int velocity) {
  if (!ValidChannel(channel)) {
    DebugPrint("TQ_MidiSetTone : Invalid channel.[%d]\r\n", channel);
    return;
  }
  octave = Clamp(octave, 0, 7);
  semitone = Clamp(semitone, -1, 11);
  velocity = Clamp(velocity, 0, 127);
  int note = semitone + 12 * octave;
  if (semitone == -1) {
    note = 48;
    velocity = 0;
  }
  Send(0x90 + channel, note, velocity);
}

void TQ_MidiDrum(int note, int velocity) {
  Send(0x90 + kDrumChannel, Clamp(note, 35, 81), Clamp(velocity, 0, 127));
}

void TQ_MidiPlayNode(int level_plus2, int kind, const char *name) {
  const ST_MUSIC &m = g_music;
  ST_MIDI_STATE &s = g_player.s;
  unsigned h = HashString(name ? name : "", 0);
  int interval_max = Clamp(m.INTERVAL_MAX, 1, INTERVAL_SIZE);
  int b = static_cast<int>(h % static_cast<unsigned>(interval_max));
  // INTERVAL_MAX may reach past the six ACCENT entries: no shift there.
  int shift = b < ACCENT_SIZE ? OctaveShift(m.ACCENT[b]) : 0;
  int octave = (level_plus2 + shift + 2) % 7;
  int pause = m.WAIT;

  if (kind == 2) {
    pause = 4 * m.WAIT;
  } else if (kind == 3) {
    s.trans_mode = 1 - s.trans_mode;
  } else if (kind == 5) {
    for (int i = 0; i < ACCENT_SIZE; i++) TQ_MidiNoteOn(i, octave, m.ACCENT[i], m.ACCENT_VOLUME);
    Pause(m.ACCENT_WAIT);
    return;
  }

  int note_max = Clamp(m.NOTE_MAX, 0, NOTE_SIZE);
  if (note_max >= 10) {
    if (s.note_pos < 0 || s.note_pos >= note_max) s.note_pos = 0;
    int d = m.NOTE[s.note_pos];
    if (d <= 0) d = 1;
    pause = (pause * 4) / d;
    if (pause < 16) pause = 16;
    if (++s.note_pos >= note_max) s.note_pos = 0;
  }

  int pitch = s.trans_mode ? m.INTERVAL_TRANS[b] : m.INTERVAL[b];
  TQ_MidiNoteOn(s.melody_channel, octave, pitch, m.VOLUME);
  int drum = (kind >= 0 && kind < RHYTHM_SIZE) ? m.RHYTHM[kind] : 35;
  TQ_MidiDrum(drum, m.RHYTHM_VOLUME);
  Pause(pause);
  s.melody_channel = (s.melody_channel + 1) % MELODY_CHANNELS;
}

ST_MIDI_STATE TQ_MidiState(void) {
  return g_player.s;
}

void TQ_MidiResetState(void) {
  g_player.s.trans_mode = 0;
  g_player.s.note_pos = 0;
  g_player.s.melody_channel = 0;
}
