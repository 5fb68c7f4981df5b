// Macros that open and close namespaces (`#define NS_BEGIN namespace lib {
// inline namespace v2 {` and `#define NS_END } }`). The grammar cannot see
// through them: the definitions between two such lines would lose their
// namespaces. So, before the precise parser reads any source, every
// registered file is searched for object-like macros whose body does
// nothing but open or close namespaces (or braces); a lone invocation of one
// at a declaration level is then blanked in the grammar's copy, and the
// walk opens and closes the namespaces it names at that place. The table is
// made on one thread before any parsing starts and only read afterwards.
#include <cstring>
#include <string>
#include <unordered_map>
#include <vector>

#include "engine/precise.h"
#include "engine/record_walk.h"
#include "platform/files.h"

namespace {

// Macro name -> what it does, as words: "+name" opens a namespace, "+!name"
// an inline one, "+" a brace that adds no name, "-" closes one.
std::unordered_map<std::string, std::string> g_ns_macros;

bool IdentStart(char c) {
  return c == '_' || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
bool IdentChar(char c) {
  return IdentStart(c) || (c >= '0' && c <= '9');
}

// The words of the macro body [p, end) (continued lines joined), or "" when
// the body does anything else than open and close namespaces.
std::string BodyOps(const char *p, const char *end) {
  std::string ops;
  std::vector<std::string> words;  // the head read since the last brace
  bool braces = false;
  while (p < end) {
    char c = *p;
    if (c == '\\' || c == ' ' || c == '\t' || c == '\r' || c == '\n') {
      p++;
    } else if (c == '/' && p + 1 < end && p[1] == '/') {
      break;
    } else if (IdentStart(c)) {
      const char *q = p;
      while (q < end && IdentChar(*q)) q++;
      words.emplace_back(p, (size_t)(q - p));
      p = q;
    } else if (c == ':' && p + 1 < end && p[1] == ':') {
      if (words.empty()) return std::string();
      words.back() += "::";
      p += 2;
      if (p < end && IdentStart(*p)) {
        const char *q = p;
        while (q < end && IdentChar(*q)) q++;
        words.back().append(p, (size_t)(q - p));
        p = q;
      }
    } else if (c == '"' && !words.empty() && words.back() == "extern") {
      const char *q = p + 1;
      while (q < end && *q != '"') q++;
      words.emplace_back("\"");
      p = q + 1;
    } else if (c == '{') {
      if (words.size() == 2 && words[0] == "extern" && words[1] == "\"") {
        ops += "+ ";
      } else if (!words.empty() && words[0] == "namespace" && words.size() <= 2) {
        ops += words.size() == 2 ? "+" + words[1] + " " : std::string("+ ");
      } else if (words.size() == 3 && words[0] == "inline" && words[1] == "namespace") {
        ops += "+!" + words[2] + " ";
      } else {
        return std::string();
      }
      words.clear();
      braces = true;
      p++;
    } else if (c == '}') {
      if (!words.empty()) return std::string();
      ops += "- ";
      braces = true;
      p++;
    } else {
      return std::string();
    }
  }
  return braces && words.empty() ? ops : std::string();
}

// The #define lines of text: each object-like macro whose body opens or
// closes namespaces joins the table (its first definition wins).
void ScanText(const char *text, size_t len) {
  const char *end = text + len;
  for (const char *p = text; p < end;) {
    const char *hit = (const char *)memmem(p, (size_t)(end - p), "define", 6);
    if (!hit) break;
    p = hit + 6;
    const char *hash = hit;
    while (hash > text && (hash[-1] == ' ' || hash[-1] == '\t')) hash--;
    if (hash == text || hash[-1] != '#') continue;
    const char *line = hash - 1;
    while (line > text && (line[-1] == ' ' || line[-1] == '\t')) line--;
    if (line != text && line[-1] != '\n') continue;  // not a directive
    const char *n = p;
    while (n < end && (*n == ' ' || *n == '\t')) n++;
    const char *name_end = n;
    while (name_end < end && IdentChar(*name_end)) name_end++;
    if (name_end == n || !IdentStart(*n) || (name_end < end && *name_end == '(')) continue;
    const char *body_end = name_end;  // the line's end, continued lines included
    while (body_end < end && *body_end != '\n') {
      if (*body_end == '\\' && body_end + 1 < end && body_end[1] == '\n') body_end++;
      body_end++;
    }
    p = body_end;
    std::string ops = BodyOps(name_end, body_end);
    if (!ops.empty()) g_ns_macros.emplace(std::string(n, (size_t)(name_end - n)), ops);
  }
}

}  // namespace

void precise_collect_namespace_macros(void) {
  g_ns_macros.clear();
  if (!precise_available()) return;
  std::vector<char> buf;
  ForEachSource([&buf](const ST_SOURCE *s) {
    if (!s->path) return;
    int64_t size = FileSizeForRead(s->path);
    if (size <= 0 || size > (int64_t)1 << 28) return;
    buf.resize((size_t)size);
    int64_t got = ReadFileInto(s->path, buf.data(), size);
    if (got > 0) ScanText(buf.data(), (size_t)got);
  });
}

const char *precise_namespace_macro(const char *name, size_t len) {
  if (g_ns_macros.empty()) return nullptr;
  auto it = g_ns_macros.find(std::string(name, len));
  return it == g_ns_macros.end() ? nullptr : it->second.c_str();
}
