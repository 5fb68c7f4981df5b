// velmora-cli: the analysis and call-tree jobs of the desktop program, run
// from a terminal. The PATHs are taken as a drop of those paths; each --tree
// (or --callers) then runs a call-tree job. Exit status: 0 done, 1 a job
// ended with a warning (or a name was not found), 2 usage or start-up failure.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "cli/front.h"
#include "xref/json_text.h"
#include "engine/ana.h"
#include "foundation/log.h"
#include "foundation/messages.h"
#include "foundation/settings.h"
#include "foundation/text.h"
#include "graph/graph.h"
#include "index/index.h"
#include "platform/codepage.h"
#include "platform/files.h"
#include "platform/keys.h"
#include "platform/process.h"
#include "platform/sys.h"
#include "platform/terminal.h"
#include "shell/app.h"
#include "shell/file_places.h"
#include "shell/project_query.h"
#include "shell/requests.h"
#include "shell/ui_language.h"
#include "shell/worker.h"
#include "xref/calltree.h"
#include "xref/query.h"

namespace {

enum { kExitDone = 0, kExitWarning = 1, kExitUsage = 2 };

// Every message of the command line is looked up in the message catalogue
// (MsgUtf8) where it is printed.
const char kUsage[] =
    N_("Usage: velmora-cli [OPTIONS] PATH...\n"
       "Analyse the C and C++ sources at or below each PATH and print the results.\n"
       "\n"
       "  --tree NAME|SID:FID  build the call tree below a function (scope::name, or the\n"
       "                       name alone: the first match in SID, FID order); repeatable\n"
       "  --callers NAME|SID:FID\n"
       "                       build the tree of the callers of a function, or of the\n"
       "                       unlinked calls of a name no source defines; repeatable\n"
       "  --list functions     print the Function List (header first, tab-separated)\n"
       "  --list calls         print the Call List\n"
       "  --render             render each tree's graph with the renderer\n"
       "  --view               render and open each picture in the viewer\n"
       "  --exact              keywords and call links compare names by their text, not\n"
       "                       only by their hash (the setting EXACT_NAMES=1)\n"
       "  --precise            parse with the precise C and C++ front end (the setting\n"
       "                       PARSER=1)\n"
       "  --json               print lists and tree nodes as JSON Lines instead of text\n"
       "  --ini FILE           read settings from FILE (and FILE without .ini + ENH.ini)\n"
       "  --jobs N             analyse with N threads (0: one per processor; the\n"
       "                       JOBS setting otherwise)\n"
       "  --index, --no-index  keep the project's index and take unchanged sources from\n"
       "                       it, or not (the setting INDEX otherwise)\n"
       "  --index-file FILE    the index in FILE instead of the project's own\n"
       "  --index-info         print the index's path, size and sources with their\n"
       "                       states, and analyse nothing\n"
       "  --lang ja|en|auto    the language of the messages (the UI_LANG setting\n"
       "                       otherwise)\n"
       "  -q                   no progress\n"
       "  --progress           progress on stderr even when it is not a terminal\n"
       "  -h, --help           this text\n"
       "  --version            the version\n"
       "\n"
       "Escape or Ctrl-C stops the running job; a second Ctrl-C ends the program.\n"
       "Exit status: 0 done, 1 a job ended with a warning, 2 usage or start-up failure.\n");

// One --tree or --callers, in the order given.
struct TreeAsk {
  int callers;       // 1: the callers tree
  std::string what;  // NAME or SID:FID (UTF-8)
};

struct Options {
  std::vector<std::string> paths;
  std::vector<TreeAsk> trees;
  std::vector<int> lists;  // VIEW_FUNCTIONS / VIEW_CALLS in the order asked
  std::string ini;
  int quiet = 0;
  int force_progress = 0;
  int render = 0;
  int view = 0;
  int exact = 0;           // EXACT_NAMES for this run
  int precise = 0;         // PARSER=1 for this run
  int json = 0;            // lists and tree nodes as JSON Lines
  int jobs = -1;           // -1: the JOBS setting
  int index = -1;          // -1: the INDEX setting, 0 --no-index, 1 --index
  std::string index_file;  // --index-file
  int index_info = 0;      // --index-info
  std::string lang;        // --lang: the language of the messages ("" the setting)
};

// The value of --ini or --lang given as "--name VALUE" or "--name=VALUE" at
// argv[*i] (*i moves past a separate value); nullptr for another argument.
const char *ValueOf(const char *name, int argc, char **argv, int *i) {
  size_t n = strlen(name);
  if (strncmp(argv[*i], name, n) != 0) return nullptr;
  if (argv[*i][n] == '=') return argv[*i] + n + 1;
  if (argv[*i][n] || *i + 1 >= argc) return nullptr;
  return argv[++*i];
}

// The usage, then the settings file this run would read (the last --ini of
// the whole command line, else the placement rule's own file).
const char *IniOption(int argc, char **argv) {
  const char *ini = nullptr;
  for (int i = 1; i < argc; i++) {
    if (strcmp(argv[i], "--") == 0) break;
    if (const char *v = ValueOf("--ini", argc, argv, &i)) ini = v;
  }
  return ini;
}

// The language of the messages for the command line itself, before the
// settings are loaded: the last valid --lang, else UI_LANG of the settings
// file this run would read. Start-up chooses again from the settings.
void ChooseEarlyLanguage(int argc, char **argv) {
  for (int i = 1; i < argc; i++) {
    if (strcmp(argv[i], "--") == 0) break;
    const char *v = ValueOf("--lang", argc, argv, &i);
    if (v && UiLanguageValid(v)) AppSetLanguageOption(v);
  }
  AppUseEarlyLanguage(IniOption(argc, argv));
}

void PrintHelp(int argc, char **argv) {
  fputs(MsgUtf8(kUsage), stdout);
  const char *ini = IniOption(argc, argv);
  char program[VELMORA_PATH_MAX];
  ProgramPath(program, sizeof program);
  FilePlaces places;
  FindFilePlaces(program, ini, &places);
  std::string why;
  if (places.named)
    why = MsgUtf8("named by --ini");
  else if (places.placement == FilePlacement::kBesideProgram)
    why = MsgUtf8("beside the program");
  else
    why = FormatString(MsgUtf8("made from %s when missing"), places.sample);
  printf(MsgUtf8("\nSettings file: %s\n  (%s)\n"),
         places.settings[0] ? places.settings : MsgUtf8("none"), why.c_str());
  printf(MsgUtf8("Precise parser: %s\n"), ANA_PreciseBuiltIn()
                                              ? MsgUtf8("built in")
                                              : MsgUtf8("not built in (--precise is refused)"));
}

int UsageError(const std::string &msg) {
  fprintf(stderr, MsgUtf8("velmora: %s\nTry 'velmora-cli --help'.\n"),
          TerminalSafe(msg, "").c_str());
  return kExitUsage;
}

// Parses argv; returns -1 to go on, else the exit status.
int ParseArgs(int argc, char **argv, Options *o) {
  bool options_done = false;
  for (int i = 1; i < argc; i++) {
    std::string a = argv[i];
    if (options_done || a.empty() || a[0] != '-' || a == "-") {
      o->paths.push_back(a);
      continue;
    }
    auto value = [&](const char *name, std::string *out) -> bool {
      size_t n = strlen(name);
      if (a.compare(0, n, name) == 0 && a.size() > n && a[n] == '=') {
        *out = a.substr(n + 1);
        return true;
      }
      if (a != name) return false;
      if (i + 1 >= argc) return false;
      *out = argv[++i];
      return true;
    };
    std::string v;
    if (a == "--") {
      options_done = true;
    } else if (a == "-h" || a == "--help") {
      PrintHelp(argc, argv);
      return kExitDone;
    } else if (a == "--version") {
      printf("velmora-cli Ver 0.10\n");
      return kExitDone;
    } else if (a == "-q" || a == "--quiet") {
      o->quiet = 1;
    } else if (a == "--progress") {
      o->force_progress = 1;
    } else if (a == "--render") {
      o->render = 1;
    } else if (a == "--view") {
      o->render = o->view = 1;
    } else if (a == "--exact") {
      o->exact = 1;
    } else if (a == "--precise") {
      o->precise = 1;
    } else if (a == "--json") {
      o->json = 1;
    } else if (a == "--index") {
      o->index = 1;
    } else if (a == "--no-index") {
      o->index = 0;
    } else if (a == "--index-info") {
      o->index_info = 1;
    } else if (value("--index-file", &v)) {
      if (v.empty()) return UsageError(MsgUtf8("--index-file needs a file"));
      o->index_file = v;
    } else if (value("--tree", &v)) {
      if (v.empty()) return UsageError(MsgUtf8("--tree needs a function name or SID:FID"));
      o->trees.push_back(TreeAsk{0, v});
    } else if (value("--callers", &v)) {
      if (v.empty()) return UsageError(MsgUtf8("--callers needs a function name or SID:FID"));
      o->trees.push_back(TreeAsk{1, v});
    } else if (value("--list", &v)) {
      if (v == "functions")
        o->lists.push_back(VIEW_FUNCTIONS);
      else if (v == "calls")
        o->lists.push_back(VIEW_CALLS);
      else
        return UsageError(
            FormatString(MsgUtf8("--list takes 'functions' or 'calls', not '%s'"), v.c_str()));
    } else if (value("--ini", &v)) {
      if (v.empty()) return UsageError(MsgUtf8("--ini needs a file"));
      o->ini = v;
    } else if (value("--lang", &v)) {
      if (!UiLanguageValid(v.c_str()))
        return UsageError(FormatString(
            MsgUtf8("--lang takes ja, en, auto or another language code, not '%s'"), v.c_str()));
      o->lang = v;
    } else if (value("--jobs", &v)) {
      char *end = nullptr;
      long n = strtol(v.c_str(), &end, 10);
      if (v.empty() || *end || n < 0 || n > 64)
        return UsageError(
            FormatString(MsgUtf8("--jobs takes a number from 0 to 64, not '%s'"), v.c_str()));
      o->jobs = (int)n;
    } else if (a == "--tree" || a == "--callers" || a == "--list" || a == "--ini" ||
               a == "--jobs" || a == "--lang" || a == "--index-file") {
      return UsageError(FormatString(MsgUtf8("option '%s' needs a value"), a.c_str()));
    } else {
      return UsageError(FormatString(MsgUtf8("unknown option '%s'"), a.c_str()));
    }
  }
  if (o->paths.empty() && !(o->index_info && !o->index_file.empty()))
    return UsageError(MsgUtf8("no PATH given"));
  return -1;
}

// "SID:FID" as two positive numbers.
bool ParsePair(const std::string &s, int *sid, int *fid) {
  size_t colon = s.find(':');
  if (colon == std::string::npos || colon == 0 || colon + 1 >= s.size()) return false;
  for (size_t k = 0; k < s.size(); k++) {
    if (k != colon && (s[k] < '0' || s[k] > '9')) return false;
  }
  if (colon > 9 || s.size() - colon - 1 > 9) return false;
  *sid = atoi(s.c_str());
  *fid = atoi(s.c_str() + colon + 1);
  return *sid > 0 && *fid > 0;
}

// The tree number of the node lines of --json (1-based, in drawing order).
int g_json_tree = 0;
// The sources' names as JSON shows them, made when the analysis is done.
std::vector<std::string> g_json_names;

void PrintJsonNode(const TreeNodeInfo *node) {
  std::string line = JsonTreeNode(g_json_tree, *node, g_json_names);
  line += '\n';
  fwrite(line.data(), 1, line.size(), stdout);
}

// A NAME that several definitions match still takes the first; the user is
// told which others there are, to name one by its numbers.
void NoteMatches(const std::string &name, const std::vector<QueryFunction> &found,
                 TerminalFront *front) {
  if (found.size() < 2) return;
  front->Note(FormatString(MsgUtf8("'%s' matches %d functions; the first is taken:"), name.c_str(),
                           (int)found.size()));
  for (const QueryFunction &f : found) {
    front->Note("  " + std::to_string(f.sid) + ":" + std::to_string(f.fid) + " [" +
                SjisToUtf8(f.source) + "]");
  }
}

// A name as unlinked calls write it: scope and name together, and argc.
struct UnlinkedName {
  std::string text;  // Shift_JIS
  int argc;
};

// Every distinct way the unlinked calls that name matches write it, in the
// order first met.
std::vector<UnlinkedName> UnlinkedNames(const ST_QUERY *q, const std::string &name) {
  std::vector<UnlinkedName> out;
  for (const QueryCall &c : Query_UnlinkedCallsOf(q, name.c_str())) {
    std::string text = std::string(c.call_scope) + c.call_name;
    bool seen = false;
    for (const UnlinkedName &u : out) seen = seen || (u.argc == c.argc && u.text == text);
    if (!seen) out.push_back(UnlinkedName{text, c.argc});
  }
  return out;
}

// Runs one tree job (already requested) to its end; the picture's path goes
// to stderr when one was rendered. false when the user stopped it.
bool FinishTree(const Options &o, TerminalFront *front, int before, int *status) {
  WorkerWait();
  fflush(stdout);
  const char *pic = GraphPictureFile();
  if (o.render && graph_enabled && pic && *pic && FileExists(pic)) {
    front->ClearProgress();
    fprintf(stderr, "%s\n", TerminalSafe(pic, "").c_str());
  }
  if (o.render && graph_enabled && GraphNoFreePicture()) {
    // The tree itself is there; only its picture is missing.
    front->Note(
        MsgUtf8("no picture made: FuncGraph[1] to FuncGraph[256] are all taken on the desktop"));
    *status = kExitWarning;
  }
  return front->warnings == before;
}

// Runs every --tree and --callers in order; returns 1 when one of them ended
// with a warning or was not found.
int RunTrees(const Options &o, TerminalFront *front) {
  int status = kExitDone;
  if (o.render && !o.trees.empty() && !graph_enabled)
    front->Note(
        MsgUtf8("graph output is off, nothing is rendered (see DISPLAY_GRAPH and DOT_EXE)"));
  // The query layer is made only for a run that asks for a tree by name.
  const ST_QUERY *q = o.trees.empty() ? nullptr : ProjectQuery();
  for (const TreeAsk &t : o.trees) {
    int sid = 0, fid = 0;
    bool f = false;
    std::vector<UnlinkedName> names;
    if (ParsePair(t.what, &sid, &fid)) {
      f = Query_Function(q, sid, fid, nullptr);
    } else {
      std::string name = Utf8ToSjis(t.what);
      std::vector<QueryFunction> found = Query_FunctionsNamed(q, name.c_str());
      NoteMatches(t.what, found, front);
      if (!found.empty()) {
        f = true;
        sid = found[0].sid;
        fid = found[0].fid;
      }
      if (!f && t.callers) names = UnlinkedNames(q, name);
    }
    if (!f && names.empty()) {
      front->Warning(FormatString(MsgUtf8("no function '%s'"), t.what.c_str()));
      status = kExitWarning;
      continue;
    }
    bool stopped = false;
    if (f) {
      int before = front->warnings;
      g_json_tree++;
      if (t.callers)
        RequestCallersTree(sid, fid);
      else
        RequestCallTree(sid, fid);
      stopped = !FinishTree(o, front, before, &status);
    }
    // A name no source defines: one tree per way the calls write it.
    for (size_t k = 0; k < names.size() && !stopped; k++) {
      int before = front->warnings;
      g_json_tree++;
      RequestNameCallersTree(names[k].text.c_str(), names[k].argc);
      stopped = !FinishTree(o, front, before, &status);
    }
    if (stopped) {
      // The user stopped this tree: the rest is not wanted either.
      status = kExitWarning;
      break;
    }
  }
  return status;
}

}  // namespace

