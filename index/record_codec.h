// What the index keeps of one source, as bytes: its records (functions with
// their calls and how each call is written, classes, where parsing ended
// inside a function) and what parsing it printed. Every field of a record
// is named once, in record_codec.cpp, for both directions, so a new field
// is one change there (and a new kRecordFormat).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "engine/ana.h"
#include "foundation/log.h"

// Changes whenever the bytes of a record change; part of every entry's key.
enum { kRecordFormat = 2 };

// Appends the records of s (parsed, status -1) to out. Never fails.
void EncodeRecords(const ST_SOURCE *s, std::string *out);
// Makes the records of s (registered, with no records yet) from bytes, with
// names from intern (ctx passed along; it returns a copy that outlives the
// records, or null when memory runs out). 1 made; 0 when the bytes are not
// what EncodeRecords wrote or memory ran out: s then has no records again.
int DecodeRecords(const char *bytes, size_t len, ST_SOURCE *s,
                  const char *(*intern)(void *ctx, const char *text, size_t len), void *ctx);

// Gives back every record of s (its arena with them): none remain.
void ForgetRecords(ST_SOURCE *s);

// Appends what g holds to out (runs of equal marks kept as one). 0 when g
// failed (it is incomplete) or holds an entry it cannot keep.
int EncodeLines(const LOG_GATHER *g, std::string *out);
// Appends the entries of bytes to g. 0 when the bytes are not what
// EncodeLines wrote, or g failed.
int DecodeLines(const char *bytes, size_t len, LOG_GATHER *g);
