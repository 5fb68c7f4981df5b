// Numbering and the two lists: after parsing, every source gets its SID and
// every function its FID, the function list goes to the result log and the
// Function List view, and func_index is refilled for the linker. Also the
// lookups by (SID, FID) and by name, and the reset of the call-tree marks.
#include <cstring>
#include <string>

#include "engine/record_walk.h"
#include "foundation/hash.h"
#include "foundation/log.h"
#include "foundation/ports.h"
#include "foundation/text.h"
#include "xref/list_columns.h"
#include "xref/report_line.h"
#include "xref/xref.h"

namespace {

const char kRule[] = "//============================================\r\n";

// A list view that is not there takes no rows; the reports are still written.
int ViewExists(int view) {
  return g_views && g_views->HasView(view);
}

// The "scope:name" key of func_index; both fields hold at most 259 bytes.
void MakeKey(char *key, size_t cap, const char *scope, const char *name) {
  size_t n = CopyText(key, cap, scope);
  n += CopyText(key + n, cap - n, ":");
  CopyText(key + n, cap - n, name);
}

// Cell texts. A list row has up to eleven cells and a call list a million
// rows, so the cells are put together directly rather than through the
// general formatter; the texts are those of "%d" and "%s%s".
enum { kCellSize = 528 };

const char *Number(char *cell, int v) {
  return DecimalText(cell, v);
}

const char *Joined(char *cell, const char *a, const char *b) {
  size_t n = CopyText(cell, kCellSize, a);
  CopyText(cell + n, kCellSize - n, b);
  return cell;
}

// Both lists begin a row alike: SID, source, FID, then scope and name (a call
// row's calling function). Returns the new row.
static_assert(FL_SID == CL_SID && FL_SOURCE == CL_SOURCE && FL_FID == CL_FID &&
                  FL_FUNCTION == CL_FUNCTION,
              "the lists share their first four columns");
int AddRowHead(int list, char *cell, int sid, const char *source, int fid, const char *scope,
               const char *name) {
  int row = RowCount(list);
  InsertRow(list, row, FL_SID, Number(cell, sid));
  SetCell(list, row, FL_SOURCE, source);
  SetCell(list, row, FL_FID, Number(cell, fid));
  SetCell(list, row, FL_FUNCTION, Joined(cell, scope, name));
  return row;
}

}  // namespace

void AddFunctionRow(int sid, const char *sourceName, int fid, const char *scope, const char *name,
                    int line, int argc, int called) {
  if (!ViewExists(VIEW_FUNCTIONS)) return;
  char cell[kCellSize];
  int row = AddRowHead(VIEW_FUNCTIONS, cell, sid, sourceName, fid, scope, name);
  SetCell(VIEW_FUNCTIONS, row, FL_LINE, Number(cell, line));
  SetCell(VIEW_FUNCTIONS, row, FL_ARGC, Number(cell, argc));
  SetCell(VIEW_FUNCTIONS, row, FL_CALLED, Number(cell, called));
}

void AddCallRow(int callerSid, const char *callerSourceName, int callerFid, const char *callerScope,
                const char *callerName, const char *callScope, const char *callName, int callArgc,
                int toSid, const char *toSourceName, int toFid, const char *toScope,
                const char *toName, int candidate_count, ST_FUNC *const *candidates) {
  if (!ViewExists(VIEW_CALLS)) return;
  char cell[kCellSize];
  int row =
      AddRowHead(VIEW_CALLS, cell, callerSid, callerSourceName, callerFid, callerScope, callerName);
  SetCell(VIEW_CALLS, row, CL_CALL, Joined(cell, callScope, callName));
  SetCell(VIEW_CALLS, row, CL_ARGC, Number(cell, callArgc));
  if (toSid <= 0) {
    SetCell(VIEW_CALLS, row, CL_LINK, "X");
    return;
  }
  if (candidate_count > 1 && candidates) {
    FormatText(cell, sizeof cell, "===> (1 of %d)", candidate_count);
    SetCell(VIEW_CALLS, row, CL_LINK, cell);
  } else {
    SetCell(VIEW_CALLS, row, CL_LINK, "===>");
  }
  SetCell(VIEW_CALLS, row, CL_TO_SID, Number(cell, toSid));
  SetCell(VIEW_CALLS, row, CL_TO_SOURCE, toSourceName);
  SetCell(VIEW_CALLS, row, CL_TO_FID, Number(cell, toFid));
  SetCell(VIEW_CALLS, row, CL_TO_FUNCTION, Joined(cell, toScope, toName));
  if (candidate_count > 1 && candidates) {
    std::string all;
    for (int i = 0; i < candidate_count; i++) {
      if (i) all += ' ';
      all += std::to_string(candidates[i]->sid) + ":" + std::to_string(candidates[i]->fid);
    }
    SetCell(VIEW_CALLS, row, CL_CANDIDATES, all.c_str());
  }
}

int ANA_MakeFunctionList(void) {
  LogPrint(0, LOG_RESULT, "\n");
  LogPrint(0, LOG_RESULT, kRule);
  LogPrint(0, LOG_RESULT, "// List of Function in source\r\n");
  LogPrint(0, LOG_RESULT, kRule);
  if (ANA.func_index) HASH2_Init(ANA.func_index);

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
      // "\t(FID:%d)%s%s (argc:%d)\r\n"
      ReportLine line;
      line.Add("\t(FID:").Add(f->fid).Add(")").Add(f->scope).Add(f->name).Add(" (argc:");
      line.Add(f->argc).Add(")\r\n").Print();
      f->scope_hash = (int)HashString(f->scope, 0);
      f->name_hash = (int)HashString(f->name, 0);
      AddFunctionRow(f->sid, s->name, f->fid, f->scope, f->name, f->line, f->argc, f->called);
      if (ANA.func_index) {
        MakeKey(key, sizeof key, f->scope, f->name);
        HASH2_Regist(ANA.func_index, key, 0, s->name_hash, f);
      }
    });
  });
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

int ANA_UpdateCalledColumn(void) {
  if (!ViewExists(VIEW_FUNCTIONS)) return 1;
  char cell[16];
  int row = 0;
  ForEachFunction([&](const ST_FUNC *f) {
    SetCellText(VIEW_FUNCTIONS, row++, FL_CALLED, Number(cell, f->called));
  });
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

ST_FUNC *ANA_FindFunctionByName(const char *name) {
  if (!name) return nullptr;
  bool scoped = strstr(name, "::") != nullptr;
  size_t len = strlen(name);
  ST_FUNC *found = nullptr;
  ForEachFunction([&](ST_FUNC *f) {
    if (!scoped && strcmp(name, f->name) == 0) found = f;
    // scope and name written together: "A::" and "f" match "A::f".
    size_t n = strlen(f->scope);
    if (n <= len && memcmp(name, f->scope, n) == 0 && strcmp(name + n, f->name) == 0) found = f;
    return found ? WalkResult::kStop : WalkResult::kGoOn;
  });
  return found;
}

void ANA_ClearExpanded(void) {
  ForEachFunction([](ST_FUNC *f) { f->expanded = 0; });
}
