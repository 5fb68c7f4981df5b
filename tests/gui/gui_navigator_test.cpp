// The desktop program as a navigator, driven through its real windows: the
// keys (Enter, tabs, history), the focus frame, the context menus of every
// view, Back and Forward with their pictures, and the File menu with its
// dialogs, Recent and the messages after Escape.
//
// Runs offscreen, and under Xvfb with the xcb platform when xvfb-run exists
// (the same program, as an end-to-end test against a real display server).
#include "navigator_fixture.h"

using namespace velmora_gui;

class GuiNavigatorTest : public NavigatorFixture {
  Q_OBJECT

 private Q_SLOTS:

  void keysOnRowsAndTabs() {
    DropProject();
    ShowWindow();
    QTableView *f = List(0);
    PressOnRow(f, FL_FUNCTION, QStringLiteral("compute"), Qt::Key_Return);
    QVERIFY(WaitIdle());
    QVERIFY(TreeRoot().startsWith(QStringLiteral("compute(argc:2)")));
    // Shift+Enter: the callers.
    Views()->SelectView(VIEW_FUNCTIONS);
    f->setFocus();
    QTest::keyClick(f, Qt::Key_Return, Qt::ShiftModifier);
    QVERIFY(WaitIdle());
    QVERIFY(Views()->Callers()->Dump().startsWith(QStringLiteral("1 compute(argc:2)")));

    // On the Call List: the called function when linked; a word otherwise.
    Views()->SelectView(VIEW_CALLS);
    QTableView *c = List(1);
    PressOnRow(c, CL_CALL, QStringLiteral("helper"), Qt::Key_Enter);
    QVERIFY(WaitIdle());
    QVERIFY(TreeRoot().startsWith(QStringLiteral("helper(argc:1)")));
    Views()->SelectView(VIEW_CALLS);
    int miss = FindShown(c, CL_CALL, QStringLiteral("missing_function"));
    c->setCurrentIndex(c->model()->index(miss, 0));
    QTest::keyClick(c, Qt::Key_Return);
    QCOMPARE(Status(), QStringLiteral("missing_function is not defined in the analysed code"));
    QVERIFY(!WorkerBusy());
    // A double-click says the same.
    Views()->SetStatusText("");
    Q_EMIT c->doubleClicked(c->model()->index(miss, 3));
    QCOMPARE(Status(), QStringLiteral("missing_function is not defined in the analysed code"));

    // Ctrl+Tab and Ctrl+PgDn go to the next tab, with Shift and PgUp back;
    // the current row stays where it was.
    Views()->SelectView(VIEW_FUNCTIONS);
    f->setFocus();
    int row = f->currentIndex().row();
    QWindow *win = w_->windowHandle();
    QTest::keyClick(win, Qt::Key_Tab, Qt::ControlModifier);
    QCOMPARE(Views()->CurrentView(), (int)VIEW_CALLS);
    QTest::keyClick(win, Qt::Key_PageDown, Qt::ControlModifier);
    QCOMPARE(Views()->CurrentView(), (int)VIEW_TREE);
    QTest::keyClick(win, Qt::Key_PageDown, Qt::ControlModifier);
    QCOMPARE(Views()->CurrentView(), (int)VIEW_GRAPH);
    QTest::keyClick(win, Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier);
    QCOMPARE(Views()->CurrentView(), (int)VIEW_TREE);
    QTest::keyClick(win, Qt::Key_PageUp, Qt::ControlModifier);
    QTest::keyClick(win, Qt::Key_PageUp, Qt::ControlModifier);
    QCOMPARE(Views()->CurrentView(), (int)VIEW_FUNCTIONS);
    QTest::keyClick(win, Qt::Key_PageUp, Qt::ControlModifier);  // round the end
    QCOMPARE(Views()->CurrentView(), (int)VIEW_CALLERS);
    QCOMPARE(f->currentIndex().row(), row);

    // Enter on a CallTree node builds that node's tree.
    QVERIFY(w_->TreeRequest(Sid("main"), Fid("main")));
    QVERIFY(WaitIdle());
    TreeView *tv = Views()->TreeWidget();
    QModelIndex kid = FunctionChild(Views()->Tree());
    QVERIFY(kid.isValid());
    tv->setFocus();
    tv->setCurrentIndex(kid);
    QString name = kid.data().toString();
    QTest::keyClick(tv, Qt::Key_Return);
    QVERIFY(WaitIdle());
    QVERIFY2(TreeRoot() == name, qPrintable(Views()->Tree()->Dump()));
  }

