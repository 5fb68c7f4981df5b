// The log channels as a user sees them on the desktop: which lines arrive,
// how they are cleaned, indented and stamped, how old files are kept, and
// what happens when a file grows past the limit or disappears.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <regex>
#include <string>
#include <thread>

#include "foundation/log.h"
#include "foundation/memory.h"
#include "foundation/trace.h"
#include "foundation/trace_capture.h"
#include "support/testenv.h"
#include "trace_capture.h"

using velmora_test::Exists;
using velmora_test::MakeTempDir;
using velmora_test::ReadFile;
using velmora_test::WriteFile;

namespace {

// The time the log's timers see: it stands still until a test moves it.
std::atomic<uint32_t> g_now{1000};
uint32_t TestNow() {
  return g_now.load();
}
void Advance(uint32_t ms) {
  g_now += ms;
}

// Each test gets its own desktop and clock, and leaves the log module closed
// and the environment as it found it.
class Log : public ::testing::Test {
 protected:
  void SetUp() override {
    LogSetClock(TestNow);
    const char *old = getenv("XDG_DESKTOP_DIR");
    had_old_ = old != nullptr;
    if (old) old_ = old;
    desk_ = MakeTempDir("logdesk");
    setenv("XDG_DESKTOP_DIR", desk_.c_str(), 1);
    level_ = LogGetLevel();
    LogShutdown();
  }
  void TearDown() override {
    LogShutdown();
    LogSetLevel(level_);
    if (had_old_)
      setenv("XDG_DESKTOP_DIR", old_.c_str(), 1);
    else
      unsetenv("XDG_DESKTOP_DIR");
    velmora_test::RemoveTree(desk_);
    LogSetClock(nullptr);
  }
  std::string Path(const std::string &name) const { return desk_ + "/" + name; }
  // The file as it stands once the buffered lines are written.
  static std::string Flushed(const std::string &path) {
    LogFlush();
    return ReadFile(path);
  }

  std::string desk_, old_;
  bool had_old_ = false;
  int level_ = -1;
};

}  // namespace

TEST_F(Log, LevelFiltersLinesPerChannel) {
  LogOpen(0, "debug");
  LogOpen(1, "result");
  EXPECT_EQ(std::string(LogFilePath(0)), Path("debug.txt"));
  EXPECT_EQ(std::string(LogFilePath(1)), Path("result.txt"));
  EXPECT_STREQ(LogFilePath(2), "");

  LogSetLevel(-1);
  LogPrint(0, LOG_RESULT, "before the level is set\r\n");
  LogSetLevel(0);
  EXPECT_EQ(LogGetLevel(), 0);
  LogPrint(0, LOG_RESULT, "func %s %d\r\n", "main", 3);
  LogPrint(1, LOG_RESULT, "summary\r\n");
  LogPrint(2, LOG_DEBUG, "trace\r\n");
  LogPrint(0, 2, "channel two goes nowhere\r\n");
  EXPECT_EQ(Flushed(Path("result.txt")), "func main 3\r\n");
  EXPECT_FALSE(Exists(Path("debug.txt")));

  LogSetLevel(2);
  LogPrint(2, LOG_DEBUG, "trace %d\r\n", 2);
  LogPrint(1, LOG_DEBUG, "summary\r\n");
  EXPECT_EQ(Flushed(Path("debug.txt")), "trace 2\r\nsummary\r\n");
}

TEST_F(Log, UnprintableBytesBecomeDotsButSjisPairsStayWhole) {
  LogOpen(1, "result");
  LogSetLevel(0);
  // 0x07 and 0xA1 alone are replaced; 0x88 0xA1 and 0x81 0x80 are characters;
  // half-width katakana stays; 0x7F, 0xFD and a lead byte at the very end go.
  LogPrint(0, LOG_RESULT, "%s",
           "a\x07"
           "b\xA1"
           "c\x88\xA1"
           "d\x81\x80"
           "e\xB1\xDF\x7F\xFD\t\r\n\x81");
  EXPECT_EQ(Flushed(Path("result.txt")),
            "a.b.c\x88\xA1"
            "d\x81\x80"
            "e\xB1\xDF..\t\r\n.");
}

TEST_F(Log, NestLevelIndentsAndTimeStampLeads) {
  LogOpen(0, "debug");
  LogOpen(1, "result");
  LogSetLevel(0);
  EXPECT_EQ(NestMove(1), 1);
  EXPECT_EQ(NestMove(1), 2);
  LogPrint(0, LOG_RESULT, "two\r\n");
  LogPrint(0, LOG_RESULT | LOG_TIME, "stamped\r\n");
  EXPECT_EQ(NestMove(-2), 0);
  LogPrint(0, LOG_RESULT, "none\r\n");
  std::string text = Flushed(Path("result.txt"));
  std::regex form(
      "\t\ttwo\r\n"
      "\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d\\.\\d{3} \t\tstamped\r\n"
      "none\r\n");
  EXPECT_TRUE(std::regex_match(text, form)) << text;
}

