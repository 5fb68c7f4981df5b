// The worker's calls of the analysis job's ports: each does nothing without
// its window, or while shutdown stops the worker (as the calls in worker.cpp).
#include "foundation/text.h"
#include "shell/worker_job.h"

namespace worker_job {

int Current() {
  return !Stopping() && g_job.p.main_window ? g_job.p.main_window->CurrentView() : 0;
}
void Drops(int on) {
  if (!Stopping() && g_job.p.main_window) g_job.p.main_window->AcceptDrops(on);
}
void Redraw() {
  if (!Stopping() && g_job.p.main_window) g_job.p.main_window->Repaint();
}
void Detail(const char *text) {
  if (!Stopping() && g_job.p.progress) g_job.p.progress->SetDetail(text);
}
void FuncBar(int p) {
  if (!Stopping() && g_job.p.progress) g_job.p.progress->SetFunctionProgress(p);
}
void SourceBar(int p) {
  if (!Stopping() && g_job.p.progress) g_job.p.progress->SetSourceProgress(p);
}
void PassLine(int n) {
  if (!Stopping() && g_job.p.progress) g_job.p.progress->SetPass(n);
}
void PhaseLine(int k) {
  if (!Stopping() && g_job.p.progress) g_job.p.progress->SetPhase(k);
}
// A status text of ours, formatted with numbers.
void StatusF(const char *format, int a, int b) {
  char text[160];
  FormatText(text, sizeof text, format, a, b);
  Status(text);
}

}  // namespace worker_job
