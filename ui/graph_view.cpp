// The Graph tab (see graph_view.h).
#include "ui/graph_view.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QFile>
#include <QGraphicsRectItem>
#include <QGraphicsScene>
#include <QGraphicsSimpleTextItem>
#include <QGraphicsSvgItem>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScrollBar>
#include <QSvgRenderer>
#include <QWheelEvent>
#include <QXmlStreamReader>

#include <cmath>

#include "graph/graph.h"
#include "ui/focus_frame.h"
#include "ui/qtext.h"

namespace {

const double kStep = 1.25;                    // one zoom step
const double kMinZoom = 0.01, kMaxZoom = 16;  // the zoom stays between these

}  // namespace

GraphView::GraphView(QWidget *parent) : QGraphicsView(parent) {
  RepaintOnFocusChange(this);
  setScene(new QGraphicsScene(this));
  setDragMode(QGraphicsView::ScrollHandDrag);
  setTransformationAnchor(QGraphicsView::AnchorUnderMouse);
  setResizeAnchor(QGraphicsView::AnchorViewCenter);
  setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing |
                 QPainter::SmoothPixmapTransform);
  setBackgroundBrush(Qt::white);
  setFocusPolicy(Qt::StrongFocus);
  setContextMenuPolicy(Qt::DefaultContextMenu);
}

GraphView::~GraphView() {
  Clear();
}

void GraphView::Clear() {
  scene()->clear();  // deletes the items
  item_ = nullptr;
  mark_ = nullptr;
  root_mark_ = nullptr;
  root_rect_ = QRectF();
  text_ = nullptr;
  delete renderer_;
  renderer_ = nullptr;
  nodes_.clear();
  ids_.clear();
  file_.clear();
  sel_sid_ = sel_fid_ = 0;
}

void GraphView::ShowText(const QString &text) {
  Clear();
  scene()->setSceneRect(QRectF());
  if (text.isEmpty()) return;
  text_ = scene()->addSimpleText(text);
  text_->setBrush(QColor(96, 96, 96));
  // The text keeps its size whatever the zoom.
  text_->setFlag(QGraphicsItem::ItemIgnoresTransformations);
  scene()->setSceneRect(text_->boundingRect());
  centerOn(text_);
}

QString GraphView::Text() const {
  return text_ ? text_->text() : QString();
}

int GraphView::Load(const QString &path) {
  QFile f(path);
  QByteArray svg;
  if (f.open(QIODevice::ReadOnly)) svg = f.readAll();
  QSvgRenderer *r = svg.isEmpty() ? nullptr : new QSvgRenderer(svg);
  if (!r || !r->isValid()) {
    delete r;
    ShowText(UiText("The graph cannot be shown: %1").arg(path));
    return 0;
  }
  Clear();
  renderer_ = r;
  item_ = new QGraphicsSvgItem;
  item_->setSharedRenderer(renderer_);
  // Dragging and zooming repaint from a cache, not from the whole document.
  item_->setCacheMode(QGraphicsItem::DeviceCoordinateCache);
  scene()->addItem(item_);
  scene()->setSceneRect(item_->boundingRect());
  file_ = path;
  ReadNodes(svg);
  return 1;
}

