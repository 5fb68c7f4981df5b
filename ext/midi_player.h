// The MIDI tone player: short phrases for the nodes of a call tree while it
// is expanded. Output and pauses go through two ports, so tests can record
// the messages and the pauses without a device or real time; by default the
// system MIDI output (platform/midi.h) and real sleeping are used.
#pragma once

#include <cstdint>

// Where short messages go. A short message is status | data1 << 8 | data2 << 16.
struct MidiOutPort {
  virtual ~MidiOutPort() {}
  virtual int Open() = 0;               // 1 when a device is now open
  virtual void Send(uint32_t msg) = 0;  // one short message
  virtual void Reset() = 0;             // every sounding note stops
  virtual void Close() = 0;             // the device is given back
};

// How the player waits.
struct ClockPort {
  virtual ~ClockPort() {}
  virtual void Sleep(unsigned ms) = 0;
};

// Installs the ports (nullptr: the system MIDI output / real sleeping). A
// device open on the previous output port is closed first.
void TQ_MidiSetPorts(MidiOutPort *out, ClockPort *clock);

// The stop request the real-time pauses poll, at least every 50 ms: a pause
// ends at once while it returns 1 (nullptr: never). Any thread may ask it.
void TQ_MidiSetStopCheck(int (*stop_requested)(void));
// 1 while that stop request is made (0 without one); for clocks.
int TQ_MidiStopRequested(void);
// The sleep behind the real-time pauses, called for each step of at most
// 50 ms (nullptr: SleepMs). Tests count the steps instead of waiting them.
void TQ_MidiSetSleep(void (*sleep_ms)(unsigned ms));

// Opens the output unless it is open already. No device: nothing is sent
// later, but pauses still happen.
void TQ_MidiOpen(void);
// When open: resets and closes the device and forgets it.
void TQ_MidiClose(void);
// When open: resets the device (all sounding notes stop).
void TQ_MidiReset(void);
// Start of a tree: the pitch mode and the note-length position go back to 0
// and the device is reset. The melody channel runs on across trees.
void TQ_MidiStartTree(void);
// End of a tree: lets the last notes ring for 5000 ms, then resets.
void TQ_MidiEndTree(void);
// Program change on a melody channel (0..5) or the percussion channel 9;
// an invalid channel or tone (outside 0..127) is only traced.
void TQ_MidiSetTone(int channel, int tone);
// One melody note: octave 0..7, semitone -1..11 (-1: a silent note 48),
// velocity 0..127, each clamped; an invalid channel is only traced.
void TQ_MidiNoteOn(int channel, int octave, int semitone, int velocity);
// One percussion note on channel 9, note clamped to 35..81.
void TQ_MidiDrum(int note, int velocity);
// The phrase of one call-tree node: level_plus2 is the expansion level + 2,
// kind the node's picture kind (1 function, 2 already expanded, 3 recursive
// call, 4 non-existence function, 5 cut off), name the function name.
void TQ_MidiPlayNode(int level_plus2, int kind, const char *name);

// Player state, for tests and the trace.
struct ST_MIDI_STATE {
  int open;            // a device is open
  int trans_mode;      // 1: INTERVAL_TRANS is used instead of INTERVAL
  int note_pos;        // position in the NOTE table
  int melody_channel;  // channel of the next melody note, 0..5
};
ST_MIDI_STATE TQ_MidiState(void);
// Forgets the player state (not the device); for tests.
void TQ_MidiResetState(void);
