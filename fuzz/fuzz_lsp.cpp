// Fuzz target of the language server: the message reader and the dispatcher
// behind it, with every request, notification and edit reaching a server
// that has analysed a small project (a UTF-8, a Shift_JIS and a C++ source).
// Each input is a byte stream as a client sends it; the server is made anew
// after an input ended it (exit) or shut it down.
#include "fuzz/fuzz_lsp.h"
#include "fuzz/fuzz_support.h"  // VELMORA_FUZZ_ENTRY

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <string>

#include "lsp/framing.h"
#include "lsp/server.h"
#include "lsp/uri.h"


namespace velmora_fuzz {
namespace {

[[noreturn]] void Fail(const std::string &what) {
  fprintf(stderr, "velmora fuzz: %s\n", what.c_str());
  abort();
}

struct MemorySource : ByteSource {
  std::string bytes;
  size_t at = 0;
  long Read(char *buf, size_t cap) override {
    size_t n = std::min(cap, bytes.size() - at);
    memcpy(buf, bytes.data() + at, n);
    at += n;
    return (long)n;
  }
};

// The process's project, server and queues.
struct Fixture {
  std::string dir;   // private folder: project/, home, desktop
  std::string root;  // project folder
  EventQueue events;
  Outbox out{-1};
  std::unique_ptr<Server> server;
};

Fixture *g_fx = nullptr;

void Write(const std::string &path, const std::string &bytes) {
  FILE *f = fopen(path.c_str(), "wb");
  if (!f || fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size()) Fail("cannot write " + path);
  fclose(f);
}

// Every message written so far must be a JSON-RPC message.
void CheckOutput() {
  for (const std::string &m : g_fx->out.Taken()) {
    Json j;
    std::string version;
    if (!ParseJson(m, &j) || !GetString(j, "jsonrpc", &version) || version != "2.0")
      Fail("the server wrote something that is no JSON-RPC message: " + m.substr(0, 200));
  }
}

// Runs the main thread's events until no job of the server runs.
void Settle() {
  std::function<void()> fn;
  for (;;) {
    while (g_fx->events.TryTake(&fn)) fn();
    if (!g_fx->server->Busy()) break;
    g_fx->events.Wait()();
  }
  CheckOutput();
}

void StartServer() {
  if (g_fx->server) {
    g_fx->server->Stop();
    // Reports posted before the stop still name the old server.
    std::function<void()> fn;
    while (g_fx->events.TryTake(&fn)) fn();
  }
  g_fx->server.reset(new Server(&g_fx->out, &g_fx->events, g_fx->dir + "/none.ini"));
  Json init{{"jsonrpc", "2.0"},
            {"id", 0},
            {"method", "initialize"},
            {"params",
             {{"rootUri", PathToUri(g_fx->root)},
              {"capabilities",
               {{"window", {{"workDoneProgress", true}}},
                {"workspace", {{"didChangeWatchedFiles", {{"dynamicRegistration", true}}}}}}},
              {"initializationOptions", {{"jobs", 1}}}}}};
  g_fx->server->OnBody(init.dump());
  g_fx->server->OnBody(R"({"jsonrpc":"2.0","method":"initialized","params":{}})");
  Settle();
}

void Init() {
  if (g_fx) return;
  g_fx = new Fixture();
  const char *tmp = getenv("TMPDIR");
  std::string tmpl = std::string(tmp && *tmp ? tmp : "/tmp") + "/velmora-fuzz-lsp-XXXXXX";
  if (!mkdtemp(&tmpl[0])) Fail("no private folder");
  g_fx->dir = tmpl;
  g_fx->root = tmpl + "/project";
  setenv("HOME", tmpl.c_str(), 1);
  setenv("XDG_DESKTOP_DIR", (tmpl + "/desk").c_str(), 1);
  setenv("XDG_CONFIG_HOME", tmpl.c_str(), 1);
  if (system(("mkdir -p '" + g_fx->root + "/sub'").c_str()) != 0) Fail("no project folder");
  Write(g_fx->root + "/a.c",
        "/* caf\xC3\xA9 */ int a_main(void)\n{\n    return b_leaf(1) + missing();\n}\n");
  Write(g_fx->root + "/sub/b.c",
        "/* \x93\xfa\x96\x7b */ int b_leaf(int x)\n{\n    /* \x95\x5c */ return a_main();\n}\n");
  Write(g_fx->root + "/c.cpp", "struct S { int m(); };\nint S::m()\n{\n    return b_leaf(2);\n}\n");
  StartServer();
}

}  // namespace

int FuzzLspStream(const uint8_t *data, size_t size) {
  Init();
  MemorySource src;
  src.bytes.assign((const char *)data, size);
  // The fixed project's folder stands in for "file:///W/".
  std::string uri = PathToUri(g_fx->root) + "/";
  for (size_t at = src.bytes.find("file:///W/"); at != std::string::npos;
       at = src.bytes.find("file:///W/", at + uri.size()))
    src.bytes.replace(at, 10, uri);
  FrameReader reader(&src);
  std::string body, why;
  while (reader.Next(&body, &why) == FrameStatus::kMessage) {
    g_fx->server->OnBody(body);
    Settle();
    if (!g_fx->server->Running()) StartServer();
  }
  return 0;
}

VELMORA_FUZZ_ENTRY(FuzzLspStream)

}  // namespace velmora_fuzz
