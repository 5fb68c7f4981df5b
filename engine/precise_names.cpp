// Names as the records keep them, read from the declarators and call
// targets of the precise parser's tree: qualifiers without template
// arguments, destructors with their '~', operators and conversion operators
// with their symbol or type, and the parameter counts of a head. Every walk
// here is a loop over the name's parts, so no input drives a recursion.
#ifdef VELMORA_HAVE_TREE_SITTER

#include <cstring>

#include "engine/precise_internal.h"
#include "platform/codepage.h"

namespace {

inline bool Blank(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}

inline bool WordByte(unsigned char c) {
  return c == '_' || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
         c >= 0x80;
}

// Appends one byte or one whole Shift_JIS pair at p (len bytes left) to out;
// returns the bytes taken, and leaves out alone when the pair does not fit.
size_t Put(const char *p, size_t left, char *out, size_t cap, size_t *used) {
  size_t k = IsSjisLead((unsigned char)p[0]) && left >= 2 ? 2 : 1;
  if (*used + k < cap) {
    memcpy(out + *used, p, k);
    *used += k;
    out[*used] = 0;
  }
  return k;
}

void PutText(const char *text, char *out, size_t cap, size_t *used) {
  size_t n = strlen(text);
  for (size_t i = 0; i < n;) i += Put(text + i, n - i, out, cap, used);
}

// "operator" with what follows it at [p, end): a symbol without blanks
// ("operator==", "operator()"), a word after one blank ("operator new[]").
void OperatorText(const char *p, const char *end, char *out, size_t cap, size_t *used) {
  PutText("operator", out, cap, used);
  while (p < end && Blank(*p)) p++;
  if (p < end && WordByte((unsigned char)*p) && *p != '"') PutText(" ", out, cap, used);
  while (p < end) {
    if (Blank(*p)) {
      p++;
      continue;
    }
    p += Put(p, (size_t)(end - p), out, cap, used);
  }
}

// A conversion operator's type at [p, end), after "operator " with runs of
// blanks made one.
void ConversionText(const char *p, const char *end, char *out, size_t cap, size_t *used) {
  PutText("operator ", out, cap, used);
  while (p < end && Blank(*p)) p++;
  bool blank = false;
  while (p < end) {
    if (Blank(*p)) {
      blank = true;
      p++;
      continue;
    }
    if (blank) PutText(" ", out, cap, used);
    blank = false;
    p += Put(p, (size_t)(end - p), out, cap, used);
  }
}

// Skips the word "operator" at the start of [p, end).
const char *AfterOperatorWord(const char *p, const char *end) {
  while (p < end && Blank(*p)) p++;
  if (end - p >= 8 && memcmp(p, "operator", 8) == 0) p += 8;
  return p;
}

}  // namespace

size_t precise_clean_text(const PreciseText &t, uint32_t from, uint32_t to, char *out, size_t cap,
                          size_t used) {
  if (cap == 0) return 0;
  if (used >= cap) used = cap - 1;
  out[used] = 0;
  if (to > t.len) to = t.len;
  int depth = 0;  // inside a template argument list
  for (uint32_t i = from; i < to;) {
    char c = t.text[i];
    if (c == '<') {
      depth++;
      i++;
    } else if (c == '>' && depth > 0) {
      depth--;
      i++;
    } else if (depth > 0 || Blank(c)) {
      i++;
    } else {
      i += (uint32_t)Put(t.text + i, to - i, out, cap, &used);
    }
  }
  return used;
}

