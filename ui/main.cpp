// The desktop program: `velmora [PATH...]`. Every argument is a file or folder
// whose sources are analysed as soon as the window is open; -h, --help and
// --version are answered on the terminal before anything of the window
// exists (so also without a display), and `--` makes every later argument a
// path.
#include <QApplication>
#include <QFile>
#include <QStringList>

#include <cstdio>
#include <cstring>
#include <vector>

#include "engine/ana.h"
#include "foundation/messages.h"
#include "shell/app.h"
#include "ui/mainwindow.h"
#include "ui/qtext.h"
#include "ui/screenshots.h"

namespace {

const char kUsage[] = N_(
    "Usage: velmora [PATH...]\n"
    "Open the desktop program and analyse the C and C++ sources at or below each\n"
    "PATH, as if they were dropped on its window.\n"
    "\n"
    "  -h, --help   this text\n"
    "  --version    the version\n"
    "  --           every argument after it is a PATH\n"
    "\n"
    "The standard options of Qt programs (-platform ...) are taken as well.\n"
    "velmora-cli runs the same analysis in a terminal (velmora-cli --help).\n");

// Answers --help and --version (before `--`); -1 when neither was asked.
int AnswerOnTerminal(int argc, char **argv) {
  for (int i = 1; i < argc; i++) {
    if (strcmp(argv[i], "--") == 0) return -1;
    if (strcmp(argv[i], "-h") == 0 || strcmp(argv[i], "--help") == 0) {
      AppUseEarlyLanguage(nullptr);  // the settings' UI_LANG, before any window
      fputs(MsgUtf8(kUsage), stdout);
      printf(MsgUtf8("Precise parser: %s\n"),
             ANA_PreciseBuiltIn() ? MsgUtf8("built in") : MsgUtf8("not built in"));
      return 0;
    }
    if (strcmp(argv[i], "--version") == 0) {
      printf("velmora Ver 0.10\n");
      return 0;
    }
  }
  return -1;
}

}  // namespace

int main(int argc, char **argv) {
  int answered = AnswerOnTerminal(argc, argv);
  if (answered >= 0) return answered;
  QApplication app(argc, argv);  // takes its own options out of argv
  std::vector<const char *> paths;
  bool dashes = false;  // the first `--` ends the options and is no path
  for (int i = 1; i < argc; i++) {
    if (!dashes && strcmp(argv[i], "--") == 0) {
      dashes = true;
      continue;
    }
    paths.push_back(argv[i]);
  }

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
