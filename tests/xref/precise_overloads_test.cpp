// Overloads and receivers through the precise parser and its linking, from
// C++ text to the definition each call reaches: argument types (literals,
// declared variables, calls, casts), constness, templates against plain
// functions, library types, ambiguous calls with their candidates and the
// Call List's mark, and the receivers and declarations the parser follows
// (smart pointers, `T x(a)`, defaults declared in the class, namespaces
// opened by macros, class heads holding a function type). Each definition
// stands on a line of its own, so a call's target is named by its line.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "engine/precise.h"
#include "engine/record_walk.h"
#include "support/null_views.h"
#include "support/testenv.h"
#include "xref/calltree.h"
#include "xref/link_records.h"
#include "xref/list_columns.h"
#include "xref/row_text.h"

using namespace velmora_test;

namespace {

// The Call List as rows of cells (its link column with the mark), with each
// row's candidates as "SID:FID ..."; the CallTree's node texts and the
// Result.
struct CallRows : ResultsSink {
  std::vector<std::vector<std::string>> rows;
  std::vector<std::string> candidates;
  int TakesRows(int list) override { return list == VIEW_CALLS; }
  void AddFunctionRows(const FunctionRow *, size_t) override {}
  void AddCallRows(const CallRow *r, size_t n) override {
    for (size_t k = 0; k < n; k++) {
      rows.push_back(std::vector<std::string>(CL_COLUMNS));
      for (int c = 0; c < CL_COLUMNS; c++) AppendCallCell(rows.back()[c], r[k], c);
      std::string all;
      for (int i = 0; i < r[k].candidate_count; i++)
        all += (i ? " " : "") + std::to_string(r[k].candidates[i]->sid) + ":" +
               std::to_string(r[k].candidates[i]->fid);
      candidates.push_back(all);
    }
  }
  void SetCalled(size_t, const int *, size_t) override {}
};

struct TreeTexts : NullViews {
  std::vector<std::string> nodes;
  std::string result;
  TREEITEM TreeInsert(TREEITEM, const char *text) override {
    nodes.push_back(text);
    return reinterpret_cast<TREEITEM>((intptr_t)nodes.size());
  }
  void AppendResult(const char *text) override { result += text; }
};

class PreciseLinks : public ::testing::Test {
 protected:
  CallRows views;
  std::string log_path;
  std::string dir;

  void SetUp() override {
    if (!precise_available()) GTEST_SKIP() << "built without the grammars";
    OpenLinkAnalyzer(&views, &log_path);
    g_config.PARSER = 1;
    dir = MakeTempDir("velmora-overloads");
  }
  void TearDown() override {
    if (!precise_available()) return;
    CloseLinkAnalyzer();
    ResetConfiguration();
    RemoveTree(dir);
  }

  // Parses the sources (name, text) in order and links them.
  void Analyse(const std::vector<std::pair<std::string, std::string>> &sources) {
    CB list = {};
    CB_Init(&list);
    for (const auto &s : sources) {
      std::string path = dir + "/" + s.first;
      WriteFile(path, s.second);
      AddCB(&list, path.c_str(), (int)path.size() + 1);
    }
    ANA_SourceCreateAll(nullptr, &list);
    ANA_EXEC exec = {};
    ANA_ExecBegin(&exec);
    CB_Init(&list);
    char name[260] = "";
    for (int guard = 0; guard < 100000; guard++) {
      int r = ANA_Exec(&exec, nullptr, name, 0);
      if (r == ANA_EXEC_NO_SOURCE || r == ANA_EXEC_STOPPED) break;
    }
    RunLinkPhase();
  }
  void Analyse(const std::string &text) { Analyse({{"a.cpp", text}}); }

  // The calls of the function named caller, each as "name>L" with the line
  // of the definition it reaches ("name>X" unlinked), and "/n" when n
  // definitions fit it alike.
  static std::string Links(const char *caller) {
    std::string out;
    ForEachFunction([&](const ST_FUNC *f) {
      if (std::string(f->scope) + f->name != caller) return;
      ForEachCall(f, [&](const ST_CALL *c) {
        if (!out.empty()) out += ' ';
        out += std::string(c->name) + ">";
        out += c->to_func ? "L" + std::to_string(c->to_func->line) : std::string("X");
        if (c->how && c->how->candidate_count > 1)
          out += "/" + std::to_string(c->how->candidate_count);
      });
    });
    return out;
  }
};

}  // namespace

