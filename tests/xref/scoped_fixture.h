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
#include "support/testenv.h"
#include "xref/link_records.h"
#include "xref/xref.h"

namespace velmora_test {

struct ScopedFixture : ::testing::Test {
  std::deque<std::vector<const char *>> base_lists;  // what the class records point to
  std::deque<ST_CALL_FORM> forms;                    // what the call records point to
  std::string log_path;

  void SetUp() override { OpenLinkAnalyzer(nullptr, &log_path); }
  void TearDown() override {
    CloseLinkAnalyzer();
    ResetConfiguration();
  }

  std::string Log() const { return LinkLog(log_path); }

  // A source as the precise front end leaves it.
  static ST_SOURCE *Source(const char *name) {
    ST_SOURCE *s = AddSource(name);
    s->precise = 1;
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
    ST_FUNC *f = AddFunc(s, scope, name, argc);
    f->member = member;
    return f;
  }
  static ST_FUNC *Member(ST_SOURCE *s, const char *scope, const char *name, int argc = 0) {
    return Func(s, scope, name, argc, 1);
  }
  // A call written in that form; its form record (c->how) is the test's to
  // fill further.
  ST_CALL *Call(ST_FUNC *caller, int form, const char *scope, const char *name, int argc = 0) {
    ST_CALL *c = AddCall(caller, scope, name, argc);
    forms.push_back(ST_CALL_FORM{});
    forms.back().form = form;
    forms.back().object_const = -1;
    c->how = &forms.back();
    return c;
  }
  ST_CALL *Plain(ST_FUNC *caller, const char *name, int argc = 0) {
    return Call(caller, CALL_PLAIN, "", name, argc);
  }

  void RunAll() { RunLinkPhase(); }
};

}  // namespace velmora_test
