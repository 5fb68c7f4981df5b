// One source through the precise front end: the grammar chosen by the file's
// extension parses a copy of the text in which every byte past ASCII is an
// 'x', and one loop over the tree (a cursor and an explicit path, never a
// recursion, so no nesting can exhaust the stack) hands namespaces, classes,
// function definitions and calls to their readers. Unreadable regions are
// counted; each costs only the construct it covers. A source that would cost
// the library more than its budget (size, memory, time) goes to the
// statement parser before anything of it is written.
#include <cstdint>
#include <cstring>

#include "engine/precise.h"
#include "foundation/log.h"
#include "foundation/memory.h"
#include "foundation/trace.h"
#include "platform/codepage.h"
#include "platform/sys.h"

// The budget of one source. Typical C and C++ costs the library about 200
// bytes of memory per byte of text and takes some 7 MB/s; hostile text
// (`A<A<A...`, unterminated raw strings) costs thousands of bytes per byte or
// time that grows with the square of its length.
const PreciseLimits kPreciseLimits = {
    4u << 20,             // 4 MiB of text
    (uint64_t)512 << 20,  // 512 MiB of the library's memory
    20000,                // 20 s of parsing
    50000,                // a look at the stop key, the clock and the memory every 50 ms
    TickCount,
};
PreciseLimits g_precise_limits = kPreciseLimits;
int g_precise_hidden = 0;

const char *precise_budget_word(PreciseBudget budget) {
  switch (budget) {
    case PreciseBudget::kSize:
      return "size";
    case PreciseBudget::kMemory:
      return "memory";
    case PreciseBudget::kTime:
      return "time";
    case PreciseBudget::kNone:
      break;
  }
  return "";
}

#ifdef VELMORA_HAVE_TREE_SITTER
#include "engine/precise_internal.h"
#include "engine/record_walk.h"

