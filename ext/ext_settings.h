// The extension settings file (sections CORRELATION and MUSIC): the
// relationship table that labels graph edges, and the tables of the MIDI tone
// player. Read once at start-up; texts are Shift_JIS.
#pragma once

#include <cstddef>

enum {
  RELATION_COUNT = 8,      // entries of relation_table and palette
  EDGE_STYLE_COUNT = 5,    // entries of edge_styles
  INTERVAL_SIZE = 12,      // entries of INTERVAL and INTERVAL_TRANS
  ACCENT_SIZE = 6,         // notes of the accent chord
  NOTE_SIZE = 128,         // entries of the NOTE table
  RHYTHM_SIZE = 12,        // percussion notes, one per node kind
  MELODY_CHANNELS = 6,     // melody channels 0..5 (TONE_00..TONE_05)
  RELATION_ATTR_MAX = 512  // room for any MakeRelationAttr result (its label escaped)
};

// Section CORRELATION.
struct ST_CORRELATION {
  int USE;                                  // 1: edges carry relationship attributes
  char relation_table[RELATION_COUNT][64];  // "P:S:label" entries (FORM_00..FORM_07)
  char palette[RELATION_COUNT][8];          // "#RRGGBB" colours (PAL_00..PAL_07)
};

// Section MUSIC (USE is the switch below, which F12 toggles at run time).
struct ST_MUSIC {
  int WAIT;                           // pause after a node in ms, 0..2000
  int VOLUME;                         // velocity of melody notes, 0..127
  int INTERVAL_MAX;                   // entries of INTERVAL(_TRANS) in use, 1..12
  int INTERVAL[INTERVAL_SIZE];        // melody pitches
  int INTERVAL_TRANS[INTERVAL_SIZE];  // pitches while a recursion has toggled the mode
  int TONE[MELODY_CHANNELS];          // programs of the melody channels (-1: unchanged)
  int ACCENT_MAX;                     // ACCENT items taken from the file, 1..6
  int ACCENT_WAIT;                    // pause after an accent chord in ms, 0..5000
  int ACCENT_VOLUME;                  // velocity of accent notes, 0..127
  int ACCENT[ACCENT_SIZE];            // notes of the accent chord
  int NOTE_MAX;                       // NOTE entries in use, 0..127
  int NOTE[NOTE_SIZE];                // note lengths (4 a quarter note), 1..64
  int RHYTHM_VOLUME;                  // velocity of percussion notes, 0..127
  int RHYTHM[RHYTHM_SIZE];            // percussion note per node kind, 35..81
};

extern ST_CORRELATION g_correlation;
extern ST_MUSIC g_music;
// Line styles of the relationships, fixed: solid, bold, dashed, dotted, invis.
extern const char *const edge_styles[EDGE_STYLE_COUNT];

// Puts both sections back to their built-in values (MUSIC switched off).
void ResetExtensionSettings(void);

// Resets, opens the MIDI output (TQ_MidiOpen, whether or not MUSIC is on),
// then reads CORRELATION and MUSIC from enh_ini_path (native path; nullptr or
// a missing file keeps the built-in values), clamping numbers to their ranges
// and sending TONE_00..TONE_05 with TQ_MidiSetTone as they are read.
void LoadExtensionSettings(const char *enh_ini_path);

// The MUSIC switch; safe to use from any thread (F12 on the main thread, the
// expansion on the worker).
int MusicEnabled(void);
void SetMusicEnabled(int on);
// Flips the switch and returns its new value.
int ToggleMusic(void);
// The CORRELATION switch.
int CorrelationEnabled(void);

// Note name to number: optional '>' or '<' (octave up or down), a letter A-G
// (any case), optional '#'/'+' or '-'; C gives 1, A 10, >C 13, <A -34. 0 for
// anything else, including an empty text or nullptr.
int ParseNoteName(const char *text);
