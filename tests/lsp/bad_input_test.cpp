// Bad input to the language server: every case gets its protocol error (or,
// for a stream it cannot read on, status 1 and a line on stderr) and the
// server goes on; requests waiting for the analysis can be cancelled.
#include "lsp_fixture.h"

namespace velmora_test {
namespace {

const std::string kSample = VELMORA_SOURCE_DIR "/examples";

int ErrorCode(const Json &response) {
  return response.contains("error") ? response["error"]["code"].get<int>() : 0;
}

// A server that is only started (not initialized), its stderr kept.
struct RawServer {
  ScratchDir dir{"velmora-lsp-raw"};
  LspClient client{{"--ini", dir.path + "/none.ini"},
                   {"HOME=" + dir.path, "XDG_DESKTOP_DIR=" + dir.path + "/desk",
                    "XDG_CACHE_HOME=" + dir.path + "/cache"},
                   dir.path + "/stderr.txt"};
  std::string Stderr() { return ReadFile(dir.path + "/stderr.txt"); }
};

TEST(LspBadInput, BeforeInitializeAndUnknownMethods) {
  RawServer s;
  EXPECT_EQ(-32002, ErrorCode(s.client.Request("workspace/symbol", Json{{"query", "x"}})));
  s.client.Notify("textDocument/didOpen", Json::object());  // dropped before initialize
  Json init = s.client.Request("initialize", Json{{"capabilities", Json::object()}});
  ASSERT_TRUE(init.contains("result"));
  EXPECT_EQ(-32600,
            ErrorCode(s.client.Request("initialize", Json{{"capabilities", Json::object()}})));
  EXPECT_EQ(-32601, ErrorCode(s.client.Request("textDocument/hover", Json::object())));
  s.client.Notify("velmora/noSuchNotification", Json::object());  // ignored
  s.client.Notify("$/setTrace", Json{{"value", "off"}});
  // Invalid params: a position missing, of the wrong type, negative.
  EXPECT_EQ(-32602, ErrorCode(s.client.Request("textDocument/definition",
                                               Json{{"textDocument", {{"uri", "file:///x.c"}}}})));
  EXPECT_EQ(-32602,
            ErrorCode(s.client.Request("textDocument/definition",
                                       Json{{"textDocument", {{"uri", 5}}},
                                            {"position", {{"line", 0}, {"character", 0}}}})));
  EXPECT_EQ(-32602,
            ErrorCode(s.client.Request("textDocument/references",
                                       Json{{"textDocument", {{"uri", "file:///x.c"}}},
                                            {"position", {{"line", -1}, {"character", 0}}}})));
  EXPECT_EQ(-32602, ErrorCode(s.client.Request("workspace/symbol", Json{{"query", 3}})));
  EXPECT_EQ(-32602,
            ErrorCode(s.client.Request("callHierarchy/incomingCalls", Json{{"item", "x"}})));
  // Not JSON, and JSON that is no message: answered with a null id.
  s.client.SendBytes("Content-Length: 9\r\n\r\n{\"jsonrpc");
  Json r = s.client.Next();
  EXPECT_EQ(-32700, ErrorCode(r));
  EXPECT_TRUE(r["id"].is_null());
  s.client.Send(Json::array({1, 2}));
  EXPECT_EQ(-32600, ErrorCode(s.client.Next()));
  s.client.Send(Json{{"jsonrpc", "2.0"}, {"id", Json::object()}, {"method", "shutdown"}});
  EXPECT_EQ(-32600, ErrorCode(s.client.Next()));
  std::string deep(100000, '[');
  s.client.SendBytes("Content-Length: " + std::to_string(deep.size()) + "\r\n\r\n" + deep);
  EXPECT_EQ(-32700, ErrorCode(s.client.Next()));
  // Still answering.
  EXPECT_TRUE(s.client.Request("workspace/symbol", Json{{"query", "x"}}).contains("result"));
  EXPECT_TRUE(s.client.Request("shutdown", nullptr).contains("result"));
  EXPECT_EQ(-32600, ErrorCode(s.client.Request("workspace/symbol", Json{{"query", "x"}})));
  s.client.Notify("exit", nullptr);
  EXPECT_EQ(0, s.client.Wait());
}

TEST(LspBadInput, ExitWithoutShutdownEndsWithOne) {
  RawServer s;
  ASSERT_TRUE(
      s.client.Request("initialize", Json{{"capabilities", Json::object()}}).contains("result"));
  s.client.Notify("exit", nullptr);
  EXPECT_EQ(1, s.client.Wait());
}

TEST(LspBadInput, StreamsItCannotReadOnEndWithOneAndALine) {
  const char *cases[][2] = {
      {"Content-Type: x\r\n\r\n{}", "without Content-Length"},
      {"Content-Length: 67108865\r\n\r\n", "over 64 MiB"},
      {"Content-Length: 100\r\n\r\n{\"jsonrpc\"", "in the middle of a message body"},
      {"Content-Length: abc\r\n\r\n", "not a number"},
  };
  for (const auto &c : cases) {
    RawServer s;
    s.client.SendBytes(c[0]);
    s.client.CloseInput();
    EXPECT_EQ(1, s.client.Wait()) << c[0];
    EXPECT_NE(std::string::npos, s.Stderr().find(c[1])) << s.Stderr();
  }
  RawServer quiet;  // a stream that ends between messages, without shutdown
  quiet.client.CloseInput();
  EXPECT_EQ(1, quiet.client.Wait());
}

TEST_F(LspTest, PlacesOutsideTheWorkspaceAndMissingFilesGiveEmptyAnswers) {
  Start(kSample);
  Json elsewhere{{"textDocument", {{"uri", "file:///nowhere/else.c"}}},
                 {"position", {{"line", 0}, {"character", 0}}}};
  EXPECT_TRUE(client_->Result("textDocument/definition", elsewhere).empty());
  EXPECT_TRUE(client_->Result("textDocument/prepareCallHierarchy", elsewhere).is_null());
  elsewhere["textDocument"]["uri"] = "https://example.org/a.c";
  EXPECT_TRUE(client_->Result("textDocument/references", elsewhere).empty());
  EXPECT_TRUE(client_->Result("textDocument/documentSymbol", Doc("missing.c")).empty());
  // Places past the end of a line or of the file are taken to its end.
  EXPECT_TRUE(client_->Result("textDocument/definition", At("main.c", 100000, 5)).empty());
  EXPECT_TRUE(client_->Result("textDocument/definition", At("main.c", 17, 100000)).empty());
  // An item that names nothing now.
  Json item{
      {"name", "x"},
      {"kind", 12},
      {"uri", Uri("main.c")},
      {"range",
       {{"start", {{"line", 0}, {"character", 0}}}, {"end", {{"line", 0}, {"character", 0}}}}},
      {"selectionRange",
       {{"start", {{"line", 0}, {"character", 0}}}, {"end", {{"line", 0}, {"character", 0}}}}}};
  EXPECT_TRUE(client_->Result("callHierarchy/incomingCalls", Json{{"item", item}}).empty());
  Finish();
}

TEST_F(LspTest, LongLinesAndBinaryFilesAreAnalysedLikeAnyOther) {
  std::string src = dir_.path + "/src";
  ASSERT_EQ(0, system(("mkdir -p '" + src + "'").c_str()));
  std::string longline = "int long_one(void) { return 0; }" + std::string(300000, ' ') + "\n";
  WriteFile(src + "/long.c", longline + "int after_long(void)\n{\n    return long_one();\n}\n");
  std::string binary;
  for (int i = 0; i < 70000; i++) binary += (char)((i * 7919) & 0xFF);
  WriteFile(src + "/binary.c", binary);
  Start(src);
  Json syms = client_->Result("workspace/symbol", Json{{"query", "after_long"}});
  ASSERT_EQ(1u, syms.size());
  Json out = client_->Result("callHierarchy/outgoingCalls", Json{{"item", ItemAt("long.c", 3, 5)}});
  ASSERT_EQ(1u, out.size());
  EXPECT_EQ("long_one", out[0]["to"]["name"]);
  EXPECT_TRUE(client_->Result("textDocument/documentSymbol", Doc("binary.c")).is_array());
  Finish();
}

TEST_F(LspTest, RequestsWaitingForTheAnalysisCanBeCancelled) {
  // Many sources, so the analysis is still running when the requests come;
  // the requests and the cancellation arrive with initialize in one write,
  // ahead of the analysis's end in the server's queue.
  std::string src = dir_.path + "/many";
  ASSERT_EQ(0, system(("mkdir -p '" + src + "'").c_str()));
  for (int i = 0; i < 300; i++)
    WriteFile(src + "/f" + std::to_string(i) + ".c",
              "int f" + std::to_string(i) + "(void)\n{\n    return f0();\n}\n");
  root_ = src;
  client_.reset(new LspClient(
      {"--ini", dir_.path + "/none.ini"},
      {"HOME=" + dir_.path, "XDG_DESKTOP_DIR=" + dir_.path + "/desk",
       "XDG_CACHE_HOME=" + dir_.path + "/cache", "VELMORA_TRACE=" + dir_.path + "/trace.txt"}));
  auto frame = [](const Json &m) {
    std::string b = m.dump();
    return "Content-Length: " + std::to_string(b.size()) + "\r\n\r\n" + b;
  };
  client_->SendBytes(
      frame(Json{{"jsonrpc", "2.0"},
                 {"id", 1},
                 {"method", "initialize"},
                 {"params", {{"rootUri", PathToUri(src)}, {"capabilities", Json::object()}}}}) +
      frame(Json{{"jsonrpc", "2.0"},
                 {"id", 2},
                 {"method", "textDocument/definition"},
                 {"params", At("f1.c", 2, 12)}}) +
      frame(Json{{"jsonrpc", "2.0"},
                 {"id", 3},
                 {"method", "textDocument/definition"},
                 {"params", At("f1.c", 2, 12)}}) +
      frame(Json{{"jsonrpc", "2.0"}, {"method", "$/cancelRequest"}, {"params", {{"id", 2}}}}));
  Json cancelled = client_->Response(2);
  EXPECT_EQ(-32800, ErrorCode(cancelled)) << cancelled.dump();
  Json answered = client_->Response(3);
  ASSERT_TRUE(answered.contains("result")) << answered.dump();
  EXPECT_EQ(1u, answered["result"].size());
  Finish();
}

}  // namespace
}  // namespace velmora_test
