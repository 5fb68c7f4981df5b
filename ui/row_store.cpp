// Rows' bytes in large mapped blocks (see row_store.h).
#include "ui/row_store.h"

namespace {
// Two huge pages: a few dozen blocks hold the kernel's lists.
const size_t kBlockBytes = 4u << 20;
}  // namespace

char *RowStore::Take(size_t n) {
  if (n == 0) n = 1;
  if (n > kBlockBytes / 4) {
    // A giant row gets a block of its own, placed before the one being
    // filled so that filling goes on where it was.
    PageBlock own(n);
    if (!own.data()) return nullptr;
    char *p = own.data();
    blocks_.insert(blocks_.empty() ? blocks_.end() : blocks_.end() - 1, std::move(own));
    if (blocks_.size() == 1) used_ = blocks_.back().size();  // nothing left to fill in it
    return p;
  }
  if (blocks_.empty() || blocks_.back().size() - used_ < n) {
    PageBlock next(kBlockBytes);
    if (!next.data()) return nullptr;
    blocks_.push_back(std::move(next));
    used_ = 0;
  }
  char *p = blocks_.back().data() + used_;
  used_ += n;
  return p;
}

void RowStore::Clear() {
  blocks_.clear();
  used_ = 0;
}
