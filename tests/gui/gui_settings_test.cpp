// The Settings dialog and settings that change while the program runs: the
// keys offered with their meanings and the file's path, only the keys
// changed written (the file's other lines kept), and a file changed by hand
// or by the dialog read before the next job, without a restart.
#include <QLabel>

#include "ide_fixture.h"
#include "ui/settings_dialog.h"

using namespace velmora_gui;

class GuiSettingsTest : public IdeFixture {
  Q_OBJECT

  QString SettingsFile() { return QFile::decodeName(AppSettingsPath()); }
  QByteArray Read(const QString &path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
  }
  void Write(const QByteArray &bytes) {
    QFile f(SettingsFile());
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
  }

 protected:
  void AfterTest() override {
    SetSettingsHandler(nullptr);
    QFile::remove(SettingsFile());
    AppReloadSettings(1);  // the built-in values again
    IdeFixture::AfterTest();
  }

 private Q_SLOTS:

  void dialogWritesOnlyWhatChanged() {
    const QByteArray before =
        "; my settings\r\n[CONFIG]\r\n; my editor\r\nEDITOR=/usr/bin/true\r\nEXT=C;H;\r\n\r\n"
        "[OTHER]\r\nx=1\r\n";
    Write(before);
    QVERIFY(AppReloadSettings(1));
    QStringList keys;
    QString path;
    SetSettingsHandler([&](SettingsDialog *d) {
      keys = d->Keys();
      path = d->findChild<QLabel *>(QStringLiteral("settingsFile"))->text();
      // Every key says what it means.
      for (const QString &k : keys) {
        QWidget *edit = d->findChild<QWidget *>(k);
        if (!edit || edit->toolTip().isEmpty()) return false;
      }
      if (d->Value(QStringLiteral("EDITOR")) != QStringLiteral("/usr/bin/true")) return false;
      d->SetValue(QStringLiteral("EXACT_NAMES"), QStringLiteral("1"));
      d->SetValue(QStringLiteral("EDITOR"), QStringLiteral("/usr/bin/env"));
      // Set and set back: not changed.
      d->SetValue(QStringLiteral("JOBS"), QStringLiteral("3"));
      d->SetValue(QStringLiteral("JOBS"), QString::number(g_config.JOBS));
      return true;
    });
    w_->Command(CMD_SETTINGS);
    for (const char *k : {"PARSER", "EXACT_NAMES", "EXT", "JOBS", "GRAPH_IN_WINDOW", "GRAPH_EXT",
                          "EDITOR", "EDITOR_CMD", "GRAPH_VIEWER", "GRAPH_VIEWER_CMD", "OUTPUT_DIR",
                          "FONT_SIZE_LV", "FONT_SIZE_TV"})
      QVERIFY2(keys.contains(QLatin1String(k)), k);
    QCOMPARE(path, QStringLiteral("Settings file: ") + SettingsFile());
    QCOMPARE(Read(SettingsFile()),
             QByteArray("; my settings\r\n[CONFIG]\r\n; my editor\r\nEDITOR=/usr/bin/env\r\n"
                        "EXT=C;H;\r\nEXACT_NAMES=1\r\n\r\n[OTHER]\r\nx=1\r\n"));
    // In force at once (no job runs).
    QCOMPARE(QByteArray(g_config.EDITOR), QByteArray("/usr/bin/env"));
    QCOMPARE(g_config.EXACT_NAMES, 1);
    QVERIFY(Status().startsWith(QStringLiteral("Settings written: ")));
    QVERIFY(Status().contains(QStringLiteral("EDITOR")));
    QVERIFY(!Status().contains(QStringLiteral("JOBS")));

    // Cancel writes nothing.
    QByteArray now = Read(SettingsFile());
    SetSettingsHandler([](SettingsDialog *d) {
      d->SetValue(QStringLiteral("EXT"), QStringLiteral("X;"));
      return false;
    });
    w_->Command(CMD_SETTINGS);
    QCOMPARE(Read(SettingsFile()), now);

    // The parser in use is in the status bar.
    QLabel *parser = Views()->findChild<QLabel *>(QStringLiteral("parserText"));
    QCOMPARE(parser->text(), QStringLiteral("statement parser"));
    SetSettingsHandler([](SettingsDialog *d) {
      return d->SetValue(QStringLiteral("PARSER"), QStringLiteral("1"));
    });
    w_->Command(CMD_SETTINGS);
    QCOMPARE(g_config.PARSER, 1);
    QVERIFY(parser->text().startsWith(QStringLiteral("precise parser")) ||
            parser->text() == QStringLiteral("statement parser (precise one not built in)"));
  }

  void aFileChangedByHandCountsAtTheNextJob() {
    UseRecordingEditor();
    QByteArray editor = QByteArray(g_config.EDITOR);
    w_->DropPaths({IdeProject()});
    QVERIFY(WaitIdle());
    // The file names the recording editor now, with its own arguments.
    Write("[CONFIG]\nEDITOR=" + editor + "\nEDITOR_CMD=-l %d\n");
    SelectRow(VIEW_FUNCTIONS, FL_FUNCTION, QStringLiteral("helper"));
    w_->Command(CMD_VIEW_SOURCE);
    QCOMPARE(EditorArgs(), QStringLiteral("-l\n8\n") + IdeFile() + QLatin1Char('\n'));
    // F5 reads the file too.
    Write("[CONFIG]\nEXT=H;\n");
    w_->Command(CMD_REANALYSE);
    QVERIFY(WaitIdle());
    QCOMPARE(QByteArray(g_config.EXT), QByteArray("H;"));
    QCOMPARE(warnings_.size(), 1);  // no .h file there: nothing to analyse
  }
};

QTEST_MAIN(GuiSettingsTest)
#include "gui_settings_test.moc"
