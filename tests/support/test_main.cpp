// Entry point of every unit-test program. Before any test runs it points HOME,
// the XDG folders and TMPDIR at a fresh folder, so no test can touch the desktop,
// home or temporary folder of the machine it runs on.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "support/testenv.h"

int main(int argc, char **argv) {
  testing::InitGoogleTest(&argc, argv);
  std::string root = velmora_test::MakeTempDir("velmora-test-home");
  std::string desk = root + "/Desktop";
  setenv("HOME", root.c_str(), 1);
  setenv("XDG_DESKTOP_DIR", desk.c_str(), 1);
  setenv("XDG_CONFIG_HOME", (root + "/.config").c_str(), 1);
  setenv("XDG_STATE_HOME", (root + "/.local/state").c_str(), 1);
  setenv("TMPDIR", root.c_str(), 1);
  unsetenv("VELMORA_TRACE");
  int rc = RUN_ALL_TESTS();
  velmora_test::RemoveTree(root);
  return rc;
}
