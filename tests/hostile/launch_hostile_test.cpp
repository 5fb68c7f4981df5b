// External programs that are not there: editors and viewers named in the
// settings that do not exist, or whose names hold quotes, blanks and shell
// syntax. Starting them fails quietly, runs no shell, and leaves no child.
#include <gtest/gtest.h>

#include <string>

#include "engine/ana.h"
#include "foundation/cb.h"
#include "foundation/hash.h"
#include "foundation/settings.h"
#include "foundation/text.h"
#include "fuzz/fuzz_support.h"
#include "graph/graph.h"
#include "platform/process.h"
#include "platform/sys.h"
#include "support/testenv.h"
#include "xref/xref.h"

namespace {

TEST(HostileLaunch, EditorsAndViewersThatDoNotExist) {
  velmora_fuzz::FuzzInit();
  velmora_fuzz::FuzzDefaultSettings();
  const std::string &dir = velmora_fuzz::FuzzDir();
  const char text[] = "int edited(int a) { return a; }\n";
  std::string src = velmora_fuzz::FuzzWriteFile(
      "edit me $(touch pwned).c", reinterpret_cast<const uint8_t *>(text), sizeof text - 1);
  ASSERT_EQ(ANA_SourceCreate(src.c_str()), 1);
  ANA_EXEC exec = {};
  ANA_ExecBegin(&exec);
  char name[260] = "";
  for (int guard = 0; guard < 1000 && ANA_Exec(&exec, nullptr, name, 0) != -2; guard++) {
  }
  ANA_ExecRelease(&exec);
  ANA_MakeFunctionList(nullptr);
  ASSERT_NE(ANA_FindFunction(1, 1), nullptr);

  const std::string missing = dir + "/nowhere/editor";
  const std::string editors[] = {missing, "", "\"" + missing, missing + " $(touch pwned2)",
                                 missing + "\" \"; touch pwned3"};
  for (const std::string &e : editors) {
    SCOPED_TRACE(e);
    CopyText(g_config.EDITOR, sizeof g_config.EDITOR, e.c_str());
    for (const char *cmd : {"", "+%d", "-l %d \"%d\""}) {
      CopyText(g_config.EDITOR_CMD, sizeof g_config.EDITOR_CMD, cmd);
      EXPECT_EQ(OpenFunctionText(1, 1), 1);
      EXPECT_EQ(OpenSourceAtFunction(1, 1), 1);
    }
  }
  EXPECT_EQ(OpenFunctionText(9, 9), 0);
  LaunchProgram((dir + "/nowhere/viewer").c_str(), src.c_str(), "--flag");
  EXPECT_EQ(RunProgram(0, 0, ""), 0);
  RunProgram(1, 0, (dir + "/nowhere/viewer x.gif").c_str());

  // Nothing was started, so nothing is left to reap.
  for (int i = 0; i < 100 && PendingReapCount() > 0; i++) SleepMs(20);
  EXPECT_EQ(PendingReapCount(), 0);
  for (const char *p : {"/pwned", "/pwned2", "/pwned3"})
    EXPECT_FALSE(velmora_test::Exists(dir + p));

  ANA_SourceRelease();
  if (ANA.func_index) HASH2_Init(ANA.func_index);
}

}  // namespace
