// The Source tab's text view (see source_view.h).
#include "ui/source_view.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QFontMetricsF>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QToolTip>

#include <algorithm>
#include <cmath>

#include "ui/focus_frame.h"

namespace {

const int kTabWidth = 8;  // columns a tab reaches to

// Width of a shown line up to a character (column clamped to the line).
double AdvanceTo(const QFontMetricsF &fm, const QString &shown, const std::vector<int> &at,
                 int column) {
  column = std::max(0, std::min(column, (int)at.size() - 1));
  return fm.horizontalAdvance(shown.left(at[(size_t)column]));
}

}  // namespace

SourceView::SourceView(QWidget *parent) : QAbstractScrollArea(parent) {
  RepaintOnFocusChange(this);
  setFocusPolicy(Qt::StrongFocus);
  viewport()->setMouseTracking(true);
  viewport()->setCursor(Qt::IBeamCursor);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
}

void SourceView::SetText(std::shared_ptr<const SourceText> text) {
  text_ = std::move(text);
  name_line_ = first_line_ = last_line_ = -1;
  calls_.clear();
  current_ = hover_ = -1;
  anchor_ = caret_ = Place();
  UpdateScrollBars();
  verticalScrollBar()->setValue(0);
  horizontalScrollBar()->setValue(0);
  viewport()->update();
}

void SourceView::SetFunction(int name_line, int first_line, int last_line,
                             std::vector<SourceCall> calls) {
  name_line_ = name_line;
  first_line_ = first_line;
  last_line_ = last_line;
  calls_ = std::move(calls);
  current_ = hover_ = -1;
  viewport()->update();
}

int SourceView::LineHeight() const {
  return std::max(1, QFontMetrics(font()).lineSpacing());
}

int SourceView::GutterWidth() const {
  int lines = text_ ? text_->LineCount() : 1;
  int digits = 1;
  for (int n = lines; n >= 10; n /= 10) digits++;
  return QFontMetrics(font()).horizontalAdvance(QLatin1Char('9')) * std::max(digits, 3) + 14;
}

int SourceView::TextLeft() const {
  return GutterWidth() + 4 - horizontalScrollBar()->value();
}

int SourceView::FirstVisibleLine() const {
  return verticalScrollBar()->value();
}

int SourceView::VisibleLines() const {
  return std::max(1, viewport()->height() / LineHeight());
}

void SourceView::UpdateScrollBars() {
  int lines = text_ ? text_->LineCount() : 0;
  verticalScrollBar()->setRange(0, std::max(0, lines - VisibleLines()));
  verticalScrollBar()->setPageStep(VisibleLines());
  verticalScrollBar()->setSingleStep(1);
  double cw = QFontMetricsF(font()).horizontalAdvance(QLatin1Char('x'));
  int chars = text_ ? std::min(text_->LongestLine(), kMaxShownChars) : 0;
  int width = (int)std::ceil(chars * cw * 1.2) + GutterWidth() + 16;
  horizontalScrollBar()->setRange(0, std::max(0, width - viewport()->width()));
  horizontalScrollBar()->setPageStep(viewport()->width());
  horizontalScrollBar()->setSingleStep((int)std::ceil(cw * 4));
}

QString SourceView::Shown(int line, std::vector<int> *at) const {
  QString out;
  QStringView l = text_ ? text_->Line(line) : QStringView();
  int n = std::min((int)l.size(), kMaxShownChars);
  out.reserve(n);
  if (at) at->assign((size_t)n + 1, 0);
  for (int i = 0; i < n; i++) {
    if (at) (*at)[(size_t)i] = out.size();
    if (l[i] == QLatin1Char('\t')) {
      do out += QLatin1Char(' ');
      while (out.size() % kTabWidth);
    } else {
      out += l[i];
    }
  }
  if (at) (*at)[(size_t)n] = out.size();
  return out;
}

