// The per-source analysis step that the worker calls over and over: loads
// the current source when its analysis starts, writes its banner, runs up to
// ten statement steps, polls the stop key and reports progress, completion
// or a stop, moving on to the next source when one completes.
#include <cstring>
#include <string>

#include "engine/parser.h"
#include "engine/precise.h"
#include "engine/source_pool.h"
#include "engine/source_store.h"
#include "foundation/log.h"
#include "foundation/memory.h"
#include "foundation/text.h"
#include "foundation/trace.h"
#include "platform/codepage.h"
#include "platform/keys.h"

namespace {

const char kTag[] = "ANA_Exec :";
const char kSeparator[] =
    ";--------------------------------------------------------------------------\r\n";
static_assert(sizeof kSeparator == 1 + 74 + 2 + 1, "';', 74 dashes, CR LF");

void WriteBanner(const ST_SOURCE *s) {
  std::string path = Utf8ToSjis(s->path);
  LogPrint(1, LOG_RESULT, "\r\n");
  LogPrint(1, LOG_RESULT, "%s", kSeparator);
  LogPrint(1, LOG_RESULT, ";[SOURCE] \"%s\"\r\n", path.c_str());
  LogPrint(1, LOG_RESULT, "%s", kSeparator);
  LogPrint(1, LOG_DEBUG, "\r\n\r\n");
  LogPrint(1, LOG_DEBUG, "%s", kSeparator);
  LogPrint(1, LOG_DEBUG, ";[SOURCE] \"%s\"\r\n", path.c_str());
  LogPrint(1, LOG_DEBUG, "%s", kSeparator);
}

// Gives back the source's text and the context's line; the records stay.
void DropText(ST_PARSE *ctx, ST_SOURCE *s) {
  MemFree(s->text);
  s->text = nullptr;
  end_source(ctx);
  ctx->read_pos = nullptr;
}

// The source ends with a function body still open (braces unbalanced, or
// preprocessor branches that each open one): the function keeps its first
// values, and whatever the rest of the text defined was taken for its body.
void NoteLost(ST_PARSE *ctx) {
  ST_SOURCE *s = ctx->src;
  const ST_FUNC *f = ctx->cur_func ? (const ST_FUNC *)ctx->cur_func->data : nullptr;
  if (!f) {  // its record could not be made: the head's name is all there is
    s->lost_in = ANA_Intern(ctx->func_name.text);
    s->lost_line = ctx->line_no > 0 ? ctx->line_no - 1 : 0;
    return;
  }
  char name[528];
  FormatText(name, sizeof name, "%s%s", f->scope, f->name);
  s->lost_in = ANA_Intern(name);
  s->lost_line = f->line;
}

// The worker's context: owned by the thread that calls ANA_Exec.
ST_PARSE g_exec;

}  // namespace

ST_PARSE *exec_context(void) {
  return &g_exec;
}

int parse_slice(ST_PARSE *ctx, int (*stop)(void)) {
  if (ctx->precise) return precise_parse_source(ctx, stop);  // the whole source at once
  ST_SOURCE *s = ctx->src;
  for (int i = 0; i < 10; i++) {
    parse_statement(ctx);
    if (stop()) ctx->token.kind = TK_STOP;
    if (ctx->token.kind == TK_STOP) {
      s->status = -2;
      break;
    }
    if (ctx->token.kind == TK_EOF) {
      if (ctx->FUNCTION_FLG) NoteLost(ctx);
      close_functions(s, ctx->line_no > 0 ? ctx->line_no - 1 : 0);
      s->status = -1;
      break;
    }
  }
  if (!ctx->read_pos || s->size <= 0) return 100;
  return (int)((long long)(ctx->read_pos - s->text) * 100 / s->size);
}

int report_completed(ST_SOURCE *s) {
  DebugPrint("%s Completed \"%s\"\r\n", kTag, Utf8ToSjis(s->path).c_str());
  ANA.cur_source = CB_Next(ANA.cur_source, nullptr);
  ANA.header_done = 0;
  DropText(&g_exec, s);
  return ANA_EXEC_SOURCE_DONE;
}

const char *ANA_CurrentSourceName(void) {
  if (!ANA.cur_source || !ANA.cur_source->data) return nullptr;
  return ((const ST_SOURCE *)ANA.cur_source->data)->name;
}

int ANA_Exec(ProgressSink *window, char *name_buffer, int mode) {
  (void)window;
  if (!ANA.cur_source || !ANA.cur_source->data) {
    pool_stop(nullptr);  // every source reported: the threads have ended
    DebugPrint("%s Completed.\r\n", kTag);
    return ANA_EXEC_NO_SOURCE;
  }
  ST_SOURCE *s = (ST_SOURCE *)ANA.cur_source->data;
  if (name_buffer && strcmp(name_buffer, s->name) != 0) CopyText(name_buffer, 260, s->name);
  // The threads start with the first source that nothing has parsed yet;
  // while they run, only pool_exec looks at the sources they take. They
  // start on the first call, so they already parse while the caller pauses
  // between registering the sources and asking for the first slice.
  if (!pool_active() && s->status == 0 && !s->text) pool_start(ANA.cur_source, &kParsing);
  if (mode < 0) return 0;

  LogFlushDue();  // a long source must not keep its lines from the file
  if (!ANA.header_done) {
    WriteBanner(s);
    ANA.header_done = 1;
  }
  if (pool_has(s)) return pool_exec(s);
  if (s->gathered && s->status != -2) return direct_replay(s);  // taken from the store

  if (s->status == -2) {
    pool_stop(ANA.cur_source);  // nothing after a stopped source is reported
    DebugPrint("%s Stopped \"%s\"\r\n", kTag, Utf8ToSjis(s->path).c_str());
    direct_release(s);
    DropText(&g_exec, s);
    return ANA_EXEC_STOPPED;
  }
  if (s->status == -1) return report_completed(s);

  if (!s->text) {
    if (direct_take(s)) return direct_replay(s);
    SourceStamp *stamp = direct_copy_begin();
    direct_copy_on(1);
    s->size = load_source_stamped(s->path, &s->text, stamp);
    if (s->size <= 0) {
      s->status = -1;
      direct_copy_mark(100);
      direct_copy_end(s);
      return 100;
    }
    begin_source(&g_exec, s);
    direct_copy_on(0);
  }

  direct_copy_on(1);
  int progress = parse_slice(&g_exec, EscapePressed);
  direct_copy_mark(progress);
  if (s->status != 0)
    direct_copy_end(s);  // kept when it completed, forgotten when it stopped
  else
    direct_copy_on(0);
  return progress;
}
