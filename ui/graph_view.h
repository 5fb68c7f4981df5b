// The Graph tab's view: the SVG that the renderer made of a tree, in a view
// that zooms (Ctrl+wheel, +, -), pans (dragging) and fits (0, Home); a new
// graph arrives fitted with its root marked. Each node of the picture maps
// back to the function it stands for through the node ids of the graph
// writer, so a click selects that function and a double-click asks for its
// tree.
#pragma once

#include <QGraphicsView>
#include <QString>

#include <utility>
#include <vector>

class QGraphicsRectItem;
class QGraphicsSimpleTextItem;
class QGraphicsSvgItem;
class QSvgRenderer;

class GraphView : public QGraphicsView {
  Q_OBJECT
 public:
  explicit GraphView(QWidget *parent = nullptr);
  ~GraphView() override;

  // Shows the SVG at path. 1 shown; 0 when it cannot be read, and the view
  // then says so in its middle.
  int Load(const QString &path);
  // Empties the view, with a line of text in its middle (nothing for "").
  void ShowText(const QString &text);
  // The SVG shown, or "" when none.
  QString File() const { return file_; }
  // The text shown instead of a picture, or "".
  QString Text() const;

  // Zoom: the scale of the picture against its own size. It stays when the
  // next picture is loaded.
  double Zoom() const;
  // A new graph as it should first be seen: the whole of it in the view when
  // that leaves it readable (zoom at most 1, at least kReadableZoom), else at
  // that zoom with the root in the middle (as far as the picture reaches).
  void FitNew();
  static constexpr double kReadableZoom = 0.3;
  void SetZoom(double zoom);
  void ZoomIn();
  void ZoomOut();
  // The whole picture in the view (zoom at most 1).
  void Fit();
  // The point of the picture at the centre of the view, and back.
  QPointF Centre() const;
  void CentreOn(const QPointF &point);

  // The nodes that stand for functions.
  int NodeCount() const { return (int)nodes_.size(); }
  // 1 with the function of the node under a point of the viewport.
  int FunctionAt(const QPoint &viewport_pos, int *sid, int *fid) const;
  // The node of (sid, fid) in scene coordinates (empty when none).
  QRectF NodeRect(int sid, int fid) const;
  // Marks the node of (sid, fid) as selected (none: no mark); 1 when found.
  int SelectFunction(int sid, int fid);
  // Marks the root, the node of the writer's id (FC<sid>_<fid> or UQ<n>);
  // 1 when found. The mark goes with the picture.
  int MarkRoot(const QString &node_id);
  // The root's node in scene coordinates (empty when none is marked).
  QRectF RootRect() const { return root_rect_; }
  // The function marked, or 0, 0.
  int SelectedSid() const { return sel_sid_; }
  int SelectedFid() const { return sel_fid_; }

 Q_SIGNALS:
  // A click on a function's node.
  void FunctionClicked(int sid, int fid);
  // A double-click on it.
  void FunctionActivated(int sid, int fid);
  // The context menu on it, at a screen position.
  void FunctionMenu(int sid, int fid, const QPoint &global);
  // The context menu anywhere else (the graph's own commands).
  void GraphMenu(const QPoint &global);

 protected:
  void wheelEvent(QWheelEvent *event) override;
  void keyPressEvent(QKeyEvent *event) override;
  void mousePressEvent(QMouseEvent *event) override;
  void mouseReleaseEvent(QMouseEvent *event) override;
  void mouseDoubleClickEvent(QMouseEvent *event) override;
  void contextMenuEvent(QContextMenuEvent *event) override;
  void paintEvent(QPaintEvent *event) override;
  // Scrolling moves the pixels drawn, the focus frame with them: the whole
  // viewport is drawn again, so no copy of the frame is left behind.
  void scrollContentsBy(int dx, int dy) override;

 private:
  struct Node {
    QRectF rect;  // in scene coordinates
    int sid, fid;
  };
  void Clear();
  void ReadNodes(const QByteArray &svg);
  const Node *NodeAt(const QPointF &scene) const;

  QSvgRenderer *renderer_ = nullptr;             // the picture, or none
  QGraphicsSvgItem *item_ = nullptr;             // its item in the scene
  QGraphicsRectItem *mark_ = nullptr;            // frame of the selected node
  QGraphicsRectItem *root_mark_ = nullptr;       // frame of the root
  QRectF root_rect_;                             // the root's node, or empty
  std::vector<std::pair<QString, QRectF>> ids_;  // every node by its id
  QGraphicsSimpleTextItem *text_ = nullptr;      // the text shown instead of a picture
  QString file_;                                 // the SVG shown
  std::vector<Node> nodes_;                      // function nodes, in drawing order
  int sel_sid_ = 0, sel_fid_ = 0;                // the selected node's function
  QPoint press_;                                 // where the left button went down
  bool pressed_ = false;                         // it is down
};
