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

#include <functional>
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
