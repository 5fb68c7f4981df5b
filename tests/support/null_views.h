// Result views that exist and take everything without keeping it: the base of
// the recorders in the tests, each overriding only what it looks at.
#pragma once

#include "foundation/ports.h"

namespace velmora_test {

struct NullViews : ResultViews {
  int HasView(int) override { return 1; }
  TREEITEM TreeInsert(TREEITEM, const char *) override { return nullptr; }
  void TreeSetImage(TREEITEM, int) override {}
  void TreeClear() override {}
  int TreeItemCount() override { return 0; }
  void AppendResult(const char *) override {}
};

}  // namespace velmora_test