TEST_F(Log, NestMoveStaysWithinBoundsAndSaysSoInTheDebugFile) {
  LogOpen(0, "debug");
  LogSetLevel(0);  // no level applies to these lines
  EXPECT_EQ(NestMove(-1), 0);
  EXPECT_EQ(NestMove(20), 16);
  EXPECT_EQ(NestMove(1), 16);
  EXPECT_EQ(NestMove(-16), 0);
  EXPECT_EQ(Flushed(Path("debug.txt")),
            "NestMove Error ! : smaller than 0.\n"
            "NestMove Error ! : larger than 16.\n"
            "NestMove Error ! : larger than 16.\n");
}

TEST_F(Log, LongLinesAreCutToTheLineBuffer) {
  LogOpen(1, "result");
  LogSetLevel(0);
  std::string big(3000, 'x');
  LogPrint(0, LOG_RESULT, "%s", big.c_str());
  EXPECT_EQ(Flushed(Path("result.txt")).size(), 2047u);  // the message buffer's limit
  unlink(Path("result.txt").c_str());
  LogCheckFiles();

  NestMove(16);
  LogPrint(0, LOG_RESULT | LOG_TIME, "%s", big.c_str());
  NestMove(-16);
  // Stamp (24) + 16 TABs + 2039 message bytes fill the 2080-byte buffer.
  std::string line = Flushed(Path("result.txt"));
  EXPECT_EQ(line.size(), 2079u);
  EXPECT_EQ(line.substr(24, 17), std::string(16, '\t') + "x");
}

TEST_F(Log, OpenKeepsOlderFilesUnderNumberedNames) {
  WriteFile(Path("debug.txt"), "old run\r\n");
  WriteFile(Path("debug[1].txt"), "1");
  WriteFile(Path("debug[2].txt"), "2");
  LogOpen(0, "debug");
  EXPECT_FALSE(Exists(Path("debug.txt")));
  EXPECT_EQ(Flushed(Path("debug[3].txt")), "old run\r\n");
  EXPECT_EQ(Flushed(Path("debug[1].txt")), "1");

  // With all five numbered names taken the old file stays and is continued.
  WriteFile(Path("debug.txt"), "kept\r\n");
  WriteFile(Path("debug[4].txt"), "4");
  WriteFile(Path("debug[5].txt"), "5");
  LogOpen(0, "debug");
  LogSetLevel(2);
  LogPrint(1, LOG_DEBUG, "new\r\n");
  EXPECT_EQ(Flushed(Path("debug.txt")), "kept\r\nnew\r\n");
}

TEST_F(Log, FilePastTenMebibytesMovesAfterTheCrossingLine) {
  LogOpen(1, "result");
  LogSetLevel(0);
  LogPrint(0, LOG_RESULT, "first\r\n");
  LogFlush();
  // Grow the open file to just below the limit, and have the writer look.
  ASSERT_EQ(truncate(Path("result.txt").c_str(), 10485760 - 2), 0);
  LogCheckFiles();
  LogPrint(0, LOG_RESULT, "ab");  // exactly 10485760 bytes: not past the limit
  EXPECT_FALSE(Exists(Path("result.txt.[1]")));
  LogPrint(0, LOG_RESULT, "crossing\r\n");
  ASSERT_TRUE(Exists(Path("result.txt.[1]")));
  EXPECT_FALSE(Exists(Path("result.txt")));
  std::string moved = Flushed(Path("result.txt.[1]"));
  EXPECT_EQ(moved.size(), 10485760u + 10);
  EXPECT_EQ(moved.substr(moved.size() - 12), "abcrossing\r\n");
  LogPrint(0, LOG_RESULT, "fresh\r\n");
  EXPECT_EQ(Flushed(Path("result.txt")), "fresh\r\n");

  // The next rotation takes the next free number.
  ASSERT_EQ(truncate(Path("result.txt").c_str(), 10485761), 0);
  LogCheckFiles();
  LogPrint(0, LOG_RESULT, "again\r\n");
  EXPECT_TRUE(Exists(Path("result.txt.[2]")));
}

