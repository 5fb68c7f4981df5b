// The graph description (dot language, UTF-8) of a call tree, and the external
// programs around it: the renderer, the picture viewer and the text editor.
#pragma once

// 1 while graph output is on (DISPLAY_GRAPH and the tools are there).
extern int graph_enabled;
// Running number of anonymous node ids (UQn), reset for each tree request.
extern int anon_counter;

void PutGraphText(const char *format, ...) __attribute__((format(printf, 1, 2)));
int ResetGraphFile(void);
int GraphFileSize(void);
// Node id of function (sid, fid), e.g. "FC1_2"; the text is valid until the next call.
const char *MakeNodeId(int sid, int fid);
const char *MakeEdgeAttr(const char *label, const char *fontcolor, const char *color,
                         const char *fromId, const char *toId);

void InitGraphTools(void);
void FreeGraphTools(void);
int NextGraphPicture(void);
int RunRenderer(void);
int PollRenderer(void);
int ShowGraphPicture(void);
int RunProgram(int mode, int show, const char *commandLine);
void LaunchProgram(const char *program, const char *file, const char *args);
int OpenFunctionText(int sid, int fid);
int OpenSourceAtFunction(int sid, int fid);
// Path of the picture of the last tree ("" when none).
const char *GraphPictureFile(void);
