// A real project analysed and linked the way the analysis job does it, for
// the benchmarks that measure what comes after (trees, queries): every .c
// and .h file below a folder, in name order.
#pragma once

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/ana.h"
#include "foundation/cb.h"
#include "xref/xref.h"

namespace bench {

struct Corpus {
  size_t files = 0;     // sources analysed
  long long bytes = 0;  // their size
  double seconds = 0;   // analysing and linking them
};

// Analyses and links every .c and .h file below dir into ANA (created by
// the caller). files 0 when there is none.
inline Corpus AnalyseCorpus(const std::string &dir) {
  namespace fs = std::filesystem;
  Corpus c;
  std::vector<std::string> paths;
  std::error_code ec;
  for (auto it = fs::recursive_directory_iterator(dir, ec);
       !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
    std::string ext = it->path().extension().string();
    if (!it->is_regular_file(ec) || (ext != ".c" && ext != ".h")) continue;
    paths.push_back(it->path().string());
    c.bytes += (long long)it->file_size(ec);
  }
  std::sort(paths.begin(), paths.end());
  c.files = paths.size();
  if (paths.empty()) return c;
  auto t0 = std::chrono::steady_clock::now();
  CB list = {};
  CB_Init(&list);
  for (const std::string &p : paths) AddCB(&list, p.c_str(), (int)p.size() + 1);
  ANA_SourceCreateAll(nullptr, &list);
  CB_Init(&list);
  ANA_EXEC exec = {};
  ANA_ExecBegin(&exec);
  char text[260] = "";
  while (ANA_Exec(&exec, nullptr, text, 0) != -2) {
  }
  ANA_ExecRelease(&exec);
  ANA_MakeFunctionList(nullptr);
  ANA_BeginCallList();
  while (ANA_LinkNextSource(nullptr) != -1) {
  }
  ANA_UpdateCalledColumn(nullptr);
  c.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  return c;
}

}  // namespace bench
