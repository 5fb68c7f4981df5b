// What the navigator tests share (gui_render_test, gui_navigator_test,
// gui_screen_test): a choice made in the next popup menu, renderers of our own
// (slow, or one that draws a single node at once), projects of generated
// chains, and the tree and the status line read as the user sees them.
#pragma once

#include <QAbstractItemModelTester>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QScrollBar>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTabWidget>
#include <QTest>
#include <QTimer>

#include <sys/stat.h>
#include <unistd.h>

#include "foundation/text.h"
#include "graph/graph.h"
#include "gui_fixture.h"
#include "platform/keys.h"
#include "ui/focus_frame.h"
#include "ui/qtext.h"
#include "xref/list_columns.h"

namespace velmora_gui {

// The texts of the popup menu that opens next, and the one chosen (by its
// text before any tab); none chosen: the menu is closed.
struct MenuPick {
  QStringList seen;
  QString name;  // object name of the menu
  void Arm(QObject *ctx, const QString &choose) {
    seen.clear();
    name.clear();
    QTimer::singleShot(150, ctx, [this, choose] {
      QMenu *m = qobject_cast<QMenu *>(QApplication::activePopupWidget());
      if (!m) return;
      name = m->objectName();
      QAction *pick = nullptr;
      for (QAction *a : m->actions()) {
        if (a->isSeparator()) continue;
        seen << a->text();
        if (a->text().section(QLatin1Char('\t'), 0, 0) == choose) pick = a;
      }
      // Chosen as a user chooses: the item made active, then Enter.
      if (pick) {
        m->setActiveAction(pick);
        QTest::keyClick(m, Qt::Key_Return);
      } else {
        m->close();
      }
    });
  }
};

// The helpers of the navigator tests: renderers of their own, generated
// projects, and the views read as the user sees them.
class NavigatorFixture : public GuiFixture {
 protected:
  QTemporaryDir scratch_;

  // Graph output through the real renderer, the Graph tab as the viewer.
  void UseRenderer(const QByteArray &dot) {
    CopyText(g_config.DOT_EXE, sizeof g_config.DOT_EXE, dot.constData());
    g_config.DISPLAY_GRAPH = 1;
    g_config.GRAPH_IN_WINDOW = 1;
    InitGraphTools();
    QCOMPARE(graph_enabled, 1);
    QDir desk(QString::fromLocal8Bit(qgetenv("XDG_DESKTOP_DIR")));
    for (const QString &f : desk.entryList({QStringLiteral("FuncGraph*")}, QDir::Files))
      desk.remove(f);
    NewWindow();
    g_front.render = 1;
  }
  // A renderer of our own that sleeps first (seconds), then writes what -o names.
  QByteArray SlowRenderer(int seconds) {
    QString path = scratch_.filePath(QStringLiteral("slow-dot.sh"));
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    f.write(QStringLiteral(
                "#!/bin/sh\necho $$ >> \"%1/dot.pids\"\nsleep %2\nexec /usr/bin/dot \"$@\"\n")
                .arg(scratch_.path())
                .arg(seconds)
                .toUtf8());
    f.close();
    chmod(QFile::encodeName(path).constData(), 0755);
    return QFile::encodeName(path);
  }
  // A project of a chain of n functions, each calling the next and m names
  // no source defines.
  QString ChainProject(const QString &name, int n, int m) {
    QDir(scratch_.path()).mkpath(name);
    QFile f(scratch_.filePath(name + QStringLiteral("/chain.c")));
    f.open(QIODevice::WriteOnly);
    for (int i = 0; i < n; i++) {
      QString body;
      if (i + 1 < n) body += QStringLiteral("  f%1();\n").arg(i + 1);
      for (int k = 0; k < m; k++) body += QStringLiteral("  u%1_%2();\n").arg(i).arg(k);
      f.write(QStringLiteral("int f%1(void)\n{\n%2}\n").arg(i).arg(body).toLatin1());
    }
    f.close();
    return scratch_.filePath(name);
  }
  int Sid(const QString &function) {
    int r = FindShown(List(0), FL_FUNCTION, function);
    return r < 0 ? 0 : List(0)->model()->index(r, FL_SID).data().toInt();
  }
  int Fid(const QString &function) {
    int r = FindShown(List(0), FL_FUNCTION, function);
    return r < 0 ? 0 : List(0)->model()->index(r, FL_FID).data().toInt();
  }
  QString Status() { return Views()->StatusText(); }
  // The text of the CallTree's root.
  QString TreeRoot() {
    QModelIndex root = Views()->Tree()->index(0, 0);
    return root.isValid() ? root.data().toString() : QString();
  }
  // Pictures drawn on the desktop (a name claimed for a render under way is
  // an empty file until its picture is moved onto it).
  int Pictures() {
    QDir desk(QString::fromLocal8Bit(qgetenv("XDG_DESKTOP_DIR")));
    int n = 0;
    for (const QFileInfo &f : desk.entryInfoList({QStringLiteral("FuncGraph*")}, QDir::Files))
      if (f.size() > 0) n++;
    return n;
  }
  // Every FuncGraph file, drawn or only claimed.
  int PictureNames() {
    return (int)QDir(QString::fromLocal8Bit(qgetenv("XDG_DESKTOP_DIR")))
        .entryList({QStringLiteral("FuncGraph*")}, QDir::Files)
        .size();
  }
  // The point of the graph view's viewport over the node of a function.
  QPoint NodePoint(const QString &function) {
    GraphView *g = Views()->Graph();
    QRectF r = g->NodeRect(Sid(function), Fid(function));
    return g->mapFromScene(r.center());
  }
  // Focuses a list, makes the row whose column col shows text current, and
  // presses key there.
  static void PressOnRow(QTableView *v, int col, const QString &text, Qt::Key key) {
    v->setFocus();
    v->setCurrentIndex(v->model()->index(FindShown(v, col, text), 0));
    QTest::keyClick(v, key);
  }
  // Shortcuts and focus need the window active.
  void ShowWindow() {
    w_->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(w_));
  }

  void AfterTest() override {
    g_config.GRAPH_IN_WINDOW = 0;
    g_config.DISPLAY_GRAPH = 0;
    InitGraphTools();
  }
  // A renderer that only writes a picture of one node, FC1_1, at once.
  QByteArray QuickRenderer() {
    QString path = scratch_.filePath(QStringLiteral("quick-dot.sh"));
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    f.write(
        "#!/bin/sh\nfmt=$1\nwhile [ $# -gt 0 ]; do\n  if [ \"$1\" = -o ]; then\n"
        "    if [ \"$fmt\" = -Tsvg ]; then\n"
        "      printf '<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"100pt\" height=\"50pt\" "
        "viewBox=\"0 0 100 50\"><g id=\"node1\" class=\"node\"><title>FC1_1</title>"
        "<rect x=\"10\" y=\"10\" width=\"80\" height=\"30\"/></g></svg>' > \"$2\"\n"
        "    else echo GIF8 > \"$2\"; fi\n  fi\n  shift\ndone\n");
    f.close();
    chmod(QFile::encodeName(path).constData(), 0755);
    return QFile::encodeName(path);
  }
  // The first node below the root of a tree view that stands for a function.
  static QModelIndex FunctionChild(TreeModel *m) {
    QModelIndex root = m->index(0, 0);
    for (int r = 0; r < m->rowCount(root); r++) {
      int sid = 0, fid = 0;
      if (m->FunctionAt(m->index(r, 0, root), &sid, &fid)) return m->index(r, 0, root);
    }
    return QModelIndex();
  }
};

}  // namespace velmora_gui
