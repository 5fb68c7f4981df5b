// The terminal front of velmora-cli. The progress line is redrawn at most five
// times a second, so a fast analysis costs no terminal traffic worth noting;
// it is wiped before anything else is written, so stdout and warnings never
// mix with it on one terminal.
#include "cli/front.h"

#include <cstdio>
#include <cstring>

#include "foundation/messages.h"
#include "foundation/text.h"
#include "platform/codepage.h"
#include "platform/sys.h"
#include "platform/terminal.h"
#include "xref/json_text.h"
#include "xref/list_columns.h"
#include "xref/row_text.h"

namespace {

// Phase captions of the progress window, Shift_JIS, looked up in the message
// catalogue when drawn.
// "≪ 解析ソース取込中 ≫", "≪ ソース解析中 ≫", "≪ 関数関連付け中 ≫"
const char kPhase0[] =
    N_("\201\341 \211\360\220\315\203\134\201[\203X\216\346\215\236\222\206 \201\342");
const char kPhase1[] = N_("\201\341 \203\134\201[\203X\211\360\220\315\222\206 \201\342");
const char kPhase2[] = N_("\201\341 \212\326\220\224\212\326\230A\225t\202\257\222\206 \201\342");

enum { kDrawEveryMs = 200 };

void WriteErr(const std::string &s) {
  fwrite(s.data(), 1, s.size(), stderr);
  fflush(stderr);
}

bool IsAscii(const char *p, size_t n) {
  for (size_t i = 0; i < n; i++) {
    if ((unsigned char)p[i] >= 0x80) return false;
  }
  return true;
}

// Shift_JIS as UTF-8. The single-byte range below 0x80 is the same in both,
// so most texts of a C project need no conversion at all.
std::string ToUtf8(const std::string &sjis) {
  if (IsAscii(sjis.data(), sjis.size())) return sjis;
  return SjisToUtf8(sjis);
}

// Shift_JIS text with CR LF (or lone CR) line ends as UTF-8 with LF.
std::string Shown(const char *sjis) {
  std::string u = ToUtf8(sjis ? sjis : "");
  std::string out;
  out.reserve(u.size());
  for (size_t i = 0; i < u.size(); i++) {
    if (u[i] == '\r') {
      if (i + 1 < u.size() && u[i + 1] == '\n') continue;
      out += '\n';
      continue;
    }
    out += u[i];
  }
  return out;
}

}  // namespace

std::string TerminalSafe(const std::string &utf8, const char *keep) {
  const unsigned char *p = (const unsigned char *)utf8.data();
  size_t n = utf8.size();
  size_t i = 0;
  // Most texts hold nothing to escape: they are returned as they are.
  for (; i < n; i++) {
    unsigned char b = p[i];
    if (b < 0x20 || b >= 0x7F) {
      if (b < 0x20 && std::strchr(keep, b)) continue;
      break;
    }
  }
  if (i == n) return utf8;
  std::string out(utf8, 0, i);
  char hex[8];
  for (; i < n;) {
    unsigned char b = p[i];
    size_t len = b < 0x80                 ? 1
                 : b >= 0xC2 && b <= 0xDF ? 2
                 : b >= 0xE0 && b <= 0xEF ? 3
                 : b >= 0xF0 && b <= 0xF4 ? 4
                                          : 0;
    bool valid = len > 0 && i + len <= n;
    for (size_t k = 1; valid && k < len; k++) valid = (p[i + k] & 0xC0) == 0x80;
    unsigned code = b;
    if (valid && len == 2) code = (unsigned)(b & 0x1F) << 6 | (p[i + 1] & 0x3F);
    bool control = (code < 0x20 && !std::strchr(keep, (int)code)) || code == 0x7F ||
                   (len == 2 && code >= 0x80 && code <= 0x9F);
    if (!valid || control) {
      // A byte that is no character, or a control: shown, never obeyed.
      FormatText(hex, sizeof hex, "\\x%02x", valid ? code : b);
      out += hex;
      i += valid ? len : 1;
      continue;
    }
    out.append(utf8, i, len);
    i += len;
  }
  return out;
}

TerminalFront::TerminalFront(int progress, int bar, int keep_functions, int keep_calls)
    : progress_(progress), bar_(bar) {
  keep_[0] = keep_functions;
  keep_[1] = keep_calls;
}

// ---- main window ----------------------------------------------------------

