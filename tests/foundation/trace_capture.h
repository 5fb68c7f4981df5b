// Collects the developer trace of one test into a string, and restores the
// sink when the test ends.
#pragma once

#include <string>

#include "platform/sys.h"

namespace velmora_test {

inline std::string &CapturedTrace() {
  static std::string text;
  return text;
}

struct TraceCapture {
  TraceCapture() {
    CapturedTrace().clear();
    TraceSetHook([](const char *t) { CapturedTrace() += t; });
  }
  ~TraceCapture() { TraceSetHook(nullptr); }
  const std::string &text() const { return CapturedTrace(); }
  void clear() { CapturedTrace().clear(); }
};

}  // namespace velmora_test
