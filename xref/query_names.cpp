// Names in the query index (see query.h): the lookup by the described rule
// (scope and name written together, or the name alone), and the ranked
// search. Every function's scope and name are kept once more, folded to
// upper case, one after another, so a search is one pass of memmem over a
// single buffer, however many functions there are.
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "engine/record_walk.h"
#include "platform/codepage.h"
#include "xref/query_internal.h"

namespace {

inline unsigned char Fold(unsigned char c) {
  return c >= 'a' && c <= 'z' ? (unsigned char)(c - 32) : c;
}

std::string Folded(const char *text) {
  std::string out = text ? text : "";
  for (char &c : out) c = (char)Fold((unsigned char)c);
  return out;
}

// true when pos (an offset into text) is the start of a character: not the
// second byte of a Shift_JIS pair.
bool StartsACharacter(const char *text, size_t pos) {
  size_t i = 0;
  while (i < pos) i += IsSjisLead((unsigned char)text[i]) && text[i + 1] ? 2 : 1;
  return i == pos;
}

}  // namespace

void QueryFoldedText(const ST_FUNC *f, std::string *text, uint16_t *name_at, uint8_t *wide) {
  size_t scope = strlen(f->scope);
  text->assign(f->scope, scope);
  text->append(f->name);
  unsigned char high = 0;
  for (char &c : *text) {
    high |= (unsigned char)c;
    c = (char)Fold((unsigned char)c);
  }
  *name_at = (uint16_t)scope;
  *wide = high >= 0x80;
}

void QueryBuildNames(ST_QUERY *q) {
  size_t n = q->funcs.size();
  q->text_at.resize(n);
  q->name_at.resize(n);
  q->wide.resize(n);
  size_t total = 0;
  for (const ST_FUNC *f : q->funcs) total += strlen(f->scope) + strlen(f->name) + 1;
  q->folded.clear();
  q->folded.reserve(total);
  std::string text;
  for (size_t i = 0; i < n; i++) {
    q->text_at[i] = (uint32_t)q->folded.size();
    QueryFoldedText(q->funcs[i], &text, &q->name_at[i], &q->wide[i]);
    q->folded.append(text);
    q->folded.push_back('\0');
  }
}

namespace {

// Calls found(i, at) once for every function i whose text (the name alone,
// or with scoped the scope and name together) holds the folded needle, with
// at the first place in that text where it starts a character; in function
// order. One pass of memmem over every text.
template <typename Found>
void Scan(const ST_QUERY *q, const std::string &needle, bool scoped, Found found) {
  const char *base = q->folded.data();
  const char *end = base + q->folded.size();
  size_t qlen = needle.size();
  size_t i = 0;  // the function whose text the scan is in
  size_t n = q->text_at.size();
  const char *p = base;
  while (p < end) {
    const char *m = (const char *)memmem(p, (size_t)(end - p), needle.data(), qlen);
    if (!m) return;
    uint32_t off = (uint32_t)(m - base);
    while (i + 1 < n && q->text_at[i + 1] <= off) i++;
    const char *entry = base + q->text_at[i];
    size_t entry_len = strlen(entry);
    p = entry + entry_len + 1;  // the next function's text, whatever this one holds
    if (m + qlen > entry + entry_len) continue;  // runs into the next text
    size_t start = scoped ? 0 : q->name_at[i];
    size_t at = (size_t)(m - entry);
    if (at < start) {  // in the scope when only the name counts: the name may hold it
      const char *again =
          (const char *)memmem(entry + start, entry_len - start, needle.data(), qlen);
      if (!again) continue;
      at = (size_t)(again - entry);
    }
    if (q->wide[i] && !StartsACharacter(entry, at)) {
      // The first match begins inside a character: a later one may not.
      size_t k = at + 1;
      for (; k + qlen <= entry_len; k++)
        if (memcmp(entry + k, needle.data(), qlen) == 0 && StartsACharacter(entry, k)) break;
      if (k + qlen > entry_len) continue;
      at = k;
    }
    found(i, at - start, entry_len - start);
  }
}

}  // namespace

