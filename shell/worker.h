// The analysis worker: one thread that walks the job state JobState a step per
// turn, for the analysis job (states 1-8) and the call-tree job (10-14), and
// the requests that start those jobs. Both programs use it: the desktop
// program with its windows as ports, the terminal program with a terminal.
//
// Threads: the requests, WorkerWait and WorkerStop run on the program's main
// thread; everything else here runs on the worker. The main thread writes
// JobState only while it is 0 and before the worker starts; afterwards only the
// worker writes it. The main thread touches ProjectFiles, the analyzer and the
// views only while no job runs (WorkerBusy() is 0).
#pragma once

#include <atomic>
#include <cstdint>

#include "engine/ana.h"
#include "foundation/cb.h"
#include "foundation/ports.h"

// The job state; any value but 0 means a job runs.
extern std::atomic<int> JobState;
// The collected paths of the open project (native, each with its NUL), or
// nullptr when no project is open.
extern CB *ProjectFiles;
// Shift_JIS text shared by the worker and the analyzer (source names, phase
// texts, the graph-size messages).
extern char MessageBuffer[260];
// Folder entries seen by the current collection, and the tick count of its
// last progress line; both reset at the start of every collection.
extern int entry_counter;
extern uint32_t last_report;

// A pause that only gives the rest of the time slice away.
enum : unsigned { PAUSE_YIELD = 0xFFFFFFFFu };

// The pauses of the job loop, in milliseconds; 0 is no pause at all,
// PAUSE_YIELD gives the processor away once.
struct WorkerTiming {
  unsigned turn_ms;       // end of every turn
  unsigned busy_turn_ms;  // end of a parse (5) or link (7) turn
  unsigned settle_ms;     // before sources are registered, after a tree expands
  unsigned short_ms;      // around the other transitions
  unsigned show_ms;       // after the viewer is started
};
// The desktop program's pauses (16/yield/500/100/200) and the terminal
// program's (all 0: it has no window to keep responsive).
extern const WorkerTiming kDesktopTiming;
extern const WorkerTiming kHeadlessTiming;
// The pauses in force; kDesktopTiming until a program sets another.
extern WorkerTiming g_worker_timing;

// The start record of one job, copied by the worker when it starts.
struct WorkerParams {
  MainWindowPort *main_window;  // owner of warnings, target of AcceptDrops
  ProgressSink *progress;       // progress window of the analysis job, or nullptr
  WaitBox *wait_box;            // wait box of the call-tree job, or nullptr
  ST_FUNC *root;                // root of the call tree, or nullptr
  int path_count;               // dropped paths (analysis job from a drop), else 0
  char *paths;                  // path_count NUL-terminated native paths one after
                                // another (MemAlloc); owned by the worker from the
                                // start, released when collection ends
  int render;                   // call-tree job: start the renderer on the graph
  int view;                     // call-tree job: open the viewer on the picture
};

// The ports and choices of the program, used by the requests below. Set once
// by the program before the first request; null ports are absent windows.
struct ShellFront {
  MainWindowPort *main_window;
  ProgressSink *progress;
  WaitBox *wait_box;
  int render;  // call trees are rendered (desktop: 1)
  int view;    // rendered pictures are opened in the viewer (desktop: 1)
};
extern ShellFront g_front;

// Starts the worker thread on a copy of params (JobState must already hold the
// job's first state). Joins the previous worker first. 1 started; 0 after the
// warning "処理スレッドの作成に失敗しました。", with the program back to idle
// (JobState 0, the feedback window closed, drops accepted, paths released).
int WorkerStart(const WorkerParams *params);
// 1 while a job runs or the worker thread has not yet ended.
int WorkerBusy(void);
// Waits until the worker thread has ended (nothing when none runs).
void WorkerWait(void);
// Shutdown while a job may run: asks the worker to end at its next check
// without touching any port, requests a stop of the long loops (Escape), and
// waits for it. The caller's ports must not wait for the calling thread.
void WorkerStop(void);

// 1 when a project is open (ProjectFiles exists).
int ProjectIsOpen(void);
// Discards the open project: releases ProjectFiles and every source of the
// analyzer. The views are the caller's to clear. Only while idle.
void DiscardProject(void);

// The analysis of dropped paths (native, count n). Refused (0) while busy or
// when n is 0. Stops drops, sets JobState 1, opens the progress window
// (MainWindowPort::Open) and starts the worker. 1 started; 0 refused or failed
// after its warning ("Memory Alloc Error!", "CreateDialogParam
// failed.\r\nstop processing.", or the thread warning), drops accepted again.
int RequestAnalysis(const char *const *paths, int n);
// Starts the analysis of the files collected at start-up (JobState 4), the
// way the main window does once it exists. 1 started; 0 when nothing is
// pending or the start failed (JobState 0 afterwards).
int RequestStartupAnalysis(void);
// The call tree below function (sid, fid). While busy: the warning
// "処理中は受け付けません。" and 0. Otherwise clears the CallTree view and the
// anonymous node numbering; when the function exists, sets JobState 10, opens
// the wait box with "関数呼出木を作成しています。" and starts the worker. 1 (also
// when no such function exists, without a job).
int RequestCallTree(int sid, int fid);

// Appends to list every file at or below base + name ("" base: name alone)
// whose extension is in EXT. window (may be null) gets "[%d] %s" detail lines
// at most every 100 ms. A folder already on the current walk (a link loop) is
// not entered again, and a path longer than VELMORA_PATH_MAX is skipped; both
// leave a trace line.
void GetDirFile(ProgressSink *window, CB *list, const char *base, const char *name);

// Test hook: when on, the next WorkerStart fails as if no thread could be made.
void WorkerFailNextStart(int on);
