// The analyzer object and its source registry: creation with the keyword
// table, registration of the files to analyse, and the release of every
// source with its function and call records.
#include <cstring>
#include <string>

#include "engine/parser.h"
#include "engine/precise.h"
#include "engine/source_pool.h"
#include "engine/record_walk.h"
#include "foundation/memory.h"
#include "foundation/ports.h"
#include "foundation/settings.h"
#include "foundation/text.h"
#include "foundation/trace.h"
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
    // The directives: the tokenizer joins '#' and the word before the lookup.
    {"#if", TK_PP_IF},
    {"#ifdef", TK_PP_IFDEF},
    {"#ifndef", TK_PP_IFNDEF},
    {"#else", TK_PP_ELSE},
    {"#endif", TK_PP_ENDIF},
    {"#include", TK_PP_INCLUDE},
    {"#define", TK_PP_DEFINE},
    {"#undef", TK_PP_UNDEF},
    // Words that make the parser skip or enter a declaration.
    {"typedef", TK_TYPEDEF},
    {"struct", TK_STRUCT},
    {"class", TK_CLASS},
    {"enum", TK_ENUM},
    {"extern", TK_EXTERN},
    // Statement words.
    {"if", TK_IF},
    {"else", TK_ELSE},
    {"switch", TK_SWITCH},
    {"case", TK_CASE},
    {"default", TK_DEFAULT},
    {"for", TK_FOR},
    {"while", TK_WHILE},
    {"do", TK_DO},
    {"return", TK_RETURN},
    {"sizeof", TK_SIZEOF},
    {"try", TK_TRY},
    {"catch", TK_CATCH},
    // The two families of inline assembler.
    {"asm", TK_ASM_GCC},
    {"_asm", TK_ASM_WIN},
    {"__asm", TK_ASM_WIN},
    {"__asm__", TK_ASM_GCC},
    // void, and the basic type words, which share one kind.
    {"void", TK_VOID},
    {"int", TK_TYPE},
    {"short", TK_TYPE},
    {"long", TK_TYPE},
    {"unsigned", TK_TYPE},
    {"char", TK_TYPE},
    {"volatile", TK_TYPE},
    {"__volatile__", TK_TYPE},
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
  if (!ANA.names) {
    ANA.names = CreateStrPool();
    if (!ANA.names) {
      DebugPrint("CreateANA :CreateStrPool Error!\r\n");
      return 0;
    }
  }
  // A second creation must not leak the previous sources.
  ANA_SourceRelease();
  HASH_Init(ANA.keywords);
  HASH2_Init(ANA.func_index);
  for (const Keyword &k : kKeywords) HASH_Regist(ANA.keywords, k.word, 0, k.kind);
  CB_Init(&ANA.sources);
  return 1;
}

void ReleaseANA(void) {
  if (ANA.keywords) ReleaseHASH(&ANA.keywords);
  if (ANA.func_index) ReleaseHASH2(&ANA.func_index);
  ANA_SourceRelease();
  ReleaseStrPool(&ANA.names);
}

const char *ANA_Intern(const char *text) {
  const char *copy = StrPoolInternText(ANA.names, text);
  return copy ? copy : "";
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
  // The path has its own block: a source costs its path's length, not the
  // longest path the system allows.
  size_t path_len = strlen(path);
  char *own_path = (char *)MemAlloc(path_len + 1);
  CHBUF *e = own_path ? AddCB(&ANA.sources, nullptr, (int)sizeof(ST_SOURCE)) : nullptr;
  if (!e) {
    MemFree(own_path);
    DebugPrint("%s AddCB error!\r\n", kCreateTag);
    return 0;
  }
  ST_SOURCE *s = (ST_SOURCE *)e->data;
  memcpy(own_path, path, path_len);
  s->path = own_path;
  s->size = (int)size;
  ANA.generation++;
  s->text = nullptr;
  s->status = SOURCE_PENDING;
  // Its records take about a tenth of its size: a first block of that much
  // spares a small source a large block and a large one many small ones.
  size_t first = (size_t)size / 8;
  ArenaInit(&s->records, first < 1024 ? 1024 : first > 65536 ? 65536 : first, (size_t)1 << 20);
  std::string name = Utf8ToSjis(NamePart(path));
  CopyText(s->name, sizeof s->name, name.c_str(), -1, 1);
  CB_Init(&s->funcs);
  CB_Init(&s->classes);
  DebugPrint("%s open \"%s\" \r\n", kCreateTag, Utf8ToSjis(path).c_str());
  return 1;
}

int ANA_SourceCreateAll(ProgressSink *window, CB *paths) {
  pool_stop(nullptr);  // sources parsed ahead go back to registered
  int n = paths ? paths->count : 0;
  int added = 0;
  int i = 0;
  uint32_t last = 0;
  if (paths) {
    CB_ForEach<const char>(*paths, [&](const char *path) {
      added += ANA_SourceCreate(path);
      i++;
      if (window) {
        uint32_t now = TickCount();
        if ((uint32_t)(now - last) > 200) {
          char detail[64];
          FormatText(detail, sizeof detail, "[%d/%d]", i, n);
          window->SetDetail(detail);
          window->SetFunctionProgress((int)((long long)(i - 1) * 100 / n));
          last = now;
        }
      }
    });
  }
  // The precise parser sees through macros that open namespaces, wherever
  // the project defines them.
  if (g_config.PARSER) precise_collect_namespace_macros();
  return added;
}

void ANA_SourceRelease(void) {
  pool_stop(nullptr);
  ForEachSource([](ST_SOURCE *s) {
    direct_release(s);  // a source taken from the store and not yet reported
    MemFree(s->text);
    s->text = nullptr;
    // A function made by the parser has its calls in the arena too: only
    // lists of the heap need a walk to free them.
    ForEachFunction(s, [](ST_FUNC *f, CHBUF *e) {
      if (!e->arena) CB_Init(&f->calls);
    });
    CB_Init(&s->funcs);  // frees each function record of the heap with its element
    CB_Init(&s->classes);
    ArenaRelease(&s->records);
    MemFree(s->path);
    s->path = nullptr;
  });
  StrPoolClear(ANA.names);
  CB_Init(&ANA.sources);
  ANA.generation++;
}

int ANA_IsKeywordText(const char *word, int len) {
  if (!word || len <= 0) return 0;
  for (const Keyword &k : kKeywords) {
    if (strncmp(k.word, word, (size_t)len) == 0 && k.word[len] == 0) return 1;
  }
  return 0;
}

int ANA_GetFuncCount(void) {
  int total = 0;
  ForEachSource([&total](const ST_SOURCE *s) { total += s->funcs.count; });
  return total;
}

int ANA_LostSourceCount(void) {
  int lost = 0;
  ForEachSource(
      [&lost](const ST_SOURCE *s) { lost += s->lost_in && s->status == SOURCE_COMPLETED; });
  return lost;
}

int ANA_PreciseBuiltIn(void) {
  return precise_available();
}

int ANA_FellBackSourceCount(void) {
  int n = 0;
  ForEachSource([&n](const ST_SOURCE *s) {
    n += s->fell_back != PreciseBudget::kNone && s->status == SOURCE_COMPLETED;
  });
  return n;
}
