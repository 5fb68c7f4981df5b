// The text editor launches for a function of the Function List: on a private
// copy of the function's text, or on its whole source at its name's line (or
// at any line, for a call). Each launch is watched until it ends, so that a
// launch that fails can be reported.
#include <string>
#include <vector>

#include "engine/ana.h"
#include "foundation/memory.h"
#include "foundation/settings.h"
#include "graph/graph.h"
#include "graph/graph_internal.h"
#include "platform/codepage.h"
#include "platform/process.h"
#include "platform/tempdir.h"
#include "xref/xref.h"

// The engine's source loader (declared in its internal header): the whole
// file brought to Shift_JIS in a new MemAlloc block; the length, 0 on failure.
int load_source(const char *path, char **text);

namespace {

// The fixed name of the function copy: opening a function again overwrites it.
const char kTempName[] = "VLM174B.TMP";

}  // namespace

namespace {

// The launches not yet seen to end, with the program each started; the
// program's main thread alone starts and polls them.
struct Launched {
  WatchedProcess process;
  std::string program;
};
std::vector<Launched> g_launched;

// Starts program with extra arguments and file last, and watches it.
void Launch(const std::string &program, std::vector<std::string> extra, const char *file) {
  std::vector<std::string> args;
  args.push_back(program);
  for (std::string &a : extra) args.push_back(std::move(a));
  args.push_back(file ? file : "");
  Launched l;
  StartWatchedProcess(args, &l.process);
  l.program = program;
  g_launched.push_back(std::move(l));
}

}  // namespace

int PollLaunches(std::string *failure) {
  for (size_t i = 0; i < g_launched.size(); i++) {
    std::string why;
    int r = PollWatchedProcess(&g_launched[i].process, &why);
    if (r == 0) continue;
    std::string program = g_launched[i].program;
    g_launched.erase(g_launched.begin() + (long)i);
    if (r < 0) {
      if (failure) *failure = program + ": " + why;
      return -1;
    }
    i--;
  }
  return g_launched.empty() ? 0 : 1;
}

void ForgetLaunches(void) {
  for (Launched &l : g_launched) ForgetWatchedProcess(&l.process);
  g_launched.clear();
}

void LaunchProgram(const char *program, const char *file, const char *args) {
  std::vector<std::string> extra;
  if (args && *args) {
    extra = SplitCommandLine(("- " + std::string(args)).c_str());
    extra.erase(extra.begin());
  }
  Launch(program ? program : "", extra, file);
}

int OpenFunctionText(int sid, int fid) {
  ST_FUNC *f = ANA_FindFunction(sid, fid);
  if (!f) return 0;
  if (f->def_len <= 0) return 1;
  if (!f->source) return 0;
  char *text = nullptr;
  int n = load_source(f->source->path, &text);
  if (n <= 0 || !text) {
    if (text) MemFree(text);
    return 0;
  }
  // The offsets come from the analysis; a file changed since then may be
  // shorter, and nothing is read past what was loaded.
  if (f->def_offset < 0 || f->def_offset > n || f->def_len > n - f->def_offset) {
    MemFree(text);
    return 0;
  }
  char dir[4096];
  int ok = PrivateTempDir(dir, sizeof dir);
  std::string path = std::string(dir) + "/" + kTempName;
  ok = ok && WriteFileNoFollow(path.c_str(), text + f->def_offset, (size_t)f->def_len, "\r\n", 2);
  MemFree(text);
  if (!ok) return 0;
  LaunchProgram(SjisToUtf8(g_config.EDITOR).c_str(), path.c_str(), nullptr);
  return 1;
}

namespace {

// The editor on path at line (0-based).
void OpenAtLine(const char *path, int line) {
  // The line goes into its own argument of EDITOR_CMD, split first.
  std::string tmpl = SjisToUtf8(g_config.EDITOR_CMD);
  Launch(SjisToUtf8(g_config.EDITOR),
         TemplateArguments(tmpl.c_str(), "", "d", false, {{nullptr, line + 1}}), path);
}

}  // namespace

int OpenSourceAtFunction(int sid, int fid) {
  ST_FUNC *f = ANA_FindFunction(sid, fid);
  if (!f) return 0;
  // Its name's line: where its text starts may be a long comment above it.
  if (f->def_len > 0 && f->source) OpenAtLine(f->source->path, f->name_line);
  return 1;
}

int OpenSourceAtLine(int sid, int line) {
  ST_SOURCE *s = ANA_FindSource(sid);
  if (!s || !s->path || line < 0) return 0;
  OpenAtLine(s->path, line);
  return 1;
}