void TerminalFront::ShowWarning(const char *text) {
  warnings++;
  ClearProgress();
  std::string t = Shown(text);
  while (!t.empty() && t.back() == '\n') t.pop_back();
  WriteErr("velmora: " + TerminalSafe(t, "\n") + "\n");
}

std::string TerminalFront::StatusShown() const {
  return Shown(status.c_str());
}

void TerminalFront::Warning(const std::string &utf8) {
  warnings++;
  ClearProgress();
  WriteErr("velmora: " + TerminalSafe(utf8, "\n") + "\n");
}

void TerminalFront::Note(const std::string &utf8) {
  ClearProgress();
  WriteErr("velmora: " + TerminalSafe(utf8, "\n") + "\n");
}

// A note, not a warning: the analysis itself went through, so the exit
// status stays what it was.
void TerminalFront::SourceLost(const char *path, const char *function, int line) {
  Note(FormatString(MsgUtf8("%s: ends inside %s (line %d): definitions after it may be missing"),
                    path, SjisToUtf8(function).c_str(), line));
}

// A problem of the index is always said; what it did only where progress
// is shown, so a script's stderr stays as it was.
void TerminalFront::IndexUsed(int from_index, int parsed, const char *note) {
  if (note && *note) Note(note);
  if (progress_)
    Note(FormatString(MsgUtf8("index: %d sources from the index, %d parsed"), from_index, parsed));
}

void TerminalFront::SourceFellBack(const char *path, const char *text) {
  Note(std::string(path) + ": " + Shown(text));
}

// Kept, not shown: the terminal has no status line, but a job that ends
// early says in it what its results hold.
void TerminalFront::SetStatusText(const char *text) {
  status = text ? text : "";
}
void TerminalFront::SelectView(int view) {
  view_ = view;
}
int TerminalFront::CurrentView() {
  return view_;
}
void TerminalFront::AcceptDrops(int) {}
void TerminalFront::Repaint() {}
void TerminalFront::Close(int) {
  ClearProgress();
}
void TerminalFront::Destroy(int) {
  ClearProgress();
}

int TerminalFront::Open(int window, const char *text) {
  if (window == WINDOW_PROGRESS) {
    phase_ = 0;
    pass_ = -1;
    fpct_ = spct_ = 0;
    detail_.clear();
  } else if (text) {
    SetWaitText(text);
  }
  return 1;
}

// ---- progress -------------------------------------------------------------

void TerminalFront::SetFunctionProgress(int percent) {
  fpct_ = percent;
  Draw(0);
}
void TerminalFront::SetSourceProgress(int percent) {
  spct_ = percent;
  Draw(0);
}
void TerminalFront::SetPass(int n) {
  pass_ = n;
  Draw(0);
}
void TerminalFront::SetDetail(const char *text) {
  detail_ = text ? text : "";
  Draw(0);
}
void TerminalFront::SetPhase(int k) {
  phase_ = k;
  Draw(0);
}

void TerminalFront::SetWaitText(const char *text) {
  if (!progress_) return;
  std::string t = Shown(text);
  for (char &c : t) {
    if (c == '\n') c = ' ';
  }
  t = TerminalSafe(t, "");
  if (bar_) {  // on the progress line, wiped when the job ends
    WriteErr("\r" + t + "\x1b[K");
    drawn_ = 1;
    return;
  }
  WriteErr(t + "\n");
}

void TerminalFront::Draw(int force) {
  if (!progress_) return;
  uint32_t now = TickCount();
  if (!force && ever_drawn_ && (uint32_t)(now - last_draw_) < kDrawEveryMs) return;
  last_draw_ = now;
  ever_drawn_ = 1;
  const char *caption = phase_ == 0   ? Msg(kPhase0)
                        : phase_ == 1 ? Msg(kPhase1)
                        : phase_ == 2 ? Msg(kPhase2)
                                      : "";
  char pass[16] = "";
  if (pass_ >= 0) FormatText(pass, sizeof pass, "%d", pass_);
  char line[1024];
  FormatText(line, sizeof line, Msg("%s PASS : %s  Function : %3d%%  Source : %3d%%  %s"), caption,
             pass, fpct_, spct_, detail_.c_str());
  if (bar_) {
    // Shift_JIS bytes are display columns: a double-byte character is wide.
    int cols = TerminalColumns(2);
    if (cols <= 0) cols = 80;
    char cut[1024];
    CopyText(cut, sizeof cut, line, cols - 1, 1);
    WriteErr("\r" + TerminalSafe(SjisToUtf8(cut), "") + "\x1b[K");
    drawn_ = 1;
    return;
  }
  std::string u = TerminalSafe(SjisToUtf8(line), "");
  if (u == shown_) return;
  shown_ = u;
  WriteErr(u + "\n");
}

