// The bytes of an index entry. Numbers are LEB128 varints (signed ones
// zigzagged); texts are numbered in a table at the front of the records, so
// a name used a thousand times is kept once. The record fields are listed
// once per record kind (FunctionFields, CallFields, FormFields, ClassFields):
// encoding and decoding walk the same lists. Decoding trusts nothing: every
// count and length is checked against what is left.
#include "index/record_codec.h"

#include <cstring>
#include <unordered_map>
#include <vector>

#include "engine/record_walk.h"
#include "foundation/arena.h"
#include "foundation/cb.h"

namespace {

// ---- the fields of each record, in their order in the bytes ----

template <class V>
void FunctionFields(V &v, ST_FUNC &f) {
  v.Text(f.scope);
  v.Text(f.name);
  v.Int(f.argc);
  v.Int(f.items);
  v.Int(f.argc_min);
  v.Int(f.variadic);
  v.Int(f.member);
  v.Int(f.const_this);
  v.Text(f.returns);
  v.Int(f.line);
  v.Int(f.def_offset);
  v.Int(f.def_len);
  v.Int(f.name_line);
  v.Int(f.name_column);
  v.Int(f.name_offset);
  v.Int(f.end_line);
  v.Int(f.templated);
  v.Text(f.return_type);
  v.Int(f.returns_const);
  v.Int(f.class_at);
}

template <class V>
void CallFields(V &v, ST_CALL &c) {
  v.Text(c.scope);
  v.Text(c.name);
  v.Int(c.argc);
  v.Int(c.items);
  v.Int(c.line);
  v.Int(c.name_line);
  v.Int(c.name_column);
}

// `through` is kept apart: it is a call of the same function.
template <class V>
void FormFields(V &v, ST_CALL_FORM &h) {
  v.Int(h.form);
  v.Text(h.receiver);
  v.Text(h.object);
  v.Text(h.member);
  v.Int(h.object_const);
}

template <class V>
void ClassFields(V &v, ST_CLASS &k) {
  v.Int(k.kind);
  v.Text(k.scope);
}

template <class V>
void SourceFields(V &v, ST_SOURCE &s) {
  v.Int(s.size);
  v.Int(s.precise);
  v.Int(s.fell_back);
  v.Text(s.lost_in);
  v.Int(s.lost_line);
}

// ---- bytes ----

void PutUnsigned(std::string *out, uint64_t v) {
  while (v >= 0x80) {
    out->push_back((char)(v | 0x80));
    v >>= 7;
  }
  out->push_back((char)v);
}

void PutSigned(std::string *out, int64_t v) {
  PutUnsigned(out, ((uint64_t)v << 1) ^ (uint64_t)(v >> 63));
}

struct Cursor {
  const unsigned char *p;
  const unsigned char *end;
  bool bad;

  uint64_t Unsigned() {
    uint64_t v = 0;
    for (int shift = 0; shift < 64; shift += 7) {
      if (p >= end) break;
      unsigned char b = *p++;
      v |= (uint64_t)(b & 0x7F) << shift;
      if (!(b & 0x80)) return v;
    }
    bad = true;
    return 0;
  }
  int64_t Signed() {
    uint64_t u = Unsigned();
    return (int64_t)(u >> 1) ^ -(int64_t)(u & 1);
  }
  // A count of things each at least min_bytes long: never more than the
  // bytes left could hold.
  size_t Count(size_t min_bytes) {
    uint64_t n = Unsigned();
    if (n > (uint64_t)(end - p) / (min_bytes ? min_bytes : 1)) bad = true;
    return bad ? 0 : (size_t)n;
  }
  const char *Bytes(size_t n) {
    if (n > (size_t)(end - p)) {
      bad = true;
      return nullptr;
    }
    const char *at = (const char *)p;
    p += n;
    return at;
  }
};

// The encoding side of the field lists.
struct Writer {
  std::string *out;
  std::unordered_map<const char *, uint64_t> refs;  // text -> 1 + its number
  std::vector<const char *> texts;                  // in order of first use
  std::vector<const ST_CALL *> calls;               // the current function's calls so far

  template <class T>
  void Int(T &x) {
    PutSigned(out, (int64_t)x);
  }
  void Text(const char *&t) {
    if (!t) {
      PutUnsigned(out, 0);
      return;
    }
    auto it = refs.emplace(t, texts.size() + 1);
    if (it.second) texts.push_back(t);
    PutUnsigned(out, it.first->second);
  }
};

// The decoding side.
struct Reader {
  Cursor *in;
  std::vector<const char *> texts;  // number - 1 -> the interned copy