TEST_F(PreciseLinks, LiteralsChooseTheOverloadTheirTypeFits) {
  Analyse(
      "void f(const char* s) {}\n"  // L0
      "void f(int v) {}\n"          // L1
      "void f(double v) {}\n"       // L2
      "void f(bool b) {}\n"         // L3
      "void f(char c) {}\n"         // L4
      "void g(int* p) {}\n"         // L5
      "void g(const char* s) {}\n"  // L6
      "void h() { f(\"a\"); f(1); f(2.5); f(true); f('c'); f(-3); g(nullptr); g(\"s\"); }\n");
  EXPECT_EQ(Links("h"), "f>L0 f>L1 f>L2 f>L3 f>L4 f>L1 g>L6/2 g>L6");
}

TEST_F(PreciseLinks, DeclaredVariablesCastsAndConditionalsChooseTheOverload) {
  Analyse(
      "struct Text {\n"
      "  void Set(const char* s) {}\n"  // L0 (its text starts with the class's head)
      "  void Set(int v) {}\n"          // L2
      "  void Set(unsigned v) {}\n"     // L3
      "  void Self(Text* t) {}\n"       // L4
      "  void Self(int v) {}\n"         // L5
      "  void Use(unsigned u) { int n = 1; Set(u); Set(n); Self(this); Set(&n); }\n"
      "};\n"
      "void k(Text& t, bool c, int* p) {\n"
      "  t.Set(*p); t.Set((int)c); t.Set(c ? \"a\" : \"b\"); t.Set(unsigned(1)); }\n");
  // &n is an int*, which no Set takes: every one stays a candidate.
  EXPECT_EQ(Links("Text::Use"), "Set>L3 Set>L2 Self>L4 Set>L3/3");
  EXPECT_EQ(Links("k"), "Set>L2 Set>L2 Set>L0 Set>L3");
}

TEST_F(PreciseLinks, CallsAsArgumentsTakeTheirDefinitionsReturnType) {
  Analyse(
      "enum Err { OK_ = 0, BAD_ = 1 };\n"             // L0
      "void Test(const char* a, const char* b) {}\n"  // L1
      "void Test(Err a, Err b) {}\n"                  // L2
      "void Test(bool a, bool b) {}\n"                // L3
      "Err Code() { return OK_; }\n"                  // L4
      "bool Flag() { return true; }\n"                // L5
      "void m() { Test(OK_, Code()); Test(true, Flag()); Test(\"a\", \"b\"); }\n");
  EXPECT_EQ(Links("m"), "Test>L2 Code>L4 Test>L3 Flag>L5 Test>L1");
}

TEST_F(PreciseLinks, TheObjectsConstnessChoosesBetweenTwins) {
  Analyse(
      "struct Node {\n"
      "  const Node* First() const { return 0; }\n"  // L0 (after the class's head)
      "  Node* First() { return 0; }\n"              // L2
      "  const Node* Next() const { return 0; }\n"   // L3
      "  Node* Next() { return 0; }\n"               // L4
      "  void Walk() const { First(); }\n"
      "};\n"
      "void w(const Node* c, Node* n, const Node& r) {\n"
      "  c->First(); n->First(); r.First(); n->First()->Next(); c->First()->Next(); }\n");
  // A definition's line is where its text starts: the first member's is the
  // class's.
  EXPECT_EQ(Links("Node::Walk"), "First>L0");
  EXPECT_EQ(Links("w"), "First>L0 First>L2 First>L0 First>L2 Next>L4 First>L0 Next>L3");
}

