// Call linking: for every call recorded in a function body, the definition it
// reaches. Candidates come from one func_index bucket and are told apart by
// their scope and name hashes and argument counts; a definition in the
// caller's own source wins over one elsewhere. Runs one source per step so
// the worker can show progress and the user can stop it with Escape.
#include "foundation/hash.h"
#include "foundation/log.h"
#include "foundation/text.h"
#include "platform/keys.h"
#include "xref/xref.h"

int link_total = 0;
int link_position = 0;

namespace {

// The source after the one linked last, so that stepping through the sources
// costs O(1) per step instead of a walk from the first source.
CHBUF *g_link_cursor = nullptr;

ST_SOURCE *NextSourceToLink(int sid) {
  void *data = nullptr;
  if (g_link_cursor) {
    CHBUF *e = CB_Next(g_link_cursor, &data);
    if (e && data && ((ST_SOURCE *)data)->sid == sid) {
      g_link_cursor = e;
      return (ST_SOURCE *)data;
    }
  }
  for (CHBUF *e = CB_Next(&ANA.sources, &data); e; e = CB_Next(e, &data)) {
    if (data && ((ST_SOURCE *)data)->sid == sid) {
      g_link_cursor = e;
      return (ST_SOURCE *)data;
    }
  }
  return nullptr;
}

int ArgcMatches(int a, int b) {
  return a < 0 || b < 0 || a == b;
}

}  // namespace

int ANA_LinkCall(ST_CALL *call) {
  if (!call) return 0;
  call->to_sid = 0;
  call->to_fid = 0;
  call->to_func = nullptr;

  ST_FUNC *caller = call->caller;
  int caller_sid = caller ? caller->sid : 0;
  ST_FUNC *found = nullptr;
  if (ANA.func_index) {
    char key[528];
    FormatText(key, sizeof key, "%s:%s", call->scope, call->name);
    CB *bucket = HASH2_Search(ANA.func_index, key, 0);
    void *data = nullptr;
    for (CHBUF *e = bucket ? CB_Next(bucket, &data) : nullptr; e; e = CB_Next(e, &data)) {
      if (!data) continue;
      ST_FUNC *f = (ST_FUNC *)((ST_HASH2_ENTRY *)data)->record;
      if (!f || f->scope_hash != call->scope_hash || f->name_hash != call->name_hash ||
          !ArgcMatches(f->argc, call->argc))
        continue;
      if (!found || f->sid == caller_sid) found = f;
    }
  }

  const char *caller_source = caller && caller->source ? caller->source->name : "";
  const char *caller_scope = caller ? caller->scope : "";
  const char *caller_name = caller ? caller->name : "";
  int caller_fid = caller ? caller->fid : 0;
  if (found) {
    call->to_sid = found->sid;
    call->to_fid = found->fid;
    call->to_func = found;
    found->called = 1;
    const char *to_source = found->source ? found->source->name : "";
    LogPrint(0, LOG_RESULT, "[%s] %s%s(argc:%d)---[LINK]--->(SID:%d,FID:%d)[%s] %s%s\r\n",
             caller_source, call->scope, call->name, call->argc, found->sid, found->fid, to_source,
             found->scope, found->name);
    AddCallRow(caller_sid, caller_source, caller_fid, caller_scope, caller_name, call->scope,
               call->name, call->argc, found->sid, to_source, found->fid, found->scope,
               found->name);
  } else {
    LogPrint(0, LOG_RESULT, "[%s] %s%s(argc:%d)------------>not found.\r\n", caller_source,
             call->scope, call->name, call->argc);
    AddCallRow(caller_sid, caller_source, caller_fid, caller_scope, caller_name, call->scope,
               call->name, call->argc, 0, "", 0, "", "");
  }
  return 1;
}

int ANA_LinkNextSource(void) {
  if (link_position >= link_total) return -1;
  if (link_position == 0) g_link_cursor = nullptr;
  ST_SOURCE *s = NextSourceToLink(link_position + 1);
  if (!s) return -1;

  int stopped = 0;
  void *fdata = nullptr;
  for (CHBUF *fe = CB_Next(&s->funcs, &fdata); fe && !stopped; fe = CB_Next(fe, &fdata)) {
    if (!fdata) continue;
    void *cdata = nullptr;
    for (CHBUF *ce = CB_Next(&((ST_FUNC *)fdata)->calls, &cdata); ce; ce = CB_Next(ce, &cdata)) {
      if (!cdata) continue;
      ST_CALL *c = (ST_CALL *)cdata;
      c->scope_hash = (int)HashString(c->scope, 0);
      c->name_hash = (int)HashString(c->name, 0);
      ANA_LinkCall(c);
      if (EscapePressed()) {
        link_position = link_total;
        stopped = 1;
        break;
      }
    }
  }
  return ++link_position;
}
