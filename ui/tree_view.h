// The CallTree view's nodes: a tree model whose item handles are plain
// numbers, so the worker can name an item before the GUI thread has created
// it; and the view of the CallTree and Callers tabs.
#pragma once

#include <QAbstractItemModel>
#include <QIcon>
#include <QTreeView>

#include <memory>
#include <unordered_map>
#include <vector>

// The CallTree nodes. A node's handle is a number handed out by the caller.
class TreeModel : public QAbstractItemModel {
  Q_OBJECT
 public:
  explicit TreeModel(QObject *parent = nullptr);
  ~TreeModel() override;

  QModelIndex index(int row, int column, const QModelIndex &parent = QModelIndex()) const override;
  QModelIndex parent(const QModelIndex &child) const override;
  int rowCount(const QModelIndex &parent = QModelIndex()) const override;
  int columnCount(const QModelIndex &parent = QModelIndex()) const override;
  QVariant data(const QModelIndex &index, int role) const override;

  // Adds node id as the last child of parent (0, or an unknown id: top level).
  void Insert(quintptr parent, quintptr id, const char *text);
  // Picture k (0..5) of node id; other values and unknown ids are ignored.
  void SetImage(quintptr id, int k);
  void Clear();
  int Count() const { return (int)nodes_.size(); }
  QModelIndex IndexOf(quintptr id) const;
  int ImageOf(quintptr id) const;  // -1 for an unknown id
  // The function (sid, fid) node id stands for; unknown ids are ignored.
  void SetFunction(quintptr id, int sid, int fid);
  // The function of the node at index: 1 with *sid and *fid, 0 when the node
  // stands for none.
  int FunctionAt(const QModelIndex &index, int *sid, int *fid) const;
  // The whole tree as indented text, one node per line (tests, screenshots).
  QString Dump() const;

 private:
  struct Node {
    quintptr id = 0;                          // handle given by the caller
    Node *parent = nullptr;                   // nullptr only for the root
    int row = 0;                              // place among its siblings
    int image = 0;                            // picture index 0..5
    int sid = 0, fid = 0;                     // the function it stands for, or 0, 0
    QString text;                             // label
    std::vector<std::unique_ptr<Node>> kids;  // children in insertion order
  };
  Node root_;                                   // invisible top of the tree
  std::unordered_map<quintptr, Node *> nodes_;  // every node by handle
  QIcon pictures_[6];                           // one per node kind
};

// The CallTree and Callers views: lines between the nodes, the focus frame,
// Enter on the current node and the context menu on a node.
class TreeView : public QTreeView {
  Q_OBJECT
 public:
  explicit TreeView(QWidget *parent = nullptr);

 Q_SIGNALS:
  // Enter (shift: with Shift) on the current node.
  void Entered(const QModelIndex &index, bool shift);
  // The context menu on a node, at a screen position.
  void MenuAt(const QModelIndex &index, const QPoint &global);

 protected:
  void paintEvent(QPaintEvent *event) override;
  void keyPressEvent(QKeyEvent *event) override;
  void contextMenuEvent(QContextMenuEvent *event) override;
  // Scrolling moves the pixels drawn, the focus frame with them: the whole
  // viewport is drawn again, so no copy of the frame is left behind.
  void scrollContentsBy(int dx, int dy) override;
  // A tree with lines, lines at the root too, whatever the style draws by
  // itself (most draw only the expand buttons).
  void drawBranches(QPainter *painter, const QRect &rect, const QModelIndex &index) const override;
};
