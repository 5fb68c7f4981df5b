// The screenshot tour (see screenshots.h). It drives the real windows on
// timers, so every picture shows what a user sees; the progress window and
// the wait box are shown with typical mid-job contents, since a sample
// project is analysed faster than anyone could look at them.
#include "ui/screenshots.h"

#include <cstring>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QTableView>
#include <QTimer>
#include <QTreeView>

#include <algorithm>
#include <cstdlib>

#include "foundation/ports.h"
#include "platform/sys.h"
#include "shell/app.h"
#include "shell/worker.h"
#include "ui/dialogs.h"
#include "ui/mainwindow.h"
#include "ui/qtext.h"
#include "ui/settings_dialog.h"
#include "ui/source_page.h"
#include "ui/views.h"
#include "xref/list_columns.h"

namespace {

struct Tour {
  MainWindow *w;   // the window toured
  QString dir;     // where the pictures go
  int step = 0;    // next step
  int waited = 0;  // polls spent waiting for the worker
};

bool Save(const Tour &t, QWidget *widget, const char *name) {
  QString path = QDir(t.dir).filePath(QString::fromLatin1(name));
  bool ok = widget->grab().save(path, "PNG");
  fprintf(stderr, "velmora: %s %s\n", ok ? "saved" : "could not save",
          path.toLocal8Bit().constData());
  return ok;
}

// Finds the row of the function named name; 1 with its numbers.
int FindFunction(ViewsPanel *v, const char *name, int *sid, int *fid) {
  ListModel *m = v->Model(VIEW_FUNCTIONS);
  for (int r = 0; r < m->Size(); r++) {
    if (m->Cell(r, FL_FUNCTION) == name) {
      *sid = m->FunctionAt(r)->sid;
      *fid = m->FunctionAt(r)->fid;
      return 1;
    }
  }
  return 0;
}

void Step(Tour *t) {
  MainWindow *w = t->w;
  ViewsPanel *v = w->Views();
  // Steps that follow a job wait for it; a stuck job ends the tour.
  if (WorkerBusy() && (t->step == 0 || t->step == 3 || t->step == 9)) {
    if (++t->waited > 600) {
      fprintf(stderr, "velmora: the job did not end; no screenshots\n");
      w->close();
      delete t;
      return;
    }
    QTimer::singleShot(100, w, [t] { Step(t); });
    return;
  }
  switch (t->step++) {
    case 0:
      v->SelectView(VIEW_FUNCTIONS);
      break;
    case 1:
      Save(*t, w, "function-list.png");
      v->SelectView(VIEW_CALLS);
      break;
    case 2: {
      Save(*t, w, "call-list.png");
      int sid = 0, fid = 0;
      if (FindFunction(v, "main", &sid, &fid)) w->TreeRequest(sid, fid);
      break;
    }
    case 3:
      v->SelectView(VIEW_TREE);
      v->TreeWidget()->expandAll();
      break;
    case 4:
      Save(*t, w, "calltree.png");
      v->SelectView(VIEW_GRAPH);  // as it arrived: fitted, with its title
      break;
    case 5: {
      Save(*t, w, "graph.png");
      int sid = 0, fid = 0;
      if (FindFunction(v, "main", &sid, &fid)) {
        FunctionTarget target;
        target.sid = sid;
        target.fid = fid;
        v->ShowSource(target);
        // The first call underlined, as a click on it leaves it.
        v->SourceTab()->View()->SetCurrentCall(0);
      }
      break;
    }
    case 6:
      Save(*t, w, "source.png");
      v->SelectView(VIEW_RESULT);
      break;
    case 7:
      Save(*t, w, "result.png");
      v->SelectView(VIEW_FUNCTIONS);
      v->FilterEdit(VIEW_FUNCTIONS)->setText(QStringLiteral("is_"));
      break;
    case 8: {
      Save(*t, w, "search.png");
      v->FilterEdit(VIEW_FUNCTIONS)->clear();
      int sid = 0, fid = 0;
      if (FindFunction(v, "is_even", &sid, &fid)) w->CallersRequest(sid, fid);
      break;
    }
    case 9:
      v->SelectView(VIEW_CALLERS);
      v->CallersWidget()->expandAll();
      break;
    case 10: {
      Save(*t, w, "callers.png");
      v->SelectView(VIEW_FUNCTIONS);
      w->OpenProgress();
      ProgressWindow *p = w->Progress();
      std::string name = v->Model(VIEW_FUNCTIONS)->Cell(0, FL_SOURCE);
      p->SetPhase(1);
      p->SetPass(1);
      p->SetDetail(name.empty() ? "main.c" : name.c_str());
      p->SetFunctionPos(60);
      p->SetSourcePos(50);
      break;
    }
    case 11: {
      Save(*t, w->Progress(), "progress.png");
      w->DestroyProgress();
      w->OpenWait(UiText("関数呼出木を作成しています。"));
      WaitBoxWindow *b = w->Wait();
      b->SetStart(TickCount() - 12000);
      b->Tick(TickCount());
      break;
    }
    case 12: {
      Save(*t, w->Wait(), "waitbox.png");
      w->CloseWait();
      // The File menu, open over the window: a picture of the screen there.
      v->SelectView(VIEW_FUNCTIONS);
      QAction *file = w->menuBar()->actions().value(0);
      if (file && file->menu())
        file->menu()->popup(
            w->menuBar()->mapToGlobal(w->menuBar()->actionGeometry(file).bottomLeft()));
      break;
    }
    case 13: {
      QMenu *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
      if (menu) {
        QRect area = w->frameGeometry().united(menu->geometry());
        QScreen *screen = w->screen();
        QString path = QDir(t->dir).filePath(QStringLiteral("file-menu.png"));
        bool ok = screen && screen->grabWindow(0, area.x(), area.y(), area.width(), area.height())
                                .save(path, "PNG");
        fprintf(stderr, "velmora: %s %s\n", ok ? "saved" : "could not save",
                path.toLocal8Bit().constData());
        menu->close();
      }
      AboutBox *a = new AboutBox(w);
      a->setAttribute(Qt::WA_DeleteOnClose);
      a->show();
      QTimer::singleShot(300, w, [t, a] {
        Save(*t, a, "about.png");
        a->close();
        // The Settings dialog on the sample settings, then the end.
        SettingsDialog *d = new SettingsDialog(t->w, QFile::decodeName(AppSettingsPath()));
        d->setAttribute(Qt::WA_DeleteOnClose);
        d->show();
        QTimer::singleShot(300, t->w, [t, d] {
          Save(*t, d, "settings.png");
          d->close();
          t->w->close();
          delete t;
        });
      });
      return;
    }
  }
  QTimer::singleShot(400, w, [t] { Step(t); });
}

}  // namespace

