// The desktop program where a programmer looks first: jumps to the line of a
// name or a call, the Call List's line column, an editor that fails told in
// the status line, and the smaller things around the lists (the search box,
// the focus at start-up, Recent, column widths, the status line, the notes
// on sources, the callers of printf, the placeholder picture, the menus).
#include <QToolTip>

#include "ext/ext_settings.h"
#include "ide_fixture.h"
#include "ui/list_view.h"
#include "ui/status_bar.h"

using namespace velmora_gui;

class GuiIdeTest : public IdeFixture {
  Q_OBJECT

  // helper's row in the Function List.
  const FunctionRow *HelperRow() {
    ListModel *m = Views()->Model(VIEW_FUNCTIONS);
    for (int r = 0; r < m->Size(); r++)
      if (!strcmp(m->FunctionAt(r)->name, "helper")) return m->FunctionAt(r);
    return nullptr;
  }

 private Q_SLOTS:

  void jumpsLandOnTheName() {
    UseRecordingEditor();
    w_->DropPaths({IdeProject()});
    QVERIFY(WaitIdle());
    const FunctionRow *h = HelperRow();
    QVERIFY(h);
    // LineNo stays where the text starts (the comment above it); its tooltip
    // says what the number is and where the name is.
    int row = FindShown(List(0), FL_FUNCTION, QStringLiteral("helper"));
    QString lineno = List(0)->model()->index(row, FL_LINE).data().toString();
    QCOMPARE(lineno.toInt(), h->line);
    QVERIFY(h->line < 7);
    QString tip = List(0)->model()->index(row, FL_LINE).data(Qt::ToolTipRole).toString();
    QVERIFY2(
        tip.contains(QStringLiteral("counts from 0")) && tip.endsWith(QStringLiteral("line 8.")),
        qPrintable(tip));
    QVERIFY(List(0)->model()->headerData(FL_LINE, Qt::Horizontal, Qt::ToolTipRole).isValid());

    // view Source and Go to Definition open the name's line.
    SelectRow(VIEW_FUNCTIONS, FL_FUNCTION, QStringLiteral("helper"));
    w_->Command(CMD_VIEW_SOURCE);
    QCOMPARE(EditorArgs(), QStringLiteral("+8\n") + IdeFile() + QLatin1Char('\n'));
    w_->Command(CMD_GO_TO_DEFINITION);
    QCOMPARE(EditorArgs(), QStringLiteral("+8\n") + IdeFile() + QLatin1Char('\n'));

    // The Call List's Line column; on a call view Source opens the call,
    // Go to Definition the function it reaches.
    QTableView *c = List(1);
    QCOMPARE(c->model()->headerData(CL_LINE, Qt::Horizontal).toString(), QStringLiteral("Line"));
    int call = CallRow(QStringLiteral("compute"), QStringLiteral("helper"));
    QVERIFY(call >= 0);
    QCOMPARE(c->model()->index(call, CL_LINE).data().toString(), QStringLiteral("16"));
    SelectRow(VIEW_CALLS, CL_LINE, QStringLiteral("16"));
    w_->Command(CMD_VIEW_SOURCE);
    QCOMPARE(EditorArgs(), QStringLiteral("+16\n") + IdeFile() + QLatin1Char('\n'));
    w_->Command(CMD_GO_TO_DEFINITION);
    QCOMPARE(EditorArgs(), QStringLiteral("+8\n") + IdeFile() + QLatin1Char('\n'));
    // A call no source defines has no definition to go to.
    SelectRow(VIEW_CALLS, CL_LINE, QStringLiteral("22"));
    w_->Command(CMD_GO_TO_DEFINITION);
    QCOMPARE(Status(), QStringLiteral("printf is not defined in the analysed code"));
    QVERIFY(!QTest::qWaitFor([this] { return QFile::exists(ArgsFile()); }, 300));
  }

