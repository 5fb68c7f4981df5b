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
#include <string>
#include <thread>
#include <vector>

#include "foundation/settings.h"
#include "foundation/text.h"
#include "ui/port_queue.h"
#include "ui/views.h"

namespace {

double Seconds(std::chrono::steady_clock::time_point t0) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

// The texts the rows point at, made once (the analyzer keeps its own the same
// way: interned, for as long as the rows live).
struct Texts {
  std::vector<std::string> files, callers, callees;
};

// One Call List row the way the linker makes it.
CallRow MakeRow(const Texts &t, int i) {
  int sid = 1 + i / 120, fid = 1 + i % 40;
  CallRow r = {};
  r.sid = sid;
  r.fid = fid;
  r.source = t.files[(size_t)sid].c_str();
  r.scope = "";
  r.name = t.callers[(size_t)i].c_str();
  r.call_scope = "";
  r.call_name = t.callees[(size_t)i].c_str();
  r.argc = i % 5;
  r.to_source = r.to_scope = r.to_name = "";
  if (i % 3 == 0) return r;
  int to = 1 + (int)(((unsigned)i * 7919u) % 4000u);
  r.to_sid = to;
  r.to_fid = 1;
  r.to_source = t.files[(size_t)to].c_str();
  r.to_name = r.call_name;
  return r;
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

  Texts texts_of_rows;
  char cell[64];
  for (int sid = 0; sid <= n / 120 + 4001; sid++) {
    FormatText(cell, sizeof cell, "file_%05d.c", sid);
    texts_of_rows.files.push_back(cell);
  }
  for (int i = 0; i < n; i++) {
    int sid = 1 + i / 120, fid = 1 + i % 40;
    FormatText(cell, sizeof cell, "caller_%08x", (unsigned)(sid * 40 + fid) * 2654435761u);
    texts_of_rows.callers.push_back(cell);
    FormatText(cell, sizeof cell, "Callee_%08x", (unsigned)i * 40503u);
    texts_of_rows.callees.push_back(cell);
  }
  auto t0 = std::chrono::steady_clock::now();
  std::atomic<bool> done{false};
  std::thread worker([&] {
    // In blocks of a source's calls, as linking hands them over.
    std::vector<CallRow> block;
    for (int i = 0; i < n; i++) {
      block.push_back(MakeRow(texts_of_rows, i));
      if (block.size() == 120 || i == n - 1) {
        panel.AddCallRows(block.data(), block.size());
        block.clear();
      }
    }
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
  queue.SetApplier(nullptr);
  return 0;
}
