// The screenshot tour (see screenshots.h). It drives the real windows on
// timers, so every picture shows what a user sees; the progress window and
// the wait box are shown with typical mid-job contents, since a sample
// project is analysed faster than anyone could look at them.
#include "ui/screenshots.h"

#include <cstring>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTableView>
#include <QTimer>
#include <QTreeView>

#include "foundation/ports.h"
#include "platform/sys.h"
#include "shell/worker.h"
#include "ui/dialogs.h"
#include "ui/mainwindow.h"
#include "ui/qtext.h"
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
      *sid = CellNumber(m->Cell(r, FL_SID).c_str());
      *fid = CellNumber(m->Cell(r, FL_FID).c_str());
      return 1;
    }
  }
  return 0;
}

void Step(Tour *t) {
  MainWindow *w = t->w;
  ViewsPanel *v = w->Views();
  // Steps that follow a job wait for it; a stuck job ends the tour.
  if (WorkerBusy() && (t->step == 0 || t->step == 3 || t->step == 7)) {
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
      v->SelectView(VIEW_RESULT);
      break;
    case 5:
      Save(*t, w, "result.png");
      v->SelectView(VIEW_FUNCTIONS);
      v->FilterEdit(VIEW_FUNCTIONS)->setText(QStringLiteral("is_"));
      break;
    case 6: {
      Save(*t, w, "search.png");
      v->FilterEdit(VIEW_FUNCTIONS)->clear();
      int sid = 0, fid = 0;
      if (FindFunction(v, "is_even", &sid, &fid)) w->CallersRequest(sid, fid);
      break;
    }
    case 7:
      v->SelectView(VIEW_CALLERS);
      v->CallersWidget()->expandAll();
      break;
    case 8: {
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
    case 9: {
      Save(*t, w->Progress(), "progress.png");
      w->DestroyProgress();
      w->OpenWait(QStringLiteral("関数呼出木を作成しています。"));
      WaitBoxWindow *b = w->Wait();
      b->SetStart(TickCount() - 12000);
      b->Tick(TickCount());
      break;
    }
    case 10: {
      Save(*t, w->Wait(), "waitbox.png");
      w->CloseWait();
      AboutBox *a = new AboutBox(w);
      a->setAttribute(Qt::WA_DeleteOnClose);
      a->show();
      QTimer::singleShot(300, w, [t, a] {
        Save(*t, a, "about.png");
        a->close();
        t->w->close();
        delete t;
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

int StartBenchQuit(MainWindow *w) {
  const char *on = GetEnv("VELMORA_BENCH_QUIT");
  if (!on || strcmp(on, "1") != 0) return 0;
  g_front.view = 0;
  QElapsedTimer *clock = new QElapsedTimer;
  clock->start();
  QTimer *poll = new QTimer(w);
  poll->setInterval(10);
  QObject::connect(poll, &QTimer::timeout, w, [w, poll, clock] {
    // The job has ended for the user once the worker is gone and the GUI has
    // taken everything it sent.
    if (WorkerBusy() || w->Queue()->Pending()) return;
    poll->stop();
    ViewsPanel *v = w->Views();
    fprintf(stderr, "velmora: analysis ended after %.3f s: %d function rows, %d call rows\n",
            clock->nsecsElapsed() / 1e9, v->Model(VIEW_FUNCTIONS)->Size(),
            v->Model(VIEW_CALLS)->Size());
    delete clock;
    w->close();
  });
  poll->start();
  return 1;
}
