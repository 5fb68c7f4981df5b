// The Settings dialog (see settings_dialog.h).
#include "ui/settings_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFile>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QScrollArea>
#include <QSpinBox>
#include <QVBoxLayout>

#include "foundation/messages.h"
#include "foundation/settings.h"
#include "platform/codepage.h"
#include "platform/ini.h"
#include "ui/mainwindow.h"
#include "ui/qtext.h"

namespace {

SettingsHandler g_settings_handler;

// A text setting as the dialog shows it (the settings hold Shift_JIS).
QString Text(const char *sjis) {
  return FromSjis(sjis);
}

QLineEdit *Line(const char *sjis) {
  QLineEdit *e = new QLineEdit(Text(sjis));
  e->setMinimumWidth(320);
  return e;
}

QSpinBox *Spin(int value, int lo, int hi) {
  QSpinBox *s = new QSpinBox;
  s->setRange(lo, hi);
  s->setValue(value);
  return s;
}

QCheckBox *Check(int on, const char *text) {
  QCheckBox *c = new QCheckBox(UiText(text));
  c->setChecked(on != 0);
  return c;
}

}  // namespace

void SetSettingsHandler(SettingsHandler handler) {
  g_settings_handler = std::move(handler);
}

bool AskSettings(SettingsDialog *dialog) {
  if (g_settings_handler) {
    if (!g_settings_handler(dialog)) return false;
    dialog->accept();
    return dialog->result() == QDialog::Accepted;
  }
  return dialog->exec() == QDialog::Accepted;
}

