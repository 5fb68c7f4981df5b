// The message catalogue (see messages.h): a reader of compiled gettext
// catalogues and two hash indexes over their entries, one by the Shift_JIS
// key, one by the UTF-8 key. The .mo file's own hash table is not used: its
// keys are UTF-8 only.
#include "foundation/messages.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "foundation/format_check.h"
#include "foundation/trace.h"
#include "platform/codepage.h"

namespace {

struct Entry {
  std::string key_utf8;   // the original text
  std::string key_sjis;   // the same in Shift_JIS
  std::string text_utf8;  // its translation
  std::string text_sjis;  // the same in Shift_JIS
};

struct Catalogue {
  std::vector<Entry> entries;  // never resized once the indexes point into it
  std::unordered_map<std::string_view, const Entry *> by_sjis;  // key_sjis -> entry
  std::unordered_map<std::string_view, const Entry *> by_utf8;  // key_utf8 -> entry
};

// The catalogue in force; null for none. Written only at start-up (see
// messages.h), read by every thread afterwards.
std::unique_ptr<Catalogue> g_catalogue;

const uint32_t kMagic = 0x950412de;

// A .mo file's header and string tables, read in the file's byte order.
struct MoReader {
  const unsigned char *p;
  size_t n;
  bool swap;

  bool Word(size_t at, uint32_t *out) const {
    if (at > n || n - at < 4) return false;
    uint32_t v;
    memcpy(&v, p + at, 4);
    if (swap) v = __builtin_bswap32(v);
    *out = v;
    return true;
  }
  // String i of the table at offset table: its length and offset, checked to
  // lie inside the file and to end with the NUL that msgfmt writes.
  bool String(uint32_t table, uint32_t i, std::string_view *out) const {
    uint32_t len, off;
    size_t at = (size_t)table + (size_t)i * 8;
    if (!Word(at, &len) || !Word(at + 4, &off)) return false;
    if ((size_t)off > n || n - off <= (size_t)len || p[off + len] != 0) return false;
    *out = std::string_view((const char *)p + off, len);
    return true;
  }
};

// The charset named by a catalogue's header entry; UTF-8 when none is named.
bool HeaderIsUtf8(std::string_view header) {
  size_t at = header.find("charset=");
  if (at == std::string_view::npos) return true;
  std::string_view cs = header.substr(at + 8);
  size_t end = cs.find_first_of(" ;\n");
  if (end != std::string_view::npos) cs = cs.substr(0, end);
  std::string lower(cs);
  for (char &c : lower) c = (char)(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  return lower == "utf-8" || lower == "utf8" || lower == "ascii" || lower == "us-ascii";
}

// Qt's numbered placeholders (%1 .. %99) of a text, in order of appearance.
std::string NumberedPlaceholders(const std::string &s) {
  std::string out;
  for (size_t i = 0; i + 1 < s.size(); i++) {
    if (s[i] != '%') continue;
    if (s[i + 1] == '%') {
      i++;
      continue;
    }
    if (s[i + 1] >= '1' && s[i + 1] <= '9') {
      out += s[i + 1];
      if (i + 2 < s.size() && s[i + 2] >= '0' && s[i + 2] <= '9') out += s[i + 2];
      out += ',';
    }
  }
  return out;
}

// Sorted, so a translation may put %2 before %1.
std::string Sorted(std::string list) {
  std::vector<std::string> items;
  size_t start = 0;
  for (size_t comma; (comma = list.find(',', start)) != std::string::npos; start = comma + 1)
    items.push_back(list.substr(start, comma - start));
  std::sort(items.begin(), items.end());
  std::string out;
  for (const std::string &i : items) out += i + ",";
  return out;
}

// A translation is taken only when it reads the same arguments as its key: a
// printf template the same conversions in the same order, a Qt template the
// same numbered placeholders. Anything else could read an argument that is
// not there, or lose one.
bool SamePlaceholders(const std::string &key, const std::string &text) {
  char want[64];
  if (FormatConversions(key.c_str(), want, sizeof want) && want[0])
    return FormatMatches(text.c_str(), want) != 0;
  return Sorted(NumberedPlaceholders(key)) == Sorted(NumberedPlaceholders(text));
}

bool HasNul(std::string_view s) {
  return s.find('\0') != std::string_view::npos;
}

}  // namespace

int MessagesLoad(const void *bytes, size_t n) {
  MoReader r{(const unsigned char *)bytes, bytes ? n : 0, false};
  uint32_t magic, revision, count, originals, translations;
  if (!r.Word(0, &magic)) return 0;
  if (magic != kMagic) {
    r.swap = true;
    if (!r.Word(0, &magic) || magic != kMagic) return 0;
  }
  if (!r.Word(4, &revision) || (revision >> 16) > 1 || !r.Word(8, &count) ||
      !r.Word(12, &originals) || !r.Word(16, &translations))
    return 0;
  // Each entry takes 16 bytes of tables: a count the file cannot hold is no
  // catalogue.
  if (count > r.n / 16) return 0;

  auto cat = std::make_unique<Catalogue>();
  cat->entries.reserve(count);
  int dropped = 0;
  for (uint32_t i = 0; i < count; i++) {
    std::string_view key, text;
    if (!r.String(originals, i, &key) || !r.String(translations, i, &text)) return 0;
    if (key.empty()) {  // the header
      if (!HeaderIsUtf8(text)) {
        DebugPrint("MessagesLoad :Not a UTF-8 catalogue!\r\n");
        return 0;
      }
      continue;
    }
    // Plural entries (key and plural joined by a NUL) are not used by the
    // program; an empty translation means "not translated".
    if (HasNul(key) || text.empty()) continue;
    Entry e;
    e.key_utf8.assign(key);
    e.text_utf8.assign(text);
    if (!SamePlaceholders(e.key_utf8, e.text_utf8)) {
      dropped++;
      continue;
    }
    e.key_sjis = Utf8ToSjis(e.key_utf8);
    e.text_sjis = Utf8ToSjis(e.text_utf8);
    cat->entries.push_back(std::move(e));
  }
  for (const Entry &e : cat->entries) {
    cat->by_utf8.emplace(e.key_utf8, &e);
    cat->by_sjis.emplace(e.key_sjis, &e);
  }
  if (dropped)
    DebugPrint("MessagesLoad :%d translations with other placeholders left out.\r\n", dropped);
  g_catalogue = std::move(cat);
  return 1;
}

void MessagesClear(void) {
  g_catalogue.reset();
}

int MessagesCount(void) {
  return g_catalogue ? (int)g_catalogue->entries.size() : 0;
}

const char *Msg(const char *sjis) {
  const Catalogue *c = g_catalogue.get();
  if (!c || !sjis) return sjis;
  auto it = c->by_sjis.find(std::string_view(sjis));
  return it == c->by_sjis.end() ? sjis : it->second->text_sjis.c_str();
}

const char *MsgUtf8(const char *utf8) {
  const Catalogue *c = g_catalogue.get();
  if (!c || !utf8) return utf8;
  auto it = c->by_utf8.find(std::string_view(utf8));
  return it == c->by_utf8.end() ? utf8 : it->second->text_utf8.c_str();
}
