// Built-in values of every setting. The Japanese status texts are Shift_JIS
// bytes written as octal escapes, so this file stays plain ASCII.
#include "foundation/settings.h"

#include "foundation/text.h"

ST_CONFIG g_config;

namespace {

// Octal escapes: they take at most three digits, so no following letter is
// swallowed into a byte.
const char kStatDrop[] = "\211\360\220\315\202\265\202\275\202\242\203\134\201[\203X\203t\203@\203C\203\213\210\352\216\256\201A\202\340\202\265\202\255\202\315\203t\203H\203\213\203_\202\360\203h\203\215\203b\203v\202\265\202\304\211\272\202\263\202\242\201B";
const char kStatBusy[] = "\211\360\220\315\222\206\202\305\202\267\201B";
const char kStatPick[] = "\211\360\220\315\226\330\202\314\203\213\201[\203g\202\311\202\265\202\275\202\242\212\326\220\224\202\360\221I\221\360\202\265\202\304\201A\203_\203u\203\213\203N\203\212\203b\203N\202\265\202\304\202\255\202\276\202\263\202\242\201B";
const char kStatIdle[] = "\212\326\220\224\210\352\227\227\202\251\214\304\217o\210\352\227\227\202\251\202\347\211\360\220\315\226\330\202\314\203\213\201[\203g\212\326\220\224\202\360\221I\221\360\202\267\202\351\202\251\201A\216\341\202\265\202\255\202\315\215\304\211\360\220\315\202\265\202\275\202\242\203\134\201[\203X\203t\203@\203C\203\213\202\360\203h\203\215\203b\203v\202\265\202\304\202\255\202\276\202\263\202\242\201B";

void Set(char *dst, unsigned cap, const char *text) { CopyText(dst, cap, text); }

}  // namespace

void ResetConfiguration(void) {
  ST_CONFIG &c = g_config;
  c = ST_CONFIG();
  c.DEBUG_LOG = 0;
  Set(c.EXT, sizeof c.EXT, "C;CPP;H;");
  Set(c.EDITOR, sizeof c.EDITOR, "notepad.exe");
  c.EDITOR_CMD[0] = 0;
  Set(c.GRAPH_EXT, sizeof c.GRAPH_EXT, "gif");
  c.GRAPH_VIEWER[0] = 0;
  Set(c.GRAPH_VIEWER_CMD, sizeof c.GRAPH_VIEWER_CMD, "\"%s\" \"%s\"");
  c.DOT_EXE[0] = 0;
  Set(c.DOT_CMD, sizeof c.DOT_CMD, "\"%s\"-T%s -o \"%s\" \"%s\"");
  c.DISPLAY_GRAPH = 0;
  c.WIDTH = 800;
  c.HEIGHT = 400;
  c.MAX_CALL_NEST = 16;
  c.MAX_CALL_TABLE = 256;
  c.FUNC_EXPAND_AGAIN = 0;
  c.FUNC_CALL_AGAIN = 0;
  c.FUNC_NOT_EXIST_DISP = 1;
  c.MAX_RESULT_BUFFER = 64;
  Set(c.FONT_NAME_TAB, sizeof c.FONT_NAME_TAB, "MS UI GOTHIC");
  Set(c.FONT_NAME_LV, sizeof c.FONT_NAME_LV, "MS GOTHIC");
  Set(c.FONT_NAME_EDIT, sizeof c.FONT_NAME_EDIT, "FixedSys");
  Set(c.FONT_NAME_TV, sizeof c.FONT_NAME_TV, "MS GOTHIC");
  c.FONT_SIZE_TAB = 12;
  c.FONT_SIZE_LV = 12;
  c.FONT_SIZE_EDIT = 14;
  c.FONT_SIZE_TV = 10;
  Set(c.FONT_NAME_GRAPH, sizeof c.FONT_NAME_GRAPH, "FixedSys");
  c.FONT_SIZE_GRAPH = 12;
  Set(c.TAB_NAME[0], sizeof c.TAB_NAME[0], "Function List");
  Set(c.TAB_NAME[1], sizeof c.TAB_NAME[1], "Call List");
  Set(c.TAB_NAME[2], sizeof c.TAB_NAME[2], "CallTree");
  Set(c.TAB_NAME[3], sizeof c.TAB_NAME[3], "Result");
  Set(c.INDENT[0], sizeof c.INDENT[0], "  ");
  Set(c.INDENT[1], sizeof c.INDENT[1], "    ");
  Set(c.INDENT[2], sizeof c.INDENT[2], "|   ");
  Set(c.INDENT[3], sizeof c.INDENT[3], "+- ");
  Set(c.INDENT[4], sizeof c.INDENT[4], "*- ");
  Set(c.EXPAND_MESS[0], sizeof c.EXPAND_MESS[0], "(......)");
  Set(c.EXPAND_MESS[1], sizeof c.EXPAND_MESS[1], " <=> (Recursive Call)");
  Set(c.EXPAND_MESS[2], sizeof c.EXPAND_MESS[2], " <-- (Already Expanded)");
  Set(c.EXPAND_MESS[3], sizeof c.EXPAND_MESS[3], "(Interrupt [MaxItems])");
  c.MAX_HASH_BUFFER = 8191;
  Set(c.FLAG_MESS[0], sizeof c.FLAG_MESS[0], "Display the Expanded Function");
  Set(c.FLAG_MESS[1], sizeof c.FLAG_MESS[1], "Display the Called Function");
  Set(c.FLAG_MESS[2], sizeof c.FLAG_MESS[2], "Display the Non-existence Function");
  Set(c.STAT_MESS[0], sizeof c.STAT_MESS[0], kStatDrop);
  Set(c.STAT_MESS[1], sizeof c.STAT_MESS[1], kStatBusy);
  Set(c.STAT_MESS[2], sizeof c.STAT_MESS[2], kStatPick);
  Set(c.STAT_MESS[3], sizeof c.STAT_MESS[3], kStatPick);
  Set(c.STAT_MESS[4], sizeof c.STAT_MESS[4], kStatIdle);
  Set(c.ATTR_GRAPH, sizeof c.ATTR_GRAPH,
      "graph[rankdir=LR,overlap=scale,fontname=\"%s\",fontsize=%d,splines=true];");
  Set(c.ATTR_NODE, sizeof c.ATTR_NODE,
      "node[shape=box,style=bold,style=filled,color=\"#000000\",fillcolor=\"#ffff80\","
      "fontname=\"%s\",fontsize=%d];");
  Set(c.ATTR_EDGE, sizeof c.ATTR_EDGE, "edge[fontname=\"%s\",fontsize=%d,arrowtail=odot];");
  Set(c.ATTR_FUNC, sizeof c.ATTR_FUNC, "%s[label=\" %s%s(argc:%d) \\n[%s]\\n\"];");
  Set(c.ATTR_NO_FUNC, sizeof c.ATTR_NO_FUNC,
      "%s[shape=box,fillcolor=\"#C0C0C0\" label=\" %s%s(argc:%d) \\n\"];");
  Set(c.ATTR_REMARK, sizeof c.ATTR_REMARK,
      "%s[shape=ellipse,fillcolor=\"#ffffff\",label=\" %s \\n\"];");
}

namespace {
// The built-in values are in force from the start, before any settings file.
struct InitConfig {
  InitConfig() { ResetConfiguration(); }
} init_config;
}  // namespace
