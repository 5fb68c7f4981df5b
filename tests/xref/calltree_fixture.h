// Call-tree test support: analyzer records built by hand (sources, functions,
// linked and unlinked calls) and a recorder standing in for the result views.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "engine/ana.h"
#include "engine/record_walk.h"
#include "foundation/cb.h"
#include "foundation/memory.h"
#include "foundation/ports.h"
#include "foundation/settings.h"
#include "foundation/text.h"
#include "platform/keys.h"
#include "support/null_views.h"
#include "xref/calltree.h"

namespace velmora_test {

// Records what the expansion sends to the Result and CallTree views.
struct TreeRecorder : NullViews {
  struct Node {
    int parent;  // index of the parent node, -1 at top level
    std::string text;
    int image;
  };
  std::string result;
  std::vector<Node> nodes;
  int tree_view = 1;

  int HasView(int view) override { return view == VIEW_TREE ? tree_view : 1; }
  TREEITEM TreeInsert(TREEITEM parent, const char *text) override {
    nodes.push_back({parent ? (int)(reinterpret_cast<intptr_t>(parent) - 1) : -1, text, -1});
    return reinterpret_cast<TREEITEM>((intptr_t)nodes.size());
  }
  void TreeSetImage(TREEITEM item, int k) override {
    nodes.at((size_t)(reinterpret_cast<intptr_t>(item) - 1)).image = k;
  }
  void TreeClear() override { nodes.clear(); }
  int TreeItemCount() override { return (int)nodes.size(); }
  void AppendResult(const char *text) override { result += text; }
};

// An analyzer filled by hand. Numbers are given as the function list would:
// SIDs in source order, FIDs in definition order.
struct TreeFixture : ::testing::Test {
  TreeRecorder views;
  TreeWiring wiring = {};                        // no graph, no extensions unless a test sets them
  TreeTools tools = {&wiring, &views, nullptr};  // what the trees are drawn with

  void SetUp() override {
    ResetConfiguration();
    ASSERT_EQ(CreateANA(), 1);
    TreeSetTools(tools);
    output_flags = 15;
    flags_shown = 0;
    EscapeSetPoll(nullptr);
  }
  void TearDown() override {
    EscapeSetPoll(nullptr);
    TreeSetTools(TreeTools{});
    ReleaseANA();
    ResetConfiguration();
  }

  static ST_SOURCE *Source(const char *name) {
    CHBUF *e = AddCB(&ANA.sources, nullptr, (int)sizeof(ST_SOURCE));
    ST_SOURCE *s = static_cast<ST_SOURCE *>(e->data);
    s->sid = ANA.sources.count;
    CopyText(s->name, sizeof s->name, name);
    std::string path = std::string("/src/") + name;
    s->path = (char *)MemAlloc(path.size() + 1);  // freed with the sources
    memcpy(s->path, path.c_str(), path.size());
    CB_Init(&s->funcs);
    return s;
  }
  // A function with an explicit FID (the position is the order of the calls).
  // stem followed by the number i ("u3"), for the names of generated functions.
  static std::string Numbered(const char *stem, int i) { return stem + std::to_string(i); }
  static ST_FUNC *Func(ST_SOURCE *s, const char *name, int fid, int argc = 0,
                       const char *scope = "") {
    CHBUF *e = AddCB(&s->funcs, nullptr, (int)sizeof(ST_FUNC));
    ST_FUNC *f = static_cast<ST_FUNC *>(e->data);
    f->fid = fid;
    f->sid = s->sid;
    f->source = s;
    f->name = ANA_Intern(name);
    f->scope = ANA_Intern(scope);
    f->argc = argc;
    f->def_len = 1;
    CB_Init(&f->calls);
    return f;
  }
  // A call from caller to `to` (null: an unlinked call of `name`).
  static ST_CALL *Call(ST_FUNC *caller, ST_FUNC *to, const char *name = nullptr, int argc = 0) {
    CHBUF *e = AddCB(&caller->calls, nullptr, (int)sizeof(ST_CALL));
    ST_CALL *c = static_cast<ST_CALL *>(e->data);
    c->caller = caller;
    c->to_func = to;
    if (to) {
      c->to_sid = to->sid;
      c->to_fid = to->fid;
      c->scope = ANA_Intern(to->scope);
      c->name = ANA_Intern(to->name);
      c->argc = to->argc;
    } else {
      c->scope = "";
      c->name = ANA_Intern(name ? name : "");
      c->argc = argc;
    }
    return c;
  }

  // The example project: main calls a then b, a calls c, b calls a and the
  // undefined d; FIDs main 1, a 2, c 3, b 4.
  struct Example {
    ST_FUNC *main, *a, *b, *c;
  };
  static Example BuildExample() {
    ST_SOURCE *m = Source("m.c");
    Example x;
    x.main = Func(m, "main", 1);
    x.a = Func(m, "a", 2);
    x.c = Func(m, "c", 3);
    x.b = Func(m, "b", 4);
    Call(x.main, x.a);
    Call(x.main, x.b);
    Call(x.a, x.c);
    Call(x.b, x.a);
    Call(x.b, nullptr, "d", 0);
    return x;
  }

  // The tree text after the option lines and the title.
  std::string TreeBody() const {
    const std::string title = "<< Call Tree >>\r\n\r\n";
    size_t at = views.result.find(title);
    return at == std::string::npos ? std::string() : views.result.substr(at + title.size());
  }
};

}  // namespace velmora_test
