// Result views that exist and take everything without keeping it: the base of
// the recorders in the tests, each overriding only what it looks at.
#pragma once

#include "foundation/ports.h"

namespace velmora_test {

struct NullViews : ResultViews {
  int HasView(int) override { return 1; }
  void InsertRow(int, int, int, const char *) override {}
  void SetCell(int, int, int, const char *) override {}
  void GetCell(int, int, int, char *buffer, int size) override {
    if (buffer && size > 0) buffer[0] = 0;
  }
  void SetCellText(int, int, int, const char *) override {}
  int SelectedRow(int) override { return -1; }
  int RowCount(int) override { return 0; }
  void DeleteRows(int) override {}
  TREEITEM TreeInsert(TREEITEM, const char *) override { return nullptr; }
  void TreeSetImage(TREEITEM, int) override {}
  void TreeClear() override {}
  int TreeItemCount() override { return 0; }
  void AppendResult(const char *) override {}
};

}  // namespace velmora_test
