// Allocation accounting, the shutdown report and fault injection.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "foundation/memory.h"
#include "foundation/trace_capture.h"

using velmora_test::TraceCapture;

namespace {

int CountOf(const std::string &text, const std::string &piece) {
  int n = 0;
  for (size_t at = text.find(piece); at != std::string::npos; at = text.find(piece, at + 1)) n++;
  return n;
}

}  // namespace

TEST(Memory, BlocksAreZeroFilledAndCounted) {
  unsigned base = MemLiveCount();
  unsigned char *p = (unsigned char *)MemAlloc(100);
  ASSERT_NE(p, nullptr);
  for (int i = 0; i < 100; i++) ASSERT_EQ(p[i], 0);
  void *z = MemAlloc(0);
  ASSERT_NE(z, nullptr);
  EXPECT_EQ(MemLiveCount(), base + 2);
  EXPECT_NE(MemFree(p), 0);
  EXPECT_NE(MemFree(z), 0);
  EXPECT_EQ(MemFree(nullptr), 0);
  EXPECT_EQ(MemLiveCount(), base);
}

TEST(Memory, ReportListsRecordedBlocksAndCountsAll) {
  ASSERT_EQ(MemLiveCount(), 0u) << "an earlier test leaked";
  TraceCapture trace;
  _MEMCHECK();
  EXPECT_EQ(trace.text(), "_MEMCHECK: Unfreed Allocations Chack :OK\n");

  std::vector<void *> blocks;
  for (int i = 0; i < 1025; i++) blocks.push_back(MemAlloc(8));
  EXPECT_EQ(MemLiveCount(), 1025u);
  trace.clear();
  _MEMCHECK();
  const std::string &r = trace.text();
  EXPECT_EQ(r.rfind("_MEMCHECK: Unfreed Allocations Chack :NG !!!!! (1025)\n", 0), 0u);
  EXPECT_EQ(CountOf(r, "----["), 1024);
  EXPECT_NE(r.find("----[0]0x"), std::string::npos);
  EXPECT_NE(r.find("----[1023]0x"), std::string::npos);
  EXPECT_EQ(r.find("----[1024]"), std::string::npos);

  // Free a recorded block and the unrecorded 1025th: both are counted down,
  // and the freed slot is the next one reused.
  MemFree(blocks[1024]);
  MemFree(blocks[5]);
  EXPECT_EQ(MemLiveCount(), 1023u);
  blocks[5] = MemAlloc(8);
  blocks.pop_back();
  trace.clear();
  _MEMCHECK();
  EXPECT_EQ(CountOf(trace.text(), "----["), 1024);
  char slot5[64];
  snprintf(slot5, sizeof slot5, "----[5]0x%08lx\n", (unsigned long)(uintptr_t)blocks[5]);
  EXPECT_NE(trace.text().find(slot5), std::string::npos);

  for (void *b : blocks) MemFree(b);
  trace.clear();
  _MEMCHECK();
  EXPECT_EQ(trace.text(), "_MEMCHECK: Unfreed Allocations Chack :OK\n");
}

TEST(Memory, FaultInjectionFailsTheNthAllocationOnce) {
  unsigned base = MemLiveCount();
  MemFailAt(2);
  void *a = MemAlloc(4);
  void *b = MemAlloc(4);
  void *c = MemAlloc(4);
  EXPECT_NE(a, nullptr);
  EXPECT_EQ(b, nullptr);
  EXPECT_NE(c, nullptr);
  EXPECT_EQ(MemLiveCount(), base + 2);
  MemFree(a);
  MemFree(c);
  MemFailAt(0);
}
