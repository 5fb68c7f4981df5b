// Mapped blocks: sizes, zero fill, ownership moving between handles.
#include <gtest/gtest.h>

#include <cstring>
#include <utility>
#include <vector>

#include "platform/page_block.h"

TEST(PageBlock, MapsZeroedMemoryAndMovesOwnership) {
  PageBlock none(0);
  EXPECT_EQ(none.data(), nullptr);
  EXPECT_EQ(none.size(), 0u);

  // One byte gets a whole page; a large block is aligned for huge pages.
  PageBlock small(1);
  ASSERT_NE(small.data(), nullptr);
  EXPECT_GE(small.size(), 1u);
  PageBlock big((4u << 20) + 3);
  ASSERT_NE(big.data(), nullptr);
  EXPECT_GE(big.size(), (4u << 20) + 3);
  EXPECT_EQ((uintptr_t)big.data() % (2u << 20), 0u);
  for (size_t i = 0; i < big.size(); i += 4096) ASSERT_EQ(big.data()[i], 0);
  memset(big.data(), 'x', big.size());  // every byte is ours

  char *at = big.data();
  PageBlock moved(std::move(big));
  EXPECT_EQ(big.data(), nullptr);
  EXPECT_EQ(moved.data(), at);
  EXPECT_EQ(moved.data()[moved.size() - 1], 'x');
  moved = std::move(small);  // the big block goes back to the system
  EXPECT_EQ(small.data(), nullptr);
  EXPECT_GE(moved.size(), 1u);

  std::vector<PageBlock> many;
  for (int i = 0; i < 64; i++) many.emplace_back(100000);
  for (PageBlock &b : many) ASSERT_NE(b.data(), nullptr);
}

TEST(PageBlock, ImpossibleSizeGivesAnEmptyBlock) {
  PageBlock huge(~(size_t)0 - 10);
  EXPECT_EQ(huge.data(), nullptr);
  EXPECT_EQ(huge.size(), 0u);
}
