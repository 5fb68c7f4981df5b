// The desktop program in another language. In English the main window, its
// menus and tool tips, the status line, the tabs, the progress window, the
// wait box, a warning, the question before a drop, the About box and the
// Settings dialog show no Japanese but in data (file names, list rows). In
// "xx", a made-up language whose every translation is its English text in
// 【】 marks (built from po/en.po for the tests), every text the program
// shows carries the marks: a text that does not come from the catalogue is
// named. And a translated warning box is wide enough for its whole title.
#include <QAbstractButton>
#include <QApplication>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QRegularExpression>
#include <QTabBar>
#include <QTimer>
#include <QToolBar>

#include <algorithm>

#include "gui_fixture.h"
#include "platform/files.h"
#include "shell/ui_language.h"
#include "ui/qtext.h"
#include "ui/settings_dialog.h"

using namespace velmora_gui;

namespace {

const char kMark[] = "\u3010";  // 【

// Kana, kanji, CJK punctuation, full-width forms, and the brackets of the
// progress window's Japanese captions.
bool HasJapanese(const QString &s) {
  for (QChar c : s) {
    ushort u = c.unicode();
    if ((u >= 0x3000 && u <= 0x30ff) || (u >= 0x4e00 && u <= 0x9fff) ||
        (u >= 0xff01 && u <= 0xffef) || u == 0x226a || u == 0x226b)
      return true;
  }
  return false;
}

// Data, which no language changes: the title (the product and its version),
// the recent paths, the settings' keys, and numbers and signs without
// letters (the close button of the Source tab's search bar).
bool IsData(const QString &s) {
  if (s == QStringLiteral("Velmora Ver 0.10")) return true;
  if (QRegularExpression(QStringLiteral("^[A-Z][A-Z_]+$")).match(s).hasMatch()) return true;
  return std::none_of(s.begin(), s.end(), [](QChar c) { return c.isLetter(); });
}

// The texts of a window and its children that the program chooses: titles,
// labels, buttons, menus and actions with their tool tips, tabs, place
// holders. Lists, trees, the Result view and the progress window's detail
// line show data and are not read.
// The standard buttons of a message box or a dialog are Qt's own, in Qt's
// translations.
QStringList Texts(QWidget *w) {
  QStringList out;
  out << w->windowTitle();
  for (QLabel *l : w->findChildren<QLabel *>())
    if (l->objectName() != QStringLiteral("detail")) out << l->text();
  QMessageBox *box = qobject_cast<QMessageBox *>(w);
  for (QAbstractButton *b : w->findChildren<QAbstractButton *>()) {
    QDialogButtonBox *bar = qobject_cast<QDialogButtonBox *>(b->parentWidget());
    if (bar && bar->standardButton(b) != QDialogButtonBox::NoButton) continue;
    if (!box || box->standardButton(b) == QMessageBox::NoButton) out << b->text() << b->toolTip();
  }
  for (QLineEdit *e : w->findChildren<QLineEdit *>()) out << e->placeholderText();
  for (QTabBar *t : w->findChildren<QTabBar *>())
    for (int i = 0; i < t->count(); i++) out << t->tabText(i);
  for (QToolBar *b : w->findChildren<QToolBar *>()) out << b->windowTitle();
  for (QMenu *m : w->findChildren<QMenu *>()) {
    if (m->objectName() == QStringLiteral("recentMenu")) continue;
    out << m->title();
    for (QAction *a : m->actions()) out << a->text() << a->toolTip();
  }
  for (QAction *a : w->actions()) out << a->text() << a->toolTip();
  out.removeAll(QString());
  return out;
}

}  // namespace

class GuiLanguageTest : public GuiFixture {
  Q_OBJECT

  std::string program_;  // this test program: the build folder holds the catalogues

  // A new window in language code (the fixture's window is in the built-in one).
  void InLanguage(const char *code) {
    char path[VELMORA_PATH_MAX];
    ProgramPath(path, sizeof path);
    program_ = path;
    QVERIFY(UseUiLanguage(program_.c_str(), code));
    NewWindow();
  }
  void AfterTest() override { UseUiLanguage(program_.c_str(), "ja"); }

