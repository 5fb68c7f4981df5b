// Scope-aware linking of member calls whose object the precise front end
// could type: declared near the call, a data member of the caller's class,
// or the result of another call (the class that call returns, or the class
// a temporary names). Records built by hand as in scoped_link_test.cpp.
#include <cstring>
#include <vector>

#include "xref/scoped_fixture.h"

namespace {

using velmora_test::ScopedFixture;

TEST_F(ScopedFixture, MemberCallsOnADeclaredObjectLookInItsClass) {
  ST_SOURCE *s = Source("r.cpp");
  Class(s, "app::Suite::", {"Base::"});
  Class(s, "app::Base::");
  Class(s, "app::Info::");
  Class(s, "lib::Info::");
  ST_FUNC *user = Member(s, "app::Printer::", "print");
  ST_FUNC *suite_name = Member(s, "app::Suite::", "name");
  Member(s, "app::Info::", "name");
  ST_FUNC *base_size = Member(s, "app::Base::", "size");
  Member(s, "app::Info::", "size");
  ST_FUNC *only_str = Member(s, "app::Info::", "c_str");

  auto on = [&](const char *receiver, const char *name) {
    ST_CALL *c = Call(user, CALL_MEMBER, "", name);
    c->how->receiver = receiver ? ANA_Intern(receiver) : nullptr;
    return c;
  };
  ST_CALL *own = on("Suite::", "name");             // found from app::
  ST_CALL *inherited = on("Suite::", "size");       // through its base
  ST_CALL *library = on("std::string::", "c_str");  // no analysed class
  ST_CALL *unknown = on(nullptr, "c_str");          // the old rule: one class alone
  ST_CALL *two_infos = on("Info::", "name");        // app::Info, seen from app::
  ST_CALL *not_there = on("Suite::", "c_str");      // its class lacks it
  RunAll();
  EXPECT_EQ(own->to_func, suite_name);
  EXPECT_EQ(inherited->to_func, base_size);
  EXPECT_EQ(library->to_func, nullptr);
  EXPECT_EQ(unknown->to_func, only_str);
  EXPECT_NE(two_infos->to_func, nullptr);
  EXPECT_STREQ(two_infos->to_func->scope, "app::Info::");
  EXPECT_EQ(not_there->to_func, nullptr);
}

TEST_F(ScopedFixture, MemberCallsThroughADataMemberLookInItsClass) {
  ST_SOURCE *s = Source("f.cpp");
  Class(s, "app::Runner::", {"Base::"});
  Class(s, "app::Base::");
  Class(s, "app::Impl::");
  Class(s, "app::Other::");
  const char *runner_fields[] = {ANA_Intern("impl_"), ANA_Intern("Impl::"), ANA_Intern("text_"),
                                 ANA_Intern("std::string::")};
  const char *base_fields[] = {ANA_Intern("other_"), ANA_Intern("Other::")};
  CB_ForEach<ST_CLASS>(s->classes, [&](ST_CLASS *c) {
    if (strcmp(c->scope, "app::Runner::") == 0) c->fields = runner_fields, c->field_count = 2;
    if (strcmp(c->scope, "app::Base::") == 0) c->fields = base_fields, c->field_count = 1;
  });
  ST_FUNC *run = Member(s, "app::Runner::", "run");
  ST_FUNC *impl_go = Member(s, "app::Impl::", "go");
  ST_FUNC *other_go = Member(s, "app::Other::", "go");
  ST_FUNC *only_size = Member(s, "app::Other::", "size");
  ST_FUNC *free_fn = Func(s, "app::", "helper");

  auto via = [&](ST_FUNC *caller, const char *object, const char *name) {
    ST_CALL *c = Call(caller, CALL_MEMBER, "", name);
    c->how->object = ANA_Intern(object);
    return c;
  };
  ST_CALL *own = via(run, "impl_", "go");
  ST_CALL *inherited = via(run, "other_", "go");
  ST_CALL *library = via(run, "text_", "size");  // a string: no guess at Other::size
  ST_CALL *unknown = via(run, "local", "size");  // no such member: the old rule
  ST_CALL *not_member = via(free_fn, "impl_", "go");
  RunAll();
  EXPECT_EQ(own->to_func, impl_go);
  EXPECT_EQ(inherited->to_func, other_go);
  EXPECT_EQ(library->to_func, nullptr);
  EXPECT_EQ(unknown->to_func, only_size);
  EXPECT_EQ(not_member->to_func, nullptr);  // two classes define go
}

TEST_F(ScopedFixture, MemberCallsOnACallsResultLookInTheClassItReturns) {
  ST_SOURCE *s = Source("g.cpp");
  Class(s, "app::Unit::");
  Class(s, "app::Impl::");
  Class(s, "app::Other::");
  ST_FUNC *instance = Func(s, "app::Unit::", "Instance");
  instance->returns = ANA_Intern("Unit::");
  ST_FUNC *impl = Member(s, "app::Unit::", "impl");
  impl->returns = ANA_Intern("Impl::");
  ST_FUNC *text = Member(s, "app::Unit::", "text");
  text->returns = ANA_Intern("std::string::");
  ST_FUNC *impl_go = Member(s, "app::Impl::", "go");
  Member(s, "app::Other::", "go");
  ST_FUNC *size = Member(s, "app::Other::", "size");
  ST_FUNC *ctor = Member(s, "app::Impl::", "Impl");
  ST_FUNC *user = Func(s, "app::", "user");

  auto after = [&](const ST_CALL *inner, int form, const char *scope, const char *name) {
    ST_CALL *c = Call(user, form, scope, name);
    c->how->through = inner;
    return c;
  };
  // Unit::Instance()->impl()->go(): each step in the class the last returns.
  ST_CALL *first = Call(user, CALL_QUALIFIED, "Unit::", "Instance");
  ST_CALL *second = after(first, CALL_MEMBER, "", "impl");
  ST_CALL *third = after(second, CALL_MEMBER, "", "go");
  // Unit::Instance()->text().size(): a string is no analysed class.
  ST_CALL *library = after(after(first, CALL_MEMBER, "", "text"), CALL_MEMBER, "", "size");
  // Impl().go(): a temporary of a class.
  ST_CALL *made = after(Call(user, CALL_PLAIN, "", "Impl"), CALL_MEMBER, "", "go");
  // Nothing known about the inner call: the old rule.
  ST_CALL *unknown = after(Call(user, CALL_PLAIN, "", "nowhere"), CALL_MEMBER, "", "size");
  RunAll();
  EXPECT_EQ(first->to_func, instance);
  EXPECT_EQ(second->to_func, impl);
  EXPECT_EQ(third->to_func, impl_go);
  EXPECT_EQ(library->to_func, nullptr);
  EXPECT_EQ(made->to_func, impl_go);
  EXPECT_EQ(unknown->to_func, size);
  (void)text;
  (void)ctor;
}

TEST_F(ScopedFixture, LongChainsOfCallResultsEnd) {
  ST_SOURCE *s = Source("chain.cpp");
  Class(s, "Node::");
  ST_FUNC *next = Member(s, "Node::", "next");
  next->returns = ANA_Intern("Node::");
  ST_FUNC *user = Func(s, "", "user");
  const ST_CALL *inner = Call(user, CALL_PLAIN, "", "head");
  std::vector<ST_CALL *> chain;
  for (int i = 0; i < 5000; i++) {
    ST_CALL *c = Call(user, CALL_MEMBER, "", "next");
    c->how->through = inner;
    chain.push_back(c);
    inner = c;
  }
  RunAll();                                // neither deep recursion nor a hang
  EXPECT_EQ(chain.back()->to_func, next);  // a name one class alone defines
}

}  // namespace
