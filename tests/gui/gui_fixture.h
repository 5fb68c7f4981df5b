// What every desktop test shares: a private home and desktop, the program
// started once per test program, a fresh main window for every test whose
// warnings and confirmations are recorded instead of shown, and helpers that
// read the lists as the user sees them.
#pragma once

#include <QElapsedTimer>
#include <QFile>
#include <QObject>
#include <QStringList>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "foundation/settings.h"
#include "shell/app.h"
#include "shell/requests.h"
#include "shell/worker.h"
#include "ui/desktop_settings.h"
#include "ui/dialogs.h"
#include "ui/mainwindow.h"
#include "ui/views.h"

namespace velmora_gui {

inline std::vector<std::string> g_trace;  // trace texts while hooked
inline void TraceInto(const char *text) {
  g_trace.push_back(text ? text : "");
}

inline QString Project() {
  return QStringLiteral(VELMORA_TEST_DATA "/gui_project");
}
inline QString NoMatch() {
  return QStringLiteral(VELMORA_TEST_DATA "/gui_nomatch");
}

// The shown texts of one column, top to bottom.
inline QStringList Column(QTableView *v, int col) {
  QStringList out;
  for (int r = 0; r < v->model()->rowCount(); r++)
    out << v->model()->index(r, col).data().toString();
  return out;
}

// Shown row whose column col reads text, or -1.
inline int FindShown(QTableView *v, int col, const QString &text) {
  for (int r = 0; r < v->model()->rowCount(); r++)
    if (v->model()->index(r, col).data().toString() == text) return r;
  return -1;
}

// Writes files s0.c, s1.c ... into dir, each of lines copies of line with %1
// the file's number and %2 the line's: a project that takes a while.
inline bool WriteProject(const QTemporaryDir &dir, int files, int lines, const QString &line) {
  for (int n = 0; n < files; n++) {
    QFile file(dir.filePath(QStringLiteral("s%1.c").arg(n)));
    if (!file.open(QIODevice::WriteOnly)) return false;
    for (int i = 0; i < lines; i++) file.write(line.arg(n).arg(i).toLatin1());
  }
  return true;
}

// Holds a job on the worker thread once it reaches a step: the first
// progress call of that step waits until Release() or a stop request (the
// window closing), so a test knows the job is busy at that step for as long
// as it needs. While it lives it is the progress port of the jobs that start;
// every call goes on to the window's own port, except after a stop. Made
// after the window, and gone before it.
class JobHold : public ProgressSink {
 public:
  explicit JobHold(JobStep step) : step_(step), inner_(g_front.progress) {
    g_front.progress = this;
  }
  // Lets the job go on and waits for its end: the job holds this port.
  ~JobHold() override {
    Release();
    if (g_front.progress == this) g_front.progress = inner_;
    QElapsedTimer t;
    t.start();
    while (WorkerBusy() && t.elapsed() < 120000) QTest::qWait(10);
  }
  bool Holding() const { return holding_.load(); }
  bool EndedByStop() const { return ended_by_stop_.load(); }
  void Release() {
    std::lock_guard<std::mutex> lock(mutex_);
    released_ = true;
    wake_.notify_all();
  }

  void SetFunctionProgress(int percent) override {
    if (Pass()) inner_->SetFunctionProgress(percent);
  }
  void SetSourceProgress(int percent) override {
    if (Pass()) inner_->SetSourceProgress(percent);
  }
  void SetPass(int n) override {
    if (Pass()) inner_->SetPass(n);
  }
  void SetDetail(const char *text) override {
    if (Pass()) inner_->SetDetail(text);
  }
  void SetPhase(int k) override {
    if (Pass()) inner_->SetPhase(k);
  }

