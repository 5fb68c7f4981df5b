// The analysis worker: one thread that walks the job state JobState a step per
// turn, for the analysis job and the call-tree job. Both programs use it: the
// desktop program with its windows as ports, the terminal program with a
// terminal. The requests that start the jobs are in shell/requests.h.
//
// Threads: WorkerStart, WorkerWait and WorkerStop run on the program's main
// thread; the job steps run on the worker. The main thread writes JobState
// only while it is Idle and before the worker starts; afterwards only the
// worker writes it. The main thread touches ProjectFiles, the analyzer and
// the views only while no job runs (WorkerBusy() is 0).
#pragma once

#include <atomic>

#include "engine/ana.h"
#include "foundation/cb.h"
#include "foundation/ports.h"
#include "xref/calltree.h"
#include "xref/results.h"

// The steps of the two jobs, one per turn of the worker. Each step names what
// it does; the numbers are those of the job state the main window and the
// start-up set.
enum class JobStep : int {
  Idle = 0,              // no job; the worker seeing it closes the job's windows and ends
  StartAnalysis = 1,     // analysis job: a new ProjectFiles, the progress window reset
  CollectFiles = 2,      // collect the files below one dropped path per turn
  CheckCollected = 3,    // warn and end when no file was collected
  RegisterSources = 4,   // register the collected files as sources (start-up begins here)
  ParseSource = 5,       // parse the current source, in slices of ten statements
  MakeFunctionList = 6,  // number the functions, fill the Function List, open the Call List
  LinkCalls = 7,         // link the calls of one source per turn
  FinishAnalysis = 8,    // refresh the Called column and the status; warn without functions
  StartTree = 10,        // call-tree job: select the CallTree (or Callers) view
  ExpandTree = 11,       // expand the tree (or callers tree) of the root into every output
  StartRenderer = 12,    // the waiting message for the graph's size, then the renderer
  WaitForRenderer = 13,  // poll the renderer once per turn; Escape gives up waiting
  ShowPicture = 14,      // open the picture in the viewer and set the status
  AskRender = 15,        // a large graph: wait for the user's Enter (render) or Escape (not)
  UpdateSources = 16,    // update job: analyse the changed sources again
  FinishUpdate = 17,     // update job: done once the project is linked again
};

// The job state; any step but Idle means a job runs.
extern std::atomic<JobStep> JobState;
// The collected paths of the open project (native, each with its NUL), or
// nullptr when no project is open.
extern CB *ProjectFiles;
// Shift_JIS text shared by the worker and the analyzer (source names, phase
// texts, the graph-size messages).
extern char MessageBuffer[260];

// A pause that only gives the rest of the time slice away, and that at most
// once per turn_ms: a busy turn is often far shorter (one source), and tens of
// thousands of yields cost the analysis threads their turns on the processors.
enum : unsigned { PAUSE_YIELD = 0xFFFFFFFFu };

// The pauses of the job loop, in milliseconds; 0 is no pause at all,
// PAUSE_YIELD gives the processor away (see above).
struct WorkerTiming {
  unsigned turn_ms;       // end of every turn
  unsigned busy_turn_ms;  // end of a ParseSource or LinkCalls turn
  unsigned settle_ms;     // before sources are registered, after a tree expands
  unsigned short_ms;      // around the other transitions
  unsigned show_ms;       // after the viewer is started
  // Statements the worker parses inside braces between two yields of the
  // processor; 0 never yields. A yield per statement would cost a system
  // call each; one every 64 keeps the worker polite without letting the
  // yields dominate the parse.
  int yield_every;
};
// The desktop program's pauses (16/yield/500/100/200, a yield every 64
// statements) and the terminal program's (all 0: it has no window to keep
// responsive).
extern const WorkerTiming kDesktopTiming;
extern const WorkerTiming kHeadlessTiming;
// The pauses in force; kDesktopTiming until a program sets another.
extern WorkerTiming g_worker_timing;
// Milliseconds the worker has slept in the pauses of g_worker_timing since
// the last WorkerStart (yields not counted); any thread. For measurements.
unsigned WorkerPausedMs(void);

struct SourceChanges;  // what an update job changes (shell/update_job.cpp)

