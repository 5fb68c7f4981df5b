// The CONFIG section: every key read once, in a fixed order, with its default,
// its limits and its field length. Text families and graph templates only
// replace their built-in texts with a non-empty value, and a template is taken
// only when its placeholders are the ones its users pass.
#include "shell/config.h"

#include <string>

#include "foundation/format_check.h"
#include "foundation/log.h"
#include "foundation/settings.h"
#include "foundation/text.h"
#include "foundation/trace.h"
#include "platform/codepage.h"
#include "platform/files.h"
#include "platform/ini.h"
#include "platform/user_dirs.h"
#include "xref/calltree.h"

namespace {

const char kSection[] = "CONFIG";

// What LoadConfiguration needs while it reads one file.
struct Reader {
  const char *file;  // settings file (native path), never nullptr
};

int Clamp(int v, int lo, int hi) {
  return v < lo ? lo : (v > hi ? hi : v);
}
int AtLeast(int v, int lo) {
  return v < lo ? lo : v;
}
int Flag(int v) {
  return v != 0 ? 1 : 0;
}

int Int(const Reader &r, const char *key, int def) {
  return IniGetInt(r.file, kSection, key, def);
}

// A plain string: absent gives def, present and empty gives "".
void String(const Reader &r, const char *key, const char *def, char *field, size_t cap) {
  IniGetString(r.file, kSection, key, def, field, cap);
}

// A family member or template: only a non-empty value replaces the field.
void Text(const Reader &r, const char *key, char *field, size_t cap) {
  char scratch[512];
  if (cap > sizeof scratch) cap = sizeof scratch;
  if (IniGetString(r.file, kSection, key, "", scratch, cap) > 0) CopyText(field, cap, scratch);
}

// Checks a template just read against the placeholders its caller passes
// (given as conversion letters); on a mismatch the built-in text is restored.
void CheckTemplate(const char *key, char *field, size_t cap, const char *builtin,
                   const char *conversions, int empty_ok) {
  if (empty_ok && !field[0]) return;
  if (FormatMatches(field, conversions)) return;
  DebugPrint("LoadConfiguration :%s ignored (expected placeholders %s).\r\n", key, conversions);
  CopyText(field, cap, builtin);
}

void Family(const Reader &r, const char *stem, char *first, size_t cap, int count) {
  char key[32];
  for (int n = 0; n < count; n++) {
    FormatText(key, sizeof key, "%s%d", stem, n);
    Text(r, key, first + n * cap, cap);
  }
}

void LowerAscii(char *s, size_t cap) {
  for (size_t i = 0; i < cap && s[i]; i++) {
    if (s[i] >= 'A' && s[i] <= 'Z') s[i] = static_cast<char>(s[i] - 'A' + 'a');
  }
}

// The folder of OUTPUT_DIR for the logs and pictures (the desktop when it is
// empty or cannot be made out, with a trace line for the latter).
void UseOutputDir(const Reader &r) {
  std::string given = SjisToUtf8(g_config.OUTPUT_DIR);
  if (given.empty()) {
    SetOutputFolder(nullptr);
    return;
  }
  char path[VELMORA_PATH_MAX];
  if (!ExpandUserPath(given.c_str(), path, sizeof path)) {
    DebugPrint("LoadConfiguration :OUTPUT_DIR ignored (cannot be made out).\r\n");
    SetOutputFolder(nullptr);
    return;
  }
  std::string dir = path;
  if (dir[0] != '/') {
    // Beside the settings that name it, as a portable copy expects.
    std::string file = r.file;
    size_t slash = file.rfind('/');
    if (slash == std::string::npos) {
      SetOutputFolder(nullptr);
      return;
    }
    dir = file.substr(0, slash + 1) + dir;
  }
  SetOutputFolder(dir.c_str());
}

}  // namespace