// The renderer writes each node as <g id="nodeN" class="node"> whose first
// <title> is the node id of the graph file; its bounds come from the
// renderer, through the transformations of the groups around it, and are
// scaled from the view box to the item as the item draws it.
void GraphView::ReadNodes(const QByteArray &svg) {
  QRectF box = renderer_->viewBoxF();
  QSizeF size = item_->boundingRect().size();
  double sx = box.width() > 0 ? size.width() / box.width() : 1;
  double sy = box.height() > 0 ? size.height() / box.height() : 1;
  QXmlStreamReader xml(svg);
  QString group;  // id of the node group being read, until its title
  while (!xml.atEnd()) {
    xml.readNext();
    if (!xml.isStartElement()) continue;
    if (xml.name() == QLatin1String("g")) {
      QXmlStreamAttributes a = xml.attributes();
      group = a.value(QLatin1String("class")) == QLatin1String("node")
                  ? a.value(QLatin1String("id")).toString()
                  : QString();
    } else if (xml.name() == QLatin1String("title") && !group.isEmpty()) {
      QByteArray title = xml.readElementText().trimmed().toUtf8();
      QRectF r = renderer_->transformForElement(group).mapRect(renderer_->boundsOnElement(group));
      QRectF scene((r.left() - box.left()) * sx, (r.top() - box.top()) * sy, r.width() * sx,
                   r.height() * sy);
      ids_.push_back({QString::fromUtf8(title), scene});
      int sid = 0, fid = 0;
      if (NodeIdFunction(title.constData(), &sid, &fid)) nodes_.push_back(Node{scene, sid, fid});
      group.clear();
    }
  }
}

const GraphView::Node *GraphView::NodeAt(const QPointF &scene) const {
  // The last drawn is the one on top.
  for (auto it = nodes_.rbegin(); it != nodes_.rend(); ++it)
    if (it->rect.contains(scene)) return &*it;
  return nullptr;
}

int GraphView::FunctionAt(const QPoint &viewport_pos, int *sid, int *fid) const {
  const Node *n = NodeAt(mapToScene(viewport_pos));
  if (!n) return 0;
  *sid = n->sid;
  *fid = n->fid;
  return 1;
}

QRectF GraphView::NodeRect(int sid, int fid) const {
  for (const Node &n : nodes_)
    if (n.sid == sid && n.fid == fid) return n.rect;
  return QRectF();
}

int GraphView::SelectFunction(int sid, int fid) {
  QRectF r = NodeRect(sid, fid);
  if (r.isEmpty()) {
    sel_sid_ = sel_fid_ = 0;
    if (mark_) mark_->hide();
    return 0;
  }
  sel_sid_ = sid;
  sel_fid_ = fid;
  if (!mark_) {
    QPen pen(FocusFrameColour());
    pen.setWidth(3);
    pen.setCosmetic(true);  // as thick at every zoom
    mark_ = scene()->addRect(QRectF(), pen);
    mark_->setZValue(1);
  }
  mark_->setRect(r.adjusted(-3, -3, 3, 3));
  mark_->show();
  return 1;
}

int GraphView::MarkRoot(const QString &node_id) {
  root_rect_ = QRectF();
  for (const auto &n : ids_)
    if (n.first == node_id) root_rect_ = n.second;
  if (root_rect_.isEmpty()) {
    if (root_mark_) root_mark_->hide();
    return 0;
  }
  if (!root_mark_) {
    QPen pen(QColor(200, 40, 40));
    pen.setWidth(4);
    pen.setCosmetic(true);
    root_mark_ = scene()->addRect(QRectF(), pen);
    root_mark_->setZValue(0.5);  // under the selection's frame
    root_mark_->setToolTip(UiText("Root"));
  }
  root_mark_->setRect(root_rect_.adjusted(-5, -5, 5, 5));
  root_mark_->show();
  return 1;
}

void GraphView::FitNew() {
  QRectF r = scene()->sceneRect();
  if (!item_ || r.isEmpty()) return;
  QRectF v = viewport()->rect().adjusted(4, 4, -4, -4);
  double fit = std::min(v.width() / r.width(), v.height() / r.height());
  double z = std::min(1.0, fit);
  if (z >= kReadableZoom || root_rect_.isEmpty()) {
    SetZoom(std::max(z, kMinZoom));
    CentreOn(r.center());
    return;
  }
  // Too big to read whole: readable, around the root.
  SetZoom(kReadableZoom);
  CentreOn(root_rect_.center());
}

double GraphView::Zoom() const {
  return transform().m11();
}

void GraphView::SetZoom(double zoom) {
  if (!(zoom > 0)) return;
  zoom = std::min(kMaxZoom, std::max(kMinZoom, zoom));
  QPointF centre = Centre();
  setTransform(QTransform::fromScale(zoom, zoom));
  CentreOn(centre);
}

