// What the linking tests share: an analyzer with a result log and no views
// beyond the ones a test brings, records made by hand as a parser leaves
// them (no SIDs, FIDs or hashes yet), and the whole linking phase as the
// worker runs it.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "engine/ana.h"
#include "foundation/cb.h"
#include "foundation/log.h"
#include "foundation/settings.h"
#include "foundation/text.h"
#include "platform/files.h"
#include "platform/keys.h"
#include "support/testenv.h"
#include "xref/xref.h"

namespace velmora_test {

// Where RunLinkPhase hands the rows (the sink of OpenLinkAnalyzer).
inline ResultsSink *&LinkSink() {
  static ResultsSink *sink = nullptr;
  return sink;
}

// A fresh analyzer whose result log is log_path (emptied), its rows going to
// sink (may be null).
inline void OpenLinkAnalyzer(ResultsSink *sink, std::string *log_path) {
  ResetConfiguration();
  ASSERT_EQ(CreateANA(), 1);
  LinkSink() = sink;
  EscapeSetPoll(nullptr);
  LogSetLevel(0);
  LogOpen(1, "result");
  *log_path = LogFilePath(1);
  TruncateFile(log_path->c_str());
}

inline void CloseLinkAnalyzer() {
  EscapeSetPoll(nullptr);
  LinkSink() = nullptr;
  ReleaseANA();
  LogShutdown();
}

inline std::string LinkLog(const std::string &log_path) {
  LogFlush();
  return ReadFile(log_path);
}

// A zeroed record of type T added at the end of list.
template <typename T>
T *AddRecord(CB *list) {
  return static_cast<T *>(AddCB(list, nullptr, (int)sizeof(T))->data);
}

inline ST_SOURCE *AddSource(const char *name) {
  ST_SOURCE *s = AddRecord<ST_SOURCE>(&ANA.sources);
  CopyText(s->name, sizeof s->name, name);
  CB_Init(&s->funcs);
  CB_Init(&s->classes);
  return s;
}

inline ST_FUNC *AddFunc(ST_SOURCE *s, const char *scope, const char *name, int argc) {
  ST_FUNC *f = AddRecord<ST_FUNC>(&s->funcs);
  f->source = s;
  f->scope = ANA_Intern(scope);
  f->name = ANA_Intern(name);
  f->argc = f->argc_min = argc;
  CB_Init(&f->calls);
  return f;
}

inline ST_CALL *AddCall(ST_FUNC *caller, const char *scope, const char *name, int argc) {
  ST_CALL *c = AddRecord<ST_CALL>(&caller->calls);
  c->caller = caller;
  c->scope = ANA_Intern(scope);
  c->name = ANA_Intern(name);
  c->argc = argc;
  return c;
}

// The function list, then every source's linking step until the end, then
// the Called column.
inline void RunLinkPhase() {
  ANA_MakeFunctionList(LinkSink());
  int total = ANA_BeginCallList();
  int r, steps = 0;
  while ((r = ANA_LinkNextSource(LinkSink())) != -1) {
    ASSERT_LE(r, total + 1);
    ASSERT_LT(++steps, 1000);
  }
  ANA_UpdateCalledColumn(LinkSink());
}

}  // namespace velmora_test
