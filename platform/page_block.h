// Large blocks of memory taken straight from the system, for stores that only
// grow and are let go of as a whole (the desktop's list rows). Each block is
// mapped on its own and asks for huge pages, so filling hundreds of megabytes
// costs a few hundred page faults instead of one per 4 KiB: on a virtual
// machine every fault is expensive.
#pragma once

#include <cstddef>

// One mapped block; unmapped when its owner goes. Move-only.
class PageBlock {
 public:
  PageBlock() = default;
  // Maps at least bytes (rounded up to whole pages); empty when that fails.
  explicit PageBlock(size_t bytes);
  ~PageBlock();
  PageBlock(PageBlock &&other) noexcept;
  PageBlock &operator=(PageBlock &&other) noexcept;
  PageBlock(const PageBlock &) = delete;
  PageBlock &operator=(const PageBlock &) = delete;

  // The first byte (zero-filled when mapped), nullptr when empty.
  char *data() const { return data_; }
  // Usable bytes, 0 when empty.
  size_t size() const { return size_; }

 private:
  void Reset();
  char *data_ = nullptr;  // the mapping's start, nullptr for none
  size_t size_ = 0;       // usable bytes from data_
  size_t mapped_ = 0;     // bytes mapped at base_ (the usable part is aligned inside)
  char *base_ = nullptr;  // what munmap gets back
};
