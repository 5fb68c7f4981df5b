// Built-in values of every setting. The Japanese status texts are Shift_JIS
// bytes written as octal escapes, so this file stays plain ASCII.
#include "foundation/settings.h"

#include "foundation/messages.h"
#include "foundation/text.h"

ST_CONFIG g_config;

namespace {

// Octal escapes: they take at most three digits, so no following letter is
// swallowed into a byte. The status texts and tab names are looked up in the
// message catalogue where they are shown, so a language shows its own
// unless the settings file gives a text.
const char kStatDrop[] =
    N_("\211\360\220\315\202\265\202\275\202\242\203\134\201[\203X\203t\203@"
       "\203C\203\213\210\352\216\256\201A\202\340\202\265\202\255\202\315\203t\203H\203\213\203_"
       "\202\360\203h\203\215\203b\203v\202\265\202\304\211\272\202\263\202\242\201B");
const char kStatBusy[] = N_("\211\360\220\315\222\206\202\305\202\267\201B");
const char kStatPick[] = N_(
    "\211\360\220\315\226\330\202\314\203\213\201["
    "\203g\202\311\202\265\202\275\202\242\212\326\220\224\202\360\221I\221\360\202\265\202\304\201"
    "A\203_"
    "\203u\203\213\203N\203\212\203b\203N\202\265\202\304\202\255\202\276\202\263\202\242\201B");
const char kStatIdle[] = N_(
    "\212\326\220\224\210\352\227\227\202\251\214\304\217o\210\352\227\227\202\251\202\347\211\360"
    "\220\315\226\330\202\314\203\213\201["
    "\203g\212\326\220\224\202\360\221I\221\360\202\267\202\351\202\251\201A\216\341\202\265\202"
    "\255\202\315\215\304\211\360\220\315\202\265\202\275\202\242\203\134\201[\203X\203t\203@"
    "\203C\203\213\202\360\203h\203\215\203b\203v\202\265\202\304\202\255\202\276\202\263\202\242"
    "\201B");

template <size_t N>
void Set(char (&field)[N], const char *text) {
  CopyText(field, N, text);
}

// One text per entry of a field array; the counts must agree.
template <size_t N, size_t M>
void SetAll(char (&fields)[N][M], const char *const (&texts)[N]) {
  for (size_t i = 0; i < N; i++) CopyText(fields[i], M, texts[i]);
}

}  // namespace

void ResetConfiguration(void) {
  ST_CONFIG &c = g_config;
  c = ST_CONFIG();
  c.DEBUG_LOG = 0;
  Set(c.EXT, "C;CPP;H;");
  Set(c.EDITOR, "notepad.exe");
  c.EDITOR_CMD[0] = 0;
  Set(c.GRAPH_EXT, "gif");
  c.GRAPH_VIEWER[0] = 0;
  Set(c.GRAPH_VIEWER_CMD, "\"%s\" \"%s\"");
  c.DOT_EXE[0] = 0;
  Set(c.DOT_CMD, "\"%s\"-T%s -o \"%s\" \"%s\"");
  c.DISPLAY_GRAPH = 0;
  c.WIDTH = 800;
  c.HEIGHT = 400;
  c.MAX_CALL_NEST = 16;
  c.MAX_CALL_TABLE = 256;
  c.FUNC_EXPAND_AGAIN = 0;
  c.FUNC_CALL_AGAIN = 0;
  c.FUNC_NOT_EXIST_DISP = 1;
  c.MAX_RESULT_BUFFER = 64;
  Set(c.FONT_NAME_TAB, "MS UI GOTHIC");
  Set(c.FONT_NAME_LV, "MS GOTHIC");
  Set(c.FONT_NAME_EDIT, "FixedSys");
  Set(c.FONT_NAME_TV, "MS GOTHIC");
  c.FONT_SIZE_TAB = 12;
  c.FONT_SIZE_LV = 12;
  c.FONT_SIZE_EDIT = 14;
  c.FONT_SIZE_TV = 10;
  Set(c.FONT_NAME_GRAPH, "FixedSys");
  c.FONT_SIZE_GRAPH = 12;
  SetAll(c.TAB_NAME, {N_("Function List"), N_("Call List"), N_("CallTree"), N_("Result")});
  SetAll(c.INDENT, {"  ", "    ", "|   ", "+- ", "*- "});
  SetAll(c.EXPAND_MESS, {"(......)", " <=> (Recursive Call)", " <-- (Already Expanded)",
                         "(Interrupt [MaxItems])"});
  c.MAX_HASH_BUFFER = 8191;
  c.JOBS = 0;
  SetAll(c.FLAG_MESS, {"Display the Expanded Function", "Display the Called Function",
                       "Display the Non-existence Function"});
  SetAll(c.STAT_MESS, {kStatDrop, kStatBusy, kStatPick, kStatPick, kStatIdle});
  Set(c.ATTR_GRAPH, "graph[rankdir=LR,overlap=scale,fontname=\"%s\",fontsize=%d,splines=true];");
  Set(c.ATTR_NODE,
      "node[shape=box,style=bold,style=filled,color=\"#000000\",fillcolor=\"#ffff80\","
      "fontname=\"%s\",fontsize=%d];");
  Set(c.ATTR_EDGE, "edge[fontname=\"%s\",fontsize=%d,arrowtail=odot];");
  Set(c.ATTR_FUNC, "%s[label=\" %s%s(argc:%d) \\n[%s]\\n\"];");
  Set(c.ATTR_NO_FUNC, "%s[shape=box,fillcolor=\"#C0C0C0\" label=\" %s%s(argc:%d) \\n\"];");
  Set(c.ATTR_REMARK, "%s[shape=ellipse,fillcolor=\"#ffffff\",label=\" %s \\n\"];");
  c.EXACT_NAMES = 0;
  c.PARSER = 0;
  c.INDEX = 0;
  c.GRAPH_IN_WINDOW = 0;
  Set(c.UI_LANG, "ja");
}

namespace {
// The built-in values are in force from the start, before any settings file.
struct InitConfig {
  InitConfig() { ResetConfiguration(); }
} init_config;
}  // namespace
