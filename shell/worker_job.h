// What the worker's two jobs share: the job record, the pause, the port
// calls both make, and the call-tree job's steps, which the loop in
// worker.cpp drives and tree_job.cpp performs. Private to shell/; only the
// worker thread touches any of it while a job runs.
#pragma once

#include <atomic>
#include <cstdint>

#include "shell/worker.h"

namespace worker_job {

// The job's own copy of its start record and the loop's locals; touched only
// by the worker thread while it runs.
struct Job {
  WorkerParams p;         // the start record
  ANA_EXEC exec;          // the analysis job's place in the analysis
  const char *next_path;  // next dropped path to collect
  int i;                  // dropped path, source or link step in progress
  int count;              // sources registered
  int link_stopped;       // Escape ended the linking early
  int svg_running;        // the SVG for the Graph tab is being rendered
  char end_status[160];   // status text at the end of a tree job instead of the usual one
  int tree_cut;           // Escape cut the tree short
  int escaped;            // Escape stopped the collection
  int nodes;              // the nodes the renderers are to draw (a large graph asks)
  uint32_t last_yield;    // tick count of the last busy turn's yield
  int updating;           // an update job: linking ends in FinishUpdate
};

extern Job g_job;
// Enter answered the question before a large render; set from the GUI thread.
extern std::atomic<int> g_render_yes;

// True once shutdown has asked the loop to leave.
bool Stopping();
// Sleeps ms milliseconds; PAUSE_YIELD gives up the processor once, 0 nothing.
void Pause(unsigned ms);
// Sleeps what is left of ms milliseconds since the tick count start (a pause
// during which the worker did some quiet work); nothing once they are over.
void PauseRest(unsigned ms, uint32_t start);

// Port calls: each does nothing without its window, or while shutdown stops
// the worker.
void Status(const char *text);
void Select(int view);
void WaitText(const char *text);
void WaitQuestion(const char *text);  // the wait box's question before a large render
void GraphShown(const char *svg);     // nothing for a null or empty path
void TreeEnded(int complete);

// The analysis job's port calls (worker_ports.cpp), as above.
int Current();
void Drops(int on);
void Redraw();
void Detail(const char *text);
void FuncBar(int p);
void SourceBar(int p);
void PassLine(int n);
void PhaseLine(int k);
// A status text of ours, formatted with numbers.
void StatusF(const char *format, int a, int b);

// Status text of entry k (clamped to the table), as shown: the built-in
// texts in the language in force; the Result view's entry (5) is past the
// table and shows the last text, the one that invites a new tree or a new
// drop.
const char *StatusText(int k);

// The call-tree job, one step a turn; each sets JobState to the next step.
void StartTree();
void ExpandTree();
void StartRenderer();     // asks first (AskRender) when the graph is very large
void AskRender();         // waits for Enter or Escape
unsigned WaitRenderer();  // returns the pause of this turn
void ShowTree();

// The update job (update_job.cpp): the changed sources analysed again, then
// the numbering and linking steps of the analysis job, then FinishUpdate.
void UpdateSources();
void FinishUpdate();
// Releases the job's changes (at its end, however it ended).
void DropChanges();
// A source has just been parsed: its functions to the results sink, for
// fronts that answer from what is parsed so far.
void NoteParsed(const ST_SOURCE *s);

}  // namespace worker_job
