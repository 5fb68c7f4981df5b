// Shift_JIS-aware path operations shared by start-up, the analyzer, graph
// output and the extension settings. Only the last path component carries an
// extension: program files on Linux usually have none, and a dot in a folder
// name must never cut a path short.
#include "shell/paths.h"

#include <cstring>

#include "foundation/text.h"
#include "platform/codepage.h"

namespace {

// Index of the last separator in the first len bytes, or -1.
long LastSeparator(const char *path, size_t len) {
  for (size_t i = len; i > 0; i--) {
    if (IsPathSeparatorAt(path, i - 1)) return static_cast<long>(i - 1);
  }
  return -1;
}

// Index of the dot that starts the extension of the last component, or -1.
// A dot at the component's first byte (a hidden file) starts no extension.
long ExtensionDot(const char *path, size_t len) {
  size_t name = static_cast<size_t>(LastSeparator(path, len) + 1);
  for (size_t i = len; i > name + 1; i--) {
    if (path[i - 1] == '.') return static_cast<long>(i - 1);
  }
  return -1;
}

unsigned char Upper(unsigned char c) {
  return (c >= 'a' && c <= 'z') ? c - 'a' + 'A' : c;
}

}  // namespace

int IsPathSeparatorAt(const char *path, size_t i) {
  if (path[i] == '/') return 1;
  if (path[i] != '\\') return 0;
  return (i == 0 || !IsSjisLead(static_cast<unsigned char>(path[i - 1]))) ? 1 : 0;
}

char *CutToFolder(char *path) {
  if (!path) return path;
  long sep = LastSeparator(path, std::strlen(path));
  if (sep >= 0) path[sep + 1] = 0;
  return path;
}

const char *FileNamePart(const char *path) {
  if (!path) return "";
  return path + (LastSeparator(path, std::strlen(path)) + 1);
}

long ReplaceExtension(char *path, size_t cap, const char *ext) {
  if (!path) return -1;
  if (!ext) ext = "";
  size_t len = std::strlen(path);
  size_t ext_len = std::strlen(ext);
  long dot = ExtensionDot(path, len);
  size_t at = dot >= 0 ? static_cast<size_t>(dot) : len;
  if (ext_len == 0) {
    path[at] = 0;
    return static_cast<long>(at);
  }
  if (at + 1 + ext_len + 1 > cap) return -1;
  path[at] = '.';
  CopyText(path + at + 1, cap - at - 1, ext);
  return static_cast<long>(at);
}

int AddTrailingBackslash(char *path, size_t cap) {
  if (!path) return 0;
  size_t len = std::strlen(path);
  if (len == 0 || IsPathSeparatorAt(path, len - 1)) return 1;
  if (len + 2 > cap) return 0;
  path[len] = '/';
  path[len + 1] = 0;
  return 1;
}

int MatchExtension(const char *name, const char *extensions) {
  if (!name || !extensions) return 0;
  const char *file = FileNamePart(name);
  size_t len = std::strlen(file);
  const char *query = std::strchr(file, '?');
  if (query) len = static_cast<size_t>(query - file);
  const char *ext = file + len;  // empty unless a dot is found
  for (size_t i = len; i > 1; i--) {
    if (file[i - 1] == '.') {
      ext = file + i;
      break;
    }
  }
  size_t ext_len = static_cast<size_t>(file + len - ext);

  const char *p = extensions;
  while (*p) {
    const char *end = std::strchr(p, ';');
    if (!end) end = p + std::strlen(p);
    size_t n = static_cast<size_t>(end - p);
    if (n == ext_len) {
      size_t k = 0;
      while (k < n && Upper(p[k]) == Upper(ext[k])) k++;
      if (k == n) return 1;
    }
    p = *end ? end + 1 : end;
  }
  return 0;
}

int SettingsPathFromProgram(const char *program_path, const char *suffix, char *out, size_t cap) {
  if (!out || cap == 0) return 0;
  out[0] = 0;
  if (!program_path || !suffix) return 0;
  size_t len = std::strlen(program_path);
  size_t name = static_cast<size_t>(LastSeparator(program_path, len) + 1);
  long dot = ExtensionDot(program_path, len);
  size_t base = dot >= 0 ? static_cast<size_t>(dot) : len;
  if (base > name && program_path[base - 1] == 'D') base--;
  size_t suffix_len = std::strlen(suffix);
  if (base + suffix_len + 1 > cap) return 0;
  CopyText(out, cap, program_path, static_cast<long>(base));
  CopyText(out + base, cap - base, suffix);
  return 1;
}
