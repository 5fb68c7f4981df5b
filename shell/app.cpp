// Start-up and shutdown in their fixed order. The analyzer is released only
// when it was created, and shutdown first stops a worker that still runs, so
// nothing is freed under its feet.
#include "shell/app.h"
#include "shell/project_query.h"

#include <cstring>
#include <string>
#include <thread>
#include <vector>
#include <strings.h>

#include "engine/ana.h"
#include "ext/ext_settings.h"
#include "ext/midi_player.h"
#include "foundation/cb.h"
#include "foundation/log.h"
#include "foundation/memory.h"
#include "foundation/messages.h"
#include "foundation/settings.h"
#include "foundation/text.h"
#include "graph/graph.h"
#include "platform/files.h"
#include "platform/ini.h"
#include "shell/config.h"
#include "shell/ext_hooks.h"
#include "shell/file_collect.h"
#include "shell/file_places.h"
#include "shell/paths.h"
#include "shell/project_index.h"
#include "shell/ui_language.h"
#include "shell/worker.h"

namespace {

// What start-up prepared, so shutdown releases exactly that.
struct AppState {
  char program[VELMORA_PATH_MAX];           // real path of the running program
  char settings[VELMORA_PATH_MAX];          // settings file in force
  char ext_settings[VELMORA_PATH_MAX + 8];  // extension settings file
  int ana_created;                          // CreateANA succeeded
  int registered;           // the collected sources are registered; the job must not do it again
  FileStamp settings_read;  // the settings file as it was when last read
};

AppState g_app;

// The settings file's stamp now (size -1 when there is none).
FileStamp SettingsStamp() {
  FileStamp s{-1, 0};
  StampFile(g_app.settings, &s);
  return s;
}

// The next start opens the two log channels (AppSetLogs).
int g_logs_on = 1;
// The language named on the command line (velmora-cli --lang); "" for the
// setting UI_LANG. Main thread only.
char g_language_option[16];
// The command line's collection while AppStartCollecting lets it run; only
// the main thread starts and joins it.
std::thread g_collector;

void JoinCollector() {
  if (g_collector.joinable()) g_collector.join();
}

// FILE.ini -> FILEENH.ini; a name without ".ini" just gets "ENH.ini".
void ExtensionPathFromSettings(const char *ini, char *out, size_t cap) {
  size_t len = strlen(ini);
  if (len >= 4 && strcasecmp(ini + len - 4, ".ini") == 0) len -= 4;
  if (len + 8 > cap) {
    out[0] = 0;
    return;
  }
  memcpy(out, ini, len);
  memcpy(out + len, "ENH.ini", 8);
}

}  // namespace

int AppStartCollecting(const char *ini_path, int n, const char *const *paths,
                       const char **failure) {
  if (failure) *failure = nullptr;
  JoinCollector();  // a start before this one has finished its walk
  g_app = AppState();
  JobState = JobStep::Idle;
  ProgramPath(g_app.program, sizeof g_app.program);
  FilePlaces places;
  FindFilePlaces(g_app.program, ini_path, &places);
  PrepareFilePlaces(&places);
  CopyText(g_app.settings, sizeof g_app.settings, places.settings);
  if (places.graph_file[0]) SetGraphFilePath(places.graph_file);
  if (g_app.settings[0])
    ExtensionPathFromSettings(g_app.settings, g_app.ext_settings, sizeof g_app.ext_settings);

  LoadConfiguration(g_app.settings[0] ? g_app.settings : nullptr);
  g_app.settings_read = SettingsStamp();
  UseUiLanguage(g_app.program, g_language_option[0] ? g_language_option : g_config.UI_LANG);
  if (g_logs_on) {
    LogOpen(0, "debug");
    LogOpen(1, "result");
  }
  InitGraphTools();
  InstallExtHooks();
  LoadExtensionSettings(g_app.ext_settings[0] ? g_app.ext_settings : nullptr);

  if (n > 0 && paths) {
    ProjectFiles = CreateCB();
    if (!ProjectFiles) {
      if (failure) *failure = N_("Memory Alloc error !");
      return 0;
    }
    JobState = JobStep::RegisterSources;  // the main window starts the job
    BeginCollection(nullptr);
    std::vector<std::string> own;
    for (int i = 0; i < n; i++)
      if (paths[i]) own.emplace_back(paths[i]);
    CB *list = ProjectFiles;
    // The analyzer is created after the walk, on the same thread, so that
    // their trace lines keep their order; then the sources are registered
    // and their parsing begins, as the analysis job would do first.
    auto collect = [list, own] {
      for (const std::string &p : own) GetDirFile(nullptr, list, "", p.c_str());
      g_app.ana_created = CreateANA();
      if (g_app.ana_created && list->count > 0) {
        ANA_SourceCreateAll(nullptr, list);
        g_app.registered = 1;
        // The analysis threads start parsing as they would at the job's first
        // step; the job finds them running.
        std::vector<const char *> roots;
        for (const std::string &p : own) roots.push_back(p.c_str());
        ProjectIndexBegin(roots.data(), (int)roots.size());
        ANA_EXEC start = {};
        ANA_ExecBegin(&start);
        ANA_StartParsing(&start);
        ANA_ExecRelease(&start);
      }
    };
    try {
      g_collector = std::thread(collect);
    } catch (...) {
      collect();  // no thread to be had: the walk is only slower
    }
  } else {
    g_app.ana_created = CreateANA();
  }
  return 1;
}

