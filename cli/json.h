// JSON Lines for velmora-cli --json: list rows and tree nodes as one JSON
// object per line, texts in UTF-8 as JSON requires them.
#pragma once

#include <string>

#include "xref/calltree.h"

// Shift_JIS text as a quoted JSON string (UTF-8, escaped).
std::string JsonSjis(const char *sjis);
// Native bytes (a file name, UTF-8 expected) as a quoted JSON string; a byte
// sequence that is not valid UTF-8 becomes U+FFFD.
std::string JsonNative(const char *bytes);
// The file-name part of the source with this SID as a JSON string, from its
// native path; "" when there is no such source.
std::string JsonSourceName(int sid);
// One tree node of tree number `tree` (1-based, in the order the trees were
// drawn) as a JSON object, without the line end.
std::string JsonTreeNode(int tree, const TreeNodeInfo &node);
// One row of a list (VIEW_FUNCTIONS or VIEW_CALLS) whose Shift_JIS cells are
// joined by tabs, as a JSON object keyed by the column headers, numbers as
// numbers (an empty number cell is null), without the line end.
std::string JsonListRow(int list, const std::string &cells);
