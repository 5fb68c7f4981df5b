// The process launcher (command-line splitting, start, poll, reaping), the
// private temporary folder and the default-viewer lookup.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "platform/files.h"
#include "platform/process.h"
#include "platform/tempdir.h"
#include "platform/viewer_assoc.h"
#include "support/testenv.h"

using namespace velmora_test;

namespace {

typedef std::vector<std::string> Args;

}  // namespace

TEST(CommandLine, SplitsLikeTheCRuntime) {
  struct Case {
    const char *line;
    Args want;
  } cases[] = {
      {"", {}},
      {"   \t ", {}},
      {"prog a  b\tc", {"prog", "a", "b", "c"}},
      {"\"C:/Program Files/x\" \"a b\" c", {"C:/Program Files/x", "a b", "c"}},
      // The quoted program ends at its closing quote.
      {"\"/usr/bin/dot\"-Tgif -o \"p q.gif\" \"g.dot\"",
       {"/usr/bin/dot", "-Tgif", "-o", "p q.gif", "g.dot"}},
      {"p a\\\\\\\"b", {"p", "a\\\"b"}},        // 3 backslashes + quote: \ and "
      {"p a\\\\\"b c\"", {"p", "a\\b c"}},      // 2 backslashes + quote: \ and open
      {"p a\\b\\\\c", {"p", "a\\b\\\\c"}},      // backslashes without a quote stay
      {"p \"a\"\"b\" c", {"p", "a\"b", "c"}},   // "" inside quotes: one quote
      {"p \"\" x", {"p", "", "x"}},             // empty argument
      {"p \"open ended", {"p", "open ended"}},  // quote never closed
      {"p a\"b c\"d", {"p", "ab cd"}},          // quotes inside a word
      {"\"unterminated prog", {"unterminated prog"}},
  };
  for (const Case &c : cases) EXPECT_EQ(SplitCommandLine(c.line), c.want) << c.line;
  EXPECT_TRUE(SplitCommandLine(nullptr).empty());
}

TEST(CommandLine, QuotedArgumentsComeBackUnchanged) {
  const char *samples[] = {"plain",    "with blank", "quote\"inside",          "trailing\\",
                           "a\\\\\"b", "",           "\\\\server\\share dir\\"};
  for (const char *s : samples) {
    Args got = SplitCommandLine(("prog " + QuoteArgument(s)).c_str());
    ASSERT_EQ(got.size(), 2u) << s;
    EXPECT_EQ(got[1], s);
  }
}

TEST(Processes, StartPollAndReap) {
  std::string dir = MakeTempDir("proc");
  std::string script = dir + "/args.sh";
  WriteFile(script, "#!/bin/sh\nprintf '[%s]' \"$@\" > \"$(dirname \"$0\")/out\"\necho noise\n");
  chmod(script.c_str(), 0755);

  long pid = StartProcess((script + " one \"t w o\" \"\"").c_str(), 1);
  ASSERT_GT(pid, 0);
  int ended = 0;
  for (int i = 0; i < 500 && !(ended = PollProcess(pid)); i++) usleep(10000);
  EXPECT_EQ(ended, 1);
  EXPECT_EQ(ReadFile(dir + "/out"), "[one][t w o][]");
  EXPECT_EQ(PollProcess(pid), 1);  // already reaped

  // Forgotten children are waited for in the background.
  long a = StartProcess("/bin/sleep 0.1", 1);
  long b = StartProcess("/bin/true", 0);
  ASSERT_GT(a, 0);
  ASSERT_GT(b, 0);
  ForgetProcess(a);
  ForgetProcess(b);
  for (int i = 0; i < 300 && PendingReapCount() > 0; i++) usleep(10000);
  EXPECT_EQ(PendingReapCount(), 0);
  EXPECT_FALSE(Exists("/proc/" + std::to_string(a)));
  EXPECT_FALSE(Exists("/proc/" + std::to_string(b)));

  // Never through a shell: metacharacters are plain argument text.
  EXPECT_GT(pid = StartProcess((script + " ';' '$(id)' '>x'").c_str(), 1), 0);
  while (!PollProcess(pid)) usleep(10000);
  EXPECT_EQ(ReadFile(dir + "/out"), "[';']['$(id)']['>x']");

  EXPECT_EQ(StartProcess("", 1), -1);
  EXPECT_EQ(StartProcess((dir + "/no-such-program").c_str(), 1), -1);
  RemoveTree(dir);
}

