// The folder walk behind GetDirFile. Entries come in the order the file
// system gives them; a folder's "." and ".." are counted though the platform
// does not show them, so the running number in the progress line counts every
// entry of every folder.
//
// The walk is a loop over an explicit stack of folders, not a recursion, so
// no depth of folders can exhaust the stack; each folder's entries are read
// and its handle closed before the walk goes below it, so no depth can
// exhaust the descriptors either. Within one walk each folder is entered
// once and each file registered once, however many links lead to them:
// without that, every level of two links to the next doubles the work.
#include "shell/file_collect.h"

#include <cstring>
#include <set>
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
// Names and globs of entries every walk leaves out (SetCollectionExcludes);
// empty unless a program sets them.
std::vector<std::string> g_excludes;

// Glob match of text against pattern: '*' any run of bytes but '/', '?' one
// byte but '/', anything else itself. Iterative, so no pattern can recurse
// deeply: the last '*' is retried one byte further on a mismatch.
bool GlobMatch(const char *pattern, const char *text) {
  const char *star = nullptr, *retry = nullptr;
  while (*text) {
    if (*pattern == '*') {
      star = ++pattern;
      retry = text;
    } else if (*pattern && (*pattern == *text || (*pattern == '?' && *text != '/'))) {
      pattern++;
      text++;
    } else if (star && *retry != '/') {
      pattern = star;
      text = ++retry;
    } else {
      return false;
    }
  }
  while (*pattern == '*') pattern++;
  return *pattern == 0;
}

// Whether an entry (its name, and its path below the walk's first folder)
// is left out. A pattern with a '/' inside reads the path, one without the
// name; a trailing '/' means folders only.
bool Excluded(const std::string &name, const char *below, bool is_dir) {
  for (std::string p : g_excludes) {
    bool dirs_only = p.size() > 1 && p.back() == '/';
    if (dirs_only) p.pop_back();
    if (p.empty() || (dirs_only && !is_dir)) continue;
    bool by_path = p.find('/') != std::string::npos;
    if (by_path && p[0] == '/') p.erase(0, 1);
    if (GlobMatch(p.c_str(), by_path ? below : name.c_str())) return true;
  }
  return false;
}

using Identity = std::pair<uint64_t, uint64_t>;  // (device, inode)

// One folder being walked.
struct Frame {
  std::vector<DirEntry> entries;  // its entries, read before anything below it
  size_t next;                    // entry being looked at
  size_t len;                     // length of its path, with the trailing '/'
  Identity id;                    // its identity
  bool below;                     // entries[next] is a folder being walked now
};

// One GetDirFile call.
struct Walk {
  ProgressSink *window;         // detail lines, or nullptr
  CB *list;                     // collected paths
  char path[VELMORA_PATH_MAX];  // path being visited
  size_t len;                   // its length
  std::vector<Frame> stack;     // the folders from the first one down
  std::set<Identity> folders;   // every folder entered
  std::set<Identity> files;     // every file registered
};

// Shift_JIS form of a native path for trace and progress texts.
std::string ShownText(const char *native) {
  for (const char *p = native; *p; p++) {
    if ((unsigned char)*p >= 0x80) return Utf8ToSjis(native);
  }
  return std::string(native);
}

void Trace(const char *what, const char *native) {
  DebugPrint("GetDirFile :%s \"%s\"\r\n", what, ShownText(native).c_str());
}

void AddFile(Walk *w) {
  DebugPrint("GetDirFile:ADD:%s\r\n", ShownText(w->path).c_str());
  if (w->list) AddCB(w->list, w->path, (int)w->len + 1);
}