int precise_name_of(const PreciseGrammar &g, const PreciseText &t, TSNode node, PreciseName *out) {
  out->qualifier[0] = 0;
  out->name[0] = 0;
  size_t qlen = 0, nlen = 0;
  const size_t cap = sizeof out->name;
  while (!ts_node_is_null(node)) {
    TSSymbol sym = ts_node_symbol(node);
    if (sym == g.qualified_identifier) {
      TSNode scope = ts_node_child_by_field_id(node, g.f_scope);
      if (ts_node_is_null(scope)) {
        if (qlen == 0) PutText("::", out->qualifier, cap, &qlen);  // the global scope
      } else {
        if (ts_node_symbol(scope) == g.template_type) {
          TSNode name = ts_node_child_by_field_id(scope, g.f_name);
          if (!ts_node_is_null(name)) scope = name;
        }
        qlen = precise_clean_text(t, NodeStart(t, scope), NodeEnd(t, scope), out->qualifier, cap,
                                  qlen);
        PutText("::", out->qualifier, cap, &qlen);
      }
      node = ts_node_child_by_field_id(node, g.f_name);
      continue;
    }
    if (sym == g.template_function || sym == g.template_method || sym == g.template_type) {
      node = ts_node_child_by_field_id(node, g.f_name);
      continue;
    }
    if (sym == g.parenthesized_declarator) {
      node = ts_node_named_child(node, 0);
      continue;
    }
    const char *p = t.text + NodeStart(t, node);
    const char *end = t.text + NodeEnd(t, node);
    if (sym == g.operator_name) {
      OperatorText(AfterOperatorWord(p, end), end, out->name, cap, &nlen);
    } else if (sym == g.operator_cast) {
      // Its type runs up to the parameters' declarator.
      TSNode decl = ts_node_child_by_field_id(node, g.f_declarator);
      const char *type_end = ts_node_is_null(decl) ? end : t.text + NodeStart(t, decl);
      ConversionText(AfterOperatorWord(p, type_end), type_end, out->name, cap, &nlen);
    } else {
      // identifiers, destructors ("~ A" is "~A") and whatever else names
      // a function: its text without blanks and template arguments.
      nlen = precise_clean_text(t, NodeStart(t, node), NodeEnd(t, node), out->name, cap, 0);
    }
    break;
  }
  return nlen > 0;
}

PreciseParams precise_params_of(const PreciseGrammar &g, const PreciseText &t, TSNode list,
                                TSTreeCursor *cursor) {
  PreciseParams r{0, 0, 0};
  if (ts_node_is_null(list)) return r;
  int only_void = 0;
  ts_tree_cursor_reset(cursor, list);
  if (!ts_tree_cursor_goto_first_child(cursor)) return r;
  do {
    TSNode n = ts_tree_cursor_current_node(cursor);
    TSSymbol sym = ts_node_symbol(n);
    if (sym == g.comment) continue;
    if (sym == g.ellipsis || sym == g.variadic_parameter ||
        sym == g.variadic_parameter_declaration) {
      r.argc++;
      r.variadic = 1;
    } else if (sym == g.optional_parameter_declaration) {
      r.argc++;
    } else if (ts_node_is_named(n)) {
      r.argc++;
      r.argc_min++;
      if (r.argc == 1 && sym == g.parameter_declaration) {
        char text[8];
        size_t n_used = precise_clean_text(t, NodeStart(t, n), NodeEnd(t, n), text, sizeof text, 0);
        only_void = n_used == 4 && memcmp(text, "void", 4) == 0;
      }
    }
  } while (ts_tree_cursor_goto_next_sibling(cursor));
  if (r.argc == 1 && only_void) r.argc = r.argc_min = 0;  // "(void)": no parameter
  return r;
}

TEXT_POS precise_name_place(const PreciseGrammar &g, TSNode node) {
  for (int guard = 0; guard < 64 && !ts_node_is_null(node); guard++) {
    TSSymbol sym = ts_node_symbol(node);
    if (sym != g.qualified_identifier && sym != g.template_function && sym != g.template_method)
      break;
    TSNode name = ts_node_child_by_field_id(node, g.f_name);
    if (ts_node_is_null(name)) break;
    node = name;
  }
  if (ts_node_is_null(node)) return TEXT_POS{0, 0, 0};
  TSPoint at = ts_node_start_point(node);
  return TEXT_POS{(int)at.row, (int)at.column, (int)ts_node_start_byte(node)};
}

TSNode precise_function_declarator(const PreciseGrammar &g, TSNode node) {
  while (!ts_node_is_null(node)) {
    TSSymbol sym = ts_node_symbol(node);
    if (sym == g.function_declarator || sym == g.operator_cast) return node;
    if (sym == g.qualified_identifier) {
      // A conversion operator of a class, defined outside it.
      TSNode name = node;
      while (!ts_node_is_null(name) && ts_node_symbol(name) == g.qualified_identifier)
        name = ts_node_child_by_field_id(name, g.f_name);
      if (!ts_node_is_null(name) && ts_node_symbol(name) == g.operator_cast) return node;
      break;
    }
    if (sym == g.pointer_declarator || sym == g.reference_declarator ||
        sym == g.attributed_declarator) {
      TSNode next = ts_node_child_by_field_id(node, g.f_declarator);
      // A reference declarator names its declarator without a field.
      node = ts_node_is_null(next) ? ts_node_named_child(node, ts_node_named_child_count(node) - 1)
                                   : next;
      continue;
    }
    if (sym == g.parenthesized_declarator) {
      node = ts_node_named_child(node, 0);
      continue;
    }
    break;
  }
  return TSNode{};
}

#endif  // VELMORA_HAVE_TREE_SITTER
