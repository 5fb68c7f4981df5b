// Linking of the precise front end's records, built by hand: how a call is
// written (plain, this->, obj., qualified) decides which scopes it may
// reach, classes lend their bases, defaulted and variadic parameters widen
// the argument counts, and the usual tie-breaks still choose among what is
// left. With the statement parser's setting the same records link as ever.
#include "xref/scoped_fixture.h"

namespace {

using velmora_test::ScopedFixture;

TEST_F(ScopedFixture, PlainCallsTryTheClassThenItsBasesThenEnclosingScopes) {
  ST_SOURCE *s = Source("shapes.cpp");
  Class(s, "n::Shape::", {"Base::"});  // n::Base, seen from inside n
  Class(s, "n::Base::", {"::Root::"});
  Class(s, "Root::", {"n::Shape::"});  // a cycle must not hang the linker
  ST_FUNC *draw = Member(s, "n::Shape::", "draw");
  ST_FUNC *own = Member(s, "n::Shape::", "area");
  ST_FUNC *free_area = Func(s, "", "area");
  ST_FUNC *inherited = Member(s, "Root::", "name");
  Func(s, "", "name");
  ST_FUNC *ns_log = Func(s, "n::", "log", 1);
  Func(s, "", "log", 1);
  ST_FUNC *global_only = Func(s, "", "exit", 1);
  Member(s, "n::Shape::", "scale", 1);
  ST_FUNC *free_scale = Func(s, "", "scale", 2);

  ST_CALL *to_own = Plain(draw, "area");
  ST_CALL *to_root = Plain(draw, "name");
  ST_CALL *to_ns = Plain(draw, "log", 1);
  ST_CALL *to_global = Plain(draw, "exit", 1);
  ST_CALL *past_wrong_count = Plain(draw, "scale", 2);
  ST_CALL *from_free = Plain(free_area, "area");
  ST_CALL *nowhere = Plain(draw, "missing");
  RunAll();

  EXPECT_EQ(to_own->to_func, own);
  EXPECT_EQ(to_root->to_func, inherited);  // through n::Base to Root
  EXPECT_EQ(to_ns->to_func, ns_log);
  EXPECT_EQ(to_global->to_func, global_only);
  EXPECT_EQ(past_wrong_count->to_func, free_scale);
  EXPECT_EQ(from_free->to_func, free_area);  // a free caller never sees members
  EXPECT_EQ(nowhere->to_func, nullptr);
  EXPECT_NE(
      Log().find("[shapes.cpp] name(argc:0)---[LINK]--->(SID:1,FID:4)[shapes.cpp] Root::name"),
      std::string::npos);
}

TEST_F(ScopedFixture, PlainCallsFoundNowhereAroundTryOneNamespaceBeside) {
  // What a using-declaration brings in: a function of a namespace next to
  // the caller's, inside the same outermost one, and defined by it alone.
  ST_SOURCE *s = Source("u.cpp");
  Class(s, "lib::Result::");
  ST_FUNC *count = Member(s, "lib::Result::", "count");
  ST_FUNC *count_if = Func(s, "lib::internal::", "CountIf", 2);
  Func(s, "other::", "Shuffle", 1);
  Func(s, "lib::a::", "Twice", 1);
  Func(s, "lib::b::", "Twice", 1);
  ST_FUNC *near = Func(s, "lib::", "Near", 1);
  Func(s, "lib::detail::", "Near", 1);
  ST_FUNC *global = Func(s, "", "main");

  ST_CALL *beside = Plain(count, "CountIf", 2);
  ST_CALL *wrong_count = Plain(count, "CountIf", 1);
  ST_CALL *elsewhere = Plain(count, "Shuffle", 1);
  ST_CALL *two_places = Plain(count, "Twice", 1);
  ST_CALL *around_first = Plain(count, "Near", 1);
  ST_CALL *from_global = Plain(global, "CountIf", 2);
  RunAll();
  EXPECT_EQ(beside->to_func, count_if);
  EXPECT_EQ(wrong_count->to_func, nullptr);
  EXPECT_EQ(elsewhere->to_func, nullptr);   // another outermost namespace
  EXPECT_EQ(two_places->to_func, nullptr);  // no guess between two
  EXPECT_EQ(around_first->to_func, near);
  EXPECT_EQ(from_global->to_func, nullptr);
}

TEST_F(ScopedFixture, ConstCallersReachTheConstOverload) {
  ST_SOURCE *s = Source("c.cpp");
  Class(s, "Unit::", {"Base::"});
  Class(s, "Base::");
  ST_FUNC *plain_impl = Member(s, "Unit::", "impl");
  ST_FUNC *const_impl = Member(s, "Unit::", "impl");
  const_impl->const_this = 1;
  ST_FUNC *only_plain = Member(s, "Base::", "state");
  ST_FUNC *reader = Member(s, "Unit::", "count");
  reader->const_this = 1;
  ST_FUNC *writer = Member(s, "Unit::", "reset");
  ST_FUNC *outside = Func(s, "", "main");

  ST_CALL *from_const = Plain(reader, "impl");
  ST_CALL *from_const_this = Call(reader, CALL_THIS, "", "impl");
  ST_CALL *from_plain = Plain(writer, "impl");
  ST_CALL *no_const_one = Plain(reader, "state");
  ST_CALL *qualified = Call(outside, CALL_PLAIN, "Unit::", "impl");
  RunAll();
  EXPECT_EQ(from_const->to_func, const_impl);
  EXPECT_EQ(from_const_this->to_func, const_impl);
  EXPECT_EQ(from_plain->to_func, plain_impl);
  EXPECT_EQ(no_const_one->to_func, only_plain);  // still found through the base
  EXPECT_EQ(qualified->to_func, const_impl);     // no preference: the usual last one
}

TEST_F(ScopedFixture, ThisCallsReachOnlyMembers) {
  ST_SOURCE *s = Source("w.cpp");
  Class(s, "Widget::", {"Base::"});
  Class(s, "Base::");
  ST_FUNC *paint = Member(s, "Widget::", "paint");
  ST_FUNC *base_show = Member(s, "Base::", "show");
  Func(s, "", "show");
  Func(s, "", "hide");
  Class(s, "Widget::Part::", {""});  // a base the parser could not name
  ST_FUNC *layout = Member(s, "Widget::Part::", "layout");
  ST_CALL *show = Call(paint, CALL_THIS, "", "show");
  ST_CALL *hide = Call(paint, CALL_THIS, "", "hide");
  ST_CALL *outer = Call(layout, CALL_THIS, "", "paint");
  RunAll();
  EXPECT_EQ(show->to_func, base_show);  // the base's, not the free one
  EXPECT_EQ(hide->to_func, nullptr);
  EXPECT_EQ(outer->to_func, nullptr);  // the enclosing class is no base
}

TEST_F(ScopedFixture, MemberCallsLinkOnlyWhenOneClassFits) {
  ST_SOURCE *s = Source("m.cpp");
  Class(s, "List::");
  Class(s, "Map::");
  ST_FUNC *user = Func(s, "", "user");
  Member(s, "List::", "size");
  Member(s, "Map::", "size");
  Member(s, "List::", "at", 1);
  ST_FUNC *map_at = Member(s, "Map::", "at", 2);
  ST_FUNC *map_clear = Member(s, "Map::", "clear");
  // Defined out of its class, which was seen: a member all the same.
  ST_FUNC *outside = Func(s, "List::", "sort");
  Func(s, "", "reset");

  ST_CALL *size = Call(user, CALL_MEMBER, "", "size");
  ST_CALL *at = Call(user, CALL_MEMBER, "", "at", 2);
  ST_CALL *clear = Call(user, CALL_MEMBER, "", "clear");
  ST_CALL *sort = Call(user, CALL_MEMBER, "", "sort");
  ST_CALL *reset = Call(user, CALL_MEMBER, "", "reset");
  RunAll();
  EXPECT_EQ(size->to_func, nullptr);  // two classes: no guess
  EXPECT_EQ(at->to_func, map_at);     // only Map's takes two
  EXPECT_EQ(clear->to_func, map_clear);
  EXPECT_EQ(sort->to_func, outside);
  EXPECT_EQ(reset->to_func, nullptr);  // a free function is no member
}

TEST_F(ScopedFixture, QualifiedCallsNeedAMatchingScope) {
  ST_SOURCE *s = Source("q.cpp");
  Class(s, "app::Parser::", {"Reader::"});
  Class(s, "app::Reader::");
  ST_FUNC *run = Member(s, "app::Parser::", "run");
  ST_FUNC *free_move = Func(s, "", "move", 1);
  ST_FUNC *global_init = Func(s, "", "init");
  Func(s, "util::", "init");
  Func(s, "other::io::", "open");
  ST_FUNC *near_open = Func(s, "app::io::", "open");
  Func(s, "xParser::", "peek");
  ST_FUNC *read = Member(s, "app::Reader::", "read");
  ST_FUNC *caller_global = Func(s, "", "main");
  ST_FUNC *peek = Member(s, "app::Parser::", "peek");
  Func(s, "big::Cfg::", "load");

  ST_CALL *std_move = Call(run, CALL_QUALIFIED, "std::", "move", 1);
  ST_CALL *top_init = Call(run, CALL_QUALIFIED, "::", "init");
  ST_CALL *io_open = Call(run, CALL_QUALIFIED, "io::", "open");
  ST_CALL *via_base = Call(run, CALL_QUALIFIED, "Parser::", "read");
  ST_CALL *from_outside = Call(caller_global, CALL_QUALIFIED, "Parser::", "peek");
  ST_CALL *rooted = Call(caller_global, CALL_QUALIFIED, "::Parser::", "peek");
  ST_CALL *part_of_a_name = Call(caller_global, CALL_QUALIFIED, "g::Cfg::", "load");
  RunAll();
  EXPECT_EQ(std_move->to_func, nullptr);  // no analysed std::move; the free one is not it
  EXPECT_EQ(free_move->called, 0);
  EXPECT_EQ(top_init->to_func, global_init);
  EXPECT_EQ(io_open->to_func, near_open);  // app::io seen from app, before other::io
  EXPECT_EQ(via_base->to_func, read);
  EXPECT_EQ(from_outside->to_func, peek);       // app::Parser::, never xParser::
  EXPECT_EQ(rooted->to_func, nullptr);          // no global Parser
  EXPECT_EQ(part_of_a_name->to_func, nullptr);  // "big::Cfg::" does not end with "g::Cfg::"
  EXPECT_NE(Log().find("[q.cpp] std::move(argc:1)------------>not found.\r\n"), std::string::npos);
}

TEST_F(ScopedFixture, DefaultsAndEllipsisWidenTheArgumentCount) {
  ST_SOURCE *s = Source("a.cpp");
  ST_FUNC *user = Func(s, "", "user");
  ST_FUNC *open = Func(s, "", "open", 3);
  open->argc_min = 1;  // open(path, mode = 0, flags = 0)
  ST_FUNC *print = Func(s, "", "print", 2);
  print->argc_min = 1;  // print(fmt, ...)
  print->variadic = 1;
  ST_CALL *open1 = Plain(user, "open", 1);
  ST_CALL *open3 = Plain(user, "open", 3);
  ST_CALL *open0 = Plain(user, "open", 0);
  ST_CALL *open4 = Plain(user, "open", 4);
  ST_CALL *print5 = Plain(user, "print", 5);
  ST_CALL *print0 = Plain(user, "print", 0);
  RunAll();
  EXPECT_EQ(open1->to_func, open);
  EXPECT_EQ(open3->to_func, open);
  EXPECT_EQ(open0->to_func, nullptr);
  EXPECT_EQ(open4->to_func, nullptr);
  EXPECT_EQ(print5->to_func, print);
  EXPECT_EQ(print0->to_func, nullptr);
}

TEST_F(ScopedFixture, OwnSourceFirstThenTheFirstDefinition) {
  ST_SOURCE *s1 = Source("1.cpp");
  ST_SOURCE *s2 = Source("2.cpp");
  ST_SOURCE *s3 = Source("3.cpp");
  Class(s1, "A::");
  ST_FUNC *in1 = Member(s1, "A::", "f");
  ST_FUNC *g2 = Member(s2, "A::", "g");
  Member(s3, "A::", "f");
  ST_FUNC *in3_last = Member(s3, "A::", "f");
  ST_FUNC *g3 = Member(s3, "A::", "h");
  ST_CALL *from2 = Plain(g2, "f");
  ST_CALL *from3 = Plain(g3, "f");
  ST_CALL *member_from3 = Call(g3, CALL_MEMBER, "", "f");
  RunAll();
  EXPECT_EQ(from2->to_func, in1);
  EXPECT_EQ(from3->to_func, in3_last);
  EXPECT_EQ(member_from3->to_func, in3_last);  // one class, defined in several places

  // One call linked alone reaches the same definition as in the phase.
  ASSERT_EQ(ANA_LinkCall(from3, nullptr), 1);
  EXPECT_EQ(from3->to_func, in3_last);
}

// The statement parser's setting ignores everything only the precise front
// end records: the same records link by hashes alone, byte for byte as when
// those fields are zero.
TEST_F(ScopedFixture, StatementParserRecordsLinkAsBefore) {
  auto build = [this](bool precise_fields) {
    ANA_SourceRelease();
    TruncateFile(log_path.c_str());
    ST_SOURCE *s = Source("same.cpp");
    s->precise = 0;  // read by the statement parser, whatever the fields say
    if (precise_fields) Class(s, "A::");
    ST_FUNC *g = Member(s, "A::", "g");
    Member(s, "A::", "f");
    Func(s, "", "f");
    ST_FUNC *opt = Func(s, "", "opt", 2);
    Plain(g, "f");
    Call(g, CALL_THIS, "", "f");
    Call(g, CALL_MEMBER, "", "g");
    Call(g, CALL_QUALIFIED, "A::", "f");
    Plain(g, "opt", 1);
    if (!precise_fields) {
      ForEachFunction([](ST_FUNC *f) { f->member = 0; });
      ForEachCall(s, [](ST_CALL *c) { c->how = nullptr; });
    } else {
      opt->argc_min = 1;
    }
  };
  g_config.PARSER = 1;  // the records decide, not the setting
  build(true);
  RunAll();
  std::string with_fields = Log();
  build(false);
  RunAll();
  EXPECT_EQ(Log(), with_fields);
  EXPECT_NE(with_fields.find("[same.cpp] f(argc:0)---[LINK]--->(SID:1,FID:3)[same.cpp] f\r\n"),
            std::string::npos);  // the free f, as the hashes say
  EXPECT_NE(with_fields.find("[same.cpp] opt(argc:1)------------>not found.\r\n"),
            std::string::npos);
}

// Linking threads share the tables; many must link as one.
struct LinkAheadScopedTest : ScopedFixture {
  std::string RunWith(int jobs) {
    ANA_SourceRelease();
    TruncateFile(log_path.c_str());
    std::vector<ST_FUNC *> funcs;
    for (int k = 0; k < 10; k++) {
      ST_SOURCE *s = Source(("s" + std::to_string(k) + ".cpp").c_str());
      std::string cls = "C" + std::to_string(k % 4) + "::";
      std::string base = "C" + std::to_string((k + 1) % 4) + "::";
      Class(s, cls.c_str(), {base.c_str()});
      for (int f = 0; f < 5; f++) {
        std::string name = "m" + std::to_string((k + f) % 7);
        funcs.push_back(f % 2 ? Func(s, "", name.c_str(), f % 3)
                              : Member(s, cls.c_str(), name.c_str(), f % 3));
      }
    }
    for (size_t i = 0; i < funcs.size(); i++)
      for (int k = 0; k < 4; k++)
        Call(funcs[i], (int)(i + k) % 4, k == 3 ? "C2::" : "",
             ("m" + std::to_string(i % 9)).c_str(), (int)(i * k) % 3);
    g_config.JOBS = jobs;
    RunAll();
    g_config.JOBS = 0;
    return Log();
  }
};

TEST_F(LinkAheadScopedTest, ManyThreadsLinkAsOne) {
  std::string one = RunWith(1);
  ASSERT_NE(one.find("---[LINK]--->"), std::string::npos);
  ASSERT_NE(one.find("not found"), std::string::npos);
  EXPECT_EQ(RunWith(4), one);
}

}  // namespace
