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
