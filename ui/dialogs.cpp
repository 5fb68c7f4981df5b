// The progress window, the wait box and the About box (see dialogs.h).
#include "ui/dialogs.h"

#include <QCloseEvent>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QGridLayout>
#include <QGuiApplication>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QTimer>

#include <algorithm>

#include "engine/ana.h"
#include "foundation/messages.h"
#include "foundation/text.h"
#include "platform/sys.h"
#include "ui/pictures.h"
#include "ui/qtext.h"

namespace {

const char kProduct[] = "Velmora";
const char kVersion[] = "Ver 0.10";
const char kBuildDate[] = "20081211";

// The dialogs' face, "ＭＳ Ｐゴシック" or "MS P Gothic", at a point size.
QFont DialogFont(const QString &face, int points) {
  QFont f;
  QStringList families;
  const QStringList installed = QFontDatabase::families();
  for (const QString &name : installed)
    if (name.compare(face, Qt::CaseInsensitive) == 0) families << name;
  families << QStringLiteral("Noto Sans CJK JP") << QStringLiteral("DejaVu Sans");
  f.setFamilies(families);
  f.setStyleHint(QFont::SansSerif);
  f.setPointSize(points);
  return f;
}

QLabel *Static(QWidget *parent, const DialogUnits &du, int x, int y, int w, int h,
               const QString &text, Qt::Alignment align, bool sunken, const char *name) {
  QLabel *l = new QLabel(text, parent);
  l->setGeometry(du.Rect(x, y, w, h));
  l->setAlignment(align);
  l->setTextFormat(Qt::PlainText);
  if (sunken) l->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  if (name) l->setObjectName(QLatin1String(name));
  return l;
}

QProgressBar *Bar(QWidget *parent, const DialogUnits &du, int x, int y, int w, int h,
                  const char *name) {
  QProgressBar *b = new QProgressBar(parent);
  b->setGeometry(du.Rect(x, y, w, h));
  b->setRange(0, 100);
  b->setValue(0);
  b->setTextVisible(false);
  b->setObjectName(QLatin1String(name));
  return b;
}

// A feedback window: a caption bar with an empty title, no system menu, owned
// by the main window and kept above it.
Qt::WindowFlags FeedbackFlags() {
  return Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint;
}

}  // namespace

DialogUnits::DialogUnits(const QFont &font) {
  QFontMetrics fm(font);
  const QString letters = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
  base_x = (fm.horizontalAdvance(letters) / 26 + 1) / 2;
  base_y = fm.height();
  if (base_x < 1) base_x = 1;
  if (base_y < 1) base_y = 1;
}

QRect DialogUnits::Rect(int x, int y, int w, int h) const {
  return QRect(x * base_x / 4, y * base_y / 8, w * base_x / 4, h * base_y / 8);
}

void CenterOver(QWidget *owner, QWidget *box) {
  QRect o;
  if (owner) {
    o = owner->frameGeometry();
  } else {
    QScreen *s = QGuiApplication::primaryScreen();
    QRect d = s ? s->geometry() : QRect(0, 0, 800, 600);
    o = QRect(d.left(), d.top(), d.width() * 60 / 100, d.height() * 70 / 100);
  }
  QSize b = box->frameGeometry().size();
  box->move(o.left() + (o.width() - b.width()) / 2, o.top() + (o.height() - b.height()) / 2);
}

// ---------------------------------------------------------------------------
// ProgressWindow

QString ProgressWindow::PhaseCaption(int k) {
  switch (k) {
    case 0:
      return UiText("≪ 解析ソース取込中 ≫");
    case 1:
      return UiText("≪ ソース解析中 ≫");
    case 2:
      return UiText("≪ 関数関連付け中 ≫");
    default:
      return QString();
  }
}

