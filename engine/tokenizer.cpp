// The tokenizer: splits logical lines into identifiers, keywords, numbers,
// literals and operators, one token per call, into the context's token. Bytes are
// classed through one 256-entry table; keywords are found by hash alone
// (EXACT_NAMES also compares the text).
#include <cstring>

#include "engine/parser.h"
#include "foundation/log.h"
#include "foundation/memory.h"
#include "foundation/settings.h"
#include "foundation/trace.h"
#include "platform/codepage.h"

namespace {

enum : unsigned char { CC_OTHER = 0, CC_BLANK = 1, CC_DIGIT = 2, CC_WORD = 3 };

struct CharClass {
  unsigned char c[256];
  constexpr CharClass() : c() {
    for (int b = 0; b < 0x21; b++) c[b] = CC_BLANK;
    for (int b = '0'; b <= '9'; b++) c[b] = CC_DIGIT;
    for (int b = 'a'; b <= 'z'; b++) c[b] = CC_WORD;
    for (int b = 'A'; b <= 'Z'; b++) c[b] = CC_WORD;
    c['_'] = CC_WORD;
  }
};
constexpr CharClass char_class;

inline bool IsWordOrDigit(unsigned char b) {
  return char_class.c[b] >= CC_DIGIT;
}

inline bool IsHexDigit(unsigned char b) {
  return (b >= '0' && b <= '9') || (b >= 'a' && b <= 'f') || (b >= 'A' && b <= 'F');
}

// Clears the token the cheap way: nothing reads text past its terminator.
inline void ClearToken(ST_TOKEN *t) {
  t->text[0] = 0;
  t->pos = nullptr;
  t->len = 0;
  t->kind = 0;
  t->argc = 0;
  t->items = 0;
}

// Copies a token without moving all 260 text bytes: nothing reads text past
// its terminator, which every token keeps within min(len, 255) bytes (a
// literal's len is what replace_ESQ wrote; "--" is the one text longer than
// its len).
inline void CopyToken(ST_TOKEN *dst, const ST_TOKEN *src) {
  dst->pos = src->pos;
  dst->len = src->len;
  dst->kind = src->kind;
  dst->argc = src->argc;
  dst->items = src->items;
  size_t n = src->len < 255 ? (size_t)(src->len > 3 ? src->len : 3) : 255;
  memcpy(dst->text, src->text, n + 1);
}

// The keyword kind of a word whose HashString h was computed while it was
// scanned, so the word is not read a second time. A missing table takes the
// traced path of HASH_Search.
int KeywordKind(int exact_names, unsigned h, const char *word, int len) {
  const ST_HASH *t = ANA.keywords;
  int kind = !t || !t->slots || t->size == 0 ? HASH_Search(ANA.keywords, word, len)
                                             : HASH_SearchHash(t, h);
  // With EXACT_NAMES a name that merely hashes like a keyword stays a name.
  if (kind >= 0 && exact_names && !ANA_IsKeywordText(word, len)) return -1;
  return kind;
}

// The end of the source: the token every later call returns too.
int EndOfSource(ST_PARSE *ctx, bool trace) {
  if (trace) DebugPrint("gt_token : EOF.\r\n");
  ST_TOKEN *t = &ctx->token;
  t->kind = TK_EOF;
  t->pos = nullptr;
  t->len = 0;
  t->text[0] = '-';
  t->text[1] = '-';
  t->text[2] = 0;
  ctx->tok_pos = nullptr;
  if (LogGetLevel() >= 2) LogPrint(2, LOG_DEBUG, "[%4d] %s\r\n", t->kind, t->text);
  return TK_EOF;
}

// One lexeme as the tokenizer reports it.
struct Lexeme {
  unsigned char *start;  // first byte of the text (after the quote of a literal)
  unsigned char *next;   // where the following lexeme starts
  int len;               // bytes of the token (a literal's content only)
  int kind;              // token kind
};

// A word starting at p: a scope or a label when colons follow (after blanks),
// else a keyword or an identifier. Its hash is computed on the way.
__attribute__((always_inline)) inline Lexeme ScanWord(const ST_PARSE *ctx, unsigned char *p) {
  unsigned char *cur = p + 1;
  unsigned h = *p;  // HashString, computed on the way
  while (IsWordOrDigit(*cur)) h = h * 7u ^ *cur++;
  Lexeme x{p, cur, (int)(cur - p), TK_IDENT};
  unsigned char *q = (unsigned char *)skip_blank((char *)cur);
  if (q[0] == ':' && q[1] == ':') {
    x.kind = TK_SCOPE;
    x.len += 2;
    x.next = q + 2;
  } else if (q[0] == ':') {
    x.kind = TK_LABEL;
    x.len += 1;
    x.next = q + 1;
    if (x.len == 8 && memcmp(p, "default:", 8) == 0) x.kind = TK_DEFAULT;
  } else {
    int kind = KeywordKind(ctx->exact_names, h, (const char *)p, x.len);
    if (kind >= 0 && !(kind == TK_CLASS && ctx->mode != MODE_TOP)) x.kind = kind;
    x.next = q;
  }
  return x;
}

// A string or character literal whose opening quote is at p: its content runs
// to the matching quote or the end of the line; a backslash takes the next
// byte, a lead byte its pair.
__attribute__((always_inline)) inline Lexeme ScanLiteral(unsigned char *p) {
  unsigned char quote = *p++;
  unsigned char *q = p;
  while (*q && *q != quote) {
    if ((*q == '\\' || IsSjisLead(*q)) && q[1]) q++;
    q++;
  }
  return Lexeme{p, *q ? q + 1 : q, (int)(q - p), TK_LITERAL};
}

// Any other byte at p: an operator of one to three bytes, a directive, a
// literal, or the byte itself as its kind.
__attribute__((always_inline)) inline Lexeme ScanOther(int exact_names, unsigned char *p) {
  unsigned char b = *p, f = p[1];
  int kind = b, len = 1;
  switch (b) {
    case '!':
      if (f == '=') kind = TK_COMPARE, len = 2;
      break;
    case '%':
    case '*':
    case '^':
    case '~':
      if (f == '=') kind = TK_ASSIGN, len = 2;
      break;
    case '&':
      if (f == '&')
        kind = TK_ANDAND, len = 2;
      else if (f == '=')
        kind = TK_ASSIGN, len = 2;
      break;
    case '+':
      if (f == '+')
        kind = TK_INC, len = 2;
      else if (f == '=')
        kind = TK_ASSIGN, len = 2;
      break;
    case '-':
      if (f == '-')
        kind = TK_DEC, len = 2;
      else if (f == '=')
        kind = TK_ASSIGN, len = 2;
      else if (f == '>')
        kind = TK_ARROW, len = 2;
      break;
    case '.':
      if (f == '.' && p[2] == '.')
        kind = TK_ELLIPSIS, len = 3;
      else
        kind = 0;
      break;
    case '/':
      if (f == '/')
        kind = TK_COMMENT, len = 2;
      else if (f == '=')
        kind = TK_ASSIGN, len = 2;
      break;
    case '<':
      if (f == '=')
        kind = TK_COMPARE, len = 2;
      else if (f == '<')
        kind = p[2] == '=' ? TK_ASSIGN : TK_SHIFT, len = p[2] == '=' ? 3 : 2;
      else
        kind = TK_COMPARE;
      break;
    case '=':
      kind = f == '=' ? TK_COMPARE : TK_ASSIGN;
      if (f == '=') len = 2;
      break;
    case '>':
      if (f == '=')
        kind = TK_COMPARE, len = 2;
      else if (f == '>')
        kind = p[2] == '=' ? TK_ASSIGN : TK_SHIFT, len = p[2] == '=' ? 3 : 2;
      else
        kind = TK_COMPARE;
      break;
    case '|':
      if (f == '|')
        kind = TK_OROR, len = 2;
      else if (f == '=')
        kind = TK_ASSIGN, len = 2;
      break;
    case '#':
      if (char_class.c[f] == CC_WORD) {
        unsigned char *w = p + 1;
        while (IsWordOrDigit(*w)) w++;
        len = (int)(w - p);
        kind = HASH_Search(ANA.keywords, (const char *)p, len);
        if (kind >= 0 && exact_names && !ANA_IsKeywordText((const char *)p, len)) kind = -1;
        if (kind < 0) kind = 0;
      }
      break;
    case '"':
    case '\'':
      return ScanLiteral(p);
    default:
      break;
  }
  return Lexeme{p, p + len, len, kind};
}

}  // namespace

