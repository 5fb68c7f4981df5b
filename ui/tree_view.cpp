// The CallTree view's nodes (see tree_view.h).
#include "ui/tree_view.h"

#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QPainter>

#include "ui/focus_frame.h"
#include "ui/pictures.h"
#include "ui/qtext.h"

TreeModel::TreeModel(QObject *parent) : QAbstractItemModel(parent) {
  for (int k = 0; k < 6; k++) pictures_[k] = QIcon(TreePicture(k));
}

TreeModel::~TreeModel() {}

QModelIndex TreeModel::index(int row, int column, const QModelIndex &parent) const {
  if (column != 0 || row < 0) return QModelIndex();
  const Node *p = parent.isValid() ? static_cast<const Node *>(parent.internalPointer()) : &root_;
  if (row >= (int)p->kids.size()) return QModelIndex();
  return createIndex(row, 0, p->kids[row].get());
}

QModelIndex TreeModel::parent(const QModelIndex &child) const {
  if (!child.isValid()) return QModelIndex();
  const Node *n = static_cast<const Node *>(child.internalPointer());
  const Node *p = n->parent;
  if (!p || p == &root_) return QModelIndex();
  return createIndex(p->row, 0, const_cast<Node *>(p));
}

int TreeModel::rowCount(const QModelIndex &parent) const {
  if (parent.column() > 0) return 0;
  const Node *p = parent.isValid() ? static_cast<const Node *>(parent.internalPointer()) : &root_;
  return (int)p->kids.size();
}

int TreeModel::columnCount(const QModelIndex &) const {
  return 1;
}

QVariant TreeModel::data(const QModelIndex &index, int role) const {
  if (!index.isValid()) return QVariant();
  const Node *n = static_cast<const Node *>(index.internalPointer());
  if (role == Qt::DisplayRole || role == Qt::ToolTipRole) return n->text;
  if (role == Qt::DecorationRole) return pictures_[n->image];
  return QVariant();
}

void TreeModel::Insert(quintptr parent, quintptr id, const char *text) {
  if (!id || nodes_.count(id)) return;
  Node *p = &root_;
  if (parent) {
    auto it = nodes_.find(parent);
    if (it != nodes_.end()) p = it->second;
  }
  auto node = std::make_unique<Node>();
  node->id = id;
  node->parent = p;
  node->row = (int)p->kids.size();
  node->text = FromSjis(text);
  QModelIndex pi = p == &root_ ? QModelIndex() : createIndex(p->row, 0, p);
  beginInsertRows(pi, node->row, node->row);
  nodes_[id] = node.get();
  p->kids.push_back(std::move(node));
  endInsertRows();
}

void TreeModel::SetImage(quintptr id, int k) {
  if (k < 0 || k > 5) return;
  auto it = nodes_.find(id);
  if (it == nodes_.end()) return;
  it->second->image = k;
  QModelIndex i = createIndex(it->second->row, 0, it->second);
  Q_EMIT dataChanged(i, i, {Qt::DecorationRole});
}

void TreeModel::Clear() {
  beginResetModel();
  root_.kids.clear();
  nodes_.clear();
  endResetModel();
}

QModelIndex TreeModel::IndexOf(quintptr id) const {
  auto it = nodes_.find(id);
  if (it == nodes_.end()) return QModelIndex();
  return createIndex(it->second->row, 0, it->second);
}

int TreeModel::ImageOf(quintptr id) const {
  auto it = nodes_.find(id);
  return it == nodes_.end() ? -1 : it->second->image;
}

void TreeModel::SetFunction(quintptr id, int sid, int fid) {
  auto it = nodes_.find(id);
  if (it == nodes_.end()) return;
  it->second->sid = sid;
  it->second->fid = fid;
}

int TreeModel::FunctionAt(const QModelIndex &index, int *sid, int *fid) const {
  if (!index.isValid() || index.model() != this) return 0;
  const Node *n = static_cast<const Node *>(index.internalPointer());
  if (n->sid <= 0 || n->fid <= 0) return 0;
  *sid = n->sid;
  *fid = n->fid;
  return 1;
}

QString TreeModel::Dump() const {
  QString out;
  std::vector<std::pair<const Node *, int>> stack;
  for (auto it = root_.kids.rbegin(); it != root_.kids.rend(); ++it)
    stack.push_back({it->get(), 0});
  while (!stack.empty()) {
    auto [n, depth] = stack.back();
    stack.pop_back();
    out += QString(depth * 2, QLatin1Char(' ')) + QString::number(n->image) + QLatin1Char(' ') +
           n->text + QLatin1Char('\n');
    for (auto it = n->kids.rbegin(); it != n->kids.rend(); ++it)
      stack.push_back({it->get(), depth + 1});
  }
  return out;
}

// ---------------------------------------------------------------------------
// TreeView

TreeView::TreeView(QWidget *parent) : QTreeView(parent) {
  RepaintOnFocusChange(this);
}

void TreeView::paintEvent(QPaintEvent *event) {
  QTreeView::paintEvent(event);
  if (!hasFocus()) return;
  QRect row;
  QModelIndex cur = currentIndex();
  if (cur.isValid()) {
    QRect r = visualRect(cur);
    row = QRect(0, r.top(), viewport()->width(), r.height());
  }
  DrawFocusFrame(viewport(), row);
}

void TreeView::keyPressEvent(QKeyEvent *event) {
  if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) &&
      currentIndex().isValid()) {
    Q_EMIT Entered(currentIndex(), (event->modifiers() & Qt::ShiftModifier) != 0);
    event->accept();
    return;
  }
  QTreeView::keyPressEvent(event);
  viewport()->update();
}

void TreeView::contextMenuEvent(QContextMenuEvent *event) {
  QModelIndex i = indexAt(event->pos());
  if (!i.isValid()) {
    event->ignore();
    return;
  }
  setCurrentIndex(i);
  Q_EMIT MenuAt(i, event->globalPos());
  event->accept();
}

void TreeView::scrollContentsBy(int dx, int dy) {
  QTreeView::scrollContentsBy(dx, dy);
  viewport()->update();
}

void TreeView::drawBranches(QPainter *painter, const QRect &rect, const QModelIndex &index) const {
  // One column of indentation per level, the node's own column last: a
  // vertical line in an ancestor's column while that ancestor has a sibling
  // below it, and in the node's column an elbow to the node (down to the next
  // sibling when there is one).
  int indent = indentation();
  int levels = 0;
  for (QModelIndex p = index.parent(); p.isValid(); p = p.parent()) levels++;
  int columns = levels + (rootIsDecorated() ? 1 : 0);
  if (indent <= 0 || columns <= 0) {
    QTreeView::drawBranches(painter, rect, index);
    return;
  }
  auto has_next = [](const QModelIndex &i) { return i.sibling(i.row() + 1, 0).isValid(); };
  painter->save();
  painter->setPen(QPen(palette().color(QPalette::Mid), 1, Qt::DotLine));
  int mid_y = rect.top() + rect.height() / 2;
  int right = rect.left() + columns * indent;
  QModelIndex node = index;
  for (int c = columns - 1; c >= 0 && node.isValid(); c--) {
    int x = right - (columns - c) * indent + indent / 2;
    if (c == columns - 1) {
      painter->drawLine(x, rect.top(), x, has_next(node) ? rect.bottom() : mid_y);
      painter->drawLine(x, mid_y, right - 1, mid_y);
    } else if (has_next(node)) {
      painter->drawLine(x, rect.top(), x, rect.bottom());
    }
    node = node.parent();
  }
  painter->restore();
  QTreeView::drawBranches(painter, rect, index);  // the expand buttons
}
