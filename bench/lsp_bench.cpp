// bench-links: velmora_lsp
// velmora-lsp on a large tree, through a JSON-RPC client as an editor would
// drive it: the time from the start to the first answer (a request sent right
// after initialize waits for the analysis), workspace/symbol latency,
// incoming and outgoing calls of a widely called function, and the time an
// edit takes to show (didChange, then workspace/symbol until the new function
// is found). Prints one line per figure: "name median_ms slowest_ms (answers)".
//
//   bench_lsp PROGRAM CORPUS_DIR INI [CALLEE=kfree] [RUNS=9]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "lsp/lsp_client.h"
#include "lsp/uri.h"
#include "support/testenv.h"
#include "support_timing.h"

using velmora_test::Json;
using velmora_test::LspClient;

using bench::Ms;
using bench::PrintTimes;
using bench::Time;

int main(int argc, char **argv) {
  if (argc < 4) {
    fprintf(stderr, "usage: bench_lsp PROGRAM CORPUS_DIR INI [CALLEE] [RUNS]\n");
    return 2;
  }
  std::string program = argv[1], corpus = argv[2], ini = argv[3];
  std::string callee = argc > 4 ? argv[4] : "kfree";
  int runs = argc > 5 ? atoi(argv[5]) : 9;
  if (runs < 1) runs = 1;

  auto t0 = std::chrono::steady_clock::now();
  LspClient c({"--ini", ini}, {}, "", program);
  if (!c.Started()) return 1;
  Json init = c.Request("initialize",
                        Json{{"rootUri", PathToUri(corpus)}, {"capabilities", Json::object()}});
  if (!init.contains("result")) return 1;
  c.Notify("initialized", Json::object());
  // The first answer that needs the whole analysis (a request sent at once,
  // which waits for it; workspace/symbol would answer from what is parsed).
  Json def = c.Result("textDocument/documentSymbol",
                      Json{{"textDocument", {{"uri", PathToUri(corpus + "/mm/slab_common.c")}}}});
  std::vector<double> start{Ms(t0)};
  PrintTimes("start to first answer (documentSymbol)", start, def.size());

  const char *queries[] = {"k", "kf", "kfree", "mutex_lock", "init", "_tick", "no_such_name"};
  for (const char *qy : queries) {
    std::string what = std::string("workspace/symbol \"") + qy + "\"";
    Time(what.c_str(), runs, [&] {
      return c.Result("workspace/symbol", Json{{"query", qy}}).size();
    });
  }

  Json hits = c.Result("workspace/symbol", Json{{"query", callee}});
  if (!hits.is_array() || hits.empty() || hits[0]["name"] != callee) {
    fprintf(stderr, "bench_lsp: no function %s\n", callee.c_str());
    return 1;
  }
  Json loc = hits[0]["location"];
  Json item =
      c.Result("textDocument/prepareCallHierarchy",
               Json{{"textDocument", {{"uri", loc["uri"]}}}, {"position", loc["range"]["start"]}});
  if (!item.is_array() || item.empty()) return 1;
  std::string what = "incomingCalls " + callee;
  Time(what.c_str(), runs, [&] {
    return c.Result("callHierarchy/incomingCalls", Json{{"item", item[0]}}).size();
  });
  what = "outgoingCalls " + callee;
  Time(what.c_str(), runs, [&] {
    return c.Result("callHierarchy/outgoingCalls", Json{{"item", item[0]}}).size();
  });

  // Edits: the file that defines the callee (every call of its name is
  // linked again), then an ordinary one; each edit adds a function, and the
  // time runs until workspace/symbol finds it.
  std::string callee_path;
  UriToPath(loc["uri"].get<std::string>(), &callee_path);
  for (const std::string &path : {callee_path, corpus + "/kernel/fork.c"}) {
    std::string text = velmora_test::ReadFile(path);
    std::string uri = PathToUri(path);
    c.Notify("textDocument/didOpen",
             Json{{"textDocument",
                   {{"uri", uri}, {"languageId", "c"}, {"version", 1}, {"text", text}}}});
    c.Result("workspace/symbol", Json{{"query", "x"}});
    std::vector<double> ms;
    for (int r = 0; r < runs; r++) {
      std::string name = "velmora_bench_added_" + std::to_string(r);
      std::string changed =
          text + "\nint " + name + "(void)\n{\n    return " + callee + "(0);\n}\n";
      auto e0 = std::chrono::steady_clock::now();
      c.Notify("textDocument/didChange",
               Json{{"textDocument", {{"uri", uri}, {"version", r + 2}}},
                    {"contentChanges", Json::array({{{"text", changed}}})}});
      Json found = c.Result("workspace/symbol", Json{{"query", name}});
      ms.push_back(Ms(e0));
      if (found.size() != 1)
        fprintf(stderr, "bench_lsp: %s not found after the edit\n", name.c_str());
    }
    what = "edit to answer (" + path.substr(corpus.size() + 1) + ")";
    PrintTimes(what.c_str(), ms, 1);
    c.Notify("textDocument/didClose", Json{{"textDocument", {{"uri", uri}}}});
  }
  c.Result("shutdown", nullptr);
  c.Notify("exit", nullptr);
  return c.Wait() == 0 ? 0 : 1;
}
