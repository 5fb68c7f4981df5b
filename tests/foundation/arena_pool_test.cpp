// Arenas (counted, released as a whole, failures leaving nothing behind),
// arena-backed list elements, and the string pool (one copy per text, the
// field's cut, many threads at once).
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "foundation/arena.h"
#include "foundation/cb.h"
#include "foundation/memory.h"
#include "foundation/string_pool.h"

TEST(Arena, PiecesAreZeroAlignedCountedAndReleasedAsAWhole) {
  unsigned base = MemLiveCount();
  ARENA a;
  ArenaInit(&a, 256, 1024);
  std::vector<char *> pieces;
  for (int i = 0; i < 100; i++) {
    char *p = (char *)ArenaAlloc(&a, 1 + i % 13);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ((uintptr_t)p % 8, 0u);
    for (int k = 0; k < 1 + i % 13; k++) ASSERT_EQ(p[k], 0);
    memset(p, 0x5A, 1 + i % 13);
    pieces.push_back(p);
  }
  // Far fewer blocks than pieces, each of them counted.
  EXPECT_GT(MemLiveCount(), base);
  EXPECT_LT(MemLiveCount(), base + 8);
  // A piece larger than a block gets one of its own; the small ones go on
  // in the block they were using.
  char *big = (char *)ArenaAlloc(&a, 100000);
  ASSERT_NE(big, nullptr);
  big[99999] = 1;
  EXPECT_GE(a.held, 100000u);
  char *after = (char *)ArenaAlloc(&a, 8);
  ASSERT_NE(after, nullptr);
  ArenaRelease(&a);
  EXPECT_EQ(MemLiveCount(), base);
  EXPECT_EQ(a.held, 0u);
  // Usable again after the release.
  ASSERT_NE(ArenaAlloc(&a, 10), nullptr);
  ArenaRelease(&a);
  EXPECT_EQ(MemLiveCount(), base);
}

TEST(Arena, ResetKeepsOneBlockAndClearsWhatItHandsOutAgain) {
  unsigned base = MemLiveCount();
  ARENA a = {};  // zero-filled: default sizes
  char *p = (char *)ArenaAlloc(&a, 64);
  memset(p, 0x7F, 64);
  ASSERT_NE(ArenaAlloc(&a, 50000), nullptr);  // a block of its own
  ArenaReset(&a);
  EXPECT_EQ(MemLiveCount(), base + 1);
  char *q = (char *)ArenaAlloc(&a, 64);
  EXPECT_EQ(q, p);  // the same bytes, cleared
  for (int k = 0; k < 64; k++) ASSERT_EQ(q[k], 0);
  ArenaRelease(&a);
  EXPECT_EQ(MemLiveCount(), base);
}

TEST(Arena, FailedBlockLeavesTheArenaAsItWas) {
  unsigned base = MemLiveCount();
  ARENA a;
  ArenaInit(&a, 128, 128);
  ASSERT_NE(ArenaAlloc(&a, 64), nullptr);
  size_t held = a.held;
  MemFailAt(1);  // the next block
  EXPECT_EQ(ArenaAlloc(&a, 100), nullptr);
  MemFailAt(0);
  EXPECT_EQ(a.held, held);
  EXPECT_NE(ArenaAlloc(&a, 8), nullptr);  // what was left still serves
  ArenaRelease(&a);
  EXPECT_EQ(MemLiveCount(), base);
}

TEST(Arena, ListElementsFromAnArenaAreLeftToIt) {
  unsigned base = MemLiveCount();
  ARENA a = {};
  CB list = {};
  CB_Init(&list);
  for (int i = 0; i < 50; i++) {
    CHBUF *e = AddCBFrom(&a, &list, 24);
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->len, 24);
    *(int *)e->data = i;
  }
  AddCB(&list, "heap", 5);  // one element of the heap among them
  EXPECT_EQ(list.count, 51);
  int expect = 0;
  CB_ForEach<int>(list, [&](int *v) {
    if (expect < 50) {
      EXPECT_EQ(*v, expect);
    }
    expect++;
  });
  EXPECT_EQ(expect, 51);
  EXPECT_EQ(AddCBFrom(nullptr, &list, 8), nullptr);
  EXPECT_EQ(AddCBFrom(&a, &list, 0), nullptr);
  CB_Init(&list);  // frees the heap element only
  ArenaRelease(&a);
  EXPECT_EQ(MemLiveCount(), base);
}

