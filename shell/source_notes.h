// What an analysis tells the user about sources it could not read as asked:
// a source whose parse ended inside a function body, and a source the
// precise parser handed to the statement parser, each named once to the
// main window, and their counts after the status text. Private to shell/.
#pragma once

#include <cstddef>

#include "foundation/ports.h"

// Names each such source of the last analysis to main (SourceLost,
// SourceFellBack), in source order.
void ReportSourceNotes(MainWindowPort *main);
// The status text that ends an analysis: base, then a bracket for each kind
// of note that applies, into out (cap bytes, always terminated).
void StatusWithNotes(const char *base, char *out, size_t cap);
