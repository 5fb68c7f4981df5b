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
  if (!ctx) return;
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

}  // namespace

int parse_slice(ST_PARSE *ctx, int (*stop)(void)) {
  if (ctx->precise) return precise_parse_source(ctx, stop);  // the whole source at once
  ST_SOURCE *s = ctx->src;
  for (int i = 0; i < 10; i++) {
    parse_statement(ctx);
    if (stop()) ctx->token.kind = TK_STOP;
    if (ctx->token.kind == TK_STOP) {
      s->status = SOURCE_STOPPED;
      break;
    }
    if (ctx->token.kind == TK_EOF) {
      if (ctx->FUNCTION_FLG) NoteLost(ctx);
      close_functions(s, ctx->line_no > 0 ? ctx->line_no - 1 : 0);
      s->status = SOURCE_COMPLETED;
      break;
    }
  }
  if (!ctx->read_pos || s->size <= 0) return 100;
  return (int)((long long)(ctx->read_pos - s->text) * 100 / s->size);
}

int report_completed(ANA_EXEC *exec, ST_SOURCE *s) {
  DebugPrint("%s Completed \"%s\"\r\n", kTag, Utf8ToSjis(s->path).c_str());
  exec->cur_source = CB_Next(exec->cur_source, nullptr);
  exec->header_done = 0;
  DropText(exec->ctx, s);
  return ANA_EXEC_SOURCE_DONE;
}

void ANA_ExecBegin(ANA_EXEC *exec) {
  exec->cur_source = CB_Next(&ANA.sources, nullptr);
  exec->header_done = 0;
  // Made now, so that every analysis has one whoever parses its sources.
  if (!exec->ctx) exec->ctx = (ST_PARSE *)MemAlloc(sizeof(ST_PARSE));
}

void ANA_ExecRelease(ANA_EXEC *exec) {
  if (!exec) return;
  if (exec->ctx) {
    end_source(exec->ctx);
    MemFree(exec->ctx);
  }
  exec->ctx = nullptr;
  exec->cur_source = nullptr;
  exec->header_done = 0;
}

int ANA_StartParsing(ANA_EXEC *exec) {
  if (!exec || !exec->cur_source || !exec->cur_source->data) return 0;
  const ST_SOURCE *s = (const ST_SOURCE *)exec->cur_source->data;
  // The threads start with the first source that nothing has parsed yet;
  // while they run, only pool_exec looks at the sources they take.
  if (pool_active()) return 1;
  if (s->status != SOURCE_PENDING || s->text) return 0;
  return pool_start(exec->cur_source, &kParsing);
}

const char *ANA_CurrentSourceName(const ANA_EXEC *exec) {
  if (!exec || !exec->cur_source || !exec->cur_source->data) return nullptr;
  return ((const ST_SOURCE *)exec->cur_source->data)->name;
}

int ANA_Exec(ANA_EXEC *exec, ProgressSink *window, char *name_buffer, int mode) {
  (void)window;
  if (!exec || !exec->cur_source || !exec->cur_source->data) {
    pool_stop(nullptr);  // every source reported: the threads have ended
    DebugPrint("%s Completed.\r\n", kTag);
    return ANA_EXEC_NO_SOURCE;
  }
  ST_SOURCE *s = (ST_SOURCE *)exec->cur_source->data;
  if (name_buffer && strcmp(name_buffer, s->name) != 0) CopyText(name_buffer, 260, s->name);
  if (mode < 0) return 0;
  ANA_StartParsing(exec);

  LogFlushDue();  // a long source must not keep its lines from the file
  if (!exec->header_done) {
    WriteBanner(s);
    exec->header_done = 1;
  }
  if (pool_has(s)) return pool_exec(exec, s);
  if (s->gathered && s->status != SOURCE_STOPPED)
    return direct_replay(exec, s);  // taken from the store

  if (s->status == SOURCE_STOPPED) {
    pool_stop(exec->cur_source);  // nothing after a stopped source is reported
    DebugPrint("%s Stopped \"%s\"\r\n", kTag, Utf8ToSjis(s->path).c_str());
    direct_release(s);
    DropText(exec->ctx, s);
    return ANA_EXEC_STOPPED;
  }
  if (s->status == SOURCE_COMPLETED) return report_completed(exec, s);

  if (!exec->ctx) {
    exec->ctx = (ST_PARSE *)MemAlloc(sizeof(ST_PARSE));
    if (!exec->ctx) {  // no context, no parse: the source ends here as unreadable
      s->status = SOURCE_COMPLETED;
      return 100;
    }
  }
  if (!s->text) {
    if (direct_take(s)) return direct_replay(exec, s);
    SourceStamp *stamp = direct_copy_begin();
    direct_copy_on(1);
    s->size = load_source_stamped(s->path, &s->text, stamp);
    if (s->size <= 0) {
      s->status = SOURCE_COMPLETED;
      direct_copy_mark(100);
      direct_copy_end(s);
      return 100;
    }
    begin_source(exec->ctx, s);
    exec->ctx->yield_every = exec->yield_every;
    direct_copy_on(0);
  }

  direct_copy_on(1);
  int progress = parse_slice(exec->ctx, EscapePressed);
  direct_copy_mark(progress);
  if (s->status != SOURCE_PENDING)
    direct_copy_end(s);  // kept when it completed, forgotten when it stopped
  else
    direct_copy_on(0);
  return progress;
}
