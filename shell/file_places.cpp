// The two placement rules and the first-run set-up of the user folders.
#include "shell/file_places.h"

#include <cstring>
#include <string>

#include "foundation/text.h"
#include "foundation/trace.h"
#include "platform/codepage.h"
#include "platform/tempdir.h"
#include "platform/user_dirs.h"
#include "shell/paths.h"

// The installed sample's folder, relative to the programs' folder; the
// install rules define it from their own layout.
#ifndef VELMORA_SAMPLE_DIR_FROM_BIN
#define VELMORA_SAMPLE_DIR_FROM_BIN "../share/velmora"
#endif

namespace {

// Stores s when it fits whole; a path is never cut (else "").
void Put(char *field, const std::string &s) {
  if (s.size() + 1 > VELMORA_PATH_MAX) {
    field[0] = 0;
    return;
  }
  memcpy(field, s.c_str(), s.size() + 1);
}

}  // namespace

std::string FolderOfPath(const std::string &path) {
  size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

std::string ResolveFromFolder(std::string folder, const char *rel) {
  while (strncmp(rel, "../", 3) == 0) {
    folder = FolderOfPath(folder);
    rel += 3;
  }
  return folder + "/" + rel;
}

namespace {

// "<base of that kind>/velmora/<name>", or "" when there is no base.
std::string InUserDir(UserDir which, const char *name) {
  char base[VELMORA_PATH_MAX];
  if (!UserBaseDir(which, base, sizeof base)) return std::string();
  return std::string(base) + "/velmora/" + name;
}

void Trace(const char *what, const std::string &path) {
  DebugPrint("PrepareFilePlaces :%s %s\r\n", what, Utf8ToSjis(path).c_str());
}

}  // namespace

void FindFilePlaces(const char *program_path, const char *ini, FilePlaces *out) {
  *out = FilePlaces();
  out->named = ini && *ini ? 1 : 0;
  std::string program = program_path ? program_path : "";

  // Both programs read the settings of the name "velmora" in their folder, so
  // one file serves the desktop program and velmora-cli alike.
  char beside[VELMORA_PATH_MAX] = "";
  if (!program.empty()) {
    char base[VELMORA_PATH_MAX];
    CopyText(base, sizeof base, program.c_str());
    CutToFolder(base);
    if (AddTrailingBackslash(base, sizeof base) &&
        CopyText(base + strlen(base), sizeof base - strlen(base), "velmora") == 7)
      SettingsPathFromProgram(base, ".ini", beside, sizeof beside);
  }

  if (beside[0] && FileExists(beside)) {
    out->placement = FilePlacement::kBesideProgram;
    Put(out->settings, out->named ? std::string(ini) : std::string(beside));
    return;
  }
  out->placement = FilePlacement::kUserFolders;
  Put(out->settings, out->named ? std::string(ini) : InUserDir(UserDir::kConfig, "velmora.ini"));
  if (!program.empty())
    Put(out->sample,
        ResolveFromFolder(FolderOfPath(program), VELMORA_SAMPLE_DIR_FROM_BIN) + "/velmora.ini");
  Put(out->graph_file, InUserDir(UserDir::kState, "velmora.dot"));
}

int PrepareFilePlaces(FilePlaces *places) {
  if (places->placement != FilePlacement::kUserFolders) return 1;
  int ok = 1;
  std::string settings = places->settings;
  if (!places->named && !settings.empty() && !FileExists(settings.c_str())) {
    if (!MakeUserDir(FolderOfPath(settings).c_str())) {
      Trace("cannot make the folder of", settings);
      ok = 0;
    } else if (places->sample[0] && CopyFileNoReplace(places->sample, settings.c_str())) {
      Trace("settings made from the sample:", settings);
    } else if (!FileExists(settings.c_str())) {
      Trace("no sample settings at", places->sample);
      ok = 0;
    }
  }

  std::string graph = places->graph_file;
  if (graph.empty() || !MakeUserDir(FolderOfPath(graph).c_str())) {
    // Never beside an installed program: the private temporary folder is the
    // one other place that is surely ours.
    char tmp[VELMORA_PATH_MAX];
    graph = PrivateTempDir(tmp, sizeof tmp) ? std::string(tmp) + "/velmora.dot" : std::string();
    Trace("graph file in the temporary folder:", graph);
    Put(places->graph_file, graph);
    ok = 0;
  }
  return ok;
}