ProgressWindow::ProgressWindow(QWidget *owner, int phase) : QWidget(owner, FeedbackFlags()) {
  setObjectName(QStringLiteral("progressWindow"));
  setWindowTitle(QString());
  setFont(DialogFont(QStringLiteral("ＭＳ Ｐゴシック"), 9));
  DialogUnits du(font());
  // The designed box, and a row below it for Stop.
  setFixedSize(du.Rect(0, 0, 246, 81 + 18).size());
  phase_ =
      Static(this, du, 7, 10, 232, 10, QStringLiteral("Message"), Qt::AlignLeft, false, "phase");
  pass_ = Static(this, du, 7, 25, 39, 13, QStringLiteral("PASS:"), Qt::AlignLeft | Qt::AlignVCenter,
                 true, "pass");
  detail_ = Static(this, du, 53, 25, 186, 13, QString(), Qt::AlignLeft | Qt::AlignVCenter, true,
                   "detail");
  Static(this, du, 7, 46, 39, 10, UiText("Function : "), Qt::AlignRight | Qt::AlignVCenter, false,
         nullptr);
  function_ = Bar(this, du, 46, 45, 193, 12, "functionBar");
  Static(this, du, 7, 62, 39, 12, UiText("Source : "), Qt::AlignRight | Qt::AlignVCenter, false,
         nullptr);
  source_ = Bar(this, du, 46, 62, 193, 12, "sourceBar");
  stop_ = new QPushButton(UiText("Stop"), this);
  stop_->setObjectName(QStringLiteral("stopButton"));
  stop_->setToolTip(UiText("Stops the analysis, as Escape does"));
  stop_->setGeometry(du.Rect(189, 80, 50, 14));
  stop_->setFocusPolicy(Qt::NoFocus);  // Enter and Space stay the window's
  connect(stop_, &QPushButton::clicked, this, &ProgressWindow::StopAsked);

  pass_->setText(UiText("PASS : "));
  detail_->clear();
  SetPhase(phase);
  CenterOver(owner, this);
}

void ProgressWindow::SetFunctionPos(int percent) {
  function_->setValue(qBound(0, percent, 100));
}
void ProgressWindow::SetSourcePos(int percent) {
  source_->setValue(qBound(0, percent, 100));
}
void ProgressWindow::SetPass(int n) {
  pass_->setText(UiText("PASS : %1").arg(n));
}

void ProgressWindow::SetDetail(const char *sjis) {
  char cut[64];
  CopyText(cut, sizeof cut, sjis ? sjis : "", -1, 1);
  detail_->setText(FromSjis(cut));
}

void ProgressWindow::SetPhase(int k) {
  phase_->setText(PhaseCaption(k));
}

void ProgressWindow::Finish() {
  finishing_ = true;
  close();
}

QString ProgressWindow::PhaseText() const {
  return phase_->text();
}
QString ProgressWindow::PassText() const {
  return pass_->text();
}
QString ProgressWindow::DetailText() const {
  return detail_->text();
}
int ProgressWindow::FunctionPos() const {
  return function_->value();
}
int ProgressWindow::SourcePos() const {
  return source_->value();
}

void ProgressWindow::closeEvent(QCloseEvent *event) {
  // Only the job ends this window.
  if (finishing_)
    event->accept();
  else
    event->ignore();
}

// ---------------------------------------------------------------------------
// WaitBoxWindow

