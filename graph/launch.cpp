// The text editor launches for a function of the Function List: on a private
// copy of the function's text, or on its whole source at its line.
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

// Starts program with extra arguments and file last, and forgets it.
void Launch(const std::string &program, std::vector<std::string> extra, const char *file) {
  std::vector<std::string> args;
  args.push_back(program);
  for (std::string &a : extra) args.push_back(std::move(a));
  args.push_back(file ? file : "");
  ForgetProcess(StartProcessArgs(args, 0));
}

}  // namespace

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

int OpenSourceAtFunction(int sid, int fid) {
  ST_FUNC *f = ANA_FindFunction(sid, fid);
  if (!f) return 0;
  if (f->def_len > 0 && f->source) {
    // The line goes into its own argument of EDITOR_CMD, split first.
    std::string tmpl = SjisToUtf8(g_config.EDITOR_CMD);
    Launch(SjisToUtf8(g_config.EDITOR),
           TemplateArguments(tmpl.c_str(), "", "d", false, {{nullptr, f->line + 1}}),
           f->source->path);
  }
  return 1;
}
