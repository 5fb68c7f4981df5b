// The main window and the dialogs of the desktop program driven through
// their real windows (Qt Test, offscreen): the confirmation before a drop,
// refusals while busy, an empty drop, Escape, the function keys, the About
// box, the progress window, the wait box, and closing while a job runs.
#include <QApplication>
#include <QContextMenuEvent>
#include <QStatusBar>
#include <QTabBar>
#include <QTabWidget>
#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "engine/ana.h"
#include "ext/ext_settings.h"
#include "ext/midi_player.h"
#include "gui_fixture.h"
#include "platform/keys.h"
#include "platform/sys.h"

using namespace velmora_gui;

namespace {

// The tone player's pauses take no time, except the ring-out at the end of a
// tree, which lasts until the worker is asked to stop.
struct RingOutUntilStop : ClockPort {
  std::atomic<bool> ringing{false};
  std::atomic<bool> ended_by_stop{false};
  void Sleep(unsigned ms) override {
    if (ms != 5000) return;
    ringing = true;
    // A stop request comes without a signal; it is looked for often. Should
    // none come, the ring-out ends after a minute, and the test fails.
    for (int i = 0; i < 30000 && !TQ_MidiStopRequested(); i++) SleepMs(2);
    ended_by_stop = TQ_MidiStopRequested() != 0;
  }
};

}  // namespace

class GuiWindowTest : public GuiFixture {
  Q_OBJECT

 private Q_SLOTS:
  void confirmationCancelKeepsProject() {
    DropProject();
    int rows = List(0)->model()->rowCount();
    answer_ = false;
    w_->DropPaths({Project()});
    QCOMPARE(questions_.size(), 1);
    QCOMPARE(questions_[0],
             QStringLiteral("Confirm.|現在展開中のプロジェクトを破棄して宜しいですか？"));
    QVERIFY(!WorkerBusy());
    QVERIFY(ProjectIsOpen());
    QCOMPARE(List(0)->model()->rowCount(), rows);
    // OK discards it and analyses the drop instead.
    answer_ = true;
    w_->DropPaths({QStringLiteral(VELMORA_TEST_DATA "/gui_project/sub")});
    QCOMPARE(questions_.size(), 2);
    QVERIFY(WaitIdle());
    QCOMPARE(Column(List(0), 3), QStringList({"twice", "fact"}));
  }

  void refusalsWhileBusy() {
    w_->DropPaths({Project()});
    QVERIFY(WorkerBusy());
    // A call-tree request is refused with its message; the job goes on.
    QCOMPARE(w_->TreeRequest(1, 1), 0);
    QCOMPARE(warnings_, QStringList({QStringLiteral("処理中は受け付けません。")}));
    // Quit offers to stop the job first; Cancel keeps the window and the job.
    stop_answer_ = false;
    w_->Command(CMD_QUIT);
    QCOMPARE(stop_questions_, QStringList({QStringLiteral("ソース解析処理中です。")}));
    QCOMPARE(warnings_.size(), 1);
    QVERIFY(w_->isVisible());
    QVERIFY(!w_->IsShutDown());
    // A drop is ignored without a word.
    w_->DropPaths({Project()});
    QCOMPARE(warnings_.size(), 1);
    QVERIFY(questions_.isEmpty());
    QVERIFY(WaitIdle());
    QCOMPARE(List(0)->model()->rowCount(), 5);
  }

  // "view Function" and "view Source" read the records a running job
  // writes: refused with the busy warning, as a double-click is.
  void viewCommandsRefusedWhileBusy() {
    DropProject();
    List(0)->selectRow(0);
    QCOMPARE(w_->TreeRequest(1, 1), 1);
    QVERIFY(WorkerBusy());
    w_->Command(CMD_VIEW_FUNCTION);
    w_->Command(CMD_VIEW_SOURCE);
    QCOMPARE(warnings_, QStringList({QStringLiteral("処理中は受け付けません。"),
                                     QStringLiteral("処理中は受け付けません。")}));
    QVERIFY(WaitIdle());
  }