// 1 while pid names a process that has not ended (a zombie has ended).
bool Running(long pid) {
  std::string stat = ReadFile("/proc/" + std::to_string(pid) + "/stat");
  size_t close = stat.rfind(')');
  return close != std::string::npos && close + 2 < stat.size() && stat[close + 2] != 'Z';
}

TEST(Processes, KillEndsTheWholeGroupAndReaps) {
  std::string dir = MakeTempDir("kill");
  std::string script = dir + "/slow.sh";
  // A renderer that starts a helper of its own and then waits for it.
  WriteFile(script, "#!/bin/sh\nsleep 300 &\necho $! > \"$(dirname \"$0\")/helper\"\nwait\n");
  chmod(script.c_str(), 0755);
  long pid = StartProcess(script.c_str(), 1);
  ASSERT_GT(pid, 0);
  for (int i = 0; i < 500 && ReadFile(dir + "/helper").empty(); i++) usleep(10000);
  long helper = atol(ReadFile(dir + "/helper").c_str());
  ASSERT_GT(helper, 0);
  EXPECT_EQ(PollProcess(pid), 0);
  KillProcess(pid);
  EXPECT_FALSE(Exists("/proc/" + std::to_string(pid)));  // reaped: no zombie of ours
  for (int i = 0; i < 300 && Running(helper); i++) usleep(10000);
  EXPECT_FALSE(Running(helper));
  KillProcess(0);  // nothing to do
  KillProcess(-1);
  RemoveTree(dir);
}

TEST(Processes, FindProgram) {
  std::string found;
  EXPECT_EQ(FindProgram("sh", &found), 1);
  EXPECT_EQ(found.substr(found.size() - 3), "/sh");
  EXPECT_EQ(FindProgram("/bin/sh", &found), 1);
  EXPECT_EQ(found, "/bin/sh");
  EXPECT_EQ(FindProgram("no-such-program-here", &found), 0);
  EXPECT_EQ(FindProgram("", &found), 0);
}