double SourceView::XOf(int line, int column) const {
  std::vector<int> at;
  QString shown = Shown(line, &at);
  return TextLeft() + AdvanceTo(QFontMetricsF(font()), shown, at, column);
}

QPoint SourceView::PointOf(int line, int column) const {
  int y = (line - FirstVisibleLine()) * LineHeight() + LineHeight() / 2;
  double x = (XOf(line, column) + XOf(line, column + 1)) / 2;
  return QPoint((int)x, y);
}

SourceView::Place SourceView::PlaceAt(const QPoint &pos) const {
  Place p;
  if (!text_) return p;
  p.line =
      std::min(text_->LineCount() - 1, std::max(0, FirstVisibleLine() + pos.y() / LineHeight()));
  std::vector<int> at;
  QString shown = Shown(p.line, &at);
  QFontMetricsF fm(font());
  double x = pos.x() - TextLeft();
  // The character whose middle is past x ends the place.
  double left = 0;
  int n = (int)at.size() - 1;
  int c = 0;
  for (; c < n; c++) {
    double right = fm.horizontalAdvance(shown.left(at[(size_t)c + 1]));
    if (x < (left + right) / 2) break;
    left = right;
  }
  p.column = c;
  return p;
}

int SourceView::CallAt(const QPoint &pos) const {
  if (!text_ || pos.x() < GutterWidth()) return -1;
  int line = FirstVisibleLine() + pos.y() / LineHeight();
  for (size_t i = 0; i < calls_.size(); i++) {
    const SourceCall &c = calls_[i];
    if (c.line != line) continue;
    double x0 = XOf(line, c.column), x1 = XOf(line, c.column + c.length);
    if (pos.x() >= x0 && pos.x() < x1) return (int)i;
  }
  return -1;
}

void SourceView::ShowLine(int line) {
  verticalScrollBar()->setValue(std::max(0, line - VisibleLines() / 3));
}

void SourceView::SetCurrentCall(int index) {
  current_ = index >= 0 && index < (int)calls_.size() ? index : -1;
  if (current_ >= 0) {
    int line = calls_[(size_t)current_].line;
    if (line < FirstVisibleLine() || line >= FirstVisibleLine() + VisibleLines()) ShowLine(line);
  }
  viewport()->update();
}

void SourceView::Select(Place from, Place to) {
  anchor_ = from;
  caret_ = to;
  viewport()->update();
}

QString SourceView::SelectedText() const {
  if (!text_ || anchor_ == caret_) return QString();
  Place a = std::min(anchor_, caret_), b = std::max(anchor_, caret_);
  int from = text_->LineStart(a.line) + a.column;
  int to = text_->LineStart(b.line) + b.column;
  return text_->Text().mid(from, to - from);
}

bool SourceView::Find(const QString &needle, bool backward) {
  if (!text_ || needle.isEmpty()) return false;
  const QString &t = text_->Text();
  Place a = std::min(anchor_, caret_), b = std::max(anchor_, caret_);
  int at;
  if (backward) {
    int from = text_->LineStart(a.line) + a.column - 1;
    at = from >= 0 ? t.lastIndexOf(needle, from, Qt::CaseInsensitive) : -1;
    if (at < 0) at = t.lastIndexOf(needle, -1, Qt::CaseInsensitive);  // round the end
  } else {
    at = t.indexOf(needle, text_->LineStart(b.line) + b.column, Qt::CaseInsensitive);
    if (at < 0) at = t.indexOf(needle, 0, Qt::CaseInsensitive);
  }
  if (at < 0) return false;
  Place s, e;
  text_->PlaceOf(at, &s.line, &s.column);
  text_->PlaceOf(at + needle.size(), &e.line, &e.column);
  Select(s, e);
  if (s.line < FirstVisibleLine() || s.line >= FirstVisibleLine() + VisibleLines())
    ShowLine(s.line);
  double x = XOf(s.line, s.column) + horizontalScrollBar()->value();
  if (x < horizontalScrollBar()->value() + GutterWidth() ||
      x > horizontalScrollBar()->value() + viewport()->width() - 20)
    horizontalScrollBar()->setValue((int)x - GutterWidth() - viewport()->width() / 3);
  return true;
}

