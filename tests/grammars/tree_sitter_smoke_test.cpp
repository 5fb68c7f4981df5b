// Smoke test of the precise parser's third-party parts: the tree-sitter
// runtime reads the C and C++ grammars of our build, and their trees name the
// constructs the front end will look for. Skipped, with the reason, in a
// build without the grammars (no npm or network when it was bootstrapped).
#include <gtest/gtest.h>

#ifdef VELMORA_HAVE_TREE_SITTER

#include <tree_sitter/api.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

extern "C" const TSLanguage *tree_sitter_c(void);
extern "C" const TSLanguage *tree_sitter_cpp(void);

namespace {

struct TreeDeleter {
  void operator()(TSTree *t) const { ts_tree_delete(t); }
};
using Tree = std::unique_ptr<TSTree, TreeDeleter>;

// Parses text with the grammar; returns null when the runtime refuses it.
Tree Parse(const TSLanguage *language, const std::string &text) {
  TSParser *parser = ts_parser_new();
  Tree tree;
  if (ts_parser_set_language(parser, language)) {
    tree.reset(ts_parser_parse_string(parser, nullptr, text.data(), (uint32_t)text.size()));
  }
  ts_parser_delete(parser);
  return tree;
}

// A named node as the front end will see it: its type and source text.
struct Seen {
  std::string type;
  std::string text;
};

// Every named node of the tree in document order, walked with a cursor.
std::vector<Seen> NamedNodes(const TSTree *tree, const std::string &text) {
  std::vector<Seen> seen;
  TSTreeCursor cursor = ts_tree_cursor_new(ts_tree_root_node(tree));
  for (;;) {
    TSNode node = ts_tree_cursor_current_node(&cursor);
    if (ts_node_is_named(node)) {
      uint32_t from = ts_node_start_byte(node), to = ts_node_end_byte(node);
      seen.push_back({ts_node_type(node), text.substr(from, to - from)});
    }
    if (ts_tree_cursor_goto_first_child(&cursor)) continue;
    while (!ts_tree_cursor_goto_next_sibling(&cursor)) {
      if (!ts_tree_cursor_goto_parent(&cursor)) {
        ts_tree_cursor_delete(&cursor);
        return seen;
      }
    }
  }
}

// The texts of the nodes of one type, in document order.
std::vector<std::string> TextsOf(const std::vector<Seen> &seen, const char *type) {
  std::vector<std::string> texts;
  for (const Seen &s : seen) {
    if (s.type == type) texts.push_back(s.text);
  }
  return texts;
}

// The declarator of each function definition: its name as written.
std::vector<std::string> DefinedNames(const TSTree *tree, const std::string &text) {
  std::vector<std::string> names;
  std::vector<TSNode> stack{ts_tree_root_node(tree)};
  while (!stack.empty()) {
    TSNode node = stack.back();
    stack.pop_back();
    if (std::strcmp(ts_node_type(node), "function_definition") == 0) {
      TSNode decl = ts_node_child_by_field_name(node, "declarator", 10);
      // A function_declarator's own declarator is the name; a conversion
      // operator's name is the operator_cast up to its parameter list.
      while (!ts_node_is_null(decl) &&
             std::strcmp(ts_node_type(decl), "function_declarator") != 0 &&
             std::strcmp(ts_node_type(decl), "operator_cast") != 0) {
        decl = ts_node_child_by_field_name(decl, "declarator", 10);
      }
      if (!ts_node_is_null(decl) && std::strcmp(ts_node_type(decl), "operator_cast") == 0) {
        TSNode params = ts_node_child_by_field_name(decl, "declarator", 10);
        uint32_t from = ts_node_start_byte(decl), to = ts_node_start_byte(params);
        names.push_back(text.substr(from, to - from));
      } else if (!ts_node_is_null(decl)) {
        TSNode name = ts_node_child_by_field_name(decl, "declarator", 10);
        uint32_t from = ts_node_start_byte(name), to = ts_node_end_byte(name);
        names.push_back(text.substr(from, to - from));
      }
    }
    for (uint32_t i = ts_node_named_child_count(node); i > 0; i--) {
      stack.push_back(ts_node_named_child(node, i - 1));
    }
  }
  return names;
}

using Names = std::vector<std::string>;

TEST(TreeSitterGrammars, AreOfTheAbiTheRuntimeReads) {
  EXPECT_EQ(ts_language_version(tree_sitter_c()), 14u);
  EXPECT_EQ(ts_language_version(tree_sitter_cpp()), 14u);
  EXPECT_GE(ts_language_version(tree_sitter_c()),
            (uint32_t)TREE_SITTER_MIN_COMPATIBLE_LANGUAGE_VERSION);
  EXPECT_LE(ts_language_version(tree_sitter_cpp()), (uint32_t)TREE_SITTER_LANGUAGE_VERSION);
}

TEST(TreeSitterGrammars, CFindsDefinitionsAndCalls) {
  const std::string text =
      "#include <stdio.h>\n"
      "static int twice(int x) { return 2 * x; }\n"
      "/* K&R */\n"
      "int old(a, b) int a; int b; { return twice(a) + b; }\n"
      "int main(void) {\n"
      "#if A\n"
      "  int x = 1;\n"
      "#else\n"
      "  int x = 2;\n"
      "#endif\n"
      "  if (x) {\n"
      "    printf(\"%d\\n\", twice(old(1, 2)));\n"
      "  }\n"
      "  return 0;\n"
      "}\n";
  Tree tree = Parse(tree_sitter_c(), text);
  ASSERT_TRUE(tree);
  std::vector<Seen> seen = NamedNodes(tree.get(), text);
  ASSERT_FALSE(seen.empty());
  EXPECT_EQ(seen[0].type, "translation_unit");
  EXPECT_EQ(DefinedNames(tree.get(), text), (Names{"twice", "old", "main"}));
  std::vector<std::string> calls = TextsOf(seen, "call_expression");
  ASSERT_EQ(calls.size(), 4u);
  EXPECT_EQ(calls[1], "printf(\"%d\\n\", twice(old(1, 2)))");
  EXPECT_EQ(calls[3], "old(1, 2)");
  EXPECT_EQ(TextsOf(seen, "preproc_include").size(), 1u);
}

TEST(TreeSitterGrammars, CppNamesQualifiedMembersOperatorsAndDestructors) {
  const std::string text =
      "namespace n { namespace m {\n"
      "template <typename T, int N> class A : public B {\n"
      " public:\n"
      "  A() : v_(make(1)) {}\n"
      "  ~A() override;\n"
      "  bool operator==(const A &o) const noexcept { return eq(o); }\n"
      "  explicit operator bool() const { return true; }\n"
      "  auto size() const -> int { return [&] { return count(); }(); }\n"
      "  int v_;\n"
      "};\n"
      "A<int, 2>::~A() { release(this); }\n"
      "}}\n"
      "void run(void (*cb)(int), int x) { n::m::helper(x ? &x : nullptr); cb(x); }\n";
  Tree tree = Parse(tree_sitter_cpp(), text);
  ASSERT_TRUE(tree);
  EXPECT_FALSE(ts_node_has_error(ts_tree_root_node(tree.get())));
  std::vector<Seen> seen = NamedNodes(tree.get(), text);
  EXPECT_EQ(DefinedNames(tree.get(), text),
            (Names{"A", "operator==", "operator bool", "size", "A<int, 2>::~A", "run"}));
  EXPECT_EQ(TextsOf(seen, "namespace_definition").size(), 2u);
  EXPECT_EQ(TextsOf(seen, "template_declaration").size(), 1u);
  EXPECT_EQ(TextsOf(seen, "destructor_name"), (Names{"~A", "~A"}));
  EXPECT_EQ(TextsOf(seen, "field_initializer"), (Names{"v_(make(1))"}));
  EXPECT_EQ(TextsOf(seen, "lambda_expression").size(), 1u);
  EXPECT_EQ(TextsOf(seen, "trailing_return_type"), (Names{"-> int"}));
  std::vector<std::string> calls = TextsOf(seen, "call_expression");
  EXPECT_EQ(calls, (Names{"make(1)", "eq(o)", "[&] { return count(); }()", "count()",
                          "release(this)", "n::m::helper(x ? &x : nullptr)", "cb(x)"}));
}

TEST(TreeSitterGrammars, AnUnreadableConstructCostsOnlyItself) {
  const std::string text =
      "int first(int a) { return a; }\n"
      "int broken(int a) { return a + ; }\n"
      "int last(int b) { return first(b); }\n";
  Tree tree = Parse(tree_sitter_cpp(), text);
  ASSERT_TRUE(tree);
  EXPECT_TRUE(ts_node_has_error(ts_tree_root_node(tree.get())));
  Names names = DefinedNames(tree.get(), text);
  ASSERT_FALSE(names.empty());
  EXPECT_EQ(names.front(), "first");
  EXPECT_EQ(names.back(), "last");
}

}  // namespace

#else

TEST(TreeSitterGrammars, Skipped) {
  GTEST_SKIP() << "built without the tree-sitter grammars (scripts/fetch-grammars needs npm "
                  "and the network; libtree-sitter-dev); reconfigure once they are there";
}

#endif