TEST(PrivateTemp, CreatedPrivateAndCheckedEachTime) {
  std::string base = MakeTempDir("tmpbase");
  std::string old = getenv("TMPDIR");
  setenv("TMPDIR", base.c_str(), 1);
  std::string want = base + "/velmora-" + std::to_string(getuid());
  char buf[4096];
  ASSERT_EQ(PrivateTempDir(buf, sizeof buf), 1);
  EXPECT_EQ(std::string(buf), want);
  struct stat st;
  ASSERT_EQ(stat(want.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);

  chmod(want.c_str(), 0777);  // loosened by someone: tightened again
  ASSERT_EQ(PrivateTempDir(buf, sizeof buf), 1);
  stat(want.c_str(), &st);
  EXPECT_EQ(st.st_mode & 0777, 0700u);

  // Files: written, overwritten, never through a link.
  std::string file = want + "/f";
  EXPECT_EQ(WriteFileNoFollow(file.c_str(), "abc", 3, "\r\n", 2), 1);
  EXPECT_EQ(WriteFileNoFollow(file.c_str(), "x", 1, nullptr, 0), 1);
  EXPECT_EQ(ReadFile(file), "x");
  std::string link = want + "/l";
  ASSERT_EQ(symlink((base + "/target").c_str(), link.c_str()), 0);
  EXPECT_EQ(WriteFileNoFollow(link.c_str(), "x", 1, nullptr, 0), 0);
  EXPECT_FALSE(Exists(base + "/target"));

  // A link in place of the folder, or a folder of another user: refused, and
  // a fresh folder of this process stands in for it (the same one each time)
  // until it is released.
  RemoveTree(want);
  mkdir((base + "/elsewhere").c_str(), 0700);
  ASSERT_EQ(symlink((base + "/elsewhere").c_str(), want.c_str()), 0);
  ASSERT_EQ(PrivateTempDir(buf, sizeof buf), 1);
  std::string standin = buf;
  EXPECT_EQ(standin.compare(0, want.size() + 1, want + "-"), 0) << standin;
  ASSERT_EQ(lstat(standin.c_str(), &st), 0);
  EXPECT_TRUE(S_ISDIR(st.st_mode));
  EXPECT_EQ(st.st_mode & 0777, 0700u);
  EXPECT_EQ(st.st_uid, getuid());
  EXPECT_EQ(Listing(base + "/elsewhere"), "");
  std::string made;
  int fd = CreatePrivateTemp("render-", ".dot", &made);
  ASSERT_GE(fd, 0);
  CloseFd(fd);
  EXPECT_EQ(made.compare(0, standin.size() + 8, standin + "/render-"), 0) << made;
  unlink(made.c_str());
  unlink(want.c_str());
  if (getuid() == 0) {
    mkdir(want.c_str(), 0700);
    ASSERT_EQ(chown(want.c_str(), 4242, 4242), 0);
    ASSERT_EQ(PrivateTempDir(buf, sizeof buf), 1);
    EXPECT_EQ(std::string(buf), standin);
  }
  ReleasePrivateTempDir();
  EXPECT_FALSE(Exists(standin));
  setenv("TMPDIR", old.c_str(), 1);
  RemoveTree(base);
}

TEST(PrivateTemp, FilesOfThisProcessAreNewAndPrivate) {
  std::string a, b;
  int fa = CreatePrivateTemp("render-", ".dot", &a);
  int fb = CreatePrivateTemp("render-", ".dot", &b);
  ASSERT_GE(fa, 0);
  ASSERT_GE(fb, 0);
  EXPECT_NE(a, b);
  EXPECT_EQ(a.substr(a.size() - 4), ".dot");
  struct stat st;
  ASSERT_EQ(fstat(fa, &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  CloseFd(fa);
  CloseFd(fb);
  unlink(a.c_str());
  unlink(b.c_str());
}

TEST(ViewerAssoc, ExecLineToTemplate) {
  EXPECT_EQ(ExecToTemplate("eog %U"), "eog %s");
  EXPECT_EQ(ExecToTemplate("viewer --name %c %i -f %f %U --more"), "viewer --name   -f %s");
  EXPECT_EQ(ExecToTemplate("\"/opt/my viewer\" \"%u\" -x"), "\"/opt/my viewer\" \"%s");
  EXPECT_EQ(ExecToTemplate("show 100%% %F"), "show 100%% %s");
  EXPECT_EQ(ExecToTemplate("noarg"), "noarg");
  EXPECT_EQ(ExecToTemplate("bad %"), "bad");
}

TEST(ViewerAssoc, DefaultsThenCache) {
  std::string root = MakeTempDir("assoc");
  std::string cfg = root + "/cfg", home = root + "/home", sys = root + "/sys";
  for (const std::string &d : {cfg, home + "/applications", sys + "/applications/kde4"})
    ASSERT_EQ(system(("mkdir -p '" + d + "'").c_str()), 0);
  setenv("XDG_CONFIG_HOME", cfg.c_str(), 1);
  setenv("XDG_CONFIG_DIRS", (root + "/nothing").c_str(), 1);
  setenv("XDG_DATA_HOME", home.c_str(), 1);
  setenv("XDG_DATA_DIRS", sys.c_str(), 1);
  std::string out;

  EXPECT_EQ(DefaultAppCommand("image/gif", &out), 0);
  EXPECT_EQ(out, "");

  // Only the cache knows a viewer, in a vendor sub-folder.
  WriteFile(sys + "/applications/mimeinfo.cache", "[MIME Cache]\nimage/gif=kde4-gv.desktop;\n");
  WriteFile(sys + "/applications/kde4/gv.desktop",
            "[Desktop Entry]\nExec=gv\\s--x %f\n[Desktop Action y]\nExec=other %f\n");
  EXPECT_EQ(DefaultAppCommand("image/gif", &out), 1);
  EXPECT_EQ(out, "gv --x %s");

  // A default in the user's mimeapps.list wins over the cache.
  WriteFile(home + "/applications/mine.desktop", "[Desktop Entry]\nExec=mine %u\n");
  WriteFile(
      cfg + "/mimeapps.list",
      "[Default Applications]\nimage/png=other.desktop\nimage/gif=gone.desktop;mine.desktop\n");
  EXPECT_EQ(DefaultAppCommand("image/gif", &out), 1);
  EXPECT_EQ(out, "mine %s");
  EXPECT_EQ(DefaultAppCommand("image/jpeg", &out), 0);

  setenv("XDG_CONFIG_HOME", (std::string(getenv("HOME")) + "/.config").c_str(), 1);
  unsetenv("XDG_CONFIG_DIRS");
  unsetenv("XDG_DATA_HOME");
  unsetenv("XDG_DATA_DIRS");
  RemoveTree(root);
}
