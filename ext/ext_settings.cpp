// Reading the extension settings file. Every number is clamped to its range
// right after it is read, so a later list never takes more items than its
// table holds; note lists use the note-name notation of ParseNoteName.
#include "ext/ext_settings.h"

#include <atomic>
#include <cstdlib>
#include <cstring>

#include "ext/midi_player.h"
#include "foundation/text.h"
#include "platform/ini.h"

ST_CORRELATION g_correlation;
ST_MUSIC g_music;
const char *const edge_styles[EDGE_STYLE_COUNT] = {"solid", "bold", "dashed", "dotted", "invis"};

namespace {

std::atomic<int> g_music_on{0};  // MUSIC USE, toggled by F12

// Built-in relationship entries, Shift_JIS as octal escapes: friend, master
// and pupil, colleague, fond of, rival, murder, stalker, dislike.
const char *const kRelations[RELATION_COUNT] = {
    "0:0:\227\106\220\154",
    "1:0:\216\164\222\355",
    "2:0:\223\257\227\273",
    "3:1:\215\104\202\253",
    "4:2:\203\211\203\103\203\157\203\213",
    "5:3:\216\105\212\121",
    "6:2:\203\130\203\147\201\133\203\112\201\133",
    "7:1:\214\231\202\242",
};
const char *const kPalette[RELATION_COUNT] = {"#000000", "#0000FF", "#00C000", "#FF0000",
                                              "#006060", "#600060", "#808000", "#505080"};

int Clamp(int v, int lo, int hi) {
  return v < lo ? lo : (v > hi ? hi : v);
}

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

// Calls take(item, ctx) for each comma-separated item of text (blanks around
// it trimmed, empty items skipped) until max items have been taken.
void ForEachItem(char *text, int max, void (*take)(const char *item, int index, void *ctx),
                 void *ctx) {
  int taken = 0;
  char *p = text;
  while (*p && taken < max) {
    char *end = std::strchr(p, ',');
    char *next = end ? end + 1 : p + std::strlen(p);
    if (end) *end = 0;
    while (IsBlank(*p)) p++;
    char *stop = p + std::strlen(p);
    while (stop > p && IsBlank(stop[-1])) *--stop = 0;
    if (*p) take(p, taken++, ctx);
    p = next;
  }
}

struct IntList {
  int *table;    // entries filled from 0
  int lo, hi;    // range of a valid item
  int fallback;  // value of an item outside the range
};

void TakeNote(const char *item, int index, void *ctx) {
  static_cast<int *>(ctx)[index] = ParseNoteName(item);
}

void TakeInt(const char *item, int index, void *ctx) {
  IntList *l = static_cast<IntList *>(ctx);
  int v = std::atoi(item);
  l->table[index] = (v < l->lo || v > l->hi) ? l->fallback : v;
}

struct Reader {
  const char *file;  // the extension settings file, never nullptr
};

int Int(const Reader &r, const char *section, const char *key, int def, int lo, int hi) {
  return Clamp(IniGetInt(r.file, section, key, def), lo, hi);
}

void NoteList(const Reader &r, const char *key, int *table, int max) {
  char text[260];
  IniGetString(r.file, "MUSIC", key, "", text, sizeof text);
  ForEachItem(text, max, TakeNote, table);
}

void IntItems(const Reader &r, const char *key, IntList *list, int max) {
  char text[260];
  IniGetString(r.file, "MUSIC", key, "", text, sizeof text);
  ForEachItem(text, max, TakeInt, list);
}

// A non-empty value replaces the built-in text.
void Text(const Reader &r, const char *key, char *field, size_t cap) {
  char scratch[64];
  if (cap > sizeof scratch) cap = sizeof scratch;
  if (IniGetString(r.file, "CORRELATION", key, "", scratch, cap) > 0) CopyText(field, cap, scratch);
}

}  // namespace

void ResetExtensionSettings(void) {
  ST_CORRELATION &c = g_correlation;
  c = ST_CORRELATION();
  for (int i = 0; i < RELATION_COUNT; i++) {
    CopyText(c.relation_table[i], sizeof c.relation_table[i], kRelations[i]);
    CopyText(c.palette[i], sizeof c.palette[i], kPalette[i]);
  }
  ST_MUSIC &m = g_music;
  m = ST_MUSIC();
  g_music_on = 0;
  m.WAIT = 50;
  m.VOLUME = 100;
  m.INTERVAL_MAX = 4;
  const int interval[4] = {0, 4, 7, 9}, trans[4] = {1, 4, 7, 10};
  for (int i = 0; i < INTERVAL_SIZE; i++) {
    m.INTERVAL[i] = interval[i % 4];
    m.INTERVAL_TRANS[i] = trans[i % 4];
  }
  for (int i = 0; i < MELODY_CHANNELS; i++) m.TONE[i] = -1;
  m.ACCENT_MAX = 6;
  m.ACCENT_WAIT = 2000;
  m.ACCENT_VOLUME = 127;
  const int accent[ACCENT_SIZE] = {0, 1, 3, 4, 6, 11};
  for (int i = 0; i < ACCENT_SIZE; i++) m.ACCENT[i] = accent[i];
  m.NOTE_MAX = 0;
  m.RHYTHM_VOLUME = 0;
  for (int i = 0; i < RHYTHM_SIZE; i++) m.RHYTHM[i] = 35;
}

