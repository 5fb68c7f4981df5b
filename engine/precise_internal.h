// What the files of the precise front end share: the node kinds and fields
// of the two grammars by their numbers, the text of a source as the parser
// reads it, and the steps of one source's walk. Only engine/precise_*.cpp
// include this, and only in a build with the grammars.
#pragma once

#ifdef VELMORA_HAVE_TREE_SITTER

#include <tree_sitter/api.h>

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "engine/precise.h"

// The node kinds and fields the front end looks at, as numbers of one
// grammar (the C and C++ grammars number them differently). A kind the
// grammar does not have is 0, which no node of a tree carries.
struct PreciseGrammar {
  const TSLanguage *language;
  int cpp;  // 1: the C++ grammar
  // declarations and scopes
  TSSymbol function_definition, declaration, template_declaration, linkage_specification,
      namespace_definition, nested_namespace_specifier, class_specifier, struct_specifier,
      union_specifier, field_declaration_list, declaration_list, base_class_clause,
      field_declaration, init_declarator, compound_statement, try_statement, type_definition,
      enum_specifier;
  // declarators and names
  TSSymbol function_declarator, pointer_declarator, reference_declarator, parenthesized_declarator,
      attributed_declarator, operator_cast, qualified_identifier, template_function,
      template_method, template_type, destructor_name, operator_name, identifier, field_identifier,
      type_identifier, namespace_identifier, primitive_type;
  // parameters
  TSSymbol parameter_list, parameter_declaration, optional_parameter_declaration,
      variadic_parameter_declaration, variadic_parameter, ellipsis;
  // calls
  TSSymbol call_expression, field_expression, argument_list, this_expr;
  // what has no definition or call inside
  TSSymbol comment, string_literal, raw_string_literal, char_literal, concatenated_string,
      number_literal, preproc_def, preproc_function_def, preproc_call, preproc_include;
  // brace tokens
  TSSymbol open_brace, close_brace;
  // what argument and parameter types are read from
  TSSymbol true_expr, false_expr, nullptr_expr, pointer_expression, conditional_expression,
      cast_expression, parenthesized_expression, unary_expression, type_descriptor,
      abstract_pointer_declarator, abstract_reference_declarator, abstract_function_declarator,
      type_qualifier, sized_type_specifier, template_parameter_list, type_parameter_declaration,
      variadic_type_parameter_declaration, optional_type_parameter_declaration,
      placeholder_type_specifier, subscript_expression, new_expression, friend_declaration,
      for_range_loop, trailing_return_type, alias_declaration;
  TSFieldId f_declarator, f_name, f_scope, f_parameters, f_body, f_function, f_arguments, f_field,
      f_argument, f_type, f_value, f_consequence, f_alternative, f_operator, f_right;
};

// The grammar for C (cpp 0) or C++ (cpp 1), its numbers looked up once.
const PreciseGrammar *precise_grammar(int cpp);

// The error node's kind (tree-sitter's builtin).
enum : TSSymbol { kErrorSymbol = (TSSymbol)-1 };

// One source as the walk sees it: its bytes (the loaded text, Shift_JIS).
// The parser reads a copy in which every byte past ASCII, and the second
// byte of each Shift_JIS pair, is an 'x' (so a trail byte is never a
// backslash or a quote to it); offsets are the same in both.
struct PreciseText {
  const char *text;  // the source's text (offsets of the records point here)
  uint32_t len;      // bytes parsed: up to the first NUL, as the line reader
};

// The bytes of node in the source's text, clamped to it.
inline uint32_t NodeStart(const PreciseText &t, TSNode n) {
  uint32_t b = ts_node_start_byte(n);
  return b < t.len ? b : t.len;
}
inline uint32_t NodeEnd(const PreciseText &t, TSNode n) {
  uint32_t b = ts_node_end_byte(n);
  return b < t.len ? b : t.len;
}

// A lone invocation of a macro that opens or closes namespaces, at byte at
// of the source: what it does, as the words of precise_namespace_macro.
struct PreciseMacroScope {
  uint32_t at;
  const char *ops;
};

