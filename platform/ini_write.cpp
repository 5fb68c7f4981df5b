// Writing keys into an INI settings file (see ini.h): an edit of the file's
// own lines, so that a user's comments, order, spelling of keys and line
// ends survive, and a replacement by rename, so that the file is never seen
// half written.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/codepage.h"
#include "platform/files.h"
#include "platform/ini.h"

namespace {

enum class Coding { kUtf8, kSjis, kUtf16Le, kUtf16Be };

const int64_t kMaxIniBytes = 16 * 1024 * 1024;

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

std::string Convert(const char *from, const char *to, const std::string &s) {
  if (s.empty()) return s;
  for (size_t cap = 2 * s.size() + 16; cap <= 8 * s.size() + 64; cap *= 2) {
    std::string out(cap, '\0');
    long got = ConvertText(from, to, s.data(), s.size(), &out[0], cap);
    if (got >= 0) {
      out.resize((size_t)got);
      return out;
    }
  }
  return std::string();
}

// The file's text in an encoding whose ASCII bytes are ASCII (UTF-8 for
// UTF-16 files), and how to write it back.
Coding Decide(const std::string &raw, std::string *text, std::string *mark) {
  const unsigned char *s = (const unsigned char *)raw.data();
  size_t n = raw.size();
  mark->clear();
  if (n >= 2 && ((s[0] == 0xFF && s[1] == 0xFE) || (s[0] == 0xFE && s[1] == 0xFF))) {
    bool le = s[0] == 0xFF;
    *mark = raw.substr(0, 2);
    *text = Convert(le ? "UTF-16LE" : "UTF-16BE", "UTF-8", raw.substr(2, (n - 2) & ~size_t(1)));
    return le ? Coding::kUtf16Le : Coding::kUtf16Be;
  }
  if (n >= 3 && s[0] == 0xEF && s[1] == 0xBB && s[2] == 0xBF) {
    *mark = raw.substr(0, 3);
    *text = raw.substr(3);
    return Coding::kUtf8;
  }
  *text = raw;
  // As the reader decides: the first non-ASCII byte and what follows it.
  size_t i = 0;
  while (i < n && s[i] < 0x80) i++;
  if (i == n) return Coding::kUtf8;  // plain ASCII: new values in UTF-8
  int want = 0;
  for (int bit = 6; bit >= 0 && (s[i] >> bit) & 1; bit--) want++;
  if (want < 1) return Coding::kSjis;
  for (int k = 1; k <= want; k++)
    if (i + k >= n || (s[i + k] & 0xC0) != 0x80) return Coding::kSjis;
  return Coding::kUtf8;
}

// A value as written after '=': one line; quoted when the reader would
// otherwise trim its blanks or take off quotes it has.
std::string Written(std::string v) {
  for (char &c : v)
    if (c == '\r' || c == '\n') c = ' ';
  bool quote =
      !v.empty() &&
      (IsBlank(v.front()) || IsBlank(v.back()) ||
       ((v.front() == '"' || v.front() == '\'') && v.size() >= 2 && v.back() == v.front()));
  return quote ? "\"" + v + "\"" : v;
}

std::string Trimmed(const std::string &s, size_t from, size_t to) {
  while (from < to && IsBlank(s[from])) from++;
  while (to > from && IsBlank(s[to - 1])) to--;
  return s.substr(from, to - from);
}

bool SameAscii(const std::string &a, const char *b) {
  if (a.size() != strlen(b)) return false;
  for (size_t i = 0; i < a.size(); i++) {
    char x = a[i], y = b[i];
    if (x >= 'a' && x <= 'z') x = (char)(x - 32);
    if (y >= 'a' && y <= 'z') y = (char)(y - 32);
    if (x != y) return false;
  }
  return true;
}

struct Line {
  std::string body;  // without its end
  std::string end;   // "\r\n", "\n" or "" (the last line)
};

// Puts bytes at path by a new file beside it and a rename; mode for the new
// file. 1 done; 0 not (path unchanged).
int Replace(const std::string &path, const std::string &bytes, mode_t mode) {
  std::string tmp = path + ".XXXXXX";
  std::vector<char> name(tmp.begin(), tmp.end());
  name.push_back(0);
  int fd = mkstemp(name.data());
  if (fd < 0) return 0;
  bool ok = fchmod(fd, mode) == 0 && WriteFd(fd, bytes.data(), bytes.size()) && fsync(fd) == 0;
  ok = close(fd) == 0 && ok;
  if (ok && rename(name.data(), path.c_str()) == 0) return 1;
  unlink(name.data());
  return 0;
}

}  // namespace

