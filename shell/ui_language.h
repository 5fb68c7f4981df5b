// The language of the interface: the setting UI_LANG (or velmora-cli's
// --lang) resolved to a language, its catalogue found relative to the
// program and put in force for the messages (foundation/messages.h).
//
// Values: "ja" (built in: the program's own texts, no catalogue), "en", any
// other language code of the form xx or xx_YY with a catalogue, or "auto":
// the language of the locale (LC_ALL, then LC_MESSAGES, then LANG, the first
// one set), Japanese where that is Japanese or names no language (unset, C,
// POSIX), otherwise its own catalogue when there is one, else English.
//
// Catalogues are looked for in <program folder>/locale (a build folder, a
// portable copy) and then in the installed locale folder relative to the
// program (../share/locale), as <folder>/<code>/LC_MESSAGES/velmora.mo, the
// code first as given (pt_BR) and then without its territory (pt). A
// language whose catalogue is missing shows the built-in texts.
#pragma once

#include <cstddef>

// 1 when value is a UI_LANG value the program understands (see above; case
// does not matter), else 0.
int UiLanguageValid(const char *value);

// The language value names for the program at program_path: "ja", or the
// code whose catalogue is to be looked for ("auto" resolved). An invalid
// value gives "ja". Writes at most cap-1 bytes into code.
void ResolveUiLanguage(const char *value, const char *program_path, char *code, size_t cap);

// The catalogue of language code for the program at program_path: 1 with its
// path in out, 0 when there is none (out "").
int FindCatalogue(const char *program_path, const char *code, char *out, size_t cap);

// Puts the language of value in force for the program at program_path: its
// catalogue loaded, or none for "ja", an invalid value or a missing or broken
// catalogue. Main thread, before other threads use the messages. 1 when a
// catalogue is in force afterwards, 0 when the built-in texts show.
int UseUiLanguage(const char *program_path, const char *value);
