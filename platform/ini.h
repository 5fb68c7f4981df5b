// Reading INI settings files the Windows way: sections and keys without regard
// to case, first match wins, blanks around names and values trimmed, one pair of
// surrounding quotes removed from string values, lines starting with ';'
// ignored, CR LF or LF. A UTF-8 file (with or without mark) is brought to
// Shift_JIS; values come back in Shift_JIS.
#pragma once

#include <cstddef>

// Integer value like atoi (sign, leading digits); def when the key is absent.
int IniGetInt(const char *file, const char *section, const char *key, int def);
// String value cut to cap-1 bytes (never splitting a Shift_JIS pair); def when
// the key is absent, "" when present and empty. Returns the bytes stored.
size_t IniGetString(const char *file, const char *section, const char *key, const char *def,
                    char *buf, size_t cap);

// One key and its new value (UTF-8 text) for IniSetValues.
struct IniValue {
  const char *key;
  const char *value;
};
// Writes n values into section of file, changing nothing else: a key's first
// line in the first section of that name gets the new value after its '='
// (the key as written, the line's end and every other line, comment and
// blank stay as they were); a key the section lacks goes after the
// section's last key, a section the file lacks at its end, a missing file is
// made. The file keeps its encoding (UTF-8, or Shift_JIS, where a character
// it cannot hold becomes '?'; UTF-16 with its mark) and its line ends; a
// value the reader would trim or unquote is written in quotes. The new file
// replaces the old one (its target, when it is a link) by a rename, with the
// old one's mode. 1 written; 0 not (the file is as it was).
int IniSetValues(const char *file, const char *section, const IniValue *values, size_t n);
