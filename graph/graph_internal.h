// State shared by the graph writer, the renderer and the launches (private
// to graph/).
#pragma once

#include <string>
#include <vector>

#include "foundation/text.h"  // FormatString: a template that passed CheckedTemplate
#include "platform/output_files.h"

// The files of one render: what the renderer reads and writes in the private
// folder, and the desktop name its picture goes to once it has ended.
struct RenderFiles {
  long pid = 0;        // the renderer writing them, 0 for none
  std::string input;   // private copy of the graph it reads
  std::string output;  // picture it writes, in the private folder
  ClaimedFile claim;   // the claimed desktop name, still open
  std::string name;    // that name, "FuncGraph[n].<ext>", in output_dir
};

// Everything graph output keeps between calls.
struct GraphState {
  char *piece = nullptr;        // 2048-byte piece buffer (MemAlloc), or null
  char *utf8 = nullptr;         // 2048-byte conversion buffer (MemAlloc), or null
  std::string pending;          // UTF-8 pieces not yet appended to graph_file
  std::string graph_file;       // native path of the graph file
  std::string graph_override;   // path set by SetGraphFilePath, or empty
  int graph_fd = -1;            // this tree's graph file, put at graph_file, or -1
  std::string output_dir;       // native folder of the pictures (the desktop, or OUTPUT_DIR)
  std::string picture_file;     // picture of the current tree, or empty
  ClaimedFile claim;            // its name, claimed and not yet given to a renderer
  std::string claim_name;       // that name within output_dir
  int no_free_name = 0;         // the current tree found every picture name taken
  int pictures_on = 1;          // trees get a picture file on the desktop (SetGraphPictures)
  std::string viewer_template;  // native viewer command with one %s, or empty
  long dot_pid = 0;             // running renderer, or 0
  RenderFiles render;           // files of dot_pid (pid 0 when it has none)
  RenderFiles svg;              // the SVG renderer of the Graph tab and its files (pid 0: none)
  std::string svg_file;         // the SVG of the last tree once written, or empty
  // Every file made for the Graph tab (a tree's whole graph, its cuts and
  // their SVGs), kept for Back and Forward and removed at shutdown.
  std::vector<std::string> view_files;
  int nodes = 0;  // node statements of the current tree
  // The relationship attributes of edges (the CORRELATION extension), as
  // start-up connects them (GraphUseRelations); null: plain edges.
  int (*correlation_on)(void) = nullptr;
  const char *(*relation_attr)(const char *fromId, const char *toId) = nullptr;
};
extern GraphState g_graph;

// tmpl when its conversions are those of expected ("ssss", "sd", ...) or a
// leading part of them, else builtin: a settings template never reads an
// argument that is not passed.
const char *CheckedTemplate(const char *tmpl, const char *builtin, const char *expected);
// Closes the current tree's graph file (it stays at graph_file). Never fails.
void CloseGraphFile(void);

// One value for a template's conversion: text for %s, number for the others.
struct TemplateValue {
  const char *text;  // for %s (nullptr reads as "")
  int number;        // for %d and the other int conversions
};
// The arguments of a command template: tmpl (builtin when tmpl fails
// CheckedTemplate against expected, or cannot be split apart) split by the
// command-line rules, then each conversion filled with the next of values
// inside its own argument. program_first: the first word names the program
// (its own splitting rule). Empty when even builtin cannot be used.
std::vector<std::string> TemplateArguments(const char *tmpl, const char *builtin,
                                           const char *expected, bool program_first,
                                           const std::vector<TemplateValue> &values);
// The graph text of the current tree, from its own file (another instance
// may have put its own file at graph_file meanwhile). False when there is no
// such file or it cannot be read.
bool ReadGraphText(std::string *text);
// The renderer's input: this render's own copy of the graph of the current
// tree in the private folder, without the empty statements the renderer
// rejects; r->output names a picture of format ext beside it under the same
// unique name. False when the copy cannot be made (r unchanged but input).
bool MakeRenderFiles(const std::string &ext, RenderFiles *r);
// Ends the Graph tab's renderer of the current tree when it still runs, and
// removes what it was writing.
void StopSvgRenderer();

// Starts a program (args[0]) like RunProgram starts a command line. 0 for no
// program, else 1.
int RunProgramArgs(int mode, int show, const std::vector<std::string> &args);
