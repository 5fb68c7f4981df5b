// The analysis job with the project's index: the status line says how many
// sources came from it and how many were parsed, and says nothing more
// without it.
#include "shell/worker_fixture.h"

namespace velmora_worker_test {
namespace {

std::string LastStatus(const PortRecorder &rec) {
  for (size_t i = rec.calls.size(); i-- > 0;)
    if (rec.calls[i].rfind("SetStatusText(", 0) == 0) return rec.calls[i];
  return "";
}

TEST_F(WorkerTest, TheStatusLineSaysWhatCameFromTheIndex) {
  Write("a.c", "int a(int x)\n{\n  return b(x, 1);\n}\n");
  Write("b.c", "int b(int x, int y)\n{\n  return x + y;\n}\n");
  std::string file = dir + "/project.db";
  g_front.index = 1;
  g_front.index_file = file.c_str();
  Analyse();
  EXPECT_NE(LastStatus(rec).find(" [0 from the index, 2 parsed])"), std::string::npos)
      << LastStatus(rec);
  rec.calls.clear();
  Analyse();  // Re-analyse: the same paths again
  EXPECT_NE(LastStatus(rec).find(" [2 from the index, 0 parsed])"), std::string::npos)
      << LastStatus(rec);
  EXPECT_EQ(ANA_FindFunction(2, 1)->called, 1);  // linked as before
  Write("b.c", "int b(int x, int y)\n{\n  return x - y;\n}\n");
  rec.calls.clear();
  Analyse();
  EXPECT_NE(LastStatus(rec).find(" [1 from the index, 1 parsed])"), std::string::npos)
      << LastStatus(rec);
  // As the built-in INDEX=0 has it: the status line is the one it always was.
  g_front.index = -1;
  rec.calls.clear();
  Analyse();
  EXPECT_EQ(LastStatus(rec), "SetStatusText(#2)");
}

}  // namespace
}  // namespace velmora_worker_test