void TerminalFront::ClearProgress() {
  if (bar_ && drawn_) WriteErr("\r\x1b[K");
  drawn_ = 0;
}

// ---- result views ----------------------------------------------------------

int TerminalFront::HasView(int view) {
  if (view == VIEW_FUNCTIONS) return keep_[0];
  if (view == VIEW_CALLS) return keep_[1];
  return view == VIEW_TREE || view == VIEW_RESULT || view == VIEW_CALLERS;
}

int TerminalFront::TakesRows(int list) {
  if (list == VIEW_FUNCTIONS) return keep_[0];
  if (list == VIEW_CALLS) return keep_[1];
  return 0;
}

void TerminalFront::AddFunctionRows(const FunctionRow *rows, size_t n) {
  if (keep_[0]) functions_.Append(rows, n);
}

void TerminalFront::AddCallRows(const CallRow *rows, size_t n) {
  if (keep_[1]) calls_.Append(rows, n);
}

void TerminalFront::SetCalled(size_t first, const int *called, size_t n) {
  for (size_t k = 0; k < n && first + k < functions_.size(); k++)
    functions_[first + k].called = called[k];
}

TREEITEM TerminalFront::TreeInsert(TREEITEM, const char *) {
  return (TREEITEM)(++tree_items_);
}
void TerminalFront::TreeSetImage(TREEITEM, int) {}
void TerminalFront::TreeClear() {
  tree_items_ = 0;
}
int TerminalFront::TreeItemCount() {
  return (int)tree_items_;
}

void TerminalFront::AppendResult(const char *text) {
  if (!text || !*text || json) return;
  ClearProgress();
  std::string u = ToUtf8(text);
  std::string out;
  out.reserve(u.size());
  for (char c : u) {
    if (pending_cr_) {
      pending_cr_ = 0;
      if (c != '\n') out += '\n';
    }
    if (c == '\r')
      pending_cr_ = 1;
    else
      out += c;
  }
  out = TerminalSafe(out, "\t\n");
  fwrite(out.data(), 1, out.size(), stdout);
  if (progress_ && bar_) fflush(stdout);
}

void TerminalFront::PrintList(int list) {
  if (json) {
    PrintJsonList(list);
    return;
  }
  bool functions = list == VIEW_FUNCTIONS;
  const char *const *header = functions ? kFunctionListHeaders : kCallListHeaders;
  size_t ncols = functions ? FL_COLUMNS : CL_COLUMNS;
  std::string out;
  for (size_t c = 0; c < ncols; c++) {
    if (c) out += '\t';
    out += header[c];
  }
  out += '\n';
  fwrite(out.data(), 1, out.size(), stdout);
  if (!TakesRows(list)) return;
  // Rows are gathered into large blocks: one write per row would cost more
  // than the rows themselves.
  out.clear();
  std::string row;
  size_t n = functions ? functions_.size() : calls_.size();
  for (size_t k = 0; k < n; k++) {
    row.clear();
    if (functions)
      AppendFunctionCells(row, functions_[k]);
    else
      AppendCallCells(row, calls_[k]);
    row += '\n';
    out += TerminalSafe(IsAscii(row.data(), row.size()) ? row : SjisToUtf8(row), "\t\n");
    if (out.size() >= 1 << 16) {
      fwrite(out.data(), 1, out.size(), stdout);
      out.clear();
    }
  }
  fwrite(out.data(), 1, out.size(), stdout);
}

void TerminalFront::PrintJsonList(int list) {
  if (!TakesRows(list)) return;
  std::vector<std::string> names = JsonSourceNames();
  std::string out;
  size_t n = list == VIEW_FUNCTIONS ? functions_.size() : calls_.size();
  for (size_t k = 0; k < n; k++) {
    out += list == VIEW_FUNCTIONS ? JsonFunctionRow(functions_[k], names)
                                  : JsonCallRow(calls_[k], names);
    out += '\n';
    if (out.size() >= 1 << 16) {
      fwrite(out.data(), 1, out.size(), stdout);
      out.clear();
    }
  }
  fwrite(out.data(), 1, out.size(), stdout);
}
