// The two log channels. Each channel keeps its file open for appending, so a
// line costs one write and nothing else; the line is in the file before
// LogPrint returns, so nothing is lost if the program stops. The size for the
// rotation test is counted in memory (the descriptor is ours and appends).
// Every 200 ms, and before a rotation, the open file is compared with its path
// (a deleted file has no links left) and the count is taken again from the
// file, so a file moved away or deleted by the user is followed by a fresh
// one, as with a writer that opens the file for every line.
#include "foundation/log.h"

#include <atomic>
#include <cstdarg>
#include <cstdint>
#include <cstring>
#include <mutex>

#include "foundation/text.h"
#include "foundation/trace.h"
#include "platform/codepage.h"
#include "platform/files.h"
#include "platform/output_files.h"
#include "platform/sys.h"

namespace {

enum {
  kMaxNest = 16,
  kMessageSize = 2048,
  kLineSize = 2080,
  kCheckMs = 200,  // how often the path is compared with the open file
};
const int64_t kRotateSize = 10485760;  // 10 MiB

struct Channel {
  char path[VELMORA_PATH_MAX];  // current file; "" while the channel is off
  int fd;                       // open append descriptor, -1 until the next line
  uint32_t checked;             // TickCount of the last path comparison
  int64_t size;                 // file size: from the file at each check, plus our writes
};

// Module state; everything but the threshold is guarded by g_lock.
struct LogState {
  Channel ch[2];               // channel 0 debug log, 1 result log
  int nest;                    // indentation depth, 0..16
  char message[kMessageSize];  // the formatted message
  char line[kLineSize];        // the line as written
  char indent[20];             // TABs of the current nest level
};

std::mutex g_lock;
std::atomic<int> g_threshold{-1};  // DEBUG_LOG; read without the lock
LogState g_log = {{{{0}, -1, 0, 0}, {{0}, -1, 0, 0}}, 0, {0}, {0}, {0}};

void CloseChannel(Channel &c) {
  CloseFd(c.fd);
  c.fd = -1;
}

// Moves path to the first free "<path>.[n]"; 1 moved.
int MoveToRotated(const char *path) {
  char target[VELMORA_PATH_MAX + 32];
  for (int n = 1; n < 1000000; n++) {
    FormatText(target, sizeof target, "%s.[%d]", path, n);
    if (FileExists(target)) continue;
    if (RenameNoReplace(path, target)) return 1;
    if (!FileExists(target)) return 0;  // failed for another reason than a race
  }
  return 0;
}

int SameFile(const Channel &c, const FdInfo &info) {
  uint64_t dev, ino;
  return PathIdentity(c.path, &dev, &ino) && dev == info.dev && ino == info.ino;
}

// Compares the open file with its path and takes its size again; a file
// that is gone from its path (or from everywhere) is closed, so the next line
// starts a new file there. 1 while the file is still the channel's.
int CheckChannel(Channel &c, uint32_t now) {
  FdInfo info;
  c.checked = now;
  if (!FdStat(c.fd, &info) || info.nlink == 0 || !SameFile(c, info)) {
    CloseChannel(c);
    return 0;
  }
  c.size = info.size;
  return 1;
}

// The rotation test of a channel whose file is open: the size comes from the
// open file, and the path must still name that file before it is moved.
void RotateChannel(Channel &c) {
  if (!CheckChannel(c, TickCount())) return;
  if (c.size <= kRotateSize) return;
  if (MoveToRotated(c.path)) CloseChannel(c);
}

void RotateLocked(const char *path) {
  for (Channel &c : g_log.ch) {
    if (c.fd >= 0 && c.path[0] && strcmp(c.path, path) == 0) {
      RotateChannel(c);
      return;
    }
  }
  if (FileSizeForRead(path) > kRotateSize) MoveToRotated(path);
}

// Something else than our own log file stands at the channel's path (a
// link, a device, a file with other names): the channel goes off as on an
// unwritable desktop, and the trace says why.
void RefuseChannel(Channel &c, OutputRefusal why) {
  DebugPrint("LogPrint :%s, output off! \"%s\"\r\n", OutputRefusalText(why),
             Utf8ToSjis(c.path).c_str());
  c.path[0] = 0;
}

// Writes one line: a single write while the file is known and small; the
// comparison with the path every 200 ms, and the rotation test once the
// counted size passes the limit, both confirmed from the file itself.
void WriteLine(Channel &c, const char *bytes, size_t len) {
  uint32_t now = TickCount();
  if (c.fd >= 0 && now - c.checked >= (uint32_t)kCheckMs) CheckChannel(c, now);
  if (c.fd < 0) {
    OutputRefusal why;
    c.fd = OpenOutputAppend(c.path, &why);
    if (c.fd < 0) {  // the line is lost, as documented
      if (why != OutputRefusal::kFailed) RefuseChannel(c, why);
      return;
    }
    FdInfo info;
    c.size = FdStat(c.fd, &info) ? info.size : 0;
    c.checked = now;
  }
  if (WriteFd(c.fd, bytes, len))
    c.size += (int64_t)len;
  else
    c.checked = now - (uint32_t)kCheckMs;  // a failed write: look at the file next line
  if (c.size > kRotateSize) RotateChannel(c);
}

// Unprintable bytes become '.'; a Shift_JIS pair stays whole whatever its
// second byte is. A lead byte with nothing after it is half a character.
void CleanLine(char *line, size_t len) {
  for (size_t i = 0; i < len; i++) {
    unsigned char b = (unsigned char)line[i];
    if (IsSjisLead(b)) {
      if (i + 1 < len)
        i++;
      else
        line[i] = '.';
      continue;
    }
    bool keep =
        b == '\t' || b == '\n' || b == '\r' || (b >= 0x20 && b <= 0x7E) || (b >= 0xA2 && b <= 0xDF);
    if (!keep) line[i] = '.';
  }
}

size_t Min(size_t a, size_t b) {
  return a < b ? a : b;
}

}  // namespace

