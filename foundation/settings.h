// Every user setting of the CONFIG section, in one record with its built-in
// values. LoadConfiguration (shell/) overwrites it once at start-up; everything
// else only reads it. Texts are Shift_JIS; a buffer holds its length plus NUL.
#pragma once

struct ST_CONFIG {
  int DEBUG_LOG;               // highest log level written (0 result lines only)
  char EXT[260];               // extensions collected from folders, "C;CPP;H;"
  char EDITOR[260];            // editor started on a function
  char EDITOR_CMD[30];         // editor argument template, formatted with the line
  char GRAPH_EXT[8];           // picture format and extension, lower case
  char GRAPH_VIEWER[260];      // picture viewer program
  char GRAPH_VIEWER_CMD[260];  // viewer command template (viewer, picture)
  char DOT_EXE[260];           // graph layout program
  char DOT_CMD[260];           // layout template (dot, format, picture, graph file)
  int DISPLAY_GRAPH;           // 1: produce and show the graph picture
  int WIDTH;                   // main window width, >= 128
  int HEIGHT;                  // main window height, >= 80
  int MAX_CALL_NEST;           // call-tree depth limit, 4..255
  int MAX_CALL_TABLE;          // calls shown below one node, 4..1023
  int FUNC_EXPAND_AGAIN;       // 0/1: expand a function again in one tree
  int FUNC_CALL_AGAIN;         // 0/1: show repeated calls of one body
  int FUNC_NOT_EXIST_DISP;     // 0/1: show calls to undefined functions
  int MAX_RESULT_BUFFER;       // Result view limit in units of 1024 chars, 4..2048
  char FONT_NAME_TAB[63];      // tab control font
  char FONT_NAME_LV[63];       // list views font
  char FONT_NAME_EDIT[63];     // CallTree view font
  char FONT_NAME_TV[63];       // Result view font
  int FONT_SIZE_TAB;           // 8..48
  int FONT_SIZE_LV;            // 8..48
  int FONT_SIZE_EDIT;          // 8..48
  int FONT_SIZE_TV;            // 8..48
  char FONT_NAME_GRAPH[62];    // graph font
  int FONT_SIZE_GRAPH;         // 8..16
  char TAB_NAME[4][63];        // captions of the four result tabs
  char INDENT[5][15];          // pieces of the call-tree text indentation
  char EXPAND_MESS[4][63];     // marks of call-tree nodes
  int MAX_HASH_BUFFER;         // buckets of the function index, 8191..524287
  char FLAG_MESS[3][63];       // labels of the display switches
  char STAT_MESS[5][255];      // status-bar texts
  char ATTR_GRAPH[511];        // graph templates of the dot output
  char ATTR_NODE[511];
  char ATTR_EDGE[511];
  char ATTR_FUNC[511];
  char ATTR_NO_FUNC[511];
  char ATTR_REMARK[511];
  int EXACT_NAMES;  // 0/1: keywords and call links compare texts, not only hashes
  int JOBS;         // analysis threads, 0..64; 0 one per processor
  int PARSER;       // 0 the statement parser; 1 the precise C and C++ front end
  // 0/1: the desktop program's Graph tab is the picture viewer: graph output
  // is on whenever the renderer exists, and no external viewer is started.
  int GRAPH_IN_WINDOW;
  // Where the logs and pictures go ("~" and "$NAME" as a shell writes them;
  // a relative path is taken from the settings file's folder); empty: the
  // desktop folder.
  char OUTPUT_DIR[1024];
  int INDEX;  // 0/1: keep the project's index, and take unchanged sources from it
  // Language of the interface's messages: "ja" (built in), "en", "auto" (the
  // locale's) or another code with a catalogue (shell/ui_language.h).
  char UI_LANG[16];
};

// The settings in force.
extern ST_CONFIG g_config;

// Puts every setting back to its built-in value.
void ResetConfiguration(void);
