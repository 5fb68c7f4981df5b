// The string hash and both tables: values, collisions taken as equal keys,
// size limits, a full table and bucket order.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "foundation/hash.h"
#include "foundation/memory.h"
#include "foundation/trace_capture.h"

using velmora_test::TraceCapture;

TEST(HashString, KnownValues) {
  EXPECT_EQ(HashString("abc", 0), 4864u);
  EXPECT_EQ(HashString("if", -1), 697u);
  EXPECT_EQ(HashString("j_", 0), 697u);
  EXPECT_EQ(HashString("\x81", 0), 0xFFFFFF81u);
  EXPECT_EQ(HashString("iff", 2), 697u);
  EXPECT_EQ(HashString("if\0zz", 5), 697u);  // stops at the NUL
  EXPECT_EQ(HashString("", 0), 0u);
}

TEST(HASH, SizesAreClamped) {
  TraceCapture trace;
  for (auto [asked, got] : std::vector<std::pair<int, unsigned>>{
           {0, 8191}, {512, 8191}, {-5, 8191}, {10000, 10000}, {300000, 262143}}) {
    ST_HASH *h = CreateHASH(asked);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(h->size, got);
    ReleaseHASH(&h);
    EXPECT_EQ(h, nullptr);
    ST_HASH2 *h2 = CreateHASH2(asked);
    ASSERT_NE(h2, nullptr);
    EXPECT_EQ(h2->size, got);
    ReleaseHASH2(&h2);
    EXPECT_EQ(h2, nullptr);
  }
  EXPECT_EQ(trace.text().rfind("CreateHASH OK!\r\nReleaseHASH OK!\r\nCreateHASH2 OK!\r\n", 0), 0u);
}

TEST(HASH, EqualHashesAreOneKey) {
  ST_HASH *h = CreateHASH(0);
  HASH_Regist(h, "if", 0, 1016);
  EXPECT_EQ(HASH_Search(h, "if", 0), 1016);
  EXPECT_EQ(HASH_Search(h, "j_", 0), 1016);
  EXPECT_EQ(HASH_Search(h, "iff", 0), -1);
  EXPECT_EQ(HASH_Search(h, "iff", 2), 1016);
  // A second registration takes another slot; the first one keeps winning.
  HASH_Regist(h, "if", 0, 7);
  EXPECT_EQ(HASH_Search(h, "if", 0), 1016);
  HASH_Init(h);
  EXPECT_EQ(HASH_Search(h, "if", 0), -1);
  ReleaseHASH(&h);
}

TEST(HASH, ProbingWrapsAndAFullTableRefuses) {
  ST_HASH *h = CreateHASH(0);
  // Keys whose home is the last slot wrap to slot 0.
  std::vector<std::string> keys;
  for (int i = 0; keys.size() < 3; i++) {
    std::string k = "k" + std::to_string(i);
    if (HashString(k.c_str(), 0) % h->size == h->size - 1) keys.push_back(k);
  }
  for (int i = 0; i < 3; i++) HASH_Regist(h, keys[i].c_str(), 0, i + 100);
  EXPECT_EQ(h->slots[h->size - 1].value, 100);
  EXPECT_EQ(h->slots[0].value, 101);
  EXPECT_EQ(HASH_Search(h, keys[2].c_str(), 0), 102);
  // The probe by a ready hash follows the same wrapped sequence.
  EXPECT_EQ(HASH_SearchHash(h, HashString(keys[2].c_str(), 0)), 102);
  EXPECT_EQ(HASH_SearchHash(h, HashString("k-none", 0)), -1);

  for (unsigned i = 0; i < h->size; i++) h->slots[i].used = 1;
  TraceCapture trace;
  HASH_Regist(h, "more", 0, 1);
  HASH_Regist(h, "abcdef", 3, 1);
  EXPECT_EQ(trace.text(),
            "HASH_Regist : Entry was filled. (\"more\")\r\n"
            "HASH_Regist : Entry was filled. (\"abc\")\r\n");
  EXPECT_EQ(HASH_Search(h, "unknown-key", 0), -1);  // every slot probed, no hang
  EXPECT_EQ(HASH_SearchHash(h, HashString("unknown-key", 0)), -1);
  ReleaseHASH(&h);
}

