// Stopping says what is true: the status line after a stop while parsing,
// the Stop buttons of the progress window and the wait box, Ctrl+Q and F5
// where a feedback window has the keys, the question before closing naming
// the job that runs, and a question that closes itself when the job ends
// first. Jobs are held at a step (JobHold), so nothing depends on timing.
#include <QMessageBox>
#include <QPushButton>

#include "navigator_fixture.h"

using namespace velmora_gui;

class GuiStopTest : public NavigatorFixture {
  Q_OBJECT

  QTemporaryDir big_;
  QString BigProject() {
    if (!QFile::exists(big_.filePath(QStringLiteral("s0.c"))))
      // (names whose hashes differ: the fixture compares names by hash alone)
      WriteProject(big_, 12, 20, QStringLiteral("int fn%1x%2(int a) { return g%2(a, %1); }\n"));
    return big_.path();
  }

 private Q_SLOTS:

  void stopButtonWhileParsing() {
    {
      JobHold hold(JobStep::ParseSource);
      w_->DropPaths({BigProject()});
      QTRY_VERIFY_WITH_TIMEOUT(hold.Holding(), 60000);
      QVERIFY(w_->Progress());
      QPushButton *stop = w_->Progress()->StopButton();
      QVERIFY(stop->isVisible());
      QTest::mouseClick(stop, Qt::LeftButton);
    }
    QVERIFY(WaitIdle());
    QCOMPARE(warnings_, QStringList({QStringLiteral("中断します。")}));
    // Nothing was listed, and the status line says so.
    QCOMPARE(List(0)->model()->rowCount(), 0);
    QVERIFY2(Status().startsWith(QStringLiteral("Stopped after ")) &&
                 Status().endsWith(QStringLiteral(" of 12 sources; nothing listed: F5 analyses "
                                                  "again")),
             qPrintable(Status()));
    QVERIFY(!Status().contains(QStringLiteral("partial")));
  }

  void keysInTheProgressWindow() {
    // F5 there: the question, then the analysis again once the job stopped.
    {
      JobHold hold(JobStep::ParseSource);
      w_->DropPaths({BigProject()});
      QTRY_VERIFY_WITH_TIMEOUT(hold.Holding(), 60000);
      ProgressWindow *p = w_->Progress();
      QVERIFY(p);
      p->activateWindow();
      QTRY_VERIFY(QApplication::activeWindow() == p);
      QTest::keyClick(p->windowHandle(), Qt::Key_F5);
      QCOMPARE(stop_questions_, QStringList({QStringLiteral("ソース解析処理中です。")}));
    }
    QTRY_VERIFY_WITH_TIMEOUT(!WorkerBusy() && List(0)->model()->rowCount() == 240, 60000);
    QCOMPARE(warnings_, QStringList({QStringLiteral("中断します。")}));

    // Ctrl+Q there: the question before quitting; Cancel keeps everything.
    stop_questions_.clear();
    stop_answer_ = false;
    {
      JobHold hold(JobStep::ParseSource);
      w_->Command(CMD_REANALYSE);
      QTRY_VERIFY_WITH_TIMEOUT(hold.Holding(), 60000);
      ProgressWindow *p = w_->Progress();
      p->activateWindow();
      QTRY_VERIFY(QApplication::activeWindow() == p);
      QTest::keyClick(p->windowHandle(), Qt::Key_Q, Qt::ControlModifier);
      QCOMPARE(stop_questions_.size(), 1);
      QVERIFY(w_->isVisible());
      QVERIFY(WorkerBusy());
    }
    QVERIFY(WaitIdle());
  }

  void theQuestionNamesTheRenderAndTheWaitBoxStops() {
    UseRenderer(SlowRenderer(30));
    DropProject();
    QVERIFY(w_->TreeRequest(Sid("main"), Fid("main")));
    QTRY_VERIFY_WITH_TIMEOUT(JobState.load() == JobStep::WaitForRenderer, 20000);
    stop_answer_ = false;
    w_->close();
    QCOMPARE(stop_questions_, QStringList({QStringLiteral("グラフを作成しています。")}));
    QVERIFY(w_->isVisible());
    // The wait box's Stop: as Escape, the render killed, the status says so.
    QVERIFY(w_->Wait());
    QTest::mouseClick(w_->Wait()->StopButton(), Qt::LeftButton);
    QVERIFY(WaitIdle());
    QCOMPARE(Status(), QStringLiteral("Stopped: the graph was not rendered"));
    QCOMPARE(warnings_, QStringList({QStringLiteral("中断しました。")}));
  }

  void aQuestionClosesItselfWhenTheJobEnds() {
    SetStopQuitHandler(nullptr);  // the real question
    bool seen = false, gone = false;
    {
      JobHold hold(JobStep::ParseSource);
      w_->DropPaths({BigProject()});
      QTRY_VERIFY_WITH_TIMEOUT(hold.Holding(), 60000);
      // While the question is open, the job goes on to its end.
      QTimer::singleShot(0, this, [&] {
        QMessageBox *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        seen = box && box->objectName() == QStringLiteral("stopQuestion");
        QVERIFY(box);
        QPointer<QMessageBox> watch(box);
        hold.Release();
        // (the box itself goes once this returns: its loop runs below us)
        QTRY_VERIFY_WITH_TIMEOUT(!watch || !watch->isVisible(), 60000);
        gone = true;
      });
      w_->close();  // returns once the question has closed itself
    }
    QVERIFY(seen);
    QVERIFY(gone);
    // Nothing was left to stop: the program quit, the analysis was complete.
    QVERIFY(w_->IsShutDown());
    QVERIFY(warnings_.isEmpty());
    QCOMPARE(List(0)->model()->rowCount(), 240);
    SetStopQuitHandler([this](QWidget *, const QString &text) {
      stop_questions_ << text;
      return stop_answer_;
    });
  }
};

QTEST_MAIN(GuiStopTest)
#include "gui_stop_test.moc"