std::vector<QueryFunction> Query_FunctionsNamed(const ST_QUERY *q, const char *text) {
  std::vector<QueryFunction> out;
  if (!q || !text || !*text) return out;
  // Scopes end with "::", so without one in text only the name can equal it.
  bool scoped = strstr(text, "::") != nullptr;
  size_t len = strlen(text);
  Scan(q, Folded(text), scoped, [&](size_t i, size_t at, size_t target) {
    if (at != 0 || target != len) return;
    const ST_FUNC *f = q->funcs[i];
    bool same = scoped ? std::string(f->scope) + f->name == text : strcmp(f->name, text) == 0;
    if (same) out.push_back(QueryFunctionOf(f));
  });
  return out;
}

std::vector<QueryHit> Query_Search(const ST_QUERY *q, const char *text, int max) {
  std::vector<QueryHit> out;
  if (!q || !text || !*text) return out;
  // With "::" the query reads scope and name together, else the name alone.
  bool scoped = strstr(text, "::") != nullptr;
  size_t qlen = strlen(text);
  // Each hit as its rank key: the kind, then the length of its text; hits
  // come in function order, which breaks ties.
  enum { kLengths = 1024 };
  struct Found {
    uint32_t key;
    uint32_t number;
  };
  std::vector<Found> found;
  std::vector<uint32_t> count((size_t)4 * kLengths, 0);
  Scan(q, Folded(text), scoped, [&](size_t i, size_t at, size_t target) {
    QueryMatch kind = QueryMatch::kSubstring;
    if (at == 0) {
      kind = QueryMatch::kPrefix;
      if (target == qlen) {
        const ST_FUNC *f = q->funcs[i];
        bool same = scoped ? std::string(f->scope) + f->name == text : strcmp(f->name, text) == 0;
        kind = same ? QueryMatch::kExact : QueryMatch::kExactCase;
      }
    }
    uint32_t key = (uint32_t)kind * kLengths + (uint32_t)std::min<size_t>(target, kLengths - 1);
    count[key]++;
    found.push_back(Found{key, (uint32_t)i});
  });
  // The best max by key, without sorting them all: the keys below the one
  // where max is reached are taken whole, that one as far as needed.
  size_t want = max > 0 ? std::min(found.size(), (size_t)max) : found.size();
  uint32_t last = 0;
  size_t below = 0;
  while (last < count.size() && below + count[last] < want) below += count[last++];
  size_t room = want - below;  // hits of key `last` still taken
  std::vector<Found> best;
  best.reserve(want);
  for (const Found &f : found) {
    if (f.key < last) {
      best.push_back(f);
    } else if (f.key == last && room > 0) {
      best.push_back(f);
      room--;
    }
  }
  std::stable_sort(best.begin(), best.end(),
                   [](const Found &a, const Found &b) { return a.key < b.key; });
  out.reserve(best.size());
  for (const Found &f : best)
    out.push_back(QueryHit{QueryFunctionOf(q->funcs[f.number]), (QueryMatch)(f.key / kLengths)});
  return out;
}

std::vector<QueryFunction> Query_DefinitionsOf(const ST_QUERY *q, const QueryCall &call) {
  std::vector<QueryFunction> out;
  QueryFunction linked;
  if (!call.to_sid || !Query_Function(q, call.to_sid, call.to_fid, &linked)) return out;
  // The precise parser's linking keeps the definitions a call fits alike.
  long n = QueryNumber(q, call.sid, call.fid);
  const ST_CALL *record = nullptr;
  if (n >= 0) {
    int index = 0;
    ForEachCall(q->funcs[(size_t)n], [&](const ST_CALL *c) {
      if (index++ != call.index) return WalkResult::kGoOn;
      record = c;
      return WalkResult::kStop;
    });
  }
  if (record && record->how && record->how->candidate_count > 1) {
    for (int i = 0; i < record->how->candidate_count; i++)
      if (const ST_FUNC *f = record->how->candidates[i]) out.push_back(QueryFunctionOf(f));
    return out;
  }
  out.push_back(linked);
  // Else those of the linked one's scope and name: what the link chose among.
  std::string text = std::string(linked.scope) + linked.name;
  for (const QueryFunction &f : Query_FunctionsNamed(q, text.c_str())) {
    bool fits = f.argc < 0 || call.argc < 0 || f.argc == call.argc;
    bool same = strcmp(f.scope, linked.scope) == 0 && strcmp(f.name, linked.name) == 0;
    if (fits && same && (f.sid != linked.sid || f.fid != linked.fid)) out.push_back(f);
  }
  return out;
}
