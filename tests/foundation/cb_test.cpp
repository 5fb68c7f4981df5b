// The CB list: append order, zero padding, emptying, bad arguments and
// allocation failures that leave the list as it was.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "foundation/cb.h"
#include "foundation/memory.h"
#include "foundation/trace_capture.h"

using velmora_test::TraceCapture;

namespace {

// The iteration idiom of the system: count steps from the list itself.
std::vector<std::string> Texts(CB *cb) {
  std::vector<std::string> out;
  const void *node = cb;
  for (int i = 0; i < cb->count; i++) {
    void *data = nullptr;
    node = CB_Next(node, &data);
    if (!node) break;
    if (data) out.emplace_back((const char *)data);
  }
  return out;
}

}  // namespace

TEST(CB, AppendsInOrderAndIterates) {
  unsigned base = MemLiveCount();
  CB *cb = CreateCB();
  ASSERT_NE(cb, nullptr);
  EXPECT_EQ(cb->count, 0);
  void *data = (void *)1;
  EXPECT_EQ(CB_Next(cb, &data), nullptr);
  EXPECT_EQ(data, nullptr);

  CHBUF *a = AddCB(cb, "alpha", 6);
  AddCB(cb, "beta", 4);  // without its NUL: the spare zero bytes end it
  AddCB(cb, "gamma", 6);
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(a->owner, cb);
  EXPECT_EQ(a->len, 6);
  EXPECT_EQ(cb->count, 3);
  EXPECT_EQ(Texts(cb), (std::vector<std::string>{"alpha", "beta", "gamma"}));
  EXPECT_EQ(cb->tail.prev->next, &cb->tail);
  EXPECT_EQ(cb->tail.next, nullptr);

  // Walking past the last element stops, and the data reference is cleared.
  const void *node = cb;
  for (int i = 0; i < 3; i++) node = CB_Next(node, nullptr);
  data = (void *)1;
  EXPECT_EQ(CB_Next(node, &data), nullptr);
  EXPECT_EQ(data, nullptr);

  CB_Init(cb);
  EXPECT_EQ(cb->count, 0);
  EXPECT_EQ(MemLiveCount(), base + 1);
  AddCB(cb, "again", 6);
  EXPECT_EQ(Texts(cb), std::vector<std::string>{"again"});

  EXPECT_EQ(ReleaseCB(&cb), 1);
  EXPECT_EQ(cb, nullptr);
  EXPECT_EQ(ReleaseCB(&cb), 0);
  EXPECT_EQ(ReleaseCB(nullptr), 0);
  EXPECT_EQ(MemLiveCount(), base);
}

TEST(CB, NullSourceGivesSixteenSpareZeroBytes) {
  CB cb;
  memset(&cb, 0, sizeof cb);  // an embedded, zeroed list works without CB_Init
  CHBUF *e = AddCB(&cb, nullptr, 5);
  ASSERT_NE(e, nullptr);
  const unsigned char *d = (const unsigned char *)e->data;
  for (int i = 0; i < 5 + 16; i++) EXPECT_EQ(d[i], 0) << i;
  EXPECT_EQ(cb.count, 1);
  CB_Init(&cb);
}

TEST(CB, InvalidArgumentsAndAllocationFailuresLeaveTheListAlone) {
  CB *cb = CreateCB();
  AddCB(cb, "x", 2);
  TraceCapture trace;
  EXPECT_EQ(AddCB(cb, "y", 0), nullptr);
  EXPECT_EQ(AddCB(cb, "y", -4), nullptr);
  EXPECT_EQ(AddCB(nullptr, "y", 2), nullptr);
  EXPECT_EQ(trace.text(),
            "AddCB :Invalid Argument!\r\nAddCB :Invalid Argument!\r\nAddCB :Invalid Argument!\r\n");

  unsigned live = MemLiveCount();
  trace.clear();
  MemFailAt(1);
  EXPECT_EQ(AddCB(cb, "y", 2), nullptr);
  EXPECT_EQ(trace.text(), "AddCB :Memory Alloc Error! (CHBUF)\r\n");
  trace.clear();
  MemFailAt(2);
  EXPECT_EQ(AddCB(cb, "y", 2), nullptr);
  EXPECT_EQ(trace.text(), "AddCB :Memory Alloc Error! (buf)\r\n");
  EXPECT_EQ(MemLiveCount(), live);
  EXPECT_EQ(cb->count, 1);
  EXPECT_EQ(Texts(cb), std::vector<std::string>{"x"});

  trace.clear();
  MemFailAt(1);
  EXPECT_EQ(CreateCB(), nullptr);
  EXPECT_EQ(trace.text(), "AddCB :Memory Alloc Error!\r\n");
  MemFailAt(0);
  ReleaseCB(&cb);
}

TEST(CB, ForEachWalksInOrderAndStopsWhereAsked) {
  unsigned base = MemLiveCount();
  CB *cb = CreateCB();
  for (const char *t : {"a", "bb", "ccc"}) AddCB(cb, t, (int)strlen(t) + 1);
  std::string seen;
  EXPECT_EQ(CB_ForEach<const char>(*cb, [&](const char *t) { seen += t; }), WalkResult::kGoOn);
  EXPECT_EQ(seen, "abbccc");

  // A callable that asks for the element gets the one holding its data; one
  // that stops ends the walk there and the walk says so.
  std::vector<CHBUF *> visited;
  WalkResult r = CB_ForEach<const char>(*cb, [&](const char *t, CHBUF *e) {
    EXPECT_EQ(e->data, t);
    visited.push_back(e);
    return t[0] == 'b' ? WalkResult::kStop : WalkResult::kGoOn;
  });
  EXPECT_EQ(r, WalkResult::kStop);
  ASSERT_EQ(visited.size(), 2u);
  EXPECT_EQ(visited[0], CB_Next(cb, nullptr));

  // A list never initialised (all zero) and an emptied one hold nothing.
  CB zero = {};
  int calls = 0;
  CB_ForEach<char>(zero, [&](char *) { calls++; });
  CB_Init(cb);
  CB_ForEach<char>(*cb, [&](char *) { calls++; });
  EXPECT_EQ(calls, 0);
  ReleaseCB(&cb);
  EXPECT_EQ(MemLiveCount(), base);
}
