// JSON as the server reads and writes it (nlohmann::json): lookups that
// never throw whatever a client sends, a nesting check made before a body is
// parsed, and the one way a value becomes text (bytes that are not UTF-8,
// such as a path from the file system, become U+FFFD instead of an error).
#pragma once

#include <nlohmann/json.hpp>
#include <string>

using Json = nlohmann::json;

// Deepest nesting of arrays and objects a body may have; a deeper one is
// taken as not JSON.
constexpr int kMaxJsonDepth = 256;

// Parses text: false (and *out discarded) when it is not JSON or nests
// deeper than kMaxJsonDepth.
bool ParseJson(const std::string &text, Json *out);
// The text of a value, compact, UTF-8 (invalid bytes replaced).
std::string DumpJson(const Json &value);

// The member key of obj, or nullptr when obj is no object or has none.
const Json *Member(const Json &obj, const char *key);
// The member as a string / integer / boolean / object / array; false when it
// is missing or of another type (*out unchanged).
bool GetString(const Json &obj, const char *key, std::string *out);
bool GetInt(const Json &obj, const char *key, long long *out);
bool GetBool(const Json &obj, const char *key, bool *out);
const Json *GetObject(const Json &obj, const char *key);
const Json *GetArray(const Json &obj, const char *key);
// The member reached through a path of keys ("capabilities", "general", ...),
// or nullptr when any step is missing.
const Json *Path(const Json &obj, std::initializer_list<const char *> keys);
