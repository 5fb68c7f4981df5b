// The status bar's parts (see status_bar.h).
#include "ui/status_bar.h"

#include <QFontMetrics>

#include <algorithm>

#include "engine/ana.h"
#include "foundation/settings.h"
#include "ui/qtext.h"

ElidedLabel::ElidedLabel(QWidget *parent) : QLabel(parent) {
  setTextFormat(Qt::PlainText);
  setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  setMinimumWidth(0);
}

void ElidedLabel::SetFullText(const QString &text) {
  full_ = text;
  Fit();
}

QSize ElidedLabel::minimumSizeHint() const {
  return QSize(0, QLabel::minimumSizeHint().height());
}

QSize ElidedLabel::sizeHint() const {
  return QSize(0, QLabel::sizeHint().height());
}

void ElidedLabel::resizeEvent(QResizeEvent *event) {
  QLabel::resizeEvent(event);
  Fit();
}

void ElidedLabel::Fit() {
  QString shown = fontMetrics().elidedText(full_, Qt::ElideRight, std::max(0, width() - 2));
  setText(shown);
  setToolTip(shown == full_ ? QString() : full_);
}

LostSourcesNote::LostSourcesNote(QWidget *parent) : QLabel(parent) {
  setTextFormat(Qt::PlainText);
  hide();
}

void LostSourcesNote::Add(const QString &path, const QString &function, int line) {
  lines_ << UiText("%1: ends inside %2 (line %3)").arg(path, function).arg(line);
  setText(UiText("%1 source(s) end inside a function").arg(lines_.size()));
  // A long list would not fit on the screen: the first ones, and how many more.
  QStringList shown = lines_.mid(0, 30);
  if (lines_.size() > 30) shown << UiText("... and %1 more").arg(lines_.size() - 30);
  setToolTip(UiText("Definitions after these places may be missing:\n") +
             shown.join(QLatin1Char('\n')));
  show();
}

void LostSourcesNote::Clear() {
  lines_.clear();
  clear();
  setToolTip(QString());
  hide();
}

QString ParserLabelText() {
  if (!g_config.PARSER) return UiText("statement parser");
  if (!ANA_PreciseBuiltIn()) return UiText("statement parser (precise one not built in)");
  return UiText("precise parser");
}