TEST_F(PreciseLinks, ATemplateLosesToAPlainFunctionThatFitsAsWell) {
  Analyse(
      "bool Eq(const char* n, bool a, bool b) { return a == b; }\n"               // L0
      "template <class T> bool Eq(const char* n, T a, T b) { return a == b; }\n"  // L1
      "void t(int i) { Eq(\"x\", true, false); Eq(\"y\", 1, i); Eq(\"z\", 1, true); }\n");
  // (1, i) makes T an int, an exact fit; (1, true) gives T two types, so
  // only the plain one is left.
  EXPECT_EQ(Links("t"), "Eq>L0 Eq>L1 Eq>L0");
}

TEST_F(PreciseLinks, MembersOfLibraryTypesStayUnlinked) {
  Analyse(
      "#include <string>\n#include <memory>\n"
      "struct Piece {\n"
      "  int size() const { return 0; }\n"
      "  void* get() { return 0; }\n"  // L4
      "};\n"
      "int u(std::string s, std::shared_ptr<int> p, std::shared_ptr<Piece> q) {\n"
      "  p.get(); p->get(); q.get(); q->get(); return (int)s.size(); }\n");
  // Only q-> reaches a Piece.
  EXPECT_EQ(Links("u"), "get>X get>X get>X get>L4 size>X");
}

TEST_F(PreciseLinks, AmbiguousCallsKeepEveryCandidateAndShowOneOfN) {
  Analyse(
      "void p(int a) {}\n"          // L0
      "void p(const char* a) {}\n"  // L1
      "void q(long x) { p(x * 2); p(1); }\n");
  // Of two alike, the usual choice: the last in the caller's source.
  EXPECT_EQ(Links("q"), "p>L1/2 p>L0");
  ASSERT_EQ(views.rows.size(), 2u);
  const auto &row = views.rows[0];
  EXPECT_EQ(row[CL_LINK], "===> (1 of 2)");
  EXPECT_EQ(row[CL_TO_FID], "2");
  EXPECT_EQ(views.candidates[0], "1:2 1:1");
  EXPECT_EQ(views.rows[1][CL_LINK], "===>");
  EXPECT_EQ(views.candidates[1], "");
}

TEST_F(PreciseLinks, TheCallTreeMarksAnAmbiguousCall) {
  Analyse("void p(int a) {}\nvoid p(const char* a) {}\nvoid q(long x) { p(x * 2); p(1); }\n");
  ST_FUNC *q = nullptr;
  ForEachFunction([&](ST_FUNC *f) {
    if (std::string(f->name) == "q") q = f;
  });
  ASSERT_NE(q, nullptr);
  TreeTexts tree;
  TreeWiring wiring = {};
  output_flags = OUTPUT_TEXT | OUTPUT_VIEW;
  ASSERT_EQ(ANA_MakeCallStackTree(TreeTools{&wiring, &tree, nullptr}, q, 8), 1);
  // The second call of p(argc:1) is not shown again.
  EXPECT_NE(tree.result.find("p(argc:1); [a.cpp] (1 of 2)\r\n"), std::string::npos) << tree.result;
  ASSERT_EQ(tree.nodes.size(), 2u);
  EXPECT_EQ(tree.nodes[0], "q(argc:1) [a.cpp]");
  EXPECT_EQ(tree.nodes[1], "p(argc:1) [a.cpp] (1 of 2)");
}

TEST_F(PreciseLinks, TheStatementParserNeverShowsAMark) {
  g_config.PARSER = 0;
  Analyse("void p(int a) {}\nvoid p(const char* a) {}\nvoid q(long x) { p(x); }\n");
  ASSERT_EQ(views.rows.size(), 1u);
  EXPECT_EQ(views.rows[0][CL_LINK], "===>");
  EXPECT_EQ(views.candidates[0], "");
}

TEST_F(PreciseLinks, ReceiversHeldBySmartPointersAndDirectlyInitialised) {
  Analyse(
      "#include <memory>\n"
      "struct State {\n"
      "  int Indent() const { return 0; } };\n"  // L1
      "struct Printer { Printer(int* f) {}\n"
      "  void Close() {} };\n"  // L4
      "struct Other { void Close() {}\n"
      "  int Indent() const { return 1; } };\n"
      "struct Emitter { std::unique_ptr<State> m_state; int f() { return m_state->Indent(); }\n"
      "  int g(); };\n"
      "int Emitter::g() { return m_state->Indent(); }\n"
      "void d(int* fp) { Printer p(fp); p.Close(); }\n");
  EXPECT_EQ(Links("Emitter::f"), "Indent>L1");
  EXPECT_EQ(Links("Emitter::g"), "Indent>L1");
  EXPECT_EQ(Links("d"), "Close>L4");
}