// What the macro named by the len bytes at name does, when it only opens
// and closes namespaces: words separated by blanks, "+name" opens a
// namespace, "+!name" an inline one, "+" a brace that adds no name, "-"
// closes one. Null for any other name.
const char *precise_namespace_macro(const char *name, size_t len);

// Blanks (to spaces, newlines kept) the parser's copy of each macro
// invocation that stands alone at a namespace or class level: the grammar
// cannot read one, and its recovery may swallow the scopes around it. A
// namespace macro's invocation is blanked too and listed in scopes.
void precise_blank_lone_macros(char *copy, uint32_t len, std::vector<PreciseMacroScope> *scopes);

// ---- names (precise_names.cpp) ----

// A function's written name split as the records keep it: the qualifier as
// written before the name ("inner::Box::", "::" for the global one, "" when
// none), without template arguments and blanks, and the name ("f", "~A",
// "operator==", "operator bool"). Both cut to 259 bytes.
struct PreciseName {
  char qualifier[260];
  char name[260];
};

// The name of a declarator's name node (identifier, qualified name,
// destructor, operator, conversion, template) into *out. 0 when node is
// null or names nothing the records can hold.
int precise_name_of(const PreciseGrammar &g, const PreciseText &t, TSNode node, PreciseName *out);

// Appends the written text [from, to) to out (cap bytes, terminated) as a
// qualifier or base name: template argument lists and blanks left out.
// Returns the new length.
size_t precise_clean_text(const PreciseText &t, uint32_t from, uint32_t to, char *out, size_t cap,
                          size_t used);

// What a head's parameter list says about the calls that reach it.
struct PreciseParams {
  int argc;      // parameters written ("..." counts as one, "(void)" as none)
  int argc_min;  // fewest arguments a call passes (parameters without defaults)
  int variadic;  // 1: any number of further arguments
};

// Counts the parameters of a parameter_list node (walked with cursor, which
// is reset onto it).
PreciseParams precise_params_of(const PreciseGrammar &g, const PreciseText &t, TSNode list,
                                TSTreeCursor *cursor);

// Where the name a name node writes is: the last part of a qualified name,
// the name of a template, else the node itself.
TEXT_POS precise_name_place(const PreciseGrammar &g, TSNode node);

// Follows a function definition's declarator to its function_declarator
// (through pointers, references, parentheses, attributes); a conversion
// operator's operator_cast node is returned as it is. Null when there is
// none.
TSNode precise_function_declarator(const PreciseGrammar &g, TSNode declarator);

// ---- one source's walk (precise_walk.cpp, precise_scopes.cpp,
// precise_functions.cpp, precise_calls.cpp) ----

// One node on the walk's path from the root.
struct PreciseEntry {
  TSNode node;
  TSSymbol sym;
  TSNode last_child;  // its last named child walked so far (comments left out)
};

// A call read from the tree, waiting for its function's end (the calls are
// recorded in the order their names are written).
struct PreciseCall {
  uint32_t at;  // where its name starts
  int form;     // CALL_...
  int argc;
  int line;          // its line relative to the line of the body's opening brace, plus 1
  TEXT_POS name_at;  // where its called name (the last part of a qualified one) is
  int nest;          // log indentation of its summary line
  PreciseName name;
  char receiver[260];               // obj.f(): the class obj is declared with ("n::A::"), or ""
  int object_const;                 // obj.f(): 1 obj is declared const, 0 not, -1 not known
  std::vector<std::string> args;    // each argument's visible type ("" not known)
  std::vector<uint32_t> arg_calls;  // per argument written as a call, where its name starts
  char object[64];                  // obj.f() when that is not known: obj's name, or ""
  char member[64];                  // obj.m.f(): m (receiver then holds obj's class), or ""
  uint32_t through;                 // g().f(): where the name g starts (UINT32_MAX: none)
};

// A function whose body is being walked.
struct PreciseFunc {
  size_t depth;   // path depth whose leaving ends it
  ST_FUNC *func;  // its record (nullptr when it could not be made)
  int body_row;   // row of its body's opening brace
  int nest;       // log indentation of its summary lines
  std::vector<PreciseCall> calls;
  std::vector<std::string> templates;  // the template parameters in its sight
};

