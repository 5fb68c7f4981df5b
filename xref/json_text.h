// JSON texts of the results, for velmora-cli --json and every front that
// speaks JSON: list rows and tree nodes as one object each, texts in UTF-8
// as JSON requires them (Shift_JIS converted, invalid bytes as U+FFFD,
// controls escaped so that no terminal acts on them).
#pragma once

#include <string>
#include <vector>

#include "xref/calltree.h"
#include "xref/results.h"

// Shift_JIS text as a quoted JSON string (UTF-8, escaped).
std::string JsonSjis(const char *sjis);
// Native bytes (a file name, UTF-8 expected) as a quoted JSON string; a byte
// sequence that is not valid UTF-8 becomes U+FFFD.
std::string JsonNative(const char *bytes);

// The file-name part of every source's native path, by SID (index 0 is
// unused), as JSON shows a source's name. Made once per output.
std::vector<std::string> JsonSourceNames(void);

// One Function List row as a JSON object keyed by the column headers,
// numbers as numbers, then the name's place ("name_line", "name_column",
// "end_line"; lines 1-based, the column in bytes from 0); without the line
// end. names as JsonSourceNames gives them.
std::string JsonFunctionRow(const FunctionRow &r, const std::vector<std::string> &names);
// One Call List row the same way (an unlinked call's toSID and toFID null,
// its toSource and toFunction ""), then the called name's place ("line",
// "column").
std::string JsonCallRow(const CallRow &r, const std::vector<std::string> &names);
// One tree node of tree number `tree` (1-based, in the order the trees were
// drawn) as a JSON object, without the line end.
std::string JsonTreeNode(int tree, const TreeNodeInfo &node, const std::vector<std::string> &names);
