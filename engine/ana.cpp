// The analyzer object and its source registry: creation with the keyword
// table, registration of the files to analyse, and the release of every
// source with its function and call records.
#include <cstring>
#include <string>

#include "engine/parser.h"
#include "foundation/memory.h"
#include "foundation/ports.h"
#include "foundation/settings.h"
#include "foundation/text.h"
#include "platform/codepage.h"
#include "platform/files.h"
#include "platform/sys.h"

ST_ANA ANA;

namespace {

struct Keyword {
  const char *word;
  int kind;
};

// Registered in this order; the table keeps only their hashes.
const Keyword kKeywords[] = {
    {"#if", 2000},          {"#ifdef", 2001},   {"#ifndef", 2002}, {"#else", 2003},
    {"#endif", 2004},       {"#include", 2005}, {"#define", 2006}, {"#undef", 2007},
    {"typedef", 2008},      {"struct", 2009},   {"class", 2010},   {"enum", 2011},
    {"extern", 2012},       {"if", 1016},       {"else", 1017},    {"switch", 1018},
    {"case", 1019},         {"default", 1020},  {"for", 1021},     {"while", 1022},
    {"do", 1023},           {"return", 1024},   {"sizeof", 1025},  {"try", 1027},
    {"catch", 1028},        {"asm", 1030},      {"_asm", 1031},    {"__asm", 1031},
    {"__asm__", 1030},      {"void", 1026},     {"int", 1004},     {"short", 1004},
    {"long", 1004},         {"unsigned", 1004}, {"char", 1004},    {"volatile", 1004},
    {"__volatile__", 1004},
};
static_assert(sizeof kKeywords / sizeof kKeywords[0] == 37, "37 keywords");

const char kCreateTag[] = "ANA_SourceCreate :";

// The file-name part of a native path: after the last '/' or '\'. In UTF-8 a
// 0x5C byte is never part of a longer character, so every one separates.
const char *NamePart(const char *path) {
  const char *name = path;
  for (const char *p = path; *p; p++)
    if (*p == '/' || *p == '\\') name = p + 1;
  return name;
}

}  // namespace

int CreateANA(void) {
  if (!ANA.keywords) {
    ANA.keywords = CreateHASH(8191);
    if (!ANA.keywords) {
      DebugPrint("CreateANA :CreateHASH Error![Src]\r\n");
      return 0;
    }
  }
  if (!ANA.func_index) {
    ANA.func_index = CreateHASH2(g_config.MAX_HASH_BUFFER);
    if (!ANA.func_index) {
      DebugPrint("CreateANA :CreateHASH2 Error![Func]\r\n");
      return 0;
    }
  }
  // A second creation must not leak the previous line or sources.
  ANA_SourceRelease();
  MemFree(ANA.tree_line);
  int bytes = 16 * g_config.MAX_CALL_NEST + 772;
  ANA.tree_line = (char *)MemAlloc((size_t)bytes);
  if (!ANA.tree_line) {
    ReleaseANA();
    DebugPrint("CreateANA :Memory Alloc Error.(%d[Byte])\r\n", bytes);
    return 0;
  }
  ANA.cur_source = nullptr;
  HASH_Init(ANA.keywords);
  HASH2_Init(ANA.func_index);
  for (const Keyword &k : kKeywords) HASH_Regist(ANA.keywords, k.word, 0, k.kind);
  CB_Init(&ANA.sources);
  memset(&ANA.token, 0, sizeof ANA.token);
  ANA.FUNCTION_FLG = 0;
  ANA.CLASS_FLG = 0;
  ANA.brace_nest = 0;
  ANA.bracket_nest = 0;
  ANA.paren_nest = 0;
  ANA.depth = 0;
  ANA.depth_exceeded = 0;
  return 1;
}

void ReleaseANA(void) {
  if (ANA.keywords) ReleaseHASH(&ANA.keywords);
  if (ANA.func_index) ReleaseHASH2(&ANA.func_index);
  ANA_SourceRelease();
  MemFree(ANA.tree_line);
  ANA.tree_line = nullptr;
}

int ANA_SourceCreate(const char *path) {
  if (!path) return 0;
  int64_t size = FileSizeForRead(path);
  if (size < 0) return 0;  // cannot be opened for reading: skipped silently
  if (size == 0) {
    DebugPrint("%s Zero size error!\r\n", kCreateTag);
    return 0;
  }
  // Records hold sizes and offsets as 32-bit ints; a larger file cannot be
  // represented and is skipped like one that cannot be read.
  if (size > 0x7FFFFFFF - 64) return 0;
  CHBUF *e = AddCB(&ANA.sources, nullptr, (int)sizeof(ST_SOURCE));
  if (!e) {
    DebugPrint("%s AddCB error!\r\n", kCreateTag);
    return 0;
  }
  ST_SOURCE *s = (ST_SOURCE *)e->data;
  s->size = (int)size;
  s->text = s->read_pos = s->line_buf = s->tok_pos = s->anchor_pos = nullptr;
  s->cur_func = nullptr;
  s->line_no = 0;
  s->status = 0;
  CopyText(s->path, sizeof s->path, path);
  std::string name = Utf8ToSjis(NamePart(path));
  CopyText(s->name, sizeof s->name, name.c_str(), -1, 1);
  CB_Init(&s->funcs);
  DebugPrint("%s open \"%s\" \r\n", kCreateTag, Utf8ToSjis(path).c_str());
  return 1;
}

int ANA_SourceCreateAll(ProgressSink *window, CB *paths) {
  int n = paths ? paths->count : 0;
  uint32_t last = 0;
  const void *node = paths;
  for (int i = 0; i < n; i++) {
    void *data = nullptr;
    node = CB_Next(node, &data);
    if (!node) break;
    if (data) ANA_SourceCreate((const char *)data);
    if (window) {
      uint32_t now = TickCount();
      if ((uint32_t)(now - last) > 200) {
        char detail[64];
        FormatText(detail, sizeof detail, "[%d/%d]", i + 1, n);
        window->SetDetail(detail);
        window->SetFunctionProgress((int)((long long)i * 100 / n));
        last = now;
      }
    }
  }
  ANA.header_done = 0;
  ANA.cur_source = CB_Next(&ANA.sources, nullptr);
  return 1;
}

void ANA_SourceRelease(void) {
  const void *node = &ANA.sources;
  int n = ANA.sources.count;
  for (int i = 0; i < n; i++) {
    void *data = nullptr;
    node = CB_Next(node, &data);
    if (!node) break;
    ST_SOURCE *s = (ST_SOURCE *)data;
    if (!s) continue;
    MemFree(s->text);
    s->text = nullptr;
    MemFree(s->line_buf);
    s->line_buf = nullptr;
    s->tok_pos = s->read_pos = s->anchor_pos = nullptr;
    const void *fnode = &s->funcs;
    int fn = s->funcs.count;
    for (int j = 0; j < fn; j++) {
      void *fdata = nullptr;
      fnode = CB_Next(fnode, &fdata);
      if (!fnode) break;
      if (fdata) CB_Init(&((ST_FUNC *)fdata)->calls);
    }
    CB_Init(&s->funcs);  // frees each function record with its element
    s->cur_func = nullptr;
  }
  CB_Init(&ANA.sources);
  ANA.cur_source = nullptr;
}

int ANA_GetFuncCount(void) {
  int total = 0;
  const void *node = &ANA.sources;
  int n = ANA.sources.count;
  for (int i = 0; i < n; i++) {
    void *data = nullptr;
    node = CB_Next(node, &data);
    if (!node) break;
    if (data) total += ((ST_SOURCE *)data)->funcs.count;
  }
  return total;
}