namespace {

const char kTag[] = "precise :";
const uint64_t kSliceMicros = 50000;   // how long the walk runs between stop checks
const unsigned kNodesPerCheck = 4096;  // nodes walked between two looks at the clock

// 1 for .c (the C grammar); headers and everything else are read as C++.
int IsCSource(const char *name) {
  const char *dot = strrchr(name, '.');
  return dot && strcmp(dot, ".c") == 0;
}

// The copy the parser reads: same offsets, nothing past ASCII. A Shift_JIS
// pair goes whole, since its second byte may be a backslash ("\x95\x5c").
char *MaskedCopy(const char *text, uint32_t len) {
  char *copy = (char *)MemAlloc(len + 1);
  if (!copy) return nullptr;
  for (uint32_t i = 0; i < len; i++) {
    unsigned char c = (unsigned char)text[i];
    if (c < 0x80) {
      copy[i] = (char)c;
      continue;
    }
    copy[i] = 'x';
    if (IsSjisLead(c) && i + 1 < len && (unsigned char)text[i + 1] >= 0x40) copy[++i] = 'x';
  }
  copy[len] = 0;
  return copy;
}

bool Skipped(const PreciseGrammar &g, TSSymbol s) {
  return s == g.comment || s == g.string_literal || s == g.raw_string_literal ||
         s == g.char_literal || s == g.concatenated_string || s == g.number_literal;
}

bool Directive(const PreciseGrammar &g, TSSymbol s) {
  return s == g.preproc_def || s == g.preproc_function_def || s == g.preproc_call ||
         s == g.preproc_include;
}

// A token: the brackets it opens or closes, and the definitions' anchor.
void Token(PreciseWalk *w, TSNode n) {
  uint32_t at = NodeStart(w->t, n);
  uint32_t end = NodeEnd(w->t, n);
  if (end != at + 1) {
    if (end > at && w->t.text[at] == '#' && w->funcs.empty()) w->anchor_at = at;
    return;
  }
  char c = w->t.text[at];
  if (c == '(' || c == '{' || c == '[') {
    w->brackets++;
  } else if (c == ')' || c == '}' || c == ']') {
    if (w->brackets > 0) w->brackets--;
  }
  if ((c == ';' || c == '}' || c == '#') && w->funcs.empty()) w->anchor_at = at;
}

// The node at the end of the path is met; true when its children are to be
// walked.
bool Enter(PreciseWalk *w) {
  const PreciseGrammar &g = *w->g;
  PreciseEntry &e = w->path.back();
  if (w->next_macro < w->macro_scopes.size() && w->funcs.empty())
    precise_macro_scopes_before(w, NodeStart(w->t, e.node));
  if (ts_node_is_missing(e.node)) {
    if (w->error_depth == SIZE_MAX) w->errors++;
    return false;
  }
  if (e.sym == kErrorSymbol) {
    if (w->error_depth == SIZE_MAX) {
      w->errors++;
      w->error_depth = w->path.size() - 1;
    }
    return true;
  }
  if (ts_node_child_count(e.node) == 0) {
    Token(w, e.node);
    return false;
  }
  if (Skipped(g, e.sym)) return false;
  if (Directive(g, e.sym)) {
    uint32_t end = NodeEnd(w->t, e.node);
    uint32_t start = NodeStart(w->t, e.node);
    if (w->funcs.empty()) w->anchor_at = end > start ? end - 1 : start;
    return false;
  }
  if (e.sym == g.function_definition) {
    if (w->funcs.empty()) precise_enter_function(w);
  } else if (e.sym == g.compound_statement) {
    if (w->funcs.empty() && w->error_depth != SIZE_MAX) precise_recover_function(w);
  } else if (e.sym == g.call_expression) {
    if (!w->funcs.empty()) precise_enter_call(w);
  } else if (e.sym == g.enum_specifier) {
    if (g.cpp) precise_record_enum(w);
  } else if (e.sym == g.declaration) {
    if (g.cpp && w->funcs.empty()) precise_record_declaration(w);
  } else if (e.sym == g.alias_declaration || e.sym == g.type_definition) {
    if (g.cpp && w->funcs.empty()) precise_record_alias(w);
  } else if (e.sym == g.namespace_definition || e.sym == g.class_specifier ||
             e.sym == g.struct_specifier || e.sym == g.union_specifier) {
    precise_enter_scope(w);
  }
  return true;
}

// The node at the end of the path is left (its children walked).
void Leave(PreciseWalk *w) {
  size_t depth = w->path.size() - 1;
  const PreciseEntry &e = w->path.back();
  if (depth > 0 && ts_node_is_named(e.node) && e.sym != w->g->comment)
    w->path[depth - 1].last_child = e.node;
  if (!w->funcs.empty() && w->funcs.back().depth == depth) precise_leave_function(w);
  precise_leave_scope(w);
  if (w->error_depth == depth) w->error_depth = SIZE_MAX;
}

void Push(PreciseWalk *w, TSTreeCursor *c) {
  TSNode n = ts_tree_cursor_current_node(c);
  w->path.push_back(PreciseEntry{n, ts_node_symbol(n), TSNode{}});
}

// Walks the whole tree; 0 when stop said yes on the way.
int Walk(PreciseWalk *w, TSNode root, int (*stop)(void)) {
  TSTreeCursor c = ts_tree_cursor_new(root);
  Push(w, &c);
  bool descend = Enter(w);
  unsigned nodes = 0;
  uint32_t last_check = TickCount();
  int go_on = 1;
  while (go_on) {
    if (++nodes % kNodesPerCheck == 0 && TickCount() - last_check >= kSliceMicros / 1000) {
      last_check = TickCount();
      if (stop()) {
        go_on = 0;
        break;
      }
      if (w->ctx->yield_every > 0) YieldCpu();
    }
    if (descend && ts_tree_cursor_goto_first_child(&c)) {
      Push(w, &c);
      descend = Enter(w);
      continue;
    }
    for (;;) {
      Leave(w);
      w->path.pop_back();
      if (w->path.empty()) break;
      if (ts_tree_cursor_goto_next_sibling(&c)) {
        Push(w, &c);
        descend = Enter(w);
        break;
      }
      ts_tree_cursor_goto_parent(&c);
    }
    if (w->path.empty()) break;
  }
  ts_tree_cursor_delete(&c);
  return go_on;
}

// A stopped source keeps nothing of what was read.
void DropRecords(ST_SOURCE *s) {
  ForEachFunction(s, [](ST_FUNC *f) { CB_Init(&f->calls); });
  CB_Init(&s->funcs);
  CB_Init(&s->classes);
  ArenaRelease(&s->records);
}

// Parses masked (len bytes) with the grammar; nullptr when stop said yes
// (*stopped then 1), when the parse went past its memory or time budget
// (*over says which) or when the grammar does not fit the library. The
// library gives control back every slice, and at once when the scope's
// memory passes its limit (its cancellation flag).
TSTree *Parse(TSParser *p, const PreciseGrammar &g, const char *masked, uint32_t len,
              int (*stop)(void), int *stopped, PreciseBudget *over) {
  if (!ts_parser_set_language(p, g.language)) return nullptr;
  const PreciseLimits &lim = g_precise_limits;
  ts_parser_set_timeout_micros(p, lim.slice_us);
  ts_parser_set_cancellation_flag(p, precise_scope_over_flag());
  uint32_t start = lim.clock_ms();
  for (;;) {
    TSTree *tree = ts_parser_parse_string(p, nullptr, masked, len);
    if (tree) return tree;
    if (stop()) {
      *stopped = 1;
      return nullptr;
    }
    if (precise_scope_over()) {
      *over = PreciseBudget::kMemory;
      return nullptr;
    }
    if (lim.clock_ms() - start >= lim.max_ms) {
      *over = PreciseBudget::kTime;
      return nullptr;
    }
  }
}

// The source goes to the statement parser, which reads it from its start
// as if it had been asked for: nothing of the precise parse was recorded or
// written. Returns that parser's first slice.
int FallBack(ST_PARSE *ctx, PreciseBudget why, int (*stop)(void)) {
  ST_SOURCE *s = ctx->src;
  s->fell_back = why;
  s->precise = 0;  // its records are the statement parser's, for the linker too
  DebugPrint("%s over the %s budget, read with the statement parser \"%s\"\r\n", kTag,
             precise_budget_word(why), s->name);
  ctx->precise = 0;
  return parse_slice(ctx, stop);
}

// The walk over a parsed tree; 0 when stopped.
int WalkTree(ST_PARSE *ctx, const PreciseGrammar &g, TSTree *tree, uint32_t len,
             std::vector<PreciseMacroScope> &&macro_scopes, int (*stop)(void)) {
  PreciseWalk w;
  w.macro_scopes = std::move(macro_scopes);
  w.next_macro = 0;
  w.g = &g;
  w.t = PreciseText{ctx->src->text, len};
  w.ctx = ctx;
  w.scope[0] = 0;
  w.scope_len = 0;
  w.anchor_at = UINT32_MAX;
  w.row_pos = 0;
  w.row = 0;
  w.nl_from = w.nl_at = UINT32_MAX;
  w.brackets = 0;
  w.error_depth = SIZE_MAX;
  w.errors = 0;
  w.log = LogGetLevel() >= 1;
  int done = Walk(&w, ts_tree_root_node(tree), stop);
  while (done && !w.funcs.empty()) precise_leave_function(&w);  // never left: a cut tree
  if (done) DebugPrint("%s %d unreadable region(s) in \"%s\"\r\n", kTag, w.errors, ctx->src->name);
  return done;
}

}  // namespace