  template <class T>
  void Int(T &x) {
    int64_t v = in->Signed();
    if ((int64_t)(T)v != v) in->bad = true;
    x = (T)v;
  }
  void Text(const char *&t) {
    uint64_t ref = in->Unsigned();
    if (ref > texts.size()) in->bad = true;
    t = ref == 0 || in->bad ? nullptr : texts[ref - 1];
  }
};

// A text array that may be null: 0, else 1 + its length and the texts.
void PutTexts(Writer &w, const char *const *a, size_t n) {
  PutUnsigned(w.out, a ? 1 + n : 0);
  for (size_t i = 0; a && i < n; i++) {
    const char *t = a[i];
    w.Text(t);
  }
}

// Records are written without their texts first (their numbers are known
// only once every record was seen), then the table goes in front.
void EncodeBody(Writer &w, ST_SOURCE *s) {
  SourceFields(w, *s);
  PutUnsigned(w.out, (uint64_t)s->funcs.count);
  ForEachFunction(s, [&](ST_FUNC *f) {
    FunctionFields(w, *f);
    PutTexts(w, f->param_types, f->argc > 0 ? (size_t)f->argc : 1);
    PutUnsigned(w.out, (uint64_t)f->calls.count);
    w.calls.clear();
    // Each call's number (1-based), for the calls written as arguments.
    std::unordered_map<const ST_CALL *, uint64_t> numbers;
    ForEachCall(f, [&](ST_CALL *c) { numbers.emplace(c, numbers.size() + 1); });
    ForEachCall(f, [&](ST_CALL *c) {
      CallFields(w, *c);
      w.calls.push_back(c);
      if (!c->how) {
        PutUnsigned(w.out, 0);
        return;
      }
      // 1 + the number (1-based) of the earlier call it goes through; 1: none.
      uint64_t through = 0;
      for (size_t i = w.calls.size() - 1; c->how->through && i-- > 0;) {
        if (w.calls[i] == c->how->through) {
          through = i + 1;
          break;
        }
      }
      PutUnsigned(w.out, 1 + through);
      FormFields(w, *c->how);
      size_t argc = c->argc > 0 ? (size_t)c->argc : 0;
      PutTexts(w, c->how->arg_types, argc);
      // The calls written as its arguments come after it: by number.
      PutUnsigned(w.out, c->how->arg_calls ? 1 : 0);
      for (size_t i = 0; c->how->arg_calls && i < argc; i++)
        PutUnsigned(w.out, c->how->arg_calls[i] && numbers.count(c->how->arg_calls[i])
                               ? numbers[c->how->arg_calls[i]]
                               : 0);
    });
  });
  PutUnsigned(w.out, (uint64_t)s->classes.count);
  CB_ForEach<ST_CLASS>(s->classes, [&](ST_CLASS *k) {
    ClassFields(w, *k);
    PutUnsigned(w.out, (uint64_t)k->base_count);
    for (int i = 0; i < k->base_count; i++) w.Text(k->bases[i]);
    PutUnsigned(w.out, (uint64_t)k->field_count);
    for (int i = 0; i < 2 * k->field_count; i++) w.Text(k->fields[i]);
    PutUnsigned(w.out, (uint64_t)k->default_count);
    for (int i = 0; i < k->default_count; i++) {
      w.Text(k->default_names[i]);
      w.Int(k->default_counts[2 * i]);
      w.Int(k->default_counts[2 * i + 1]);
    }
  });
}

}  // namespace

void ForgetRecords(ST_SOURCE *s) {
  ForEachFunction(s, [](ST_FUNC *f) { CB_Init(&f->calls); });
  CB_Init(&s->funcs);
  CB_Init(&s->classes);
  ArenaRelease(&s->records);
  s->lost_in = nullptr;
  s->lost_line = 0;
  s->precise = 0;
  s->fell_back = PreciseBudget::kNone;
}

