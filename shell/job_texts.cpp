// The messages of the worker's jobs and of the requests that start them
// (see job_texts.h), each under its meaning. Each is marked for the message
// catalogue; the worker's port calls look it up where it is shown, and a
// format is looked up before it is filled.
#include "shell/job_texts.h"

#include "foundation/messages.h"

namespace job_texts {

// The analysis job.
// "処理スレッドの作成に失敗しました。"
const char kNoThread[] = N_(
    "\217\210\227\235\203X\203\214\203b\203h\202\314\215\354\220\254\202\311\216\270\224s\202\265"
    "\202\334\202\265\202\275\201B");
// "解析対象ファイルが存在しません。\r\n処理を中断します。"
const char kNoFiles[] =
    N_("\211\360\220\315\221\316\217\333\203t\203@\203C\203\213\202\252\221\266\215\335\202\265\202"
       "\334\202\271\202\361\201B\r\n\217\210\227\235\202\360\222\206\222f\202\265\202\334\202\267"
       "\201B");
// "中断します。"
const char kStopping[] = N_("\222\206\222f\202\265\202\334\202\267\201B");
// "関数が検出できませんでした。"
const char kNoFunctions[] = N_(
    "\212\326\220\224\202\252\214\237\217o\202\305\202\253\202\334\202\271\202\361\202\305\202\265"
    "\202\275\201B");

// The status line after a stop.
// A stop while collecting or parsing leaves the lists empty (they are filled
// once every source is parsed; only the desktop program says these); one
// while linking leaves the Call List partial (velmora-cli warns with it too).
const char kStoppedParsing[] =
    N_("Stopped after %d of %d sources; nothing listed: F5 analyses again");
const char kStoppedCollecting[] =
    N_("Stopped after collecting %d files; nothing listed: F5 analyses again");
const char kStoppedLinking[] = N_("Stopped: %d of %d sources linked; lists are partial");
// Appended to the status text that ends an analysis in which sources were
// parsed to their end inside a function body.
const char kLostSources[] =
    N_("%s  [%d source(s) end inside a function: definitions may be missing]");
// Appended likewise when the precise parser handed sources over (they were
// too long, or parsing them would have taken too much memory or time), and
// when PARSER=1 asked for a precise parser this build does not have.
const char kFellBackSources[] =
    N_("%s  [%d source(s) read with the statement parser: over the precise parser's budget]");
const char kNoPreciseParser[] =
    N_("%s  [the precise parser is not built in: sources read with the statement parser]");
// The note on such a source, after its path.
const char kFellBack[] = N_("over the precise parser's %s budget: read with the statement parser");
const char kBudgetSize[] = N_("size");
const char kBudgetMemory[] = N_("memory");
const char kBudgetTime[] = N_("time");

// The call-tree job.
// "中断しました。"
const char kInterrupted[] = N_("\222\206\222f\202\265\202\334\202\265\202\275\201B");
// "かなり巨大なグラフを作成しています。\r\nコーヒーでも飲みながらお待ちください。"
const char kGraphHuge[] = N_(
    "\202\251\202\310\202\350\213\220\221\345\202\310\203O\203\211\203t\202\360\215\354\220\254\202"
    "\265\202\304\202\242\202\334\202\267\201B\r\n\203R\201[\203q\201[\202\305\202\340\210\371\202"
    "\335\202\310\202\252\202\347\202\250\221\322\202\277\202\255\202\276\202\263\202\242\201B");
// "大き目のグラフを作成しています。\r\nしばらくお待ちください。"
const char kGraphLarge[] = N_(
    "\221\345\202\253\226\332\202\314\203O\203\211\203t\202\360\215\354\220\254\202\265\202\304\202"
    "\242\202\334\202\267\201B\r\n\202\265\202\316\202\347\202\255\202\250\221\322\202\277\202\255"
    "\202\276\202\263\202\242\201B");
// "グラフを作成しています。\r\n少々お待ちください。"
const char kGraphSmall[] =
    N_("\203O\203\211\203t\202\360\215\354\220\254\202\265\202\304\202\242\202\334\202\267\201B\r\n"
       "\217\255\201X\202\250\221\322\202\277\202\255\202\276\202\263\202\242\201B");
// The status line after a stop, and the question before a large render.
const char kStoppedTree[] = N_("Stopped: the tree is partial");
const char kStoppedRender[] = N_("Stopped: the graph was not rendered");
const char kAskRender[] =
    N_("The graph has %d nodes. Enter: render it; Escape: leave it unrendered");
const char kNotRendered[] = N_("Not rendered: the graph has %d nodes");
const char kRenderingLarge[] = N_("Rendering the graph of %d nodes; Escape stops it");
// "デスクトップの FuncGraph[1]～[256] がすべて使われているため、図を作成しませんでした。"
const char kNoPictureName[] =
    N_("\203f\203X\203N\203g\203b\203v\202\314 FuncGraph[1]\201`[256] \202\252\202\267\202\327"
       "\202\304\216g\202\355\202\352\202\304\202\242\202\351\202\275\202\337\201A\220}\202\360"
       "\215\354\220\254\202\265\202\334\202\271\202\361\202\305\202\265\202\275\201B");

// The requests.
// "処理中は受け付けません。"
const char kBusy[] = N_(
    "\217\210\227\235\222\206\202\315\216\363\202\257\225t\202\257\202\334\202\271\202\361\201B");
// "関数呼出木を作成しています。"
const char kMakingTree[] = N_(
    "\212\326\220\224\214\304\217o\226\330\202\360\215\354\220\254\202\265\202\304\202\242\202\334"
    "\202\267\201B");
const char kNoDialog[] = N_("CreateDialogParam failed.\r\nstop processing.");

}  // namespace job_texts