  void anEditorThatFailsIsToldInTheStatusLine() {
    w_->DropPaths({IdeProject()});
    QVERIFY(WaitIdle());
    QString path = scratch_.filePath(QStringLiteral("failing-open.sh"));
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    f.write("#!/bin/sh\necho 'xdg-open: x-terminal-emulator: not found' >&2\nexit 3\n");
    f.close();
    chmod(QFile::encodeName(path).constData(), 0755);
    CopyText(g_config.EDITOR, sizeof g_config.EDITOR, QFile::encodeName(path).constData());
    SelectRow(VIEW_FUNCTIONS, FL_FUNCTION, QStringLiteral("compute"));
    w_->Command(CMD_VIEW_SOURCE);
    QTRY_VERIFY_WITH_TIMEOUT(Status().contains(QStringLiteral("x-terminal-emulator: not found")),
                             10000);
    QVERIFY2(Status().startsWith(QStringLiteral("The editor did not start: ")),
             qPrintable(Status()));
    // A program that is not there at all.
    CopyText(g_config.EDITOR, sizeof g_config.EDITOR, "/nonexistent/editor");
    w_->Command(CMD_VIEW_FUNCTION);
    QTRY_VERIFY_WITH_TIMEOUT(Status().contains(QStringLiteral("/nonexistent/editor: ")), 10000);
  }

  void searchBoxChoosesTheExactName() {
    // Names that hold "helper" before the function of that very name.
    QString dir = IdeProject();
    QFile more(dir + QStringLiteral("/a_help.c"));
    more.open(QIODevice::WriteOnly);
    more.write("int rehelper(void) { return 0; }\nint helpers(void) { return 1; }\n");
    more.close();
    w_->DropPaths({dir});
    QVERIFY(WaitIdle());
    FilterBox *box = Views()->FilterEdit(VIEW_FUNCTIONS);
    Views()->SelectView(VIEW_FUNCTIONS);
    box->setFocus();
    QTest::keyClicks(box, QStringLiteral("helper"));
    QCOMPARE(List(0)->model()->rowCount(), 3);
    QCOMPARE(List(0)->model()->index(0, FL_FUNCTION).data().toString(), QStringLiteral("rehelper"));
    QTest::keyClick(box, Qt::Key_Return);
    QModelIndexList sel = List(0)->selectionModel()->selectedRows();
    QCOMPARE(sel.size(), 1);
    QCOMPARE(List(0)->model()->index(sel[0].row(), FL_FUNCTION).data().toString(),
             QStringLiteral("helper"));
    QVERIFY(List(0)->hasFocus() || !QApplication::focusWidget());
    // The Call List: the called name that matches best.
    FilterBox *calls = Views()->FilterEdit(VIEW_CALLS);
    Views()->SelectView(VIEW_CALLS);
    calls->setText(QStringLiteral("PRINT"));
    Views()->ChooseBestRow(VIEW_CALLS);
    sel = List(1)->selectionModel()->selectedRows();
    QCOMPARE(List(1)->model()->index(sel[0].row(), CL_CALL).data().toString(),
             QStringLiteral("printf"));

    // A new project starts with empty search boxes.
    w_->DropPaths({Project()});
    QVERIFY(WaitIdle());
    QCOMPARE(box->text(), QString());
    QCOMPARE(calls->text(), QString());
    QCOMPARE(Views()->RowsText(), QString());
    QCOMPARE(List(0)->model()->rowCount(), Views()->Model(VIEW_FUNCTIONS)->Size());
  }

  void startUpRecentAndColumnWidths() {
    ShowWindow();
    // At start-up the keys go to the Function List.
    QTRY_COMPARE(QApplication::focusWidget(), (QWidget *)List(0));

    // A Recent entry whose paths are gone is greyed out; chosen anyway (its
    // paths went since the menu was made), the open project stays.
    w_->DropPaths({IdeProject()});
    QVERIFY(WaitIdle());
    QString gone = scratch_.filePath(QStringLiteral("gone"));
    QDir().mkpath(gone);
    AddRecentPathSet({gone});
    QMenu *recent = w_->findChild<QMenu *>(QStringLiteral("recentMenu"));
    QVERIFY(recent);
    Q_EMIT recent->aboutToShow();
    QAction *first = recent->actions().value(0);
    QVERIFY(first && first->isEnabled());
    QDir(gone).removeRecursively();
    first->trigger();
    QVERIFY(questions_.isEmpty());
    QVERIFY(ProjectIsOpen());
    QCOMPARE(List(0)->model()->rowCount(), 3);
    QCOMPARE(Status(), QStringLiteral("Not opened: the paths of that entry are gone"));
    Q_EMIT recent->aboutToShow();
    first = recent->actions().value(0);
    QVERIFY(first && !first->isEnabled());

    // A width set by hand survives the next analysis.
    QHeaderView *hh = List(0)->horizontalHeader();
    hh->resizeSection(FL_FUNCTION, 333);
    w_->Command(CMD_REANALYSE);
    QVERIFY(WaitIdle());
    QCOMPARE(hh->sectionSize(FL_FUNCTION), 333);
    QVERIFY(Views()->HandSizedColumns(VIEW_FUNCTIONS) & (1u << FL_FUNCTION));
  }

