// The main window's feedback windows (see mainwindow.h): the progress window
// and the wait box, opened with their Stop (and Render) buttons wired to the
// requests Escape and Enter make, keeping Quit and Re-analyse on their keys
// while they have the focus, and let go with the keys given back.
#include <QApplication>

#include "platform/keys.h"
#include "shell/worker.h"
#include "ui/dialogs.h"
#include "ui/mainwindow.h"
#include "ui/views.h"

int MainWindow::OpenProgress() {
  if (progress_) DestroyProgress();
  progress_port_.Reset();
  ProgressWindow *w = new ProgressWindow(this, 0);
  progress_ = w;
  HookFeedbackWindow(w);
  connect(w, &ProgressWindow::StopAsked, this, [] {
    if (WorkerBusy()) EscapeRequest();
  });
  w->show();
  w->raise();
  w->activateWindow();
  progress_timer_.start();
  return 1;
}

int MainWindow::OpenWait(const QString &text) {
  if (wait_) CloseWait();
  QString t = text;
  t.replace(QLatin1String("\r\n"), QLatin1String("\n"));
  WaitBoxWindow *w = new WaitBoxWindow(this, t);
  wait_ = w;
  HookFeedbackWindow(w);
  connect(w, &WaitBoxWindow::StopAsked, this, [] {
    if (WorkerBusy()) EscapeRequest();
  });
  // The answers to the question before a large render, as Enter and Escape.
  connect(w, &WaitBoxWindow::RenderAsked, this, [] { AnswerRender(); });
  connect(w, &WaitBoxWindow::LeaveAsked, this, [] {
    if (WorkerAsksToRender()) EscapeRequest();
  });
  w->show();
  w->raise();
  w->activateWindow();
  return 1;
}

void MainWindow::HookFeedbackWindow(QWidget *box) {
  // Quit and Re-analyse keep their keys while a feedback window has them.
  if (quit_) box->addAction(quit_);
  if (reanalyse_) box->addAction(reanalyse_);
}

template <typename Box>
void MainWindow::LetGo(QPointer<Box> &slot, bool finish) {
  if (!slot) return;
  Box *w = slot;
  slot = nullptr;
  TakeBackActivation(w);
  if (finish)
    w->Finish();
  else
    w->hide();
  w->deleteLater();
}

void MainWindow::CloseProgress() {
  progress_timer_.stop();
  views_->FitColumns();  // the lists are full now
  if (progress_) progress_port_.ApplyTo(progress_);
  LetGo(progress_, true);
}

void MainWindow::DestroyProgress() {
  progress_timer_.stop();
  progress_port_.Reset();
  if (!shut_down_) views_->FitColumns();
  LetGo(progress_, false);
}

void MainWindow::CloseWait() {
  LetGo(wait_, true);
}

void MainWindow::TakeBackActivation(QWidget *box) {
  // The keys go back to the window the box took them from, not elsewhere.
  if (!shut_down_ && QApplication::activeWindow() == box) activateWindow();
}