TEST_F(PreciseLinks, MembersOfMembersLookInTheMembersClass) {
  Analyse(
      "#include <vector>\n"
      "struct Set { int end() const { return 0; } };\n"  // L1
      "struct Other { int end() const { return 1; } };\n"
      "struct Exp { Set prereqs_; Set* ptr_; std::vector<int> list_; };\n"
      "struct User { Exp e_;\n"
      "  int f(Exp* exp) { return exp->prereqs_.end() + exp->ptr_->end() + exp->list_.end(); }\n"
      "  int g() { return this->e_.end(); } };\n");
  // A member of a library type, or one no class of the member's has, stays
  // unlinked.
  EXPECT_EQ(Links("User::f"), "end>L1 end>L1 end>X");
  EXPECT_EQ(Links("User::g"), "end>X");
}

TEST_F(PreciseLinks, DefaultsDeclaredInTheClassOrNamespaceServeTheDefinitionOutside) {
  Analyse({{"s.h",
            "struct S { void Set(const char* s, int flags = 0); };\n"
            "namespace d { int Diff(int a, int b, int c = 2); }\n"},
           {"s.cpp",
            "#include \"s.h\"\nvoid S::Set(const char* s, int flags) {}\n"
            "namespace d { int Diff(int a, int b, int c) { return 0; } }\n"  // L2
            "void f(S& x) { x.Set(\"a\"); x.Set(\"a\", 1); d::Diff(1, 2); }\n"}});
  EXPECT_EQ(Links("f"), "Set>L1 Set>L1 Diff>L2");
}

TEST_F(PreciseLinks, NamespacesOpenedByMacrosOfAnotherFile) {
  Analyse({{"base.h",
            "#define LIB_BEGIN namespace lib { inline namespace v12 {\n"
            "#define LIB_END } }\n"},
           {"use.cpp",
            "#include \"base.h\"\nLIB_BEGIN\n"
            "int format_int(int v) { return v; }\n"  // L2
            "LIB_END\n"
            "int main() { return lib::format_int(1) + lib::v12::format_int(2); }\n"}});
  std::string names;
  ForEachFunction([&](const ST_FUNC *f) { names += std::string(f->scope) + f->name + " "; });
  EXPECT_EQ(names, "lib::v12::format_int main ");
  EXPECT_EQ(Links("main"), "format_int>L2 format_int>L2");
}

TEST_F(PreciseLinks, AnnotationMacroInAClassHeadWithAFunctionType) {
  Analyse(
      "#define LOCKS_REQUIRED(m)\n"
      "struct Mutex { void AssertHeld() {} };\n"  // L1
      "Mutex g_mu;\n"
      "template <typename F> class Typed;\n"
      "template <typename R, typename... Args> class Typed<R(Args...)> {\n"
      "  bool Matches(int a) const\n"
      "      LOCKS_REQUIRED(g_mu) { g_mu.AssertHeld(); return a; }\n"
      "};\n");
  EXPECT_EQ(Links("Typed::Matches"), "AssertHeld>L1");
}

TEST_F(PreciseLinks, FriendsPrefixMacrosAndConditionalsInHeadsKeepTheirScopes) {
  Analyse(
      "#define CONSTEXPR_X constexpr\n"
      "namespace ns {\n"
      "class Style {\n"
      " public:\n"
      "  explicit CONSTEXPR_X Style(int a) : v_(a) {}\n"
      "  friend CONSTEXPR_X Style operator|(Style l, const Style& r) { return l; }\n"
      "  int v_;\n"
      "};\n"
      "template <typename C> class Store\n"
      "#if OLD_COMPILER\n"
      "    : public Style\n"
      "#endif\n"
      "{\n"
      " public:\n"
      "  int types() const { return 0; }\n"
      "  Store() : a_(1),\n"
      "#if X\n"
      "    b_(2),\n"
      "#endif\n"
      "    c_(3) {}\n"
      "  int a_, b_, c_;\n"
      "};\n"
      "}\n");
  std::string names;
  ForEachFunction([&](const ST_FUNC *f) {
    names += std::string(f->scope) + f->name + (f->member ? "+ " : " ");
  });
  EXPECT_EQ(names, "ns::Style::Style+ ns::operator| ns::Store::types+ ns::Store::Store+ ");
}

