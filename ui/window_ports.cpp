// The ports over the windows (see mainwindow.h): what the worker asks of the
// main window, the progress window and the wait box, carried to the GUI
// thread in order through the window's PortQueue.
#include <QFile>
#include <QString>

#include <memory>
#include <string>

#include "platform/codepage.h"
#include "ui/dialogs.h"
#include "ui/mainwindow.h"
#include "ui/qtext.h"
#include "ui/status_bar.h"
#include "ui/views.h"

void MainPort::ShowWarning(const char *text) {
  QString t = FromSjis(text);
  t.replace(QLatin1String("\r\n"), QLatin1String("\n"));
  MainWindow *w = w_;
  // The closure owns its text: the worker may be released before it ends.
  w_->Queue()->Run([w, t] {
    if (!w->IsShutDown()) ShowWarningBox(w, t);
  });
}

void MainPort::SetStatusText(const char *text) {
  PortOp op;
  std::string t = text ? text : "";
  MainWindow *w = w_;
  op.fn = [w, t] { w->SetStatus(t.c_str()); };
  w_->Queue()->Post(std::move(op));
}

// A line of the Result view only: the result log and velmora-cli's standard
// output stay what the statement parser alone gives.
void MainPort::SourceFellBack(const char *path, const char *text) {
  std::string line = Utf8ToSjis(path ? path : "") + ": " + (text ? text : "") + "\r\n";
  w_->Views()->AppendResult(line.c_str());
}

void MainPort::SelectView(int view) {
  PortOp op;
  MainWindow *w = w_;
  op.fn = [w, view] { w->Views()->SelectView(view); };
  w_->Queue()->Post(std::move(op));
}

int MainPort::CurrentView() {
  int view = 0;
  MainWindow *w = w_;
  // Run returns only after the closure ran or was dropped at shutdown; the
  // value is read through a shared cell so a late closure writes nowhere.
  auto cell = std::make_shared<int>(0);
  w_->Queue()->Run([w, cell] { *cell = w->Views()->CurrentView(); });
  view = *cell;
  return view;
}

void MainPort::AcceptDrops(int on) {
  MainWindow *w = w_;
  w_->Queue()->Run([w, on] { w->SetDropsAccepted(on != 0); });
}

void MainPort::Repaint() {
  PortOp op;
  MainWindow *w = w_;
  op.fn = [w] { w->update(); };
  w_->Queue()->Post(std::move(op));
}

void MainPort::Close(int window) {
  MainWindow *w = w_;
  w_->Queue()->Run([w, window] {
    if (window == WINDOW_PROGRESS) w->CloseProgress();
    if (window == WINDOW_WAITBOX) w->CloseWait();
  });
}

int MainPort::Open(int window, const char *text) {
  // Requests come from the main thread; anything else is a misuse we refuse.
  if (!w_->Queue()->OnGuiThread()) return 0;
  if (window == WINDOW_PROGRESS) return w_->OpenProgress();
  if (window == WINDOW_WAITBOX) return w_->OpenWait(FromSjis(text));
  return 0;
}

void MainPort::Destroy(int window) {
  MainWindow *w = w_;
  w_->Queue()->Run([w, window] {
    if (window == WINDOW_PROGRESS) w->DestroyProgress();
    if (window == WINDOW_WAITBOX) w->CloseWait();
  });
}

void MainPort::ShowGraph(const char *svg_path) {
  PortOp op;
  MainWindow *w = w_;
  // Native bytes: the path names a file, it is not Shift_JIS text.
  QString path = QString::fromLocal8Bit(svg_path ? svg_path : "");
  op.fn = [w, path] { w->GraphReady(path); };
  w_->Queue()->Post(std::move(op));
}

void MainPort::TreeDone(int complete) {
  PortOp op;
  MainWindow *w = w_;
  op.fn = [w, complete] { w->TreeJobDone(complete); };
  w_->Queue()->Post(std::move(op));
}

void MainPort::SourceLost(const char *path, const char *function, int line) {
  PortOp op;
  MainWindow *w = w_;
  QString p = QFile::decodeName(path ? path : "");
  QString f = FromSjis(function);
  op.fn = [w, p, f, line] { w->Views()->LostNote()->Add(p, f, line); };
  w_->Queue()->Post(std::move(op));
}

void ProgressPort::SetFunctionProgress(int percent) {
  std::lock_guard<std::mutex> lock(mu_);
  function_ = percent;
  dirty_ |= FUNC;
}

void ProgressPort::SetSourceProgress(int percent) {
  std::lock_guard<std::mutex> lock(mu_);
  source_ = percent;
  dirty_ |= SOURCE;
}

void ProgressPort::SetPass(int n) {
  std::lock_guard<std::mutex> lock(mu_);
  pass_ = n;
  dirty_ |= PASS;
}

void ProgressPort::SetDetail(const char *text) {
  // Copied at once: the worker reuses its buffer as soon as this returns.
  std::lock_guard<std::mutex> lock(mu_);
  detail_ = text ? text : "";
  dirty_ |= DETAIL;
}

void ProgressPort::SetPhase(int k) {
  std::lock_guard<std::mutex> lock(mu_);
  phase_ = k;
  dirty_ |= PHASE;
}

void ProgressPort::ApplyTo(ProgressWindow *window) {
  unsigned dirty;
  int function, source, pass, phase;
  std::string detail;
  {
    std::lock_guard<std::mutex> lock(mu_);
    if (!window) return;
    dirty = dirty_;
    dirty_ = 0;
    function = function_;
    source = source_;
    pass = pass_;
    phase = phase_;
    detail = detail_;
  }
  // The Function bar is the progress in one source: it goes back only when
  // another source (or another phase or pass) begins.
  bool fresh = (dirty & (PHASE | PASS)) || ((dirty & DETAIL) && detail != shown_detail_);
  if (dirty & PHASE) window->SetPhase(phase);
  if (dirty & PASS) window->SetPass(pass);
  if (dirty & DETAIL) window->SetDetail(detail.c_str());
  if ((dirty & FUNC) && (fresh || function >= window->FunctionPos()))
    window->SetFunctionPos(function);
  if (dirty & SOURCE) window->SetSourcePos(source);
  if (dirty & DETAIL) shown_detail_ = detail;
}

void ProgressPort::Reset() {
  std::lock_guard<std::mutex> lock(mu_);
  dirty_ = 0;
  shown_detail_.clear();
}

void WaitPort::AskToRender(const char *question) {
  PortOp op;
  QString t = FromSjis(question);
  MainWindow *w = w_;
  op.fn = [w, t] {
    if (w->Wait()) static_cast<WaitBoxWindow *>(w->Wait())->AskToRender(t);
  };
  w_->Queue()->Post(std::move(op));
}

void WaitPort::SetWaitText(const char *text) {
  PortOp op;
  QString t = FromSjis(text);
  MainWindow *w = w_;
  op.fn = [w, t] {
    if (w->Wait()) static_cast<WaitBoxWindow *>(w->Wait())->SetText(t);
  };
  w_->Queue()->Post(std::move(op));
}