int precise_available(void) {
  return g_precise_hidden ? 0 : 1;
}

int precise_row_of(PreciseWalk *w, uint32_t pos) {
  if (pos > w->t.len) pos = w->t.len;
  const char *text = w->t.text;
  if (pos < w->row_pos) {  // backwards: take off the line ends passed
    for (uint32_t i = pos; i < w->row_pos; i++) w->row -= text[i] == '\n';
  } else {
    for (uint32_t i = w->row_pos; i < pos; i++) w->row += text[i] == '\n';
  }
  w->row_pos = pos;
  return w->row;
}

uint32_t precise_line_end(PreciseWalk *w, uint32_t pos) {
  uint32_t len = w->t.len;
  if (pos >= len) return len;
  if (w->nl_from != UINT32_MAX && pos >= w->nl_from && pos <= w->nl_at) return w->nl_at;
  const char *nl = (const char *)memchr(w->t.text + pos, '\n', len - pos);
  w->nl_from = pos;
  w->nl_at = nl ? (uint32_t)(nl - w->t.text) : len;
  return w->nl_at;
}

int precise_parse_source(ST_PARSE *ctx, int (*stop)(void)) {
  ST_SOURCE *s = ctx->src;
  uint32_t len = s->text && s->size > 0 ? (uint32_t)strnlen(s->text, (size_t)s->size) : 0;
  if (len > g_precise_limits.max_bytes) return FallBack(ctx, PreciseBudget::kSize, stop);
  char *masked = MaskedCopy(s->text ? s->text : "", len);
  int done = 1;
  PreciseBudget over = PreciseBudget::kNone;
  if (masked) {
    const PreciseGrammar &g = *precise_grammar(!IsCSource(s->name));
    std::vector<PreciseMacroScope> macro_scopes;
    precise_blank_lone_macros(masked, len, &macro_scopes);
    precise_memory_install();
    precise_scope_begin(g_precise_limits.max_memory);
    TSParser *p = ts_parser_new();
    int stopped = 0;
    TSTree *tree = p ? Parse(p, g, masked, len, stop, &stopped, &over) : nullptr;
    if (tree) {
      done = WalkTree(ctx, g, tree, len, std::move(macro_scopes), stop);
      ts_tree_delete(tree);
    } else {
      done = !stopped;
    }
    if (p) ts_parser_delete(p);
    unsigned left = precise_scope_end();
    if (left) DebugPrint("%s %u block(s) of the parser given back\r\n", kTag, left);
    MemFree(masked);
  }
  if (over != PreciseBudget::kNone) return FallBack(ctx, over, stop);
  if (!done) DropRecords(s);
  s->status = done ? SOURCE_COMPLETED : SOURCE_STOPPED;
  return 100;
}

#else  // no grammars in this build

int precise_available(void) {
  return 0;
}

int precise_parse_source(ST_PARSE *ctx, int (*stop)(void)) {
  (void)stop;
  ctx->src->status = SOURCE_COMPLETED;
  return 100;
}

#endif  // VELMORA_HAVE_TREE_SITTER
