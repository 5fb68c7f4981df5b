// The cost of a message lookup: the built-in texts (no catalogue, what a run
// without UI_LANG does), and the English catalogue of the build (the texts of
// a progress line and a warning found, and a source name, which is not a
// key, looked up as the worker's detail line would not be). Prints
// nanoseconds per lookup.
// bench-links: velmora_foundation
#include <chrono>
#include <cstdio>
#include <string>

#include "foundation/messages.h"
#include "platform/codepage.h"
#include "platform/files.h"

namespace {

const int kLookups = 5000000;

double PerLookup(const char *what, const char *key, bool utf8) {
  volatile size_t sink = 0;
  auto t0 = std::chrono::steady_clock::now();
  for (int i = 0; i < kLookups; i++) sink = sink + (size_t)(utf8 ? MsgUtf8(key) : Msg(key))[0];
  double ns =
      std::chrono::duration<double, std::nano>(std::chrono::steady_clock::now() - t0).count() /
      kLookups;
  printf("%-52s %7.1f ns\n", what, ns);
  return ns;
}

void Run(const char *catalogue) {
  std::string link = Utf8ToSjis("link Function.");
  std::string stop = Utf8ToSjis(u8"中断します。");
  printf("-- %s\n", catalogue);
  PerLookup("Shift_JIS text with an entry (\"link Function.\")", link.c_str(), false);
  PerLookup("Shift_JIS text with an entry (\"中断します。\")", stop.c_str(), false);
  PerLookup("Shift_JIS text without an entry (a source name)", "drivers_gpu_drm_i915.c", false);
  PerLookup("UTF-8 text with an entry (\"&Quit.\")", "&Quit.", true);
}

}  // namespace

int main() {
  Run("no catalogue (UI_LANG=ja, or no key)");
  char program[VELMORA_PATH_MAX];
  if (!ProgramPath(program, sizeof program)) return 1;
  std::string path = program;
  path = path.substr(0, path.rfind('/')) + "/../locale/en/LC_MESSAGES/velmora.mo";
  int64_t size = FileSizeForRead(path.c_str());
  std::string bytes(size > 0 ? (size_t)size : 0, '\0');
  if (size <= 0 || ReadFileInto(path.c_str(), &bytes[0], size) != size ||
      !MessagesLoad(bytes.data(), bytes.size())) {
    printf("no English catalogue at %s (build velmora_catalogues)\n", path.c_str());
    return 1;
  }
  Run("the English catalogue (UI_LANG=en)");
  MessagesClear();
  return 0;
}
