// Starting external programs from one command line: the renderer, the picture
// viewer and the text editor. A command line is split into arguments the way
// the Windows C runtime splits one (double quotes group, backslashes before a
// quote escape it) and the program is started directly, never through a shell.
// Every child is eventually waited for: a child that nobody polls is handed to
// a background reaper, so no zombie is left behind.
#pragma once

#include <string>
#include <vector>

#include "platform/output_files.h"

// Splits a command line into arguments. The first word names the program: when
// it starts with a double quote it ends at the next double quote (whatever
// follows directly begins the next argument), otherwise at the first blank.
// The remaining words follow the C runtime rules: blanks separate outside
// quotes, "" inside quotes is one literal quote, 2n backslashes before a quote
// give n backslashes and a quote that opens or closes, 2n+1 give n backslashes
// and a literal quote, other backslashes are literal.
std::vector<std::string> SplitCommandLine(const char *commandLine);

// Quotes one argument so that SplitCommandLine gives it back unchanged.
std::string QuoteArgument(const char *arg);

// Starts the command line as a new process in its own process group, with
// standard input from /dev/null; hidden non-zero also sends its standard
// output and error to /dev/null. Returns the process id, or -1 when the line
// is empty or the program cannot be started.
long StartProcess(const char *commandLine, int hidden);
// The same with the arguments already apart (args[0] names the program).
long StartProcessArgs(const std::vector<std::string> &args, int hidden);
// From now on every child gets /dev/null for its standard output and error,
// hidden or not: a terminal program whose output is piped must not have it
// held open by a viewer that outlives it. Set once at start-up.
void ChildrenWithoutOutput(void);

// A started program whose failure its starter wants to tell the user about
// (an editor that cannot open the file): its standard error goes to a private
// file of ours, removed at once and kept open, so what it writes can be read
// afterwards and never blocks it, however long it runs.
struct WatchedProcess {
  long pid = -1;    // the process, -1 when it could not be started
  int err_fd = -1;  // our end of its standard error, -1 when none
  int error = 0;    // why it could not be started (0: it was)
};
// Starts args like StartProcessArgs (not hidden) with standard error into a
// private file. *w describes it; pid -1 when it could not be started.
void StartWatchedProcess(const std::vector<std::string> &args, WatchedProcess *w);
// Non-blocking: 0 while it runs; 1 once it has ended with status 0; -1 once
// it has ended otherwise (or could not be started), with *why (may be null)
// the last line it wrote to its standard error, or what happened ("exit
// status 3", "killed by signal 9", the start's error). After an answer other
// than 0 it is reaped and *w is empty.
int PollWatchedProcess(WatchedProcess *w, std::string *why);
// Stops watching without waiting: the process is reaped in the background
// when it ends; *w is empty.
void ForgetWatchedProcess(WatchedProcess *w);

// Non-blocking look at a started process: 0 while it runs, 1 once it has ended
// (it is then reaped and its id must not be used again), 1 also for an id
// that is not a child of ours.
int PollProcess(long pid);

// Gives up interest in a started process: it is reaped in the background when
// it ends. Nothing for an id <= 0.
void ForgetProcess(long pid);

// The file a process leaves for its starter, who no longer waits for it: a
// picture written into the private folder, to go onto a claimed name.
struct ChildOutput {
  ClaimedFile claim;  // the claimed name (owned: moved in with the output)
  std::string dir;    // folder of the claimed name
  std::string name;   // the claimed name
  std::string from;   // the file the process writes
  std::string extra;  // one more file of its own to remove afterwards, or ""
};
// ForgetProcess, and once the process has ended its output is put in place
// (FillClaimedFile) and extra removed; when the program ends first, the
// claim is given back and both files are removed. Takes *output over (it is
// left empty). A pid <= 0 (never started) has its output put in place at once.
void ForgetProcessWithOutput(long pid, ChildOutput *output);

// Ends a started process that has not been reaped, together with everything
// it started in its process group, at once (SIGKILL), and waits for it, so no
// zombie is left; its id must not be used again. Nothing for an id <= 0.
void KillProcess(long pid);

// Number of forgotten processes not yet reaped (tests).
int PendingReapCount(void);

// Looks a program up: a name with a '/' must exist itself, other names are
// searched in $PATH for an executable file. 1 with the full path in *out.
int FindProgram(const char *name, std::string *out);
