// The Source tab: the source file of the selected function, read-only, in
// its own encoding, scrolled to the function with its name's line marked and
// its calls underlined (ui/source_view.h); a line naming the file and the
// function above it, and a search bar below it (Ctrl+F).
#pragma once

#include <QString>
#include <QWidget>

#include <memory>
#include <vector>

#include "ui/function_target.h"
#include "ui/source_view.h"

class QLabel;
class QLineEdit;

class SourcePage : public QWidget {
  Q_OBJECT
 public:
  explicit SourcePage(QWidget *parent = nullptr);

  SourceView *View() const { return view_; }
  // Shows the function a target stands for, from the open project's query
  // index: a function at its name, a call in its caller with that call made
  // the current one. 1 shown; 0 when there is nothing to show (no project, a
  // job running, a file that cannot be read: the page says so).
  int Show(const FunctionTarget &target);
  // The function shown (0, 0 when none).
  int ShownSid() const { return sid_; }
  int ShownFid() const { return fid_; }
  // What a call of the shown function stands for (its target, its place).
  FunctionTarget CallTarget(int index) const;
  // The call made current, or else the function shown.
  FunctionTarget Current() const;
  // Empties the page (a new project).
  void Clear(const QString &why = QString());
  QString Heading() const;
  // Ctrl+F: the search bar shown and focused.
  void OpenFind();
  QLineEdit *FindBox() const { return find_; }

 Q_SIGNALS:
  // A click on a call, a double-click (or Enter), its context menu.
  void CallChosen(const FunctionTarget &target);
  void CallActivated(const FunctionTarget &target);
  void CallMenu(const FunctionTarget &target, const QPoint &global);

 private:
  // The file at path (native), read once and kept until another is shown.
  std::shared_ptr<const SourceText> FileText(const QByteArray &path, QString *error);
  void FindNext(bool backward);

  QLabel *heading_;                         // file, encoding, function
  SourceView *view_;                        // the text
  QWidget *find_bar_;                       // the search bar
  QLineEdit *find_;                         // its text
  QLabel *find_note_;                       // "not found"
  int sid_ = 0, fid_ = 0;                   // the function shown
  std::vector<FunctionTarget> targets_;     // per call of view_, what it stands for
  std::shared_ptr<const SourceText> file_;  // the file shown
  qint64 file_size_ = -1;                   // its size and time when read
  qint64 file_time_ = 0;
};
