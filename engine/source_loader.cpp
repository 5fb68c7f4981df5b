// Source loading: reads a whole file, decides between UTF-16, UTF-8 and
// Shift_JIS, and brings the text to Shift_JIS. The same rules serve the
// analysis and the later fetch of one function's text, so recorded offsets
// stay valid.
#include <cstdint>
#include <cstring>

#include "engine/encoding.h"
#include "engine/parser.h"
#include "engine/source_store.h"
#include "foundation/content_hash.h"
#include "foundation/log.h"
#include "foundation/memory.h"
#include "foundation/trace.h"
#include "platform/codepage.h"
#include "platform/files.h"

namespace {

// UTF-8 (mark or not) to Shift_JIS through UTF-16, terminator included.
// dst holds cap + 1 bytes: a text of only two-byte characters (Greek,
// Cyrillic) is exactly as long in Shift_JIS as in UTF-8, and its terminator
// takes one of the spare bytes after the file's size.
int Utf8ToSjisText(const char *src, int len, char *dst, int cap) {
  LogPrint(1, LOG_DEBUG, "// encode: UTF-8 ==> SJIS\r\n");
  size_t n = strnlen(src, (size_t)len);
  // A UTF-8 byte never yields more than one UTF-16 unit; +1 for the NUL.
  size_t units = n + 1;
  char *wide = (char *)MemAlloc(2 * units + 16);
  if (!wide) {
    DebugPrint("wchar2sjis:Memory Alloc Error.\r\n");
    return 0;
  }
  int result = 0;
  // The terminator is added here rather than read: src holds only len bytes.
  long w = ConvertText("UTF-8", "UTF-16LE", src, n, wide, 2 * units);
  if (w >= 0) {
    wide[w] = wide[w + 1] = 0;
    w += 2;
    long b = ConvertText("UTF-16LE", "CP932", wide, (size_t)w, dst, (size_t)cap + 1);
    if (b > 0) result = (int)b;
  }
  MemFree(wide);
  return result;
}

}  // namespace

// The encoding of the first len bytes of src: a UTF-16 mark (either order),
// a UTF-8 mark, or the first non-ASCII byte starting a valid UTF-8 sequence
// mean what they say; anything else is Shift_JIS.
SourceEncoding DetectSourceEncoding(const char *src, int len) {
  const unsigned char *u = (const unsigned char *)src;
  // Bytes past the end count as zero, so short inputs are read safely.
  auto at = [&](int i) -> unsigned char { return i < len ? u[i] : 0; };
  if ((at(0) == 0xFF && at(1) == 0xFE) || (at(0) == 0xFE && at(1) == 0xFF))
    return SourceEncoding::kUtf16;
  if (at(0) == 0xEF && at(1) == 0xBB && at(2) == 0xBF) return SourceEncoding::kUtf8;
  int first = -1;
  int i = 0;
  for (; i + 8 <= len; i += 8) {  // eight ASCII bytes at a time
    uint64_t w;
    memcpy(&w, u + i, 8);
    if (w & 0x8080808080808080ull) break;
  }
  for (; i < len; i++) {
    if (u[i] & 0x80) {
      first = i;
      break;
    }
  }
  if (first >= 0) {
    unsigned char b = u[first];
    int n = 0;
    for (int bit = 6; bit >= 0 && (b >> bit) & 1; bit--) n++;
    int matched = 0;
    while (matched < n && (at(first + 1 + matched) & 0xC0) == 0x80) matched++;
    if (n >= 1 && matched == n) return SourceEncoding::kUtf8;
  }
  return SourceEncoding::kSjis;
}

int wchar2sjis(const char *src, int len, char *dst, int cap) {
  if (!src || !dst || cap < 0) return 0;
  int known = len < 0 ? (int)strlen(src) : len;
  switch (DetectSourceEncoding(src, known)) {
    case SourceEncoding::kUtf16: {
      LogPrint(1, LOG_DEBUG, "// encode: UTF-16 ==> SJIS\r\n");
      // A big-endian mark means big-endian units: read them as such.
      const char *from = (unsigned char)src[0] == 0xFE ? "UTF-16BE" : "UTF-16LE";
      size_t units = (size_t)known / 2;
      long b = ConvertText(from, "CP932", src, units * 2, dst, (size_t)cap);
      return b > 0 ? (int)b : 0;
    }
    case SourceEncoding::kUtf8:
      return Utf8ToSjisText(src, known, dst, cap);
    case SourceEncoding::kSjis:
    default:
      LogPrint(1, LOG_DEBUG, "// encode: SJIS\r\n");
      memcpy(dst, src, (size_t)(known < cap ? known : cap));
      return cap;
  }
}

int load_source(const char *path, char **text) {
  return load_source_stamped(path, text, nullptr);
}

int load_source_stamped(const char *path, char **text, SourceStamp *stamp) {
  if (stamp) *stamp = SourceStamp{};
  if (!path || !text) return 0;
  int64_t size = FileSizeForRead(path);
  if (size < 0 || size > 0x7FFFFFFF - 64) return 0;
  int n = (int)size;
  char *raw = (char *)MemAlloc((size_t)n + 16);
  if (!raw) return 0;
  FileStamp before, after;
  int64_t got = ReadFileStamped(path, raw, n, &before, &after);
  if (got < 0) {
    MemFree(raw);
    return 0;
  }
  if (stamp) {
    stamp->size = before.size;
    stamp->mtime_ns = before.mtime_ns;
    stamp->hash = ContentHash(raw, (size_t)got);
    stamp->steady = before.size == after.size && before.mtime_ns == after.mtime_ns &&
                    got == before.size && before.size == size;
  }
  // Shift_JIS text is already what the analysis reads: the buffer it was
  // read into (zero past the bytes read) becomes the text.
  if (!*text && got > 0 && DetectSourceEncoding(raw, (int)got) == SourceEncoding::kSjis) {
    LogPrint(1, LOG_DEBUG, "// encode: SJIS\r\n");
    *text = raw;
    return (int)got;
  }
  char *dst = *text ? *text : (char *)MemAlloc((size_t)n + 16);
  int result = 0;
  if (dst) {
    // A file that shrank since its size was taken converts what is there.
    result = wchar2sjis(raw, (int)got, dst, (int)got);
  }
  MemFree(raw);
  if (result > 0) {
    *text = dst;
  } else if (dst != *text) {
    MemFree(dst);
  }
  return result;
}
