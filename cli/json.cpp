// JSON Lines for velmora-cli --json (see json.h).
#include "cli/json.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "foundation/ports.h"
#include "platform/codepage.h"
#include "xref/list_columns.h"
#include "xref/xref.h"

namespace {

// Appends UTF-8 text as the inside of a JSON string; invalid sequences
// become U+FFFD, control characters (C0, DEL, C1) are escaped.
void Escape(std::string &out, const unsigned char *p, size_t n) {
  static const char kReplacement[] = "\xEF\xBF\xBD";
  size_t i = 0;
  while (i < n) {
    unsigned char b = p[i];
    if (b < 0x80) {
      switch (b) {
        case '"':
          out += "\\\"";
          break;
        case '\\':
          out += "\\\\";
          break;
        case '\n':
          out += "\\n";
          break;
        case '\r':
          out += "\\r";
          break;
        case '\t':
          out += "\\t";
          break;
        default:
          if (b < 0x20 || b == 0x7F) {
            char u[8];
            snprintf(u, sizeof u, "\\u%04x", b);
            out += u;
          } else {
            out += (char)b;
          }
      }
      i++;
      continue;
    }
    // The length of the sequence and the range its second byte must be in
    // (no overlong forms, no surrogates, nothing above U+10FFFF).
    size_t len = 0;
    unsigned char lo = 0x80, hi = 0xBF;
    if (b >= 0xC2 && b <= 0xDF) {
      len = 2;
    } else if (b >= 0xE0 && b <= 0xEF) {
      len = 3;
      if (b == 0xE0) lo = 0xA0;
      if (b == 0xED) hi = 0x9F;
    } else if (b >= 0xF0 && b <= 0xF4) {
      len = 4;
      if (b == 0xF0) lo = 0x90;
      if (b == 0xF4) hi = 0x8F;
    }
    bool ok = len > 0 && i + len <= n && p[i + 1] >= lo && p[i + 1] <= hi;
    for (size_t k = 2; ok && k < len; k++) ok = p[i + k] >= 0x80 && p[i + k] <= 0xBF;
    if (!ok) {
      out += kReplacement;
      i++;
      continue;
    }
    if (b == 0xC2 && p[i + 1] <= 0x9F) {
      // A C1 control: escaped like the others, so no terminal acts on it.
      char u[8];
      snprintf(u, sizeof u, "\\u%04x", p[i + 1]);
      out += u;
    } else {
      out.append((const char *)p + i, len);
    }
    i += len;
  }
}

std::string Quoted(const std::string &utf8) {
  std::string out = "\"";
  Escape(out, (const unsigned char *)utf8.data(), utf8.size());
  out += '"';
  return out;
}

// Cell col of a tab-joined row ("" when the row has fewer cells).
std::string CellOf(const std::string &row, int col) {
  size_t start = 0;
  for (int c = 0; c < col; c++) {
    size_t tab = row.find('\t', start);
    if (tab == std::string::npos) return std::string();
    start = tab + 1;
  }
  size_t end = row.find('\t', start);
  return row.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

}  // namespace

std::string JsonSjis(const char *sjis) {
  std::string s = sjis ? sjis : "";
  bool ascii = true;
  for (unsigned char c : s) ascii = ascii && c < 0x80;
  return Quoted(ascii ? s : SjisToUtf8(s));
}

std::string JsonNative(const char *bytes) {
  return Quoted(bytes ? bytes : "");
}

std::string JsonSourceName(int sid) {
  const ST_SOURCE *s = sid > 0 ? ANA_FindSource(sid) : nullptr;
  if (!s) return "\"\"";
  const char *name = s->path;
  for (const char *p = s->path; *p; p++)
    if (*p == '/') name = p + 1;
  return JsonNative(name);
}

std::string JsonTreeNode(int tree, const TreeNodeInfo &n) {
  std::string out = "{\"tree\":" + std::to_string(tree) + ",\"depth\":" + std::to_string(n.depth);
  out += ",\"scope\":" + JsonSjis(n.scope) + ",\"name\":" + JsonSjis(n.name);
  out += ",\"argc\":" + std::to_string(n.argc);
  out += ",\"source\":" + (n.sid > 0 ? JsonSourceName(n.sid) : std::string("\"\""));
  out += ",\"sid\":" + std::to_string(n.sid) + ",\"fid\":" + std::to_string(n.fid);
  if (n.mark) out += std::string(",\"mark\":\"") + n.mark + "\"";
  if (n.calls > 0) out += ",\"calls\":" + std::to_string(n.calls);
  out += '}';
  return out;
}

std::string JsonListRow(int list, const std::string &cells) {
  bool functions = list == VIEW_FUNCTIONS;
  const char *const *header = functions ? kFunctionListHeaders : kCallListHeaders;
  int ncols = functions ? FL_COLUMNS : CL_COLUMNS;
  std::string out = "{";
  for (int c = 0; c < ncols; c++) {
    if (c) out += ',';
    out += Quoted(header[c]) + ':';
    std::string cell = CellOf(cells, c);
    if (IsNumberColumn(list, c)) {
      out += cell.empty() ? std::string("null") : std::to_string(atoi(cell.c_str()));
    } else if (c == FL_SOURCE && functions) {
      out += JsonSourceName(atoi(CellOf(cells, FL_SID).c_str()));
    } else if (!functions && (c == CL_SOURCE || c == CL_TO_SOURCE)) {
      int sid = atoi(CellOf(cells, c == CL_SOURCE ? CL_SID : CL_TO_SID).c_str());
      out += cell.empty() ? std::string("\"\"") : JsonSourceName(sid);
    } else {
      out += JsonSjis(cell.c_str());
    }
  }
  std::string others = functions ? std::string() : CellOf(cells, CL_CANDIDATES);
  if (!others.empty()) {
    // Every definition an ambiguous call may reach, the linked one first.
    out += ",\"candidates\":[";
    const char *p = others.c_str();
    bool first = true;
    while (*p) {
      char *end = nullptr;
      long sid = strtol(p, &end, 10);
      long fid = end != p && *end == ':' ? strtol(end + 1, &end, 10) : 0;
      const ST_FUNC *f = ANA_FindFunction((int)sid, (int)fid);
      if (f) {
        out += first ? "{" : ",{";
        first = false;
        out += "\"toSID\":" + std::to_string(sid) + ",\"toSource\":" + JsonSourceName((int)sid);
        out += ",\"toFID\":" + std::to_string(fid) + ",\"toFunction\":";
        out += JsonSjis((std::string(f->scope) + f->name).c_str()) + "}";
      }
      p = strchr(p, ' ');
      if (!p) break;
      p++;
    }
    out += ']';
  }
  out += '}';
  return out;
}
