// "Save Picture As..." of the Graph tab (see mainwindow.h): the graph shown,
// as SVG (the file the tab draws) or drawn once more by the renderer as PNG
// or GIF, into a file the user names. The renderer writes into the private
// folder and the picture is copied to its place when it has ended, so a
// picture stopped half-way never reaches the user's file.
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QSaveFile>

#include "graph/graph.h"
#include "platform/files.h"
#include "platform/process.h"
#include "shell/worker.h"
#include "ui/graph_page.h"
#include "ui/mainwindow.h"
#include "ui/qtext.h"
#include "ui/views.h"

namespace {

SaveDialogHandler g_save_handler;

// The format of a file name by its extension: "svg", "png" or "gif"; "" for
// any other.
QString FormatOf(const QString &path) {
  QString ext = QFileInfo(path).suffix().toLower();
  return ext == QLatin1String("svg") || ext == QLatin1String("png") || ext == QLatin1String("gif")
             ? ext
             : QString();
}

}  // namespace

// A temporary file beside dest takes its place once it is complete.
bool CopyReplacing(const QString &from, const QString &dest) {
  QFile in(from);
  QSaveFile out(dest);
  if (!in.open(QIODevice::ReadOnly) || !out.open(QIODevice::WriteOnly)) return false;
  while (!in.atEnd()) {
    QByteArray chunk = in.read(1 << 20);
    if (chunk.isEmpty() || out.write(chunk) != chunk.size()) {
      out.cancelWriting();
      break;
    }
  }
  return out.commit();
}

void SetSaveDialogHandler(SaveDialogHandler handler) {
  g_save_handler = std::move(handler);
}

QString AskSavePath(QWidget *owner, const QString &suggested) {
  if (g_save_handler) return g_save_handler(owner, suggested);
  QString filter = UiText("SVG picture (*.svg);;PNG picture (*.png);;GIF picture (*.gif)");
  QString chosen;
  QString path =
      QFileDialog::getSaveFileName(owner, UiText("Save Picture As"), suggested, filter, &chosen);
  if (path.isEmpty() || !FormatOf(path).isEmpty()) return path;
  // No extension of ours: the one of the filter chosen.
  int dot = chosen.indexOf(QLatin1String("*."));
  return path + chosen.mid(dot + 1, 4);
}

void MainWindow::SavePicture() {
  GraphView *g = views_->Graph();
  QString svg = g->File();
  if (shut_down_ || svg.isEmpty()) {
    views_->SetStatusString(UiText("No graph to save: draw a tree first"));
    return;
  }
  if (export_.pid > 0) {
    views_->SetStatusString(UiText("A picture is being saved already"));
    return;
  }
  QString dest =
      AskSavePath(this, views_->GraphTab()->Title().section(QChar(0x2014), 0, 0).trimmed() +
                            QStringLiteral(".svg"));
  if (dest.isEmpty()) return;
  QString format = FormatOf(dest);
  if (format.isEmpty()) {
    views_->SetStatusString(UiText("Not saved: name the picture .svg, .png or .gif"));
    return;
  }
  export_ = Export();
  export_.dest = dest;
  if (format == QLatin1String("svg")) {
    export_.from = svg;  // the tab's own file
    FinishPictureExport();
    return;
  }
  std::string out;
  long pid =
      StartPictureExport(QFile::encodeName(svg).constData(), format.toLatin1().constData(), &out);
  if (pid <= 0) {
    views_->SetStatusString(UiText("Not saved: the renderer cannot be started (DOT_EXE)"));
    return;
  }
  export_.pid = pid;
  export_.from = QFile::decodeName(out.c_str());
  export_.temporary = true;
  views_->SetStatusString(UiText("Saving the picture..."));
  export_timer_.start();
}

void MainWindow::FinishPictureExport() {
  if (export_.pid > 0 && !PollProcess(export_.pid)) return;  // still drawing
  export_timer_.stop();
  Export e = export_;
  export_ = Export();
  // The user's answer to the dialog allowed replacing the file; the old one
  // stays until the new one is whole.
  bool ok = QFileInfo(e.from).size() > 0 && CopyReplacing(e.from, e.dest);
  if (e.temporary) RemoveFile(QFile::encodeName(e.from).constData());
  if (shut_down_) return;
  views_->SetStatusString(ok ? UiText("Picture saved: %1").arg(e.dest)
                             : UiText("The picture could not be saved to %1").arg(e.dest));
}
