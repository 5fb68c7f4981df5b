// The system MIDI output: the first output port of the ALSA sequencer, or
// the port whose name contains $VELMORA_MIDI_PORT. Without a port (or without
// MIDI support in the build) there is no device and nothing is sent.
#pragma once

#include <cstdint>

struct MidiDevice;  // an open output; owned by the caller until MidiDeviceClose

// Opens the output port; nullptr when there is none. Never throws.
MidiDevice *MidiDeviceOpen(void);
// Sends one short message (status | data1 << 8 | data2 << 16): two bytes for
// program change and channel pressure, three for the other channel messages;
// system messages are not sent. 1 sent, 0 not. Never throws.
int MidiDeviceSend(MidiDevice *device, uint32_t msg);
// Stops every sounding note on all 16 channels. Never throws.
void MidiDeviceReset(MidiDevice *device);
// Closes the port and frees the device; nullptr is allowed.
void MidiDeviceClose(MidiDevice *device);
