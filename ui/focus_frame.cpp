// The focus frame of the views (see focus_frame.h).
#include "ui/focus_frame.h"

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
