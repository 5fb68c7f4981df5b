// The developer trace line: formatted as given, nothing added, cut at 255.
#include <gtest/gtest.h>

#include <string>

#include "foundation/trace.h"
#include "foundation/trace_capture.h"

using velmora_test::TraceCapture;

TEST(DebugPrint, FormatsWithoutAddingAndCutsAt255) {
  TraceCapture trace;
  DebugPrint("%s :%d [%4d] %08x\r\n", "Op", -3, 7, 0xBEEFu);
  EXPECT_EQ(trace.text(), "Op :-3 [   7] 0000beef\r\n");

  trace.clear();
  std::string path(400, 'p');
  DebugPrint("%s open \"%s\" \r\n", "Src", path.c_str());
  EXPECT_EQ(trace.text().size(), 255u);
  EXPECT_EQ(trace.text(), ("Src open \"" + path).substr(0, 255));
}
