// The analysis job's index, and the update job's. Only the thread that runs
// the analysis (the worker, or start-up's collection thread before the
// worker exists) opens, finishes and closes it and keeps the state here;
// the engine's threads use the store meanwhile.
#include "shell/project_index.h"

#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "engine/source_store.h"
#include "foundation/messages.h"
#include "foundation/settings.h"
#include "foundation/text.h"
#include "platform/codepage.h"
#include "shell/worker.h"

namespace {

ST_INDEX *g_index = nullptr;  // the open index, or nullptr
IndexReport g_last;           // what the last analysis did with it
// The roots of the last analysis, for the updates of its project.
std::vector<std::string> g_roots;
// Sources whose records are not their file's (an editor's buffer), by path.
std::set<std::string> g_unsettled;

// Opens the index of the project of roots when it is wanted.
void Open(std::vector<std::string> roots) {
  int wanted = g_front.index >= 0 ? g_front.index : g_config.INDEX;
  const char *file = g_front.index_file ? g_front.index_file : "";
  g_last = IndexReport{};
  if (!wanted || (!*file && roots.empty())) return;
  IndexOptions o;
  o.file = file;
  o.roots = std::move(roots);
  g_index = IndexOpen(o);
  ANA_UseStore(IndexStore(g_index));
}

}  // namespace

void ProjectIndexBegin(const char *const *roots, int n) {
  if (g_index) return;
  // A whole analysis reads every source from its file.
  g_roots.clear();
  g_unsettled.clear();
  for (int i = 0; i < n; i++)
    if (roots[i]) g_roots.push_back(roots[i]);
  Open(g_roots);
}

void ProjectIndexBeginList(const char *paths, int n) {
  std::vector<const char *> roots;
  for (const char *at = paths; at && (int)roots.size() < n; at += strlen(at) + 1)
    roots.push_back(at);
  ProjectIndexBegin(roots.data(), (int)roots.size());
}

void ProjectIndexBeginUpdate(void) {
  if (!g_index) Open(g_roots);
}

void ProjectIndexSourceRead(const ST_SOURCE *s, const SourceStamp *stamp) {
  if (!s || !s->path) return;
  if (stamp) {
    g_unsettled.erase(s->path);
    IndexKeepSource(g_index, s, stamp);
  } else {
    g_unsettled.insert(s->path);
  }
}

void ProjectIndexSourceGone(const char *path) {
  if (!path) return;
  g_unsettled.erase(path);
  IndexDropSource(g_index, path);
}

void ProjectIndexFinish(int complete) {
  // Links of records no entry holds would not be the entries' links.
  if (!g_index || !g_unsettled.empty()) return;
  IndexAnalysisDone(g_index, complete);
}

void ProjectIndexEnd(void) {
  if (!g_index) return;
  ANA_UseStore(nullptr);
  IndexClose(&g_index, &g_last);  // problems of the last writes count too
}

IndexReport ProjectIndexLastReport(void) {
  return g_last;
}

std::string ProjectIndexStatus(void) {
  if (!g_last.used && g_last.note.empty()) return "";
  std::string out;
  if (g_last.used)
    out = FormatString(Msg(" [%d from the index, %d parsed"), g_last.from_index, g_last.parsed);
  else
    out = " [";
  if (!g_last.note.empty()) out += (g_last.used ? "; " : "") + Utf8ToSjis(g_last.note.c_str());
  return out + "]";
}