  void statusLineNotesAndPlaceholder() {
    // A long status text is cut, the window keeps its width.
    int width = w_->width();
    QString longText(600, QLatin1Char('x'));
    Views()->SetStatusString(longText);
    QTest::qWait(50);
    QCOMPARE(w_->width(), width);
    QVERIFY(w_->minimumSizeHint().width() < 800);
    QCOMPARE(Status(), longText);

    // The placeholder picture shows on an empty list only.
    ListView *lv = static_cast<ListView *>(List(0));
    QCOMPARE(lv->PictureShown(), 1);
    // A source that ends inside a function: named in the note's tooltip,
    // which stays through a change of tab.
    QString dir = ChainProject(QStringLiteral("lost"), 60, 0);
    QFile lost(dir + QStringLiteral("/zz_open.c"));
    lost.open(QIODevice::WriteOnly);
    lost.write("int never_closed(void)\n{\n  if (1) {\n    return 0;\n");
    lost.close();
    w_->DropPaths({dir});
    QVERIFY(WaitIdle());
    QCOMPARE(lv->PictureShown(), 0);
    LostSourcesNote *note = Views()->LostNote();
    QVERIFY(note->isVisible());
    QCOMPARE(note->text(), QStringLiteral("1 source(s) end inside a function"));
    QVERIFY2(note->toolTip().contains(dir + QStringLiteral("/zz_open.c: ends inside never_closed")),
             qPrintable(note->toolTip()));
    Views()->SelectView(VIEW_CALLS);
    Q_EMIT Views()->TabChosen(VIEW_CALLS);
    QVERIFY(note->isVisible());
    // The next project has a note of its own (here none).
    w_->DropPaths({IdeProject()});
    QVERIFY(WaitIdle());
    QVERIFY(!note->isVisible());
  }

  void callersOfPrintfWhateverItPasses() {
    w_->DropPaths({IdeProject()});
    QVERIFY(WaitIdle());
    // From printf with 1 argument: the callers of every printf.
    SelectRow(VIEW_CALLS, CL_LINE, QStringLiteral("22"));
    w_->Command(CMD_CALLERS);
    QVERIFY(WaitIdle());
    QString dump = Views()->Callers()->Dump();
    QVERIFY2(dump.startsWith(QStringLiteral("4 printf(argc:*)\n")), qPrintable(dump));
    QVERIFY2(dump.contains(QStringLiteral("compute")) && dump.contains(QStringLiteral("main")),
             qPrintable(dump));
  }

  void menusShowWhatCanAct() {
    QMenu *function = nullptr;
    for (QAction *a : w_->menuBar()->actions())
      if (a->text() == QStringLiteral("F&unction")) function = a->menu();
    QVERIFY(function);
    Q_EMIT function->aboutToShow();
    for (QAction *a : function->actions())
      if (!a->isSeparator()) QVERIFY2(!a->isEnabled(), qPrintable(a->text()));
    w_->DropPaths({IdeProject()});
    QVERIFY(WaitIdle());
    Q_EMIT function->aboutToShow();
    for (QAction *a : function->actions())
      if (!a->isSeparator()) QVERIFY2(a->isEnabled(), qPrintable(a->text()));
    // F12 shows whether the notes play.
    QAction *music = nullptr;
    for (QAction *a : w_->menuBar()->actions())
      for (QAction *b : a->menu()->actions())
        if (b->data().toInt() == CMD_MUSIC) music = b;
    QVERIFY(music && music->isCheckable());
    bool before = MusicEnabled() != 0;
    w_->KeyCommand(Qt::Key_F12);
    QCOMPARE(music->isChecked(), !before);
    w_->KeyCommand(Qt::Key_F12);
    QCOMPARE(music->isChecked(), before);
  }
};

QTEST_MAIN(GuiIdeTest)
#include "gui_ide_test.moc"
