// How source loading reads the encoding of a file's bytes, for the fronts
// that must see a source's text as the analysis saw it (the language server
// converts places between the analysis's Shift_JIS and an editor's text).
#pragma once

enum class SourceEncoding {
  kUtf16,  // a UTF-16 mark (FF FE, or FE FF: big-endian units)
  kUtf8,   // a UTF-8 mark, or the first non-ASCII byte starts a valid UTF-8 sequence
  kSjis,   // anything else: Shift_JIS, taken as it is
};

// The encoding source loading takes the first len bytes of src to be in.
SourceEncoding DetectSourceEncoding(const char *src, int len);
