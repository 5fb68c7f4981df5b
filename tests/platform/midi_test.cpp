// The system MIDI output must degrade to "no device" quietly, and every
// operation must accept the missing device.
#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/midi.h"

namespace {

TEST(MidiDeviceTest, UnknownPortNameMeansNoDevice) {
  setenv("VELMORA_MIDI_PORT", "no port is called like this 7f3a", 1);
  MidiDevice *d = MidiDeviceOpen();
  unsetenv("VELMORA_MIDI_PORT");
  EXPECT_EQ(d, nullptr);
  MidiDeviceClose(d);
}

TEST(MidiDeviceTest, MissingDeviceIsAccepted) {
  EXPECT_EQ(MidiDeviceSend(nullptr, 0x403C90), 0);
  MidiDeviceReset(nullptr);
  MidiDeviceClose(nullptr);
  // Whatever the machine has, opening and closing never throws or leaks.
  MidiDevice *d = MidiDeviceOpen();
  if (d) {
    EXPECT_EQ(MidiDeviceSend(d, 0xF8), 0);  // system messages are not sent
    MidiDeviceReset(d);
  }
  MidiDeviceClose(d);
}

}  // namespace