WaitBoxWindow::WaitBoxWindow(QWidget *owner, const QString &text)
    : QWidget(owner, FeedbackFlags()), start_(TickCount()) {
  setObjectName(QStringLiteral("waitBox"));
  setWindowTitle(QString());
  setFont(DialogFont(QStringLiteral("ＭＳ Ｐゴシック"), 14));
  DialogUnits du(font());
  setFixedSize(du.Rect(0, 0, 146, 51).size());
  text_ = Static(this, du, 7, 7, 132, 26, QStringLiteral("Message"), Qt::AlignLeft | Qt::AlignTop,
                 true, "waitText");
  text_->setWordWrap(true);
  text_height_ = text_->height();
  box_height_ = height();
  box_width_ = width();
  lower_[0] = Static(this, du, 16, 37, 23, 9, UiText("About"), Qt::AlignRight | Qt::AlignVCenter,
                     false, nullptr);
  seconds_ = Static(this, du, 41, 37, 30, 9, QString(), Qt::AlignCenter, true, "seconds");
  seconds_->setAutoFillBackground(true);
  lower_[1] = seconds_;
  lower_[2] = Static(this, du, 74, 37, 19, 9, UiText("[sec]"), Qt::AlignLeft | Qt::AlignVCenter,
                     false, nullptr);
  for (int i = 0; i < 3; i++) lower_top_[i] = lower_[i]->y();
  auto button = [this](const char *text, const char *name, const char *tip) {
    QPushButton *b = new QPushButton(UiText(text), this);
    b->setObjectName(QLatin1String(name));
    b->setToolTip(UiText(tip));
    b->setFocusPolicy(Qt::NoFocus);  // Enter answers through the key filter
    return b;
  };
  stop_ = button(N_("Stop"), "stopButton", N_("Stops the tree or its graph, as Escape does"));
  render_ = button(N_("Render"), "renderButton",
                   N_("Renders the graph however long it takes (Enter)"));
  leave_ = button(N_("Leave unrendered"), "leaveButton",
                  N_("Shows the tree without its graph (Escape)"));
  connect(stop_, &QPushButton::clicked, this, &WaitBoxWindow::StopAsked);
  connect(render_, &QPushButton::clicked, this, &WaitBoxWindow::RenderAsked);
  connect(leave_, &QPushButton::clicked, this, &WaitBoxWindow::LeaveAsked);
  render_->hide();
  leave_->hide();

  SetText(text);
  elapsed_ = 0;
  seconds_->setText(QStringLiteral("0"));
  QPalette pal = seconds_->palette();
  pal.setColor(QPalette::Window, Qt::black);
  pal.setColor(QPalette::WindowText, SecondsColour(0));
  seconds_->setPalette(pal);

  timer_ = new QTimer(this);
  timer_->setInterval(500);
  connect(timer_, &QTimer::timeout, this, [this] { Tick(TickCount()); });
  timer_->start();
  CenterOver(owner, this);
}

QColor WaitBoxWindow::SecondsColour(unsigned elapsed) {
  if (elapsed < 60) return QColor(40, 255, 40);
  if (elapsed < 300) return QColor(255, 255, 0);
  return QColor(255, 20, 20);
}

void WaitBoxWindow::SetText(const QString &text) {
  QString t = text;
  t.replace(QLatin1String("\r\n"), QLatin1String("\n"));
  text_->setText(t);
  // The box grows (never below its designed size) until every line shows.
  int need = std::max(text_height_, text_->heightForWidth(text_->width()) + 4);
  int grow = need - text_height_;
  text_->resize(text_->width(), need);
  for (int i = 0; i < 3; i++) lower_[i]->move(lower_[i]->x(), lower_top_[i] + grow);
  render_->hide();
  leave_->hide();
  stop_->show();
  PlaceButtons(grow);
}

void WaitBoxWindow::AskToRender(const QString &question) {
  SetText(question);
  stop_->hide();
  render_->show();
  leave_->show();
  PlaceButtons(text_->height() - text_height_);
}

int WaitBoxWindow::Asking() const {
  return render_->isVisibleTo(this) ? 1 : 0;
}

void WaitBoxWindow::PlaceButtons(int grow) {
  // One row under the seconds, right-aligned, the box widened when the
  // answers need it.
  const int gap = 6;
  int y = box_height_ + grow;
  int h = std::max(stop_->sizeHint().height(), render_->sizeHint().height());
  QList<QPushButton *> row;
  for (QPushButton *b : {render_, leave_, stop_})
    if (!b->isHidden()) row << b;
  int need = gap;
  for (QPushButton *b : row) need += b->sizeHint().width() + gap;
  int w = std::max(box_width_, need);
  int x = w - need + gap;
  for (QPushButton *b : row) {
    b->setGeometry(x, y, b->sizeHint().width(), h);
    x += b->sizeHint().width() + gap;
  }
  setFixedSize(w, y + h + gap);
}

int WaitBoxWindow::TextFits() const {
  return text_->heightForWidth(text_->width()) <= text_->height() ? 1 : 0;
}

void WaitBoxWindow::Tick(uint32_t now) {
  elapsed_ = (uint32_t)(now - start_) / 1000u;
  seconds_->setText(QString::number(elapsed_));
  QPalette pal = seconds_->palette();
  pal.setColor(QPalette::WindowText, SecondsColour(elapsed_));
  seconds_->setPalette(pal);
}

