// Text conversion over iconv. iconv stops at the first character it cannot
// convert; we put one '?' (in the target encoding) in its place and go on
// after that whole character, so a bad byte never loses the rest of the text.
#include "platform/codepage.h"

#include <iconv.h>
#include <strings.h>

#include <cerrno>
#include <cstring>

namespace {

enum Enc { ENC_OTHER, ENC_CP932, ENC_UTF8, ENC_UTF16LE, ENC_UTF16BE };

Enc Classify(const char *name) {
  if (!strcasecmp(name, "CP932") || !strcasecmp(name, "SHIFT_JIS") ||
      !strcasecmp(name, "WINDOWS-31J"))
    return ENC_CP932;
  if (!strcasecmp(name, "UTF-8") || !strcasecmp(name, "UTF8")) return ENC_UTF8;
  if (!strcasecmp(name, "UTF-16LE")) return ENC_UTF16LE;
  if (!strcasecmp(name, "UTF-16BE")) return ENC_UTF16BE;
  return ENC_OTHER;
}

// A few open descriptors per thread: opening one costs far more than a short
// conversion, and trace lines convert one at a time.
struct IconvCache {
  struct Slot {
    char from[16], to[16];
    iconv_t cd;
  };
  Slot slots[4];
  int used = 0;
  int next = 0;
  ~IconvCache() {
    for (int i = 0; i < used; i++) iconv_close(slots[i].cd);
  }
  iconv_t Get(const char *from, const char *to) {
    for (int i = 0; i < used; i++)
      if (!strcmp(slots[i].from, from) && !strcmp(slots[i].to, to)) return slots[i].cd;
    if (strlen(from) >= sizeof slots[0].from || strlen(to) >= sizeof slots[0].to)
      return (iconv_t)-1;
    iconv_t cd = iconv_open(to, from);
    if (cd == (iconv_t)-1) return cd;
    int k;
    if (used < 4) {
      k = used++;
    } else {
      k = next;
      next = (next + 1) % 4;
      iconv_close(slots[k].cd);
    }
    memcpy(slots[k].from, from, strlen(from) + 1);
    memcpy(slots[k].to, to, strlen(to) + 1);
    slots[k].cd = cd;
    return cd;
  }
};

thread_local IconvCache t_cache;

bool IsCont(unsigned char b) {
  return (b & 0xC0) == 0x80;
}

// Bytes to step over when the character at p (n bytes left) cannot be
// converted: the whole character when it is well formed, else one unit.
size_t BadCharLength(Enc enc, const unsigned char *p, size_t n) {
  switch (enc) {
    case ENC_CP932: {
      if (IsSjisLead(p[0]) && n >= 2) {
        unsigned char t = p[1];
        if ((t >= 0x40 && t <= 0x7E) || (t >= 0x80 && t <= 0xFC)) return 2;
      }
      return 1;
    }
    case ENC_UTF8: {
      unsigned char b = p[0];
      size_t len = b < 0x80             ? 1
                   : (b & 0xE0) == 0xC0 ? 2
                   : (b & 0xF0) == 0xE0 ? 3
                   : (b & 0xF8) == 0xF0 ? 4
                                        : 1;
      if (len > n) return 1;
      for (size_t i = 1; i < len; i++)
        if (!IsCont(p[i])) return 1;
      return len;
    }
    case ENC_UTF16LE:
    case ENC_UTF16BE: {
      if (n < 2) return n;
      unsigned u = enc == ENC_UTF16LE ? (p[0] | p[1] << 8) : (p[0] << 8 | p[1]);
      if (u >= 0xD800 && u <= 0xDBFF && n >= 4) {
        unsigned v = enc == ENC_UTF16LE ? (p[2] | p[3] << 8) : (p[2] << 8 | p[3]);
        if (v >= 0xDC00 && v <= 0xDFFF) return 4;
      }
      return 2;
    }
    default:
      return 1;
  }
}

}  // namespace

long ConvertText(const char *from, const char *to, const void *src, size_t srclen, void *dst,
                 size_t cap) {
  if (!from || !to || (!src && srclen) || (!dst && cap)) return -1;
  if (srclen == 0) return 0;
  iconv_t cd = t_cache.Get(from, to);
  if (cd == (iconv_t)-1) return -1;
  iconv(cd, nullptr, nullptr, nullptr, nullptr);

  Enc in_enc = Classify(from);
  Enc out_enc = Classify(to);
  const char *q16le = "?\0", *q16be = "\0?";
  const char *qmark = out_enc == ENC_UTF16LE ? q16le : out_enc == ENC_UTF16BE ? q16be : "?";
  size_t qlen = (out_enc == ENC_UTF16LE || out_enc == ENC_UTF16BE) ? 2 : 1;

  char *in = (char *)src;
  size_t inleft = srclen;
  char *out = (char *)dst;
  size_t outleft = cap;
  while (inleft > 0) {
    size_t r = iconv(cd, &in, &inleft, &out, &outleft);
    if (r != (size_t)-1) break;
    if (errno == E2BIG) return -1;
    if (errno != EILSEQ && errno != EINVAL) return -1;
    if (outleft < qlen) return -1;
    memcpy(out, qmark, qlen);
    out += qlen;
    outleft -= qlen;
    if (errno == EINVAL) break;  // truncated character at the end
    size_t skip = BadCharLength(in_enc, (const unsigned char *)in, inleft);
    if (skip == 0 || skip > inleft) skip = inleft;
    in += skip;
    inleft -= skip;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
  }
  if (iconv(cd, nullptr, nullptr, &out, &outleft) == (size_t)-1) return -1;
  return (long)(cap - outleft);
}

namespace {
std::string ConvertString(const char *from, const char *to, const std::string &s, size_t cap) {
  if (s.empty()) return std::string();
  std::string out;
  for (;;) {
    out.resize(cap);
    long n = ConvertText(from, to, s.data(), s.size(), &out[0], cap);
    if (n >= 0) {
      out.resize((size_t)n);
      return out;
    }
    if (cap > s.size() * 8 + 64) return std::string();  // encoding unavailable
    cap *= 2;
  }
}
}  // namespace

std::string SjisToUtf8(const std::string &sjis) {
  return ConvertString("CP932", "UTF-8", sjis, sjis.size() * 3 + 4);
}

std::string Utf8ToSjis(const std::string &utf8) {
  return ConvertString("UTF-8", "CP932", utf8, utf8.size() + 4);
}
