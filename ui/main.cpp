// The desktop program: `velmora [PATH...]`. Every argument is a file or folder
// whose sources are analysed as soon as the window is open.
#include <QApplication>
#include <QFile>
#include <QStringList>

#include <vector>

#include "foundation/messages.h"
#include "shell/app.h"
#include "ui/mainwindow.h"
#include "ui/qtext.h"
#include "ui/screenshots.h"

int main(int argc, char **argv) {
  QApplication app(argc, argv);  // takes its own options out of argv
  std::vector<const char *> paths;
  for (int i = 1; i < argc; i++) paths.push_back(argv[i]);

  const char *failure = nullptr;
  int code = 0;
  // The command line's paths are collected while the window is built.
  MainWindow *w = nullptr;
  if (AppStartCollecting(nullptr, (int)paths.size(), paths.data(), &failure)) {
    w = new MainWindow;
    if (!AppCollected(&failure)) {
      w->Shutdown();
      delete w;
      w = nullptr;
    }
  }
  if (!w) {
    ShowWarningBox(nullptr, UiTextSjis(failure ? failure : N_("Program error !")));
  } else {
    QStringList args;
    for (const char *p : paths) args << QFile::decodeName(p);
    w->show();
    w->Start(args);
    if (!StartScreenshotTour(w)) StartBenchQuit(w);
    code = app.exec();
    // The window is gone for the user; the worker has been stopped by now.
    w->Shutdown();
    delete w;
  }
  AppStop();
  return code;
}
