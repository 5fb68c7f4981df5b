// Fuzz target: a message catalogue (.mo). Whatever its bytes, reading it
// never reads outside them, and a translation it offers for a format can
// only be taken when it reads the arguments the format's key reads: the
// formats below are filled with exactly those.
#include <cstdint>
#include <cstring>
#include <string>

#include "foundation/messages.h"
#include "foundation/text.h"
#include "fuzz/fuzz_support.h"

namespace velmora_fuzz {

int FuzzCatalogue(const uint8_t *data, size_t size) {
  if (size > (1u << 20)) return 0;
  if (MessagesLoad(data, size)) {
    char out[256];
    FormatText(out, sizeof out, Msg("Stopped: %d of %d sources analysed; lists are partial"), 3, 4);
    FormatText(out, sizeof out,
               Msg("%s  [%d source(s) end inside a function: definitions may be missing]"),
               "status", 2);
    std::string s =
        FormatString(MsgUtf8("%s: ends inside %s (line %d): definitions after it may be missing"),
                     "a.c", "f", 7);
    // Every translation is a text of the catalogue, so never longer than it.
    if (strlen(MsgUtf8("%1 of %2 rows")) > size || strlen(Msg("&Quit.")) > size * 2 + 8)
      FuzzFail("a translation longer than its catalogue");
  }
  MessagesClear();
  return 0;
}

}  // namespace velmora_fuzz

VELMORA_FUZZ_ENTRY(velmora_fuzz::FuzzCatalogue)