TEST_F(PreciseLinks, TwinsOfAnIfAreOneFunctionInCAndCandidatesInCpp) {
  const char *twins =
      "#if defined(_WIN32)\nstatic int Unload() { return 1; }\n"  // L1
      "#else\nstatic int Unload() { return 2; }\n#endif\n"        // L3
      "int run() { return Unload(); }\n";
  // C links the later one, as the statement parser does; C++ shows both.
  Analyse({{"use.c", twins}});
  EXPECT_EQ(Links("run"), "Unload>L3");
  ANA_SourceRelease();
  Analyse({{"use.cpp", twins}});
  EXPECT_EQ(Links("run"), "Unload>L3/2");
}

TEST_F(PreciseLinks, ElementsOfContainersAndPointerMembersKeepTheirConstness) {
  Analyse(
      "#include <vector>\n"
      "struct Suite {\n"
      "  int name() const { return 0; }\n"  // L1
      "  int name() { return 1; }\n"        // L3
      "  void run() {} };\n"                // L4
      "struct Other { int name() const { return 2; } void run() {} };\n"
      "struct Impl {\n"
      "  std::vector<Suite*> suites_;\n"
      "  std::vector<Suite> values_;\n"
      "  Suite* one_; const Suite* fixed_;\n"
      "  void walk();\n"
      "  void look() const; };\n"
      "void Impl::walk() { for (auto* s : suites_) s->name(); suites_[0]->run();\n"
      "  for (const auto& v : values_) v.name(); }\n"
      "void Impl::look() const { for (auto* s : suites_) s->name(); values_[0].name();\n"
      "  one_->name(); fixed_->name(); }\n"
      "int local(const std::vector<Suite*>& list, std::vector<Suite>& copies) {\n"
      "  for (auto s : list) s->run();\n"
      "  for (auto c : copies) c.name();\n"
      "  for (const Suite* s : list) s->name();\n"
      "  for (auto& s : list) s.name();\n"  // `.` on a pointer: not read as an element
      "  return 0; }\n");
  EXPECT_EQ(Links("Impl::walk"), "name>L3 run>L4 name>L1");
  // A const member's pointers still reach non-const objects; its elements
  // held by value are const.
  EXPECT_EQ(Links("Impl::look"), "name>L3 name>L1 name>L3 name>L1");
  EXPECT_EQ(Links("local"), "run>L4 name>L3 name>L1 name>X");
}

TEST_F(PreciseLinks, ClassAliasesNameTheirClassUnlessTwinsDisagree) {
  Analyse(
      "namespace t {\n"
      "struct Suite { int count() const { return 0; } };\n"  // L0
      "struct Other { int count() const { return 1; } };\n"  // L2
      "using Case = Suite;\n"
      "typedef Other Kind;\n"
      "#if A\nusing Mu = Suite;\n#else\nusing Mu = Other;\n#endif\n"
      "namespace in {\n"
      "int f(const Case& c, Kind* k, Mu& m) { return c.count() + k->count() + m.count(); }\n"
      "} }\n");
  EXPECT_EQ(Links("t::in::f"), "count>L0 count>L2 count>X");
}

