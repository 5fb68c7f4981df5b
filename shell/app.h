// Start-up and shutdown shared by the desktop program and the terminal
// program: the settings path, the configuration, the log channels, graph
// output, the extension settings, the paths of the command line and the
// analyzer; and their release in a fixed order ending with the leak report.
#pragma once

// Start-up, on the main thread. ini_path names the settings file, or nullptr
// for the one of the placement rules (shell/file_places.h: velmora.ini beside
// the program, or the user's config folder for an installed program, made
// from the sample on the first run); the extension settings are the same
// name without ".ini" plus "ENH.ini". n paths (native) are collected at once
// into ProjectFiles and JobState becomes RegisterSources (the desktop
// program's command line; the terminal program passes 0 and requests an
// analysis instead).
// 1 ready. 0 start-up failed: *failure (when given) is the text to show with
// the caption "Warning" ("Memory Alloc error !" or "CreateANA error !");
// AppStop must be called all the same.
int AppStart(const char *ini_path, int n, const char *const *paths, const char **failure);
// The same in two halves, so that the desktop program builds its window
// while the n paths are collected: this half returns once the settings and
// logs are in place (0 only for "Memory Alloc error !"), the collection, the
// creation of the analyzer and the registering of the collected sources run
// on a thread of their own until AppCollected, and the analysis threads begin
// parsing ahead (ANA_StartParsing) for the job that follows. Until then
// ProjectFiles and the analyzer belong to that thread.
int AppStartCollecting(const char *ini_path, int n, const char *const *paths, const char **failure);
// Waits for the second half; main thread. 1 ready; 0 when the analyzer could
// not be created ("CreateANA error !" in *failure, JobState Idle). A second
// call only repeats the answer; AppStop waits too.
int AppCollected(const char **failure);

// 1 the first time it is asked after AppStartCollecting registered the
// collected sources, so that the analysis job started for them does not
// register them again (shell only).
int AppTakeRegisteredSources(void);

// Whether the next start opens the log files (1, the default) or leaves both
// channels closed, so that nothing is written to the desktop (a program that
// writes logs only when asked). Before AppStart; never fails.
void AppSetLogs(int on);

// Shutdown, on the main thread: stops a running worker, releases
// ProjectFiles, the analyzer, the graph buffers and the MIDI output, then
// writes the leak report (_MEMCHECK) as the very last trace output.
void AppStop(void);

// The language of the messages chosen on the command line (velmora-cli's
// --lang), stronger than the setting UI_LANG at every later start; nullptr
// or "" gives the setting back its say. See shell/ui_language.h.
void AppSetLanguageOption(const char *value);
// Puts a language in force before start-up, for the messages a program shows
// while it reads its command line: the option above when given, else UI_LANG
// of the settings file that start-up would read (ini_path as for AppStart;
// the file is only read). Start-up chooses again from the settings it loads.
void AppUseEarlyLanguage(const char *ini_path);

// The settings file in force ("" before AppStart, or when it does not fit a
// path); a native path owned by shell/.
const char *AppSettingsPath(void);
// The extension settings file ("" before AppStart or without a settings
// file); a native path owned by shell/.
const char *AppExtensionSettingsPath(void);
// Reads the settings file in force again when it changed since it was last
// read (always with force): the configuration, graph output, and the log
// files anew in their new folder when OUTPUT_DIR moved it. 1 when it was read
// again, 0 when nothing changed. Main thread, while no job runs (0 then).
int AppReloadSettings(int force);

// 1 when the settings file in force sets key (a CONFIG key) at all, so a
// program can tell a chosen value from the built-in one. 0 before AppStart.
int AppSettingGiven(const char *key);
