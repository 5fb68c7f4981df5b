// The one way a front end records what it found: a function definition
// appended to its source's list, a call appended to its function's. Both
// front ends (the statement parser and the precise one) make their records
// here, so a record always starts the same way whoever read the source.
#include "engine/parser.h"

ST_FUNC *record_function(ST_SOURCE *s, const FUNC_HEAD &head, CHBUF **element) {
  CHBUF *e = AddCBFrom(&s->records, &s->funcs, (int)sizeof(ST_FUNC));
  if (element) *element = e;
  if (!e) return nullptr;
  ST_FUNC *f = (ST_FUNC *)e->data;
  f->source = s;
  CB_Init(&f->calls);
  f->scope = ANA_Intern(head.scope);
  f->name = ANA_Intern(head.name);
  f->argc = head.argc;
  f->items = head.items;
  f->argc_min = head.argc_min;
  f->variadic = head.variadic;
  f->member = head.member;
  f->const_this = head.const_this;
  f->returns = head.returns;
  f->line = head.line;
  f->name_line = head.name_at.line;
  f->name_column = head.name_at.column;
  f->name_offset = head.name_at.offset;
  f->end_line = -1;  // until the body closes
  return f;
}

ST_CALL *record_call(ST_SOURCE *s, ST_FUNC *caller, const char *scope, const char *name, int argc,
                     int line, TEXT_POS at) {
  CHBUF *e = AddCBFrom(&s->records, &caller->calls, (int)sizeof(ST_CALL));
  if (!e) return nullptr;
  ST_CALL *c = (ST_CALL *)e->data;
  c->caller = caller;
  c->scope = scope && scope[0] ? ANA_Intern(scope) : "";
  c->name = ANA_Intern(name);
  c->argc = argc;
  c->items = 0;
  c->line = line;
  c->name_line = at.line;
  c->name_column = at.column;
  return c;
}

void close_functions(ST_SOURCE *s, int last_line) {
  CB_ForEach<ST_FUNC>(s->funcs, [last_line](ST_FUNC *f) {
    if (f->end_line < 0) f->end_line = last_line;
  });
}
