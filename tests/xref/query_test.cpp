// The query layer on analyzer records built by hand: lookups by the
// described name rule, places in a source (the function and the call at a
// line and column), calls and callers in their order, and the ranked search.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "xref/calltree_fixture.h"
#include "xref/query.h"

using velmora_test::TreeFixture;

namespace {

struct QueryTest : TreeFixture {
  ST_QUERY *q = nullptr;
  void TearDown() override {
    ReleaseQuery(&q);
    TreeFixture::TearDown();
  }
  ST_QUERY *Make() {
    ReleaseQuery(&q);
    q = CreateQuery();
    return q;
  }
  // Places a function's name and closing brace.
  static ST_FUNC *At(ST_FUNC *f, int name_line, int name_column, int end_line) {
    f->name_line = name_line;
    f->name_column = name_column;
    f->end_line = end_line;
    return f;
  }
  static ST_CALL *At(ST_CALL *c, int line, int column) {
    c->name_line = line;
    c->name_column = column;
    return c;
  }
  static std::vector<std::string> Names(const std::vector<QueryHit> &hits) {
    std::vector<std::string> out;
    for (const QueryHit &h : hits) out.push_back(std::string(h.function.scope) + h.function.name);
    return out;
  }
  static std::vector<int> Kinds(const std::vector<QueryHit> &hits) {
    std::vector<int> out;
    for (const QueryHit &h : hits) out.push_back((int)h.match);
    return out;
  }
};

TEST_F(QueryTest, LookupByNameFollowsTheDescribedRule) {
  ST_SOURCE *s1 = Source("a.c");
  Func(s1, "start", 1);
  Func(s1, "start", 2, 0, "K::");
  ST_SOURCE *s2 = Source("b.c");
  Func(s2, "start", 1);
  ASSERT_NE(Make(), nullptr);
  std::vector<QueryFunction> all = Query_FunctionsNamed(q, "start");
  ASSERT_EQ(all.size(), 3u);  // the name alone: any scope, in SID, FID order
  EXPECT_EQ(all[0].sid * 10 + all[0].fid, 11);
  EXPECT_EQ(all[1].sid * 10 + all[1].fid, 12);
  EXPECT_EQ(all[2].sid * 10 + all[2].fid, 21);
  ASSERT_EQ(Query_FunctionsNamed(q, "K::start").size(), 1u);
  EXPECT_TRUE(Query_FunctionsNamed(q, "K::").empty());
  EXPECT_TRUE(Query_FunctionsNamed(q, "::start").empty());  // a written scope must match
  EXPECT_TRUE(Query_FunctionsNamed(q, "star").empty());
  EXPECT_TRUE(Query_FunctionsNamed(q, nullptr).empty());
  EXPECT_EQ(Query_SourceCount(q), 2);
  EXPECT_EQ(Query_FunctionCount(q), 3);
  EXPECT_EQ(Query_SourceByPath(q, "/src/b.c"), 2);
  EXPECT_EQ(Query_SourceByPath(q, "/src/c.c"), 0);
  EXPECT_STREQ(Query_SourceName(q, 1), "a.c");
  EXPECT_EQ(Query_SourcePath(q, 3), nullptr);
  EXPECT_EQ(Query_FunctionsOf(q, 1).size(), 2u);
  QueryFunction f;
  EXPECT_FALSE(Query_Function(q, 2, 2, &f));
  ASSERT_TRUE(Query_Function(q, 1, 2, &f));
  EXPECT_STREQ(f.scope, "K::");
  EXPECT_STREQ(f.path, "/src/a.c");
}

TEST_F(QueryTest, CallsAndCallersInTheirOrder) {
  Example x = BuildExample();  // main: a, b; a: c; b: a, d
  ST_SOURCE *o = Source("o.c");
  ST_FUNC *other = Func(o, "other", 1);
  Call(other, x.a);
  Call(other, nullptr, "d", 2);
  Call(other, x.a);
  ASSERT_NE(Make(), nullptr);
  std::vector<QueryCall> calls = Query_CallsOf(q, 1, 4);  // b
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[0].to_fid, 2);
  EXPECT_STREQ(calls[1].call_name, "d");
  EXPECT_EQ(calls[1].to_sid, 0);
  EXPECT_EQ(calls[1].index, 1);
  std::vector<QueryCall> in = Query_CallersOf(q, 1, 2);  // who calls a
  ASSERT_EQ(in.size(), 4u);
  EXPECT_EQ(in[0].fid, 1);  // main
  EXPECT_EQ(in[1].fid, 4);  // b
  EXPECT_EQ(in[2].sid, 2);  // other, twice, each call apart
  EXPECT_EQ(in[2].index, 0);
  EXPECT_EQ(in[3].index, 2);
  EXPECT_TRUE(Query_CallersOf(q, 1, 1).empty());  // nobody calls main
  EXPECT_TRUE(Query_CallersOf(q, 9, 9).empty());
  std::vector<QueryCall> d = Query_UnlinkedCallsOf(q, "d");
  ASSERT_EQ(d.size(), 2u);  // whatever the argument count
  EXPECT_EQ(d[1].argc, 2);
  EXPECT_TRUE(Query_UnlinkedCallsOf(q, "a").empty());  // linked calls do not count
}

