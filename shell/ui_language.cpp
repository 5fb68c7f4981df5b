// The interface language (see ui_language.h): values, the locale, the
// catalogue's file and its loading.
#include "shell/ui_language.h"

#include <cstring>
#include <strings.h>
#include <memory>
#include <string>

#include "foundation/messages.h"
#include "foundation/text.h"
#include "foundation/trace.h"
#include "platform/files.h"
#include "platform/sys.h"
#include "shell/file_places.h"

// The installed catalogues' folder, relative to the programs' folder; the
// install rules define it from their own layout.
#ifndef VELMORA_LOCALE_DIR_FROM_BIN
#define VELMORA_LOCALE_DIR_FROM_BIN "../share/locale"
#endif

namespace {

const char kDomain[] = "velmora";
// A catalogue of the program's few hundred texts is a few kilobytes; a file
// far larger than that is not one.
const int64_t kMaxCatalogue = 4 << 20;

bool IsLetter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
char Lower(char c) {
  return c >= 'A' && c <= 'Z' ? (char)(c - 'A' + 'a') : c;
}
char Upper(char c) {
  return c >= 'a' && c <= 'z' ? (char)(c - 'a' + 'A') : c;
}

// A language code xx, xxx, xx_YY or xxx_YY (any case) as "xx" / "xx_YY";
// "" when text is not one.
std::string Code(const char *text, size_t len) {
  size_t i = 0;
  std::string out;
  while (i < len && IsLetter(text[i]) && i < 3) out += Lower(text[i++]);
  if (out.size() < 2) return std::string();
  if (i == len) return out;
  if (text[i] != '_' || len - i != 3 || !IsLetter(text[i + 1]) || !IsLetter(text[i + 2]))
    return std::string();
  out += '_';
  out += Upper(text[i + 1]);
  out += Upper(text[i + 2]);
  return out;
}

// The locale's language for messages: the first of LC_ALL, LC_MESSAGES and
// LANG that is set and not empty, as a code ("" for C, POSIX or none).
std::string LocaleLanguage() {
  const char *names[] = {"LC_ALL", "LC_MESSAGES", "LANG"};
  for (const char *name : names) {
    const char *v = GetEnv(name);
    if (!v || !*v) continue;
    // language[_territory][.codeset][@modifier]
    size_t len = strcspn(v, ".@");
    return Code(v, len);  // "C" and "POSIX" are no code
  }
  return std::string();
}

bool IsJapanese(const std::string &code) {
  return code == "ja" || code.compare(0, 3, "ja_") == 0;
}

}  // namespace

int UiLanguageValid(const char *value) {
  if (!value) return 0;
  if (strcasecmp(value, "auto") == 0) return 1;
  return Code(value, strlen(value)).empty() ? 0 : 1;
}

int FindCatalogue(const char *program_path, const char *code, char *out, size_t cap) {
  if (out && cap) out[0] = 0;
  if (!program_path || !*program_path || !code || !out) return 0;
  std::string folder = FolderOfPath(program_path);
  const std::string places[] = {folder + "/locale",
                                ResolveFromFolder(folder, VELMORA_LOCALE_DIR_FROM_BIN)};
  std::string codes[] = {code, std::string(code).substr(0, strcspn(code, "_"))};
  for (const std::string &place : places) {
    for (const std::string &c : codes) {
      std::string path = place + "/" + c + "/LC_MESSAGES/" + kDomain + ".mo";
      if (path.size() + 1 > cap || !IsRegularFile(path.c_str())) continue;
      memcpy(out, path.c_str(), path.size() + 1);
      return 1;
    }
  }
  return 0;
}

void ResolveUiLanguage(const char *value, const char *program_path, char *code, size_t cap) {
  std::string v = value ? value : "";
  std::string c;
  if (strcasecmp(v.c_str(), "auto") == 0) {
    c = LocaleLanguage();
    if (c.empty() || IsJapanese(c)) {
      c = "ja";
    } else {
      // The locale's own language when the program speaks it, else English.
      char path[VELMORA_PATH_MAX];
      if (!FindCatalogue(program_path, c.c_str(), path, sizeof path)) c = "en";
    }
  } else {
    c = Code(v.c_str(), v.size());
    if (c.empty()) c = "ja";
  }
  if (IsJapanese(c)) c = "ja";
  CopyText(code, cap, c.c_str());
}

int UseUiLanguage(const char *program_path, const char *value) {
  char code[16];
  ResolveUiLanguage(value, program_path, code, sizeof code);
  char path[VELMORA_PATH_MAX];
  if (strcmp(code, "ja") == 0 || !FindCatalogue(program_path, code, path, sizeof path)) {
    MessagesClear();
    return 0;
  }
  int64_t size = FileSizeForRead(path);
  if (size <= 0 || size > kMaxCatalogue) {
    MessagesClear();
    return 0;
  }
  std::unique_ptr<char[]> bytes(new char[(size_t)size]);
  int64_t got = ReadFileInto(path, bytes.get(), size);
  if (got != size || !MessagesLoad(bytes.get(), (size_t)got)) {
    DebugPrint("UseUiLanguage :Not a catalogue! (%s)\r\n", code);
    MessagesClear();
    return 0;
  }
  return 1;
}
