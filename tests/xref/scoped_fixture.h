// Scope-aware linking test support: analyzer records of the precise front
// end built by hand (sources, classes with their bases, definitions, calls
// in each form) and a run of the linking phases over them.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <deque>
#include <string>
#include <vector>

#include "engine/ana.h"
#include "engine/record_walk.h"
#include "foundation/cb.h"
#include "foundation/log.h"
#include "foundation/settings.h"
#include "foundation/text.h"
#include "platform/files.h"
#include "platform/keys.h"
#include "support/null_views.h"
#include "support/testenv.h"
#include "xref/xref.h"

namespace velmora_test {

struct ScopedFixture : ::testing::Test {
  velmora_test::NullViews views;
  std::deque<std::vector<const char *>> base_lists;  // what the class records point to
  std::string log_path;

  void SetUp() override {
    ResetConfiguration();
    ASSERT_EQ(CreateANA(), 1);
    g_views = &views;
    EscapeSetPoll(nullptr);
    LogSetLevel(0);
    LogOpen(1, "result");
    log_path = LogFilePath(1);
    TruncateFile(log_path.c_str());
    g_config.PARSER = 1;
  }
  void TearDown() override {
    g_views = nullptr;
    ReleaseANA();
    LogShutdown();
    ResetConfiguration();
  }

  std::string Log() const {
    LogFlush();
    return velmora_test::ReadFile(log_path);
  }

  static ST_SOURCE *Source(const char *name) {
    CHBUF *e = AddCB(&ANA.sources, nullptr, (int)sizeof(ST_SOURCE));
    ST_SOURCE *s = static_cast<ST_SOURCE *>(e->data);
    CopyText(s->name, sizeof s->name, name);
    CB_Init(&s->funcs);
    CB_Init(&s->classes);
    return s;
  }
  void Class(ST_SOURCE *s, const char *scope, std::vector<const char *> bases = {}) {
    for (const char *&b : bases) b = ANA_Intern(b);
    base_lists.push_back(bases);
    CHBUF *e = AddCB(&s->classes, nullptr, (int)sizeof(ST_CLASS));
    ST_CLASS *c = static_cast<ST_CLASS *>(e->data);
    c->scope = ANA_Intern(scope);
    c->base_count = (int)bases.size();
    c->bases = base_lists.back().data();
  }
  // A definition taking exactly argc arguments; a member when its scope is
  // a class.
  static ST_FUNC *Func(ST_SOURCE *s, const char *scope, const char *name, int argc = 0,
                       int member = 0) {
    CHBUF *e = AddCB(&s->funcs, nullptr, (int)sizeof(ST_FUNC));
    ST_FUNC *f = static_cast<ST_FUNC *>(e->data);
    f->source = s;
    f->scope = ANA_Intern(scope);
    f->name = ANA_Intern(name);
    f->argc = f->argc_min = argc;
    f->member = member;
    CB_Init(&f->calls);
    return f;
  }
  static ST_FUNC *Member(ST_SOURCE *s, const char *scope, const char *name, int argc = 0) {
    return Func(s, scope, name, argc, 1);
  }
  static ST_CALL *Call(ST_FUNC *caller, int form, const char *scope, const char *name,
                       int argc = 0) {
    CHBUF *e = AddCB(&caller->calls, nullptr, (int)sizeof(ST_CALL));
    ST_CALL *c = static_cast<ST_CALL *>(e->data);
    c->caller = caller;
    c->form = form;
    c->scope = ANA_Intern(scope);
    c->name = ANA_Intern(name);
    c->argc = argc;
    return c;
  }
  static ST_CALL *Plain(ST_FUNC *caller, const char *name, int argc = 0) {
    return Call(caller, CALL_PLAIN, "", name, argc);
  }

  void RunAll() {
    ANA_MakeFunctionList();
    ANA_BeginCallList();
    int steps = 0;
    while (ANA_LinkNextSource() != -1) ASSERT_LT(++steps, 1000);
    ANA_UpdateCalledColumn();
  }
};

}  // namespace velmora_test
