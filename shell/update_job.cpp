// The update job: sources that changed since the analysis (an editor's
// buffer, a file written, created or deleted) are analysed again one by one,
// and linked again where their links can change (xref/relink.cpp), or the
// project is numbered and linked again whole with the analysis job's own
// steps. No list rows, progress or warnings reach the windows: the fronts
// that ask for an update answer from the query layer afterwards.
#include <new>
#include <string>
#include <vector>

#include "engine/record_walk.h"
#include "engine/source_store.h"
#include "foundation/memory.h"
#include "foundation/settings.h"
#include "shell/project_index.h"
#include "shell/project_query.h"
#include "xref/query.h"
#include "xref/xref.h"
#include "shell/requests.h"
#include "shell/worker_internal.h"
#include "shell/worker_job.h"
#include "xref/row_text.h"

// The changes an update job applies, copied from the request.
struct SourceChanges {
  struct One {
    std::string path;  // native
    std::string text;  // the bytes of the source
    bool from_file;    // read the file instead of text
    bool remove;       // the source is gone
  };
  std::vector<One> all;
};

namespace {

// The registered source with this native path, or nullptr.
ST_SOURCE *SourceAt(const std::string &path) {
  ST_SOURCE *found = nullptr;
  ForEachSource([&](ST_SOURCE *s) {
    if (!s->path || path != s->path) return WalkResult::kGoOn;
    found = s;
    return WalkResult::kStop;
  });
  return found;
}

// The last registered source (the one ANA_SourceCreate just added).
ST_SOURCE *LastSource() {
  ST_SOURCE *last = nullptr;
  ForEachSource([&](ST_SOURCE *s) { last = s; });
  return last;
}

// The source a change is about: registered already, or registered now as a
// collection would, at the end (nullptr when it cannot be).
ST_SOURCE *SourceOf(const SourceChanges::One &c) {
  if (ST_SOURCE *s = SourceAt(c.path)) return s;
  if (c.remove || !ProjectFiles || !ANA_SourceCreate(c.path.c_str())) return nullptr;
  AddCB(ProjectFiles, c.path.c_str(), (int)c.path.size() + 1);
  ST_SOURCE *s = LastSource();
  if (s) s->sid = ANA.sources.count;
  return s;
}

// Analyses s again from the change; the index keeps what was read from the
// file, never an editor's buffer (an entry is its file's).
void Reload(ST_SOURCE *s, const SourceChanges::One &c) {
  if (c.remove) {
    ANA_SourceReload(s, "", 0);
    ProjectIndexSourceGone(s->path);
  } else if (c.from_file) {
    SourceStamp read;
    ANA_SourceReload(s, nullptr, 0, &read);
    ProjectIndexSourceRead(s, &read);
  } else {
    ANA_SourceReload(s, c.text.data(), (int)c.text.size());
    ProjectIndexSourceRead(s, nullptr);
  }
}

}  // namespace

int RequestSourceChanges(const SourceChange *changes, int n) {
  if (WorkerBusy() || !ProjectFiles || !changes || n <= 0) return 0;
  SourceChanges *copy = new (std::nothrow) SourceChanges();
  if (!copy) return 0;
  try {
    for (int i = 0; i < n; i++) {
      const SourceChange &c = changes[i];
      if (!c.path) continue;
      copy->all.push_back(SourceChanges::One{
          c.path, c.text ? std::string(c.text, c.len) : std::string(), !c.text, c.remove != 0});
    }
  } catch (const std::bad_alloc &) {
    delete copy;
    return 0;
  }
  WorkerParams p{};
  p.main_window = g_front.main_window;
  p.changes = copy;
  JobState = JobStep::UpdateSources;
  if (WorkerStart(&p)) return 1;
  delete copy;  // WorkerStart put the program back to idle
  return 0;
}

namespace worker_job {

void UpdateSources() {
  // The statement parser's links are made again where they can change, and
  // the query index follows; the precise parser's tables, or an index that
  // is not there, take the numbering and linking steps of the analysis job.
  bool precise = g_config.PARSER == 1;
  ForEachSource([&](const ST_SOURCE *s) { precise = precise || s->precise; });
  ST_QUERY *q = precise ? nullptr : ProjectQueryToUpdate();
  bool whole = !q;
  ProjectIndexBeginUpdate();
  if (g_job.p.changes) {
    for (const SourceChanges::One &c : g_job.p.changes->all) {
      ST_SOURCE *s = SourceOf(c);
      if (!s) continue;
      ST_RELINK *r = whole ? nullptr : ANA_RelinkPrepare(q, s);
      whole = whole || !r;
      Reload(s, c);
      if (r && !ANA_RelinkFinish(r, q, s)) whole = true;
    }
  }
  DropChanges();
  if (!whole) {
    ProjectQueryUpdated();
    JobState = JobStep::FinishUpdate;
    return;
  }
  g_job.updating = 1;
  // Every link is made again: a definition that lost its last caller is no
  // longer called.
  ForEachFunction([](ST_FUNC *f) { f->called = 0; });
  JobState = JobStep::MakeFunctionList;
}

void FinishUpdate() {
  JobState = JobStep::Idle;
  ProjectIndexFinish(!g_job.link_stopped);
  ProjectIndexEnd();
}

void DropChanges() {
  delete g_job.p.changes;
  g_job.p.changes = nullptr;
}

void NoteParsed(const ST_SOURCE *s) {
  ResultsSink *sink = Stopping() ? nullptr : g_job.p.results;
  if (!s || !sink || !sink->TakesParsed()) return;
  std::vector<FunctionRow> rows;
  ForEachFunction(s, [&](const ST_FUNC *f) { rows.push_back(MakeFunctionRow(f)); });
  sink->SourceParsed(s->path, rows.data(), rows.size(), g_job.i, g_job.count);
}

}  // namespace worker_job
