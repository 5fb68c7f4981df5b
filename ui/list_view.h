// The table view of the Function List and the Call List (their models are
// ui/list_model.h), with its background picture, its focus frame and its
// row under the mouse underlined.
#pragma once

#include <QPixmap>
#include <QTableView>

#include "ui/list_model.h"

// A list view with its background picture in the bottom-right corner of the
// viewport (fixed there while the rows scroll, drawn only while no row
// reaches it), the focus frame, and its row
// under the mouse underlined (the hot row).
class ListView : public QTableView {
  Q_OBJECT
 public:
  ListView(const QPixmap &picture, QWidget *parent = nullptr);
  // Shown row under the mouse, -1 when none.
  int HotRow() const { return hot_row_; }
  // 1 when the background picture is drawn: the rows end above its corner.
  int PictureShown() const;

 Q_SIGNALS:
  // Enter (shift: with Shift) on the current row (a shown row).
  void Entered(int shown_row, bool shift);
  // The context menu on a shown row, at a screen position.
  void MenuAt(int shown_row, const QPoint &global);

 protected:
  void paintEvent(QPaintEvent *event) override;
  void scrollContentsBy(int dx, int dy) override;
  void keyPressEvent(QKeyEvent *event) override;
  void contextMenuEvent(QContextMenuEvent *event) override;
  void mouseMoveEvent(QMouseEvent *event) override;
  bool viewportEvent(QEvent *event) override;

 private:
  void SetHotRow(int row);
  QPixmap picture_;
  int hot_row_ = -1;  // shown row under the mouse, -1 for none
};