TEST(StrPool, EqualTextsShareOneCopyCutLikeTheOldField) {
  unsigned base = MemLiveCount();
  STR_POOL *pool = CreateStrPool();
  ASSERT_NE(pool, nullptr);
  std::string a = "alpha", b = "alpha";
  const char *pa = StrPoolInternText(pool, a.c_str());
  const char *pb = StrPoolInternText(pool, b.c_str());
  EXPECT_EQ(pa, pb);
  EXPECT_NE(pa, a.c_str());
  EXPECT_STREQ(pa, "alpha");
  EXPECT_NE(StrPoolInternText(pool, "alphb"), pa);
  EXPECT_EQ(StrPoolIntern(pool, "alpha beta", 5), pa);  // length given
  // The empty text is one constant, in every pool.
  EXPECT_EQ(StrPoolInternText(pool, ""), StrPoolInternText(pool, nullptr));
  EXPECT_STREQ(StrPoolInternText(pool, ""), "");
  // 259 bytes are kept, as a 260-byte field kept them; the rest is cut.
  std::string longest(STR_POOL_MAX, 'n');
  const char *cut = StrPoolInternText(pool, (longest + "tail").c_str());
  EXPECT_EQ(strlen(cut), (size_t)STR_POOL_MAX);
  EXPECT_EQ(cut, StrPoolInternText(pool, longest.c_str()));
  // Shift_JIS bytes are kept as they are.
  EXPECT_STREQ(StrPoolInternText(pool, "\x93\xfa\x96\x7b::"), "\x93\xfa\x96\x7b::");
  EXPECT_EQ(StrPoolCount(pool), 4u);
  StrPoolClear(pool);
  EXPECT_EQ(StrPoolCount(pool), 0u);
  EXPECT_STREQ(StrPoolInternText(pool, "again"), "again");
  ReleaseStrPool(&pool);
  EXPECT_EQ(pool, nullptr);
  EXPECT_EQ(MemLiveCount(), base);
}

TEST(StrPool, ManyTextsAndAFailedCopyChangeNothing) {
  unsigned base = MemLiveCount();
  STR_POOL *pool = CreateStrPool();
  std::vector<const char *> first;
  for (int i = 0; i < 20000; i++)
    first.push_back(StrPoolInternText(pool, std::to_string(i).c_str()));
  for (int i = 0; i < 20000; i++)
    ASSERT_EQ(StrPoolInternText(pool, std::to_string(i).c_str()), first[i]) << i;
  EXPECT_EQ(StrPoolCount(pool), 20000u);
  // Memory refused: no text, nothing half made.
  const char *fresh = nullptr;
  for (unsigned n = 1; n < 4 && !fresh; n++) {
    MemFailAt(n);
    fresh = StrPoolInternText(pool, "fresh text");
    MemFailAt(0);
    if (!fresh) {
      EXPECT_EQ(StrPoolCount(pool), 20000u);
    }
  }
  EXPECT_STREQ(StrPoolInternText(pool, "fresh text"), "fresh text");
  ReleaseStrPool(&pool);
  EXPECT_EQ(MemLiveCount(), base);
}

TEST(StrPool, ThreadsInterningTheSameNamesGetTheSameCopies) {
  unsigned base = MemLiveCount();
  STR_POOL *pool = CreateStrPool();
  const int kThreads = 4, kNames = 3000;
  std::vector<std::vector<const char *>> got(kThreads);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; t++) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < kNames; i++) {
        int k = (i * 7 + t * 13) % kNames;  // each thread in its own order
        got[t].push_back(StrPoolInternText(pool, ("name_" + std::to_string(k)).c_str()));
      }
    });
  }
  for (std::thread &th : threads) th.join();
  EXPECT_EQ(StrPoolCount(pool), (size_t)kNames);
  for (int t = 0; t < kThreads; t++) {
    for (int i = 0; i < kNames; i++) {
      int k = (i * 7 + t * 13) % kNames;
      ASSERT_EQ(got[t][i], StrPoolInternText(pool, ("name_" + std::to_string(k)).c_str()));
    }
  }
  ReleaseStrPool(&pool);
  EXPECT_EQ(MemLiveCount(), base);
}
