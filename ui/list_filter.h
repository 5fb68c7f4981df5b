// The search box over the Function List and the Call List: a filter proxy
// over the one list model (no copies of rows), and the line edit that drives
// it. A row stays when its function, called function, reached function or
// source contains the text, ASCII letters in any case, Shift_JIS characters
// matched whole.
#pragma once

#include <QLineEdit>
#include <QSortFilterProxyModel>

#include <string>
#include <vector>

#include "ui/list_view.h"

// The rows of a ListModel that contain the filter text. Sorting stays the
// model's own (its column clicks); this proxy only leaves rows out.
class ListFilter : public QSortFilterProxyModel {
  Q_OBJECT
 public:
  explicit ListFilter(ListModel *model, QObject *parent = nullptr);

  // Keeps the rows that contain text; "" shows every row. Typing one more
  // character only tests the rows that matched before.
  void SetText(const QString &text);
  const QString &Text() const { return text_; }
  // Store row (ListModel::StoreRow) of a shown row of this proxy; -1 when
  // out of range.
  int StoreRow(int shown) const;
  ListModel *Model() const { return model_; }

  // 1 when the Shift_JIS cell contains needle (ASCII letters already upper
  // case), comparing letters without case and never starting inside a
  // double-byte character.
  static int CellContains(const char *cell, const std::string &needle);
  // The same for the cell that two texts make written together (a scope and
  // a name: "A::" and "f" hold "::F"); a null text is empty.
  static int PairContains(const char *a, const char *b, const std::string &needle);

 protected:
  bool filterAcceptsRow(int source_row, const QModelIndex &source_parent) const override;

 private:
  // 1 when store row s has the text in one of the searched columns.
  int RowMatches(int s) const;

  ListModel *model_;
  QString text_;             // the filter text as typed
  std::string needle_;       // its Shift_JIS bytes, letters upper case; "" for none
  std::vector<char> match_;  // per store row: 1 matches, 0 not, 2 not yet known
};

// The line edit above a list: Escape clears it while no job runs (a running
// job takes Escape as its stop key).
class FilterBox : public QLineEdit {
  Q_OBJECT
 public:
  explicit FilterBox(QWidget *parent = nullptr);

 protected:
  void keyPressEvent(QKeyEvent *event) override;
};
