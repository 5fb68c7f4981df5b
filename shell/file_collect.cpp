// The folder walk behind GetDirFile. Entries come in the order the file
// system gives them; a folder's "." and ".." are counted though the platform
// does not show them, so the running number in the progress line counts every
// entry of every folder.
#include "shell/file_collect.h"

#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "foundation/settings.h"
#include "foundation/text.h"
#include "foundation/trace.h"
#include "platform/codepage.h"
#include "platform/files.h"
#include "platform/sys.h"
#include "shell/paths.h"

namespace {

// Everything one collection keeps between GetDirFile calls.
struct CollectState {
  int entry_counter;            // folder entries seen, "." and ".." included
  uint32_t last_report;         // tick count of the last progress line
  int (*stop_requested)(void);  // polled before each entry; null: never stops
};
CollectState g_collect = {0, 0, nullptr};

// One GetDirFile call; the recursion below it shares it.
struct Walk {
  ProgressSink *window;                                // detail lines, or nullptr
  CB *list;                                            // collected paths
  char path[VELMORA_PATH_MAX];                         // path being visited
  size_t len;                                          // its length
  std::vector<std::pair<uint64_t, uint64_t>> folders;  // folders on the current walk
};

// Shift_JIS form of a native path for trace and progress texts.
std::string ShownText(const char *native) {
  for (const char *p = native; *p; p++) {
    if ((unsigned char)*p >= 0x80) return Utf8ToSjis(native);
  }
  return std::string(native);
}

void AddFile(Walk *w) {
  DebugPrint("GetDirFile:ADD:%s\r\n", ShownText(w->path).c_str());
  if (w->list) AddCB(w->list, w->path, (int)w->len + 1);
}

int OnEntry(const DirEntryInfo *e, void *ctx);

void EnterFolder(Walk *w, uint64_t dev, uint64_t ino) {
  size_t keep = w->len;
  if (!AddTrailingBackslash(w->path, sizeof w->path)) {
    DebugPrint("GetDirFile :Path too long! \"%s\"\r\n", ShownText(w->path).c_str());
    return;
  }
  w->len = strlen(w->path);
  w->folders.emplace_back(dev, ino);
  g_collect.entry_counter += 2;  // the "." and ".." entries the walk does not show
  if (!ForEachDirEntry(w->path, OnEntry, w))
    DebugPrint("GetDirFile :Open Folder Error! \"%s\"\r\n", ShownText(w->path).c_str());
  w->folders.pop_back();
  w->len = keep;
  w->path[keep] = 0;
}

// A progress line at most every 100 ms (the clock runs without a window too).
void ReportEntry(Walk *w, const char *name) {
  uint32_t now = TickCount();
  if ((uint32_t)(now - g_collect.last_report) <= 100) return;
  if (w->window) {
    char shown[128];
    CopyText(shown, sizeof shown, ShownText(name).c_str(), -1, 1);
    char text[160];
    FormatText(text, sizeof text, "[%d] %s", g_collect.entry_counter, shown);
    w->window->SetDetail(text);
  }
  g_collect.last_report = now;
}

int OnEntry(const DirEntryInfo *e, void *ctx) {
  Walk *w = (Walk *)ctx;
  if (g_collect.stop_requested && g_collect.stop_requested()) return 0;
  size_t keep = w->len;
  size_t nlen = strlen(e->name);
  if (keep + nlen + 1 > sizeof w->path) {
    DebugPrint("GetDirFile :Path too long! \"%s\"\r\n", ShownText(e->name).c_str());
  } else {
    memcpy(w->path + keep, e->name, nlen + 1);
    w->len = keep + nlen;
    if (e->is_dir) {
      bool on_walk = false;
      for (const auto &f : w->folders)
        on_walk = on_walk || (f.first == e->dev && f.second == e->ino);
      if (on_walk)
        DebugPrint("GetDirFile :Folder loop! \"%s\"\r\n", ShownText(w->path).c_str());
      else
        EnterFolder(w, e->dev, e->ino);
    } else if (MatchExtension(e->name, g_config.EXT)) {
      AddFile(w);
    }
    w->len = keep;
    w->path[keep] = 0;
  }
  ReportEntry(w, e->name);
  g_collect.entry_counter++;
  return 1;
}

}  // namespace

void BeginCollection(int (*stop_requested)(void)) {
  g_collect = CollectState{0, 0, stop_requested};
}

int CollectedEntryCount(void) {
  return g_collect.entry_counter;
}

void GetDirFile(ProgressSink *window, CB *list, const char *base, const char *name) {
  if (!name) return;
  Walk walk;
  Walk *w = &walk;
  w->window = window;
  w->list = list;
  w->path[0] = 0;
  bool fits = true;
  if (base && *base) {
    fits = CopyText(w->path, sizeof w->path, base) == strlen(base) &&
           AddTrailingBackslash(w->path, sizeof w->path);
  }
  size_t blen = strlen(w->path);
  size_t nlen = strlen(name);
  if (!fits || blen + nlen + 1 > sizeof w->path) {
    DebugPrint("GetDirFile :Path too long! \"%s\"\r\n", ShownText(name).c_str());
    return;
  }
  memcpy(w->path + blen, name, nlen + 1);
  w->len = blen + nlen;
  uint64_t dev = 0, ino = 0;
  if (!PathIdentity(w->path, &dev, &ino)) {
    DebugPrint("GetDirFile :GetAttribute Error! \"%s\"\r\n", ShownText(name).c_str());
  } else if (IsDirectory(w->path)) {
    EnterFolder(w, dev, ino);
  } else if (MatchExtension(w->path, g_config.EXT)) {
    AddFile(w);
  }
}
