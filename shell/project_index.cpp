// The analysis job's index. Only the thread that runs the analysis (the
// worker, or start-up's collection thread before the worker exists) opens,
// finishes and closes it; the engine's threads use the store meanwhile.
#include "shell/project_index.h"

#include <string>
#include <vector>

#include "engine/source_store.h"
#include "foundation/settings.h"
#include "platform/codepage.h"
#include "shell/worker.h"

namespace {

ST_INDEX *g_index = nullptr;  // the open index, or nullptr
IndexReport g_last;           // what the last analysis did with it

}  // namespace

void ProjectIndexBegin(const char *const *roots, int n) {
  if (g_index) return;
  int wanted = g_front.index >= 0 ? g_front.index : g_config.INDEX;
  const char *file = g_front.index_file ? g_front.index_file : "";
  g_last = IndexReport{};
  if (!wanted || (!*file && n <= 0)) return;
  IndexOptions o;
  o.file = file;
  for (int i = 0; i < n; i++)
    if (roots[i]) o.roots.push_back(roots[i]);
  g_index = IndexOpen(o);
  ANA_UseStore(IndexStore(g_index));
}

void ProjectIndexFinish(int complete) {
  if (!g_index) return;
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
    out = " [" + std::to_string(g_last.from_index) + " from the index, " +
          std::to_string(g_last.parsed) + " parsed";
  else
    out = " [";
  if (!g_last.note.empty()) out += (g_last.used ? "; " : "") + Utf8ToSjis(g_last.note.c_str());
  return out + "]";
}
