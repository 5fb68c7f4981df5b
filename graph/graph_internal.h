// State shared by the graph writer, the renderer and the launches (private
// to graph/).
#pragma once

#include <string>
#include <vector>

// Everything graph output keeps between calls.
struct GraphState {
  char *piece;                         // 2048-byte piece buffer (MemAlloc), or null
  char *utf8;                          // 2048-byte conversion buffer (MemAlloc), or null
  std::string pending;                 // UTF-8 pieces not yet appended to graph_file
  std::string graph_file;              // native path of the graph file
  std::string graph_override;          // path set by SetGraphFilePath, or empty
  std::string desktop_dir;             // native desktop folder
  std::string picture_file;            // picture of the current tree, or empty
  std::string viewer_template;         // native viewer command with one %s, or empty
  long dot_pid;                        // running renderer, or 0
  long svg_pid;                        // running renderer of the window's SVG, or 0
  std::string svg_pending;             // the SVG that renderer writes
  std::string svg_file;                // the SVG of the last tree once written, or empty
  std::vector<std::string> svg_files;  // every SVG file made, removed at shutdown
  int nodes;                           // node statements of the current tree
};
extern GraphState g_graph;

// tmpl when its conversions are those of expected ("ssss", "sd", ...) or a
// leading part of them, else builtin: a settings template never reads an
// argument that is not passed.
const char *CheckedTemplate(const char *tmpl, const char *builtin, const char *expected);
// printf into a new string ("" when nothing or an error comes out); tmpl must
// have passed CheckedTemplate.
std::string FormatString(const char *tmpl, ...);
// Points g_tree_graph and g_callers_graph (xref/) at the statement writers.
// Never fails.
void InstallTreeGraph(void);
