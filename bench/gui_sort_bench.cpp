// The Call List of the desktop program with many rows: N rows (default
// 500,000) sent from a worker thread through the port queue as the analysis
// sends them, then column clicks that sort them (a number column and two
// text columns, each ascending and descending, off the GUI thread; then the
// same on the GUI thread alone), each followed by a repaint of the view;
// then keystrokes in its search box (typing, narrowing, deleting, clearing),
// each followed by a repaint too. Prints the seconds of each step.
// Runs offscreen unless QT_QPA_PLATFORM says otherwise.
//
//   bench_gui_sort [N=500000]
// bench-links: velmora_ui
#include <QApplication>
#include <QTableView>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "foundation/ports.h"
#include "foundation/settings.h"
#include "foundation/text.h"
#include "ui/port_queue.h"
#include "ui/views.h"

namespace {

double Seconds(std::chrono::steady_clock::time_point t0) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

// One Call List row the way the linker sends it: an insertion, then the
// cells one by one.
void SendRow(int i) {
  char cell[64];
  int sid = 1 + i / 120, fid = 1 + i % 40;
  FormatText(cell, sizeof cell, "%d", sid);
  InsertRow(VIEW_CALLS, i, 0, cell);
  FormatText(cell, sizeof cell, "file_%05d.c", sid);
  SetCell(VIEW_CALLS, i, 1, cell);
  FormatText(cell, sizeof cell, "%d", fid);
  SetCell(VIEW_CALLS, i, 2, cell);
  FormatText(cell, sizeof cell, "caller_%08x", (unsigned)(sid * 40 + fid) * 2654435761u);
  SetCell(VIEW_CALLS, i, 3, cell);
  FormatText(cell, sizeof cell, "Callee_%08x", (unsigned)i * 40503u);
  SetCell(VIEW_CALLS, i, 4, cell);
  FormatText(cell, sizeof cell, "%d", i % 5);
  SetCell(VIEW_CALLS, i, 5, cell);
  if (i % 3 == 0) {
    SetCell(VIEW_CALLS, i, 6, "X");
    return;
  }
  SetCell(VIEW_CALLS, i, 6, "===>");
  int to = 1 + (int)(((unsigned)i * 7919u) % 4000u);
  FormatText(cell, sizeof cell, "%d", to);
  SetCell(VIEW_CALLS, i, 7, cell);
  FormatText(cell, sizeof cell, "file_%05d.c", to);
  SetCell(VIEW_CALLS, i, 8, cell);
  SetCell(VIEW_CALLS, i, 9, "1");
  FormatText(cell, sizeof cell, "Callee_%08x", (unsigned)i * 40503u);
  SetCell(VIEW_CALLS, i, 10, cell);
}

}  // namespace

int main(int argc, char **argv) {
  int n = argc > 1 ? atoi(argv[1]) : 500000;
  if (n < 1) n = 1;
  if (!getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QApplication app(argc, argv);
  ResetConfiguration();
  PortQueue queue;
  ViewsPanel panel(&queue);
  panel.resize(1200, 800);
  panel.show();
  panel.SelectView(VIEW_CALLS);
  g_views = &panel;

  auto t0 = std::chrono::steady_clock::now();
  std::atomic<bool> done{false};
  std::thread worker([&] {
    for (int i = 0; i < n; i++) SendRow(i);
    done = true;
  });
  while (!done || queue.Pending()) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
  worker.join();
  queue.Drain();
  QCoreApplication::processEvents();
  printf("%-40s %8.3f s (%d rows)\n", "fill from a worker thread", Seconds(t0),
         panel.Model(VIEW_CALLS)->rowCount());

  struct Click {
    int col;
    const char *what;
  } clicks[] = {{0, "sort SID (number), ascending"},        {0, "sort SID (number), descending"},
                {4, "sort CallFunction (text), ascending"}, {4, "sort CallFunction, descending"},
                {1, "sort Source (text), ascending"},       {1, "sort Source, descending"}};
  // A click sorts a long list on a thread of its own: the time until the
  // rows show sorted, and the longest the window was away meanwhile.
  for (const Click &c : clicks) {
    t0 = std::chrono::steady_clock::now();
    panel.ClickColumn(VIEW_CALLS, c.col);
    double worst = Seconds(t0);
    auto last = std::chrono::steady_clock::now();
    while (panel.Model(VIEW_CALLS)->Sorting()) {
      QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
      worst = std::max(worst, Seconds(last));
      last = std::chrono::steady_clock::now();
    }
    panel.ListWidget(VIEW_CALLS)->viewport()->repaint();
    QCoreApplication::processEvents();
    worst = std::max(worst, Seconds(last));
    printf("%-40s %8.3f s (window away at most %.3f s)\n", c.what, Seconds(t0), worst);
  }
  // The same sorts on the GUI thread alone, as a short list is sorted: the
  // window would be away for all of it.
  for (const Click &c : clicks) {
    t0 = std::chrono::steady_clock::now();
    panel.Model(VIEW_CALLS)->SortBy(c.col, false);
    panel.ListWidget(VIEW_CALLS)->viewport()->repaint();
    QCoreApplication::processEvents();
    printf("%-40s %8.3f s (on the GUI thread)\n", c.what, Seconds(t0));
  }

  // The search box: what each keystroke leaves, as the user sees it.
  FilterBox *box = panel.FilterEdit(VIEW_CALLS);
  const char *texts[] = {"c",         "ca",       "cal",    "call",      "calle", "callee_0",
                         "callee_0a", "callee_0", "Callee", "file_0001", "",      "x"};
  for (const char *t : texts) {
    t0 = std::chrono::steady_clock::now();
    box->setText(QString::fromLatin1(t));
    panel.ListWidget(VIEW_CALLS)->viewport()->repaint();
    QCoreApplication::processEvents();
    char what[64];
    FormatText(what, sizeof what, "search \"%s\"", t);
    printf("%-40s %8.3f s (%d rows shown)\n", what, Seconds(t0),
           panel.Filter(VIEW_CALLS)->rowCount());
  }
  g_views = nullptr;
  queue.SetApplier(nullptr);
  return 0;
}
