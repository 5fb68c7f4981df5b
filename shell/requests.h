// The requests of the two programs to the worker: start an analysis of
// dropped paths or of the files collected at start-up, build a call tree or
// a callers tree,
// discard the open project. They run on the program's main thread and use the
// ports of g_front (shell/worker.h).
#pragma once

#include <cstddef>

// 1 when a project is open (ProjectFiles exists), else 0.
int ProjectIsOpen(void);
// Discards the open project: releases ProjectFiles and every source of the
// analyzer. The views are the caller's to clear. Only while idle.
void DiscardProject(void);
// The program has emptied its Result view: the next tree writes its
// display-switch lines again, and anonymous graph nodes are numbered from 0.
// Only while idle; never fails.
void ResultViewCleared(void);

// The analysis of dropped paths (native, count n). Refused (0) while busy or
// when n is 0. Stops drops, sets JobState StartAnalysis, opens the progress
// window (MainWindowPort::Open) and starts the worker. 1 started; 0 refused
// or failed after its warning ("Memory Alloc Error!", "CreateDialogParam
// failed.\r\nstop processing.", or the thread warning), drops accepted again.
int RequestAnalysis(const char *const *paths, int n);
// Starts the analysis of the files collected at start-up (JobState
// RegisterSources), the way the main window does once it exists. 1 started; 0
// when nothing is pending or the start failed (JobState Idle afterwards).
int RequestStartupAnalysis(void);
// The call tree below function (sid, fid). While busy: the warning
// "処理中は受け付けません。" and 0. Otherwise clears the CallTree view and the
// anonymous node numbering; when the function exists, sets JobState
// StartTree, opens the wait box with "関数呼出木を作成しています。" and starts
// the worker. 1 (also when no such function exists, without a job).
int RequestCallTree(int sid, int fid);
// The callers tree of function (sid, fid), as RequestCallTree does for the
// call tree, in the Callers view (which it clears).
int RequestCallersTree(int sid, int fid);
// The one-level callers tree of a name no source defines: text is scope and
// name written together (Shift_JIS) as unlinked calls write it, with argc
// arguments (below 0: with any number). As RequestCallersTree; no job for an
// empty text.
int RequestNameCallersTree(const char *text, int argc);
// The same trees drawn again into their view only (going back and forth
// through the trees of a session): no Result text, log lines, graph file,
// picture or viewer. callers 0: the call tree of (sid, fid); 1: the callers
// tree of (sid, fid), or of name (Shift_JIS, argc arguments) when name is
// not empty. Busy and missing functions as RequestCallTree.
int RequestTreeRedraw(int callers, int sid, int fid, const char *name, int argc);

enum class EditorView {
  kFunction,  // "view Function": the function's text alone
  kSource,    // "view Source", "Go to Definition": its source at its name's line
};
// The editor on function (sid, fid) of the Function List. While busy: the
// warning "処理中は受け付けません。" and 0 (a running job writes the records
// it would read). Otherwise the result of OpenFunctionText or
// OpenSourceAtFunction.
int RequestEditor(EditorView which, int sid, int fid);
// The editor on source sid at line (0-based): a call's place. Busy as
// RequestEditor; otherwise the result of OpenSourceAtLine.
int RequestEditorAtLine(int sid, int line);

// One change to a source of the open project (RequestSourceChanges).
struct SourceChange {
  const char *path;  // native path of the source
  const char *text;  // its bytes as a file's (any encoding a file may have), or
                     // nullptr: read from its file
  size_t len;        // bytes of text
  int remove;        // 1: the source is gone (it is kept without functions)
};
// The update job: each changed source is analysed again from its text (a
// path that no source has is registered when its file can be read), then
// the project is linked again; the lists, logs and windows see none of it
// but the log lines of numbering and linking. The texts are copied. Refused
// (0) while busy, without an open project or when n is 0; 1 started; 0 when
// memory or the thread could not be had (nothing changed).
int RequestSourceChanges(const SourceChange *changes, int n);