// The start record of one job, copied by the worker when it starts.
struct WorkerParams {
  MainWindowPort *main_window;  // owner of warnings, target of AcceptDrops
  ProgressSink *progress;       // progress window of the analysis job, or nullptr
  WaitBox *wait_box;            // wait box of the call-tree job, or nullptr
  ResultViews *views;           // tree views and Result text the job fills, or nullptr
  ResultsSink *results;         // where the analysis job's list rows go, or nullptr
  // Receives every node of the call-tree job's tree (velmora-cli --json), or nullptr.
  void (*tree_nodes)(const TreeNodeInfo *node);
  ST_FUNC *root;   // root of the call tree, or nullptr
  int path_count;  // dropped paths (analysis job from a drop), else 0
  char *paths;     // path_count NUL-terminated native paths one after
                   // another (MemAlloc); owned by the worker from the
                   // start, released when collection ends
  int render;      // call-tree job: start the renderer on the graph
  int view;        // call-tree job: open the viewer on the picture
  // Call-tree job: draw the callers tree of root instead, or, without a root,
  // that of the name callers_name (Shift_JIS) with callers_argc arguments.
  int callers = 0;
  char callers_name[528] = {};
  int callers_argc = 0;
  // Call-tree job of the desktop program: the graph is also rendered as an
  // SVG for the Graph tab (MainWindowPort::ShowGraph), and a graph of more
  // than kAskNodes nodes is rendered only when the user says so.
  int in_window = 0;
  int ask_large = 0;
  // Call-tree job of the desktop program: the Graph tab shows the nodes
  // within this depth of the root (0: all), and no picture file is made on
  // the desktop (the Graph tab is the viewer; a picture is saved on request).
  int graph_depth = 0;
  int no_picture = 0;
  // Call-tree job: the tree is drawn into its view only (no Result text, log
  // lines, graph file or picture), as going back to an earlier tree does.
  int view_only = 0;
  // Analysis job from the command line: the sources are registered already.
  int registered = 0;
  // Update job: the sources to analyse again; owned by the worker from the
  // start, released when the job ends.
  SourceChanges *changes = nullptr;
};

// Graphs with more nodes than this are rendered only when the user agrees
// (WorkerParams::ask_large).
enum { kAskNodes = 2000 };

// The ports and choices of the program, used by the requests. Set once by the
// program before the first request; null ports are absent windows.
struct ShellFront {
  MainWindowPort *main_window = nullptr;
  ProgressSink *progress = nullptr;
  WaitBox *wait_box = nullptr;
  ResultViews *views = nullptr;                            // tree views and Result text
  ResultsSink *results = nullptr;                          // the list rows
  void (*tree_nodes)(const TreeNodeInfo *node) = nullptr;  // every tree node, or null
  int render = 1;                                          // call trees are rendered (desktop: 1)
  int view = 1;         // rendered pictures are opened in the viewer (desktop: 1)
  int in_window = 0;    // an SVG of each graph for the Graph tab (desktop: 1)
  int ask_large = 0;    // large graphs wait for the user's answer (desktop: 1)
  int graph_depth = 0;  // depth of the Graph tab's graphs (0: all)
  int no_picture = 0;   // no picture file on the desktop (the Graph tab is the viewer)
  // The project's index: -1 as the INDEX setting says, 0 never, 1 always;
  // index_file names the file instead of the one named from the project's
  // roots ("" for that one; owned by the program).
  int index = -1;
  const char *index_file = "";
};
extern ShellFront g_front;

// Starts the worker thread on a copy of params (JobState must already hold the
// job's first step). Joins the previous worker first. 1 started; 0 after the
// warning "処理スレッドの作成に失敗しました。", with the program back to idle
// (JobState Idle, the feedback window closed, drops accepted, paths released).
int WorkerStart(const WorkerParams *params);
// 1 while a job runs or the worker thread has not yet ended, else 0.
int WorkerBusy(void);
// Waits until the worker thread has ended (returns at once when none runs).
void WorkerWait(void);
// Shutdown while a job may run: asks the worker to end at its next check
// without touching any port, requests a stop of the long loops (Escape), and
// waits for it; JobState is Idle afterwards. The caller's ports must not wait
// for the calling thread.
void WorkerStop(void);
// 1 from WorkerStop's request until the worker has ended: long pauses on the
// worker (the tone player's) poll it to end early. Any thread.
int WorkerStopRequested(void);

// 1 while a call-tree job waits for the user's answer about rendering a
// large graph (JobStep::AskRender); any thread.
int WorkerAsksToRender(void);
// The user's Enter to that question: the graph is rendered. Any thread;
// nothing when no question is open. Escape (EscapeRequest) answers no.
void AnswerRender(void);

// 1 when Escape stopped the linking of the last analysis job (its call links
// and the Called column are partial), else 0; read once the job has ended.
int WorkerLinkingStopped(void);

// Test hook: when on, the next WorkerStart fails as if no thread could be made.
void WorkerFailNextStart(int on);