void GraphView::ZoomIn() {
  SetZoom(Zoom() * kStep);
}

void GraphView::ZoomOut() {
  SetZoom(Zoom() / kStep);
}

void GraphView::Fit() {
  QRectF r = scene()->sceneRect();
  if (!item_ || r.isEmpty()) return;
  QRectF v = viewport()->rect().adjusted(4, 4, -4, -4);
  double z = std::min(v.width() / r.width(), v.height() / r.height());
  SetZoom(std::min(1.0, z));
  CentreOn(r.center());
}

QPointF GraphView::Centre() const {
  return mapToScene(viewport()->rect().center());
}

void GraphView::CentreOn(const QPointF &point) {
  centerOn(point);
}

void GraphView::wheelEvent(QWheelEvent *event) {
  if (event->modifiers() & Qt::ControlModifier) {
    int d = event->angleDelta().y();
    if (d != 0) {
      double z = Zoom() * std::pow(kStep, d / 120.0);
      z = std::min(kMaxZoom, std::max(kMinZoom, z));
      // The point under the mouse stays where it is.
      setTransform(QTransform::fromScale(z, z));
    }
    event->accept();
    return;
  }
  QGraphicsView::wheelEvent(event);
}

void GraphView::keyPressEvent(QKeyEvent *event) {
  switch (event->key()) {
    case Qt::Key_Plus:
    case Qt::Key_Equal:
      ZoomIn();
      return;
    case Qt::Key_Minus:
    case Qt::Key_Underscore:
      ZoomOut();
      return;
    case Qt::Key_0:
    case Qt::Key_Home:
      Fit();
      return;
    case Qt::Key_Return:
    case Qt::Key_Enter:
      if (sel_sid_ > 0) Q_EMIT FunctionActivated(sel_sid_, sel_fid_);
      return;
    default:
      QGraphicsView::keyPressEvent(event);
  }
}

void GraphView::mousePressEvent(QMouseEvent *event) {
  if (event->button() == Qt::LeftButton) {
    press_ = event->position().toPoint();
    pressed_ = true;
  }
  QGraphicsView::mousePressEvent(event);
}

void GraphView::mouseReleaseEvent(QMouseEvent *event) {
  QGraphicsView::mouseReleaseEvent(event);
  if (event->button() != Qt::LeftButton || !pressed_) return;
  pressed_ = false;
  // A press and release in one place is a click; anything longer a drag.
  QPoint at = event->position().toPoint();
  if ((at - press_).manhattanLength() >= QApplication::startDragDistance()) return;
  int sid = 0, fid = 0;
  if (!FunctionAt(at, &sid, &fid)) return;
  SelectFunction(sid, fid);
  Q_EMIT FunctionClicked(sid, fid);
}

void GraphView::mouseDoubleClickEvent(QMouseEvent *event) {
  int sid = 0, fid = 0;
  if (event->button() == Qt::LeftButton && FunctionAt(event->position().toPoint(), &sid, &fid)) {
    SelectFunction(sid, fid);
    Q_EMIT FunctionActivated(sid, fid);
    event->accept();
    return;
  }
  QGraphicsView::mouseDoubleClickEvent(event);
}

void GraphView::contextMenuEvent(QContextMenuEvent *event) {
  int sid = 0, fid = 0;
  if (!FunctionAt(event->pos(), &sid, &fid)) {
    Q_EMIT GraphMenu(event->globalPos());
    event->accept();
    return;
  }
  SelectFunction(sid, fid);
  Q_EMIT FunctionMenu(sid, fid, event->globalPos());
  event->accept();
}

void GraphView::paintEvent(QPaintEvent *event) {
  QGraphicsView::paintEvent(event);
  if (hasFocus()) DrawFocusFrame(viewport(), QRect());
}

void GraphView::scrollContentsBy(int dx, int dy) {
  QGraphicsView::scrollContentsBy(dx, dy);
  viewport()->update();
}
