// Macro invocations standing alone among declarations, blanked in the
// parser's copy before it reads it. A line such as `MAKE_DEFAULT(void, );`
// or `DECLARE_FLAG(name, "doc")` at namespace or class level is no C++ the
// grammar knows, and its error recovery may then fold everything up to a far
// brace into one bogus construct: the enclosing namespace closes early and
// every later definition loses its scope. Such an invocation defines nothing
// the records hold (what a macro writes is not read), so the parser is
// better off not seeing it. Only declaration levels are looked at: inside a
// body an invocation is a call and stays.
#include <cstdint>
#include <cstring>
#include <vector>

#ifdef VELMORA_HAVE_TREE_SITTER
#include "engine/precise_internal.h"

namespace {

bool IsIdentStart(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
}
bool IsIdentChar(char c) {
  return IsIdentStart(c) || (c >= '0' && c <= '9');
}

// The scan over the copy: where it is, and what the construct being read
// (since the last ';', brace or directive) has shown so far.
struct Scan {
  char *s;
  uint32_t len;
  uint32_t i;
  std::vector<char> braces;  // per open brace: 1 for a declaration level, 2 a class body
  int parens;                // parentheses and brackets open
  int angles;                // template argument lists open in a class head
  int head_tokens;           // tokens of the construct so far
  bool saw_namespace, saw_class, saw_enum, saw_extern, saw_string, saw_paren, saw_eq;
  bool specifiers_only;  // the construct so far is specifiers alone (explicit, inline ...)
  bool saw_init;         // a ':' after a parameter list: a constructor's initialisers
  char last_word[16];    // the construct's last identifier (cut)
  // The construct's last token: ')', 'q' for a qualifier written after a
  // parameter list (const, override ...), 0 for anything else.
  char last_tok;
};

void NewHead(Scan *sc) {
  sc->head_tokens = 0;
  sc->angles = 0;
  sc->saw_namespace = sc->saw_class = sc->saw_enum = false;
  sc->saw_extern = sc->saw_string = sc->saw_paren = sc->saw_eq = false;
  sc->specifiers_only = true;
  sc->saw_init = false;
  sc->last_word[0] = 0;
  sc->last_tok = 0;
}

// Past a comment, string or character literal starting at i, or i itself
// when none starts there.
uint32_t SkipLiteral(const Scan &sc, uint32_t i) {
  const char *s = sc.s;
  uint32_t n = sc.len;
  if (s[i] == '/' && i + 1 < n && s[i + 1] == '/') {
    while (i < n && s[i] != '\n') i++;
    return i;
  }
  if (s[i] == '/' && i + 1 < n && s[i + 1] == '*') {
    for (i += 2; i + 1 < n && !(s[i] == '*' && s[i + 1] == '/');) i++;
    return i + 2 < n ? i + 2 : n;
  }
  bool quote = s[i] == '"';
  // A quote after a digit separates digits (1'000).
  if (s[i] == '\'' && !(i > 0 && s[i - 1] >= '0' && s[i - 1] <= '9')) quote = true;
  if (!quote) return i;
  char q = s[i];
  if (q == '"' && i > 0 && s[i - 1] == 'R') {  // R"delim( ... )delim"
    uint32_t open = i + 1;
    while (open < n && open - i <= 17 && s[open] != '(' && s[open] != '\n') open++;
    if (open < n && s[open] == '(') {
      uint32_t dl = open - i - 1;
      for (uint32_t j = open + 1; j + dl + 1 < n; j++)
        if (s[j] == ')' && memcmp(s + j + 1, s + i + 1, dl) == 0 && s[j + dl + 1] == '"')
          return j + dl + 2;
      return n;
    }
  }
  for (i++; i < n && s[i] != q && s[i] != '\n'; i++)
    if (s[i] == '\\' && i + 1 < n) i++;
  return i < n ? i + 1 : n;
}

// Past blanks and comments from i (newlines too when lines is set).
uint32_t SkipBlank(const Scan &sc, uint32_t i, bool lines) {
  while (i < sc.len) {
    char c = sc.s[i];
    if (c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v' || (lines && c == '\n')) {
      i++;
    } else if (c == '/' && i + 1 < sc.len && (sc.s[i + 1] == '/' || sc.s[i + 1] == '*')) {
      if (!lines && sc.s[i + 1] == '/') return i;  // the line's end comes next
      i = SkipLiteral(sc, i);
    } else {
      return i;
    }
  }
  return i;
}

// A word written all in capitals, digits and underscores: a macro's name.
bool MacroName(const char *s, uint32_t from, uint32_t to) {
  if (to - from < 2) return false;
  for (uint32_t k = from; k < to; k++)
    if ((s[k] >= 'a' && s[k] <= 'z')) return false;
  return true;
}

// The ')' that closes the '(' at open, past literals; sc.len when a ';', a
// brace or the end of the text comes first (then it is no macro's argument
// list on one construct).
uint32_t CloseParen(const Scan &sc, uint32_t open) {
  int depth = 0;
  for (uint32_t i = open; i < sc.len; i++) {
    uint32_t past = SkipLiteral(sc, i);
    if (past != i) {
      i = past - 1;
      continue;
    }
    char c = sc.s[i];
    if (c == '(') depth++;
    if (c == ')' && --depth == 0) return i;
    if (c == ';' || c == '{' || c == '}') break;
  }
  return sc.len;
}

// At a construct's first token, a macro name at from (ending at to) at a
// declaration level: when its parenthesised arguments are followed by ';'
// or end the line before anything but a body, the invocation is blanked.
// Returns where the scan goes on.
uint32_t TryBlank(Scan *sc, uint32_t from, uint32_t to) {
  uint32_t i = SkipBlank(*sc, to, false);
  if (i >= sc->len || sc->s[i] != '(') return to;
  i = CloseParen(*sc, i);
  if (i >= sc->len) return to;  // not a lone invocation
  uint32_t end = i + 1;
  uint32_t next = SkipBlank(*sc, end, false);
  bool alone = next < sc->len && sc->s[next] == ';';
  if (!alone && (next >= sc->len || sc->s[next] == '\n')) {
    uint32_t after = SkipBlank(*sc, next, true);
    alone = after < sc->len && (IsIdentStart(sc->s[after]) || sc->s[after] == '#' ||
                                sc->s[after] == '}' || sc->s[after] == '~');
  }
  if (!alone) return to;
  for (uint32_t k = from; k < end; k++)
    if (sc->s[k] != '\n') sc->s[k] = ' ';
  NewHead(sc);
  return end;
}

// A macro name (from, to) right after a declaration's parameter list or
// its qualifiers: an annotation (`void f() const LOCKS(mu) {`), which the
// grammar would take for the function's name. Blanked with its arguments;
// returns where the scan goes on.
uint32_t BlankAnnotation(Scan *sc, uint32_t from, uint32_t to) {
  uint32_t end = to;
  uint32_t i = SkipBlank(*sc, to, true);
  if (i < sc->len && sc->s[i] == '(') {
    i = CloseParen(*sc, i);
    if (i >= sc->len) return to;
    end = i + 1;
  }
  for (uint32_t k = from; k < end; k++)
    if (sc->s[k] != '\n') sc->s[k] = ' ';
  return end;
}

// After `class`, `struct` or `union` (ending at i): an export macro between
// the keyword and the name of a class being defined (`class API_X Name {`)
// is blanked, since the grammar takes the macro for the name.
void BlankExportMacro(Scan *sc, uint32_t i) {
  uint32_t m = SkipBlank(*sc, i, true);
  uint32_t m_end = m;
  while (m_end < sc->len && IsIdentChar(sc->s[m_end])) m_end++;
  if (m_end == m || !IsIdentStart(sc->s[m]) || !MacroName(sc->s, m, m_end)) return;
  uint32_t name = SkipBlank(*sc, m_end, true);
  if (name >= sc->len || !IsIdentStart(sc->s[name])) return;
  uint32_t name_end = name;
  while (name_end < sc->len && IsIdentChar(sc->s[name_end])) name_end++;
  uint32_t next = SkipBlank(*sc, name_end, true);
  if (next >= sc->len) return;
  char c = sc->s[next];
  bool head = c == '{' || c == '<' ||
              (c == ':' && (next + 1 >= sc->len || sc->s[next + 1] != ':')) ||
              (sc->len - next >= 5 && memcmp(sc->s + next, "final", 5) == 0);
  if (head) memset(sc->s + m, ' ', m_end - m);
}

// Past a name at i, qualified or not (`a::b::c`, `::d`); i when there is none.
uint32_t SkipName(const Scan &sc, uint32_t i) {
  uint32_t at = i;
  for (;;) {
    if (at + 1 < sc.len && sc.s[at] == ':' && sc.s[at + 1] == ':') at = SkipBlank(sc, at + 2, true);
    if (at >= sc.len || !IsIdentStart(sc.s[at])) return i;
    while (at < sc.len && IsIdentChar(sc.s[at])) at++;
    i = at;
    at = SkipBlank(sc, at, true);
    if (!(at + 1 < sc.len && sc.s[at] == ':' && sc.s[at + 1] == ':')) return i;
  }
}

// A macro name (from, to) opening a declaration: an export or annotation
// macro when a type and a further name follow it (`API_X Type Name(`,
// `API_X T<int>* A::f(`), so it is blanked; an upper-case type (`WORD n;`,
// `WORD f(`, `WORD *p;`) stays.
void BlankPrefixMacro(Scan *sc, uint32_t from, uint32_t to) {
  uint32_t type = SkipBlank(*sc, to, true);
  uint32_t type_end = SkipName(*sc, type);
  if (type_end == type) return;
  uint32_t next = SkipBlank(*sc, type_end, true);
  if (next < sc->len && sc->s[next] == '<') {  // template arguments
    int depth = 0;
    for (; next < sc->len; next++) {
      char c = sc->s[next];
      if (c == '<') depth++;
      if (c == '>' && --depth == 0) break;
      if (c == ';' || c == '{' || c == '}' || c == '(' || c == ')') return;
    }
    next = SkipBlank(*sc, next + 1, true);
  }
  bool in_class = !sc->braces.empty() && sc->braces.back() == 2;
  if (in_class && next < sc->len && sc->s[next] == '(') {  // `MACRO Name(`: a constructor
    memset(sc->s + from, ' ', to - from);
    return;
  }
  while (next < sc->len && (sc->s[next] == '*' || sc->s[next] == '&'))
    next = SkipBlank(*sc, next + 1, true);
  bool name =
      next < sc->len && (IsIdentStart(sc->s[next]) ||
                         (sc->s[next] == ':' && next + 1 < sc->len && sc->s[next + 1] == ':'));
  if (name) memset(sc->s + from, ' ', to - from);
}

// A word of the construct: what it says about a brace that may follow.
// True for a class key.
bool Word(Scan *sc, uint32_t from, uint32_t to) {
  size_t n = to - from < sizeof sc->last_word - 1 ? to - from : sizeof sc->last_word - 1;
  memcpy(sc->last_word, sc->s + from, n);
  sc->last_word[n] = 0;
  const char *w = sc->last_word;
  static const char *const kSpecifiers[] = {"explicit", "inline",    "static", "virtual",
                                            "friend",   "constexpr", "extern"};
  bool specifier = false;
  for (const char *k : kSpecifiers) specifier = specifier || strcmp(w, k) == 0;
  if (!specifier) sc->specifiers_only = false;
  bool qualifier = strcmp(w, "const") == 0 || strcmp(w, "override") == 0 ||
                   strcmp(w, "final") == 0 || strcmp(w, "noexcept") == 0 ||
                   strcmp(w, "volatile") == 0;
  sc->last_tok = qualifier && (sc->last_tok == ')' || sc->last_tok == 'q') ? 'q' : 0;
  if (strcmp(w, "namespace") == 0) sc->saw_namespace = true;
  if (strcmp(w, "enum") == 0) sc->saw_enum = true;
  if (strcmp(w, "extern") == 0) sc->saw_extern = true;
  if (strcmp(w, "class") != 0 && strcmp(w, "struct") != 0 && strcmp(w, "union") != 0) return false;
  sc->saw_class = true;
  return true;
}

// A brace opens: a namespace, linkage block or class body is a declaration
// level; anything else (a body, an initialiser, an enum) is not.
void OpenBrace(Scan *sc) {
  bool outer = sc->braces.empty() || sc->braces.back();
  bool decl = outer && (sc->saw_namespace || (sc->saw_extern && sc->saw_string) ||
                        (sc->saw_class && !sc->saw_enum && !sc->saw_paren && !sc->saw_eq));
  // 2 for a class body (where a constructor's head may follow a macro).
  sc->braces.push_back(!decl ? 0 : sc->saw_class && !sc->saw_namespace ? 2 : 1);
  NewHead(sc);
}

void Punct(Scan *sc, char c) {
  // A class head's template arguments may hold a function type
  // (`class M<R(Args...)> {`): that is no parameter list.
  if (c == '<' && sc->saw_class) sc->angles++;
  if (c == '>' && sc->angles > 0) sc->angles--;
  if (c == '(' || c == '[') {
    if (sc->parens == 0 && c == '(' && sc->angles == 0) sc->saw_paren = true;
    sc->parens++;
  } else if (c == ')' || c == ']') {
    if (sc->parens > 0) sc->parens--;
  } else if (c == '{' && sc->parens == 0) {
    OpenBrace(sc);
    return;
  } else if (c == '}' && sc->parens == 0) {
    if (!sc->braces.empty()) sc->braces.pop_back();
    NewHead(sc);
    return;
  } else if (c == ';' && sc->parens == 0) {
    NewHead(sc);
    return;
  } else if (c == '=') {
    sc->saw_eq = true;
  } else if (c == ':' && sc->parens == 0 && (sc->last_tok == ')' || sc->last_tok == 'q')) {
    sc->saw_init = true;
  } else if (c == ':' && sc->head_tokens == 1 &&
             (strcmp(sc->last_word, "public") == 0 || strcmp(sc->last_word, "private") == 0 ||
              strcmp(sc->last_word, "protected") == 0)) {
    NewHead(sc);  // an access label starts the next member
    return;
  }
  sc->last_tok = c == ')' ? ')' : 0;
  sc->head_tokens++;
}

// The directive at d (n bytes) is one of #if, #ifdef, #ifndef, #elif,
// #else, #endif.
bool Conditional(const char *d, uint32_t n) {
  uint32_t k = 1;
  while (k < n && (d[k] == ' ' || d[k] == '\t')) k++;
  static const char *const kWords[] = {"ifdef", "ifndef", "if", "elif", "else", "endif"};
  for (const char *w : kWords) {
    size_t len = strlen(w);
    if (n - k >= len && memcmp(d + k, w, len) == 0 && (n - k == len || !IsIdentChar(d[k + len])))
      return true;
  }
  return false;
}

// Past a directive starting at i (its continued lines too).
uint32_t SkipDirective(const Scan &sc, uint32_t i) {
  while (i < sc.len && sc.s[i] != '\n') {
    if (sc.s[i] == '\\' && i + 1 < sc.len && sc.s[i + 1] == '\n') i++;
    i++;
  }
  return i;
}

}  // namespace

