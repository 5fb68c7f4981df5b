// Start-up and shutdown: the settings files in force, the command-line entry
// that collects files at once, the extensions wired below the call tree, and
// a leak report that closes every run.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>

#include "engine/ana.h"
#include "foundation/cb.h"
#include "foundation/settings.h"
#include "platform/sys.h"
#include "shell/app.h"
#include "shell/ext_hooks.h"
#include "shell/worker.h"
#include "support/testenv.h"
#include "xref/calltree.h"

namespace {

std::string g_trace;

struct AppTest : ::testing::Test {
  std::string dir;
  void SetUp() override {
    dir = velmora_test::MakeTempDir("app");
    g_trace.clear();
    TraceSetHook([](const char *t) { g_trace += t; });
  }
  void TearDown() override {
    TraceSetHook(nullptr);
    ResetConfiguration();
    velmora_test::RemoveTree(dir);
  }
  // Stops the program as its window's end does: nothing collected is left,
  // and the leak report says OK last.
  void StopAndExpectCleanEnd() {
    JobState = JobStep::Idle;
    AppStop();
    EXPECT_EQ(ProjectFiles, nullptr);
    const std::string ok = "_MEMCHECK: Unfreed Allocations Chack :OK\n";
    ASSERT_GE(g_trace.size(), ok.size());
    EXPECT_EQ(g_trace.substr(g_trace.size() - ok.size()), ok);
  }
};

TEST_F(AppTest, SettingsFromGivenFileAndCommandLineFiles) {
  velmora_test::WriteFile(dir + "/my.ini", "[CONFIG]\nEXT=C;\nMAX_CALL_NEST=20\n");
  velmora_test::WriteFile(dir + "/a.c", "int a(void) { return 0; }\n");
  velmora_test::WriteFile(dir + "/b.h", "int b;\n");
  std::string missing = dir + "/missing";
  const char *paths[] = {dir.c_str(), missing.c_str()};
  const char *failure = "unset";
  ASSERT_EQ(AppStart((dir + "/my.ini").c_str(), 2, paths, &failure), 1);
  EXPECT_EQ(failure, nullptr);
  EXPECT_EQ(std::string(AppSettingsPath()), dir + "/my.ini");
  EXPECT_EQ(std::string(AppExtensionSettingsPath()), dir + "/myENH.ini");
  EXPECT_EQ(g_config.MAX_CALL_NEST, 20);
  // Collected at once, waiting for the main window to start the worker.
  EXPECT_EQ(JobState.load(), JobStep::RegisterSources);
  ASSERT_NE(ProjectFiles, nullptr);
  EXPECT_EQ(ProjectFiles->count, 1);  // only EXT=C; passes
  StopAndExpectCleanEnd();
}

TEST_F(AppTest, CollectionWhileTheWindowIsBuilt) {
  // The desktop program's start: the walk (and the analyzer's creation) run
  // on while the caller works and end with the same list, in the same order,
  // and the same trace lines in the same order.
  velmora_test::WriteFile(dir + "/my.ini", "[CONFIG]\nEXT=C;H;\n");
  for (int i = 0; i < 300; i++) {
    std::string sub = dir + "/d" + std::to_string(i % 17);
    mkdir(sub.c_str(), 0700);
    velmora_test::WriteFile(sub + "/f" + std::to_string(i) + ".c", "int f(void) { return 0; }\n");
  }
  std::string file = dir + "/d3/f3.c";
  const char *paths[] = {dir.c_str(), file.c_str(), nullptr};
  auto collected = [] {
    std::string list;
    void *data = nullptr;
    for (CHBUF *e = CB_Next(ProjectFiles, &data); e; e = CB_Next(e, &data))
      list += std::string((const char *)data) + "\n";
    return list;
  };
  ASSERT_EQ(AppStart((dir + "/my.ini").c_str(), 3, paths, nullptr), 1);
  std::string at_once = collected(), trace_at_once = g_trace;
  JobState = JobStep::Idle;
  AppStop();
  g_trace.clear();
  ASSERT_EQ(AppStartCollecting((dir + "/my.ini").c_str(), 3, paths, nullptr), 1);
  EXPECT_EQ(JobState.load(), JobStep::RegisterSources);
  const char *failure = "unset";
  EXPECT_EQ(AppCollected(&failure), 1);
  EXPECT_EQ(AppCollected(&failure), 1);  // a second wait answers at once
  EXPECT_STREQ(failure, "unset");
  EXPECT_EQ(collected(), at_once);
  EXPECT_EQ(ProjectFiles->count, 301);  // the file named twice is there twice
  EXPECT_EQ(g_trace, trace_at_once);
  // The sources are registered too, once: the job is told so, once.
  EXPECT_EQ(ANA.sources.count, 301);
  EXPECT_EQ(AppTakeRegisteredSources(), 1);
  EXPECT_EQ(AppTakeRegisteredSources(), 0);
  JobState = JobStep::Idle;
  AppStop();
  // Shutdown waits for a walk nobody waited for.
  ASSERT_EQ(AppStartCollecting((dir + "/my.ini").c_str(), 3, paths, nullptr), 1);
  StopAndExpectCleanEnd();
}

TEST_F(AppTest, SettingsBesideTheProgram) {
  g_tree_wiring = TreeWiring();
  ASSERT_EQ(AppStart(nullptr, 0, nullptr, nullptr), 1);
  std::string settings = AppSettingsPath();
  std::string ext = AppExtensionSettingsPath();
  // The call tree reaches the MIDI player and the graph writer.
  EXPECT_NE(g_tree_wiring.ext.music_on, nullptr);
  EXPECT_NE(g_tree_wiring.ext.midi_play_node, nullptr);
  EXPECT_NE(g_tree_wiring.graph.edge, nullptr);
  AppStop();
  // Whatever the program is called (here test_shell), it reads the settings of
  // the name velmora in its own folder, as velmora and velmora-cli both do.
  EXPECT_EQ(settings.substr(settings.rfind('/')), "/velmora.ini");
  EXPECT_EQ(ext.substr(ext.rfind('/')), "/velmoraENH.ini");
  EXPECT_EQ(settings.substr(0, settings.rfind('/')), VELMORA_BINARY_DIR);
  EXPECT_EQ(JobState.load(), JobStep::Idle);
}

}  // namespace
