// JSON texts of the results (see json_text.h).
#include "xref/json_text.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "engine/record_walk.h"
#include "platform/codepage.h"
#include "xref/list_columns.h"
#include "xref/row_text.h"

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

// The JSON name of the source with this SID, "" when there is none.
std::string NameOf(int sid, const std::vector<std::string> &names) {
  if (sid <= 0 || (size_t)sid >= names.size()) return "\"\"";
  return JsonNative(names[(size_t)sid].c_str());
}

void Key(std::string &out, const char *key) {
  if (out.size() > 1) out += ',';
  out += '"';
  out += key;
  out += "\":";
}

void Number(std::string &out, const char *key, int v) {
  Key(out, key);
  out += std::to_string(v);
}

// A cell of row texts as a JSON string.
template <typename Row, typename Append>
void Text(std::string &out, const char *key, const Row &r, int col, Append append) {
  std::string cell;
  append(cell, r, col);
  Key(out, key);
  out += JsonSjis(cell.c_str());
}

// Both lists open with the same four columns: SID, source, FID, function.
static_assert(FL_SID == CL_SID && FL_SOURCE == CL_SOURCE && FL_FID == CL_FID &&
              FL_FUNCTION == CL_FUNCTION);
template <typename Row, typename Append>
std::string OpenRow(const char *const *h, const Row &r, const std::vector<std::string> &names,
                    Append append) {
  std::string out = "{";
  Number(out, h[FL_SID], r.sid);
  Key(out, h[FL_SOURCE]);
  out += NameOf(r.sid, names);
  Number(out, h[FL_FID], r.fid);
  Text(out, h[FL_FUNCTION], r, FL_FUNCTION, append);
  return out;
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

std::vector<std::string> JsonSourceNames(void) {
  std::vector<std::string> names(1);
  ForEachSource([&](const ST_SOURCE *s) {
    if ((size_t)s->sid != names.size()) return;  // not numbered in order
    const char *name = s->path;
    for (const char *p = s->path; *p; p++)
      if (*p == '/') name = p + 1;
    names.push_back(name);
  });
  return names;
}

std::string JsonTreeNode(int tree, const TreeNodeInfo &n, const std::vector<std::string> &names) {
  std::string out = "{\"tree\":" + std::to_string(tree) + ",\"depth\":" + std::to_string(n.depth);
  out += ",\"scope\":" + JsonSjis(n.scope) + ",\"name\":" + JsonSjis(n.name);
  out += ",\"argc\":" + std::to_string(n.argc);
  out += ",\"source\":" + NameOf(n.sid, names);
  out += ",\"sid\":" + std::to_string(n.sid) + ",\"fid\":" + std::to_string(n.fid);
  if (n.mark) out += std::string(",\"mark\":\"") + n.mark + "\"";
  if (n.calls > 0) out += ",\"calls\":" + std::to_string(n.calls);
  out += '}';
  return out;
}

std::string JsonFunctionRow(const FunctionRow &r, const std::vector<std::string> &names) {
  const char *const *h = kFunctionListHeaders;
  std::string out = OpenRow(h, r, names, AppendFunctionCell);
  Number(out, h[FL_LINE], r.line);
  Number(out, h[FL_ARGC], r.argc);
  Number(out, h[FL_CALLED], r.called);
  Number(out, "name_line", r.name_line + 1);
  Number(out, "name_column", r.name_column);
  Number(out, "end_line", r.end_line + 1);
  out += '}';
  return out;
}

std::string JsonCallRow(const CallRow &r, const std::vector<std::string> &names) {
  const char *const *h = kCallListHeaders;
  bool linked = r.to_sid > 0;
  std::string out = OpenRow(h, r, names, AppendCallCell);
  Text(out, h[CL_CALL], r, CL_CALL, AppendCallCell);
  Number(out, h[CL_ARGC], r.argc);
  Text(out, h[CL_LINK], r, CL_LINK, AppendCallCell);
  Key(out, h[CL_TO_SID]);
  out += linked ? std::to_string(r.to_sid) : "null";
  Key(out, h[CL_TO_SOURCE]);
  out += linked ? NameOf(r.to_sid, names) : "\"\"";
  Key(out, h[CL_TO_FID]);
  out += linked ? std::to_string(r.to_fid) : "null";
  Text(out, h[CL_TO_FUNCTION], r, CL_TO_FUNCTION, AppendCallCell);
  Number(out, "line", r.line + 1);
  Number(out, "column", r.column);
  if (r.candidate_count > 1 && r.candidates) {
    // Every definition an ambiguous call may reach, the linked one first.
    Key(out, "candidates");
    out += '[';
    for (int i = 0; i < r.candidate_count; i++) {
      const ST_FUNC *f = r.candidates[i];
      out += i ? ",{" : "{";
      out += "\"toSID\":" + std::to_string(f->sid) + ",\"toSource\":" + NameOf(f->sid, names);
      out += ",\"toFID\":" + std::to_string(f->fid) + ",\"toFunction\":";
      out += JsonSjis((std::string(f->scope) + f->name).c_str());
      out += '}';
    }
    out += ']';
  }
  out += '}';
  return out;
}
