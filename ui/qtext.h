// Text crossing between the system (Shift_JIS bytes) and Qt (UTF-16). Most of
// what the views show is plain ASCII (numbers, identifiers), which skips the
// converter entirely.
#pragma once

#include <QString>
#include <string>

// The Shift_JIS text as a QString; nullptr gives an empty string.
QString FromSjis(const char *sjis);
QString FromSjis(const std::string &sjis);
// One of the program's own texts (UTF-8, as written in the code) in the
// language in force: its translation from the message catalogue, or the text
// itself (foundation/messages.h). Data (names, paths, list cells) never goes
// through here.
QString UiText(const char *utf8);
// The same for a Shift_JIS text of the lower layers (a status text of the
// settings, say).
QString UiTextSjis(const char *sjis);
// The QString as Shift_JIS bytes (characters it cannot hold become '?').
std::string ToSjis(const QString &text);
// The number at the start of a cell text, read the way atoi reads it
// (blanks, a sign, leading digits; no digits gives 0).
int CellNumber(const char *text);
