// The status bar's parts beside the status text: the text itself, cut with
// "..." when it does not fit (the window never widens for it; the whole text
// is its tooltip), the parser in use, and the note on sources whose parse
// ended inside a function, which names them in its tooltip and stays until
// the next analysis.
#pragma once

#include <QLabel>
#include <QString>
#include <QStringList>

// A one-line label that shows as much of its text as fits, ending in "...",
// and never asks for more width than it gets.
class ElidedLabel : public QLabel {
  Q_OBJECT
 public:
  explicit ElidedLabel(QWidget *parent = nullptr);
  // The whole text (QLabel::text() is what fits).
  void SetFullText(const QString &text);
  QString FullText() const { return full_; }
  QSize minimumSizeHint() const override;
  QSize sizeHint() const override;

 protected:
  void resizeEvent(QResizeEvent *event) override;

 private:
  void Fit();
  QString full_;  // the text as set
};

// The note on sources whose parse ended inside a function body: hidden while
// there are none; its tooltip names each with the function and its line.
class LostSourcesNote : public QLabel {
  Q_OBJECT
 public:
  explicit LostSourcesNote(QWidget *parent = nullptr);
  // One more such source (native path; function as scope and name; 1-based line).
  void Add(const QString &path, const QString &function, int line);
  void Clear();
  const QStringList &Lines() const { return lines_; }

 private:
  QStringList lines_;  // "path: inside function (line n)", in source order
};

// What the parser label says for the settings in force: "statement parser",
// "precise parser", or that the precise one is not built in.
QString ParserLabelText();