void LoadExtensionSettings(const char *enh_ini_path) {
  ResetExtensionSettings();
  TQ_MidiOpen();
  Reader r{enh_ini_path ? enh_ini_path : ""};
  char key[16];

  ST_CORRELATION &c = g_correlation;
  c.USE = IniGetInt(r.file, "CORRELATION", "USE", 0) != 0 ? 1 : 0;
  for (int i = 0; i < RELATION_COUNT; i++) {
    FormatText(key, sizeof key, "FORM_%02d", i);
    Text(r, key, c.relation_table[i], sizeof c.relation_table[i]);
  }
  for (int i = 0; i < RELATION_COUNT; i++) {
    FormatText(key, sizeof key, "PAL_%02d", i);
    Text(r, key, c.palette[i], sizeof c.palette[i]);
  }

  ST_MUSIC &m = g_music;
  g_music_on = IniGetInt(r.file, "MUSIC", "USE", 0) != 0 ? 1 : 0;
  m.WAIT = Int(r, "MUSIC", "WAIT", 50, 0, 2000);
  m.VOLUME = Int(r, "MUSIC", "VOLUME", 100, 0, 127);
  m.INTERVAL_MAX = Int(r, "MUSIC", "INTERVAL_MAX", 4, 1, INTERVAL_SIZE);
  NoteList(r, "INTERVAL", m.INTERVAL, m.INTERVAL_MAX);
  NoteList(r, "INTERVAL_TRANS", m.INTERVAL_TRANS, m.INTERVAL_MAX);
  for (int i = 0; i < MELODY_CHANNELS; i++) {
    FormatText(key, sizeof key, "TONE_%02d", i);
    m.TONE[i] = IniGetInt(r.file, "MUSIC", key, -1);
    TQ_MidiSetTone(i, m.TONE[i]);
  }
  m.ACCENT_MAX = Int(r, "MUSIC", "ACCENT_MAX", 6, 1, ACCENT_SIZE);
  m.ACCENT_WAIT = Int(r, "MUSIC", "ACCENT_WAIT", 2000, 0, 5000);
  m.ACCENT_VOLUME = Int(r, "MUSIC", "ACCENT_VOLUME", 127, 0, 127);
  NoteList(r, "ACCENT", m.ACCENT, m.ACCENT_MAX);
  m.NOTE_MAX = Int(r, "MUSIC", "NOTE_MAX", 0, 0, 127);
  IntList notes{m.NOTE, 1, 64, 4};
  IntItems(r, "NOTE", &notes, m.NOTE_MAX);
  m.RHYTHM_VOLUME = Int(r, "MUSIC", "RHYTHM_VOLUME", 0, 0, 127);
  IntList rhythm{m.RHYTHM, 35, 81, 35};
  IntItems(r, "RHYTHM", &rhythm, RHYTHM_SIZE);
}

int MusicEnabled(void) {
  return g_music_on.load();
}
void SetMusicEnabled(int on) {
  g_music_on = on ? 1 : 0;
}
int ToggleMusic(void) {
  return (g_music_on ^= 1);
}
int CorrelationEnabled(void) {
  return g_correlation.USE;
}

int ParseNoteName(const char *text) {
  if (!text || !*text) return 0;
  const char *p = text;
  int octave = 0;
  if (*p == '>') {
    octave = 1;
    p++;
  } else if (*p == '<') {
    octave = -1;
    p++;
  }
  static const int kSemitone[7] = {9, 11, 0, 2, 4, 5, 7};  // A..G
  char letter = *p;
  if (letter >= 'a' && letter <= 'z') letter = static_cast<char>(letter - 'a' + 'A');
  if (letter < 'A' || letter > 'G') return 0;
  int s = kSemitone[letter - 'A'];
  p++;
  if (*p == '#' || *p == '+') {
    if (++s > 11) s = 0, octave++;
  } else if (*p == '-') {
    if (--s < 0) s = 11, octave--;
  }
  return octave >= 0 ? s + 1 + 12 * octave : 12 * octave - (s + 1) - 12;
}