int IniSetValues(const char *file, const char *section, const IniValue *values, size_t n) {
  if (!file || !*file || !section || (!values && n)) return 0;
  // A link is kept: its target is what changes.
  std::string path = file;
  char real[PATH_MAX];
  struct stat st;
  mode_t mode = 0644;
  std::string raw;
  if (lstat(file, &st) == 0) {
    if (realpath(file, real)) path = real;
    if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return 0;
    mode = st.st_mode & 07777;
    int64_t size = FileSizeForRead(path.c_str());
    if (size < 0 || size > kMaxIniBytes) return 0;
    raw.assign((size_t)size, '\0');
    int64_t got = size ? ReadFileInto(path.c_str(), &raw[0], size) : 0;
    if (got < 0) return 0;
    raw.resize((size_t)got);
  }
  std::string text, mark;
  Coding coding = Decide(raw, &text, &mark);
  std::vector<Line> lines;
  for (size_t at = 0; at < text.size();) {
    size_t nl = text.find('\n', at);
    Line l;
    if (nl == std::string::npos) {
      l.body = text.substr(at);
      at = text.size();
    } else {
      size_t end = nl > at && text[nl - 1] == '\r' ? nl - 1 : nl;
      l.body = text.substr(at, end - at);
      l.end = text.substr(end, nl + 1 - end);
      at = nl + 1;
    }
    lines.push_back(l);
  }
  std::string eol = "\n";
  for (const Line &l : lines)
    if (!l.end.empty()) {
      eol = l.end;
      break;
    }
  // The section: its heading line and where its last key line is.
  int head = -1, last_key = -1, end_of_section = (int)lines.size();
  for (int i = 0; i < (int)lines.size(); i++) {
    std::string t = Trimmed(lines[i].body, 0, lines[i].body.size());
    if (t.empty() || t[0] != '[') continue;
    size_t close = t.find(']', 1);
    std::string name = Trimmed(t, 1, close == std::string::npos ? t.size() : close);
    if (head >= 0) {
      end_of_section = i;
      break;
    }
    if (SameAscii(name, section)) head = i;
  }
  auto encode = [&](const std::string &utf8) {
    return coding == Coding::kSjis ? Utf8ToSjis(utf8) : utf8;
  };
  std::vector<Line> added;
  for (size_t k = 0; k < n; k++) {
    if (!values[k].key) return 0;
    std::string value = encode(Written(values[k].value ? values[k].value : ""));
    bool done = false;
    for (int i = head + 1; head >= 0 && i < end_of_section && !done; i++) {
      std::string &b = lines[i].body;
      size_t eq = b.find('=');
      std::string t = Trimmed(b, 0, b.size());
      if (eq == std::string::npos || t.empty() || t[0] == ';') continue;
      last_key = i;
      if (!SameAscii(Trimmed(b, 0, eq), values[k].key)) continue;
      b = b.substr(0, eq + 1) + value;
      done = true;
    }
    if (!done) added.push_back(Line{std::string(values[k].key) + "=" + value, eol});
  }
  if (!added.empty()) {
    if (head < 0) {
      if (!lines.empty() && lines.back().end.empty()) lines.back().end = eol;
      lines.push_back(Line{"[" + std::string(section) + "]", eol});
      lines.insert(lines.end(), added.begin(), added.end());
    } else {
      for (int i = head + 1; i < end_of_section; i++) {
        size_t eq = lines[i].body.find('=');
        std::string t = Trimmed(lines[i].body, 0, lines[i].body.size());
        if (eq != std::string::npos && !t.empty() && t[0] != ';') last_key = i;
      }
      int at = (last_key >= 0 ? last_key : head) + 1;
      if (lines[at - 1].end.empty()) lines[at - 1].end = eol;
      lines.insert(lines.begin() + at, added.begin(), added.end());
    }
  }
  std::string out;
  for (const Line &l : lines) out += l.body + l.end;
  if (coding == Coding::kUtf16Le || coding == Coding::kUtf16Be)
    out = Convert("UTF-8", coding == Coding::kUtf16Le ? "UTF-16LE" : "UTF-16BE", out);
  return Replace(path, mark + out, mode);
}
