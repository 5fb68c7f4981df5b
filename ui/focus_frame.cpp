// The focus frame of the views (see focus_frame.h).
#include "ui/focus_frame.h"

#include <QAbstractScrollArea>
#include <QEvent>
#include <QPainter>
#include <QPen>
#include <QWidget>

QColor FocusFrameColour() {
  return QColor(0, 96, 208);
}

void DrawFocusFrame(QWidget *viewport, const QRect &row) {
  QPainter p(viewport);
  QPen pen(FocusFrameColour());
  pen.setWidth(2);
  pen.setJoinStyle(Qt::MiterJoin);
  p.setPen(pen);
  p.setBrush(Qt::NoBrush);
  p.drawRect(viewport->rect().adjusted(1, 1, -1, -1));
  if (row.isEmpty()) return;
  pen.setWidth(1);
  pen.setStyle(Qt::DashLine);
  p.setPen(pen);
  p.drawRect(row.adjusted(0, 0, -1, -1));
}

namespace {

// Owned by the view it watches.
class FocusRepaint : public QObject {
 public:
  explicit FocusRepaint(QAbstractScrollArea *view) : QObject(view), view_(view) {}
  bool eventFilter(QObject *watched, QEvent *event) override {
    if (watched == view_ && (event->type() == QEvent::FocusIn || event->type() == QEvent::FocusOut))
      view_->viewport()->update();
    return false;
  }

 private:
  QAbstractScrollArea *view_;
};

}  // namespace

void RepaintOnFocusChange(QAbstractScrollArea *view) {
  view->installEventFilter(new FocusRepaint(view));
}