TEST_F(QueryTest, PlacesFindTheInnermostFunctionAndTheCallUnderThem) {
  ST_SOURCE *s = Source("p.c");
  ST_FUNC *outer = At(Func(s, "outer", 1), 2, 4, 20);
  ST_FUNC *inner = At(Func(s, "inner", 2), 5, 6, 9);
  At(Func(s, "last", 3), 22, 0, 22);
  At(Call(outer, inner), 12, 8);                 // "inner" at 12:8..13
  At(Call(inner, nullptr, "helper", 1), 7, 10);  // "helper" at 7:10..16
  ASSERT_NE(Make(), nullptr);
  QueryFunction f;
  EXPECT_FALSE(Query_FunctionAt(q, 1, 2, 3, &f));  // before the name
  ASSERT_TRUE(Query_FunctionAt(q, 1, 2, 4, &f));
  EXPECT_STREQ(f.name, "outer");
  ASSERT_TRUE(Query_FunctionAt(q, 1, 7, 0, &f));
  EXPECT_STREQ(f.name, "inner");
  ASSERT_TRUE(Query_FunctionAt(q, 1, 10, 0, &f));
  EXPECT_STREQ(f.name, "outer");
  EXPECT_FALSE(Query_FunctionAt(q, 1, 21, 0, &f));
  EXPECT_TRUE(Query_FunctionAt(q, 1, 22, 99, &f));
  EXPECT_FALSE(Query_FunctionAt(q, 2, 0, 0, &f));
  QueryCall c;
  ASSERT_TRUE(Query_CallAt(q, 1, 7, 13, &c));
  EXPECT_STREQ(c.call_name, "helper");
  EXPECT_EQ(c.fid, 2);
  EXPECT_TRUE(Query_CallAt(q, 1, 7, 16, &c));  // just after the name still names it
  EXPECT_FALSE(Query_CallAt(q, 1, 7, 17, &c));
  EXPECT_FALSE(Query_CallAt(q, 1, 7, 9, &c));
  ASSERT_TRUE(Query_CallAt(q, 1, 12, 8, &c));
  EXPECT_EQ(c.to_fid, 2);
  EXPECT_FALSE(Query_CallAt(q, 1, 13, 8, &c));
}

TEST_F(QueryTest, SearchRanksExactThenPrefixThenSubstringShorterFirst) {
  ST_SOURCE *s = Source("r.c");
  Func(s, "do_kfree_rcu", 1);
  Func(s, "kfree", 2);
  Func(s, "kfree_skb", 3);
  Func(s, "KFree", 4, 0, "Mem::");
  Func(s, "kfreeable", 5);
  Func(s, "other", 6, 0, "kfree::");  // the query is not in its name
  ASSERT_NE(Make(), nullptr);
  std::vector<QueryHit> hits = Query_Search(q, "kfree", 0);
  // Of the two prefixes as long, the first defined comes first.
  EXPECT_EQ(Names(hits), (std::vector<std::string>{"kfree", "Mem::KFree", "kfree_skb", "kfreeable",
                                                   "do_kfree_rcu"}));
  EXPECT_EQ(Kinds(hits), (std::vector<int>{0, 1, 2, 2, 3}));
  EXPECT_EQ(Names(Query_Search(q, "kfree", 2)), (std::vector<std::string>{"kfree", "Mem::KFree"}));
  // With a scope the scope and name are read together.
  EXPECT_EQ(Names(Query_Search(q, "mem::k", 0)), (std::vector<std::string>{"Mem::KFree"}));
  EXPECT_EQ(Names(Query_Search(q, "E::OTH", 0)), (std::vector<std::string>{"kfree::other"}));
  EXPECT_TRUE(Query_Search(q, "", 0).empty());
  EXPECT_TRUE(Query_Search(q, "nothing", 0).empty());
  EXPECT_EQ(Query_Search(q, "e", 0).size(), 6u);  // every name, once each
}

TEST_F(QueryTest, SearchNeverStartsInsideADoubleByteCharacter) {
  ST_SOURCE *s = Source("j.c");
  Func(s, "\x83\x41x", 1);  // "ア" then x: 0x41 is its second byte
  Func(s, "Ax", 2);
  ASSERT_NE(Make(), nullptr);
  EXPECT_EQ(Names(Query_Search(q, "ax", 0)), (std::vector<std::string>{"Ax"}));
  EXPECT_EQ(Names(Query_Search(q, "\x83\x41", 0)), (std::vector<std::string>{"\x83\x41x"}));
}

TEST_F(QueryTest, AnUnnumberedAnalysisGivesAnEmptyIndex) {
  ST_SOURCE *s = Source("n.c");
  Func(s, "f", 1);
  s->sid = 0;  // as before a function list
  ASSERT_NE(Make(), nullptr);
  EXPECT_EQ(Query_FunctionCount(q), 0);
  EXPECT_TRUE(Query_Search(q, "f", 0).empty());
  ReleaseQuery(&q);
  ReleaseQuery(nullptr);
  EXPECT_EQ(Query_FunctionCount(nullptr), 0);
}

}  // namespace
