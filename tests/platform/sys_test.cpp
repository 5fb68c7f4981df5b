// Clock, local time, the trace sink and the stop key.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "platform/keys.h"
#include "platform/sys.h"
#include "support/testenv.h"

TEST(Sys, ClockAdvancesAndLocalTimeIsSane) {
  uint32_t t0 = TickCount();
  SleepMs(20);
  uint32_t dt = TickCount() - t0;
  EXPECT_GE(dt, 19u);  // at least the time slept; how much more is the machine's
  SleepMs(0);
  LocalTimeMs t;
  GetLocalTimeMs(&t);
  EXPECT_GE(t.year, 2020);
  EXPECT_TRUE(t.month >= 1 && t.month <= 12);
  EXPECT_TRUE(t.day >= 1 && t.day <= 31);
  EXPECT_TRUE(t.millisecond >= 0 && t.millisecond <= 999);
  EXPECT_EQ(GetEnv(nullptr), nullptr);
  EXPECT_EQ(GetEnv("VELMORA_SURELY_UNSET_VARIABLE"), nullptr);
}

TEST(Trace, FileSinkGetsUtf8AndHookTakesOver) {
  std::string dir = velmora_test::MakeTempDir("trace");
  std::string file = dir + "/trace.log";
  setenv("VELMORA_TRACE", file.c_str(), 1);
  TraceWrite("A\x93\xfa\r\n");
  TraceWrite("B\n");
  static std::string hooked;
  TraceSetHook([](const char *t) { hooked += t; });
  TraceWrite("to the hook");
  TraceSetHook(nullptr);
  unsetenv("VELMORA_TRACE");
  TraceWrite("dropped");
  EXPECT_EQ(velmora_test::ReadFile(file), "A\xe6\x97\xa5\r\nB\n");
  EXPECT_EQ(hooked, "to the hook");
  velmora_test::RemoveTree(dir);
}

TEST(Keys, RequestIsConsumedByOnePoll) {
  EscapePressed();  // clear whatever an earlier test left
  EXPECT_EQ(EscapePressed(), 0);
  EscapeRequest();
  EscapeRequest();
  EXPECT_EQ(EscapePressed(), 1);
  EXPECT_EQ(EscapePressed(), 0);
  EscapeSetPoll([]() { return 7; });
  EXPECT_EQ(EscapePressed(), 1);
  EscapeSetPoll(nullptr);
  EXPECT_EQ(EscapePressed(), 0);
}
