// Row texts (see row_text.h). A list row has up to eleven cells and a call
// list millions of rows, so texts are put together directly rather than
// through the general formatter; the bytes are those of "%d" and "%s%s".
#include "xref/row_text.h"

#include "xref/list_columns.h"
#include "xref/report_line.h"

namespace {

void AppendNumber(std::string &out, int v) {
  char number[12];
  out += DecimalText(number, v);
}

const char *SourceName(const ST_FUNC *f) {
  return f && f->source ? f->source->name : "";
}

// Cells run from one column to the next; a cell's text keeps the row whole.
void AppendCleanCell(std::string &out, size_t from) {
  for (size_t i = from; i < out.size(); i++) {
    char ch = out[i];
    if (ch == '\t' || ch == '\n' || ch == '\r') out[i] = ' ';
  }
}

}  // namespace

FunctionRow MakeFunctionRow(const ST_FUNC *f) {
  FunctionRow r;
  r.sid = f->sid;
  r.fid = f->fid;
  r.source = SourceName(f);
  r.scope = f->scope;
  r.name = f->name;
  r.line = f->line;
  r.argc = f->argc;
  r.called = f->called;
  r.name_line = f->name_line;
  r.name_column = f->name_column;
  r.end_line = f->end_line;
  return r;
}

CallRow MakeCallRow(const ST_CALL *c) {
  const ST_FUNC *caller = c->caller;
  const ST_FUNC *to = c->to_func;
  CallRow r;
  r.sid = caller ? caller->sid : 0;
  r.fid = caller ? caller->fid : 0;
  r.source = SourceName(caller);
  r.scope = caller ? caller->scope : "";
  r.name = caller ? caller->name : "";
  r.call_scope = c->scope;
  r.call_name = c->name;
  r.argc = c->argc;
  r.to_sid = to ? to->sid : 0;
  r.to_fid = to ? to->fid : 0;
  r.to_source = to ? SourceName(to) : "";
  r.to_scope = to ? to->scope : "";
  r.to_name = to ? to->name : "";
  r.line = c->name_line;
  r.column = c->name_column;
  bool ambiguous = to && c->how && c->how->candidate_count > 1;
  r.candidate_count = ambiguous ? c->how->candidate_count : 0;
  r.candidates = ambiguous ? c->how->candidates : nullptr;
  return r;
}

void AppendFunctionCell(std::string &out, const FunctionRow &r, int col) {
  switch (col) {
    case FL_SID:
      return AppendNumber(out, r.sid);
    case FL_SOURCE:
      out += r.source;
      return;
    case FL_FID:
      return AppendNumber(out, r.fid);
    case FL_FUNCTION:
      out += r.scope;
      out += r.name;
      return;
    case FL_LINE:
      return AppendNumber(out, r.line);
    case FL_ARGC:
      return AppendNumber(out, r.argc);
    case FL_CALLED:
      return AppendNumber(out, r.called);
    default:
      return;
  }
}

void AppendCallCell(std::string &out, const CallRow &r, int col) {
  bool linked = r.to_sid > 0;
  switch (col) {
    case CL_SID:
      return AppendNumber(out, r.sid);
    case CL_SOURCE:
      out += r.source;
      return;
    case CL_FID:
      return AppendNumber(out, r.fid);
    case CL_FUNCTION:
      out += r.scope;
      out += r.name;
      return;
    case CL_CALL:
      out += r.call_scope;
      out += r.call_name;
      return;
    case CL_ARGC:
      return AppendNumber(out, r.argc);
    case CL_LINK:
      out += linked ? "===>" : "X";
      if (linked && r.candidate_count > 1) {  // the first of several alike
        out += " (1 of ";
        AppendNumber(out, r.candidate_count);
        out += ')';
      }
      return;
    case CL_TO_SID:
      if (linked) AppendNumber(out, r.to_sid);
      return;
    case CL_TO_SOURCE:
      if (linked) out += r.to_source;
      return;
    case CL_TO_FID:
      if (linked) AppendNumber(out, r.to_fid);
      return;
    case CL_TO_FUNCTION:
      if (linked) {
        out += r.to_scope;
        out += r.to_name;
      }
      return;
    case CL_LINE:
      return AppendNumber(out, r.line + 1);
    default:
      return;
  }
}

void AppendFunctionCells(std::string &out, const FunctionRow &r) {
  for (int c = 0; c < FL_COLUMNS; c++) {
    if (c) out += '\t';
    size_t from = out.size();
    AppendFunctionCell(out, r, c);
    if (c == FL_SOURCE || c == FL_FUNCTION) AppendCleanCell(out, from);
  }
}

void AppendCallCells(std::string &out, const CallRow &r) {
  for (int c = 0; c < CL_COLUMNS; c++) {
    if (c) out += '\t';
    size_t from = out.size();
    AppendCallCell(out, r, c);
    if (c == CL_SOURCE || c == CL_FUNCTION || c == CL_CALL || c == CL_TO_SOURCE ||
        c == CL_TO_FUNCTION)
      AppendCleanCell(out, from);
  }
}

void PrintFunctionReport(const FunctionRow &r) {
  ReportLine line;
  line.Add("\t(FID:").Add(r.fid).Add(")").Add(r.scope).Add(r.name).Add(" (argc:");
  line.Add(r.argc).Add(")\r\n").Print();
}

void PrintCallReport(const CallRow &r) {
  ReportLine line;
  line.Add("[").Add(r.source).Add("] ").Add(r.call_scope).Add(r.call_name);
  line.Add("(argc:").Add(r.argc);
  if (r.to_sid > 0) {
    line.Add(")---[LINK]--->(SID:").Add(r.to_sid).Add(",FID:").Add(r.to_fid);
    line.Add(")[").Add(r.to_source).Add("] ").Add(r.to_scope).Add(r.to_name).Add("\r\n");
  } else {
    line.Add(")------------>not found.\r\n");
  }
  line.Print();
}
