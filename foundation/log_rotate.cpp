// Where a log file goes once it has grown past its limit: "<path>.[n]",
// five of them kept, the oldest going first (see log_internal.h).
#include "foundation/log_internal.h"
#include "foundation/text.h"
#include "platform/files.h"

namespace {

const int kSizeRotations = 5;  // "<path>.[1]" (oldest) .. "<path>.[5]" kept

// Moves path to the first free "<path>.[n]", n from first to last: 1 moved,
// 0 failed, -1 every one of those names taken.
int MoveToFree(const char *path, int first, int last) {
  char target[VELMORA_PATH_MAX + 32];
  for (int n = first; n <= last; n++) {
    FormatText(target, sizeof target, "%s.[%d]", path, n);
    if (FileExists(target)) continue;
    if (RenameNoReplace(path, target)) return 1;
    if (!FileExists(target)) return 0;  // failed for another reason than a race
  }
  return -1;
}

}  // namespace

namespace log_detail {

// Moves path to the first free "<path>.[n]", n up to five. With all five
// taken the oldest, .[1], is removed and the others move down one, so the
// file becomes .[5]; if that cannot be done (something at .[1] that will not
// go) it takes the first free number past five, as nothing may be lost.
int MoveToRotated(const char *path) {
  int r = MoveToFree(path, 1, kSizeRotations);
  if (r >= 0) return r;
  char from[VELMORA_PATH_MAX + 32], to[VELMORA_PATH_MAX + 32];
  FormatText(to, sizeof to, "%s.[1]", path);
  bool shifted = RemoveFile(to) != 0;
  for (int n = 2; n <= kSizeRotations && shifted; n++) {
    FormatText(from, sizeof from, "%s.[%d]", path, n);
    FormatText(to, sizeof to, "%s.[%d]", path, n - 1);
    shifted = RenameNoReplace(from, to) != 0;
  }
  if (shifted && (r = MoveToFree(path, kSizeRotations, kSizeRotations)) >= 0) return r;
  return MoveToFree(path, kSizeRotations + 1, 1000000) == 1;
}

}  // namespace log_detail