 private:
  // Holds the first call at the step; false once a stop ended the hold (the
  // window is closing: its port is left alone).
  bool Pass() {
    if (!held_ && JobState.load() == step_) {
      held_ = true;
      holding_ = true;
      std::unique_lock<std::mutex> lock(mutex_);
      // A stop request comes without a signal; it is looked for often.
      while (!released_ && !WorkerStopRequested())
        wake_.wait_for(lock, std::chrono::milliseconds(2));
      ended_by_stop_ = !released_;
      holding_ = false;
    }
    return inner_ && !ended_by_stop_.load();
  }

  const JobStep step_;
  ProgressSink *const inner_;  // the window's port
  bool held_ = false;          // the step was reached (worker threads, one job after another)
  std::atomic<bool> holding_{false};
  std::atomic<bool> ended_by_stop_{false};
  std::mutex mutex_;  // guards released_
  std::condition_variable wake_;
  bool released_ = false;
};

class GuiFixture : public QObject {
  Q_OBJECT

 protected:
  QTemporaryDir home_;
  MainWindow *w_ = nullptr;
  QStringList warnings_;                             // texts of the warnings shown
  QStringList questions_;                            // caption + text of the confirmations
  bool answer_ = true;                               // the confirmation's answer
  QStringList stop_questions_;                       // texts of the questions before quitting
  bool stop_answer_ = true;                          // their answer: "Stop and quit"
  QStringList dialog_paths_;                         // what the open dialogs answer
  QStringList dialogs_;                              // "folder" or "files", per dialog opened
  std::function<void(const QString &)> on_warning_;  // extra reaction

  bool WaitIdle(int ms = 30000) {
    QElapsedTimer t;
    t.start();
    while (WorkerBusy() && t.elapsed() < ms) QTest::qWait(20);
    QTest::qWait(20);
    return !WorkerBusy();
  }

  void DropProject() {
    w_->DropPaths({Project()});
    QVERIFY(WaitIdle());
  }

  // A fresh main window as every test begins with: the old one gone, nothing
  // recorded, confirmations answered with OK, shown and started.
  void NewWindow() {
    delete w_;
    warnings_.clear();
    questions_.clear();
    answer_ = true;
    stop_questions_.clear();
    stop_answer_ = true;
    dialog_paths_.clear();
    dialogs_.clear();
    on_warning_ = nullptr;
    // Every window starts as on a first run.
    ForgetDesktopSettings();
    w_ = new MainWindow;
    g_front.render = 0;
    g_front.view = 0;
    w_->show();
    w_->Start();
  }

  // What a test program puts back after each test (settings it changed).
  virtual void AfterTest() {}

  ViewsPanel *Views() { return w_->Views(); }
  QTableView *List(int i) { return Views()->ListWidget(i); }

 private Q_SLOTS:
  void initTestCase() {
    QVERIFY(home_.isValid());
    QByteArray h = home_.path().toUtf8();
    qputenv("HOME", h);
    qputenv("XDG_DESKTOP_DIR", h + "/Desktop");
    qputenv("XDG_CONFIG_HOME", h + "/config");
    qputenv("TMPDIR", h);
    QByteArray ini = h + "/none.ini";
    const char *failure = nullptr;
    QVERIFY(AppStart(ini.constData(), 0, nullptr, &failure));
    SetWarningHandler([this](QWidget *, const QString &text) {
      warnings_ << text;
      if (on_warning_) on_warning_(text);
    });
    SetConfirmHandler([this](QWidget *, const QString &caption, const QString &text) {
      questions_ << caption + QLatin1Char('|') + text;
      return answer_;
    });
    SetStopQuitHandler([this](QWidget *, const QString &text) {
      stop_questions_ << text;
      return stop_answer_;
    });
    SetOpenDialogHandler([this](QWidget *, bool folder) {
      dialogs_ << QString::fromLatin1(folder ? "folder" : "files");
      return dialog_paths_;
    });
  }

  void cleanupTestCase() { AppStop(); }

  void init() { NewWindow(); }

  void cleanup() {
    QVERIFY(WaitIdle());
    delete w_;
    w_ = nullptr;
    if (ProjectIsOpen()) DiscardProject();
    AfterTest();
  }
};

}  // namespace velmora_gui
