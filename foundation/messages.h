// The message catalogue: the program's own texts (warnings, status lines,
// progress, menus, dialogs, velmora-cli's messages) in the user's language.
// A text is looked up by the text the program shows without a catalogue, the
// Japanese (or English) original, and comes back translated; a text without
// a translation, or any text while no catalogue is in force, comes back as
// it is, so the program without catalogues speaks exactly as it always did.
// Results, lists, trees, log files and settings keys never pass through here.
//
// Catalogues are GNU gettext's compiled .mo files, made by msgfmt from the
// .po files in po/ (UTF-8). Keys and translations are kept in both encodings
// the program uses: Shift_JIS for the texts of the lower layers (converted
// once, when the catalogue is loaded) and UTF-8 for the fronts, so a lookup
// is one hash of the key and nothing is converted per call.
//
// One catalogue is in force for the whole process. It is put in force at
// start-up, before any thread but the main one runs, and only read after
// that; a lookup takes no lock.
#pragma once

#include <cstddef>

// Marks a text for the catalogue where it is defined apart from the place
// that shows it (a constant, a table): it is still the text itself, looked up
// with Msg or MsgUtf8 where it is shown. Tools that gather the texts of the
// code (xgettext) look for this mark and for the calls below.
#define N_(text) text

// The translation of a Shift_JIS text, in Shift_JIS (characters that
// Shift_JIS cannot hold show as '?'); sjis itself when no catalogue is in
// force or the catalogue has no translation for it. nullptr gives nullptr.
// A translation lives until the catalogue is replaced or cleared.
const char *Msg(const char *sjis);
// The same for a UTF-8 text, translated into UTF-8.
const char *MsgUtf8(const char *utf8);

// Puts the catalogue held in bytes (a .mo file, either byte order) in force,
// replacing the one before. Entries without a translation, plural entries
// and translations whose placeholders differ from their key's (printf
// conversions, or Qt's %1 %2 ...) are left out, so such a text shows its
// original. 1 done; 0 when bytes are no catalogue of UTF-8 texts, and the
// catalogue in force before stays.
int MessagesLoad(const void *bytes, size_t n);
// No catalogue: every text shows as it is.
void MessagesClear(void);
// Number of translations in force (0 without a catalogue).
int MessagesCount(void);