  void focusFrameOnViewAndRow() {
    DropProject();
    ShowWindow();
    QTableView *f = List(0);
    f->setFocus();
    QTRY_VERIFY(f->hasFocus());
    f->setCurrentIndex(f->model()->index(2, 0));
    QImage on = f->viewport()->grab().toImage();
    QCOMPARE(on.pixelColor(1, 1), FocusFrameColour());
    int y = f->rowViewportPosition(2);
    QCOMPARE(on.pixelColor(f->viewport()->width() / 2, y), FocusFrameColour());
    // Another view takes the focus: the frame goes with it.
    Views()->FilterEdit(0)->setFocus();
    QTRY_VERIFY(!f->hasFocus());
    QImage off = f->viewport()->grab().toImage();
    QVERIFY(off.pixelColor(1, 1) != FocusFrameColour());
    Views()->SelectView(VIEW_TREE);
    Views()->TreeWidget()->setFocus();
    QTRY_VERIFY(Views()->TreeWidget()->hasFocus());
    QCOMPARE(Views()->TreeWidget()->viewport()->grab().toImage().pixelColor(1, 1),
             FocusFrameColour());
  }

  void contextMenusOnEveryView() {
    DropProject();
    ShowWindow();
    MenuPick pick;
    // A Call List row with a linked call acts on the called function.
    Views()->SelectView(VIEW_CALLS);
    QTableView *c = List(1);
    int linked = FindShown(c, CL_CALL, QStringLiteral("compute"));
    QPoint at = c->visualRect(c->model()->index(linked, CL_CALL)).center();
    pick.Arm(this, QStringLiteral("Tree"));
    QContextMenuEvent e1(QContextMenuEvent::Mouse, at, c->viewport()->mapToGlobal(at));
    QApplication::sendEvent(c->viewport(), &e1);
    QCOMPARE(pick.name, QStringLiteral("contextMenu"));
    QCOMPARE(pick.seen.size(), 6);
    QVERIFY(WaitIdle());
    QVERIFY2(TreeRoot().startsWith(QStringLiteral("compute(argc:2)")), qPrintable(TreeRoot()));
    // An unlinked one: Tree is the caller's, Callers the name's.
    Views()->SelectView(VIEW_CALLS);
    int miss = FindShown(c, CL_CALL, QStringLiteral("missing_function"));
    at = c->visualRect(c->model()->index(miss, CL_CALL)).center();
    pick.Arm(this, QStringLiteral("Tree"));
    QContextMenuEvent e2(QContextMenuEvent::Mouse, at, c->viewport()->mapToGlobal(at));
    QApplication::sendEvent(c->viewport(), &e2);
    QVERIFY(WaitIdle());
    QVERIFY(TreeRoot().startsWith(QStringLiteral("main(argc:2)")));
    Views()->SelectView(VIEW_CALLS);
    pick.Arm(this, QStringLiteral("Callers"));
    QApplication::sendEvent(c->viewport(), &e2);
    QVERIFY(WaitIdle());
    QVERIFY2(Views()->Callers()->Dump().startsWith(QStringLiteral("4 missing_function(argc:*)")),
             qPrintable(Views()->Callers()->Dump()));

    // A CallTree node and a Callers node.
    Views()->SelectView(VIEW_TREE);
    TreeView *tv = Views()->TreeWidget();
    QModelIndex kid = FunctionChild(Views()->Tree());
    QVERIFY(kid.isValid());
    at = tv->visualRect(kid).center();
    pick.Arm(this, QStringLiteral("Callers"));
    QContextMenuEvent e3(QContextMenuEvent::Mouse, at, tv->viewport()->mapToGlobal(at));
    QApplication::sendEvent(tv->viewport(), &e3);
    QCOMPARE(pick.seen.size(), 6);
    QVERIFY(WaitIdle());
    QCOMPARE(Views()->Callers()->Dump().section(QLatin1Char('('), 0, 0).mid(2),
             kid.data().toString().section(QLatin1Char('('), 0, 0));
    Views()->SelectView(VIEW_CALLERS);
    TreeView *cv = Views()->CallersWidget();
    at = cv->visualRect(Views()->Callers()->index(0, 0)).center();
    pick.Arm(this, QStringLiteral("Tree"));
    QContextMenuEvent e4(QContextMenuEvent::Mouse, at, cv->viewport()->mapToGlobal(at));
    QApplication::sendEvent(cv->viewport(), &e4);
    QCOMPARE(pick.seen.size(), 6);
    QVERIFY(WaitIdle());
    QVERIFY(warnings_.isEmpty());
    // The Function menu of the menu bar acts on the view shown.
    Views()->SelectView(VIEW_FUNCTIONS);
    List(0)->selectRow(FindShown(List(0), FL_FUNCTION, QStringLiteral("twice")));
    w_->Command(CMD_TREE);
    QVERIFY(WaitIdle());
    QVERIFY(TreeRoot().startsWith(QStringLiteral("twice(argc:1)")));
  }

