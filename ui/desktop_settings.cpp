// The desktop program's memory between runs (see desktop_settings.h).
#include "ui/desktop_settings.h"

#include <QSettings>
#include <QVariant>

#include "foundation/ports.h"

namespace {

// Native format is the INI-like .conf file on Linux; the names put it in
// the folder of Velmora's other user files.
QSettings Store() {
  return QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("velmora"),
                   QStringLiteral("velmora-desktop"));
}

QString ColumnsKey(int list) {
  return list == VIEW_CALLS ? QStringLiteral("columns/callList")
                            : QStringLiteral("columns/functionList");
}

}  // namespace

QString DesktopSettingsFile() {
  return Store().fileName();
}

QList<QStringList> RecentPathSets() {
  QSettings s = Store();
  QList<QStringList> out;
  int n = s.beginReadArray(QStringLiteral("recent"));
  for (int i = 0; i < n && out.size() < kRecentSets; i++) {
    s.setArrayIndex(i);
    QStringList paths = s.value(QStringLiteral("paths")).toStringList();
    if (!paths.isEmpty()) out << paths;
  }
  s.endArray();
  return out;
}

void AddRecentPathSet(const QStringList &paths) {
  if (paths.isEmpty()) return;
  QList<QStringList> sets = RecentPathSets();
  sets.removeAll(paths);
  sets.prepend(paths);
  while (sets.size() > kRecentSets) sets.removeLast();
  QSettings s = Store();
  s.remove(QStringLiteral("recent"));
  s.beginWriteArray(QStringLiteral("recent"), (int)sets.size());
  for (int i = 0; i < sets.size(); i++) {
    s.setArrayIndex(i);
    s.setValue(QStringLiteral("paths"), sets[i]);
  }
  s.endArray();
}

QByteArray SavedGeometry() {
  return Store().value(QStringLiteral("window/geometry")).toByteArray();
}

QList<int> SavedColumnWidths(int list) {
  QList<int> out;
  const QVariantList v = Store().value(ColumnsKey(list)).toList();
  for (const QVariant &w : v) out << w.toInt();
  return out;
}

namespace {

QVariantList Widths(const QList<int> &widths) {
  QVariantList v;
  for (int w : widths) v << w;
  return v;
}

}  // namespace

unsigned SavedHandSizedColumns(int list) {
  return Store().value(ColumnsKey(list) + QStringLiteral("ByHand")).toUInt();
}

void SaveWindowState(const QByteArray &geometry, const QList<int> &function_widths,
                     const QList<int> &call_widths, unsigned function_hand, unsigned call_hand) {
  QSettings s = Store();  // written once, when it goes
  s.setValue(QStringLiteral("window/geometry"), geometry);
  s.setValue(ColumnsKey(VIEW_FUNCTIONS), Widths(function_widths));
  s.setValue(ColumnsKey(VIEW_CALLS), Widths(call_widths));
  s.setValue(ColumnsKey(VIEW_FUNCTIONS) + QStringLiteral("ByHand"), function_hand);
  s.setValue(ColumnsKey(VIEW_CALLS) + QStringLiteral("ByHand"), call_hand);
}

void ForgetDesktopSettings() {
  QSettings s = Store();
  s.clear();
  s.sync();
}