void LogOpen(int channel, const char *name) {
  if (channel < 0 || channel > 1 || !name) return;
  std::lock_guard<std::mutex> guard(g_lock);
  Channel &c = g_log.ch[channel];
  CloseChannel(c);
  c.path[0] = 0;
  char desk[VELMORA_PATH_MAX];
  if (!DesktopFolder(desk, sizeof desk)) return;  // logging stays off
  char path[VELMORA_PATH_MAX + 8];
  size_t n = FormatText(path, sizeof path, "%s/%s.txt", desk, name);
  if (n >= VELMORA_PATH_MAX - 16) return;  // no room for the numbered names
  if (FileExists(path)) {
    char old[VELMORA_PATH_MAX + 32];
    for (int k = 1; k <= 5; k++) {
      FormatText(old, sizeof old, "%s/%s[%d].txt", desk, name, k);
      if (FileExists(old)) continue;
      if (RenameNoReplace(path, old)) break;
    }
  }
  CopyText(c.path, sizeof c.path, path);
  c.checked = TickCount();
}

void LogSetLevel(int level) {
  g_threshold.store(level, std::memory_order_relaxed);
}

int LogGetLevel(void) {
  return g_threshold.load(std::memory_order_relaxed);
}

void LogPrint(int level, int flags, const char *format, ...) {
  if (level > g_threshold.load(std::memory_order_relaxed)) return;
  std::lock_guard<std::mutex> guard(g_lock);
  va_list args;
  va_start(args, format);
  FormatTextV(g_log.message, sizeof g_log.message, format, args);
  va_end(args);
  int channel = flags & 0x0F;
  if (channel > 1) return;
  Channel &c = g_log.ch[channel];
  if (!c.path[0]) return;

  int nest = g_log.nest;
  for (int i = 0; i < nest; i++) g_log.indent[i] = '\t';
  g_log.indent[nest] = 0;

  char *line = g_log.line;
  size_t pos = 0;
  size_t message_max = 2076;
  if (flags & LOG_TIME) {
    LocalTimeMs t;
    GetLocalTimeMs(&t);
    pos = FormatText(line, kLineSize, "%04d-%02d-%02d %02d:%02d:%02d.%03d ", t.year, t.month, t.day,
                     t.hour, t.minute, t.second, t.millisecond);
    message_max = 2048;
  }
  pos += CopyText(line + pos, Min(20, kLineSize - pos), g_log.indent);
  pos += CopyText(line + pos, Min(message_max + 1, kLineSize - pos), g_log.message);
  CleanLine(line, pos);
  WriteLine(c, line, pos);
}

void LogAppend(const char *path, const void *bytes, int length) {
  if (!path || !*path || !bytes || length <= 0) return;
  AppendOutputFile(path, bytes, (size_t)length, nullptr);
}

void LogRotate(const char *path) {
  if (!path || !*path) return;
  std::lock_guard<std::mutex> guard(g_lock);
  RotateLocked(path);
}

void LogCheckFiles(void) {
  std::lock_guard<std::mutex> guard(g_lock);
  uint32_t due = TickCount() - (uint32_t)kCheckMs;
  for (Channel &c : g_log.ch) c.checked = due;
}

int NestMove(int delta) {
  std::lock_guard<std::mutex> guard(g_lock);
  long long level = (long long)g_log.nest + delta;
  if (level < 0) {
    static const char kSmall[] = "NestMove Error ! : smaller than 0.\n";
    LogAppend(g_log.ch[0].path, kSmall, (int)sizeof kSmall - 1);
    g_log.ch[0].size += (int64_t)sizeof kSmall - 1;  // too much at worst: checked then
    level = 0;
  } else if (level > kMaxNest) {
    static const char kLarge[] = "NestMove Error ! : larger than 16.\n";
    LogAppend(g_log.ch[0].path, kLarge, (int)sizeof kLarge - 1);
    g_log.ch[0].size += (int64_t)sizeof kLarge - 1;
    level = kMaxNest;
  }
  g_log.nest = (int)level;
  return g_log.nest;
}

const char *LogFilePath(int channel) {
  if (channel < 0 || channel > 1) return "";
  return g_log.ch[channel].path;
}

void LogShutdown(void) {
  std::lock_guard<std::mutex> guard(g_lock);
  for (Channel &c : g_log.ch) {
    CloseChannel(c);
    c.path[0] = 0;
  }
  g_log.nest = 0;
}
