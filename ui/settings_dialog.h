// The Settings dialog (File menu): the keys of velmora.ini that users change,
// each with what it means, and the settings file's path. OK writes the keys
// whose values were changed, and only those, into that file (its other
// lines, comments and order stay); the program reads it again before its
// next job.
#pragma once

#include <QDialog>
#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

class QLabel;
class QWidget;

class SettingsDialog : public QDialog {
  Q_OBJECT
 public:
  // The values of the settings in force; file is the settings file ("":
  // none, nothing can be written).
  SettingsDialog(QWidget *owner, const QString &file);

  // The keys offered, in the dialog's order.
  QStringList Keys() const;
  // The value of a key as the dialog holds it (a number as its digits).
  QString Value(const QString &key) const;
  // Sets a key's value as the user would (tests); false for a key not offered.
  bool SetValue(const QString &key, const QString &value);
  // The keys whose value differs from the value the dialog opened with.
  QStringList Changed() const;
  // Writes the changed keys into the file: 1 written (or nothing to write),
  // 0 when the file cannot be written (it is then as it was).
  int Save();
  QString File() const { return file_; }

  void accept() override;

 private:
  struct Field {
    QString key;      // settings key
    QWidget *edit;    // its editor: line, spin box, check box or combo box
    QString initial;  // the value it opened with
  };
  // Adds the row of one key to the group's form.
  void AddRow(QWidget *group, const char *key, QWidget *edit, const char *meaning);
  QString ValueOf(const Field &f) const;
  const Field *FieldOf(const QString &key) const;

  QString file_;               // settings file
  std::vector<Field> fields_;  // every key offered
  QLabel *note_ = nullptr;     // why nothing can be written, when so
};

// The dialog's OK as tests answer it: returns true to accept with the values
// set in the dialog (it may change them first), false for Cancel. Empty: the
// real dialog is shown.
typedef std::function<bool(SettingsDialog *dialog)> SettingsHandler;
void SetSettingsHandler(SettingsHandler handler);
// Shows the dialog (or hands it to the handler); true when it was accepted.
bool AskSettings(SettingsDialog *dialog);