TEST(HASH, MissingTableMessages) {
  TraceCapture trace;
  HASH_Regist(nullptr, "a", 0, 1);
  EXPECT_EQ(HASH_Search(nullptr, "a", 0), -1);
  HASH_Init(nullptr);
  ReleaseHASH(nullptr);
  HASH2_Regist(nullptr, "a", 0, 1, nullptr);
  EXPECT_EQ(HASH2_Search(nullptr, "a", 0), nullptr);
  HASH2_Init(nullptr);
  EXPECT_EQ(trace.text(),
            "HASH_Regist :Invalid Argument!\r\n"
            "HASH_Search :Invalid Argument!\r\n"
            "HASH_Init OK!\r\nHASH_Init :Invalid Argument!\r\n"
            "ReleaseHASH OK!\r\n"
            "HASH2_Regist :Invalid Argument!\r\n"
            "HASH2_Search :Invalid Argument!\r\n"
            "HASH2_Init OK!\r\nHASH2_Init :Invalid Argument!\r\n");
}

TEST(HASH, CreationFailuresFreeWhatWasTaken) {
  unsigned live = MemLiveCount();
  TraceCapture trace;
  MemFailAt(1);
  EXPECT_EQ(CreateHASH(0), nullptr);
  MemFailAt(2);
  EXPECT_EQ(CreateHASH(0), nullptr);
  MemFailAt(1);
  EXPECT_EQ(CreateHASH2(0), nullptr);
  MemFailAt(2);
  EXPECT_EQ(CreateHASH2(0), nullptr);
  MemFailAt(0);
  EXPECT_EQ(trace.text(),
            "CreateHASH OK!\r\nCreateHASH :Memory Alloc Error! [ST_HASH]\r\n"
            "CreateHASH OK!\r\nCreateHASH :Memory Alloc Error! [ST_HASH_INDEX]\r\n"
            "CreateHASH2 OK!\r\nCreateHASH2 :Memory Alloc Error! [ST_HASH2]\r\n"
            "CreateHASH2 OK!\r\nCreateHASH2 :Memory Alloc Error! [ST_HASH2_INDEX]\r\n");
  EXPECT_EQ(MemLiveCount(), live);
}

TEST(HASH2, BucketsKeepAppendOrderAndShareCollisions) {
  unsigned live = MemLiveCount();
  ST_HASH2 *h = CreateHASH2(0);
  int recs[3];
  HASH2_Regist(h, "if", 0, 1, &recs[0]);
  HASH2_Regist(h, "j_", 0, 2, &recs[1]);
  HASH2_Regist(h, "if", 0, 3, &recs[2]);
  CB *b = HASH2_Search(h, "if", 0);
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(b, HASH2_Search(h, "j_", 0));
  ASSERT_EQ(b->count, 3);
  const void *node = b;
  for (int i = 0; i < 3; i++) {
    void *data;
    node = CB_Next(node, &data);
    ASSERT_NE(node, nullptr);
    const ST_HASH2_ENTRY *e = (const ST_HASH2_ENTRY *)data;
    EXPECT_EQ(e->value, i + 1);
    EXPECT_EQ(e->record, &recs[i]);
  }
  EXPECT_EQ(HASH2_Search(h, "never", 0)->count, 0);

  TraceCapture trace;
  MemFailAt(1);
  HASH2_Regist(h, "nomem", 0, 9, nullptr);
  MemFailAt(0);
  EXPECT_EQ(trace.text(),
            "AddCB :Memory Alloc Error! (CHBUF)\r\n"
            "HASH2_Regist : Entry was filled. (\"nomem\")\r\n");
  EXPECT_EQ(HASH2_Search(h, "nomem", 0)->count, 0);

  HASH2_Init(h);
  EXPECT_EQ(HASH2_Search(h, "if", 0)->count, 0);
  HASH2_Regist(h, "if", 0, 4, nullptr);
  ReleaseHASH2(&h);
  EXPECT_EQ(MemLiveCount(), live);
}
