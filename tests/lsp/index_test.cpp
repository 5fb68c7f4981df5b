// The server's workspace through the project's index: a second start takes
// the unchanged sources from it and answers as the first did; an update keeps
// a source re-read from its file, never an editor's buffer; the client can
// turn the index off.
#include <glob.h>
#include <sqlite3.h>

#include <cstdio>

#include "lsp_fixture.h"

namespace velmora_test {
namespace {

const std::string kSample = VELMORA_SOURCE_DIR "/examples";

class LspIndexTest : public LspTest {
 protected:
  // "n m" from the server's note "index: n sources from the index, m
  // parsed" of its last analysis; "" when it said none.
  std::string IndexCounts() {
    std::string counts;
    for (const Json &n : client_->notes()) {
      if (n.value("method", "") != "window/logMessage") continue;
      std::string text = n["params"].value("message", "");
      int from = 0, parsed = 0;
      if (sscanf(text.c_str(), "velmora-lsp: index: %d sources from the index, %d parsed", &from,
                 &parsed) == 2)
        counts = std::to_string(from) + " " + std::to_string(parsed);
    }
    return counts;
  }
  // The one index file below the server's cache folder, or "".
  std::string IndexFile() {
    glob_t g;
    std::string pattern = dir_.path + "/home/.cache/velmora/index/*.db";
    std::string file;
    if (glob(pattern.c_str(), 0, nullptr, &g) == 0 && g.gl_pathc == 1) file = g.gl_pathv[0];
    globfree(&g);
    return file;
  }
  // The first column of the first row of sql on the index (-1: no answer).
  long long Ask(const std::string &sql) {
    sqlite3 *db = nullptr;
    long long n = -1;
    if (sqlite3_open_v2(IndexFile().c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
      sqlite3_stmt *st = nullptr;
      if (sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr) == SQLITE_OK &&
          sqlite3_step(st) == SQLITE_ROW)
        n = sqlite3_column_int64(st, 0);
      sqlite3_finalize(st);
    }
    sqlite3_close(db);
    return n;
  }
  // What the answers depend on: the symbols of four files, and the calls in
  // and out of two functions.
  Json Answers() {
    Json out = Json::array();
    for (const char *file : {"main.c", "util/mathx.c", "shapes/shape.cpp", "sjis/greet.c"})
      out.push_back(client_->Result("textDocument/documentSymbol", Doc(file)));
    for (const char *name : {"gcd", "main"}) {
      Json found = client_->Result("workspace/symbol", Json{{"query", name}});
      if (found.empty()) continue;
      Json start = found[0]["location"]["range"]["start"];
      Json item =
          ItemAt(found[0]["location"]["uri"].get<std::string>().substr(PathToUri(root_).size() + 1),
                 start["line"], start["character"]);
      out.push_back(client_->Result("callHierarchy/incomingCalls", Json{{"item", item}}));
      out.push_back(client_->Result("callHierarchy/outgoingCalls", Json{{"item", item}}));
    }
    return out;
  }
};

TEST_F(LspIndexTest, SecondStartTakesEverySourceFromTheIndexAndAnswersAlike) {
  Start(kSample);
  std::string first = IndexCounts();
  ASSERT_EQ(0u, first.find("0 ")) << first;
  int sources = atoi(first.c_str() + 2);
  ASSERT_GT(sources, 3);
  Json answers = Answers();
  ASSERT_GT(answers[0].size() + answers[1].size(), 3u);
  ASSERT_EQ(8u, answers.size());
  Finish();

  Launch();
  EXPECT_EQ(std::to_string(sources) + " 0", IndexCounts());
  EXPECT_EQ(answers, Answers());
  Finish();
}

TEST_F(LspIndexTest, UpdatesKeepWhatIsOnDiskAndNeverABuffer) {
  Start(kSample, Json{{"workspace", {{"didChangeWatchedFiles", {{"dynamicRegistration", true}}}}}});
  ASSERT_FALSE(IndexFile().empty());
  // A buffer that differs from its file is analysed, but not kept.
  std::string text = ReadFile(root_ + "/util/mathx.c");
  client_->Notify(
      "textDocument/didOpen",
      Json{{"textDocument",
            {{"uri", Uri("util/mathx.c")}, {"languageId", "c"}, {"version", 1}, {"text", text}}}});
  client_->Notify(
      "textDocument/didChange",
      Json{{"textDocument", {{"uri", Uri("util/mathx.c")}, {"version", 2}}},
           {"contentChanges",
            Json::array({{{"text", text + "\nint buffer_fn(void)\n{\n    return 1;\n}\n"}}})}});
  // A file written on disk is read again and kept.
  WriteFile(root_ + "/disk.c", "int disk_fn(void)\n{\n    return gcd(4, 6);\n}\n");
  client_->Notify("workspace/didChangeWatchedFiles",
                  Json{{"changes", Json::array({{{"uri", Uri("disk.c")}, {"type", 1}}})}});
  ASSERT_EQ(1u, client_->Result("workspace/symbol", Json{{"query", "buffer_fn"}}).size());
  ASSERT_EQ(1u, client_->Result("workspace/symbol", Json{{"query", "disk_fn"}}).size());
  EXPECT_EQ(0, Ask("SELECT count(*) FROM functions WHERE name = 'buffer_fn'"));
  EXPECT_EQ(1, Ask("SELECT count(*) FROM functions WHERE name = 'disk_fn'"));
  // Links wait while a buffer holds records no entry has; closing it brings
  // the file back, and the links with it.
  EXPECT_EQ(0, Ask("SELECT count(*) FROM linked_calls WHERE caller_name = 'disk_fn'"
                   " AND callee_name = 'gcd'"));
  client_->Notify("textDocument/didClose", Json{{"textDocument", {{"uri", Uri("util/mathx.c")}}}});
  ASSERT_EQ(0u, client_->Result("workspace/symbol", Json{{"query", "buffer_fn"}}).size());
  EXPECT_EQ(1, Ask("SELECT count(*) FROM linked_calls WHERE caller_name = 'disk_fn'"
                   " AND callee_name = 'gcd'"));
  // A deleted file's entry goes.
  remove((root_ + "/disk.c").c_str());
  client_->Notify("workspace/didChangeWatchedFiles",
                  Json{{"changes", Json::array({{{"uri", Uri("disk.c")}, {"type", 3}}})}});
  ASSERT_EQ(0u, client_->Result("workspace/symbol", Json{{"query", "disk_fn"}}).size());
  EXPECT_EQ(0, Ask("SELECT count(*) FROM functions WHERE name = 'disk_fn'"));
  Finish();
}

TEST_F(LspIndexTest, TheClientCanTurnItOff) {
  Start(kSample, Json::object(), Json{{"index", false}});
  EXPECT_EQ("", IndexCounts());
  EXPECT_EQ("", IndexFile());
  Finish();
}

}  // namespace
}  // namespace velmora_test