int main(int argc, char **argv) {
  ChooseEarlyLanguage(argc, argv);
  Options o;
  int rc = ParseArgs(argc, argv, &o);
  if (rc >= 0) return rc;

  int keep_functions = 0, keep_calls = 0;
  for (int l : o.lists) (l == VIEW_FUNCTIONS ? keep_functions : keep_calls) = 1;
  int err_tty = IsTerminal(2);
  int progress = !o.quiet && (o.force_progress || err_tty);
  TerminalFront front(progress, progress && err_tty, keep_functions, keep_calls);

  const char *failure = nullptr;
  if (!AppStart(o.ini.empty() ? nullptr : o.ini.c_str(), 0, nullptr, &failure)) {
    front.Warning(SjisToUtf8(Msg(failure ? failure : N_("start-up failed"))));
    AppStop();
    return kExitUsage;
  }
  if (LogOfAnotherInstance())
    front.Note("another program writes the logs on this desktop; this run's are debug-" +
               std::to_string(ProcessIdNumber()) + ".txt and result-" +
               std::to_string(ProcessIdNumber()) + ".txt");
  if (o.jobs >= 0) g_config.JOBS = o.jobs;
  if (o.exact) g_config.EXACT_NAMES = 1;
  if (o.precise) g_config.PARSER = 1;
  if (g_config.PARSER && !ANA_PreciseBuiltIn()) {
    front.Warning(std::string(o.precise ? "--precise" : "PARSER=1 in the settings") +
                  ": this velmora-cli was built without the precise parser");
    AppStop();
    return kExitUsage;
  }
  if (o.json) front.json = 1;
  if (o.index_info) {
    std::string text;
    std::string file = o.index_file.empty() ? IndexFileFor(o.paths) : o.index_file;
    int found = IndexDescribe(file, &text);
    fputs(TerminalSafe(text, "\n").c_str(), stdout);
    AppStop();
    return found ? kExitDone : kExitWarning;
  }
  // A viewer that outlives us must not keep our output open (a pipe
  // reader would wait for it).
  ChildrenWithoutOutput();
  g_worker_timing = kHeadlessTiming;
  g_front = ShellFront{};
  g_front.main_window = &front;
  g_front.progress = progress ? &front : nullptr;
  g_front.wait_box = &front;
  g_front.views = &front;
  g_front.results = &front;
  g_front.tree_nodes = o.json ? PrintJsonNode : nullptr;
  g_front.render = o.render;
  g_front.view = o.view;
  g_front.index = o.index_file.empty() ? o.index : (o.index == 0 ? 0 : 1);
  g_front.index_file = o.index_file.c_str();

  StopKeysSetExitHook(LogFlushFromSignal);  // buffered log lines survive a second Ctrl-C
  StopKeysBegin();
  std::vector<const char *> paths;
  for (const std::string &p : o.paths) paths.push_back(p.c_str());
  int status = kExitDone;
  if (!RequestAnalysis(paths.data(), (int)paths.size())) {
    status = kExitUsage;
  } else {
    WorkerWait();
    fflush(stdout);
    // A stop while linking leaves links that no tree may be built from.
    if (WorkerLinkingStopped()) front.Warning(front.StatusShown());
    if (o.json) g_json_names = JsonSourceNames();
    if (front.warnings)
      status = kExitWarning;
    else
      status = RunTrees(o, &front);
  }
  StopKeysEnd();
  front.ClearProgress();

  for (size_t k = 0; k < o.lists.size(); k++) {
    if (k && !o.json) fputs("\n", stdout);
    front.PrintList(o.lists[k]);
  }
  fflush(stdout);

  g_front = ShellFront{};
  AppStop();
  return status;
}
