// The Graph tab's page: a title line over the graph (its root, "calls" or
// "callers", its nodes and depth), the depth control (1, 2, 3 or all levels
// below the root; all, as built in) and the graph view.
#pragma once

#include <QString>
#include <QWidget>

class GraphView;
class QComboBox;
class QLabel;

class GraphPage : public QWidget {
  Q_OBJECT
 public:
  explicit GraphPage(QWidget *parent = nullptr);

  GraphView *View() const { return view_; }
  // The depth chosen: 1, 2, 3, or 0 for all.
  int Depth() const;
  // Chooses a depth (0 all; others are taken as the nearest offered) without
  // the DepthChosen signal.
  void SetDepth(int depth);
  // The title line: the root's name, calls or callers, the nodes shown of
  // all, the depth shown of all (depth 0: all).
  void SetTitle(const QString &root, bool callers, int shown, int nodes, int depth, int max_depth);
  // No graph: no title.
  void ClearTitle();
  QString Title() const;
  QComboBox *DepthBox() const { return depth_; }

  // The title's text for these values.
  static QString TitleText(const QString &root, bool callers, int shown, int nodes, int depth,
                           int max_depth);

 Q_SIGNALS:
  // The user chose another depth.
  void DepthChosen(int depth);

 private:
  QLabel *title_;     // the line over the graph
  QComboBox *depth_;  // 1, 2, 3, all
  GraphView *view_;   // the graph
};