TEST_F(Log, OwnLinesAreCountedToTheExactRotationPoint) {
  LogOpen(1, "result");
  LogSetLevel(0);
  std::string kib(1022, 'k');
  for (int i = 0; i < 10240; i++) LogPrint(0, LOG_RESULT, "%s\r\n", kib.c_str());
  EXPECT_FALSE(Exists(Path("result.txt.[1]")));  // exactly 10 MiB: not past the limit
  LogPrint(0, LOG_RESULT, "crossing\r\n");
  ASSERT_TRUE(Exists(Path("result.txt.[1]")));
  EXPECT_EQ(Flushed(Path("result.txt.[1]")).size(), 10485760u + 10);
  LogPrint(0, LOG_RESULT, "fresh\r\n");
  EXPECT_EQ(Flushed(Path("result.txt")), "fresh\r\n");

  // A file emptied from outside is looked at before it would be moved: the
  // count alone does not move it.
  for (int i = 0; i < 10239; i++) LogPrint(0, LOG_RESULT, "%s\r\n", kib.c_str());
  EXPECT_FALSE(Exists(Path("result.txt.[2]")));
  LogFlush();
  ASSERT_EQ(truncate(Path("result.txt").c_str(), 0), 0);
  LogPrint(0, LOG_RESULT, "%s\r\n", kib.c_str());  // past the limit by the count alone
  EXPECT_FALSE(Exists(Path("result.txt.[2]")));
  EXPECT_EQ(Flushed(Path("result.txt")), kib + "\r\n");
}

TEST_F(Log, RotateAndAppendWorkOnAnyPath) {
  std::string p = Path("other.txt");
  LogAppend(p.c_str(), "abc", 3);
  LogAppend(p.c_str(), "de", 2);
  LogAppend(p.c_str(), "ignored", 0);
  EXPECT_EQ(ReadFile(p), "abcde");
  LogRotate(p.c_str());
  EXPECT_TRUE(Exists(p));
  ASSERT_EQ(truncate(p.c_str(), 10485761), 0);
  LogRotate(p.c_str());
  EXPECT_FALSE(Exists(p));
  EXPECT_TRUE(Exists(p + ".[1]"));
  LogRotate(Path("missing.txt").c_str());  // nothing to do, no file made
  EXPECT_FALSE(Exists(Path("missing.txt")));
}

TEST_F(Log, FileDeletedOrMovedWhileOpenIsFollowedByAFreshFile) {
  LogOpen(1, "result");
  LogSetLevel(0);
  LogPrint(0, LOG_RESULT, "one\r\n");
  ASSERT_EQ(unlink(Path("result.txt").c_str()), 0);
  LogCheckFiles();  // as after 200 ms
  LogPrint(0, LOG_RESULT, "two\r\n");
  EXPECT_EQ(Flushed(Path("result.txt")), "two\r\n");

  // Within 200 ms the file is not looked at: the line follows the old one.
  ASSERT_EQ(rename(Path("result.txt").c_str(), Path("saved.txt").c_str()), 0);
  Advance(199);
  LogPrint(0, LOG_RESULT, "three\r\n");
  EXPECT_EQ(Flushed(Path("saved.txt")), "two\r\nthree\r\n");
  EXPECT_FALSE(Exists(Path("result.txt")));
  Advance(1);
  LogPrint(0, LOG_RESULT, "four\r\n");
  EXPECT_EQ(Flushed(Path("saved.txt")), "two\r\nthree\r\n");
  EXPECT_EQ(Flushed(Path("result.txt")), "four\r\n");

  // A deletion is noticed by the timer too, from the link count.
  ASSERT_EQ(unlink(Path("result.txt").c_str()), 0);
  Advance(200);
  LogPrint(0, LOG_RESULT, "five\r\n");
  EXPECT_EQ(Flushed(Path("result.txt")), "five\r\n");
}

TEST_F(Log, UnusableDesktopLeavesLoggingOff) {
  std::string blocker = Path("plainfile");
  WriteFile(blocker, "x");
  setenv("XDG_DESKTOP_DIR", (blocker + "/Desktop").c_str(), 1);
  LogOpen(1, "result");
  EXPECT_STREQ(LogFilePath(1), "");
  LogSetLevel(0);
  LogPrint(0, LOG_RESULT, "lost\r\n");
  EXPECT_EQ(NestMove(-1), 0);  // no debug file: the message goes nowhere
}

TEST_F(Log, LinesFromSeveralThreadsStayWhole) {
  LogOpen(1, "result");
  LogSetLevel(0);
  auto writer = [](char tag) {
    for (int i = 0; i < 500; i++) LogPrint(0, LOG_RESULT, "%c%04d--------\r\n", tag, i);
  };
  std::thread a(writer, 'a'), b(writer, 'b');
  a.join();
  b.join();
  std::string text = Flushed(Path("result.txt"));
  ASSERT_EQ(text.size(), 1000u * 15);
  std::regex line("[ab]\\d{4}--------\r\n");
  for (size_t at = 0; at < text.size(); at += 15)
    ASSERT_TRUE(std::regex_match(text.substr(at, 15), line)) << at;
}

