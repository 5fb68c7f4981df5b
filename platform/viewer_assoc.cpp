// Default application lookup over the freedesktop MIME association files.
#include "platform/viewer_assoc.h"

#include <fstream>
#include <vector>

#include "platform/sys.h"

namespace {

std::string Trim(const std::string &s) {
  size_t b = s.find_first_not_of(" \t\r");
  if (b == std::string::npos) return std::string();
  size_t e = s.find_last_not_of(" \t\r");
  return s.substr(b, e - b + 1);
}

std::vector<std::string> SplitList(const std::string &s, char sep) {
  std::vector<std::string> out;
  size_t start = 0;
  while (start <= s.size()) {
    size_t end = s.find(sep, start);
    if (end == std::string::npos) end = s.size();
    std::string part = Trim(s.substr(start, end - start));
    if (!part.empty()) out.push_back(part);
    start = end + 1;
  }
  return out;
}

std::string EnvOr(const char *name, const std::string &fallback) {
  const char *v = GetEnv(name);
  return v && *v ? std::string(v) : fallback;
}

std::string Home() {
  return EnvOr("HOME", std::string());
}

std::vector<std::string> ConfigDirs() {
  std::vector<std::string> dirs;
  dirs.push_back(EnvOr("XDG_CONFIG_HOME", Home() + "/.config"));
  for (const std::string &d : SplitList(EnvOr("XDG_CONFIG_DIRS", "/etc/xdg"), ':'))
    dirs.push_back(d);
  return dirs;
}

std::vector<std::string> ApplicationDirs() {
  std::vector<std::string> dirs;
  dirs.push_back(EnvOr("XDG_DATA_HOME", Home() + "/.local/share") + "/applications");
  for (const std::string &d : SplitList(EnvOr("XDG_DATA_DIRS", "/usr/local/share:/usr/share"), ':'))
    dirs.push_back(d + "/applications");
  return dirs;
}

// The value of key in [section] of a desktop-style file ("" when absent);
// the first occurrence counts.
std::string ReadKey(const std::string &path, const std::string &section, const std::string &key) {
  std::ifstream in(path);
  if (!in) return std::string();
  std::string line;
  bool inside = false;
  while (std::getline(in, line)) {
    std::string t = Trim(line);
    if (t.empty() || t[0] == '#') continue;
    if (t[0] == '[') {
      inside = t == "[" + section + "]";
      continue;
    }
    if (!inside) continue;
    size_t eq = t.find('=');
    if (eq == std::string::npos) continue;
    if (Trim(t.substr(0, eq)) == key) return Trim(t.substr(eq + 1));
  }
  return std::string();
}

// The escapes of a desktop-entry string value.
std::string Unescape(const std::string &v) {
  std::string out;
  for (size_t i = 0; i < v.size(); i++) {
    if (v[i] != '\\' || i + 1 >= v.size()) {
      out.push_back(v[i]);
      continue;
    }
    char c = v[++i];
    out.push_back(c == 's' ? ' ' : c == 'n' ? '\n' : c == 't' ? '\t' : c == 'r' ? '\r' : c);
  }
  return out;
}

// The Exec line of desktop id, searched in the applications folders; a
// "vendor-name.desktop" id may also live at "vendor/name.desktop".
std::string ExecOf(const std::string &id, const std::vector<std::string> &appDirs) {
  std::vector<std::string> names{id};
  std::string sub = id;
  for (size_t i = 0; i < sub.size(); i++)
    if (sub[i] == '-') {
      sub[i] = '/';
      names.push_back(sub);
    }
  for (const std::string &dir : appDirs)
    for (const std::string &name : names) {
      std::string exec = ReadKey(dir + "/" + name, "Desktop Entry", "Exec");
      if (!exec.empty()) return Unescape(exec);
    }
  return std::string();
}

int FromList(const std::string &ids, const std::vector<std::string> &appDirs, std::string *out) {
  for (const std::string &id : SplitList(ids, ';')) {
    std::string exec = ExecOf(id, appDirs);
    if (exec.empty()) continue;
    *out = ExecToTemplate(exec);
    if (!out->empty()) return 1;
  }
  return 0;
}

}  // namespace

std::string ExecToTemplate(const std::string &exec) {
  std::string out;
  for (size_t i = 0; i < exec.size(); i++) {
    if (exec[i] != '%') {
      out.push_back(exec[i]);
      continue;
    }
    char c = i + 1 < exec.size() ? exec[i + 1] : 0;
    if (c == 'f' || c == 'F' || c == 'u' || c == 'U') {
      out += "%s";
      return Trim(out);
    }
    if (c == '%') out += "%%";
    i++;  // other field codes are dropped with their letter
  }
  return Trim(out);
}

int DefaultAppCommand(const char *mime, std::string *out) {
  if (!out) return 0;
  out->clear();
  if (!mime || !*mime) return 0;
  std::vector<std::string> appDirs = ApplicationDirs();
  std::vector<std::string> lists;
  for (const std::string &d : ConfigDirs()) lists.push_back(d + "/mimeapps.list");
  for (const std::string &d : appDirs) lists.push_back(d + "/mimeapps.list");
  for (const std::string &file : lists)
    if (FromList(ReadKey(file, "Default Applications", mime), appDirs, out)) return 1;
  for (const std::string &d : appDirs)
    if (FromList(ReadKey(d + "/mimeinfo.cache", "MIME Cache", mime), appDirs, out)) return 1;
  out->clear();
  return 0;
}