void LoadConfiguration(const char *ini_path) {
  ResetConfiguration();
  ST_CONFIG &c = g_config;
  const ST_CONFIG builtin = g_config;  // the texts a bad template falls back to
  Reader r{ini_path ? ini_path : ""};

  c.DEBUG_LOG = Int(r, "DEBUG_LOG", 0);
  String(r, "EXT", "C;CPP;H;", c.EXT, sizeof c.EXT);
  String(r, "EDITOR", "notepad.exe", c.EDITOR, sizeof c.EDITOR);
  String(r, "EDITOR_CMD", "", c.EDITOR_CMD, sizeof c.EDITOR_CMD);
  // The editor template receives the line number; a template without any
  // placeholder is just as safe.
  if (!FormatMatches(c.EDITOR_CMD, "")) {
    CheckTemplate("EDITOR_CMD", c.EDITOR_CMD, sizeof c.EDITOR_CMD, builtin.EDITOR_CMD, "d", 1);
  }
  String(r, "GRAPH_EXT", "gif", c.GRAPH_EXT, sizeof c.GRAPH_EXT);
  LowerAscii(c.GRAPH_EXT, sizeof c.GRAPH_EXT);
  String(r, "GRAPH_VIEWER", "", c.GRAPH_VIEWER, sizeof c.GRAPH_VIEWER);
  String(r, "GRAPH_VIEWER_CMD", builtin.GRAPH_VIEWER_CMD, c.GRAPH_VIEWER_CMD,
         sizeof c.GRAPH_VIEWER_CMD);
  CheckTemplate("GRAPH_VIEWER_CMD", c.GRAPH_VIEWER_CMD, sizeof c.GRAPH_VIEWER_CMD,
                builtin.GRAPH_VIEWER_CMD, "ss", 1);
  String(r, "DOT_EXE", "", c.DOT_EXE, sizeof c.DOT_EXE);
  String(r, "DOT_CMD", builtin.DOT_CMD, c.DOT_CMD, sizeof c.DOT_CMD);
  CheckTemplate("DOT_CMD", c.DOT_CMD, sizeof c.DOT_CMD, builtin.DOT_CMD, "ssss", 1);
  c.DISPLAY_GRAPH = Flag(Int(r, "DISPLAY_GRAPH", 0));
  c.WIDTH = AtLeast(Int(r, "WIDTH", 800), 128);
  c.HEIGHT = AtLeast(Int(r, "HEIGHT", 400), 80);
  c.MAX_CALL_NEST = Clamp(Int(r, "MAX_CALL_NEST", 16), CALL_NEST_MIN, CALL_NEST_MAX);
  c.MAX_CALL_TABLE = Clamp(Int(r, "MAX_CALL_TABLE", 256), 4, 1023);
  c.FUNC_EXPAND_AGAIN = Flag(Int(r, "FUNC_EXPAND_AGAIN", 0));
  c.FUNC_CALL_AGAIN = Flag(Int(r, "FUNC_CALL_AGAIN", 0));
  c.FUNC_NOT_EXIST_DISP = Flag(Int(r, "FUNC_NOT_EXIST_DISP", 1));
  c.MAX_RESULT_BUFFER = Clamp(Int(r, "MAX_RESULT_BUFFER", 64), 4, 2048);
  String(r, "FONT_NAME_TAB", "MS UI GOTHIC", c.FONT_NAME_TAB, sizeof c.FONT_NAME_TAB);
  String(r, "FONT_NAME_LV", "MS GOTHIC", c.FONT_NAME_LV, sizeof c.FONT_NAME_LV);
  String(r, "FONT_NAME_EDIT", "FixedSys", c.FONT_NAME_EDIT, sizeof c.FONT_NAME_EDIT);
  String(r, "FONT_NAME_TV", "MS GOTHIC", c.FONT_NAME_TV, sizeof c.FONT_NAME_TV);
  c.FONT_SIZE_TAB = Clamp(Int(r, "FONT_SIZE_TAB", 12), 8, 48);
  c.FONT_SIZE_LV = Clamp(Int(r, "FONT_SIZE_LV", 12), 8, 48);
  c.FONT_SIZE_EDIT = Clamp(Int(r, "FONT_SIZE_EDIT", 14), 8, 48);
  c.FONT_SIZE_TV = Clamp(Int(r, "FONT_SIZE_TV", 10), 8, 48);
  String(r, "FONT_NAME_GRAPH", "FixedSys", c.FONT_NAME_GRAPH, sizeof c.FONT_NAME_GRAPH);
  c.FONT_SIZE_GRAPH = Clamp(Int(r, "FONT_SIZE_GRAPH", 12), 8, 16);
  Family(r, "TAB_NAME_", c.TAB_NAME[0], sizeof c.TAB_NAME[0], 4);
  Family(r, "INDENT_", c.INDENT[0], sizeof c.INDENT[0], 5);
  Family(r, "EXPAND_MESS_", c.EXPAND_MESS[0], sizeof c.EXPAND_MESS[0], 4);
  c.MAX_HASH_BUFFER = Clamp(Int(r, "MAX_HASH_BUFFER", 8191), 8191, 524287);
  c.JOBS = Clamp(Int(r, "JOBS", 0), 0, 64);
  Family(r, "FLAG_MESS_", c.FLAG_MESS[0], sizeof c.FLAG_MESS[0], 3);
  Family(r, "STAT_MESS_", c.STAT_MESS[0], sizeof c.STAT_MESS[0], 5);

  // The graph templates, with the placeholders the graph writer fills.
  struct {
    const char *key;
    char *field;
    const char *builtin;
    const char *conversions;
  } attrs[] = {
      {"ATTR_GRAPH", c.ATTR_GRAPH, builtin.ATTR_GRAPH, "sd"},
      {"ATTR_NODE", c.ATTR_NODE, builtin.ATTR_NODE, "sd"},
      {"ATTR_EDGE", c.ATTR_EDGE, builtin.ATTR_EDGE, "sd"},
      {"ATTR_FUNC", c.ATTR_FUNC, builtin.ATTR_FUNC, "sssds"},
      {"ATTR_NO_FUNC", c.ATTR_NO_FUNC, builtin.ATTR_NO_FUNC, "sssd"},
      {"ATTR_REMARK", c.ATTR_REMARK, builtin.ATTR_REMARK, "ss"},
  };
  for (auto &a : attrs) {
    Text(r, a.key, a.field, sizeof c.ATTR_GRAPH);
    CheckTemplate(a.key, a.field, sizeof c.ATTR_GRAPH, a.builtin, a.conversions, 0);
  }

  c.EXACT_NAMES = Flag(Int(r, "EXACT_NAMES", 0));
  c.GRAPH_IN_WINDOW = Flag(Int(r, "GRAPH_IN_WINDOW", 0));
  c.PARSER = Flag(Int(r, "PARSER", 0));
  String(r, "OUTPUT_DIR", "", c.OUTPUT_DIR, sizeof c.OUTPUT_DIR);
  UseOutputDir(r);
  c.INDEX = Flag(Int(r, "INDEX", 0));
  // An empty value is the built-in language, as an absent key is.
  String(r, "UI_LANG", "ja", c.UI_LANG, sizeof c.UI_LANG);
  if (!c.UI_LANG[0]) CopyText(c.UI_LANG, sizeof c.UI_LANG, "ja");

  LogSetLevel(c.DEBUG_LOG);
}