  void historyBackAndForward() {
    UseRenderer("/usr/bin/dot");
    ShowWindow();
    w_->DropPaths({ChainProject(QStringLiteral("chain"), 60, 3)});
    QVERIFY(WaitIdle());
    w_->Command(CMD_BACK);  // nothing yet: nothing happens
    QVERIFY(!WorkerBusy());
    QVERIFY(w_->TreeRequest(Sid("f0"), Fid("f0")));
    QVERIFY(WaitIdle());
    QString first = Views()->Graph()->File();
    // Left on the CallTree, scrolled down.
    Views()->SelectView(VIEW_TREE);
    TreeView *tv = Views()->TreeWidget();
    tv->doItemsLayout();
    QScrollBar *bar = tv->verticalScrollBar();
    QVERIFY(bar->maximum() > 10);
    bar->setValue(bar->maximum() / 2);
    int scroll = bar->value();
    QVERIFY(w_->TreeRequest(Sid("f40"), Fid("f40")));
    QVERIFY(WaitIdle());
    QString second = Views()->Graph()->File();
    QVERIFY(second != first);
    QCOMPARE(w_->History().Size(), 2);
    int pictures = Pictures();
    QString result = Views()->Result()->toPlainText();

    // Alt+Left: the first tree again, on its tab and scroll position, with
    // its picture and no new rendering, log or Result text.
    QTest::keyClick(w_->windowHandle(), Qt::Key_Left, Qt::AltModifier);
    QVERIFY(WaitIdle());
    QVERIFY(TreeRoot().startsWith(QStringLiteral("f0(argc:0)")));
    QCOMPARE(Views()->CurrentView(), (int)VIEW_TREE);
    QCOMPARE(bar->value(), scroll);
    QCOMPARE(Views()->Graph()->File(), first);
    QCOMPARE(Pictures(), pictures);
    QCOMPARE(Views()->Result()->toPlainText(), result);
    QCOMPARE(w_->History().Index(), 0);
    // Alt+Right: the second again, where it was left (the Graph tab).
    QTest::keyClick(w_->windowHandle(), Qt::Key_Right, Qt::AltModifier);
    QVERIFY(WaitIdle());
    QVERIFY(TreeRoot().startsWith(QStringLiteral("f40(argc:0)")));
    QCOMPARE(Views()->CurrentView(), (int)VIEW_GRAPH);
    QCOMPARE(Views()->Graph()->File(), second);
    QCOMPARE(Pictures(), pictures);
    // A picture gone: that tree is rendered again (into the Graph tab only:
    // as the viewer, it leaves nothing on the desktop).
    QFile::remove(first);
    QVERIFY(w_->GoThroughHistory(-1));
    QVERIFY(WaitIdle());
    QCOMPARE(Pictures(), 0);
    QVERIFY(Views()->Graph()->File() != first);
    QVERIFY(QFile::exists(Views()->Graph()->File()));
    // A new tree after going back drops the trees ahead.
    QVERIFY(w_->TreeRequest(Sid("f10"), Fid("f10")));
    QVERIFY(WaitIdle());
    QCOMPARE(w_->History().Size(), 2);
    QCOMPARE(w_->GoThroughHistory(1), 0);
    // A new analysis starts a new history.
    w_->DropPaths({Project()});
    QVERIFY(WaitIdle());
    QCOMPARE(w_->History().Size(), 0);
  }

