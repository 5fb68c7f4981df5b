// Null-safe entry points to the result views: with no views object every
// operation does nothing, the way operations on a missing window do.
#include "foundation/ports.h"

ResultViews *g_views = nullptr;

void InsertRow(int list, int index, int subitem, const char *text) {
  if (g_views) g_views->InsertRow(list, index, subitem, text);
}
void SetCell(int list, int row, int col, const char *text) {
  if (g_views) g_views->SetCell(list, row, col, text);
}
void GetCell(int list, int row, int col, char *buffer, int size) {
  if (buffer && size > 0) buffer[0] = 0;
  if (g_views) g_views->GetCell(list, row, col, buffer, size);
}
void SetCellText(int list, int row, int col, const char *text) {
  if (g_views) g_views->SetCellText(list, row, col, text);
}
int SelectedRow(int list) { return g_views ? g_views->SelectedRow(list) : -1; }
int RowCount(int list) { return g_views ? g_views->RowCount(list) : 0; }
void DeleteRows(int list) {
  if (g_views) g_views->DeleteRows(list);
}
TREEITEM TreeInsert(TREEITEM parent, const char *text) {
  return g_views ? g_views->TreeInsert(parent, text) : nullptr;
}
void TreeSetImage(TREEITEM item, int k) {
  if (g_views) g_views->TreeSetImage(item, k);
}
void TreeClear(void) {
  if (g_views) g_views->TreeClear();
}
int TreeItemCount(void) { return g_views ? g_views->TreeItemCount() : 0; }
void TreeTarget(int view) {
  if (g_views) g_views->TreeTarget(view);
}
void TreeSetFunction(TREEITEM item, int sid, int fid) {
  if (g_views && item) g_views->TreeSetFunction(item, sid, fid);
}
void AppendResult(const char *text) {
  if (g_views && text && *text) g_views->AppendResult(text);
}