  // The Function List's menu comes with a right-click anywhere in the window
  // while that view is selected (the status bar, the tabs), and not on
  // another view.
  void contextMenuAnywhereOnTheFunctionList() {
    QStringList shown;
    auto right_click = [&](QWidget *target) {
      bool looked = false;
      QTimer::singleShot(50, [&shown, &looked] {
        if (QWidget *m = QApplication::activePopupWidget()) {
          shown << m->objectName();
          m->close();
        }
        looked = true;
      });
      QContextMenuEvent e(QContextMenuEvent::Mouse, QPoint(5, 5),
                          target->mapToGlobal(QPoint(5, 5)));
      QApplication::sendEvent(target, &e);
      QTRY_VERIFY(looked);
    };
    Views()->SelectView(VIEW_FUNCTIONS);
    right_click(Views()->Status());
    right_click(Views()->Tabs()->tabBar());
    QCOMPARE(shown, QStringList({QStringLiteral("contextMenu"), QStringLiteral("contextMenu")}));
    Views()->SelectView(VIEW_CALLS);
    right_click(Views()->Status());
    QCOMPARE(shown.size(), 2);
  }

  // Closing during a tree with MUSIC on does not wait for the notes to ring
  // out (five seconds after the last node): the ring-out lasts here until the
  // stop request that closing makes, so a close that waited would not end.
  void closingDuringAMusicTreeIsQuick() {
    DropProject();
    int was = MusicEnabled();
    SetMusicEnabled(1);
    RingOutUntilStop clock;
    TQ_MidiSetPorts(nullptr, &clock);
    QCOMPARE(w_->TreeRequest(1, 1), 1);
    QTRY_VERIFY_WITH_TIMEOUT(clock.ringing.load(), 60000);  // the tree is built
    QVERIFY(WorkerBusy());
    w_->close();
    QVERIFY(!WorkerBusy());
    QVERIFY(clock.ended_by_stop.load());
    SetMusicEnabled(was);
    TQ_MidiSetPorts(nullptr, nullptr);
    TQ_MidiOpen();
  }

  void emptyDropsWarn() {
    w_->DropPaths({NoMatch()});
    QVERIFY(WaitIdle());
    QCOMPARE(warnings_,
             QStringList({QStringLiteral("解析対象ファイルが存在しません。\n処理を中断します。")}));
    QVERIFY(!ProjectIsOpen());
    QVERIFY(w_->acceptDrops());
    QVERIFY(w_->Progress() == nullptr);
  }

  void escapeDuringAnalysis() {
    w_->DropPaths({Project()});
    QVERIFY(w_->windowHandle());
    QTest::keyClick(w_->windowHandle(), Qt::Key_Escape);
    QVERIFY(WaitIdle());
    QCOMPARE(warnings_, QStringList({QStringLiteral("中断します。")}));
    QVERIFY(w_->Progress() == nullptr);
    QVERIFY(w_->acceptDrops());
    QVERIFY(ProjectIsOpen());  // the project stays; the lists stay empty
    QCOMPARE(List(0)->model()->rowCount(), 0);
    // So the next drop asks first.
    answer_ = false;
    w_->DropPaths({Project()});
    QCOMPARE(questions_.size(), 1);
  }

