// The two log channels. Each channel keeps its file open for appending and
// gathers its lines in a 64 KiB buffer, written when it is full, when its
// oldest line is 200 ms old, before a rotation or a look at the file, and
// whenever the program asks (end of a phase, stop, exit; LogFlush). The size
// for the rotation test is counted in memory, buffered lines included, so a
// file still moves right after the line that crosses 10 MiB: the buffer is
// written up to that line, then the file is moved. Every 200 ms, and before a
// rotation, the open file is compared with its path (a deleted file has no
// links left) and the count is taken again from the file, so a file moved
// away or deleted by the user is followed by a fresh one, as with a writer
// that opens the file for every line.
//
// The logs of one desktop folder belong to one program at a time: the first
// channel opened takes an advisory lock on the folder (flock; no file is
// made), and a second instance that finds it held writes "<name>-<pid>.txt"
// instead, so two runs never move or write each other's files. A file that passes 10 MiB moves to
// "<name>.txt.[n]"; five of those are kept, the oldest going first.
#include "foundation/log.h"
#include "foundation/log_internal.h"

#include <algorithm>
#include <atomic>
#include <cstdarg>
#include <cstdint>
#include <cstring>
#include <mutex>

#include "foundation/memory.h"
#include "foundation/text.h"
#include "foundation/trace.h"
#include "platform/codepage.h"
#include "platform/files.h"
#include "platform/output_files.h"
#include "platform/sys.h"

using namespace log_detail;