TEST_F(Log, LinesWaitInTheBufferUntilAFlushPoint) {
  LogOpen(0, "debug");
  LogOpen(1, "result");
  LogSetLevel(1);
  const std::string result = Path("result.txt"), debug = Path("debug.txt");
  LogPrint(0, LOG_RESULT, "a\r\n");
  Advance(199);
  LogFlushDue();  // not yet 200 ms old
  EXPECT_EQ(ReadFile(result), "");
  Advance(1);
  LogFlushDue();  // the worker's tick
  EXPECT_EQ(ReadFile(result), "a\r\n");

  // A line printed 200 ms after the oldest buffered one writes that one
  // (the look at the file comes first) and waits itself.
  LogPrint(0, LOG_RESULT, "b\r\n");
  Advance(200);
  LogPrint(0, LOG_RESULT, "c\r\n");
  EXPECT_EQ(ReadFile(result), "a\r\nb\r\n");

  // A full buffer (64 KiB) is written before the line that does not fit.
  std::string line(1022, 'x');
  line += "\r\n";
  for (int i = 0; i < 70; i++) LogPrint(0, LOG_RESULT, "%s", line.c_str());
  std::string part = ReadFile(result);
  EXPECT_EQ(part.size(), 6u + 3 + 63 * line.size());
  EXPECT_EQ(Flushed(result).size(), 9u + 70 * line.size());

  // NestMove's error lines keep their place among the buffered lines.
  LogPrint(1, LOG_DEBUG, "before\r\n");
  NestMove(-1);
  LogPrint(1, LOG_DEBUG, "after\r\n");
  EXPECT_EQ(ReadFile(debug), "");
  EXPECT_EQ(Flushed(debug), "before\r\nNestMove Error ! : smaller than 0.\nafter\r\n");

  // The signal-safe flush writes what is buffered, once.
  LogPrint(1, LOG_DEBUG, "last\r\n");
  LogFlushFromSignal();
  LogFlushFromSignal();
  EXPECT_EQ(ReadFile(debug), "before\r\nNestMove Error ! : smaller than 0.\nafter\r\nlast\r\n");
  LogShutdown();  // writes nothing more
  EXPECT_EQ(ReadFile(debug), "before\r\nNestMove Error ! : smaller than 0.\nafter\r\nlast\r\n");
}

namespace {

// What one unit of work prints: lines of both channels, one filtered out by
// its level, nesting past both bounds of the indentation, and trace lines.
// mark (may be null) sets a mark where a slice would end.
void PrintSomeWork(LOG_GATHER *mark) {
  LogPrint(1, LOG_DEBUG, "start %d\r\n", 1);
  LogPrint(2, LOG_DEBUG, "filtered\r\n");
  for (int i = 0; i < 18; i++) NestMove(+1);
  LogPrint(0, LOG_RESULT, "deep \x07\x82\xa0\r\n");
  DebugPrint("trace %s\r\n", "one");
  if (mark) LogGatherMark(mark, 40);
  for (int i = 0; i < 20; i++) NestMove(-1);
  for (int i = 0; i < 2; i++) NestMove(+1);
  LogPrint(1, LOG_DEBUG, "back\r\n");
  DebugPrint("trace two\r\n");
  for (int i = 0; i < 2; i++) NestMove(-1);
  if (mark) LogGatherMark(mark, 100);
}

}  // namespace

