// Settings that change while the program runs (see mainwindow.h): the
// Settings dialog's command, and the settings file read again before a job
// when it changed, its values brought to the window (fonts, the parser shown,
// whether the Graph tab is the viewer).
#include <QFile>

#include "foundation/settings.h"
#include "shell/app.h"
#include "shell/worker.h"
#include "ui/mainwindow.h"
#include "ui/qtext.h"
#include "ui/settings_dialog.h"
#include "ui/views.h"

void MainWindow::OpenSettings() {
  if (shut_down_) return;
  SettingsDialog dialog(this, QFile::decodeName(AppSettingsPath()));
  if (!AskSettings(&dialog)) return;
  QStringList changed = dialog.Changed();
  if (changed.isEmpty()) return;
  // Read at once when no job runs; a running job keeps its settings, and the
  // next one reads the file.
  if (!WorkerBusy() && AppReloadSettings(1)) ApplyConfigToWindow();
  views_->SetStatusString(UiText("Settings written: %1").arg(changed.join(QStringLiteral(", "))));
}

void MainWindow::ApplySettingsChanges() {
  if (shut_down_ || WorkerBusy()) return;
  if (AppReloadSettings(0)) ApplyConfigToWindow();
}

void MainWindow::ApplyConfigToWindow() {
  // As the viewer, the Graph tab needs no external viewer and no picture on
  // the desktop; what a program set for itself otherwise stays.
  if (g_config.GRAPH_IN_WINDOW != graph_in_window_) {
    graph_in_window_ = g_config.GRAPH_IN_WINDOW;
    g_front.view = graph_in_window_ ? 0 : 1;
  }
  g_front.no_picture = g_config.GRAPH_IN_WINDOW ? 1 : 0;
  views_->ApplyConfig();
}
