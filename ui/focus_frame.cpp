// The focus frame of the views (see focus_frame.h).
#include "ui/focus_frame.h"

#include <QAbstractScrollArea>
#include <QEvent>
#include <QPainter>
#include <QPen>
#include <QPointer>
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

// Owned by the view it watches. It keeps the viewport rather than the view:
// a view being destroyed is only a QWidget by the time its focus goes, and
// its viewport, a child, is still there.
class FocusRepaint : public QObject {
 public:
  explicit FocusRepaint(QAbstractScrollArea *view) : QObject(view), viewport_(view->viewport()) {}
  bool eventFilter(QObject *, QEvent *event) override {
    if ((event->type() == QEvent::FocusIn || event->type() == QEvent::FocusOut) && viewport_)
      viewport_->update();
    return false;
  }

 private:
  QPointer<QWidget> viewport_;
};

}  // namespace

void RepaintOnFocusChange(QAbstractScrollArea *view) {
  view->installEventFilter(new FocusRepaint(view));
}
