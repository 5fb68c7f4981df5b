// The line reader: cuts the Shift_JIS text of a source into logical lines
// with comments removed, continuations joined, adjacent string literals
// merged and CR/LF dropped, and counts the physical lines consumed.
#include <cstring>

#include "engine/parser.h"
#include "foundation/log.h"
#include "foundation/memory.h"
#include "foundation/trace.h"
#include "platform/codepage.h"

namespace {

const char kTag[] = "get_line :";

// Bytes that need a rule of their own while scanning a line; every other
// byte is copied as it is, so runs of them are taken in one sweep.
enum : unsigned char { PLAIN = 0, SPECIAL = 1 };
struct LineClass {
  unsigned char c[256];
  constexpr LineClass() : c() {
    c[0] = c['\n'] = c['\r'] = c['\\'] = c['"'] = c['\''] = c['/'] = SPECIAL;
    for (int b = 0x80; b <= 0xFF; b++)
      if (IsSjisLead((unsigned char)b)) c[b] = SPECIAL;
  }
};
constexpr LineClass kLine;

struct LineScan {
  const char *next;  // where the following logical line starts
  const char *end;   // the LF or NUL that ended this one
  size_t out_len;    // bytes of the logical line
  int lines;         // physical lines consumed
  bool crossed;      // the line went on past limit (scan abandoned)
};

// The bytes after a block comment's opening at p, counting its line feeds
// into *lines; the end of the text when it is not closed.
inline const char *SkipBlockComment(const char *p, int *lines) {
  for (;;) {
    while (*p && *p != '*' && *p != '\n') p++;
    if (*p == 0) return p;
    if (*p == '\n') {
      (*lines)++;
    } else if (p[1] == '/') {
      return p + 2;
    }
    p++;
  }
}

// The first byte after the CR and LF bytes at p, counting the LFs into *lines.
inline const char *SkipLineBreaks(const char *p, int *lines) {
  while (*p == '\r' || *p == '\n') {
    if (*p == '\n') (*lines)++;
    p++;
  }
  return p;
}

// After a closing quote at p - 1: when only blanks and line breaks come before
// another opening quote, the byte after that quote (the two literals are one)
// with the line feeds counted into *lines; else nullptr and *lines unchanged.
inline const char *NextLiteralAfterBlanks(const char *p, int *lines) {
  int lf = 0;
  while (*p == ' ' || *p == '\t' || *p == '\r' || *p == '\n') {
    if (*p == '\n') lf++;
    p++;
  }
  if (*p != '"') return nullptr;
  *lines += lf;
  return p + 1;
}

// Notes that the line's bytes from out offset n on come from the text at src
// (some bytes before src were left out). A gap that cannot be noted (no
// memory) only makes later places in the line less exact.
void AddGap(ST_PARSE *ctx, size_t n, const char *src) {
  if (ctx->gap_count == ctx->gap_cap) {
    int cap = ctx->gap_cap ? ctx->gap_cap * 2 : 8;
    LINE_GAP *more = (LINE_GAP *)ArenaTake(&ctx->scratch, sizeof(LINE_GAP) * (size_t)cap);
    if (!more) return;
    if (ctx->gap_count) memcpy(more, ctx->gaps, sizeof(LINE_GAP) * (size_t)ctx->gap_count);
    ctx->gaps = more;
    ctx->gap_cap = cap;
  }
  ctx->gaps[ctx->gap_count++] = LINE_GAP{(int)n, src};
}

// A new line: no gaps, nothing placed yet.
void ForgetGaps(ST_PARSE *ctx) {
  ctx->gaps = nullptr;
  ctx->gap_count = ctx->gap_cap = 0;
  ctx->seen_src = nullptr;
}

// Scans one logical line from p; with kEmit the line's bytes go to out, which
// must hold the spanned bytes (the line never holds more). With a limit (the
// first LF or NUL after p), the scan stops as soon as the line goes on past
// it; out then needs limit - p + 2 bytes at most.
template <bool kEmit>
LineScan ScanLine(const char *p, char *out, const char *limit, ST_PARSE *ctx) {
  LineScan r;
  r.crossed = false;
#define VELMORA_CHECK_LIMIT() \
  if (limit && p > limit) {   \
    r.crossed = true;         \
    return r;                 \
  }
  int lines = 1;
  bool in_str = false, in_chr = false, in_comment = false;
  size_t n = 0;
  for (;;) {
    if (!in_comment) {
      const char *q = p;
      while (kLine.c[(unsigned char)*q] == PLAIN) q++;
      if (q != p) {
        if (kEmit) memcpy(out + n, p, (size_t)(q - p));
        n += (size_t)(q - p);
        p = q;
      }
    }
    unsigned char c = (unsigned char)*p;
    if (c == 0) {
      r.end = p;
      break;
    }
    if (c == '\n') {
      r.end = p;
      p++;
      break;
    }
    if (c == '\r') {
      p++;
      // A CR ending the line leaves nothing after it to place.
      if (kEmit && *p != '\n' && *p) AddGap(ctx, n, p);
      continue;
    }
    if (IsSjisLead(c)) {  // a pair whole; half a character at the end alone
      int k = p[1] ? 2 : 1;
      if (!in_comment) {
        if (kEmit) {
          out[n] = p[0];
          if (k == 2) out[n + 1] = p[1];
        }
        n += k;
      }
      p += k;
      VELMORA_CHECK_LIMIT();
      continue;
    }
    if (c == '\\' && (p[1] == '\r' || p[1] == '\n')) {  // a continued line
      p = SkipLineBreaks(p + 1, &lines);
      VELMORA_CHECK_LIMIT();
      if (kEmit && !in_comment) AddGap(ctx, n, p);
      continue;
    }
    if (in_comment) {
      p++;
      continue;
    }
    if ((in_str || in_chr) && c == '\\') {  // an escape takes the byte after it
      int k = p[1] ? 2 : 1;
      if (kEmit) {
        out[n] = p[0];
        if (k == 2) out[n + 1] = p[1];
      }
      n += k;
      p += k;
      continue;
    }
    if (c == '"' && !in_chr) {
      if (in_str) {
        // Another literal after only blanks continues this one.
        if (const char *q = NextLiteralAfterBlanks(p + 1, &lines)) {
          p = q;
          VELMORA_CHECK_LIMIT();
          if (kEmit) AddGap(ctx, n, p);
          continue;
        }
        in_str = false;
      } else {
        in_str = true;
      }
      if (kEmit) out[n] = '"';
      n++;
      p++;
      continue;
    }
    if (c == '\'' && !in_str) {
      in_chr = !in_chr;
      if (kEmit) out[n] = '\'';
      n++;
      p++;
      continue;
    }
    if (c == '/' && !in_str && !in_chr) {
      if (p[1] == '/') {
        in_comment = true;
        p += 2;
        continue;
      }
      if (p[1] == '*') {
        // Nothing takes the comment's place; the line goes on after it.
        p = SkipBlockComment(p + 2, &lines);
        VELMORA_CHECK_LIMIT();
        if (kEmit) AddGap(ctx, n, p);
        continue;
      }
    }
    if (kEmit) out[n] = (char)c;
    n++;
    p++;
  }
  r.next = p;
  r.out_len = n;
  r.lines = lines;
  return r;
#undef VELMORA_CHECK_LIMIT
}

}  // namespace

