// A MIDI output and clock that record what the player does, as text lines:
// "open", "msg 90 30 64" (status, data bytes in hex), "reset", "close", "sleep 50".
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "ext/midi_player.h"

struct MidiRecorder : MidiOutPort, ClockPort {
  std::vector<std::string> log;  // every event in order
  int available = 1;             // Open succeeds

  int Open() override {
    log.push_back(available ? "open" : "open failed");
    return available;
  }
  void Send(uint32_t msg) override {
    char line[32];
    snprintf(line, sizeof line, "msg %02x %02x %02x", msg & 0xFF, (msg >> 8) & 0xFF,
             (msg >> 16) & 0xFF);
    log.push_back(line);
  }
  void Reset() override { log.push_back("reset"); }
  void Close() override { log.push_back("close"); }
  void Sleep(unsigned ms) override { log.push_back("sleep " + std::to_string(ms)); }
};