TEST_F(PreciseLinks, CastsExplicitTemplateArgumentsNewAndTrailingReturnTypes) {
  Analyse(
      "#include <string>\n#include <vector>\n"
      "struct Box { int m() { return 0; } };\n"
      "struct Bag { int m() { return 1; } };\n"  // L3
      "template <typename To> To Implicit(To x) { return x; }\n"
      "void Print(unsigned char c) {}\n"       // L5
      "void Print(char32_t c) {}\n"            // L6
      "void Print(const wchar_t* s) {}\n"      // L7
      "void Print(const std::string& s) {}\n"  // L8
      "void Take(const std::vector<int>& v) {}\n"
      "void Take(std::vector<int>* v) {}\n"  // L10
      "auto Make() -> Bag { return Bag(); }\n"
      "void f(char c, const char* s) {\n"
      "  Print(static_cast<unsigned char>(c)); Print(Implicit<char32_t>(c));\n"
      "  Print(Implicit<const wchar_t*>(nullptr)); Print(std::string(s));\n"
      "  Take(new std::vector<int>()); Make().m(); }\n");
  EXPECT_EQ(Links("f"),
            "Print>L5 static_cast>X Print>L6 Implicit>L4 Print>L7 Implicit>L4 Print>L8 string>X "
            "Take>L10 Make>L11 m>L3");
}

TEST_F(PreciseLinks, ABaseNamedUnderAnIfDoesNotChooseTheOverload) {
  Analyse(
      "struct Args {};\n"
      "struct Other {};\n"
      "template <typename C> struct Store\n"
      "#if OLD_COMPILER\n"
      "    : public Args\n"
      "#endif\n"
      "{};\n"
      "void Use(Args a) {}\n"
      "void Use(Other o) {}\n"
      "void f(Store<int> s) { Use(s); }\n");
  EXPECT_EQ(Links("f"), "Use>L8/2");  // either, as the base may not exist
}

TEST_F(PreciseLinks, AMemberInItsClassBodyCallsItsOwnSpecialisation) {
  Analyse(
      "template <typename T> class Value {\n"
      "  static bool IsSet() { return true; }\n"  // L0
      "  static bool Exists() { return IsSet(); } };\n"
      "template <typename T> class Value<T&> {\n"
      "  static bool IsSet() { return false; }\n"  // L3
      "  static bool Exists() { return IsSet(); } };\n"
      "class Re {\n"
      "  static bool Full(const char* s) ;\n"
      "  static bool Full(const std::string& s) { return Full(s.c_str()); } };\n"
      "bool Re::Full(const char* s) { return true; }\n");
  EXPECT_EQ(Links("Value::Exists"), "IsSet>L0 IsSet>L3");
  // A candidate defined outside the class body may be the one meant.
  EXPECT_EQ(Links("Re::Full"), "Full>L9/2 c_str>X");
}

TEST_F(PreciseLinks, SmartPointerElementsSubscriptsAndTrailingConstReturns) {
  Analyse(
      "#include <memory>\n#include <vector>\n"
      "struct Node {\n"
      "  int get() const { return 0; }\n"  // L2
      "  int get() { return 1; } };\n"     // L4
      "struct Tree {\n"
      "  std::vector<std::unique_ptr<Node>> kids_;\n"
      "  std::unique_ptr<const Node> frozen_;\n"
      "  void visit(const std::vector<Node*>& list) const; };\n"
      "void Tree::visit(const std::vector<Node*>& list) const {\n"
      "  for (auto& k : kids_) k->get();\n"
      "  kids_[0]->get(); frozen_->get();\n"
      "  list[0]->get(); }\n"
      "auto Frozen() -> const Node* { return nullptr; }\n"  // L13
      "void use() { Frozen()->get(); }\n"
      "template <typename T> T Cast(int x) { return T(); }\n"
      "void Show(int a) {}\n"
      "void Show(const char* s) {}\n"
      "template <typename T> void Use(int v) { Show(Cast<T>(v)); }\n");
  // What a smart pointer or a pointer element reaches is as const as its
  // own declaration says, whatever the member function's constness.
  EXPECT_EQ(Links("Tree::visit"), "get>L4 get>L4 get>L2 get>L4");
  EXPECT_EQ(Links("use"), "Frozen>L13 get>L2");
  // Cast<T> with T a template parameter tells nothing.
  EXPECT_EQ(Links("Use"), "Show>L17/2 Cast>L15");
}