char *skip_blank(char *p) {
  while (*p == ' ' || *p == '\t' || *p == '\n' || *p == '\r') p++;
  return p;
}

char *skip_to_eol(char *p) {
  while (*p && *p != '\n' && *p != 0x1B) p++;
  return p;
}

int get_line(ST_PARSE *ctx) {
  if (!ctx) {
    DebugPrint("%s Invalid Parameter.\r\n", kTag);
    return 0;
  }
  ArenaReset(&ctx->scratch);  // the previous line's bytes
  ForgetGaps(ctx);
  ctx->line_buf = nullptr;
  if (!ctx->read_pos || *ctx->read_pos == 0) {
    DebugPrint("%s Source Terminated.[MAX_LINE:%d]\r\n", kTag, ctx->line_no);
    return 0;
  }
  // Most logical lines end at the first LF: read them in one pass into a
  // buffer of that size. A line that goes on past it (block comment,
  // continuation, merged literal) is measured first and then read.
  const char *limit = strchrnul(ctx->read_pos, '\n');
  size_t spanned = (size_t)(limit - ctx->read_pos);
  // Bytes past the line are zero, as far as the tokenizer looks ahead.
  char *line = (char *)ArenaTake(&ctx->scratch, spanned + 16);
  if (!line) {
    DebugPrint("%s MemoryAlloc Error.\r\n", kTag);
    return 0;
  }
  LineScan span = ScanLine<true>(ctx->read_pos, line, limit, ctx);
  if (span.crossed) {
    ArenaReset(&ctx->scratch);
    ForgetGaps(ctx);
    span = ScanLine<false>(ctx->read_pos, nullptr, nullptr, ctx);
    spanned = (size_t)(span.end - ctx->read_pos);
    line = (char *)ArenaTake(&ctx->scratch, spanned + 16);
    if (!line) {
      DebugPrint("%s MemoryAlloc Error.\r\n", kTag);
      return 0;
    }
    ScanLine<true>(ctx->read_pos, line, nullptr, ctx);
  }
  memset(line + span.out_len, 0, spanned + 16 - span.out_len);
  ctx->line_buf = line;
  ctx->tok_pos = line;
  ctx->line_src = ctx->read_pos;
  ctx->line_first = ctx->line_no;
  ctx->read_pos = (char *)span.next;
  ctx->line_no += span.lines;
  if (spanned <= 1020)
    LogPrint(1, LOG_DEBUG, "[LINE] %s\r\n", line);
  else
    LogPrint(1, LOG_DEBUG, "[LINE] %.*s....\r\n", 1020, line);
  return 1;
}

TEXT_POS line_position(ST_PARSE *ctx, const char *at) {
  TEXT_POS where = {ctx->line_first, 0, 0};
  if (!ctx->line_buf || !ctx->line_src || !ctx->src || !ctx->src->text || !at) return where;
  int k = (int)(at - ctx->line_buf);
  if (k < 0) k = 0;
  // The last gap at or before k tells where that part of the line comes
  // from; without one, the line's bytes are the text's.
  const char *src = ctx->line_src + k;
  for (int i = ctx->gap_count; i-- > 0;) {
    if (ctx->gaps[i].out <= k) {
      src = ctx->gaps[i].src + (k - ctx->gaps[i].out);
      break;
    }
  }
  // Lines are counted from the line's start, or from the place found last
  // when this one lies beyond it.
  const char *from = ctx->line_src, *bol = ctx->line_src;
  int line = ctx->line_first;
  if (ctx->seen_src && ctx->seen_src <= src) {
    from = ctx->seen_src;
    bol = ctx->seen_bol;
    line = ctx->seen_line;
  }
  for (const char *p = from; p < src; p++) {
    p = (const char *)memchr(p, '\n', (size_t)(src - p));
    if (!p) break;
    line++;
    bol = p + 1;
  }
  ctx->seen_src = src;
  ctx->seen_line = line;
  ctx->seen_bol = bol;
  where.line = line;
  where.column = (int)(src - bol);
  where.offset = (int)(src - ctx->src->text);
  return where;
}
