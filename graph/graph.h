// The graph description (dot language, UTF-8) of a call tree, and the external
// programs around it: the renderer, the picture viewer and the text editor.
#pragma once

#include <string>
#include <cstddef>

struct ST_FUNC;
struct ST_CALL;
struct TreeWiring;

// 1 while graph output is on (DISPLAY_GRAPH and the tools are there).
extern int graph_enabled;
// Running number of anonymous node ids (UQn); ResetGraphOutput restarts it.
extern int anon_counter;

// A new tree request: anonymous node ids start again at UQ0. Never fails.
void ResetGraphOutput(void);

// Formats one piece (at most 2047 bytes, also in UTF-8) and appends it to the
// graph file. Pieces are collected in memory and reach the file by
// GraphFlush, which the end of every tree, GraphFileSize and RunRenderer do.
// Nothing when graph output is off; a longer piece is cut, and one whose
// UTF-8 form does not fit is dropped.
void PutGraphText(const char *format, ...) __attribute__((format(printf, 1, 2)));
// Writes the collected pieces to the graph file (lost silently when it cannot
// be opened); afterwards nothing is pending either way.
void GraphFlush(void);
// Starts the graph file of a new tree (the pieces not yet written are
// dropped): a new empty file is put at its path by a rename, never written
// through a link; a link, a non-regular file or a file with other links there
// turns the tree's graph file off (trace line). 0 when it cannot be made or
// is refused, else 1 (also when graph output is off).
int ResetGraphFile(void);
// Size of the graph file in bytes after a flush; 0 when off or unreadable.
int GraphFileSize(void);
// Writes sjis made safe inside a quoted dot string into out (cap bytes,
// always terminated; a character that does not fit is left out with all
// after it): '"' and '\' get a backslash (not a '\' that is the second byte
// of a Shift_JIS character), '&' becomes "&amp;" so that dot reads no
// character reference, and a lead byte without its second byte becomes '?'.
// Returns the bytes written. Five bytes per byte of sjis always suffice.
size_t EscapeDotLabel(const char *sjis, char *out, size_t cap);

// Node id of function (sid, fid), e.g. "FC1_2"; (0, 0) gives the next "UQn".
// The text is a static buffer, valid until the next call.
const char *MakeNodeId(int sid, int fid);
// The function a node id of MakeNodeId stands for ("FC<sid>_<fid>", both
// positive): 1 with *sid and *fid, 0 for any other text (anonymous nodes).
int NodeIdFunction(const char *id, int *sid, int *fid);
// Node statements in the graph of the tree written last (0 before any).
int GraphNodeCount(void);
// Attribute list of one edge ("[label=...]" or ""); the relationship
// attributes instead when CORRELATION is on. Null texts are left out. A
// static buffer, valid until the next call.
const char *MakeEdgeAttr(const char *label, const char *fontcolor, const char *color,
                         const char *fromId, const char *toId);

// The statements of one tree, in the forms of the settings' templates. A
// template whose placeholders differ from what is passed is replaced by its
// built-in text; names that would break a quoted dot label are escaped. Each
// appends to the pending pieces (PutGraphText) and never fails.
// "digraph fc1{" and the graph, node and edge attributes.
void GraphHeader(void);
// The node statement of f.
void GraphFunctionNode(const ST_FUNC *f);
// A plain edge from -> to.
void GraphEdge(const ST_FUNC *from, const ST_FUNC *to);
// The red edge of a recursion from -> to, labelled EXPAND_MESS_1.
void GraphRecursionEdge(const ST_FUNC *from, const ST_FUNC *to);
// An anonymous node for a call no source defines, and the edge to it.
void GraphMissingCall(const ST_FUNC *caller, const ST_CALL *call);
// Remark node below f; cut 1 is the MAX_CALL_TABLE form (no ";" before its edge).
void GraphRemark(const ST_FUNC *f, const char *text, int cut);
// Callers trees: the anonymous node of a name no source defines (its id
// copied to id, cap bytes; argc below 0 labels it "(argc:*)", the calls of
// every count), a plain edge from a function to a node id, and a remark node
// above f with its edge to f. Each statement ends its own line.
void GraphNameNode(const char *scope, const char *name, int argc, char *id, int cap);
void GraphEdgeTo(const ST_FUNC *from, const char *toId);
void GraphRemarkAbove(const ST_FUNC *f, const char *text);
// "}" and a flush, so the file is complete when the tree ends.
void GraphFooter(void);