  void functionKeysActOncePerPress() {
    // Escape while idle is not kept for the next job.
    QTest::keyClick(w_->windowHandle(), Qt::Key_Escape);
    QCOMPARE(EscapePressed(), 0);
    int before = MusicEnabled();
    QTest::keyClick(w_->windowHandle(), Qt::Key_F12);
    QCOMPARE(MusicEnabled(), before ? 0 : 1);
    // Held down: the repeats do not toggle it again.
    QKeyEvent repeat(QEvent::KeyPress, Qt::Key_F12, Qt::NoModifier, QString(), true);
    QApplication::sendEvent(w_->windowHandle(), &repeat);
    QCOMPARE(MusicEnabled(), before ? 0 : 1);
    QTest::keyClick(w_->windowHandle(), Qt::Key_F12);
    QCOMPARE(MusicEnabled(), before);
    // F4 with no project writes nothing.
    g_trace.clear();
    TraceSetHook(TraceInto);
    QTest::keyClick(w_->windowHandle(), Qt::Key_F4);
    TraceSetHook(nullptr);
    QVERIFY(g_trace.empty());
  }

  void aboutBox() {
    QString seen;
    int result = -1;
    QTimer::singleShot(50, this, [&] {
      AboutBox *box = qobject_cast<AboutBox *>(QApplication::activeModalWidget());
      QVERIFY(box);
      seen = box->windowTitle() + QLatin1Char('|') + box->ProductText() + QLatin1Char('|') +
             box->NoteText();
      QTest::mouseClick(box->findChild<QPushButton *>(QStringLiteral("ok")), Qt::LeftButton);
      result = box->result();
    });
    w_->Command(CMD_ABOUT);
    // The box says whether this build reads sources with the precise parser.
    QCOMPARE(seen, QStringLiteral("About|Velmora Ver 0.10\nbuild 20081211|Precise parser: ") +
                       (ANA_PreciseBuiltIn() ? QStringLiteral("built in")
                                             : QStringLiteral("not built in")));
    QCOMPARE(result, 1);
    AboutBox box(w_);
    box.reject();  // a close request ends it like OK
    QCOMPARE(box.result(), 1);
  }

  void progressWindowMessages() {
    ProgressWindow p(nullptr, 0);
    QCOMPARE(p.PhaseText(), QStringLiteral("≪ 解析ソース取込中 ≫"));
    QCOMPARE(p.PassText(), QStringLiteral("PASS : "));
    QCOMPARE(p.DetailText(), QString());
    QCOMPARE(p.FunctionPos(), 0);
    QCOMPARE(p.SourcePos(), 0);

    ProgressPort port;
    port.SetPass(2);
    port.SetPhase(1);
    port.SetFunctionProgress(40);
    port.SetSourceProgress(75);
    std::string detail(100, 'x');
    for (int i = 0; i < 100; i++) detail[i] = (char)('a' + i % 26);
    port.SetDetail(detail.c_str());
    detail.assign(100, '?');  // the port copied it
    port.ApplyTo(&p);
    QCOMPARE(p.PassText(), QStringLiteral("PASS : 2"));
    QCOMPARE(p.PhaseText(), QStringLiteral("≪ ソース解析中 ≫"));
    QCOMPARE(p.DetailText().size(), 63);
    QVERIFY(p.DetailText().startsWith(QStringLiteral("abcdefghij")));
    QCOMPARE(p.FunctionPos(), 40);
    QCOMPARE(p.SourcePos(), 75);
    port.SetPhase(2);
    port.ApplyTo(&p);
    QCOMPARE(p.PhaseText(), QStringLiteral("≪ 関数関連付け中 ≫"));
    QCOMPARE(p.PassText(), QStringLiteral("PASS : 2"));  // unchanged values stay
    port.SetPhase(7);
    port.ApplyTo(&p);
    QCOMPARE(p.PhaseText(), QString());

    // A double-byte character across the 63-byte mark is left out whole.
    std::string sjis(62, 'a');
    sjis += "\x8A\xD6";  // one Shift_JIS character
    sjis += "tail";
    p.SetDetail(sjis.c_str());
    QCOMPARE(p.DetailText(), QString(62, QLatin1Char('a')));
    sjis.assign(61, 'a');
    sjis += "\x8A\xD6";
    p.SetDetail(sjis.c_str());
    QCOMPARE(p.DetailText(), QString(61, QLatin1Char('a')) + QStringLiteral("関"));
  }