void WaitBoxWindow::Finish() {
  timer_->stop();
  finishing_ = true;
  close();
}

QString WaitBoxWindow::Text() const {
  return text_->text();
}
QString WaitBoxWindow::SecondsText() const {
  return seconds_->text();
}
QColor WaitBoxWindow::ShownColour() const {
  return seconds_->palette().color(QPalette::WindowText);
}

void WaitBoxWindow::closeEvent(QCloseEvent *event) {
  if (finishing_)
    event->accept();
  else
    event->ignore();
}

// ---------------------------------------------------------------------------
// AboutBox

QString AboutBox::ProductLine() {
  char line[128];
  FormatText(line, sizeof line, Msg("%s %s\nbuild %s"), kProduct, kVersion, kBuildDate);
  return FromSjis(line);
}

AboutBox::AboutBox(QWidget *owner) : QDialog(owner) {
  setObjectName(QStringLiteral("aboutBox"));
  setWindowTitle(UiText("About"));
  setFont(DialogFont(QStringLiteral("MS P Gothic"), 10));
  DialogUnits du(font());
  setFixedSize(du.Rect(0, 0, 143, 103).size());
  if (owner) owner->window()->setWindowIcon(ProgramIcon());
  QLabel *icon = new QLabel(this);
  icon->setPixmap(ProgramIcon().pixmap(32, 32));
  QRect ir = du.Rect(62, 4, 0, 0);
  icon->setGeometry(ir.x(), ir.y(), 32, 32);
  product_ = Static(this, du, 5, 28, 133, 19, ProductLine(), Qt::AlignHCenter | Qt::AlignTop, false,
                    "product");
  note_ = Static(this, du, 5, 49, 133, 29,
                 ANA_PreciseBuiltIn() ? UiText("Precise parser: built in")
                                      : UiText("Precise parser: not built in"),
                 Qt::AlignHCenter | Qt::AlignTop, false, "note");
  QPushButton *ok = new QPushButton(UiText("OK"), this);
  ok->setObjectName(QStringLiteral("ok"));
  ok->setGeometry(du.Rect(47, 82, 50, 14));
  ok->setDefault(true);
  connect(ok, &QPushButton::clicked, this, [this] { done(1); });
  CenterOver(owner, this);
}

QString AboutBox::ProductText() const {
  return product_->text();
}

QString AboutBox::NoteText() const {
  return note_->text();
}

// ---------------------------------------------------------------------------
// ColourLegend

namespace {

struct LegendEntry {
  QColor colour;
  const char *meaning;
};
// The colours of ListModel::data.
const LegendEntry kLegend[] = {
    {QColor(160, 255, 176), N_("Function List: a function that some call reaches")},
    {QColor(128, 176, 255), N_("Function List: a function no call reaches")},
    {QColor(255, 255, 160), N_("Call List: a call linked to its definition")},
    {QColor(224, 224, 224), N_("Call List: a call no analysed source defines")},
};

}  // namespace

ColourLegend::ColourLegend(QWidget *owner) : QDialog(owner) {
  setObjectName(QStringLiteral("colourLegend"));
  setWindowTitle(UiText("List Colours"));
  QGridLayout *grid = new QGridLayout(this);
  int row = 0;
  for (const LegendEntry &e : kLegend) {
    QLabel *swatch = new QLabel(this);
    swatch->setFixedSize(48, 18);
    swatch->setAutoFillBackground(true);
    swatch->setFrameStyle(QFrame::Box | QFrame::Plain);
    QPalette pal = swatch->palette();
    pal.setColor(QPalette::Window, e.colour);
    swatch->setPalette(pal);
    grid->addWidget(swatch, row, 0);
    grid->addWidget(new QLabel(UiText(e.meaning), this), row, 1);
    row++;
  }
  QPushButton *ok = new QPushButton(UiText("OK"), this);
  ok->setDefault(true);
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
  grid->addWidget(ok, row, 1, Qt::AlignRight);
}

QStringList ColourLegend::Lines() const {
  QStringList out;
  for (const LegendEntry &e : kLegend)
    out << e.colour.name() + QLatin1Char(' ') + UiText(e.meaning);
  return out;
}
