// What the desktop program remembers between runs, apart from the settings
// file it reads: the window's place and size, the widths of the list columns
// and the last sets of paths analysed. Kept with QSettings in the user's
// config folder (${XDG_CONFIG_HOME:-~/.config}/velmora/velmora-desktop.conf),
// never beside the program and never in velmora.ini, which the program only
// reads.
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

// Sets of paths kept in "Recent".
enum { kRecentSets = 8 };

// The file the values live in.
QString DesktopSettingsFile();
// The recent sets of paths, newest first (at most kRecentSets).
QList<QStringList> RecentPathSets();
// Puts a set of paths first; the same set further down goes, the oldest
// beyond kRecentSets too. An empty set is ignored.
void AddRecentPathSet(const QStringList &paths);
// The window's saved geometry (QWidget::saveGeometry), empty before the
// first run.
QByteArray SavedGeometry();
// Widths of the columns of a list (VIEW_FUNCTIONS or VIEW_CALLS), empty
// before the first run.
QList<int> SavedColumnWidths(int list);
// The columns of a list whose width the user set by hand (bit c for column
// c), 0 before the first run.
unsigned SavedHandSizedColumns(int list);
// Keeps the window's geometry, the widths of both lists' columns and which
// of them the user sized by hand (masks per list), with one write of the
// file (closing the window).
void SaveWindowState(const QByteArray &geometry, const QList<int> &function_widths,
                     const QList<int> &call_widths, unsigned function_hand, unsigned call_hand);
// Forgets everything (tests start from a first run).
void ForgetDesktopSettings();
