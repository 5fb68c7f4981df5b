// The system MIDI output over RtMidi on the ALSA sequencer. Every RtMidi call
// is fenced: nothing it throws leaves this file. The device remembers which
// notes it started, so a reset can stop them even on synthesizers that ignore
// the "all notes off" controllers.
#include "platform/midi.h"

#include <unistd.h>

#include <cstring>
#include <memory>
#include <mutex>
#include <string>

#include "platform/sys.h"

#if defined(VELMORA_HAVE_RTMIDI)
#include "RtMidi.h"
#endif

struct MidiDevice {
#if defined(VELMORA_HAVE_RTMIDI)
  std::unique_ptr<RtMidiOut> out;  // the open port
#endif
  std::mutex lock;              // sends and resets from different threads
  bool sounding[16][128] = {};  // notes started and not yet stopped
};

namespace {

#if defined(VELMORA_HAVE_RTMIDI)
// Errors after opening are reported through here instead of being thrown.
void QuietError(RtMidiError::Type, const std::string &, void *) {}

// The first output port, or the first whose name contains `wanted`; -1 if none.
int ChoosePort(RtMidiOut &out, const char *wanted) {
  unsigned n = out.getPortCount();
  for (unsigned i = 0; i < n; i++) {
    if (!wanted || !*wanted) return static_cast<int>(i);
    if (out.getPortName(i).find(wanted) != std::string::npos) return static_cast<int>(i);
  }
  return -1;
}

bool Write(MidiDevice *d, const unsigned char *bytes, size_t n) {
  try {
    d->out->sendMessage(bytes, n);
    return true;
  } catch (...) {
    return false;
  }
}
#endif

}  // namespace

MidiDevice *MidiDeviceOpen(void) {
#if defined(VELMORA_HAVE_RTMIDI)
  // Without a sequencer device the library would only complain on stderr.
  if (access("/dev/snd/seq", R_OK | W_OK) != 0) return nullptr;
  try {
    std::unique_ptr<MidiDevice> d(new MidiDevice);
    d->out.reset(new RtMidiOut(RtMidi::LINUX_ALSA, "Velmora"));
    d->out->setErrorCallback(QuietError, nullptr);
    int port = ChoosePort(*d->out, GetEnv("VELMORA_MIDI_PORT"));
    if (port < 0) return nullptr;
    d->out->openPort(static_cast<unsigned>(port), "Velmora Output");
    if (!d->out->isPortOpen()) return nullptr;
    return d.release();
  } catch (...) {
    return nullptr;
  }
#else
  return nullptr;
#endif
}

int MidiDeviceSend(MidiDevice *device, uint32_t msg) {
  if (!device) return 0;
  unsigned char bytes[3] = {static_cast<unsigned char>(msg & 0xFF),
                            static_cast<unsigned char>((msg >> 8) & 0x7F),
                            static_cast<unsigned char>((msg >> 16) & 0x7F)};
  unsigned kind = bytes[0] >> 4;
  if (kind < 0x8 || kind > 0xE) return 0;
  size_t n = (kind == 0xC || kind == 0xD) ? 2 : 3;
  std::lock_guard<std::mutex> hold(device->lock);
  unsigned channel = bytes[0] & 0x0F;
  if (kind == 0x9 && bytes[2] > 0) device->sounding[channel][bytes[1]] = true;
  if (kind == 0x8 || (kind == 0x9 && bytes[2] == 0)) device->sounding[channel][bytes[1]] = false;
#if defined(VELMORA_HAVE_RTMIDI)
  return Write(device, bytes, n) ? 1 : 0;
#else
  (void)n;
  return 0;
#endif
}

void MidiDeviceReset(MidiDevice *device) {
  if (!device) return;
  std::lock_guard<std::mutex> hold(device->lock);
  for (unsigned ch = 0; ch < 16; ch++) {
    for (unsigned note = 0; note < 128; note++) {
      if (!device->sounding[ch][note]) continue;
      device->sounding[ch][note] = false;
#if defined(VELMORA_HAVE_RTMIDI)
      const unsigned char off[3] = {static_cast<unsigned char>(0x80 | ch),
                                    static_cast<unsigned char>(note), 0};
      Write(device, off, 3);
#endif
    }
#if defined(VELMORA_HAVE_RTMIDI)
    // All sound off, all notes off; programs and controllers stay as set.
    const unsigned char controllers[2] = {120, 123};
    for (unsigned char cc : controllers) {
      const unsigned char msg[3] = {static_cast<unsigned char>(0xB0 | ch), cc, 0};
      Write(device, msg, 3);
    }
#endif
  }
}

void MidiDeviceClose(MidiDevice *device) {
  if (!device) return;
#if defined(VELMORA_HAVE_RTMIDI)
  try {
    device->out->closePort();
  } catch (...) {
  }
  try {
    device->out.reset();
  } catch (...) {
  }
#endif
  delete device;
}