int StartScreenshotTour(MainWindow *w) {
  const char *dir = GetEnv("VELMORA_SCREENSHOT_DIR");
  if (!dir || !*dir) return 0;
  QDir().mkpath(QString::fromLocal8Bit(dir));
  // The tour must not leave picture viewers behind.
  g_front.view = 0;
  Tour *t = new Tour{w, QString::fromLocal8Bit(dir)};
  QTimer::singleShot(500, w, [t] { Step(t); });
  return 1;
}

namespace {

// The measurements after the analysis (VELMORA_BENCH_TREE, VELMORA_BENCH_SORT).
struct Bench {
  MainWindow *w;
  QElapsedTimer clock;     // since the step began
  QString tree;            // function whose tree is timed, or ""
  int sort_col = -1;       // Call List column whose sort is timed, or -1
  int sort_rounds = 0;     // sorts done
  qint64 last_tick = 0;    // the GUI thread's last turn (ns)
  qint64 worst_stall = 0;  // its longest absence while sorting (ns)
};

void Finish(Bench *b) {
  b->w->close();
  delete b;
}

void BenchSort(Bench *b);

void BenchTree(Bench *b) {
  if (b->tree.isEmpty()) return BenchSort(b);
  int sid = 0, fid = 0;
  if (!FindFunction(b->w->Views(), b->tree.toUtf8().constData(), &sid, &fid)) {
    fprintf(stderr, "velmora: no function %s\n", qPrintable(b->tree));
    return Finish(b);
  }
  b->clock.start();
  b->w->TreeRequest(sid, fid);
  QTimer *poll = new QTimer(b->w);
  poll->setInterval(5);
  QObject::connect(poll, &QTimer::timeout, b->w, [b, poll] {
    GraphView *g = b->w->Views()->Graph();
    bool shown = !g->File().isEmpty();
    if (!shown && WorkerBusy()) return;
    if (shown)
      fprintf(stderr, "velmora: tree of %s in the Graph tab after %.3f s (%d nodes)\n",
              qPrintable(b->tree), b->clock.nsecsElapsed() / 1e9, g->NodeCount());
    else
      fprintf(stderr, "velmora: tree of %s ended after %.3f s without a graph\n",
              qPrintable(b->tree), b->clock.nsecsElapsed() / 1e9);
    poll->stop();
    poll->deleteLater();
    // The rest of the job (the picture for the desktop) first.
    QTimer *idle = new QTimer(b->w);
    idle->setInterval(20);
    QObject::connect(idle, &QTimer::timeout, b->w, [b, idle] {
      if (WorkerBusy() || b->w->Queue()->Pending()) return;
      idle->stop();
      idle->deleteLater();
      fprintf(stderr, "velmora: tree job of %s ended after %.3f s\n", qPrintable(b->tree),
              b->clock.nsecsElapsed() / 1e9);
      BenchSort(b);
    });
    idle->start();
  });
  poll->start();
}

// Two clicks on the column (ascending, descending); a timer of 2 ms tells how
// long the GUI thread was away at a time.
void BenchSort(Bench *b) {
  if (b->sort_col < 0 || b->sort_rounds >= 2) return Finish(b);
  ViewsPanel *v = b->w->Views();
  v->SelectView(VIEW_CALLS);
  b->clock.start();
  b->last_tick = 0;
  b->worst_stall = 0;
  QTimer *tick = new QTimer(b->w);
  tick->setInterval(2);
  QObject::connect(tick, &QTimer::timeout, b->w, [b, tick] {
    qint64 now = b->clock.nsecsElapsed();
    b->worst_stall = std::max(b->worst_stall, now - b->last_tick);
    b->last_tick = now;
    if (now < 100000000 || b->w->Views()->Model(VIEW_CALLS)->Sorting()) return;
    tick->stop();
    tick->deleteLater();
    fprintf(stderr,
            "velmora: Call List sort by column %d (%d rows): sorted after %.3f s, longest stall "
            "of the window %.3f s\n",
            b->sort_col, b->w->Views()->Model(VIEW_CALLS)->Size(), now / 1e9, b->worst_stall / 1e9);
    b->sort_rounds++;
    QTimer::singleShot(200, b->w, [b] { BenchSort(b); });
  });
  tick->start();
  QTimer::singleShot(20, b->w, [b] { b->w->Views()->ClickColumn(VIEW_CALLS, b->sort_col); });
}

}  // namespace

