// Shared fixture of the engine tests: a fresh analyzer, a private desktop for
// the two log files, a captured developer trace, and helpers that analyse a
// set of small sources to the end and print the records as text.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "engine/ana.h"
#include "engine/parser.h"
#include "engine/record_walk.h"
#include "foundation/cb.h"
#include "foundation/log.h"
#include "foundation/memory.h"
#include "foundation/settings.h"
#include "support/testenv.h"
#include "platform/sys.h"

namespace velmora_test {

inline std::string &EngineTrace() {
  static std::string text;
  return text;
}

class EngineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetConfiguration();
    live_ = MemLiveCount();
    dir_ = MakeTempDir("engine-src");
    desk_ = MakeTempDir("engine-desk");
    setenv("XDG_DESKTOP_DIR", desk_.c_str(), 1);
    LogShutdown();
    LogOpen(0, "debug");
    LogOpen(1, "result");
    LogSetLevel(0);
    EngineTrace().clear();
    TraceSetHook([](const char *t) { EngineTrace() += t; });
    ASSERT_EQ(CreateANA(), 1);
  }

  void TearDown() override {
    ANA_ExecRelease(&exec_);
    ReleaseANA();
    TraceSetHook(nullptr);
    LogShutdown();
    LogSetLevel(-1);
    MemFailAt(0);
    EXPECT_EQ(MemLiveCount(), live_) << "blocks left allocated";
    RemoveTree(dir_);
    RemoveTree(desk_);
  }

  // The analysis as the tests step through it (the worker's place).
  ANA_EXEC exec_ = {};

  // Writes a source file into the test's folder and returns its path.
  std::string Source(const std::string &name, const std::string &bytes) {
    std::string path = dir_ + "/" + name;
    WriteFile(path, bytes);
    return path;
  }

  // Registers the paths as sources and begins an analysis of them; gives
  // what ANA_SourceCreateAll gave.
  int Register(const std::vector<std::string> &paths) {
    CB list = {};  // CB_Init expects a zeroed list
    CB_Init(&list);
    for (const std::string &p : paths) AddCB(&list, p.c_str(), (int)p.size() + 1);
    int r = ANA_SourceCreateAll(nullptr, &list);
    ANA_ExecBegin(&exec_);
    CB_Init(&list);
    return r;
  }

  // Registers the paths and calls ANA_Exec until every source is reported.
  // Returns the results of ANA_Exec in order.
  std::vector<int> RunPaths(const std::vector<std::string> &paths) {
    Register(paths);
    std::vector<int> results;
    char name[260] = "";
    for (int guard = 0; guard < 1000000; guard++) {
      int r = ANA_Exec(&exec_, nullptr, name, 0);
      results.push_back(r);
      if (r == -2 || r == -3) break;
    }
    return results;
  }

  // Analyses one source given as text.
  std::vector<int> Run(const std::string &text, const std::string &name = "a.c") {
    return RunPaths({Source(name, text)});
  }

  // The records of every source: one line per function, one indented line per
  // call.
  static std::string Dump(bool offsets = false) {
    std::string out;
    ForEachFunction([&](const ST_FUNC *f) {
      out += std::string(f->scope) + f->name + " " + std::to_string(f->argc) + "/" +
             std::to_string(f->items) + " L" + std::to_string(f->line);
      if (offsets) out += " @" + std::to_string(f->def_offset) + "+" + std::to_string(f->def_len);
      out += "\n";
      ForEachCall(f, [&](const ST_CALL *c) {
        out += std::string("  ") + c->scope + c->name + " " + std::to_string(c->argc) + " L" +
               std::to_string(c->line) + "\n";
      });
    });
    return out;
  }

  // Both log files afresh on a new private desktop (each run of a
  // comparison writes its own), and an empty trace.
  void FreshLogs() {
    LogShutdown();
    RemoveTree(desk_);
    desk_ = MakeTempDir("engine-desk");
    setenv("XDG_DESKTOP_DIR", desk_.c_str(), 1);
    LogOpen(0, "debug");
    LogOpen(1, "result");
    EngineTrace().clear();
  }

  std::string DebugLog() const {
    LogFlush();
    return ReadFile(desk_ + "/debug.txt");
  }
  std::string ResultLog() const {
    LogFlush();
    return ReadFile(desk_ + "/result.txt");
  }
  static const std::string &Trace() { return EngineTrace(); }

  std::string dir_, desk_;
  unsigned live_ = 0;
};

}  // namespace velmora_test
