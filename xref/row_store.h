// The typed rows of a list, appended into large mapped blocks and let go of
// all at once when the list is emptied, so half a million rows cost no
// allocation, no free and no page fault each (the desktop fills its lists
// while the analysis threads still need the processors), and a million call
// rows are never copied into a larger array (velmora-cli keeps its lists so).
#pragma once

#include <cstddef>
#include <cstring>
#include <type_traits>
#include <vector>

#include "platform/page_block.h"

template <typename Row>
class RowBlocks {
  static_assert(std::is_trivially_copyable<Row>::value, "rows are copied as bytes");

 public:
  size_t size() const { return size_; }
  const Row &operator[](size_t i) const { return At(i); }
  Row &operator[](size_t i) { return const_cast<Row &>(At(i)); }
  // Appends n rows; the ones that find no memory are dropped (the count
  // appended is returned).
  size_t Append(const Row *rows, size_t n) {
    size_t done = 0;
    while (done < n) {
      size_t room = blocks_.size() * kPerBlock - size_;
      if (room == 0) {
        PageBlock next(kPerBlock * sizeof(Row));
        if (!next.data()) break;
        blocks_.push_back(std::move(next));
        room = kPerBlock;
      }
      size_t k = n - done < room ? n - done : room;
      Row *at = reinterpret_cast<Row *>(blocks_.back().data()) + size_ % kPerBlock;
      memcpy(static_cast<void *>(at), rows + done, k * sizeof(Row));
      size_ += k;
      done += k;
    }
    return done;
  }
  // Lets go of every row.
  void Clear() {
    blocks_.clear();
    size_ = 0;
  }

 private:
  // Rows per block: about four megabytes (two huge pages).
  static constexpr size_t kPerBlock = (4u << 20) / sizeof(Row);
  const Row &At(size_t i) const {
    return reinterpret_cast<const Row *>(blocks_[i / kPerBlock].data())[i % kPerBlock];
  }
  std::vector<PageBlock> blocks_;  // the last one is being filled
  size_t size_ = 0;                // rows appended
};
