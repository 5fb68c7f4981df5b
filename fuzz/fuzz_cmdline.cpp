// Fuzz target: the command-line splitter of the process launcher. Besides not
// crashing, every argument after the program must come back unchanged when it
// is quoted with QuoteArgument and split again, since that is how the
// renderer, viewer and editor commands are built from user file names. The
// same bytes as a command template must keep their number of arguments
// whatever the values put into them.
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "graph/graph_internal.h"
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

  // The same text as a command template (DOT_CMD): split first and then
  // filled, so values full of quotes and blanks never change the number of
  // arguments the template (or the built-in one it falls back to) has.
  const char kBuiltin[] = "\"%s\"-T%s -o \"%s\" \"%s\"";
  const char *evil = "x\" -o \"/victim\" \"y";
  std::vector<std::string> filled = TemplateArguments(
      line.c_str(), kBuiltin, "ssss", true, {{evil, 0}, {"gif", 0}, {evil, 0}, {"a b\\\"", 0}});
  size_t own = SplitCommandLine(CheckedTemplate(line.c_str(), kBuiltin, "ssss")).size();
  size_t builtin = SplitCommandLine(kBuiltin).size();
  if (!filled.empty() && filled.size() != own && filled.size() != builtin)
    FuzzFail("TemplateArguments: a value changed the number of arguments");
  return 0;
}

}  // namespace velmora_fuzz

VELMORA_FUZZ_ENTRY(velmora_fuzz::FuzzCommandLine)
