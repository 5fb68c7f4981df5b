// The two grammars of the precise front end and the numbers of the node
// kinds and fields it looks at, looked up by name once per grammar, so the
// walk compares numbers and never the type strings of nodes.
#ifdef VELMORA_HAVE_TREE_SITTER

#include <cstring>
#include <mutex>

#include "engine/precise_internal.h"

extern "C" const TSLanguage *tree_sitter_c(void);
extern "C" const TSLanguage *tree_sitter_cpp(void);

namespace {

PreciseGrammar g_grammars[2];
std::once_flag g_once[2];

TSSymbol Named(const TSLanguage *l, const char *name) {
  return ts_language_symbol_for_name(l, name, (uint32_t)strlen(name), true);
}

TSSymbol Token(const TSLanguage *l, const char *text) {
  return ts_language_symbol_for_name(l, text, (uint32_t)strlen(text), false);
}

TSFieldId Field(const TSLanguage *l, const char *name) {
  return ts_language_field_id_for_name(l, name, (uint32_t)strlen(name));
}

void Fill(PreciseGrammar *g, int cpp) {
  const TSLanguage *l = cpp ? tree_sitter_cpp() : tree_sitter_c();
  g->language = l;
  g->cpp = cpp;
  g->function_definition = Named(l, "function_definition");
  g->declaration = Named(l, "declaration");
  g->template_declaration = Named(l, "template_declaration");
  g->linkage_specification = Named(l, "linkage_specification");
  g->namespace_definition = Named(l, "namespace_definition");
  g->nested_namespace_specifier = Named(l, "nested_namespace_specifier");
  g->class_specifier = Named(l, "class_specifier");
  g->struct_specifier = Named(l, "struct_specifier");
  g->union_specifier = Named(l, "union_specifier");
  g->field_declaration_list = Named(l, "field_declaration_list");
  g->declaration_list = Named(l, "declaration_list");
  g->base_class_clause = Named(l, "base_class_clause");
  g->compound_statement = Named(l, "compound_statement");
  g->field_declaration = Named(l, "field_declaration");
  g->init_declarator = Named(l, "init_declarator");
  g->try_statement = Named(l, "try_statement");
  g->type_definition = Named(l, "type_definition");
  g->enum_specifier = Named(l, "enum_specifier");
  g->function_declarator = Named(l, "function_declarator");
  g->pointer_declarator = Named(l, "pointer_declarator");
  g->reference_declarator = Named(l, "reference_declarator");
  g->parenthesized_declarator = Named(l, "parenthesized_declarator");
  g->attributed_declarator = Named(l, "attributed_declarator");
  g->operator_cast = Named(l, "operator_cast");
  g->qualified_identifier = Named(l, "qualified_identifier");
  g->template_function = Named(l, "template_function");
  g->template_method = Named(l, "template_method");
  g->template_type = Named(l, "template_type");
  g->destructor_name = Named(l, "destructor_name");
  g->operator_name = Named(l, "operator_name");
  g->identifier = Named(l, "identifier");
  g->field_identifier = Named(l, "field_identifier");
  g->type_identifier = Named(l, "type_identifier");
  g->namespace_identifier = Named(l, "namespace_identifier");
  g->primitive_type = Named(l, "primitive_type");
  g->parameter_list = Named(l, "parameter_list");
  g->parameter_declaration = Named(l, "parameter_declaration");
  g->optional_parameter_declaration = Named(l, "optional_parameter_declaration");
  g->variadic_parameter_declaration = Named(l, "variadic_parameter_declaration");
  g->variadic_parameter = Named(l, "variadic_parameter");
  g->ellipsis = Token(l, "...");
  g->call_expression = Named(l, "call_expression");
  g->field_expression = Named(l, "field_expression");
  g->argument_list = Named(l, "argument_list");
  g->this_expr = Named(l, "this");
  g->comment = Named(l, "comment");
  g->string_literal = Named(l, "string_literal");
  g->raw_string_literal = Named(l, "raw_string_literal");
  g->char_literal = Named(l, "char_literal");
  g->concatenated_string = Named(l, "concatenated_string");
  g->number_literal = Named(l, "number_literal");
  g->preproc_def = Named(l, "preproc_def");
  g->preproc_function_def = Named(l, "preproc_function_def");
  g->preproc_call = Named(l, "preproc_call");
  g->preproc_include = Named(l, "preproc_include");
  g->true_expr = Named(l, "true");
  g->false_expr = Named(l, "false");
  g->nullptr_expr = Named(l, "nullptr");
  g->pointer_expression = Named(l, "pointer_expression");
  g->conditional_expression = Named(l, "conditional_expression");
  g->cast_expression = Named(l, "cast_expression");
  g->parenthesized_expression = Named(l, "parenthesized_expression");
  g->unary_expression = Named(l, "unary_expression");
  g->type_descriptor = Named(l, "type_descriptor");
  g->abstract_pointer_declarator = Named(l, "abstract_pointer_declarator");
  g->abstract_reference_declarator = Named(l, "abstract_reference_declarator");
  g->abstract_function_declarator = Named(l, "abstract_function_declarator");
  g->type_qualifier = Named(l, "type_qualifier");
  g->sized_type_specifier = Named(l, "sized_type_specifier");
  g->template_parameter_list = Named(l, "template_parameter_list");
  g->type_parameter_declaration = Named(l, "type_parameter_declaration");
  g->variadic_type_parameter_declaration = Named(l, "variadic_type_parameter_declaration");
  g->optional_type_parameter_declaration = Named(l, "optional_type_parameter_declaration");
  g->placeholder_type_specifier = Named(l, "placeholder_type_specifier");
  g->subscript_expression = Named(l, "subscript_expression");
  g->new_expression = Named(l, "new_expression");
  g->friend_declaration = Named(l, "friend_declaration");
  g->for_range_loop = Named(l, "for_range_loop");
  g->trailing_return_type = Named(l, "trailing_return_type");
  g->alias_declaration = Named(l, "alias_declaration");
  g->open_brace = Token(l, "{");
  g->close_brace = Token(l, "}");
  g->f_declarator = Field(l, "declarator");
  g->f_name = Field(l, "name");
  g->f_scope = Field(l, "scope");
  g->f_parameters = Field(l, "parameters");
  g->f_body = Field(l, "body");
  g->f_function = Field(l, "function");
  g->f_arguments = Field(l, "arguments");
  g->f_field = Field(l, "field");
  g->f_argument = Field(l, "argument");
  g->f_type = Field(l, "type");
  g->f_value = Field(l, "value");
  g->f_consequence = Field(l, "consequence");
  g->f_alternative = Field(l, "alternative");
  g->f_operator = Field(l, "operator");
  g->f_right = Field(l, "right");
}

}  // namespace

const PreciseGrammar *precise_grammar(int cpp) {
  int k = cpp ? 1 : 0;
  std::call_once(g_once[k], [k] { Fill(&g_grammars[k], k); });
  return &g_grammars[k];
}

#endif  // VELMORA_HAVE_TREE_SITTER
