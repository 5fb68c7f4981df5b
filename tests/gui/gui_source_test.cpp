// The Source tab, driven through the real windows: it follows the rows and
// tree nodes selected, shows the function's file scrolled to it with its
// name's line marked and its calls underlined with their targets, a click on
// a call selects the function it reaches and a double-click builds its tree,
// Ctrl+F finds in the text, and Shift_JIS and UTF-16 files are shown in
// their own characters at the lines the analysis counted.
#include <QLineEdit>

#include "ide_fixture.h"
#include "ui/qtext.h"
#include "ui/source_page.h"

using namespace velmora_gui;

class GuiSourceTest : public IdeFixture {
  Q_OBJECT

  SourcePage *Page() { return Views()->SourceTab(); }
  SourceView *Text() { return Page()->View(); }
  // The shown line's text.
  QString ShownLine(int line) {
    return Text()->Text() ? Text()->Text()->Line(line).toString() : QString();
  }

 private Q_SLOTS:

  void followsTheSelectionAndActsOnCalls() {
    w_->DropPaths({IdeProject()});
    QVERIFY(WaitIdle());
    // A row of the Function List, then the tab: the function's file at its
    // name's line, the heading naming file, encoding (ASCII reads as
    // Shift_JIS, as the analysis reads it) and function.
    SelectRow(VIEW_FUNCTIONS, FL_FUNCTION, QStringLiteral("compute"));
    Views()->SelectView(VIEW_SOURCE);
    QCOMPARE(Page()->ShownSid(), Sid("compute"));
    QCOMPARE(Page()->ShownFid(), Fid("compute"));
    QCOMPARE(Text()->NameLine(), 12);  // "int compute(int x, int y)"
    QVERIFY(ShownLine(12).startsWith(QStringLiteral("int compute(")));
    QVERIFY2(Page()->Heading().contains(QStringLiteral("calls.c (Shift_JIS)")) &&
                 Page()->Heading().endsWith(QStringLiteral("compute, line 13")),
             qPrintable(Page()->Heading()));
    int first = Text()->FirstVisibleLine();
    QVERIFY(first <= 12 && 12 < first + Text()->VisibleLines());

    // Its calls underlined where they are, each with its target.
    const std::vector<SourceCall> &calls = Text()->Calls();
    QCOMPARE((int)calls.size(), 2);
    QCOMPARE(calls[0].line, 14);
    QCOMPARE(ShownLine(14).mid(calls[0].column, calls[0].length), QStringLiteral("printf"));
    QVERIFY2(calls[0].tip.contains(QStringLiteral("not defined")), qPrintable(calls[0].tip));
    QCOMPARE(calls[1].line, 15);
    QCOMPARE(ShownLine(15).mid(calls[1].column, calls[1].length), QStringLiteral("helper"));
    QVERIFY2(calls[1].tip.startsWith(QStringLiteral("helper (argc:1)")), qPrintable(calls[1].tip));
    QCOMPARE(Text()->CallAt(Text()->PointOf(15, calls[1].column + 1)), 1);
    QCOMPARE(Text()->CallAt(Text()->PointOf(15, 0)), -1);

    // A click on a call selects the function it reaches; the tab stays on
    // the function shown.
    ShowWindow();
    QTest::mouseClick(Text()->viewport(), Qt::LeftButton, Qt::NoModifier,
                      Text()->PointOf(15, calls[1].column + 1));
    QCOMPARE(Text()->CurrentCall(), 1);
    QModelIndexList sel = List(0)->selectionModel()->selectedRows();
    QCOMPARE(sel.size(), 1);
    QCOMPARE(sel[0].siblingAtColumn(FL_FUNCTION).data().toString(), QStringLiteral("helper"));
    QCOMPARE(Page()->ShownSid(), Sid("compute"));
    QCOMPARE(Page()->Current().sid, Sid("helper"));
    // A click on a name no source defines says so.
    QTest::mouseClick(Text()->viewport(), Qt::LeftButton, Qt::NoModifier,
                      Text()->PointOf(14, calls[0].column + 1));
    QCOMPARE(Status(), QStringLiteral("printf is not defined in the analysed code"));
    // A double-click on the call builds the tree of what it reaches.
    QTest::mouseDClick(Text()->viewport(), Qt::LeftButton, Qt::NoModifier,
                       Text()->PointOf(15, calls[1].column + 1));
    QVERIFY(WaitIdle());
    QVERIFY2(TreeRoot().startsWith(QStringLiteral("helper(argc:1)")), qPrintable(TreeRoot()));

    // A node of the CallTree moves it too: main's tree, its compute node.
    QVERIFY(w_->TreeRequest(Sid("main"), Fid("main")));
    QVERIFY(WaitIdle());
    TreeView *tv = Views()->TreeWidget();
    QModelIndex kid = FunctionChild(Views()->Tree());
    QVERIFY(kid.isValid());
    tv->setCurrentIndex(kid);
    Views()->SelectView(VIEW_SOURCE);
    QVERIFY(Page()->ShownSid() == Sid("compute") || Page()->ShownSid() == Sid("helper"));
    QVERIFY(Page()->ShownFid() != Fid("main") || Page()->ShownSid() != Sid("main"));

    // Ctrl+F: the search bar; Enter finds the next match, going round.
    Text()->setFocus();
    QTest::keyClick(Text(), Qt::Key_F, Qt::ControlModifier);
    QLineEdit *find = Page()->FindBox();
    QVERIFY(find->isVisible());
    QVERIFY(find->hasFocus());
    QTest::keyClicks(find, QStringLiteral("DONE"));
    QTest::keyClick(find, Qt::Key_Return);
    QCOMPARE(Text()->SelectedText(), QStringLiteral("done"));
    QVERIFY(!Text()->Find(QStringLiteral("no such text"), false));
    QCOMPARE(Text()->SelectedText(), QStringLiteral("done"));
  }