  void fileMenuAndRecent() {
    ShowWindow();
    // Open Folder: the dialog's folder analysed as a drop.
    dialog_paths_ = QStringList{Project()};
    QTest::keyClick(w_->windowHandle(), Qt::Key_O, Qt::ControlModifier);
    QCOMPARE(dialogs_, QStringList({"folder"}));
    QVERIFY(WaitIdle());
    QCOMPARE(List(0)->model()->rowCount(), 5);
    QVERIFY(questions_.isEmpty());
    // With a project open, the drop's question comes first; Cancel keeps it.
    answer_ = false;
    dialog_paths_ = QStringList{QStringLiteral(VELMORA_TEST_DATA "/gui_project/sub/util.c")};
    w_->Command(CMD_OPEN_FILES);
    QCOMPARE(dialogs_, QStringList({"folder", "files"}));
    QCOMPARE(questions_.size(), 1);
    QCOMPARE(List(0)->model()->rowCount(), 5);
    answer_ = true;
    w_->Command(CMD_OPEN_FILES);
    QVERIFY(WaitIdle());
    QCOMPARE(Column(List(0), FL_FUNCTION), QStringList({"twice", "fact"}));
    // A cancelled dialog does nothing.
    dialog_paths_.clear();
    w_->Command(CMD_OPEN_FOLDER);
    QVERIFY(!WorkerBusy());

    // Recent, newest first, kept in the user's config folder.
    QList<QStringList> recent = RecentPathSets();
    QCOMPARE(recent.size(), 2);
    QCOMPARE(recent[0], QStringList{QStringLiteral(VELMORA_TEST_DATA "/gui_project/sub/util.c")});
    QCOMPARE(recent[1], QStringList{Project()});
    QVERIFY(DesktopSettingsFile().startsWith(QString::fromLocal8Bit(qgetenv("XDG_CONFIG_HOME")) +
                                             QStringLiteral("/velmora/")));
    QMenu *menu = w_->findChild<QMenu *>(QStringLiteral("recentMenu"));
    QVERIFY(menu);
    QTRY_COMPARE(menu->actions().size(), 2);
    menu->actions()[1]->trigger();
    QVERIFY(WaitIdle());
    QCOMPARE(List(0)->model()->rowCount(), 5);
    QTRY_VERIFY(menu->actions()[0]->text().contains(QStringLiteral("gui_project")));
    for (int i = 0; i < 12; i++) AddRecentPathSet({QStringLiteral("/p%1").arg(i)});
    QCOMPARE(RecentPathSets().size(), (int)kRecentSets);
    QCOMPARE(RecentPathSets()[0], QStringList{QStringLiteral("/p11")});

    // F5: the same paths again, without a question.
    int asked = questions_.size();
    QTest::keyClick(w_->windowHandle(), Qt::Key_F5);
    QVERIFY(WaitIdle());
    QCOMPARE(questions_.size(), asked);
    QCOMPARE(List(0)->model()->rowCount(), 5);

    // After Escape in the first pass, Re-analyse and Open still work.
    w_->DropPaths({Project()});
    QTest::keyClick(w_->windowHandle(), Qt::Key_Escape);
    QVERIFY(WaitIdle());
    // Stopped while collecting or while parsing, depending on the machine.
    QVERIFY2(Status().startsWith(QStringLiteral("Stopped after ")) &&
                 Status().endsWith(QStringLiteral("; nothing listed: F5 analyses again")),
             qPrintable(Status()));
    QTest::keyClick(w_->windowHandle(), Qt::Key_F5);
    QVERIFY(WaitIdle());
    QVERIFY2(warnings_.isEmpty() || warnings_.size() == 1,
             qPrintable(warnings_.join(QLatin1Char('|'))));
    QCOMPARE(List(0)->model()->rowCount(), 5);
    QCOMPARE(Status(), FromSjis(g_config.STAT_MESS[2]));
  }
};

QTEST_MAIN(GuiNavigatorTest)
#include "gui_navigator_test.moc"
