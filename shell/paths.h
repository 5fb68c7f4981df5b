// Path operations on NUL-terminated native paths that never split a Shift_JIS
// double-byte character: '/' separates, and so does a backslash unless the
// byte before it is a Shift_JIS lead byte (then it is the second half of a
// character). The separator these operations append is '/'. Buffers hold up
// to VELMORA_PATH_MAX bytes; an operation that would overflow its buffer
// refuses and leaves the path unchanged instead of cutting it.
#pragma once

#include <cstddef>

// 1 when path[i] separates path components (i must be inside the text).
int IsPathSeparatorAt(const char *path, size_t i);

// Cuts the text after the last separator, keeping the separator; a path
// without one is left unchanged. Returns path.
char *CutToFolder(char *path);

// The text after the last separator (a pointer into path); a path without a
// separator is its own file name; "" for an empty path or nullptr.
const char *FileNamePart(const char *path);

// Replaces the extension of the last path component: the text from its last
// '.' (not the component's first byte) becomes "." + ext, or is cut off when
// ext is empty; without such a dot "." + ext is appended (nothing for an empty
// ext). Returns the index where the dot now stands (the end of the text when
// there is none), or -1 when the result would not fit in cap bytes; the path
// is then unchanged.
long ReplaceExtension(char *path, size_t cap, const char *ext);

// Makes a non-empty path end in a separator by appending '/' unless it already
// ends in one. 1 done (or nothing to do), 0 when it would not fit (unchanged).
int AddTrailingBackslash(char *path, size_t cap);

// 1 when the extension of the file name at the end of name (the text after the
// last '.', cut at a '?', a leading '.' not counting) is one of the
// ';'-separated entries of extensions, compared without regard to ASCII case;
// an empty entry matches names without an extension. 0 otherwise.
int MatchExtension(const char *name, const char *extensions);

// Builds the path of a file named after the program: program_path with its
// extension removed (only when its file-name part has a dot), one trailing
// upper-case 'D' removed, then suffix appended (".ini", "ENH.ini", ".dot").
// 1 with the path in out, 0 when it does not fit (out is then "").
int SettingsPathFromProgram(const char *program_path, const char *suffix, char *out, size_t cap);