namespace {

const char **TextArray(ST_SOURCE *s, Reader &r, size_t n) {
  if (n == 0) return nullptr;
  const char **a = (const char **)ArenaAlloc(&s->records, sizeof(const char *) * n);
  if (!a) {
    r.in->bad = true;
    return nullptr;
  }
  for (size_t i = 0; i < n && !r.in->bad; i++) r.Text(a[i]);
  return a;
}

// A text array PutTexts wrote, expected to hold n texts (null when it
// was null; a wrong length is bad bytes).
const char **GetTexts(ST_SOURCE *s, Reader &r, size_t n) {
  uint64_t mark = r.in->Unsigned();
  if (mark == 0 || r.in->bad || (mark == 1 && n == 0)) return nullptr;
  // Each text takes a byte at least: a length past what is left is bad.
  if (mark - 1 != n || n == 0 || n > (size_t)(r.in->end - r.in->p)) {
    r.in->bad = true;
    return nullptr;
  }
  return TextArray(s, r, n);
}

bool DecodeBody(Reader &r, ST_SOURCE *s) {
  Cursor &in = *r.in;
  SourceFields(r, *s);
  size_t nfuncs = in.Count(16);
  for (size_t i = 0; i < nfuncs && !in.bad; i++) {
    CHBUF *e = AddCBFrom(&s->records, &s->funcs, (int)sizeof(ST_FUNC));
    if (!e) return false;
    ST_FUNC *f = (ST_FUNC *)e->data;
    f->source = s;
    CB_Init(&f->calls);
    FunctionFields(r, *f);
    f->param_types = GetTexts(s, r, f->argc > 0 ? (size_t)f->argc : 1);
    size_t ncalls = in.Count(8);
    std::vector<ST_CALL *> made;
    std::vector<std::pair<ST_CALL *, std::vector<uint64_t>>> arg_calls;  // resolved below
    for (size_t j = 0; j < ncalls && !in.bad; j++) {
      CHBUF *ce = AddCBFrom(&s->records, &f->calls, (int)sizeof(ST_CALL));
      if (!ce) return false;
      ST_CALL *c = (ST_CALL *)ce->data;
      c->caller = f;
      CallFields(r, *c);
      made.push_back(c);
      uint64_t how = in.Unsigned();
      if (how == 0) continue;
      if (how - 1 > j) return false;  // only an earlier call can be gone through
      c->how = (ST_CALL_FORM *)ArenaAlloc(&s->records, sizeof(ST_CALL_FORM));
      if (!c->how) return false;
      c->how->through = how > 1 ? made[how - 2] : nullptr;
      FormFields(r, *c->how);
      size_t argc = c->argc > 0 ? (size_t)c->argc : 0;
      c->how->arg_types = GetTexts(s, r, argc);
      if (in.bad) return false;
      if (in.Unsigned() == 1) {
        if (argc == 0 || argc > (size_t)(in.end - in.p)) return false;
        arg_calls.emplace_back(c, std::vector<uint64_t>());
        for (size_t k = 0; k < argc; k++) arg_calls.back().second.push_back(in.Unsigned());
      }
    }
    for (auto &ac : arg_calls) {
      const ST_CALL **list =
          (const ST_CALL **)ArenaAlloc(&s->records, sizeof(const ST_CALL *) * ac.second.size());
      if (!list) return false;
      for (size_t k = 0; k < ac.second.size(); k++) {
        if (ac.second[k] > made.size()) return false;
        list[k] = ac.second[k] ? made[ac.second[k] - 1] : nullptr;
      }
      ac.first->how->arg_calls = list;
    }
  }
  size_t nclasses = in.Count(3);
  for (size_t i = 0; i < nclasses && !in.bad; i++) {
    CHBUF *e = AddCBFrom(&s->records, &s->classes, (int)sizeof(ST_CLASS));
    if (!e) return false;
    ST_CLASS *k = (ST_CLASS *)e->data;
    ClassFields(r, *k);
    size_t nbases = in.Count(1);
    k->bases = TextArray(s, r, nbases);
    k->base_count = (int)nbases;
    size_t nfields = in.Count(2);
    k->fields = TextArray(s, r, 2 * nfields);
    k->field_count = (int)nfields;
    size_t ndefaults = in.Count(3);
    if (ndefaults) {
      k->default_names = (const char **)ArenaAlloc(&s->records, sizeof(const char *) * ndefaults);
      k->default_counts = (int *)ArenaAlloc(&s->records, sizeof(int) * 2 * ndefaults);
      if (!k->default_names || !k->default_counts) return false;
      for (size_t d = 0; d < ndefaults && !in.bad; d++) {
        r.Text(k->default_names[d]);
        r.Int(k->default_counts[2 * d]);
        r.Int(k->default_counts[2 * d + 1]);
      }
      k->default_count = (int)ndefaults;
    }
  }
  // Names and scopes are never null in a record.
  bool whole = !in.bad && in.p == in.end;
  ForEachFunction(s, [&](ST_FUNC *f) {
    whole = whole && f->scope && f->name;
    ForEachCall(f, [&](ST_CALL *c) { whole = whole && c->scope && c->name; });
  });
  return whole;
}

// What a kept log entry is (independent of the log's own numbers).
enum : unsigned char { kLine0 = 1, kLine1 = 2, kRaw0 = 3, kTrace = 4, kMarks = 5 };

}  // namespace

