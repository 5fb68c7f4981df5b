// Numbering and the two lists: after parsing, every source gets its SID and
// every function its FID, the function list goes to the result log and its
// rows to the job's results sink, and func_index is refilled for the linker. Also the
// lookups by (SID, FID) and by name, and the reset of the call-tree marks.
#include <cstring>
#include <vector>

#include "engine/record_walk.h"
#include "foundation/hash.h"
#include "foundation/log.h"
#include "foundation/ports.h"
#include "foundation/text.h"
#include "xref/report_line.h"
#include "xref/row_text.h"
#include "xref/xref.h"

namespace {

const char kRule[] = "//============================================\r\n";

// The "scope:name" key of func_index; both fields hold at most 259 bytes.
void MakeKey(char *key, size_t cap, const char *scope, const char *name) {
  size_t n = CopyText(key, cap, scope);
  n += CopyText(key + n, cap - n, ":");
  CopyText(key + n, cap - n, name);
}

// Rows travel to a sink in blocks of this many.
const size_t kBatch = 4096;

}  // namespace

int ANA_MakeFunctionList(ResultsSink *sink) {
  LogPrint(0, LOG_RESULT, "\n");
  LogPrint(0, LOG_RESULT, kRule);
  LogPrint(0, LOG_RESULT, "// List of Function in source\r\n");
  LogPrint(0, LOG_RESULT, kRule);
  if (ANA.func_index) HASH2_Init(ANA.func_index);

  bool rows = sink && sink->TakesRows(VIEW_FUNCTIONS);
  std::vector<FunctionRow> batch;
  char key[528];
  int sid = 0;
  ForEachSource([&](ST_SOURCE *s) {
    s->sid = ++sid;
    ReportLine().Add("(SID:").Add(s->sid).Add(")[").Add(s->name).Add("]\r\n").Print();
    s->name_hash = (int)HashString(s->name, 0);
    int fid = 0;
    ForEachFunction(s, [&](ST_FUNC *f) {
      f->sid = s->sid;
      f->fid = ++fid;
      FunctionRow row = MakeFunctionRow(f);
      PrintFunctionReport(row);
      f->scope_hash = (int)HashString(f->scope, 0);
      f->name_hash = (int)HashString(f->name, 0);
      if (rows) {
        batch.push_back(row);
        if (batch.size() == kBatch) {
          sink->AddFunctionRows(batch.data(), batch.size());
          batch.clear();
        }
      }
      if (ANA.func_index) {
        MakeKey(key, sizeof key, f->scope, f->name);
        HASH2_Regist(ANA.func_index, key, 0, s->name_hash, f);
      }
    });
  });
  if (rows && !batch.empty()) sink->AddFunctionRows(batch.data(), batch.size());
  return 1;
}

int ANA_BeginCallList(void) {
  LogPrint(0, LOG_RESULT, "\r\n");
  LogPrint(0, LOG_RESULT, kRule);
  LogPrint(0, LOG_RESULT, "// Function call list \r\n");
  LogPrint(0, LOG_RESULT, kRule);
  link_total = ANA.sources.count;
  link_position = 0;
  LinkStartAhead();
  return link_total;
}

int ANA_UpdateCalledColumn(ResultsSink *sink) {
  if (!sink || !sink->TakesRows(VIEW_FUNCTIONS)) return 1;
  std::vector<int> called;
  size_t first = 0;
  ForEachFunction([&](const ST_FUNC *f) {
    called.push_back(f->called);
    if (called.size() == kBatch) {
      sink->SetCalled(first, called.data(), called.size());
      first += called.size();
      called.clear();
    }
  });
  if (!called.empty()) sink->SetCalled(first, called.data(), called.size());
  return 1;
}

ST_SOURCE *ANA_FindSource(int sid) {
  ST_SOURCE *found = nullptr;
  ForEachSource([&](ST_SOURCE *s) {
    if (s->sid != sid) return WalkResult::kGoOn;
    found = s;
    return WalkResult::kStop;
  });
  return found;
}

ST_FUNC *ANA_FindFunction(int sid, int fid) {
  ST_FUNC *found = nullptr;
  ForEachSource([&](const ST_SOURCE *s) {
    if (s->sid != sid) return WalkResult::kGoOn;
    return ForEachFunction(s, [&](ST_FUNC *f) {
      if (f->fid != fid) return WalkResult::kGoOn;
      found = f;
      return WalkResult::kStop;
    });
  });
  return found;
}

void ANA_ClearExpanded(void) {
  ForEachFunction([](ST_FUNC *f) { f->expanded = 0; });
}
