// Keeping up with edits: an open buffer is analysed as its source, answers
// follow it, closing goes back to the file; files created and deleted on
// disk come in through the watched-files notification.
#include "lsp_fixture.h"

namespace velmora_test {
namespace {

const std::string kSample = VELMORA_SOURCE_DIR "/examples";

size_t Count(LspClient &c, const std::string &name) {
  return c.Result("workspace/symbol", Json{{"query", name}}).size();
}

TEST_F(LspTest, ChangesAddFunctionsAndCallsAndCloseRestoresTheFile) {
  Start(kSample);
  std::string text = ReadFile(root_ + "/util/mathx.c");
  client_->Notify(
      "textDocument/didOpen",
      Json{{"textDocument",
            {{"uri", Uri("util/mathx.c")}, {"languageId", "c"}, {"version", 1}, {"text", text}}}});
  EXPECT_EQ(0u, Count(*client_, "added_fn"));
  Json gcd = client_->Result("workspace/symbol", Json{{"query", "gcd"}});
  ASSERT_EQ(1u, gcd.size());
  Json item = ItemAt("util/mathx.c", gcd[0]["location"]["range"]["start"]["line"],
                     gcd[0]["location"]["range"]["start"]["character"]);
  size_t before = client_->Result("callHierarchy/incomingCalls", Json{{"item", item}}).size();

  std::string added = text + "\nint added_fn(int x)\n{\n    return gcd(x, 6);\n}\n";
  client_->Notify("textDocument/didChange",
                  Json{{"textDocument", {{"uri", Uri("util/mathx.c")}, {"version", 2}}},
                       {"contentChanges", Json::array({{{"text", added}}})}});
  EXPECT_EQ(1u, Count(*client_, "added_fn"));
  Json in = client_->Result("callHierarchy/incomingCalls", Json{{"item", item}});
  EXPECT_EQ(before + 1, in.size());
  EXPECT_EQ("added_fn", in.back()["from"]["name"]);

  // The file on disk never changed: closing gives its text back.
  client_->Notify("textDocument/didClose", Json{{"textDocument", {{"uri", Uri("util/mathx.c")}}}});
  EXPECT_EQ(0u, Count(*client_, "added_fn"));
  EXPECT_EQ(before, client_->Result("callHierarchy/incomingCalls", Json{{"item", item}}).size());
  Finish();
}

TEST_F(LspTest, WatchedFilesBringNewFilesInAndTakeDeletedOnesOut) {
  Start(kSample, Json{{"workspace", {{"didChangeWatchedFiles", {{"dynamicRegistration", true}}}}}});
  bool registered = false;
  for (const Json &n : client_->notes())
    registered = registered || n.value("method", "") == "client/registerCapability";
  // The registration is sent after `initialized`; ask once so it has arrived.
  EXPECT_EQ(0u, Count(*client_, "fresh_fn"));
  for (const Json &n : client_->notes())
    registered = registered || n.value("method", "") == "client/registerCapability";
  EXPECT_TRUE(registered);

  WriteFile(root_ + "/fresh.c", "int fresh_fn(void)\n{\n    return factorial(3);\n}\n");
  client_->Notify("workspace/didChangeWatchedFiles",
                  Json{{"changes", Json::array({{{"uri", Uri("fresh.c")}, {"type", 1}}})}});
  EXPECT_EQ(1u, Count(*client_, "fresh_fn"));
  remove((root_ + "/fresh.c").c_str());
  client_->Notify("workspace/didChangeWatchedFiles",
                  Json{{"changes", Json::array({{{"uri", Uri("fresh.c")}, {"type", 3}}})}});
  EXPECT_EQ(0u, Count(*client_, "fresh_fn"));
  // A file whose extension is not collected is not taken.
  WriteFile(root_ + "/notes.txt", "int not_code(void) { return 0; }\n");
  client_->Notify("workspace/didChangeWatchedFiles",
                  Json{{"changes", Json::array({{{"uri", Uri("notes.txt")}, {"type", 1}}})}});
  EXPECT_EQ(0u, Count(*client_, "not_code"));
  Finish();
}

}  // namespace
}  // namespace velmora_test
