// file: URIs and native paths (see uri.h).
#include "lsp/uri.h"

#include <strings.h>

namespace {

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

bool UriToPath(const std::string &uri, std::string *path) {
  const char kScheme[] = "file://";
  if (uri.size() < 7 || strncasecmp(uri.c_str(), kScheme, 7) != 0) return false;
  size_t at = 7;
  if (uri.compare(at, 9, "localhost") == 0) at += 9;
  if (at >= uri.size() || uri[at] != '/') return false;
  std::string out;
  for (size_t i = at; i < uri.size(); i++) {
    char c = uri[i];
    if (c == '?' || c == '#') break;  // no query or fragment names a file
    if (c == '%') {
      if (i + 2 >= uri.size()) return false;
      int hi = HexValue(uri[i + 1]), lo = HexValue(uri[i + 2]);
      if (hi < 0 || lo < 0) return false;
      c = (char)(hi * 16 + lo);
      i += 2;
    }
    if (c == 0) return false;
    out += c;
  }
  *path = TidyPath(out);
  return true;
}

std::string PathToUri(const std::string &path) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out = "file://";
  for (unsigned char c : path) {
    bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                 c == '-' || c == '.' || c == '_' || c == '~' || c == '/';
    if (plain) {
      out += (char)c;
    } else {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 15];
    }
  }
  return out;
}

std::string TidyPath(const std::string &path) {
  std::string out;
  for (char c : path) {
    if (c == '/' && !out.empty() && out.back() == '/') continue;
    out += c;
  }
  while (out.size() > 1 && out.back() == '/') out.pop_back();
  return out;
}

bool PathIsBelow(const std::string &path, const std::string &folder) {
  if (folder == "/") return !path.empty() && path[0] == '/';
  return path == folder ||
         (path.size() > folder.size() && path.compare(0, folder.size(), folder) == 0 &&
          path[folder.size()] == '/');
}