namespace {

enum {
  kCheckMs = 200,  // how often the path is compared with the open file
  kFlushMs = 200,  // the longest a line waits in a buffer while lines come
  kBufferSize = 64 * 1024,
};
const int64_t kRotateSize = 10485760;  // 10 MiB
const char kNestSmall[] = "NestMove Error ! : smaller than 0.\n";
const char kNestLarge[] = "NestMove Error ! : larger than 16.\n";

struct Channel {
  char path[VELMORA_PATH_MAX];  // current file; "" while the channel is off
  int fd;                       // open append descriptor, -1 until the next line
  uint32_t checked;             // Now() at the last path comparison
  int64_t size;                 // file size: from the file at each check, plus our lines
  uint32_t since;               // Now() when the buffer took its oldest line
  size_t used;                  // bytes of whole lines in buf (not yet written to fd)
  char buf[kBufferSize];
};

// Module state; everything but the threshold is guarded by g_lock, and the
// channels also by g_channels_state (below) for the signal-safe flush.
struct LogState {
  Channel ch[2];         // channel 0 debug log, 1 result log
  int nest;              // indentation depth, 0..16
  char line[kLineSize];  // the line as written
  int lock_fd;           // descriptor holding the output folder's log lock, or -1
  int lock_state;        // 0 not tried, 1 ours (or none to be had), 2 another instance's
  char lock_folder[VELMORA_PATH_MAX];  // the folder lock_state is about
};

std::mutex g_lock;
// Who changes the channels: 0 nobody, 1 a thread holding g_lock, 2 the flush
// of a signal handler (which cannot take the lock). Whole lines only ever
// reach the files: a handler that finds a thread in the middle of a change
// leaves the buffers alone, and a thread waits while a handler writes them.
std::atomic<int> g_channels_state{0};

void EnterChannels() {
  for (int idle = 0; !g_channels_state.compare_exchange_weak(idle, 1, std::memory_order_acquire);
       idle = 0)
    YieldCpu();  // a signal handler writes the buffers, then ends the process
}
void LeaveChannels() {
  g_channels_state.store(0, std::memory_order_release);
}
// The formatting buffer of the calling thread.
thread_local char tl_message[kMessageSize];
std::atomic<int> g_threshold{-1};  // DEBUG_LOG; read without the lock
// The clock of the flush and check timers; nullptr reads TickCount.
std::atomic<uint32_t (*)(void)> g_clock{nullptr};

uint32_t Now() {
  uint32_t (*now)(void) = g_clock.load(std::memory_order_relaxed);
  return now ? now() : TickCount();
}
LogState g_log = {{{{0}, -1, 0, 0, 0, 0, {0}}, {{0}, -1, 0, 0, 0, 0, {0}}}, 0, {0}, -1, 0, {0}};

// Writes the buffered lines; after a failed write the file is looked at
// with the next line (the lines are lost, as a line that cannot be written).
void Flush(Channel &c) {
  size_t n = c.used;
  if (n == 0) return;
  int ok = c.fd >= 0 && WriteFd(c.fd, c.buf, n);
  c.used = 0;
  if (!ok) c.checked = Now() - (uint32_t)kCheckMs;
}

// Puts bytes after the buffered ones (the buffer is written first when they
// do not fit; what is larger than the buffer is written at once).
void Buffer(Channel &c, const char *bytes, size_t len, uint32_t now) {
  size_t used = c.used;
  if (used + len > kBufferSize) {
    Flush(c);
    used = 0;
  }
  if (len > kBufferSize) {
    if (!WriteFd(c.fd, bytes, len)) c.checked = now - (uint32_t)kCheckMs;
    return;
  }
  if (used == 0) c.since = now;
  memcpy(c.buf + used, bytes, len);
  c.used = used + len;
}

void CloseChannel(Channel &c) {
  Flush(c);
  CloseFd(c.fd);
  c.fd = -1;
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
  Flush(c);  // what was printed before the look belongs to the file looked at
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
  if (!CheckChannel(c, Now())) return;
  if (c.size <= kRotateSize) return;
  if (MoveToRotated(c.path)) CloseChannel(c);
}

// Writes the buffer of a channel whose file is path.
void FlushPath(const char *path) {
  for (Channel &c : g_log.ch)
    if (c.path[0] && strcmp(c.path, path) == 0) Flush(c);
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

// Buffers one line: the comparison with the path every 200 ms, and the
// rotation test once the counted size passes the limit, both confirmed from
// the file itself after the buffer has been written.
void WriteLine(Channel &c, const char *bytes, size_t len) {
  uint32_t now = Now();
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
  Buffer(c, bytes, len, now);
  c.size += (int64_t)len;
  if (c.size > kRotateSize) {
    Flush(c);
    RotateChannel(c);
  } else if (now - c.since >= (uint32_t)kFlushMs) {
    Flush(c);
  }
}

// What CleanLine does with each byte: keep it, make it '.', or take it with
// the byte after it (a Shift_JIS lead byte).
enum : unsigned char { kKeep = 0, kDot = 1, kLead = 2 };
struct CleanTable {
  unsigned char c[256];
  constexpr CleanTable() : c() {
    for (int b = 0; b < 256; b++) {
      bool keep = b == '\t' || b == '\n' || b == '\r' || (b >= 0x20 && b <= 0x7E) ||
                  (b >= 0xA2 && b <= 0xDF);
      bool lead = (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
      c[b] = lead ? kLead : keep ? kKeep : kDot;
    }
  }
};
constexpr CleanTable kClean;

// Unprintable bytes become '.'; a Shift_JIS pair stays whole whatever its
// second byte is. A lead byte with nothing after it is half a character.
void CleanLine(char *line, size_t len) {
  for (size_t i = 0; i < len; i++) {
    unsigned char k = kClean.c[(unsigned char)line[i]];
    if (k == kKeep) continue;
    if (k == kLead && i + 1 < len)
      i++;
    else
      line[i] = '.';
  }
}

// Takes the output folder's log lock once per process and folder; 1 when
// another instance holds it (this one then writes its logs under names of its own).
int LogsOfAnother(const char *desk) {
  if (g_log.lock_state != 0 && strcmp(g_log.lock_folder, desk) != 0) {
    ReleaseFolderLock(g_log.lock_fd);  // the folder changed with the settings
    g_log.lock_state = 0;
  }
  if (g_log.lock_state == 0) {
    CopyText(g_log.lock_folder, sizeof g_log.lock_folder, desk);
    FolderLock r = LockFolder(desk, &g_log.lock_fd);
    g_log.lock_state = r == FolderLock::kBusy ? 2 : 1;
    if (r == FolderLock::kBusy)
      DebugPrint("LogOpen :Logs in use by another instance, this one's end in -%ld.txt\r\n",
                 ProcessIdNumber());
  }
  return g_log.lock_state == 2;
}

}  // namespace

namespace log_detail {

// Defined here, beside the printing that looks at them for every line.
thread_local LOG_GATHER *tl_gather = nullptr;
thread_local LOG_GATHER *tl_copy = nullptr;

ChannelsLock::ChannelsLock() : lock_(g_lock) {
  EnterChannels();
}
ChannelsLock::~ChannelsLock() {
  if (lock_.owns_lock()) LeaveChannels();
}
void ChannelsLock::unlock() {
  LeaveChannels();
  lock_.unlock();
}
void ChannelsLock::lock() {
  lock_.lock();
  EnterChannels();
}

void WriteGatheredLine(int channel, const char *line, size_t len) {
  Channel &c = g_log.ch[channel];
  if (c.path[0]) WriteLine(c, line, len);
}

// A NestMove error line: after the lines before it, without the level test,
// indentation, cleaning or rotation test of a printed line.
void AppendRawLine(const char *bytes, size_t len) {
  Channel &c = g_log.ch[0];
  if (c.fd >= 0) {
    Buffer(c, bytes, len, Now());
  } else {
    LogAppend(c.path, bytes, (int)len);
  }
  c.size += (int64_t)len;  // too much at worst: checked then
}

size_t BuildLine(char *line, const char *message, size_t len, int nest, int flags) {
  char indent[20];
  for (int i = 0; i < nest; i++) indent[i] = '\t';
  indent[nest] = 0;
  size_t pos = 0;
  size_t message_max = 2076;
  if (flags & LOG_TIME) {
    LocalTimeMs t;
    GetLocalTimeMs(&t);
    pos = FormatText(line, kLineSize, "%04d-%02d-%02d %02d:%02d:%02d.%03d ", t.year, t.month, t.day,
                     t.hour, t.minute, t.second, t.millisecond);
    message_max = 2048;
  }
  pos += CopyText(line + pos, std::min<size_t>(20, kLineSize - pos), indent);
  pos += CopyText(line + pos, std::min(message_max + 1, kLineSize - pos), message, (long)len);
  CleanLine(line, pos);
  return pos;
}

}  // namespace log_detail

void LogOpen(int channel, const char *name) {
  if (channel < 0 || channel > 1 || !name) return;
  ChannelsLock guard;
  Channel &c = g_log.ch[channel];
  CloseChannel(c);
  c.path[0] = 0;
  char desk[VELMORA_PATH_MAX];
  if (!OutputFolder(desk, sizeof desk)) return;  // logging stays off
  char own[300];
  if (LogsOfAnother(desk)) {
    FormatText(own, sizeof own, "%s-%ld", name, ProcessIdNumber());
    name = own;
  }
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
  c.checked = Now();
}

void LogSetLevel(int level) {
  g_threshold.store(level, std::memory_order_relaxed);
}

int LogGetLevel(void) {
  return g_threshold.load(std::memory_order_relaxed);
}

namespace {

// Prints a message already formatted (at most kMessageSize - 1 bytes of it,
// as the formatter would have left): gathered on a gathering thread, else
// written to its channel.
void PrintMessage(int flags, const char *message, size_t len) {
  int channel = flags & 0x0F;
  if (channel > 1) return;
  if (len > kMessageSize - 1) len = kMessageSize - 1;
  if (LOG_GATHER *g = tl_gather) {
    GatherPrinted(g, channel, message, len, flags);
    return;
  }
  ChannelsLock guard;
  Channel &c = g_log.ch[channel];
  LOG_GATHER *copy = tl_copy;
  if (!c.path[0] && !copy) return;
  size_t n = BuildLine(g_log.line, message, len, g_log.nest, flags);
  // The copy keeps the line even while the channel is off: a later replay
  // may find it on.
  if (copy) GatherBuilt(copy, channel, g_log.line, n);
  if (c.path[0]) WriteLine(c, g_log.line, n);
}

}  // namespace

void LogPrint(int level, int flags, const char *format, ...) {
  if (level > g_threshold.load(std::memory_order_relaxed)) return;
  if ((flags & 0x0F) > 1) return;
  // The formatting needs no lock: the buffer is the calling thread's.
  va_list args;
  va_start(args, format);
  size_t len = FormatTextV(tl_message, sizeof tl_message, format, args);
  va_end(args);
  PrintMessage(flags, tl_message, len);
}

void LogPrintText(int level, int flags, const char *text, size_t len) {
  if (level > g_threshold.load(std::memory_order_relaxed) || !text) return;
  PrintMessage(flags, text, strnlen(text, len));
}

void LogAppend(const char *path, const void *bytes, int length) {
  if (!path || !*path || !bytes || length <= 0) return;
  AppendOutputFile(path, bytes, (size_t)length, nullptr);
}

void LogRotate(const char *path) {
  if (!path || !*path) return;
  ChannelsLock guard;
  FlushPath(path);
  RotateLocked(path);
}

void LogFlush(void) {
  ChannelsLock guard;
  for (Channel &c : g_log.ch) Flush(c);
}

void LogFlushDue(void) {
  uint32_t now = Now();
  ChannelsLock guard;
  for (Channel &c : g_log.ch)
    if (c.used && now - c.since >= (uint32_t)kFlushMs) Flush(c);
}

void LogFlushFromSignal(void) {
  // Only atomics and write(2): the lock may be held by the thread the
  // signal interrupted; a thread in the middle of a change keeps its lines.
  int idle = 0;
  if (!g_channels_state.compare_exchange_strong(idle, 2, std::memory_order_acquire)) return;
  for (Channel &c : g_log.ch) {
    if (c.fd >= 0 && c.used && WriteFd(c.fd, c.buf, c.used)) c.used = 0;
  }
  g_channels_state.store(0, std::memory_order_release);
}

void LogSetClock(uint32_t (*now)(void)) {
  g_clock.store(now, std::memory_order_relaxed);
}

void LogCheckFiles(void) {
  ChannelsLock guard;
  uint32_t due = Now() - (uint32_t)kCheckMs;
  for (Channel &c : g_log.ch) c.checked = due;
}

int NestMove(int delta) {
  if (LOG_GATHER *g = tl_gather) {
    long long level = (long long)g->nest + delta;
    if (level < 0) {
      GatherRaw(g, kNestSmall, sizeof kNestSmall - 1);
      level = 0;
    } else if (level > kMaxNest) {
      GatherRaw(g, kNestLarge, sizeof kNestLarge - 1);
      level = kMaxNest;
    }
    g->nest = (int)level;
    return g->nest;
  }
  ChannelsLock guard;
  long long level = (long long)g_log.nest + delta;
  const char *error = nullptr;
  size_t error_len = 0;
  if (level < 0) {
    error = kNestSmall;
    error_len = sizeof kNestSmall - 1;
    level = 0;
  } else if (level > kMaxNest) {
    error = kNestLarge;
    error_len = sizeof kNestLarge - 1;
    level = kMaxNest;
  }
  if (error) {
    AppendRawLine(error, error_len);
    if (tl_copy) GatherRaw(tl_copy, error, error_len);
  }
  g_log.nest = (int)level;
  return g_log.nest;
}

const char *LogFilePath(int channel) {
  if (channel < 0 || channel > 1) return "";
  return g_log.ch[channel].path;
}

void LogShutdown(void) {
  ChannelsLock guard;
  for (Channel &c : g_log.ch) {
    CloseChannel(c);
    c.path[0] = 0;
  }
  g_log.nest = 0;
  ReleaseFolderLock(g_log.lock_fd);
  g_log.lock_fd = -1;
  g_log.lock_state = 0;
}

int LogOfAnotherInstance(void) {
  ChannelsLock guard;
  return g_log.lock_state == 2;
}

int LogNestLevel(void) {
  ChannelsLock guard;
  return g_log.nest;
}