void EncodeRecords(const ST_SOURCE *s, std::string *out) {
  std::string body;
  Writer w{&body, {}, {}, {}};
  EncodeBody(w, const_cast<ST_SOURCE *>(s));  // read only: the writer's fields are references
  PutUnsigned(out, kRecordFormat);
  PutUnsigned(out, w.texts.size());
  for (const char *t : w.texts) {
    size_t n = strlen(t);
    PutUnsigned(out, n);
    out->append(t, n);
  }
  out->append(body);
}

int DecodeRecords(const char *bytes, size_t len, ST_SOURCE *s,
                  const char *(*intern)(void *ctx, const char *text, size_t len), void *ctx) {
  if (!bytes || !s || !intern) return 0;
  Cursor in{(const unsigned char *)bytes, (const unsigned char *)bytes + len, false};
  if (in.Unsigned() != kRecordFormat) return 0;
  Reader r{&in, {}};
  size_t ntexts = in.Count(1);
  r.texts.reserve(ntexts);
  for (size_t i = 0; i < ntexts && !in.bad; i++) {
    size_t n = in.Count(1);
    const char *t = in.Bytes(n);
    if (in.bad) break;
    const char *copy = intern(ctx, t, n);
    if (!copy) in.bad = true;
    r.texts.push_back(copy);
  }
  if (in.bad || !DecodeBody(r, s)) {
    ForgetRecords(s);
    return 0;
  }
  return 1;
}

namespace {

struct LineWriter {
  std::string *out;
  int mark;      // value of the run of marks being counted
  uint64_t run;  // marks in that run (0: none)
  bool bad;

  void EndRun() {
    if (!run) return;
    out->push_back((char)kMarks);
    PutSigned(out, mark);
    PutUnsigned(out, run);
    run = 0;
  }
};

int PutEntry(void *ctx, int kind, const char *bytes, size_t len) {
  LineWriter &w = *(LineWriter *)ctx;
  if (kind == LOG_GATHER_MARK) {
    int value;
    if (len != sizeof value) return w.bad = true, 0;
    memcpy(&value, bytes, sizeof value);
    if (w.run && value != w.mark) w.EndRun();
    w.mark = value;
    w.run++;
    return 1;
  }
  w.EndRun();
  unsigned char k = kind == LOG_GATHER_LINE0   ? kLine0
                    : kind == LOG_GATHER_LINE1 ? kLine1
                    : kind == LOG_GATHER_RAW0  ? kRaw0
                    : kind == LOG_GATHER_TRACE ? kTrace
                                               : 0;
  if (!k) return w.bad = true, 0;
  w.out->push_back((char)k);
  PutUnsigned(w.out, len);
  w.out->append(bytes, len);
  return 1;
}

}  // namespace

int EncodeLines(const LOG_GATHER *g, std::string *out) {
  if (!g || g->failed) return 0;
  LineWriter w{out, 0, 0, false};
  if (!LogGatherForEach(g, PutEntry, &w) || w.bad) return 0;
  w.EndRun();
  return 1;
}

int DecodeLines(const char *bytes, size_t len, LOG_GATHER *g) {
  if (!g || (!bytes && len)) return 0;
  Cursor in{(const unsigned char *)bytes, (const unsigned char *)bytes + len, false};
  while (in.p < in.end && !in.bad && !g->failed) {
    unsigned char k = *in.p++;
    if (k == kMarks) {
      int64_t value = in.Signed();
      uint64_t run = in.Unsigned();
      // A run is at most one mark per slice of ten statements; the checksum
      // beside the bytes has caught damage before this.
      if ((int64_t)(int)value != value || run == 0 || run > ((uint64_t)1 << 26)) in.bad = true;
      int v = (int)value;
      for (uint64_t i = 0; i < run && !in.bad && !g->failed; i++) LogGatherMark(g, v);
      continue;
    }
    int kind = k == kLine0   ? LOG_GATHER_LINE0
               : k == kLine1 ? LOG_GATHER_LINE1
               : k == kRaw0  ? LOG_GATHER_RAW0
               : k == kTrace ? LOG_GATHER_TRACE
                             : 0;
    size_t n = in.Count(1);
    const char *at = in.Bytes(n);
    if (!kind || in.bad) {
      in.bad = true;
      break;
    }
    // A trace entry is a text with its NUL, as DebugPrint gathers it.
    if (kind == LOG_GATHER_TRACE && (n == 0 || at[n - 1] != 0 || memchr(at, 0, n) != at + n - 1)) {
      in.bad = true;
      break;
    }
    LogGatherAppend(g, kind, at, n);
  }
  return !in.bad && !g->failed;
}