int AppStart(const char *ini_path, int n, const char *const *paths, const char **failure) {
  if (!AppStartCollecting(ini_path, n, paths, failure)) return 0;
  return AppCollected(failure);
}

int AppTakeRegisteredSources(void) {
  int r = g_app.registered;
  g_app.registered = 0;
  return r;
}

int AppCollected(const char **failure) {
  JoinCollector();
  if (g_app.ana_created) return 1;
  JobState = JobStep::Idle;
  if (failure) *failure = N_("CreateANA error !");
  return 0;
}

void AppStop(void) {
  JoinCollector();
  WorkerStop();
  WorkerWait();
  // Opened at start-up for a job that never ran: its analysis threads read
  // it until they are stopped.
  ANA_StopParsing();
  ProjectIndexEnd();
  LogFlush();
  ForgetProjectQuery();
  ReleaseCB(&ProjectFiles);
  if (g_app.ana_created) ReleaseANA();
  g_app.ana_created = 0;
  FreeGraphTools();
  TQ_MidiClose();
  MessagesClear();
  _MEMCHECK();
}

int AppReloadSettings(int force) {
  if (WorkerBusy() || !g_app.settings[0]) return 0;
  FileStamp now = SettingsStamp(), &was = g_app.settings_read;
  if (!force && now.size == was.size && now.mtime_ns == was.mtime_ns) return 0;
  char before[VELMORA_PATH_MAX], after[VELMORA_PATH_MAX];
  int had = OutputFolder(before, sizeof before);
  LoadConfiguration(g_app.settings);
  g_app.settings_read = now;
  // The logs follow the output folder; where it stayed they go on as they are.
  if (g_logs_on && (OutputFolder(after, sizeof after) != had || strcmp(before, after) != 0)) {
    LogFlush();
    LogOpen(0, "debug");
    LogOpen(1, "result");
  }
  InitGraphTools();
  return 1;
}

void AppSetLogs(int on) {
  g_logs_on = on ? 1 : 0;
}

void AppSetLanguageOption(const char *value) {
  CopyText(g_language_option, sizeof g_language_option, value ? value : "");
}

void AppUseEarlyLanguage(const char *ini_path) {
  char program[VELMORA_PATH_MAX];
  ProgramPath(program, sizeof program);
  if (g_language_option[0]) {
    UseUiLanguage(program, g_language_option);
    return;
  }
  FilePlaces places;
  FindFilePlaces(program, ini_path, &places);
  char value[sizeof g_config.UI_LANG] = "ja";
  if (places.settings[0])
    IniGetString(places.settings, "CONFIG", "UI_LANG", "ja", value, sizeof value);
  UseUiLanguage(program, value[0] ? value : "ja");
}

const char *AppSettingsPath(void) {
  return g_app.settings;
}
const char *AppExtensionSettingsPath(void) {
  return g_app.ext_settings;
}

int AppSettingGiven(const char *key) {
  if (!g_app.settings[0] || !key) return 0;
  char value[8];
  // A value no settings file can hold stands for "absent".
  IniGetString(g_app.settings, "CONFIG", key, "\x01", value, sizeof value);
  return value[0] == '\x01' && value[1] == 0 ? 0 : 1;
}
