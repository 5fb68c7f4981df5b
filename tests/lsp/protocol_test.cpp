// The language server's answers, asked through the test suite's JSON-RPC
// client: every request on the sample project, and on a fixture whose files
// are in Shift_JIS, UTF-16 and UTF-8 with Japanese text (and an emoji)
// before calls on the same line, so places must land on the names in the
// client's encoding, UTF-16 or UTF-8.
#include "engine/precise.h"
#include "lsp_fixture.h"

namespace velmora_test {
namespace {

const std::string kSample = VELMORA_SOURCE_DIR "/examples";
const std::string kFixture = VELMORA_TEST_DATA "/lsp-fixture";

TEST_F(LspTest, CallHierarchyOnTheSample) {
  Start(kSample);
  // main.c line 17: "    greet(argv[0]);"
  Json item = ItemAt("main.c", 17, 5);
  ASSERT_TRUE(item.is_object());
  EXPECT_EQ("greet", item["name"]);
  EXPECT_EQ(Uri("sjis/greet.c"), item["uri"]);
  EXPECT_EQ("10:5-10", Place(item["selectionRange"]));
  EXPECT_EQ(9, item["range"]["start"]["line"]);  // its comment block
  EXPECT_EQ(14, item["range"]["end"]["line"]);   // its closing brace

  Json in = client_->Result("callHierarchy/incomingCalls", Json{{"item", item}});
  ASSERT_EQ(1u, in.size());
  EXPECT_EQ("main", in[0]["from"]["name"]);
  ASSERT_EQ(1u, in[0]["fromRanges"].size());
  EXPECT_EQ("17:4-9", Place(in[0]["fromRanges"][0]));

  // greet calls message (defined), then printf and puts (defined nowhere:
  // the name alone, placed at the call).
  Json out = client_->Result("callHierarchy/outgoingCalls", Json{{"item", item}});
  ASSERT_EQ(3u, out.size());
  EXPECT_EQ("message", out[0]["to"]["name"]);
  EXPECT_EQ(Uri("sjis/greet.c"), out[0]["to"]["uri"]);
  EXPECT_EQ("12:28-35", Place(out[0]["fromRanges"][0]));
  EXPECT_EQ("printf", out[1]["to"]["name"]);
  EXPECT_EQ("12:4-10", Place(out[1]["to"]["selectionRange"]));
  EXPECT_EQ("puts", out[2]["to"]["name"]);

  // On a place inside a body but on no call: the function around it.
  Json around = ItemAt("main.c", 15, 1);
  ASSERT_TRUE(around.is_object());
  EXPECT_EQ("main", around["name"]);
  // Outside every function: nothing.
  EXPECT_TRUE(client_->Result("textDocument/prepareCallHierarchy", At("main.c", 1, 0)).is_null());
  Finish();
  EXPECT_EQ("", Listing(dir_.path + "/desk")) << "no log files without being asked";
}

TEST_F(LspTest, DefinitionReferencesAndSymbolsOnTheSample) {
  Start(kSample);
  Json def = client_->Result("textDocument/definition", At("main.c", 17, 6));
  ASSERT_EQ(1u, def.size());
  EXPECT_EQ(Uri("sjis/greet.c"), def[0]["uri"]);
  EXPECT_EQ("10:5-10", Place(def[0]["range"]));
  // On the definition's own name: itself.
  def = client_->Result("textDocument/definition", At("sjis/greet.c", 10, 6));
  ASSERT_EQ(1u, def.size());
  EXPECT_EQ("10:5-10", Place(def[0]["range"]));
  // A call no source defines (log_event, line 23): nothing.
  EXPECT_TRUE(client_->Result("textDocument/definition", At("main.c", 23, 6)).empty());

  Json refs = client_->Result("textDocument/references",
                              Json{{"textDocument", {{"uri", Uri("main.c")}}},
                                   {"position", {{"line", 17}, {"character", 5}}},
                                   {"context", {{"includeDeclaration", true}}}});
  ASSERT_EQ(2u, refs.size());
  EXPECT_EQ(Uri("sjis/greet.c"), refs[0]["uri"]);  // the declaration first
  EXPECT_EQ(Uri("main.c"), refs[1]["uri"]);
  EXPECT_EQ("17:4-9", Place(refs[1]["range"]));
  refs = client_->Result("textDocument/references",
                         Json{{"textDocument", {{"uri", Uri("main.c")}}},
                              {"position", {{"line", 17}, {"character", 5}}},
                              {"context", {{"includeDeclaration", false}}}});
  EXPECT_EQ(1u, refs.size());

  // Ranked: the exact name first, then prefixes, then substrings.
  Json syms = client_->Result("workspace/symbol", Json{{"query", "gre"}});
  ASSERT_EQ(1u, syms.size());
  EXPECT_EQ("greet", syms[0]["name"]);
  syms = client_->Result("workspace/symbol", Json{{"query", "a"}});
  ASSERT_GE(syms.size(), 3u);
  EXPECT_EQ("area", syms[0]["name"]);  // a prefix before substrings
  EXPECT_EQ("Shape", syms[0]["containerName"]);
  EXPECT_TRUE(client_->Result("workspace/symbol", Json{{"query", ""}}).empty());

  Json doc = client_->Result("textDocument/documentSymbol", Doc("sjis/greet.c"));
  ASSERT_EQ(2u, doc.size());
  EXPECT_EQ("message", doc[0]["name"]);
  EXPECT_EQ("greet", doc[1]["name"]);
  EXPECT_EQ(Uri("sjis/greet.c"), doc[1]["location"]["uri"]);
  Finish();
}

TEST_F(LspTest, PlacesInShiftJisUtf16AndUtf8InUtf16Units) {
  Start(kFixture);
  // sjis.c line 8: "    /* 表示 */ int v = helper(1); return v;"
  Json caller = ItemAt("sjis.c", 8, 2);
  ASSERT_TRUE(caller.is_object());
  EXPECT_EQ("caller", caller["name"]);
  Json out = client_->Result("callHierarchy/outgoingCalls", Json{{"item", caller}});
  ASSERT_EQ(1u, out.size());
  EXPECT_EQ("8:21-27", Place(out[0]["fromRanges"][0]));
  Json def = client_->Result("textDocument/definition", At("sjis.c", 8, 21));
  ASSERT_EQ(1u, def.size());
  EXPECT_EQ("1:11-17", Place(def[0]["range"]));

  // wide.c (UTF-16 with a mark): line 0 has the mark before it, line 3
  // Japanese before a call into sjis.c.
  Json first = ItemAt("wide.c", 0, 5);
  ASSERT_TRUE(first.is_object());
  EXPECT_EQ("w_first", first["name"]);
  EXPECT_EQ("0:4-11", Place(first["selectionRange"]));
  out = client_->Result("callHierarchy/outgoingCalls", Json{{"item", first}});
  ASSERT_EQ(1u, out.size());
  EXPECT_EQ("0:27-35", Place(out[0]["fromRanges"][0]));
  Json helper = ItemAt("wide.c", 3, 25);
  ASSERT_TRUE(helper.is_object());
  EXPECT_EQ("helper", helper["name"]);
  EXPECT_EQ(Uri("sjis.c"), helper["uri"]);
  Json in = client_->Result("callHierarchy/incomingCalls", Json{{"item", helper}});
  ASSERT_EQ(2u, in.size());
  EXPECT_EQ("caller", in[0]["from"]["name"]);
  EXPECT_EQ("w_second", in[1]["from"]["name"]);
  EXPECT_EQ("3:24-30", Place(in[1]["fromRanges"][0]));

  // utf8.c line 3: "    /* ü€😀 */ u_leaf(); return caller();" (the emoji
  // is two UTF-16 units).
  Json u = ItemAt("utf8.c", 3, 2);
  ASSERT_TRUE(u.is_object());
  out = client_->Result("callHierarchy/outgoingCalls", Json{{"item", u}});
  ASSERT_EQ(2u, out.size());
  EXPECT_EQ("u_leaf", out[0]["to"]["name"]);
  EXPECT_EQ("3:15-21", Place(out[0]["fromRanges"][0]));
  EXPECT_EQ("caller", out[1]["to"]["name"]);
  EXPECT_EQ("3:32-38", Place(out[1]["fromRanges"][0]));
  Finish();
}

TEST_F(LspTest, PlacesInUtf8BytesWhenTheClientOffersThem) {
  Start(kFixture, Json{{"general", {{"positionEncodings", {"utf-8", "utf-16"}}}}});
  Json out = client_->Result("callHierarchy/outgoingCalls", Json{{"item", ItemAt("utf8.c", 3, 2)}});
  ASSERT_EQ(2u, out.size());
  EXPECT_EQ("3:20-26", Place(out[0]["fromRanges"][0]));
  EXPECT_EQ("3:37-43", Place(out[1]["fromRanges"][0]));
  Json def = client_->Result("textDocument/definition", At("sjis.c", 8, 25));
  ASSERT_EQ(1u, def.size());
  EXPECT_EQ("1:11-17", Place(def[0]["range"]));
  Finish();
}

TEST_F(LspTest, MethodsUnderTheirClassWithThePreciseParser) {
  if (!precise_available()) GTEST_SKIP() << "built without the grammars";
  Start(kFixture,
        Json{{"textDocument", {{"documentSymbol", {{"hierarchicalDocumentSymbolSupport", true}}}}}},
        Json{{"parser", "precise"}});
  Json doc = client_->Result("textDocument/documentSymbol", Doc("shapes.cpp"));
  ASSERT_EQ(2u, doc.size()) << doc.dump();
  EXPECT_EQ("Shape", doc[0]["name"]);
  EXPECT_EQ(5, doc[0]["kind"]);
  ASSERT_EQ(2u, doc[0]["children"].size());
  EXPECT_EQ("area", doc[0]["children"][0]["name"]);
  EXPECT_EQ(6, doc[0]["children"][0]["kind"]);
  EXPECT_EQ("grow", doc[0]["children"][1]["name"]);
  EXPECT_EQ("use_shape", doc[1]["name"]);
  // A member call reaches the method of the object's class.
  Json def = client_->Result("textDocument/definition", At("shapes.cpp", 19, 14));
  ASSERT_EQ(1u, def.size());
  EXPECT_EQ(12, def[0]["range"]["start"]["line"]);
  Finish();
}

}  // namespace
}  // namespace velmora_test