  // Every text shown on the way: the window before and after an analysis
  // (its status line, tabs, menus, the graph tab's text), the progress window
  // in each phase, the wait box of a tree, a warning and its box, the
  // question before a second drop, the About box and the colour legend.
  void Walk(QStringList *out) {
    QStringList &seen = *out;
    seen << Texts(w_) << Views()->StatusText() << Views()->Graph()->Text();
    w_->OpenProgress();
    ProgressWindow *p = w_->Progress();
    for (int k = 0; k < 3; k++) {
      p->SetPhase(k);
      p->SetPass(k);
      seen << Texts(p);
    }
    w_->DestroyProgress();
    DropProject();
    seen << Texts(w_) << Views()->StatusText() << Views()->RowsText();
    // Each tab as the user picks it, with its status text.
    for (int t = 0; t < 6; t++) {
      w_->Command(CMD_NEXT_TAB);
      seen << Views()->StatusText();
    }
    // A tree: its wait box opens with the request, before the job can end.
    QVERIFY2(w_->TreeRequest(1, 1), "no tree");
    QVERIFY(w_->Wait());
    seen << Texts(w_->Wait());
    QVERIFY(WaitIdle());
    seen << Views()->Graph()->Text() << Views()->StatusText();
    // The question before a drop onto an open project, and the warning of a
    // drop that finds nothing, both answered by the fixture.
    w_->DropPaths({NoMatch()});
    QVERIFY(WaitIdle());
    seen << questions_ << warnings_ << Views()->StatusText();
    // The boxes themselves, and the About box and the legend.
    SetWarningHandler(nullptr);
    QTimer::singleShot(50, this, [&] {
      QWidget *box = QApplication::activeModalWidget();
      QVERIFY(box);
      seen << Texts(box);
      box->close();
    });
    ShowWarningBox(w_, UiText("処理中は受け付けません。"));
    for (int cmd : {CMD_ABOUT, CMD_LEGEND}) {
      QTimer::singleShot(50, this, [&] {
        QWidget *box = QApplication::activeModalWidget();
        QVERIFY(box);
        seen << Texts(box);
        box->close();
      });
      w_->Command(cmd);
    }
    SetWarningHandler([this](QWidget *, const QString &text) { warnings_ << text; });
    // The Settings dialog, with a file and without one.
    for (const QString &file : {QStringLiteral("/nowhere/velmora.ini"), QString()}) {
      SettingsDialog d(w_, file);
      seen << Texts(&d);
    }
  }

 private Q_SLOTS:
  void englishShowsNoJapanese() {
    InLanguage("en");
    QStringList seen;
    Walk(&seen);
    QVERIFY(seen.size() > 60);
    QStringList japanese;
    for (const QString &s : seen)
      if (HasJapanese(s)) japanese << s;
    QVERIFY2(japanese.isEmpty(), qPrintable(japanese.join(QStringLiteral(" | "))));
    // The odd labels of the built-in menus read as English should.
    QVERIFY(seen.contains(QStringLiteral("&Quit")));
    QVERIFY(seen.contains(QStringLiteral("&View Function")));
    QVERIFY(seen.contains(QStringLiteral("Confirm|Discard the open project?")));
    QVERIFY(seen.contains(QStringLiteral("Collecting sources")));
    QVERIFY(seen.contains(QStringLiteral("About")));
  }

  void everyTextComesFromTheCatalogue() {
    InLanguage("xx");
    QStringList seen, unmarked;
    Walk(&seen);
    for (const QString &s : seen)
      if (!IsData(s) && !s.contains(QString::fromUtf8(kMark))) unmarked << s;
    unmarked.removeDuplicates();
    QVERIFY2(unmarked.isEmpty(), qPrintable(QStringLiteral("not from the catalogue: ") +
                                            unmarked.join(QStringLiteral(" | "))));
  }

  void translatedWarningBoxShowsItsTitle() {
    InLanguage("en");
    SetWarningHandler(nullptr);
    int width = 0, title = 0;
    QTimer::singleShot(50, this, [&] {
      QMessageBox *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
      QVERIFY(box);
      width = box->width();
      title = box->fontMetrics().horizontalAdvance(box->windowTitle());
      box->close();
    });
    ShowWarningBox(w_, UiText("中断しました。"));  // "Stopped.": a short text
    SetWarningHandler([this](QWidget *, const QString &text) { warnings_ << text; });
    QVERIFY(title > 0);
    QVERIFY2(width >= title + 150, qPrintable(QString::number(width)));
  }
};

QTEST_MAIN(GuiLanguageTest)
#include "gui_language_test.moc"
