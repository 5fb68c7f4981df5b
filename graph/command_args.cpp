// Command lines of the external programs, built from the settings'
// templates. A template is split into its arguments first, by the rules every
// command line follows here, and only then is each value put into the
// argument that names it: a path holding quotes or blanks stays one argument
// and can neither add, remove nor change another.
#include <cstring>
#include <string>
#include <vector>

#include "foundation/format_check.h"
#include "graph/graph_internal.h"
#include "platform/process.h"

namespace {

bool IsFlag(char c) {
  return c == '-' || c == '+' || c == ' ' || c == '#' || c == '0';
}
bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

// Fills one argument: its text with each conversion replaced by the next
// value, formatted by that conversion alone. The piece must hold no more
// conversions than values remain from *next; false when it is not a
// template that FormatConversions accepts.
bool FillPiece(const std::string &piece, const std::vector<TemplateValue> &values, size_t *next,
               std::string *out) {
  char conv[64];
  if (!FormatConversions(piece.c_str(), conv, sizeof conv)) return false;
  if (std::strlen(conv) > values.size() - *next) return false;
  out->clear();
  for (size_t i = 0; i < piece.size(); i++) {
    if (piece[i] != '%') {
      out->push_back(piece[i]);
      continue;
    }
    if (piece[i + 1] == '%') {
      out->push_back('%');
      i++;
      continue;
    }
    size_t start = i++;
    while (IsFlag(piece[i])) i++;
    while (IsDigit(piece[i])) i++;
    if (piece[i] == '.') {
      i++;
      while (IsDigit(piece[i])) i++;
    }
    std::string conversion = piece.substr(start, i - start + 1);
    const TemplateValue &v = values[(*next)++];
    *out += piece[i] == 's' ? FormatString(conversion.c_str(), v.text ? v.text : "")
                            : FormatString(conversion.c_str(), v.number);
  }
  return true;
}

// The arguments of tmpl with the values put in; false when a piece is not
// usable on its own (a conversion cut apart by a blank, say). Without a
// program word every word is read by the argument rules.
bool Fill(const char *tmpl, bool program_first, const std::vector<TemplateValue> &values,
          std::vector<std::string> *out) {
  out->clear();
  std::vector<std::string> pieces =
      SplitCommandLine(program_first ? tmpl : ("- " + std::string(tmpl)).c_str());
  if (!program_first && !pieces.empty()) pieces.erase(pieces.begin());
  size_t next = 0;
  for (const std::string &piece : pieces) {
    std::string arg;
    if (!FillPiece(piece, values, &next, &arg)) return false;
    out->push_back(arg);
  }
  return true;
}

}  // namespace

std::vector<std::string> TemplateArguments(const char *tmpl, const char *builtin,
                                           const char *expected, bool program_first,
                                           const std::vector<TemplateValue> &values) {
  std::vector<std::string> args;
  const char *t = CheckedTemplate(tmpl, builtin, expected);
  if (Fill(t, program_first, values, &args)) return args;
  if (t != builtin && Fill(builtin, program_first, values, &args)) return args;
  return std::vector<std::string>();
}