// A namespace or class whose body is being walked.
struct PreciseScope {
  size_t depth;     // path depth of the node that opened it
  size_t prev_len;  // length of the scope text before it
  int is_class;     // 1 for a class, struct or union
};

// The names one block, parameter list or class body declares, each with
// where its declarations start and their type nodes, in source order; made
// once per node, when a member call first looks there, so that a long body
// is read once and not once per call.
struct PreciseDecls {
  struct Entry {
    uint32_t at;        // where the declaration starts
    TSNode type;        // its type node
    TSNode decl;        // the declaration
    TSNode declarator;  // its declarator that declares the name
  };
  std::unordered_map<std::string_view, std::vector<Entry>> by_name;  // names in the text
};

struct PreciseWalk {
  const PreciseGrammar *g;
  PreciseText t;
  ST_PARSE *ctx;
  std::vector<PreciseEntry> path;
  std::vector<PreciseScope> scopes;
  std::vector<PreciseFunc> funcs;
  std::unordered_set<std::string> namespaces;  // names of the namespaces seen
  char scope[1024];                            // enclosing namespaces and classes, "n::A::"
  size_t scope_len;
  // A definition's text starts on the first line after the one holding the
  // last ';', '}' or directive outside a function body (this byte); UINT32_MAX
  // while there was none, so the text's start.
  uint32_t anchor_at;
  uint32_t row_pos;  // a byte whose row is known (rows are counted from it)
  int row;
  // The last line end looked for: the first '\n' at or after nl_from is at
  // nl_at (len: none), so a long line is scanned once, not per function.
  uint32_t nl_from, nl_at;
  int brackets;        // parentheses, braces and brackets open at the walk's place
  size_t error_depth;  // path depth of the unreadable region walked, or SIZE_MAX
  int errors;          // unreadable regions (and missing tokens outside them)
  int log;             // 1: summary lines are written (DEBUG_LOG 1 or more)
  // The declarations read so far, by node (its id and start).
  std::map<std::pair<const void *, uint32_t>, PreciseDecls> decls;
  std::vector<PreciseMacroScope> macro_scopes;  // in the order of the text
  size_t next_macro;                            // the first not yet met
  std::vector<size_t> macro_lens;               // scope length before each namespace a macro opened
};

// Calls each(child) for every named child of node in order, with one
// cursor: the library finds the i-th child by counting from the first, so
// an index loop over a list of thousands (arguments, parameters, members)
// would cost the square of its length.
template <typename Each>
void precise_each_named_child(TSNode node, Each each) {
  if (ts_node_is_null(node)) return;
  TSTreeCursor c = ts_tree_cursor_new(node);
  for (bool next = ts_tree_cursor_goto_first_child(&c); next;
       next = ts_tree_cursor_goto_next_sibling(&c)) {
    TSNode child = ts_tree_cursor_current_node(&c);
    if (ts_node_is_named(child)) each(child);
  }
  ts_tree_cursor_delete(&c);
}

// The 0-based row of byte pos of the text.
int precise_row_of(PreciseWalk *w, uint32_t pos);
// Where the line holding byte pos ends: its '\n', or the text's length.
uint32_t precise_line_end(PreciseWalk *w, uint32_t pos);

// A namespace or a class with a body at the end of the path: its name joins
// the scope text (a class also gets its record) until precise_leave_scope.
void precise_enter_scope(PreciseWalk *w);
// Called on leaving each node: ends the scope the node opened, if any.
void precise_leave_scope(PreciseWalk *w);
// An enum with a name and a body at the end of the path (outside any
// function): its record with its enumerators.
void precise_record_enum(PreciseWalk *w);
// A declaration at the end of the path (outside any function and class):
// when it declares a function with default arguments, a record of them for
// its definition written elsewhere.
void precise_record_declaration(PreciseWalk *w);
// A `using B = A;` or `typedef A B;` at the end of the path (outside any
// function) that names a class: its record, for receivers declared as B.
void precise_record_alias(PreciseWalk *w);
// Opens and closes the namespaces of the macro invocations before byte at.
void precise_macro_scopes_before(PreciseWalk *w, uint32_t at);

