// The Source tab (see source_page.h).
#include "ui/source_page.h"

#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QToolButton>
#include <QVBoxLayout>

#include <string>

#include "shell/project_query.h"
#include "ui/qtext.h"

namespace {

// The search bar's line: Enter finds the next, Shift+Enter the one before,
// Escape closes the bar.
class FindEdit : public QLineEdit {
 public:
  FindEdit(QWidget *parent, std::function<void(bool)> find, std::function<void()> close)
      : QLineEdit(parent), find_(std::move(find)), close_(std::move(close)) {}

 protected:
  void keyPressEvent(QKeyEvent *event) override {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
      find_((event->modifiers() & Qt::ShiftModifier) != 0);
      return;
    }
    if (event->key() == Qt::Key_Escape) {
      close_();
      return;
    }
    QLineEdit::keyPressEvent(event);
  }

 private:
  std::function<void(bool)> find_;
  std::function<void()> close_;
};

QString NameOf(const QueryFunction &f) {
  return FromSjis(std::string(f.scope) + f.name);
}

}  // namespace

SourcePage::SourcePage(QWidget *parent) : QWidget(parent) {
  heading_ = new QLabel(this);
  heading_->setObjectName(QStringLiteral("sourceHeading"));
  heading_->setTextFormat(Qt::PlainText);
  heading_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  heading_->setContentsMargins(6, 2, 6, 2);
  view_ = new SourceView(this);
  view_->setObjectName(QStringLiteral("sourceView"));

  find_bar_ = new QWidget(this);
  QHBoxLayout *bar = new QHBoxLayout(find_bar_);
  bar->setContentsMargins(6, 2, 6, 2);
  find_ = new FindEdit(
      find_bar_, [this](bool back) { FindNext(back); },
      [this] {
        find_bar_->hide();
        view_->setFocus();
      });
  find_->setObjectName(QStringLiteral("sourceFind"));
  find_->setPlaceholderText(UiText("Find in the source (Enter: next, Shift+Enter: previous)"));
  find_note_ = new QLabel(find_bar_);
  QToolButton *close = new QToolButton(find_bar_);
  close->setText(QStringLiteral("\u00d7"));
  close->setToolTip(UiText("Close the search bar (Escape)"));
  connect(close, &QToolButton::clicked, this, [this] {
    find_bar_->hide();
    view_->setFocus();
  });
  bar->addWidget(new QLabel(UiText("Find:"), find_bar_));
  bar->addWidget(find_, 1);
  bar->addWidget(find_note_);
  bar->addWidget(close);
  find_bar_->hide();

  QVBoxLayout *layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(heading_);
  layout->addWidget(view_, 1);
  layout->addWidget(find_bar_);

  connect(view_, &SourceView::CallClicked, this,
          [this](int i) { Q_EMIT CallChosen(CallTarget(i)); });
  connect(view_, &SourceView::CallActivated, this,
          [this](int i) { Q_EMIT CallActivated(CallTarget(i)); });
  connect(view_, &SourceView::CallMenu, this,
          [this](int i, const QPoint &global) { Q_EMIT CallMenu(CallTarget(i), global); });
  Clear();
}

void SourcePage::Clear(const QString &why) {
  sid_ = fid_ = 0;
  targets_.clear();
  view_->SetText(nullptr);
  heading_->setText(why.isEmpty() ? UiText("Select a function to see its source here.") : why);
}

QString SourcePage::Heading() const {
  return heading_->text();
}

std::shared_ptr<const SourceText> SourcePage::FileText(const QByteArray &path, QString *error) {
  QFileInfo info(QFile::decodeName(path));
  qint64 time = info.lastModified().toMSecsSinceEpoch();
  if (file_ && file_->Path() == path && info.size() == file_size_ && time == file_time_)
    return file_;
  auto text = std::make_shared<SourceText>();
  if (!text->Load(path, error)) return nullptr;
  file_ = text;
  file_size_ = info.size();
  file_time_ = time;
  return file_;
}

int SourcePage::Show(const FunctionTarget &t) {
  const ST_QUERY *q = ProjectQuery();
  if (!q) {
    Clear(UiText("No source to show while an analysis runs or before one."));
    return 0;
  }
  QueryFunction f;
  bool found = t.IsCall() ? Query_FunctionAt(q, t.call_sid, t.call_line, t.call_column, &f)
                          : t.IsFunction() && Query_Function(q, t.sid, t.fid, &f);
  if (!found) {
    Clear();
    return 0;
  }
  QString error;
  std::shared_ptr<const SourceText> text = FileText(QByteArray(f.path), &error);
  if (!text) {
    Clear(UiText("%1: %2").arg(QFile::decodeName(f.path), error));
    return 0;
  }
  if (view_->Text() != text.get()) view_->SetText(text);
  sid_ = f.sid;
  fid_ = f.fid;
  std::vector<SourceCall> calls;
  targets_.clear();
  int current = -1;
  for (const QueryCall &c : Query_CallsOf(q, f.sid, f.fid)) {
    SourceCall sc;
    sc.line = c.line;
    sc.column = text->CharColumn(c.line, c.column);
    sc.length = FromSjis(c.call_name).size();
    FunctionTarget ct;
    ct.call_sid = f.sid;
    ct.call_line = c.line;
    ct.call_column = c.column;
    QueryFunction to;
    if (c.to_sid > 0 && Query_Function(q, c.to_sid, c.to_fid, &to)) {
      ct.sid = to.sid;
      ct.fid = to.fid;
      sc.tip = UiText("%1 (argc:%2)  [%3]  SID:FID %4:%5")
                   .arg(NameOf(to))
                   .arg(to.argc)
                   .arg(FromSjis(to.source))
                   .arg(to.sid)
                   .arg(to.fid);
    } else {
      std::string name = std::string(c.call_scope) + c.call_name;
      ct.name = QByteArray(name.data(), (int)name.size());
      ct.argc = c.argc;
      ct.sid = f.sid;  // Tree and view Function act on the caller
      ct.fid = f.fid;
      sc.tip = UiText("%1: not defined in the analysed code").arg(FromSjis(name));
    }
    if (t.IsCall() && c.line == t.call_line && c.column == t.call_column)
      current = (int)calls.size();
    calls.push_back(sc);
    targets_.push_back(ct);
  }
  view_->SetFunction(f.name_line, f.line, f.end_line, std::move(calls));
  view_->ShowLine(t.IsCall() && current < 0 ? t.call_line : f.name_line);
  if (current >= 0) view_->SetCurrentCall(current);
  heading_->setText(
      UiText("%1 (%2) \u2014 %3, line %4")
          .arg(QFile::decodeName(f.path), QString::fromLatin1(text->EncodingName()), NameOf(f))
          .arg(f.name_line + 1));
  heading_->setToolTip(heading_->text());
  return 1;
}

FunctionTarget SourcePage::CallTarget(int index) const {
  if (index < 0 || index >= (int)targets_.size()) return FunctionTarget();
  return targets_[(size_t)index];
}

FunctionTarget SourcePage::Current() const {
  if (view_->CurrentCall() >= 0) return CallTarget(view_->CurrentCall());
  FunctionTarget t;
  t.sid = sid_;
  t.fid = fid_;
  return t;
}

void SourcePage::OpenFind() {
  find_bar_->show();
  find_->setFocus(Qt::ShortcutFocusReason);
  find_->selectAll();
}

void SourcePage::FindNext(bool backward) {
  bool found = view_->Find(find_->text(), backward);
  find_note_->setText(found || find_->text().isEmpty() ? QString() : UiText("not found"));
}