int scan_number(const char *p, int *hex) {
  const unsigned char *q = (const unsigned char *)p;
  bool base16 = false, dot = false;
  int n = 0;
  for (;;) {
    unsigned char c = q[n];
    if (c >= '0' && c <= '9') {
      n++;
    } else if (c == '.' && !base16 && !dot) {
      dot = true;
      n++;
    } else if (n == 1 && q[0] == '0' && (c == 'x' || c == 'X')) {
      base16 = true;
      n++;
    } else if (base16 && IsHexDigit(c)) {
      n++;
    } else {
      break;
    }
  }
  if (hex) *hex = base16 ? 1 : 0;
  return n;
}

int replace_ESQ(char *text, int len) {
  unsigned char *src = (unsigned char *)text;
  int w = 0;
  int i = 0;
  while (i < len && src[i]) {
    unsigned char c = src[i];
    if (IsSjisLead(c) && i + 1 < len && src[i + 1]) {  // a pair is never an escape
      text[w++] = (char)c;
      text[w++] = (char)src[i + 1];
      i += 2;
      continue;
    }
    if (c != '\\' || i + 1 >= len || src[i + 1] == 0) {
      text[w++] = (char)c;
      i++;
      continue;
    }
    unsigned char e = src[i + 1];
    int simple = -1;
    switch (e) {
      case 'a':
        simple = 7;
        break;
      case 'b':
        simple = 8;
        break;
      case 'f':
        simple = 12;
        break;
      case 'n':
        simple = 10;
        break;
      case 'r':
        simple = 13;
        break;
      case 't':
        simple = 9;
        break;
      case 'v':
        simple = 11;
        break;
      case '\\':
        simple = 92;
        break;
      case '\'':
        simple = 39;
        break;
      case '"':
        simple = 34;
        break;
      case '?':
        simple = 63;
        break;
      default:
        break;
    }
    if (simple >= 0) {
      text[w++] = (char)simple;
      i += 2;
      continue;
    }
    long long value = 0;
    int digits = 0;
    int j = i + 1;
    if (e >= '0' && e <= '9') {
      while (j < len && digits < 15 && src[j] >= '0' && src[j] <= '9') {
        value = value * 10 + (src[j] - '0');
        j++;
        digits++;
      }
    } else if (e == 'x' && i + 2 < len && IsHexDigit(src[i + 2])) {
      j = i + 2;
      while (j < len && digits < 15 && IsHexDigit(src[j])) {
        unsigned char h = src[j];
        int d = h <= '9' ? h - '0' : (h | 0x20) - 'a' + 10;
        value = value * 16 + d;
        j++;
        digits++;
      }
    } else {
      // Unknown escape (or a lone \x): both bytes stay.
      text[w++] = '\\';
      text[w++] = (char)e;
      i += 2;
      continue;
    }
    if (value > 255) {
      DebugPrint("%s Over Range Character Code.\r\n", "replace_ESQ :");
      value = 255;
    }
    text[w++] = (char)value;
    i = j;
  }
  text[w] = 0;
  return w;
}