  void encodingsShownInTheirCharacters() {
    // A Shift_JIS source and a UTF-16 one (little-endian, with its mark),
    // each with Japanese comments before its function.
    QDir(scratch_.path()).mkpath(QStringLiteral("enc"));
    const QString comment = QStringLiteral("/* 関数の説明：漢字とカナ */\n");
    {
      QFile f(scratch_.filePath(QStringLiteral("enc/sjis.c")));
      QVERIFY(f.open(QIODevice::WriteOnly));
      std::string s =
          ToSjis(comment + QStringLiteral("int in_sjis(void)\n{\n  /* 表 */ return 1;\n}\n"));
      f.write(s.data(), (qint64)s.size());
    }
    {
      QFile f(scratch_.filePath(QStringLiteral("enc/wide.c")));
      QVERIFY(f.open(QIODevice::WriteOnly));
      QString text =
          comment + comment +
          QStringLiteral("int in_wide(void)\n{\n  /* 漢字の後 */ return in_sjis();\n}\n");
      QByteArray bytes("\xFF\xFE", 2);
      for (QChar c : text) {
        bytes.append((char)(c.unicode() & 0xFF));
        bytes.append((char)(c.unicode() >> 8));
      }
      f.write(bytes);
    }
    w_->DropPaths({scratch_.filePath(QStringLiteral("enc"))});
    QVERIFY(WaitIdle());
    SelectRow(VIEW_FUNCTIONS, FL_FUNCTION, QStringLiteral("in_sjis"));
    Views()->SelectView(VIEW_SOURCE);
    QVERIFY2(Page()->Heading().contains(QStringLiteral("(Shift_JIS)")),
             qPrintable(Page()->Heading()));
    QCOMPARE(ShownLine(0), comment.trimmed());
    QCOMPARE(Text()->NameLine(), 1);
    SelectRow(VIEW_FUNCTIONS, FL_FUNCTION, QStringLiteral("in_wide"));
    Views()->SelectView(VIEW_SOURCE);
    QVERIFY2(Page()->Heading().contains(QStringLiteral("(UTF-16)")), qPrintable(Page()->Heading()));
    QCOMPARE(ShownLine(1), comment.trimmed());
    QCOMPARE(Text()->NameLine(), 2);
    // The call after Japanese text on its line is underlined on its own name.
    QCOMPARE((int)Text()->Calls().size(), 1);
    const SourceCall &c = Text()->Calls()[0];
    QCOMPARE(ShownLine(c.line).mid(c.column, c.length), QStringLiteral("in_sjis"));
  }
};

QTEST_MAIN(GuiSourceTest)
#include "gui_source_test.moc"