  void waitBoxSecondsAndColours() {
    WaitBoxWindow b(nullptr, QStringLiteral("関数呼出木を作成しています。"));
    QCOMPARE(b.Text(), QStringLiteral("関数呼出木を作成しています。"));
    QCOMPARE(b.SecondsText(), QStringLiteral("0"));
    QCOMPARE(b.ShownColour(), QColor(40, 255, 40));
    b.SetStart(1000);
    b.Tick(2500);
    QCOMPARE(b.SecondsText(), QStringLiteral("1"));
    b.Tick(1000 + 59999);
    QCOMPARE(b.SecondsText(), QStringLiteral("59"));
    QCOMPARE(b.ShownColour(), QColor(40, 255, 40));
    b.Tick(1000 + 60000);
    QCOMPARE(b.ShownColour(), QColor(255, 255, 0));
    b.Tick(1000 + 299999);
    QCOMPARE(b.SecondsText(), QStringLiteral("299"));
    QCOMPARE(b.ShownColour(), QColor(255, 255, 0));
    b.Tick(1000 + 300000);
    QCOMPARE(b.ShownColour(), QColor(255, 20, 20));
    // The tick count wraps; the difference does not.
    b.SetStart(0xFFFFF000u);
    b.Tick(0x00000800u);
    QCOMPARE(b.SecondsText(), QStringLiteral("6"));
    b.SetText(QStringLiteral("A\r\nB"));
    QCOMPARE(b.Text(), QStringLiteral("A\nB"));
    // The user cannot close it; the job can.
    b.show();
    b.close();
    QVERIFY(b.isVisible());
    b.Finish();
    QVERIFY(!b.isVisible());
  }

  void closingWhileJobRuns() {
    // The worker blocks in its warning about the empty drop; the user closes
    // the window right then. The window must say so, stop the worker and wait
    // for it, without either thread waiting for the other forever.
    bool closed = false;
    on_warning_ = [&](const QString &text) {
      if (closed || !text.startsWith(QStringLiteral("解析対象"))) return;
      closed = true;
      w_->close();
    };
    w_->DropPaths({NoMatch()});
    QTRY_VERIFY_WITH_TIMEOUT(closed, 20000);
    QVERIFY(w_->IsShutDown());
    QVERIFY(!WorkerBusy());
    QCOMPARE(warnings_.size(), 1);
    QCOMPARE(stop_questions_, QStringList({QStringLiteral("ソース解析処理中です。")}));
    QVERIFY(g_front.views == nullptr);

    // The same in the middle of parsing, where the job is held.
    NewWindow();
    {
      QTemporaryDir big;
      QVERIFY(WriteProject(big, 20, 20,
                           QStringLiteral("int f%1_%2(int a) { return g%2(a, %1) + h(a); }\n")));
      JobHold hold(JobStep::ParseSource);
      w_->DropPaths({big.path()});
      QTRY_VERIFY_WITH_TIMEOUT(hold.Holding(), 60000);
      // Cancel: the window and the job go on.
      stop_answer_ = false;
      w_->close();
      QVERIFY(w_->isVisible());
      QVERIFY(WorkerBusy());
      QVERIFY(hold.Holding());
      // "Stop and quit": stopped there, and gone; no list was made.
      stop_answer_ = true;
      w_->close();
      QVERIFY(!WorkerBusy());
      QVERIFY(hold.EndedByStop());
      QCOMPARE(List(0)->model()->rowCount(), 0);
      QVERIFY(warnings_.isEmpty());
      QCOMPARE(stop_questions_.size(), 2);
    }

    // Closing idle says nothing.
    NewWindow();
    w_->close();
    QVERIFY(warnings_.isEmpty());
    QVERIFY(stop_questions_.isEmpty());
  }
};

QTEST_MAIN(GuiWindowTest)
#include "gui_window_test.moc"