int gt_token(ST_PARSE *ctx) {
  ST_TOKEN *t = &ctx->token;
  if (ctx->depth_exceeded) {
    // The nesting guard ended this source: nothing more is read from it.
    ArenaReset(&ctx->scratch);
    ctx->line_buf = nullptr;
    return EndOfSource(ctx, false);
  }
  if (!ctx->tok_pos) {
    if (!get_line(ctx)) return EndOfSource(ctx, true);
    ctx->trace_level = LogGetLevel();
  }
  unsigned char *p;
  for (;;) {
    CopyToken(&ctx->prev_token, t);
    ClearToken(t);
    p = (unsigned char *)skip_blank(ctx->tok_pos);
    if (*p) break;
    if (!get_line(ctx)) return EndOfSource(ctx, true);
    ctx->trace_level = LogGetLevel();
  }

  Lexeme x;
  switch (char_class.c[*p]) {
    case CC_BLANK:  // a control byte: its value, empty text
      x = Lexeme{p, p + 1, 0, *p};
      break;
    case CC_WORD:
      x = ScanWord(ctx, p);
      break;
    case CC_DIGIT: {
      int hex = 0;
      int len = scan_number((const char *)p, &hex);
      x = Lexeme{p, p + len, len, hex ? TK_HEXNUM : TK_NUMBER};
      break;
    }
    default:
      x = ScanOther(ctx->exact_names, p);
      break;
  }
  p = x.start;
  int kind = x.kind, len = x.len;
  unsigned char *cur = x.next;

  t->kind = kind;
  t->len = len;
  t->pos = (char *)p;
  int n = len < 255 ? len : 255;
  memcpy(t->text, p, (size_t)n);
  t->text[n] = 0;
  ctx->tok_pos = (char *)cur;
  if (kind == TK_LITERAL) {
    if (ctx->trace_level >= 2) {
      char raw[256];
      memcpy(raw, t->text, (size_t)n + 1);
      t->len = replace_ESQ(t->text, n);
      LogPrint(2, LOG_DEBUG, "[%4d] \"%s\"\r\n", kind, raw);
    } else {
      t->len = replace_ESQ(t->text, n);
    }
  } else if (ctx->trace_level >= 2) {
    LogPrint(2, LOG_DEBUG, "[%4d] %s\r\n", kind, t->text);
  }
  return kind;
}
