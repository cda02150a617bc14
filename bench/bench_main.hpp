#pragma once
// The main of every benchmark program: the library's own, with a deadline
// for each benchmark (see watchdog.hpp) so that bench.sh and the test command
// always end.
//
// FW_BENCH_ONCE=1 (set by the test command) runs every benchmark for one
// iteration: a check that each still runs to its end, not a measurement.
// FW_BENCH_DEADLINE_S sets the deadline of each benchmark in seconds.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "bench/scratch.hpp"
#include "bench/watchdog.hpp"

namespace fwbench {

constexpr long kDefaultDeadlineSeconds = 180;

inline bool Once() {
  const char* v = std::getenv("FW_BENCH_ONCE");
  return v && *v && std::strcmp(v, "0") != 0;
}

// For benchmarks that fix their own count or time: the count, or one.
inline benchmark::IterationCount Times(benchmark::IterationCount n) { return Once() ? 1 : n; }
// The shortest time the library accepts is above zero.
inline double MinSeconds(double s) { return Once() ? 1e-9 : s; }

// The console's report, telling the watchdog as each benchmark ends.
class WatchedReporter : public benchmark::ConsoleReporter {
 public:
  explicit WatchedReporter(Watchdog& dog) : dog_(dog) {}
  void ReportRuns(const std::vector<Run>& reports) override {
    benchmark::ConsoleReporter::ReportRuns(reports);
    if (!reports.empty()) dog_.Finished(reports.front().run_name.str());
  }

 private:
  Watchdog& dog_;
};

// The benchmarks that will run, in their order: the library's own list,
// under the filter given.
inline std::vector<std::string> BenchmarkNames(int argc, char** argv) {
  std::vector<std::string> keep = {argv[0], "--benchmark_list_tests=true"};
  for (int i = 1; i < argc; ++i)
    if (std::strncmp(argv[i], "--benchmark_filter=", 19) == 0) keep.emplace_back(argv[i]);
  std::vector<char*> args;
  for (std::string& a : keep) args.push_back(a.data());
  int n = static_cast<int>(args.size());
  benchmark::Initialize(&n, args.data());
  std::ostringstream listed;
  benchmark::ConsoleReporter lister;
  lister.SetOutputStream(&listed);
  lister.SetErrorStream(&listed);
  benchmark::RunSpecifiedBenchmarks(&lister);
  std::vector<std::string> names;
  std::istringstream lines(listed.str());
  for (std::string line; std::getline(lines, line);)
    if (!line.empty()) names.push_back(line);
  return names;
}

inline int RunWithDeadline(int argc, char** argv) {
  ScratchFolder();  // first: it removes what programs ended by their deadline left
  const char* limitText = std::getenv("FW_BENCH_DEADLINE_S");
  const long limit = limitText ? std::atol(limitText) : 0;
  std::vector<std::string> names = BenchmarkNames(argc, argv);
  std::vector<std::string> own(argv, argv + argc);
  own.insert(own.begin() + 1, "--benchmark_list_tests=false");
  if (Once()) own.insert(own.begin() + 1, "--benchmark_min_time=0");
  std::vector<char*> args;
  for (std::string& a : own) args.push_back(a.data());
  int n = static_cast<int>(args.size());
  benchmark::Initialize(&n, args.data());
  if (benchmark::ReportUnrecognizedArguments(n, args.data())) return 1;
  Watchdog dog(argv[0], std::move(names), std::chrono::seconds(limit > 0 ? limit : kDefaultDeadlineSeconds));
  WatchedReporter reporter(dog);
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}

}  // namespace fwbench

#define FW_BENCHMARK_MAIN() \
  int main(int argc, char** argv) { return fwbench::RunWithDeadline(argc, argv); }