int StartBenchQuit(MainWindow *w) {
  const char *on = GetEnv("VELMORA_BENCH_QUIT");
  if (!on || strcmp(on, "1") != 0) return 0;
  g_front.view = 0;
  QElapsedTimer *clock = new QElapsedTimer;
  clock->start();
  QTimer *poll = new QTimer(w);
  poll->setInterval(2);  // the end is seen within 2 ms of it
  QObject::connect(poll, &QTimer::timeout, w, [w, poll, clock] {
    // The job has ended for the user once the worker is gone and the GUI has
    // taken everything it sent.
    ViewsPanel *v = w->Views();
    if (WorkerBusy() || w->Queue()->Pending()) return;
    if (v->Model(VIEW_FUNCTIONS)->Pending() || v->Model(VIEW_CALLS)->Pending()) return;
    poll->stop();
    // The worker's pauses are part of the time; the benchmark shows them apart.
    fprintf(stderr,
            "velmora: analysis ended after %.3f s: %d function rows, %d call rows; the worker "
            "paused %.3f s\n",
            clock->nsecsElapsed() / 1e9, v->Model(VIEW_FUNCTIONS)->Size(),
            v->Model(VIEW_CALLS)->Size(), WorkerPausedMs() / 1e3);
    delete clock;
    Bench *b = new Bench{w, QElapsedTimer(), QString::fromLocal8Bit(GetEnv("VELMORA_BENCH_TREE"))};
    const char *col = GetEnv("VELMORA_BENCH_SORT");
    if (col && *col) b->sort_col = atoi(col);
    BenchTree(b);
  });
  poll->start();
  return 1;
}
