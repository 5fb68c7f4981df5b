// The open project's query index (see project_query.h). It is tied to the
// analyzer's generation, so an index of sources that have since been
// released or replaced is never handed out.
#include "shell/project_query.h"

#include "engine/ana.h"
#include "shell/worker.h"

namespace {

// The index and the generation of the sources it was made from; the main
// thread's, but for the update job's turn (ProjectQueryToUpdate).
struct ProjectQueryState {
  ST_QUERY *query = nullptr;
  unsigned generation = 0;
};
ProjectQueryState g_pq;

}  // namespace

const ST_QUERY *ProjectQuery(void) {
  if (WorkerBusy() || !ProjectFiles || ANA.sources.count == 0) return nullptr;
  if (g_pq.query && g_pq.generation == ANA.generation) return g_pq.query;
  ReleaseQuery(&g_pq.query);
  g_pq.query = CreateQuery();
  g_pq.generation = ANA.generation;
  return g_pq.query;
}

void ForgetProjectQuery(void) {
  ReleaseQuery(&g_pq.query);
}

ST_QUERY *ProjectQueryToUpdate(void) {
  return g_pq.query && g_pq.generation == ANA.generation ? g_pq.query : nullptr;
}

void ProjectQueryUpdated(void) {
  if (g_pq.query) g_pq.generation = ANA.generation;
}