void precise_blank_lone_macros(char *copy, uint32_t len, std::vector<PreciseMacroScope> *scopes) {
  Scan sc;
  sc.s = copy;
  sc.len = len;
  sc.parens = 0;
  NewHead(&sc);
  bool line_start = true;
  uint32_t i = 0;
  while (i < len) {
    char c = copy[i];
    if (c == '\n') {
      line_start = true;
      i++;
      continue;
    }
    if (c == ' ' || c == '\t' || c == '\r') {
      i++;
      continue;
    }
    if (c == '#' && line_start) {
      uint32_t end = SkipDirective(sc, i);
      // A conditional inside a class's head or a constructor's initialisers
      // (`class A\n#if X\n : public B\n#endif\n{`): the grammar reads the
      // head whole when the directive lines are not there.
      bool in_head = sc.parens == 0 && sc.head_tokens > 0 &&
                     ((sc.saw_class && !sc.saw_paren && !sc.saw_eq) || sc.saw_init);
      if (in_head && Conditional(copy + i, end - i))
        for (uint32_t k = i; k < end; k++)
          if (copy[k] != '\n') copy[k] = ' ';
      i = end;
      continue;
    }
    line_start = false;
    uint32_t past = SkipLiteral(sc, i);
    if (past != i) {
      if (c == '"') sc.saw_string = true;
      if (c == '"' || c == '\'') {
        sc.head_tokens++;
        sc.last_tok = 0;
      }
      i = past;
      continue;
    }
    if (!IsIdentStart(c)) {
      Punct(&sc, c);
      i++;
      continue;
    }
    uint32_t to = i;
    while (to < len && IsIdentChar(copy[to])) to++;
    bool decl_level = sc.braces.empty() || sc.braces.back();
    const char *ops = decl_level && sc.parens == 0 && sc.head_tokens == 0
                          ? precise_namespace_macro(copy + i, to - i)
                          : nullptr;
    if (ops) {
      scopes->push_back(PreciseMacroScope{i, ops});
      memset(copy + i, ' ', to - i);
      // The braces it opens and closes are the scan's too.
      for (const char *o = ops; *o;) {
        if (*o == '+') sc.braces.push_back(1);
        if (*o == '-' && !sc.braces.empty()) sc.braces.pop_back();
        while (*o && *o != ' ') o++;
        while (*o == ' ') o++;
      }
      NewHead(&sc);
      i = to;
      continue;
    }
    if (decl_level && sc.parens == 0 && sc.head_tokens == 0 && MacroName(copy, i, to)) {
      uint32_t next = TryBlank(&sc, i, to);
      if (next != to) {
        i = next;
        continue;
      }
      BlankPrefixMacro(&sc, i, to);
    } else if (decl_level && sc.parens == 0 && sc.specifiers_only && MacroName(copy, i, to)) {
      BlankPrefixMacro(&sc, i, to);  // `explicit API_X Name(`
    } else if (decl_level && sc.parens == 0 && sc.last_tok != 0 && MacroName(copy, i, to)) {
      i = BlankAnnotation(&sc, i, to);
      continue;
    }
    if (Word(&sc, i, to)) BlankExportMacro(&sc, to);
    sc.head_tokens++;
    i = to;
  }
}

#endif  // VELMORA_HAVE_TREE_SITTER
