// The bytes of a list's rows. Rows are appended into large mapped blocks and
// let go of all at once when the list is emptied, so half a million rows cost
// no allocation, no free and no page fault each: the GUI thread fills the
// lists while the analysis threads still need the processors.
#pragma once

#include <cstddef>
#include <vector>

#include "platform/page_block.h"

class RowStore {
 public:
  // Room for n bytes, valid until Clear; nullptr when no memory is left.
  char *Take(size_t n);
  // Lets go of every byte taken.
  void Clear();

 private:
  std::vector<PageBlock> blocks_;  // the last one is being filled
  size_t used_ = 0;                // bytes taken from the last block
};