TEST_F(Log, GatheredOnAnotherThreadAndReplayedWritesWhatPrintingWould) {
  velmora_test::TraceCapture trace;
  LogOpen(0, "debug");
  LogOpen(1, "result");
  LogSetLevel(1);
  PrintSomeWork(nullptr);
  std::string debug = Flushed(Path("debug.txt")), result = Flushed(Path("result.txt"));
  std::string traced = trace.text();
  ASSERT_NE(debug.find("NestMove Error ! : larger than 16.\n"), std::string::npos);
  ASSERT_NE(debug.find("NestMove Error ! : smaller than 0.\n"), std::string::npos);
  ASSERT_EQ(NestMove(0), 0);

  LogShutdown();
  velmora_test::RemoveTree(desk_);
  desk_ = MakeTempDir("logdesk");
  setenv("XDG_DESKTOP_DIR", desk_.c_str(), 1);
  LogOpen(0, "debug");
  LogOpen(1, "result");
  trace.clear();
  unsigned live = MemLiveCount();
  LOG_GATHER g;
  LogGatherInit(&g, 0);
  std::thread worker([&g] {
    LogGatherBegin(&g);
    PrintSomeWork(&g);
    LogGatherEnd();
  });
  worker.join();
  EXPECT_EQ(trace.text(), "");  // nothing written yet
  EXPECT_EQ(Flushed(Path("debug.txt")), "");
  LOG_REPLAY at = {};
  std::vector<int> marks;
  int mark = 0;
  while (LogGatherReplay(&g, &at, &mark)) marks.push_back(mark);
  EXPECT_EQ(marks, (std::vector<int>{40, 100}));
  EXPECT_EQ(LogGatherReplay(&g, &at, &mark), 0);  // stays at the end
  EXPECT_EQ(Flushed(Path("debug.txt")), debug);
  EXPECT_EQ(Flushed(Path("result.txt")), result);
  EXPECT_EQ(trace.text(), traced);
  EXPECT_EQ(NestMove(0), 0);  // the gathering had its own level
  LogGatherRelease(&g);
  EXPECT_EQ(MemLiveCount(), live);
}

// A planted link, or anything but a regular file with one link, at a log's
// path turns that channel off, as an unwritable desktop does: nothing is
// written through it, and the trace says why.
TEST_F(Log, PlantedLinksAndSpecialFilesTurnTheChannelOff) {
  velmora_test::TraceCapture trace;
  std::string victim = desk_ + "-victim";
  WriteFile(victim, "precious\n");
  for (int k = 1; k <= 5; k++) WriteFile(Path("result[" + std::to_string(k) + "].txt"), "old");
  ASSERT_EQ(symlink(victim.c_str(), Path("result.txt").c_str()), 0);
  ASSERT_EQ(mkfifo(Path("debug.txt").c_str(), 0600), 0);
  // debug.txt rotates away to debug[1].txt; make that impossible too.
  for (int k = 1; k <= 5; k++) WriteFile(Path("debug[" + std::to_string(k) + "].txt"), "old");
  LogOpen(0, "debug");
  LogOpen(1, "result");
  LogSetLevel(2);
  LogPrint(0, LOG_RESULT, "result line\r\n");
  LogPrint(0, LOG_DEBUG, "debug line\r\n");
  NestMove(-1);  // written straight to the debug file: refused as well
  EXPECT_EQ(ReadFile(victim), "precious\n");
  EXPECT_STREQ(LogFilePath(1), "");
  EXPECT_STREQ(LogFilePath(0), "");
  EXPECT_NE(trace.text().find("LogPrint :Link, output off! \"" + Path("result.txt") + "\"\r\n"),
            std::string::npos)
      << trace.text();
  EXPECT_NE(trace.text().find("LogPrint :Not a regular file, output off! \"" + Path("debug.txt") +
                              "\"\r\n"),
            std::string::npos)
      << trace.text();
  LogPrint(0, LOG_RESULT, "later line\r\n");  // the channel stays off
  EXPECT_EQ(ReadFile(victim), "precious\n");
  unlink(victim.c_str());
}

// A second name of another file (a hard link) is not a log of ours either,
// and a link placed after the file was moved away is not followed when the
// file is made again.
TEST_F(Log, HardLinksAndLinksPlantedLaterAreRefused) {
  velmora_test::TraceCapture trace;
  std::string victim = desk_ + "/victim";
  WriteFile(victim, "precious\n");
  LogOpen(1, "result");
  LogSetLevel(0);
  LogPrint(0, LOG_RESULT, "one\r\n");
  ASSERT_EQ(rename(Path("result.txt").c_str(), Path("moved.txt").c_str()), 0);
  ASSERT_EQ(symlink(victim.c_str(), Path("result.txt").c_str()), 0);
  LogCheckFiles();
  LogPrint(0, LOG_RESULT, "two\r\n");
  EXPECT_EQ(ReadFile(victim), "precious\n");
  EXPECT_EQ(Flushed(Path("moved.txt")), "one\r\n");

  LogShutdown();
  unlink(Path("result.txt").c_str());
  for (int k = 1; k <= 5; k++) WriteFile(Path("result[" + std::to_string(k) + "].txt"), "old");
  ASSERT_EQ(link(victim.c_str(), Path("result.txt").c_str()), 0);
  LogOpen(1, "result");
  LogPrint(0, LOG_RESULT, "three\r\n");
  EXPECT_EQ(ReadFile(victim), "precious\n");
  EXPECT_NE(trace.text().find("LogPrint :File with other links, output off!"), std::string::npos);
}
