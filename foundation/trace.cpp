// The developer trace: formatting is bounded here, conversion and the sink
// itself live in platform/.
#include "foundation/trace.h"

#include <cstdarg>

#include "foundation/log.h"
#include "foundation/text.h"
#include "platform/sys.h"

void DebugPrint(const char *format, ...) {
  char buf[256];
  va_list args;
  va_start(args, format);
  FormatTextV(buf, sizeof buf, format, args);
  va_end(args);
  if (LOG_GATHER *g = LogGatherCurrent()) {
    LogGatherTrace(g, buf);  // written when the gathering is replayed
    return;
  }
  TraceWrite(buf);
  if (LOG_GATHER *copy = LogGatherCopyCurrent()) LogGatherTrace(copy, buf);
}