void SourceView::paintEvent(QPaintEvent *) {
  QPainter p(viewport());
  QRect r = viewport()->rect();
  p.fillRect(r, palette().base());
  int gw = GutterWidth();
  p.fillRect(QRect(0, 0, gw, r.height()), QColor(240, 240, 240));
  if (text_) {
    QFontMetricsF fm(font());
    int lh = LineHeight();
    int first = FirstVisibleLine();
    int last = std::min(text_->LineCount() - 1, first + r.height() / lh + 1);
    double x0 = TextLeft();
    Place s0 = std::min(anchor_, caret_), s1 = std::max(anchor_, caret_);
    QRect text_area(gw, 0, r.width() - gw, r.height());
    for (int line = first; line <= last; line++) {
      int y = (line - first) * lh;
      QRect row(gw, y, r.width() - gw, lh);
      if (line >= first_line_ && line <= last_line_) p.fillRect(row, QColor(255, 252, 232));
      if (line == name_line_) {
        p.fillRect(row, QColor(255, 236, 160));
        p.fillRect(QRect(0, y, 4, lh), QColor(200, 40, 40));  // the mark in the margin
      }
      std::vector<int> at;
      QString shown = Shown(line, &at);
      auto x_at = [&](int column) { return x0 + AdvanceTo(fm, shown, at, column); };
      p.setClipRect(text_area);
      if (!(s0 == s1) && line >= s0.line && line <= s1.line) {
        double a = line == s0.line ? x_at(s0.column) : x0;
        double b = line == s1.line ? x_at(s1.column) : x_at((int)at.size() - 1) + 6;
        p.fillRect(QRectF(a, y, b - a, lh), palette().highlight().color().lighter(160));
      }
      for (size_t i = 0; i < calls_.size(); i++) {
        const SourceCall &c = calls_[i];
        if (c.line != line) continue;
        double a = x_at(c.column), b = x_at(c.column + c.length);
        if ((int)i == current_) p.fillRect(QRectF(a, y, b - a, lh), QColor(200, 224, 255));
        QPen pen(QColor(0, 80, 200));
        pen.setWidth((int)i == hover_ || (int)i == current_ ? 2 : 1);
        p.setPen(pen);
        double u = y + fm.ascent() + 2;
        p.drawLine(QPointF(a, u), QPointF(b, u));
      }
      p.setPen(palette().text().color());
      p.drawText(QPointF(x0, y + fm.ascent()), shown);
      p.setClipping(false);
      p.setPen(QColor(128, 128, 128));
      p.drawText(QRect(0, y, gw - 8, lh), Qt::AlignRight | Qt::AlignVCenter,
                 QString::number(line + 1));
    }
  }
  if (hasFocus()) DrawFocusFrame(viewport(), QRect());
}

void SourceView::resizeEvent(QResizeEvent *event) {
  QAbstractScrollArea::resizeEvent(event);
  UpdateScrollBars();
}

void SourceView::changeEvent(QEvent *event) {
  QAbstractScrollArea::changeEvent(event);
  if (event->type() == QEvent::FontChange) UpdateScrollBars();  // other line heights
}

void SourceView::scrollContentsBy(int, int) {
  viewport()->update();  // drawn whole: the gutter and the frame stay put
}

void SourceView::mousePressEvent(QMouseEvent *event) {
  if (event->button() != Qt::LeftButton || !text_) return;
  press_ = PlaceAt(event->position().toPoint());
  selecting_ = true;
  Select(press_, press_);
}

void SourceView::mouseMoveEvent(QMouseEvent *event) {
  QPoint pos = event->position().toPoint();
  if (selecting_) {
    Select(anchor_, PlaceAt(pos));
    return;
  }
  int h = CallAt(pos);
  if (h != hover_) {
    hover_ = h;
    viewport()->setCursor(h >= 0 ? Qt::PointingHandCursor : Qt::IBeamCursor);
    viewport()->update();
  }
}