// Goes below the folder at w->path: reads its entries and pushes it. False
// when nothing was pushed (the path does not fit, or the folder cannot be
// read; both traced). Either way the folder counts as entered.
bool EnterFolder(Walk *w, Identity id) {
  if (!AddTrailingBackslash(w->path, sizeof w->path)) {
    Trace("Path too long!", w->path);
    return false;
  }
  w->len = strlen(w->path);
  w->folders.insert(id);
  g_collect.entry_counter += 2;  // the "." and ".." entries the walk does not show
  Frame f{{}, 0, w->len, id, false};
  if (!ReadDirEntries(w->path, &f.entries)) {
    Trace("Open Folder Error!", w->path);
    return false;
  }
  w->stack.push_back(std::move(f));
  return true;
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

bool OnStack(const Walk *w, Identity id) {
  for (const Frame &f : w->stack)
    if (f.id == id) return true;
  return false;
}

// A file found in a folder: registered when its extension matches and it is
// a regular file seen for the first time in this walk.
void OnFile(Walk *w, const DirEntry &e) {
  if (!MatchExtension(e.name.c_str(), g_config.EXT)) return;
  if (e.is_special) {
    Trace("Not a regular file!", w->path);
    return;
  }
  // A dangling link is a file by its name; registering skips it.
  if (e.is_file && !w->files.insert(Identity(e.dev, e.ino)).second) {
    Trace("File already collected!", w->path);
    return;
  }
  AddFile(w);
}

// Looks at the next entry of the innermost folder; true when the walk went
// below it (the entry is finished when the walk comes back).
bool OnEntry(Walk *w, Frame &f) {
  const DirEntry &e = f.entries[f.next];
  size_t nlen = e.name.size();
  if (f.len + nlen + 1 > sizeof w->path) {
    Trace("Path too long!", e.name.c_str());
    return false;
  }
  memcpy(w->path + f.len, e.name.c_str(), nlen + 1);
  w->len = f.len + nlen;
  if (!g_excludes.empty() && Excluded(e.name, w->path + w->stack[0].len, e.is_dir)) {
    Trace("Excluded", w->path);
    return false;
  }
  if (!e.is_dir) {
    OnFile(w, e);
    return false;
  }
  Identity id(e.dev, e.ino);
  if (w->folders.count(id)) {
    Trace(OnStack(w, id) ? "Folder loop!" : "Folder already collected!", w->path);
    return false;
  }
  f.below = true;
  if (EnterFolder(w, id)) return true;
  f.below = false;
  return false;
}

// The walk below the first folder, until every entry is done or a stop is
// requested.
void WalkFolders(Walk *w) {
  while (!w->stack.empty()) {
    Frame &f = w->stack.back();
    if (!f.below) {
      if (f.next >= f.entries.size()) {
        w->stack.pop_back();
        continue;
      }
      if (g_collect.stop_requested && g_collect.stop_requested()) return;
      if (OnEntry(w, f)) continue;  // the walk is below this entry now
    }
    // The entry is done (after everything below it, for a folder).
    f.below = false;
    w->len = f.len;
    w->path[f.len] = 0;
    ReportEntry(w, f.entries[f.next].name.c_str());
    g_collect.entry_counter++;
    f.next++;
  }
}

}  // namespace

void BeginCollection(int (*stop_requested)(void)) {
  g_collect = CollectState{0, 0, stop_requested};
}

void SetCollectionExcludes(const std::vector<std::string> &patterns) {
  g_excludes = patterns;
}

bool CollectionLeavesOut(const std::string &below) {
  if (g_excludes.empty()) return false;
  // Each step of the path, as the walk meets it: the folders, then the file.
  size_t start = 0;
  while (start <= below.size()) {
    size_t slash = below.find('/', start);
    bool last = slash == std::string::npos;
    size_t end = last ? below.size() : slash;
    if (end > start &&
        Excluded(below.substr(start, end - start), below.substr(0, end).c_str(), !last))
      return true;
    if (last) break;
    start = slash + 1;
  }
  return false;
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
    Trace("Path too long!", name);
    return;
  }
  memcpy(w->path + blen, name, nlen + 1);
  w->len = blen + nlen;
  uint64_t dev = 0, ino = 0;
  if (!PathIdentity(w->path, &dev, &ino)) {
    Trace("GetAttribute Error!", name);
  } else if (IsDirectory(w->path)) {
    if (EnterFolder(w, Identity(dev, ino))) WalkFolders(w);
  } else if (MatchExtension(w->path, g_config.EXT)) {
    // A path named by the user is taken as named (twice named, twice taken).
    if (IsRegularFile(w->path))
      AddFile(w);
    else
      Trace("Not a regular file!", w->path);
  }
}
