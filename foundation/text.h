// The one bounded copy into fixed text fields, and a bounded formatter.
// Nothing in the system uses strcpy, strcat or sprintf: every copy into a
// fixed buffer goes through these, so a long input is cut, never overrun.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <string>

// Copies at most cap-1 bytes of src (stopping at its NUL, or after n bytes when
// n >= 0) into dst and always terminates it. With sjis_safe nonzero a cut never
// leaves half of a Shift_JIS pair at the end. Returns the bytes copied.
// cap 0 writes nothing.
size_t CopyText(char *dst, size_t cap, const char *src, long n = -1, int sjis_safe = 0);

// snprintf into dst, cut to cap-1 bytes and terminated. Returns the bytes written.
size_t FormatText(char *dst, size_t cap, const char *format, ...)
    __attribute__((format(printf, 3, 4)));

// FormatText with a va_list (for formatters of other modules).
size_t FormatTextV(char *dst, size_t cap, const char *format, va_list args);

// snprintf into a string of whatever length the text needs (messages that
// carry a path or a name, commands); "" for a null format or an error.
std::string FormatString(const char *format, ...) __attribute__((format(printf, 1, 2)));