void SourceView::mouseReleaseEvent(QMouseEvent *event) {
  if (event->button() != Qt::LeftButton || !selecting_) return;
  selecting_ = false;
  QPoint pos = event->position().toPoint();
  // A click (no drag) on a call makes it the current one.
  if (!(PlaceAt(pos) == press_)) return;
  int i = CallAt(pos);
  if (i < 0) return;
  SetCurrentCall(i);
  Q_EMIT CallClicked(i);
}

void SourceView::mouseDoubleClickEvent(QMouseEvent *event) {
  int i = CallAt(event->position().toPoint());
  if (event->button() == Qt::LeftButton && i >= 0) {
    SetCurrentCall(i);
    Q_EMIT CallActivated(i);
    return;
  }
  QAbstractScrollArea::mouseDoubleClickEvent(event);
}

void SourceView::contextMenuEvent(QContextMenuEvent *event) {
  int i = CallAt(event->pos());
  if (i < 0 && event->reason() == QContextMenuEvent::Keyboard) i = current_;
  if (i < 0) return;
  SetCurrentCall(i);
  Q_EMIT CallMenu(i, event->globalPos());
}

bool SourceView::viewportEvent(QEvent *event) {
  if (event->type() == QEvent::ToolTip) {
    QHelpEvent *h = static_cast<QHelpEvent *>(event);
    int i = CallAt(h->pos());
    if (i >= 0)
      QToolTip::showText(h->globalPos(), calls_[(size_t)i].tip, viewport());
    else
      QToolTip::hideText();
    return true;
  }
  if (event->type() == QEvent::Leave && hover_ >= 0) {
    hover_ = -1;
    viewport()->update();
  }
  return QAbstractScrollArea::viewportEvent(event);
}

bool SourceView::focusNextPrevChild(bool next) {
  // Tab and Shift+Tab go from call to call while there are calls.
  if (calls_.empty()) return QAbstractScrollArea::focusNextPrevChild(next);
  int n = (int)calls_.size();
  SetCurrentCall(current_ < 0 ? (next ? 0 : n - 1) : (current_ + (next ? 1 : n - 1)) % n);
  Q_EMIT CallClicked(current_);
  return true;
}

void SourceView::keyPressEvent(QKeyEvent *event) {
  QScrollBar *v = verticalScrollBar(), *h = horizontalScrollBar();
  bool ctrl = event->modifiers() & Qt::ControlModifier;
  switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
      if (current_ >= 0) Q_EMIT CallActivated(current_);
      return;
    case Qt::Key_Up:
      v->setValue(v->value() - 1);
      return;
    case Qt::Key_Down:
      v->setValue(v->value() + 1);
      return;
    case Qt::Key_PageUp:
      v->setValue(v->value() - v->pageStep());
      return;
    case Qt::Key_PageDown:
      v->setValue(v->value() + v->pageStep());
      return;
    case Qt::Key_Left:
      h->setValue(h->value() - h->singleStep());
      return;
    case Qt::Key_Right:
      h->setValue(h->value() + h->singleStep());
      return;
    case Qt::Key_Home:
      if (ctrl) v->setValue(0);
      h->setValue(0);
      return;
    case Qt::Key_End:
      if (ctrl) v->setValue(v->maximum());
      return;
    default:
      break;
  }
  if (event->matches(QKeySequence::Copy)) {
    QString t = SelectedText();
    if (!t.isEmpty()) QApplication::clipboard()->setText(t);
    return;
  }
  if (event->matches(QKeySequence::SelectAll) && text_) {
    int last = text_->LineCount() - 1;
    Select(Place(), Place{last, text_->LineLength(last)});
    return;
  }
  QAbstractScrollArea::keyPressEvent(event);
}
