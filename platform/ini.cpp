// Reader for INI settings files with the rules users of the Windows profile
// functions rely on: case-blind sections and keys, first match wins, trimmed
// names and values, one pair of surrounding quotes dropped, ';' comment lines,
// CR LF or LF. The file is brought to Shift_JIS once (UTF-8 with or without a
// mark, UTF-16 with a mark) and the parsed form is kept, keyed by path, change
// time and size, so start-up can ask for dozens of keys without rereading.
#include "platform/ini.h"

#include <sys/stat.h>

#include <cstdint>
#include <cstring>
#include <limits>
#include <mutex>
#include <string>
#include <vector>

#include "platform/codepage.h"
#include "platform/files.h"

namespace {

// Largest settings file read; anything longer is not a settings file.
const int64_t kMaxIniBytes = 16 * 1024 * 1024;

struct IniEntry {
  std::string key;    // trimmed key name
  std::string value;  // trimmed value, quotes still on
};

struct IniSection {
  std::string name;               // trimmed section name
  std::vector<IniEntry> entries;  // in file order
};

// The one parsed file kept between calls.
struct IniCache {
  std::mutex lock;                   // callers may come from any thread
  bool valid = false;                // the fields below describe a parsed file
  std::string path;                  // path it was read from
  int64_t mtime_ns = 0;              // change time when it was read
  int64_t size = -1;                 // size when it was read
  std::vector<IniSection> sections;  // parsed content, in file order
};

IniCache &Cache() {
  static IniCache cache;
  return cache;
}

unsigned char Fold(unsigned char c) {
  return (c >= 'a' && c <= 'z') ? c - 'a' + 'A' : c;
}

// Case-blind equality of two Shift_JIS names: ASCII letters fold, the two bytes
// of a double-byte character compare as they are.
bool SameName(const std::string &a, const char *b) {
  size_t n = std::strlen(b);
  if (a.size() != n) return false;
  for (size_t i = 0; i < n; i++) {
    unsigned char x = a[i], y = b[i];
    if (IsSjisLead(x) && i + 1 < n) {
      if (x != y || a[i + 1] != b[i + 1]) return false;
      i++;
      continue;
    }
    if (Fold(x) != Fold(y)) return false;
  }
  return true;
}

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

std::string Trim(const char *p, size_t n) {
  size_t b = 0, e = n;
  while (b < e && IsBlank(p[b])) b++;
  while (e > b && IsBlank(p[e - 1])) e--;
  return std::string(p + b, e - b);
}

// The first non-ASCII byte decides, as for source files: a lead byte followed by
// as many continuation bytes as its leading one bits announce means UTF-8.
bool LooksUtf8(const unsigned char *s, size_t n) {
  size_t i = 0;
  while (i < n && s[i] < 0x80) i++;
  if (i == n) return false;
  unsigned char b = s[i];
  int want = 0;
  for (int bit = 6; bit >= 0 && (b >> bit) & 1; bit--) want++;
  if (want < 1) return false;
  for (int k = 1; k <= want; k++) {
    if (i + k >= n || (s[i + k] & 0xC0) != 0x80) return false;
  }
  return true;
}

// Converts bytes in the encoding `from` to Shift_JIS; invalid input becomes '?'.
std::string ToSjis(const char *from, const unsigned char *s, size_t n) {
  if (n == 0) return std::string();
  // Shift_JIS never needs more bytes than UTF-8 or UTF-16 for the same text;
  // the retry only guards against a converter that disagrees.
  for (size_t cap = n + 16; cap <= 4 * n + 64; cap *= 2) {
    std::string out(cap, '\0');
    long got = ConvertText(from, "CP932", s, n, &out[0], cap);
    if (got >= 0) {
      out.resize(static_cast<size_t>(got));
      return out;
    }
  }
  return std::string();
}

std::string DecodeToSjis(const std::vector<unsigned char> &raw) {
  const unsigned char *s = raw.data();
  size_t n = raw.size();
  if (n >= 2 && s[0] == 0xFF && s[1] == 0xFE)
    return ToSjis("UTF-16LE", s + 2, (n - 2) & ~size_t(1));
  if (n >= 2 && s[0] == 0xFE && s[1] == 0xFF)
    return ToSjis("UTF-16BE", s + 2, (n - 2) & ~size_t(1));
  if (n >= 3 && s[0] == 0xEF && s[1] == 0xBB && s[2] == 0xBF) return ToSjis("UTF-8", s + 3, n - 3);
  if (LooksUtf8(s, n)) return ToSjis("UTF-8", s, n);
  return std::string(reinterpret_cast<const char *>(s), n);
}

void Parse(const std::string &text, std::vector<IniSection> *out) {
  out->clear();
  IniSection *current = nullptr;  // keys before the first section belong nowhere
  size_t pos = 0, n = text.size();
  while (pos < n) {
    size_t end = pos;
    while (end < n && text[end] != '\n' && text[end] != '\r') end++;
    std::string line = Trim(text.data() + pos, end - pos);
    pos = end;
    if (pos < n && text[pos] == '\r') pos++;
    if (pos < n && text[pos] == '\n') pos++;

    if (line.empty() || line[0] == ';') continue;
    if (line[0] == '[') {
      size_t close = line.find(']', 1);
      if (close == std::string::npos) close = line.size();
      out->push_back(IniSection());
      out->back().name = Trim(line.data() + 1, close - 1);
      current = &out->back();
      continue;
    }
    size_t eq = line.find('=');
    if (eq == std::string::npos || !current) continue;
    IniEntry e;
    e.key = Trim(line.data(), eq);
    e.value = Trim(line.data() + eq + 1, line.size() - eq - 1);
    current->entries.push_back(std::move(e));
  }
}

// Brings the cache up to date for file. False when the file cannot be read.
bool Refresh(IniCache &c, const char *file) {
  struct stat st;
  if (!file || !*file || stat(file, &st) != 0 || !S_ISREG(st.st_mode)) return false;
  int64_t mtime = int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
  if (c.valid && c.path == file && c.mtime_ns == mtime && c.size == int64_t(st.st_size)) {
    return true;
  }
  c.valid = false;
  int64_t size = FileSizeForRead(file);
  if (size < 0 || size > kMaxIniBytes) return false;
  std::vector<unsigned char> raw(static_cast<size_t>(size) + 1);
  int64_t got = ReadFileInto(file, raw.data(), size);
  if (got < 0) return false;
  raw.resize(static_cast<size_t>(got));
  Parse(DecodeToSjis(raw), &c.sections);
  c.path = file;
  c.mtime_ns = mtime;
  c.size = st.st_size;
  c.valid = true;
  return true;
}

// The raw value of the key, or nullptr. Only the first section of that name is
// searched, and in it the first key of that name counts.
const std::string *Find(const IniCache &c, const char *section, const char *key) {
  if (!section || !key) return nullptr;
  for (const IniSection &s : c.sections) {
    if (!SameName(s.name, section)) continue;
    for (const IniEntry &e : s.entries) {
      if (SameName(e.key, key)) return &e.value;
    }
    return nullptr;
  }
  return nullptr;
}

// Drops one pair of matching surrounding quotes.
void Unquote(const std::string &v, const char **p, size_t *n) {
  *p = v.data();
  *n = v.size();
  if (*n >= 2 && (v[0] == '"' || v[0] == '\'') && v[*n - 1] == v[0]) {
    *p += 1;
    *n -= 2;
  }
}

// Copies at most cap-1 bytes, never ending on the first half of a pair.
size_t Store(char *buf, size_t cap, const char *src, size_t n) {
  if (!buf || cap == 0) return 0;
  size_t k = 0;
  while (k < n && k + 1 < cap) {
    if (IsSjisLead(static_cast<unsigned char>(src[k])) && k + 1 < n) {
      if (k + 2 >= cap) break;
      k += 2;
    } else {
      k++;
    }
  }
  std::memcpy(buf, src, k);
  buf[k] = 0;
  return k;
}

// atoi: blanks, a sign, decimal digits; the value saturates instead of overflowing.
int ParseInt(const char *p, size_t n) {
  size_t i = 0;
  while (i < n && (IsBlank(p[i]) || p[i] == '\n' || p[i] == '\r')) i++;
  bool neg = false;
  if (i < n && (p[i] == '+' || p[i] == '-')) neg = p[i++] == '-';
  int64_t v = 0;
  const int64_t limit = int64_t(std::numeric_limits<int>::max()) + 1;
  while (i < n && p[i] >= '0' && p[i] <= '9') {
    if (v < limit) v = v * 10 + (p[i] - '0');
    i++;
  }
  if (v > limit) v = limit;
  if (neg) return static_cast<int>(-v);
  return v >= limit ? std::numeric_limits<int>::max() : static_cast<int>(v);
}

}  // namespace

int IniGetInt(const char *file, const char *section, const char *key, int def) {
  IniCache &c = Cache();
  std::lock_guard<std::mutex> hold(c.lock);
  if (!Refresh(c, file)) return def;
  const std::string *v = Find(c, section, key);
  if (!v) return def;
  const char *p;
  size_t n;
  Unquote(*v, &p, &n);
  // An empty value counts as absent, as with the system reader.
  if (n == 0) return def;
  return ParseInt(p, n);
}

size_t IniGetString(const char *file, const char *section, const char *key, const char *def,
                    char *buf, size_t cap) {
  IniCache &c = Cache();
  std::lock_guard<std::mutex> hold(c.lock);
  const std::string *v = Refresh(c, file) ? Find(c, section, key) : nullptr;
  if (!v) {
    if (!def) def = "";
    return Store(buf, cap, def, std::strlen(def));
  }
  const char *p;
  size_t n;
  Unquote(*v, &p, &n);
  return Store(buf, cap, p, n);
}
