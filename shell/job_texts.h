// The messages of the worker's jobs and of the requests that start them, in
// one place: Shift_JIS as the desktop shows them, the formats for
// FormatText. Private to shell/.
#pragma once

namespace job_texts {

// Warnings of the analysis job: no thread, no file to analyse, stopping, no
// function found.
extern const char kNoThread[], kNoFiles[], kStopping[], kNoFunctions[];
// Status lines after a stop ("%d of %d" sources; "%d" files).
extern const char kStoppedParsing[], kStoppedCollecting[], kStoppedLinking[];
// The status text ("%s") with the number of sources that end inside a
// function ("%d"); with the number the precise parser handed to the
// statement parser; with the word that the precise parser was asked for in
// a build without it.
extern const char kLostSources[], kFellBackSources[], kNoPreciseParser[];
// The note on one source the precise parser handed to the statement parser
// ("%s": one of the budget words: size, memory, time).
extern const char kFellBack[], kBudgetSize[], kBudgetMemory[], kBudgetTime[];

// The call-tree job: the warning after a stop, the waiting messages for a
// small, large and huge graph, the status lines after a stop, the question
// before a large render and its refusal ("%d" nodes), and the status line
// when every picture name is taken.
extern const char kInterrupted[], kGraphSmall[], kGraphLarge[], kGraphHuge[];
extern const char kStoppedTree[], kStoppedRender[], kAskRender[], kNotRendered[];
// The status line while a large graph renders after the user said yes ("%d"
// nodes).
extern const char kRenderingLarge[];
extern const char kNoPictureName[];

// The requests: busy, the wait box text of a tree, no feedback window.
extern const char kBusy[], kMakingTree[], kNoDialog[];

}  // namespace job_texts
