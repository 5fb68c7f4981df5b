// Mapped blocks with huge pages asked for (see page_block.h).
#include "platform/page_block.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <utility>

namespace {

// Transparent huge pages are used only for ranges aligned to their size.
const size_t kHugePage = 2u << 20;

size_t PageSize() {
  long n = sysconf(_SC_PAGESIZE);
  return n > 0 ? (size_t)n : 4096;
}

}  // namespace

PageBlock::PageBlock(size_t bytes) {
  if (bytes == 0) return;
  size_t page = PageSize();
  size_t want = (bytes + page - 1) / page * page;
  if (want < bytes) return;  // wrapped
  // Large blocks get room to be aligned to a huge page.
  bool huge = want >= kHugePage;
  size_t extra = huge ? kHugePage : 0;
  if (want + extra < want) return;
  void *p = mmap(nullptr, want + extra, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (p == MAP_FAILED) return;
  base_ = (char *)p;
  mapped_ = want + extra;
  data_ = base_;
  if (huge) {
    uintptr_t at = ((uintptr_t)base_ + kHugePage - 1) & ~(uintptr_t)(kHugePage - 1);
    data_ = (char *)at;
#ifdef MADV_HUGEPAGE
    // Only advice: without huge pages the block works the same, just with
    // more faults.
    madvise(data_, want / kHugePage * kHugePage, MADV_HUGEPAGE);
#endif
  }
  size_ = want;
}

PageBlock::~PageBlock() {
  Reset();
}

PageBlock::PageBlock(PageBlock &&other) noexcept
    : data_(std::exchange(other.data_, nullptr)),
      size_(std::exchange(other.size_, 0)),
      mapped_(std::exchange(other.mapped_, 0)),
      base_(std::exchange(other.base_, nullptr)) {}

PageBlock &PageBlock::operator=(PageBlock &&other) noexcept {
  if (this != &other) {
    Reset();
    data_ = std::exchange(other.data_, nullptr);
    size_ = std::exchange(other.size_, 0);
    mapped_ = std::exchange(other.mapped_, 0);
    base_ = std::exchange(other.base_, nullptr);
  }
  return *this;
}

void PageBlock::Reset() {
  if (base_) munmap(base_, mapped_);
  base_ = data_ = nullptr;
  size_ = mapped_ = 0;
}
