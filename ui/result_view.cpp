// The Result view (see result_view.h).
#include "ui/result_view.h"

#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

ResultEdit::ResultEdit(QWidget *parent) : QPlainTextEdit(parent) {
  setUndoRedoEnabled(false);
  setLineWrapMode(QPlainTextEdit::NoWrap);
}

int ResultEdit::Length() const {
  return document()->characterCount() - 1;
}

void ResultEdit::Append(const QString &text) {
  if (text.isEmpty()) return;
  QString t = text;
  t.replace(QLatin1String("\r\n"), QLatin1String("\n"));
  t.replace(QLatin1Char('\r'), QLatin1Char('\n'));
  QTextDocument *doc = document();
  int len = Length();
  int add = (int)t.size();
  QTextCursor c(doc);
  if (add >= limit_) {
    // Larger than the whole log: only its newest lines can stay.
    int cut = add - limit_;
    int nl = cut > 0 ? (int)t.indexOf(QLatin1Char('\n'), cut - 1) : -1;
    t = (cut > 0 && nl >= 0 && nl + 1 < add) ? t.mid(nl + 1) : t.right(limit_);
    doc->clear();
  } else if (len + add > limit_) {
    // Whole lines go from the top until the new text fits.
    int excess = len + add - limit_;
    QTextBlock b = doc->findBlock(excess);
    if (b.isValid() && b.position() < excess) b = b.next();
    if (b.isValid()) {
      c.setPosition(0);
      c.setPosition(b.position(), QTextCursor::KeepAnchor);
      c.removeSelectedText();
    } else {
      doc->clear();
    }
  }
  c.movePosition(QTextCursor::End);
  c.insertText(t);
  setTextCursor(c);
}

void ResultEdit::TakeBackExcess() {
  int excess = Length() - limit_;
  if (excess <= 0) return;
  // The text just entered ends at the cursor.
  QTextCursor c = textCursor();
  int from = c.position() - excess;
  c.setPosition(from < 0 ? 0 : from, QTextCursor::KeepAnchor);
  c.removeSelectedText();
  setTextCursor(c);
}

void ResultEdit::keyPressEvent(QKeyEvent *event) {
  QPlainTextEdit::keyPressEvent(event);
  TakeBackExcess();
}

void ResultEdit::insertFromMimeData(const QMimeData *source) {
  QPlainTextEdit::insertFromMimeData(source);
  TakeBackExcess();
}

void ResultEdit::inputMethodEvent(QInputMethodEvent *event) {
  QPlainTextEdit::inputMethodEvent(event);
  TakeBackExcess();
}
