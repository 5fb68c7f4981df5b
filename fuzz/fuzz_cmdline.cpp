// Fuzz target: the command-line splitter of the process launcher. Besides not
// crashing, every argument after the program must come back unchanged when it
// is quoted with QuoteArgument and split again, since that is how the
// renderer, viewer and editor commands are built from user file names.
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "platform/process.h"

namespace velmora_fuzz {

int FuzzCommandLine(const uint8_t *data, size_t size) {
  // A command line is a C string: stop at the first NUL like every caller.
  std::string line(reinterpret_cast<const char *>(data), size);
  line = line.c_str();
  std::vector<std::string> args = SplitCommandLine(line.c_str());
  if (args.empty()) return 0;

  std::string rebuilt = "prog";
  for (size_t i = 1; i < args.size(); i++) rebuilt += " " + QuoteArgument(args[i].c_str());
  std::vector<std::string> again = SplitCommandLine(rebuilt.c_str());
  if (again.size() != args.size()) FuzzFail("QuoteArgument/SplitCommandLine: count differs");
  for (size_t i = 1; i < args.size(); i++)
    if (again[i] != args[i]) FuzzFail("QuoteArgument/SplitCommandLine: argument differs");

  // A quoted program name with anything but a quote in it stays one word.
  if (args[0].find('"') == std::string::npos) {
    std::vector<std::string> p = SplitCommandLine(("\"" + args[0] + "\" x").c_str());
    if (p.size() != 2 || p[0] != args[0]) FuzzFail("quoted program name not kept");
  }
  return 0;
}

}  // namespace velmora_fuzz

VELMORA_FUZZ_ENTRY(velmora_fuzz::FuzzCommandLine)
