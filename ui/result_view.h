// The Result view: a rolling log of the tree texts.
#pragma once

#include <QPlainTextEdit>

// The Result text: a rolling log of at most Limit() characters that loses
// whole lines from the top.
class ResultEdit : public QPlainTextEdit {
  Q_OBJECT
 public:
  explicit ResultEdit(QWidget *parent = nullptr);
  void SetLimit(int chars) { limit_ = chars; }
  int Limit() const { return limit_; }
  // Appends text (line ends "\r\n" or "\n"), trimming old lines first.
  void Append(const QString &text);
  int Length() const;

 protected:
  // What the user types, pastes or composes is cut to the limit as well: the
  // characters just entered that do not fit are taken back.
  void keyPressEvent(QKeyEvent *event) override;
  void insertFromMimeData(const QMimeData *source) override;
  void inputMethodEvent(QInputMethodEvent *event) override;

 private:
  void TakeBackExcess();
  int limit_ = 64 * 1024;  // MAX_RESULT_BUFFER x 1024
};
