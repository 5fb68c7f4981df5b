// Artwork drawn with QPainter (see pictures.h), and the font fallback.
#include "ui/pictures.h"

#include <QFontDatabase>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

#include "ui/qtext.h"

namespace {

// A rounded box in the colours of one node kind.
void Box(QPainter &p, const QRectF &r, QColor fill) {
  p.setPen(QPen(QColor(40, 40, 40), 1));
  p.setBrush(fill);
  p.drawRoundedRect(r, 2, 2);
}

}  // namespace

QPixmap TreePicture(int k) {
  QPixmap pm(16, 16);
  pm.fill(Qt::transparent);
  QPainter p(&pm);
  p.setRenderHint(QPainter::Antialiasing, true);
  switch (k) {
    case 1:  // a function: a yellow box, like the graph's nodes
      Box(p, QRectF(1.5, 3.5, 13, 9), QColor(255, 255, 128));
      p.setPen(QPen(QColor(40, 40, 40), 1));
      p.drawLine(QPointF(4, 8), QPointF(12, 8));
      break;
    case 2:  // already expanded: the box with a left arrow
      Box(p, QRectF(5.5, 3.5, 9, 9), QColor(255, 255, 128));
      p.setPen(QPen(QColor(0, 90, 200), 2));
      p.drawLine(QPointF(1, 8), QPointF(6, 8));
      p.drawLine(QPointF(1, 8), QPointF(3.5, 5.5));
      p.drawLine(QPointF(1, 8), QPointF(3.5, 10.5));
      break;
    case 3: {  // recursive call: a red circular arrow
      p.setPen(QPen(QColor(210, 30, 30), 2));
      p.setBrush(Qt::NoBrush);
      p.drawArc(QRectF(2.5, 2.5, 11, 11), 60 * 16, 300 * 16);
      QPainterPath head;
      head.moveTo(11, 1);
      head.lineTo(15, 5);
      head.lineTo(10, 6);
      head.closeSubpath();
      p.setBrush(QColor(210, 30, 30));
      p.setPen(Qt::NoPen);
      p.drawPath(head);
      break;
    }
    case 4:  // defined nowhere: a grey box with a cross
      Box(p, QRectF(1.5, 3.5, 13, 9), QColor(192, 192, 192));
      p.setPen(QPen(QColor(120, 0, 0), 1.5));
      p.drawLine(QPointF(5, 5), QPointF(11, 11));
      p.drawLine(QPointF(11, 5), QPointF(5, 11));
      break;
    case 5:  // cut off: a white ellipse with an ellipsis
      p.setPen(QPen(QColor(40, 40, 40), 1));
      p.setBrush(Qt::white);
      p.drawEllipse(QRectF(0.5, 3.5, 15, 9));
      p.setBrush(QColor(40, 40, 40));
      p.setPen(Qt::NoPen);
      for (int i = 0; i < 3; i++) p.drawEllipse(QRectF(3.5 + i * 3.5, 7, 2, 2));
      break;
    default:  // the root: a green box with a star point
      Box(p, QRectF(1.5, 3.5, 13, 9), QColor(160, 255, 176));
      p.setBrush(QColor(0, 120, 40));
      p.setPen(Qt::NoPen);
      p.drawEllipse(QRectF(6, 6, 4, 4));
      break;
  }
  return pm;
}

QPixmap ListBackground(int list) {
  QSize size = list == 0 ? QSize(344, 64) : QSize(256, 164);
  QPixmap pm(size);
  pm.fill(Qt::white);
  QPainter p(&pm);
  p.setRenderHint(QPainter::Antialiasing, true);
  p.setRenderHint(QPainter::TextAntialiasing, true);
  QColor ink(232, 236, 244);
  if (list == 0) {
    // A faint row of function boxes joined by arrows.
    for (int i = 0; i < 4; i++) {
      QRectF r(8 + i * 86, 18, 64, 28);
      p.setPen(QPen(ink.darker(110), 2));
      p.setBrush(ink);
      p.drawRoundedRect(r, 6, 6);
      if (i < 3) p.drawLine(QPointF(r.right() + 2, 32), QPointF(r.right() + 20, 32));
    }
  } else {
    // A faint call tree.
    p.setPen(QPen(ink.darker(110), 2));
    p.setBrush(ink);
    QRectF root(12, 68, 60, 28);
    p.drawRoundedRect(root, 6, 6);
    for (int i = 0; i < 3; i++) {
      QRectF r(150, 14 + i * 52, 90, 28);
      p.drawLine(QPointF(root.right(), root.center().y()), QPointF(r.left(), r.center().y()));
      p.drawRoundedRect(r, 6, 6);
    }
  }
  QFont f;
  f.setPixelSize(11);
  f.setBold(true);
  p.setFont(f);
  p.setPen(ink.darker(130));
  p.drawText(QRect(QPoint(0, 0), size).adjusted(0, 0, -6, -2), Qt::AlignRight | Qt::AlignBottom,
             QStringLiteral("Velmora"));
  return pm;
}

QIcon ProgramIcon() {
  QIcon icon;
  for (int s : {16, 32, 48}) {
    QPixmap pm(s, s);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing, true);
    p.scale(s / 32.0, s / 32.0);
    QLinearGradient g(0, 0, 32, 32);
    g.setColorAt(0, QColor(70, 110, 200));
    g.setColorAt(1, QColor(30, 50, 120));
    p.setBrush(g);
    p.setPen(Qt::NoPen);
    p.drawRoundedRect(QRectF(1, 1, 30, 30), 6, 6);
    // A root with two calls below it.
    p.setPen(QPen(Qt::white, 2));
    p.drawLine(QPointF(10, 11), QPointF(10, 23));
    p.drawLine(QPointF(10, 16), QPointF(19, 16));
    p.drawLine(QPointF(10, 23), QPointF(19, 23));
    p.setBrush(QColor(255, 255, 128));
    p.setPen(QPen(QColor(20, 20, 20), 1));
    p.drawRect(QRectF(5, 5, 10, 6));
    p.drawRect(QRectF(19, 13, 8, 6));
    p.drawRect(QRectF(19, 20, 8, 6));
    icon.addPixmap(pm);
  }
  return icon;
}

QFont MakeFont(const char *sjis_face, int pixel_size, bool monospace) {
  QString face = FromSjis(sjis_face);
  QFont f;
  QStringList families;
  const QStringList installed = QFontDatabase::families();
  for (const QString &name : installed)
    if (!face.isEmpty() && name.compare(face, Qt::CaseInsensitive) == 0) families << name;
  // The faces the settings name by default are those of another desktop;
  // fall back on faces that carry Japanese.
  if (monospace)
    families << QStringLiteral("Noto Sans Mono CJK JP") << QStringLiteral("DejaVu Sans Mono")
             << QStringLiteral("Monospace");
  else
    families << QStringLiteral("Noto Sans CJK JP") << QStringLiteral("DejaVu Sans")
             << QStringLiteral("Sans Serif");
  f.setFamilies(families);
  f.setStyleHint(monospace ? QFont::TypeWriter : QFont::SansSerif);
  f.setPixelSize(pixel_size > 0 ? pixel_size : 12);
  f.setWeight(QFont::Normal);
  f.setItalic(false);
  f.setUnderline(false);
  f.setStrikeOut(false);
  return f;
}