// Start-up: buffers, file names, the viewer association and the tool checks;
// sets graph_enabled from DISPLAY_GRAPH and narrows it. Without buffers graph output stays off. May
// be called again (tests).
void InitGraphTools(void);
// Points the graph statements of a tree wiring (its graph and callers_graph
// tables) at the writers above. Never fails.
void GraphTreePorts(TreeWiring *w);
// The relationship attributes that edges take while correlation_on says 1
// (either may be null: plain edges). Start-up connects the extension.
void GraphUseRelations(int (*correlation_on)(void),
                       const char *(*relation_attr)(const char *fromId, const char *toId));
// Shutdown: writes what is pending, frees the buffers (nothing more is
// written until InitGraphTools), forgets a running renderer (its picture
// name is given back, its private files removed), ends a running SVG
// renderer and removes every SVG file made.
void FreeGraphTools(void);
// Names the graph file instead of "velmora.dot" beside the program ("" or
// nullptr: back to that). Takes effect at once and survives InitGraphTools.
void SetGraphFilePath(const char *path);
// The graph file in use ("" before InitGraphTools); owned by graph/.
const char *GraphFilePath(void);
// Whether the trees from now on get a picture file on the desktop (1, as
// built in) or not (0: NextGraphPicture claims no name; the desktop program's
// Graph tab is then the only picture). Never fails.
void SetGraphPictures(int on);
// Claims FuncGraph[n].<GRAPH_EXT> (n 1..256, the first free) on the desktop by
// creating it empty: 0 when all 256 are taken (no picture for this tree, a
// trace line, GraphNoFreePicture 1) or none can be created, else 1 (also when
// off). A name claimed earlier that no renderer took is given back first.
int NextGraphPicture(void);
// 1 when the last NextGraphPicture found all 256 picture names taken.
int GraphNoFreePicture(void);
// Starts the renderer, hidden and remembered, on a private copy of the tree's
// graph, writing its picture into the private folder: 0 when the renderer, the
// graph file or the claimed picture name is missing (the name is given back),
// else 1 (also when off).
int RunRenderer(void);
// 1 when no renderer runs any more (it ended and was reaped, or none was
// started), 0 while it runs. When it has ended, its picture is moved onto the
// claimed name (or the name is given back when it wrote none).
int PollRenderer(void);
// What CutGraphText found in a graph.
struct GraphShape {
  int nodes = 0;     // node statements in the whole graph
  int shown = 0;     // of them, those within the depth asked for
  int depth = 0;     // the greatest distance of a node from the root, in edges
  std::string root;  // the root's node id (the first node statement), "" when none
};
// The graph text of one tree (as the renderer reads it) made for the Graph
// tab: only the nodes within depth edges of the root (depth <= 0: all) and
// the edges between them, distances taken along the edges (against them for
// a callers tree, callers 1, whose edges run from caller to callee); the
// root put at the end of the layout where a call tree starts or where a
// callers tree ends. Lines that are not node or edge statements of the
// writer stay. *shape (may be null) describes the whole graph and the cut.
std::string CutGraphText(const std::string &text, int callers, int depth, GraphShape *shape);

