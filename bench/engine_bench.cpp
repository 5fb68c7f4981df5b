// Engine throughput: loads and parses every .c and .h file below a folder
// (registration, then ANA_Exec until every source is reported), with the
// debug log off, and prints MB/s, the functions and calls found, and the
// peak memory of the process. Usage: bench_engine [FOLDER [REPEAT [YIELD]]];
// without a folder it takes the corpus that bench/fetch-corpus prepares, if
// present. YIELD is the parser's statements between yields of the processor
// (64, as in the desktop program; 0 never, as in velmora-cli).
// bench-links: velmora_engine
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/ana.h"
#include "engine/record_walk.h"
#include "foundation/cb.h"
#include "foundation/log.h"
#include "foundation/settings.h"
#include "platform/sys.h"

namespace fs = std::filesystem;

namespace {

// User plus system time of the process so far, in seconds.
double CpuSeconds(void) {
  struct rusage ru;
  getrusage(RUSAGE_SELF, &ru);
  return ru.ru_utime.tv_sec + ru.ru_stime.tv_sec +
         (ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e6;
}

struct Totals {
  long long functions = 0;
  long long calls = 0;
};

Totals Count(void) {
  Totals t;
  ForEachFunction([&t](const ST_FUNC *f) {
    t.functions++;
    t.calls += f->calls.count;
  });
  return t;
}

}  // namespace

// The folder bench/fetch-corpus unpacks into.
std::string DefaultCorpus(void) {
  const char *cache = GetEnv("VELMORA_BENCH_CACHE");
  const char *home = GetEnv("HOME");
  std::string base =
      cache && *cache ? cache : std::string(home ? home : "") + "/.cache/velmora-bench";
  return base + "/linux-source-6.1";
}

int main(int argc, char **argv) {
  std::string folder = argc > 1 ? argv[1] : DefaultCorpus();
  if (argc < 2 && !fs::is_directory(folder)) {
    printf("skipped: no corpus at %s (run bench/fetch-corpus, or name a folder)\n", folder.c_str());
    return 0;
  }
  int repeat = argc > 2 ? std::max(1, atoi(argv[2])) : 1;
  // Statements between two yields of the processor: the desktop worker's 64.
  int yield_every = argc > 3 ? std::max(0, atoi(argv[3])) : 64;
  std::vector<std::string> paths;
  long long bytes = 0;
  std::error_code ec;
  for (auto it = fs::recursive_directory_iterator(folder, ec);
       !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
    if (!it->is_regular_file(ec)) continue;
    std::string ext = it->path().extension().string();
    if (ext != ".c" && ext != ".h") continue;
    paths.push_back(it->path().string());
    bytes += (long long)it->file_size(ec);
  }
  std::sort(paths.begin(), paths.end());
  if (paths.empty()) {
    fprintf(stderr, "%s: no .c or .h file below %s\n", argv[0], folder.c_str());
    return 1;
  }

  ResetConfiguration();
  LogSetLevel(0);  // DEBUG_LOG 0: no channel is open, so nothing is written
  if (!CreateANA()) {
    fprintf(stderr, "%s: CreateANA failed\n", argv[0]);
    return 1;
  }
  double best = 1e30, best_cpu = 1e30;
  Totals totals;
  for (int r = 0; r < repeat; r++) {
    ANA_SourceRelease();
    CB list = {};
    CB_Init(&list);
    for (const std::string &p : paths) AddCB(&list, p.c_str(), (int)p.size() + 1);
    double c0 = CpuSeconds();
    auto t0 = std::chrono::steady_clock::now();
    ANA_SourceCreateAll(nullptr, &list);
    ANA_EXEC exec = {};
    ANA_ExecBegin(&exec);
    exec.yield_every = yield_every;
    char name[260] = "";
    while (ANA_Exec(&exec, nullptr, name, 0) != -2) {
    }
    ANA_ExecRelease(&exec);
    auto t1 = std::chrono::steady_clock::now();
    best_cpu = std::min(best_cpu, CpuSeconds() - c0);
    CB_Init(&list);
    best = std::min(best, std::chrono::duration<double>(t1 - t0).count());
    totals = Count();
  }
  struct rusage ru;
  getrusage(RUSAGE_SELF, &ru);
  printf("files      %zu\n", paths.size());
  printf("bytes      %lld (%.1f MB)\n", bytes, bytes / 1e6);
  printf("time       %.3f s (best of %d)\n", best, repeat);
  printf("throughput %.1f MB/s (wall clock)\n", bytes / 1e6 / best);
  // On a shared machine the wall clock includes time given to others (the
  // parser yields the processor now and then); CPU time is the one-core rate.
  printf("cpu        %.3f s, %.1f MB/s\n", best_cpu, bytes / 1e6 / best_cpu);
  printf("yield      every %d statements%s\n", yield_every, yield_every ? "" : " (never)");
  printf("functions  %lld\n", totals.functions);
  printf("calls      %lld\n", totals.calls);
  printf("peak RSS   %.1f MB\n", ru.ru_maxrss / 1024.0);
  ReleaseANA();
  return 0;
}
