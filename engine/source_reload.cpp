// Analysing one registered source again, from a text an editor holds or from
// its file: the text is brought to Shift_JIS by the rules of source loading
// (encoding detected from the bytes), its old records are released and the
// parser runs over it from start to end, so the records are those a new
// analysis of the same bytes would make. Linking is the caller's: calls
// elsewhere that reached the old records must be linked again.
#include <cstring>

#include "engine/parser.h"
#include "engine/source_store.h"
#include "foundation/memory.h"
#include "foundation/trace.h"

namespace {

int NeverStop(void) {
  return 0;
}

// Parses s (its text loaded, size set) to its end with a context of its own.
void ParseWhole(ST_SOURCE *s) {
  ST_PARSE *ctx = (ST_PARSE *)MemAlloc(sizeof(ST_PARSE));
  if (!ctx) {
    s->status = SOURCE_COMPLETED;
    return;
  }
  begin_source(ctx, s);
  while (s->status == SOURCE_PENDING) parse_slice(ctx, NeverStop);
  end_source(ctx);
  MemFree(ctx);
}

}  // namespace

int ANA_SourceReload(ST_SOURCE *s, const char *bytes, int len, SourceStamp *stamp) {
  if (stamp) *stamp = SourceStamp{};
  if (!s) return 0;
  forget_parse(s);   // records, classes and text go; status back to 0
  ANA.generation++;  // whatever was made from the old records is stale
  if (bytes) {
    if (len < 0 || len > 0x7FFFFFFF - 64) len = 0;
    s->text = len > 0 ? (char *)MemAlloc((size_t)len + 16) : nullptr;
    s->size = s->text ? wchar2sjis(bytes, len, s->text, len) : 0;
  } else {
    s->size = load_source_stamped(s->path, &s->text, stamp);
  }
  if (s->size <= 0) {
    MemFree(s->text);
    s->text = nullptr;
    s->size = 0;
    s->status = SOURCE_COMPLETED;
    DebugPrint("ANA_SourceReload :No text \"%s\"\r\n", s->name);
    return 0;
  }
  ParseWhole(s);
  MemFree(s->text);
  s->text = nullptr;
  s->status = SOURCE_COMPLETED;
  return 1;
}
