// JSON lookups and text (see json_access.h).
#include "lsp/json_access.h"

bool ParseJson(const std::string &text, Json *out) {
  // The nesting is measured first, outside strings, so a hostile body
  // costs one pass and never reaches the parser's own stack.
  int depth = 0;
  bool in_string = false;
  for (size_t i = 0; i < text.size(); i++) {
    char c = text[i];
    if (in_string) {
      if (c == '\\')
        i++;
      else if (c == '"')
        in_string = false;
    } else if (c == '"') {
      in_string = true;
    } else if (c == '[' || c == '{') {
      if (++depth > kMaxJsonDepth) return false;
    } else if (c == ']' || c == '}') {
      depth--;
    }
  }
  *out = Json::parse(text, nullptr, false);
  return !out->is_discarded();
}

std::string DumpJson(const Json &value) {
  return value.dump(-1, ' ', false, Json::error_handler_t::replace);
}

const Json *Member(const Json &obj, const char *key) {
  if (!obj.is_object()) return nullptr;
  auto it = obj.find(key);
  return it == obj.end() ? nullptr : &*it;
}

bool GetString(const Json &obj, const char *key, std::string *out) {
  const Json *m = Member(obj, key);
  if (!m || !m->is_string()) return false;
  *out = m->get_ref<const std::string &>();
  return true;
}

bool GetInt(const Json &obj, const char *key, long long *out) {
  const Json *m = Member(obj, key);
  if (!m || !m->is_number_integer()) return false;
  if (m->is_number_unsigned()) {
    unsigned long long u = m->get<unsigned long long>();
    if (u > (unsigned long long)INT64_MAX) return false;
    *out = (long long)u;
  } else {
    *out = m->get<long long>();
  }
  return true;
}

bool GetBool(const Json &obj, const char *key, bool *out) {
  const Json *m = Member(obj, key);
  if (!m || !m->is_boolean()) return false;
  *out = m->get<bool>();
  return true;
}

const Json *GetObject(const Json &obj, const char *key) {
  const Json *m = Member(obj, key);
  return m && m->is_object() ? m : nullptr;
}

const Json *GetArray(const Json &obj, const char *key) {
  const Json *m = Member(obj, key);
  return m && m->is_array() ? m : nullptr;
}

const Json *Path(const Json &obj, std::initializer_list<const char *> keys) {
  const Json *at = &obj;
  for (const char *k : keys) {
    at = Member(*at, k);
    if (!at) return nullptr;
  }
  return at;
}
