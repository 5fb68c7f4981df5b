// Back and Forward through the trees built in one session: each visit
// remembers what the tree was of, the tab shown and where the views were
// scrolled when the user left it, and the picture of its graph, so going
// back redraws the tree without rendering again.
#pragma once

#include <QByteArray>
#include <QPointF>
#include <QString>

#include <vector>

// One tree of the session.
struct TreeVisit {
  int callers = 0;       // 1: a callers tree
  int sid = 0, fid = 0;  // its root function, or 0, 0 for a name
  QByteArray name;       // callers tree of a name no source defines (Shift_JIS)
  int argc = 0;          // that name's number of arguments
  int tab = -1;          // view shown when the user left it (-1: the tree's own)
  int scroll = 0;        // the tree view's vertical scroll position then
  QPointF centre;        // the Graph view's centre then
  double zoom = 0;       // and its zoom (0: not yet seen)
  bool has_centre = false;
  QString svg;    // the graph's picture for the Graph tab, or ""
  int depth = 0;  // the depth that picture shows (0: all)
};

class TreeHistory {
 public:
  // Visits kept; the oldest go first.
  enum { kMaxVisits = 100 };

  // A new tree after the current one: the visits ahead of it go.
  void Push(const TreeVisit &visit);
  void Clear();
  // The visit shown, or nullptr before the first tree.
  TreeVisit *Current();
  // The visit step away from the current one (-1 back, +1 forward), or
  // nullptr when there is none.
  const TreeVisit *Peek(int step) const;
  // Makes the visit step away the current one; false when there is none.
  bool Move(int step);
  int Size() const { return (int)visits_.size(); }
  int Index() const { return at_; }

 private:
  std::vector<TreeVisit> visits_;
  int at_ = -1;  // index of the current visit
};
