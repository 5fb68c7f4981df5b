// What the tests of the desktop program as an IDE-grade navigator share: a
// project whose functions have comments above them, calls on known lines and
// printf with several argument counts, an editor that writes down how it was
// started, and waits for what the status line says.
#pragma once

#include "navigator_fixture.h"

namespace velmora_gui {

class IdeFixture : public NavigatorFixture {
 protected:
  // calls.c: helper's name on line 8 (its comment from line 4), compute's
  // call of helper on line 16, printf with 2, 3 and 1 arguments.
  QString IdeProject() {
    QDir(scratch_.filePath(QStringLiteral("ide"))).removeRecursively();  // as first written
    QDir(scratch_.path()).mkpath(QStringLiteral("ide"));
    QFile f(scratch_.filePath(QStringLiteral("ide/calls.c")));
    f.open(QIODevice::WriteOnly);
    f.write(
        "/* A project for the desktop's tests. */\n"   // 1
        "#include <stdio.h>\n"                         // 2
        "\n"                                           // 3
        "/*\n"                                         // 4
        " * The comment above helper,\n"               // 5
        " * on several lines.\n"                       // 6
        " */\n"                                        // 7
        "static int helper(int a)\n"                   // 8
        "{\n"                                          // 9
        "  return a + 1;\n"                            // 10
        "}\n"                                          // 11
        "\n"                                           // 12
        "int compute(int x, int y)\n"                  // 13
        "{\n"                                          // 14
        "  printf(\"%d\\n\", x);\n"                    // 15
        "  return helper(x) * y;\n"                    // 16
        "}\n"                                          // 17
        "\n"                                           // 18
        "int main(void)\n"                             // 19
        "{\n"                                          // 20
        "  printf(\"%d %d\\n\", compute(1, 2), 3);\n"  // 21
        "  printf(\"done\\n\");\n"                     // 22
        "  return helper(2);\n"                        // 23
        "}\n");                                        // 24
    f.close();
    return scratch_.filePath(QStringLiteral("ide"));
  }
  QString IdeFile() { return scratch_.filePath(QStringLiteral("ide/calls.c")); }

  // An editor that writes its arguments, one a line, to editor.args.
  QString ArgsFile() { return scratch_.filePath(QStringLiteral("editor.args")); }
  void UseRecordingEditor() {
    QString path = scratch_.filePath(QStringLiteral("editor.sh"));
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    f.write(QStringLiteral("#!/bin/sh\nprintf '%s\\n' \"$@\" > \"%1.tmp\"\nmv \"%1.tmp\" \"%1\"\n")
                .arg(ArgsFile())
                .toUtf8());
    f.close();
    chmod(QFile::encodeName(path).constData(), 0755);
    CopyText(g_config.EDITOR, sizeof g_config.EDITOR, QFile::encodeName(path).constData());
    CopyText(g_config.EDITOR_CMD, sizeof g_config.EDITOR_CMD, "+%d");
    QFile::remove(ArgsFile());
  }
  // What the editor was started with ("" when it was not, within the wait).
  QString EditorArgs() {
    bool there = QTest::qWaitFor([this] { return QFile::exists(ArgsFile()); }, 10000);
    QFile f(ArgsFile());
    QString out = there && f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
    QFile::remove(ArgsFile());
    return out;
  }
  // Selects the shown row of a list whose column col reads text.
  void SelectRow(int list, int col, const QString &text) {
    Views()->SelectView(list);
    QTableView *v = List(list);
    int r = FindShown(v, col, text);
    QVERIFY2(r >= 0, qPrintable(text));
    v->setFocus();
    v->setCurrentIndex(v->model()->index(r, 0));
    v->selectRow(r);
  }
  // The shown Call List row of the call of callee in caller.
  int CallRow(const QString &caller, const QString &callee) {
    QTableView *c = List(1);
    for (int r = 0; r < c->model()->rowCount(); r++)
      if (c->model()->index(r, CL_FUNCTION).data().toString() == caller &&
          c->model()->index(r, CL_CALL).data().toString() == callee)
        return r;
    return -1;
  }
  void AfterTest() override {
    NavigatorFixture::AfterTest();
    CopyText(g_config.EDITOR, sizeof g_config.EDITOR, "notepad.exe");
    g_config.EDITOR_CMD[0] = 0;
  }
};

}  // namespace velmora_gui