// The desktop program's picture of the tree for its Graph tab: keeps a copy
// of the tree's whole graph in the private folder and starts the renderer,
// hidden and remembered beside the picture's renderer (both run at once), on
// that graph cut as CutGraphText cuts it (callers, depth) for an SVG. 0 when
// graph output is off or the renderer, the graph file or a new file is
// missing, else 1.
int RunSvgRenderer(int callers, int depth);
// The nodes of the current tree's graph that RunSvgRenderer(callers, depth)
// draws (GraphNodeCount when its file cannot be read).
int GraphCutNodeCount(int callers, int depth);
// 1 when no SVG renderer runs any more (it ended and was reaped, or none was
// started), 0 while it runs.
int PollSvgRenderer(void);
// The SVG of the last tree once its renderer ended with a non-empty file,
// else ""; owned by graph/, the file stays until FreeGraphTools.
const char *GraphSvgFile(void);
// The whole graph kept for the Graph tab from which the SVG svg was drawn
// (native path, "" when svg is not one of those SVGs).
std::string GraphSvgSource(const char *svg);
// The shape of the graph that the SVG svg (one of the Graph tab's) was cut
// from, cut to depth as for it: 1, or 0 when svg is none of those SVGs.
int GraphSvgShape(const char *svg, int callers, int depth, GraphShape *shape);
// Main thread, for the Graph tab: starts the renderer (hidden, not waited
// for) on the kept whole graph full cut to depth, for an SVG beside it (its
// path in *svg). Returns its process id to poll (PollProcess), 0 when that
// SVG exists already, -1 when nothing can be started (full is not a kept
// graph, no renderer, no file).
long StartGraphViewRender(const char *full, int callers, int depth, std::string *svg);
// Main thread: starts the renderer (hidden, not waited for) on what drew the
// SVG svg (one of the Graph tab's), for a picture of format ("png", "gif",
// lower-case letters and digits) in a new file of the private folder (*out).
// Its process id to poll, or -1 when it cannot be started.
long StartPictureExport(const char *svg, const char *format, std::string *out);
// 1 while a renderer of the current tree (picture or SVG) still runs.
int RendererRunning(void);
// The tree's graph will not be rendered (the user said no): the picture
// name claimed for it is given back. Never fails.
void ForgoGraphPicture(void);
// A stopped render: ends both renderers of the current tree when they still
// run (each with its process group, killed and reaped) and removes the SVG
// begun; nothing is written afterwards. Nothing when none runs.
void StopRenderer(void);
// Starts the viewer on the picture: 0 when the picture does not exist, else 1
// (also when off).
int ShowGraphPicture(void);
// Starts commandLine (show 0: hidden, standard streams on /dev/null); mode 2
// keeps it as the renderer, any other mode forgets it (it is reaped when it
// ends). 0 for an empty command line, else 1; a failed start is not reported.
int RunProgram(int mode, int show, const char *commandLine);
// Starts program (one argument, blanks and all) with the arguments of args
// (split by the command-line rules) and file (one argument), and watches it
// (PollLaunches).
void LaunchProgram(const char *program, const char *file, const char *args);
// Editor on a private copy of the function's text: 0 when the function is not
// found, its source cannot be read or the copy cannot be written, else 1.
int OpenFunctionText(int sid, int fid);
// Editor on the function's source at its name's line (EDITOR_CMD): 0 when
// not found, else 1.
int OpenSourceAtFunction(int sid, int fid);
// Editor on source sid at line (0-based; a call's line): 0 when there is no
// such source, else 1.
int OpenSourceAtLine(int sid, int line);

// The launches of the editor (and LaunchProgram) are watched until they end:
// -1 when one has ended with a failure (or could not be started) since the
// last call, with *failure (may be null) the program and the last line it
// wrote to its standard error (or what happened), native text; 1 while some
// still run; 0 when none is left. One failure per call. Main thread.
int PollLaunches(std::string *failure);
// Stops watching every launch (they are reaped in the background). Shutdown.
void ForgetLaunches(void);
// Path of the picture of the last tree ("" when none); owned by graph/.
const char *GraphPictureFile(void);
// The viewer command template found at start-up ("" when none); owned by
// graph/.
const char *GraphViewerTemplate(void);
