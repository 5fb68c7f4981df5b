// The notes of an analysis on sources it could not read as asked (see
// source_notes.h). The texts are those of job_texts.
#include "shell/source_notes.h"

#include <string>

#include "engine/ana.h"
#include "engine/record_walk.h"
#include "foundation/messages.h"
#include "foundation/settings.h"
#include "foundation/text.h"
#include "shell/job_texts.h"

using namespace job_texts;

namespace {

const char *BudgetWord(PreciseBudget b) {
  switch (b) {
    case PreciseBudget::kSize:
      return Msg(kBudgetSize);
    case PreciseBudget::kMemory:
      return Msg(kBudgetMemory);
    case PreciseBudget::kTime:
      return Msg(kBudgetTime);
    case PreciseBudget::kNone:
      break;
  }
  return "";
}

// out := format with in and n (the texts are one "%s" and one "%d").
void Append(const char *format, int n, std::string *text) {
  char out[1024];
  FormatText(out, sizeof out, format, text->c_str(), n);
  *text = out;
}

}  // namespace

void ReportSourceNotes(MainWindowPort *main) {
  if (!main) return;
  ForEachSource([main](const ST_SOURCE *s) {
    if (s->status != SOURCE_COMPLETED) return;
    if (s->lost_in) main->SourceLost(s->path, s->lost_in, s->lost_line + 1);
    if (s->fell_back != PreciseBudget::kNone) {
      char text[160];
      FormatText(text, sizeof text, Msg(kFellBack), BudgetWord(s->fell_back));
      main->SourceFellBack(s->path, text);
    }
  });
}

void StatusWithNotes(const char *base, char *out, size_t cap) {
  std::string text = base ? base : "";
  int lost = ANA_LostSourceCount();
  if (lost > 0) Append(Msg(kLostSources), lost, &text);
  int fell = ANA_FellBackSourceCount();
  if (fell > 0) Append(Msg(kFellBackSources), fell, &text);
  if (g_config.PARSER && !ANA_PreciseBuiltIn()) {
    char more[1024];
    FormatText(more, sizeof more, Msg(kNoPreciseParser), text.c_str());
    text = more;
  }
  CopyText(out, cap, text.c_str());
}
