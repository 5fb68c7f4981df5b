// Where the program's own files live. A program with velmora.ini in its
// folder (the build folder, a portable copy) keeps its settings and graph
// file there, as always. Any other program (an installed one) reads its
// settings from the user's config folder, made on the first run from the
// sample installed with it, and writes its graph file to the user's state
// folder. The log files and pictures go to the desktop folder either way.
#pragma once

#include <string>

#include "platform/files.h"

enum class FilePlacement {
  kBesideProgram,  // velmora.ini beside the program: everything stays there
  kUserFolders,    // an installed program: config and state folders
};

struct FilePlaces {
  FilePlacement placement;            // which of the two rules holds
  char settings[VELMORA_PATH_MAX];    // settings file to read; "" = built-in values
  char sample[VELMORA_PATH_MAX];      // installed sample for the first run; "" none
  char graph_file[VELMORA_PATH_MAX];  // graph description; "" = velmora.dot beside the program
  int named;                          // settings named by the caller (--ini): never made
};

// The folder of path: the text before its last '/' ("" without one).
std::string FolderOfPath(const std::string &path);
// folder (without a trailing '/') joined with the relative path rel, whose
// leading "../" steps each drop one component, so the result reads plainly
// (the installed files' places relative to the programs' folder).
std::string ResolveFromFolder(std::string folder, const char *rel);

// Decides where the files of the program at program_path live; ini names the
// settings file instead (nullptr or "": the rule's own). Looks at the file
// system but changes nothing. Always fills *out; a path that would not fit
// is left "" (settings: the built-in values apply, as for a missing file).
void FindFilePlaces(const char *program_path, const char *ini, FilePlaces *out);

// Makes what FindFilePlaces named, for the user folders only: the settings'
// folder and, when the settings file is missing, its copy of the sample
// (never replacing a file that is there); the graph file's folder, mode 0700
// (when it cannot be made, the graph file moves to the private temporary
// folder). Returns 1 when all is in place, 0 when something could not be
// made; the run goes on with the built-in values or without a graph file.
int PrepareFilePlaces(FilePlaces *places);