SettingsDialog::SettingsDialog(QWidget *owner, const QString &file) : QDialog(owner), file_(file) {
  setObjectName(QStringLiteral("settingsDialog"));
  setWindowTitle(UiText("Settings"));
  const ST_CONFIG &c = g_config;
  QWidget *content = new QWidget;
  QVBoxLayout *groups = new QVBoxLayout(content);
  auto group = [&](const char *title) {
    QGroupBox *g = new QGroupBox(UiText(title));
    new QFormLayout(g);
    groups->addWidget(g);
    return g;
  };

  QGroupBox *analysis = group(N_("Analysis"));
  QComboBox *parser = new QComboBox;
  parser->addItem(UiText("0: the statement parser (fast, reads anything)"), 0);
  parser->addItem(UiText("1: the precise C and C++ parser (class scopes, slower)"), 1);
  parser->setCurrentIndex(c.PARSER ? 1 : 0);
  AddRow(analysis, "PARSER", parser,
         N_("Which parser reads the sources: the statement parser, good on C and quick; the "
            "precise one, for C++ whose class structure you follow."));
  AddRow(analysis, "EXACT_NAMES", Check(c.EXACT_NAMES, N_("Compare names by their text")),
         N_("1 compares names by their text, not by their 32-bit hash alone (a variable dir is "
            "then never read as asm)."));
  AddRow(analysis, "EXT", Line(c.EXT),
         N_("The extensions of the files collected from folders, separated by ';'."));
  AddRow(analysis, "JOBS", Spin(c.JOBS, 0, 64),
         N_("Analysis threads; 0 takes one per processor. Every output is the same whatever the "
            "number."));

  QGroupBox *graphs = group(N_("Graphs"));
  AddRow(graphs, "DISPLAY_GRAPH", Check(c.DISPLAY_GRAPH, N_("Render call trees with Graphviz")),
         N_("1 renders each call tree's graph with the renderer (DOT_EXE)."));
  AddRow(graphs, "GRAPH_IN_WINDOW", Check(c.GRAPH_IN_WINDOW, N_("The Graph tab is the viewer")),
         N_("1: the Graph tab shows the graphs, no viewer is started and no picture is left on the "
            "desktop (Save Picture As makes one); graph output is on whenever DOT_EXE exists."));
  AddRow(graphs, "DOT_EXE", Line(c.DOT_EXE), N_("The renderer, Graphviz's dot (/usr/bin/dot)."));
  QComboBox *format = new QComboBox;
  format->setEditable(true);
  format->addItems(
      {QStringLiteral("gif"), QStringLiteral("png"), QStringLiteral("svg"), QStringLiteral("jpg")});
  format->setCurrentText(Text(c.GRAPH_EXT));
  AddRow(graphs, "GRAPH_EXT", format,
         N_("The format (and extension) of the pictures FuncGraph[n]."));

  QGroupBox *programs = group(N_("Programs"));
  AddRow(programs, "EDITOR", Line(c.EDITOR),
         N_("The editor that view Function, view Source and Go to Definition start."));
  AddRow(programs, "EDITOR_CMD", Line(c.EDITOR_CMD),
         N_("The editor's arguments before the file, with the line number for %d (+%d, say)."));
  AddRow(programs, "GRAPH_VIEWER", Line(c.GRAPH_VIEWER),
         N_("The picture viewer; empty: the desktop's application for the picture's format."));
  AddRow(programs, "GRAPH_VIEWER_CMD", Line(c.GRAPH_VIEWER_CMD),
         N_("The viewer's command: the viewer for the first %s, the picture for the second."));

  QGroupBox *files = group(N_("Files and fonts"));
  AddRow(files, "OUTPUT_DIR", Line(c.OUTPUT_DIR),
         N_("Where result.txt, debug.txt and the pictures go; empty: the desktop folder. ~ and "
            "$XDG_STATE_HOME may be used."));
  AddRow(files, "FONT_SIZE_LV", Spin(c.FONT_SIZE_LV, 8, 48), N_("The lists' font size."));
  AddRow(files, "FONT_SIZE_TV", Spin(c.FONT_SIZE_TV, 8, 48), N_("The Result view's font size."));
  AddRow(files, "FONT_SIZE_EDIT", Spin(c.FONT_SIZE_EDIT, 8, 48),
         N_("The font size of the trees and the Source tab."));
  AddRow(files, "FONT_SIZE_TAB", Spin(c.FONT_SIZE_TAB, 8, 48), N_("The tabs' font size."));
  QComboBox *language = new QComboBox;
  language->setEditable(true);
  language->addItems({QStringLiteral("ja"), QStringLiteral("en"), QStringLiteral("auto")});
  language->setCurrentText(Text(c.UI_LANG));
  AddRow(files, "UI_LANG", language,
         N_("The language of the interface: ja (built in), en, auto (the locale's) or another "
            "code with a catalogue; it takes effect at the next start."));
  groups->addStretch(1);

  QScrollArea *scroll = new QScrollArea;
  scroll->setWidget(content);
  scroll->setWidgetResizable(true);
  scroll->setFrameShape(QFrame::NoFrame);
  QLabel *where = new QLabel(file.isEmpty() ? UiText("No settings file: built-in values")
                                            : UiText("Settings file: %1").arg(file));
  where->setObjectName(QStringLiteral("settingsFile"));
  where->setTextInteractionFlags(Qt::TextSelectableByMouse);
  where->setWordWrap(true);
  QLabel *when =
      new QLabel(UiText("Only the keys you change are written; they take effect at "
                        "the next job (analysis, tree or editor)."));
  when->setWordWrap(true);
  note_ = new QLabel;
  note_->setObjectName(QStringLiteral("settingsNote"));
  note_->setWordWrap(true);
  note_->setStyleSheet(QStringLiteral("color: #b00000"));
  note_->hide();
  QDialogButtonBox *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
  connect(buttons, &QDialogButtonBox::accepted, this, &SettingsDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  QVBoxLayout *layout = new QVBoxLayout(this);
  layout->addWidget(where);
  layout->addWidget(scroll, 1);
  layout->addWidget(when);
  layout->addWidget(note_);
  layout->addWidget(buttons);
  resize(640, 560);
  for (Field &f : fields_) f.initial = ValueOf(f);
}

void SettingsDialog::AddRow(QWidget *group, const char *key, QWidget *edit, const char *meaning) {
  QFormLayout *form = static_cast<QFormLayout *>(group->layout());
  QWidget *cell = new QWidget;
  QVBoxLayout *v = new QVBoxLayout(cell);
  v->setContentsMargins(0, 0, 0, 4);
  v->setSpacing(1);
  QLabel *what = new QLabel(UiText(meaning));
  what->setWordWrap(true);
  QFont small = what->font();
  small.setPointSizeF(small.pointSizeF() * 0.9);
  what->setFont(small);
  what->setStyleSheet(QStringLiteral("color: #505050"));
  v->addWidget(edit);
  v->addWidget(what);
  edit->setObjectName(QLatin1String(key));
  edit->setToolTip(UiText(meaning));
  QLabel *label = new QLabel(QLatin1String(key));
  label->setBuddy(edit);
  form->addRow(label, cell);
  fields_.push_back(Field{QLatin1String(key), edit, QString()});
}

QString SettingsDialog::ValueOf(const Field &f) const {
  if (QLineEdit *e = qobject_cast<QLineEdit *>(f.edit)) return e->text();
  if (QSpinBox *s = qobject_cast<QSpinBox *>(f.edit)) return QString::number(s->value());
  if (QCheckBox *c = qobject_cast<QCheckBox *>(f.edit))
    return QLatin1String(c->isChecked() ? "1" : "0");
  if (QComboBox *b = qobject_cast<QComboBox *>(f.edit))
    return b->isEditable() ? b->currentText() : b->currentData().toString();
  return QString();
}

const SettingsDialog::Field *SettingsDialog::FieldOf(const QString &key) const {
  for (const Field &f : fields_)
    if (f.key == key) return &f;
  return nullptr;
}

QStringList SettingsDialog::Keys() const {
  QStringList out;
  for (const Field &f : fields_) out << f.key;
  return out;
}

QString SettingsDialog::Value(const QString &key) const {
  const Field *f = FieldOf(key);
  return f ? ValueOf(*f) : QString();
}

bool SettingsDialog::SetValue(const QString &key, const QString &value) {
  const Field *f = FieldOf(key);
  if (!f) return false;
  if (QLineEdit *e = qobject_cast<QLineEdit *>(f->edit)) e->setText(value);
  if (QSpinBox *s = qobject_cast<QSpinBox *>(f->edit)) s->setValue(value.toInt());
  if (QCheckBox *c = qobject_cast<QCheckBox *>(f->edit)) c->setChecked(value.toInt() != 0);
  if (QComboBox *b = qobject_cast<QComboBox *>(f->edit)) {
    if (b->isEditable())
      b->setCurrentText(value);
    else
      b->setCurrentIndex(std::max(0, b->findData(value.toInt())));
  }
  return true;
}

QStringList SettingsDialog::Changed() const {
  QStringList out;
  for (const Field &f : fields_)
    if (ValueOf(f) != f.initial) out << f.key;
  return out;
}

int SettingsDialog::Save() {
  QStringList keys = Changed();
  if (keys.isEmpty()) return 1;
  if (file_.isEmpty()) return 0;
  std::vector<QByteArray> names, values;
  for (const QString &k : keys) {
    names.push_back(k.toLatin1());
    values.push_back(Value(k).toUtf8());
  }
  std::vector<IniValue> pairs;
  for (size_t i = 0; i < names.size(); i++)
    pairs.push_back(IniValue{names[i].constData(), values[i].constData()});
  return IniSetValues(QFile::encodeName(file_).constData(), "CONFIG", pairs.data(), pairs.size());
}

void SettingsDialog::accept() {
  if (!Save()) {
    note_->setText(file_.isEmpty() ? UiText("There is no settings file to write to.")
                                   : UiText("%1 cannot be written.").arg(file_));
    note_->show();
    return;  // the dialog stays, with what the user typed
  }
  QDialog::accept();
}
