// The three small windows beside the main window: the progress window of an
// analysis job, the wait box of a call-tree job, and the About box. Their
// layouts are given in dialog units and converted with the metrics of each
// dialog's own font, as dialog templates are.
#pragma once

#include <QDialog>
#include <QFont>
#include <QRect>
#include <QStringList>
#include <QWidget>

#include <cstdint>

class QLabel;
class QProgressBar;
class QPushButton;
class QTimer;

// Dialog units of one font to pixels.
struct DialogUnits {
  explicit DialogUnits(const QFont &font);
  QRect Rect(int x, int y, int w, int h) const;
  int base_x;  // average character width in pixels
  int base_y;  // character height in pixels
};

// The progress window: phase caption, pass and detail lines, two bars.
class ProgressWindow : public QWidget {
  Q_OBJECT
 public:
  // A new window showing caption phase, "PASS : ", an empty detail, bars at 0.
  ProgressWindow(QWidget *owner, int phase);

  void SetFunctionPos(int percent);  // "Function : " bar
  void SetSourcePos(int percent);    // "Source : " bar
  void SetPass(int n);               // "PASS : %d"
  // Shows at most 63 bytes of the Shift_JIS text, never half a character.
  void SetDetail(const char *sjis);
  void SetPhase(int k);  // caption k, empty for unknown k
  // Ends the window for good (the user cannot close it).
  void Finish();

  QString PhaseText() const;
  QString PassText() const;
  QString DetailText() const;
  int FunctionPos() const;
  int SourcePos() const;
  // The caption of phase k.
  static QString PhaseCaption(int k);
  QPushButton *StopButton() const { return stop_; }

 Q_SIGNALS:
  // The Stop button: the job is to stop as Escape stops it.
  void StopAsked();

 protected:
  void closeEvent(QCloseEvent *event) override;

 private:
  QLabel *phase_;           // 1001
  QLabel *pass_;            // 1003
  QLabel *detail_;          // 1004
  QProgressBar *function_;  // 1000
  QProgressBar *source_;    // 1002
  QPushButton *stop_;       // Stop, below the bars
  bool finishing_ = false;  // a close from Finish, not from the user
};

// The wait box: a message and the seconds since it opened, a Stop button,
// and the answers to the question before a large render while it is asked.
class WaitBoxWindow : public QWidget {
  Q_OBJECT
 public:
  WaitBoxWindow(QWidget *owner, const QString &text);

  // A new message; a question asked before is over.
  void SetText(const QString &text);
  // The question before a large render: its text, with Render and Leave
  // unrendered offered until the next SetText.
  void AskToRender(const QString &question);
  // 1 while the question's answers are offered.
  int Asking() const;
  QPushButton *StopButton() const { return stop_; }
  QPushButton *RenderButton() const { return render_; }
  QPushButton *LeaveButton() const { return leave_; }
  // Recomputes the seconds from the tick count now (called twice a second).
  void Tick(uint32_t now);
  // Makes the box count from start (tests).
  void SetStart(uint32_t start) { start_ = start; }
  void Finish();

  QString Text() const;
  // 1 when every line of the text shows.
  int TextFits() const;
  QString SecondsText() const;
  unsigned Seconds() const { return elapsed_; }
  // Colour of the seconds for an elapsed time: green, yellow from 60 s, red from 300 s.
  static QColor SecondsColour(unsigned elapsed);
  QColor ShownColour() const;

 Q_SIGNALS:
  void StopAsked();    // Stop: as Escape
  void RenderAsked();  // Render: as Enter to the question
  void LeaveAsked();   // Leave unrendered: as Escape to the question

 protected:
  void closeEvent(QCloseEvent *event) override;

 private:
  // Places the buttons under the row of the seconds and sizes the box.
  void PlaceButtons(int grow);
  QLabel *text_;            // 1001
  QPushButton *stop_;       // Stop
  QPushButton *render_;     // Render (while asked)
  QPushButton *leave_;      // Leave unrendered (while asked)
  QLabel *seconds_;         // 1008
  QLabel *lower_[3];        // the row under the text: "About", 1008, "[sec]"
  int lower_top_[3];        // their places in the designed layout
  int text_height_;         // designed height of 1001
  int box_height_;          // designed height of the box
  int box_width_;           // designed width of the box
  QTimer *timer_;           // 500 ms refresh
  uint32_t start_;          // tick count at creation
  unsigned elapsed_ = 0;    // whole seconds shown
  bool finishing_ = false;  // a close from Finish, not from the user
};

// The About box (modal).
class AboutBox : public QDialog {
  Q_OBJECT
 public:
  explicit AboutBox(QWidget *owner);
  QString ProductText() const;
  // The line under it: whether this build has the precise parser.
  QString NoteText() const;
  // "Velmora Ver 0.10\nbuild 20081211".
  static QString ProductLine();
  // A close request ends the box like OK, with result 1.
  void reject() override { done(1); }

 private:
  QLabel *product_;  // 1006
  QLabel *note_;     // what this build holds
};

// The legend of the list colours (Help menu).
class ColourLegend : public QDialog {
  Q_OBJECT
 public:
  explicit ColourLegend(QWidget *owner);
  // The colours and what they mean, one line each ("#rrggbb meaning").
  QStringList Lines() const;
};

// Moves box over the middle of owner (or of the left 60 % and top 70 % of the
// screen when there is no owner).
void CenterOver(QWidget *owner, QWidget *box);
