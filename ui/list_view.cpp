// The list views: background, focus frame and hot row (see list_view.h).
#include "ui/list_view.h"

#include <QColor>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyledItemDelegate>

#include "ui/focus_frame.h"

// ---------------------------------------------------------------------------
// ListView

namespace {

// Draws the cells of the hot row underlined.
class HotRowDelegate : public QStyledItemDelegate {
 public:
  explicit HotRowDelegate(ListView *view) : QStyledItemDelegate(view), view_(view) {}

 protected:
  void initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const override {
    QStyledItemDelegate::initStyleOption(option, index);
    if (index.row() == view_->HotRow()) option->font.setUnderline(true);
  }

 private:
  ListView *view_;
};

}  // namespace

ListView::ListView(const QPixmap &picture, QWidget *parent)
    : QTableView(parent), picture_(picture) {
  RepaintOnFocusChange(this);
  setMouseTracking(true);
  setItemDelegate(new HotRowDelegate(this));
}

void ListView::SetHotRow(int row) {
  if (row == hot_row_) return;
  hot_row_ = row;
  viewport()->update();
}

void ListView::mouseMoveEvent(QMouseEvent *event) {
  SetHotRow(rowAt(event->position().toPoint().y()));
  QTableView::mouseMoveEvent(event);
}

bool ListView::viewportEvent(QEvent *event) {
  if (event->type() == QEvent::Leave) SetHotRow(-1);
  return QTableView::viewportEvent(event);
}

int ListView::PictureShown() const {
  // Only where no row is: the picture stands for an empty list, and under
  // rows it would only show through.
  QRect r = viewport()->rect();
  int top = r.bottom() - picture_.height() + 1;
  int n = model() ? model()->rowCount() : 0;
  if (n == 0) return 1;
  return rowViewportPosition(n - 1) + rowHeight(n - 1) <= top ? 1 : 0;
}

void ListView::paintEvent(QPaintEvent *event) {
  if (PictureShown()) {
    QPainter p(viewport());
    QRect r = viewport()->rect();
    p.drawPixmap(r.right() - picture_.width() + 1, r.bottom() - picture_.height() + 1, picture_);
  }
  QTableView::paintEvent(event);
  if (!hasFocus()) return;
  QRect row;
  QModelIndex cur = currentIndex();
  if (cur.isValid())
    row = QRect(0, rowViewportPosition(cur.row()), viewport()->width(), rowHeight(cur.row()));
  DrawFocusFrame(viewport(), row);
}

void ListView::scrollContentsBy(int dx, int dy) {
  // Scrolling moves the pixels already drawn, the picture with them; it
  // stays fixed in its corner only when the whole viewport is drawn again.
  QTableView::scrollContentsBy(dx, dy);
  viewport()->update();
}

void ListView::keyPressEvent(QKeyEvent *event) {
  if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) &&
      currentIndex().isValid()) {
    Q_EMIT Entered(currentIndex().row(), (event->modifiers() & Qt::ShiftModifier) != 0);
    event->accept();
    return;
  }
  QTableView::keyPressEvent(event);
  viewport()->update();  // the row frame follows the current row
}

void ListView::contextMenuEvent(QContextMenuEvent *event) {
  QModelIndex i = indexAt(event->pos());
  if (!i.isValid()) {
    event->ignore();
    return;
  }
  selectRow(i.row());
  Q_EMIT MenuAt(i.row(), event->globalPos());
  event->accept();
}
