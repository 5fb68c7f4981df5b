// The terminal as the worker's windows: warnings and the progress line on
// stderr, the Result text on stdout, list rows kept for --list. Texts arrive
// in Shift_JIS and leave as UTF-8 with LF line ends.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "foundation/ports.h"
#include "xref/results.h"
#include "xref/row_store.h"

// utf8 as it may reach a terminal: C0 controls other than those in keep, DEL,
// C1 controls and bytes that are not UTF-8 are shown as \xHH instead of
// being sent, so no name from the file system can drive the terminal.
std::string TerminalSafe(const std::string &utf8, const char *keep);

struct TerminalFront : MainWindowPort, ProgressSink, WaitBox, ResultViews, ResultsSink {
  // progress: draw progress at all; bar: as one redrawn line (a terminal),
  // else as plain lines. keep_functions / keep_calls: rows are kept.
  TerminalFront(int progress, int bar, int keep_functions, int keep_calls);

  // MainWindowPort
  void ShowWarning(const char *text) override;
  void SetStatusText(const char *text) override;
  void SelectView(int view) override;
  int CurrentView() override;
  void AcceptDrops(int on) override;
  void Repaint() override;
  void Close(int window) override;
  void Destroy(int window) override;
  int Open(int window, const char *text) override;
  void SourceLost(const char *path, const char *function, int line) override;
  void IndexUsed(int from_index, int parsed, const char *note) override;
  void SourceFellBack(const char *path, const char *text) override;

  // ProgressSink
  void SetFunctionProgress(int percent) override;
  void SetSourceProgress(int percent) override;
  void SetPass(int n) override;
  void SetDetail(const char *text) override;
  void SetPhase(int k) override;

  // WaitBox
  void SetWaitText(const char *text) override;

  // ResultViews
  int HasView(int view) override;
  TREEITEM TreeInsert(TREEITEM parent, const char *text) override;
  void TreeSetImage(TREEITEM item, int k) override;
  void TreeClear() override;
  int TreeItemCount() override;
  void AppendResult(const char *text) override;

  // ResultsSink: the rows of the lists asked for are kept.
  int TakesRows(int list) override;
  void AddFunctionRows(const FunctionRow *rows, size_t n) override;
  void AddCallRows(const CallRow *rows, size_t n) override;
  void SetCalled(size_t first, const int *called, size_t n) override;

  // Prints a list (VIEW_FUNCTIONS or VIEW_CALLS) to stdout: header first,
  // cells separated by tabs; with json one JSON object per row instead.
  void PrintList(int list);
  // Removes the progress line from the terminal.
  void ClearProgress();
  // Prints one of the program's own messages as a warning.
  void Warning(const std::string &utf8);
  // Prints a remark in the form of a warning without counting it as one.
  void Note(const std::string &utf8);
  // The last status text, as UTF-8 with LF.
  std::string StatusShown() const;

  int warnings = 0;    // warnings shown so far
  int json = 0;        // --json: lists as JSON Lines, no Result text
  std::string status;  // the last status text the worker set (Shift_JIS)

 private:
  void Draw(int force);
  void PrintJsonList(int list);

  int progress_;               // progress is shown
  int bar_;                    // as one redrawn terminal line
  int keep_[2];                // rows of VIEW_FUNCTIONS / VIEW_CALLS are kept
  int view_ = 0;               // selected result view
  int phase_ = 0, pass_ = -1;  // progress window state
  int fpct_ = 0, spct_ = 0;
  std::string detail_;       // Shift_JIS
  std::string shown_;        // last line drawn (UTF-8)
  int drawn_ = 0;            // a bar line is on the terminal
  uint32_t last_draw_ = 0;   // tick of the last drawing
  int ever_drawn_ = 0;       // last_draw_ is valid
  int pending_cr_ = 0;       // a CR ended the last Result text
  intptr_t tree_items_ = 0;  // nodes of the CallTree view
  // Rows of the kept lists; their texts are the analyzer's, which outlives
  // the printing.
  RowBlocks<FunctionRow> functions_;
  RowBlocks<CallRow> calls_;
};