// Reads the function definition at the end of the walk's path and opens it
// (its record made; a local class's member is not opened, its calls stay
// with the enclosing function).
void precise_enter_function(PreciseWalk *w);
// A block at the end of the path, inside an unreadable region with no
// function open: when the construct just before it ends with a function's
// declarator, the two are read back as that function's definition.
void precise_recover_function(PreciseWalk *w);
// Ends the innermost open function: its calls recorded in order, its
// summary lines written.
void precise_leave_function(PreciseWalk *w);
// Reads the call at the end of the path into the innermost open function.
void precise_enter_call(PreciseWalk *w);
// The class an object named by the identifier node object is declared with,
// looked up in the declarations that precede the call at byte at (the
// blocks around it, the function's parameters, the class bodies around the
// function), written to out as "n::A::" (cut to cap). Through `->`
// (arrow 1) a smart pointer or optional stands for the class it holds. A
// basic type is written too ("int::", which no class is); "" when it is not
// found or is no class type.
void precise_receiver_type(PreciseWalk *w, TSNode object, uint32_t at, int arrow, char *out,
                           size_t cap);
// The element class a standard container's type node holds
// (`std::vector<A*>`: "A::") into out: 1 found, with *pointee 0 or 1 for a
// pointer (or smart pointer) to a non-const or const object, -1 when that
// is not known, -2 for an element held by value. 0 for any other type.
int precise_element_of(PreciseWalk *w, TSNode type, char *out, size_t cap, int *pointee);
// obj.f() where obj is an element of a standard container: `v[i].f()`, or
// the variable of a range for declared `auto` (`for (auto* s : v)`). Sets
// pc's receiver and constness when v is declared in sight, else its object
// to "v[]" ("v[]*" through `->`) for the linker to find among the data
// members of the caller's class. Nothing for any other object.
void precise_element_receiver(PreciseWalk *w, TSNode object, uint32_t at, int arrow,
                              PreciseCall *pc);
// The data members with a class type declared in a class body (a
// field_declaration_list) into the class's record, as name and type pairs.
void precise_record_fields(PreciseWalk *w, TSNode body, ST_CLASS *k);
// The class a type node names as "n::A::" into out; 0 when it names none.
int precise_class_of(PreciseWalk *w, TSNode type, char *out, size_t cap);
// The declaration of the name the identifier node object names, looked up
// as precise_receiver_type looks: 1 found, with the declaration node and
// the declarator (its direct child) that declares the name.
int precise_find_declaration(PreciseWalk *w, TSNode object, uint32_t at, TSNode *decl,
                             TSNode *declarator);

// ---- types (precise_types.cpp) ----

// A declared type normalised for overload choice: the type node of decl
// (a declaration, member or parameter) with the declarator that declares
// one name: "int", "const char*", "A*" (qualifiers, references, template
// arguments and namespaces left out; "$" a name in templates, the
// function's template parameters). "" when it cannot be told.
std::string precise_type_text(PreciseWalk *w, TSNode decl, TSNode declarator,
                              const std::vector<std::string> &templates);
// 1 when the object decl declares through declarator is const (a const
// object, reference or pointee), else 0.
int precise_declared_const(PreciseWalk *w, TSNode decl, TSNode declarator);
// The type an argument expression visibly has ("" when not known), for a
// call at byte at.
std::string precise_arg_type(PreciseWalk *w, TSNode arg, uint32_t at);
// 1 when node's text is a word of the basic types ("unsigned", "int"...):
// `unsigned(1)` is a conversion the grammar may read as a call.
int precise_basic_word(const PreciseText &t, TSNode n);
// The template parameters of the function definition def and of the
// templates around it.
std::vector<std::string> precise_template_names(PreciseWalk *w, TSNode def);
// Each parameter's type of the parameter list params (argc of them, at
// least one slot), as interned texts in the source's records; null only when
// memory runs out.
const char **precise_param_types(PreciseWalk *w, TSNode params, int argc,
                                 const std::vector<std::string> &templates);

#endif  // VELMORA_HAVE_TREE_SITTER
