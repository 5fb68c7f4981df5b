// Timing for the benchmarks that ask the same question several times: the
// median and the slowest of the runs, one line a figure, in a form the
// benchmark scripts read ("name  median N ms  slowest N ms  (answers)").
#pragma once

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

namespace bench {

// Milliseconds since t0.
inline double Ms(std::chrono::steady_clock::time_point t0) {
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
}

// Prints the median and the slowest of ms (not empty).
inline void PrintTimes(const char *what, std::vector<double> ms, size_t answers) {
  std::sort(ms.begin(), ms.end());
  printf("%-44s median %9.2f ms  slowest %9.2f ms  (%zu answers)\n", what, ms[ms.size() / 2],
         ms.back(), answers);
  fflush(stdout);
}

// Runs fn (which returns how many answers it had) `runs` times and prints
// the figures.
template <typename Fn>
void Time(const char *what, int runs, Fn fn) {
  std::vector<double> ms;
  size_t answers = 0;
  for (int r = 0; r < runs; r++) {
    auto t0 = std::chrono::steady_clock::now();
    answers = fn();
    ms.push_back(Ms(t0));
  }
  PrintTimes(what, ms, answers);
}

}  // namespace bench
