// The Source tab's text view: a source file, read-only, with line numbers in
// a margin, the shown function's lines tinted and its name's line marked,
// and every call of the function underlined (a click makes it the current
// call, a double-click or Enter activates it, its target is its tooltip).
// It draws only the lines in sight, so a file of any size opens at once; the
// text is selected with the mouse and copied with Ctrl+C.
#pragma once

#include <QAbstractScrollArea>
#include <QString>

#include <memory>
#include <vector>

#include "ui/source_text.h"

// A call of the shown function, as the view marks it.
struct SourceCall {
  int line = 0;    // 0-based line
  int column = 0;  // its first character in that line (before tabs are widened)
  int length = 0;  // characters of the called name
  QString tip;     // what it reaches, for its tooltip
};

class SourceView : public QAbstractScrollArea {
  Q_OBJECT
 public:
  explicit SourceView(QWidget *parent = nullptr);

  // Shows text (nullptr: nothing), scrolled to its top, without marks.
  void SetText(std::shared_ptr<const SourceText> text);
  const SourceText *Text() const { return text_.get(); }
  // The function shown: its lines first..last tinted, name_line marked, its
  // calls underlined (none current).
  void SetFunction(int name_line, int first_line, int last_line, std::vector<SourceCall> calls);
  int NameLine() const { return name_line_; }
  const std::vector<SourceCall> &Calls() const { return calls_; }
  // Scrolls so that line stands a third down the view.
  void ShowLine(int line);
  int FirstVisibleLine() const;
  int VisibleLines() const;
  // The current call (-1: none); setting one scrolls it into view.
  int CurrentCall() const { return current_; }
  void SetCurrentCall(int index);
  // The call under a point of the viewport, -1 when none.
  int CallAt(const QPoint &pos) const;
  // The point of the viewport at the middle of a character (tests).
  QPoint PointOf(int line, int column) const;
  // Finds text (any case) after the selection (backward: before it),
  // going round the end; selects it and shows it. false when not found.
  bool Find(const QString &text, bool backward);
  QString SelectedText() const;
  // Lines that are wider than this many characters are shown cut.
  static constexpr int kMaxShownChars = 8192;

 Q_SIGNALS:
  void CallClicked(int index);    // a click on a call
  void CallActivated(int index);  // a double-click on it, or Enter on the current call
  void CallMenu(int index, const QPoint &global);

 protected:
  void paintEvent(QPaintEvent *event) override;
  void resizeEvent(QResizeEvent *event) override;
  void changeEvent(QEvent *event) override;
  void scrollContentsBy(int dx, int dy) override;
  void mousePressEvent(QMouseEvent *event) override;
  void mouseMoveEvent(QMouseEvent *event) override;
  void mouseReleaseEvent(QMouseEvent *event) override;
  void mouseDoubleClickEvent(QMouseEvent *event) override;
  void keyPressEvent(QKeyEvent *event) override;
  void contextMenuEvent(QContextMenuEvent *event) override;
  bool viewportEvent(QEvent *event) override;
  bool focusNextPrevChild(bool next) override;

 private:
  struct Place {
    int line = 0, column = 0;
    bool operator<(const Place &o) const {
      return line < o.line || (line == o.line && column < o.column);
    }
    bool operator==(const Place &o) const { return line == o.line && column == o.column; }
  };
  // Line i as drawn (tabs widened, cut at kMaxShownChars), and where each of
  // its characters starts in it (one more entry for its end).
  QString Shown(int line, std::vector<int> *at) const;
  int GutterWidth() const;
  int LineHeight() const;
  // x in the viewport where the text starts, as scrolled.
  int TextLeft() const;
  // x in the viewport of a character of a line (column may be its length).
  double XOf(int line, int column) const;
  Place PlaceAt(const QPoint &pos) const;
  void UpdateScrollBars();
  void Select(Place from, Place to);

  std::shared_ptr<const SourceText> text_;  // the file shown
  int name_line_ = -1;                      // the shown function's name
  int first_line_ = -1, last_line_ = -1;    // its lines
  std::vector<SourceCall> calls_;           // its calls
  int current_ = -1;                        // the current call
  int hover_ = -1;                          // the call under the mouse
  Place anchor_, caret_;                    // the selection (equal: none)
  bool selecting_ = false;                  // the left button is down on the text
  Place press_;                             // where it went down
};
