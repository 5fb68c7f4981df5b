// The developer trace sink. Texts arrive in Shift_JIS and leave as UTF-8, to
// stderr or appended to the file named by VELMORA_TRACE; with the variable unset
// they are dropped without any work beyond one getenv.
#include <atomic>
#include <cstring>
#include <mutex>
#include <string>

#include "platform/codepage.h"
#include "platform/files.h"
#include "platform/sys.h"
#include "platform/unique_fd.h"

namespace {

std::atomic<void (*)(const char *)> g_hook{nullptr};

// Serialises sink writes so that lines of two threads never interleave. It is
// recursive so that a hook may itself print a trace line.
std::recursive_mutex &TraceLock() {
  static std::recursive_mutex *lock = new std::recursive_mutex;
  return *lock;
}

}  // namespace

void TraceWrite(const char *sjis_text) {
  if (!sjis_text) return;
  void (*hook)(const char *) = g_hook.load(std::memory_order_acquire);
  if (hook) {
    std::lock_guard<std::recursive_mutex> guard(TraceLock());
    hook(sjis_text);
    return;
  }
  const char *target = GetEnv("VELMORA_TRACE");
  if (!target || !*target) return;

  size_t len = strlen(sjis_text);
  // Shift_JIS grows at most threefold in UTF-8 (one-byte katakana).
  char local[1024];
  std::string big;
  const char *out = local;
  size_t outlen = 0;
  if (len * 3 + 1 <= sizeof local) {
    long n = ConvertText("CP932", "UTF-8", sjis_text, len, local, sizeof local);
    outlen = n > 0 ? (size_t)n : 0;
  } else {
    big = SjisToUtf8(std::string(sjis_text, len));
    out = big.data();
    outlen = big.size();
  }
  if (outlen == 0) return;

  std::lock_guard<std::recursive_mutex> guard(TraceLock());
  if (strcmp(target, "-") == 0) {
    WriteFd(2, out, outlen);
    return;
  }
  UniqueFd fd(OpenAppendFd(target));
  if (fd.valid()) WriteFd(fd.get(), out, outlen);
}

void TraceSetHook(void (*fn)(const char *sjis_text)) {
  g_hook.store(fn, std::memory_order_release);
}
