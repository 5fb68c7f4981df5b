#include "engine_fixture.h"
using namespace velmora_test;
TEST_F(EngineTest, Scratch) {
  const char *src = getenv("SCRATCH_SRC");
  if (!src) GTEST_SKIP();
  LogSetLevel(atoi(getenv("SCRATCH_LEVEL") ? getenv("SCRATCH_LEVEL") : "2"));
  std::string text = ReadFile(src);
  auto r = Run(text);
  printf("%s", Dump(true).c_str());
  for (int x : r) printf("%d ", x);
  printf("\n---- debug\n%s---- trace\n%s", DebugLog().c_str(), Trace().c_str());
}
