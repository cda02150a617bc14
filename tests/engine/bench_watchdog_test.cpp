#include "bench/watchdog.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace {

// A benchmark that never ends: the deadline ends its program, naming the
// benchmark after the last one that reported, with a failing status.
TEST(BenchWatchdog, AHungBenchmarkEndsTheProgramNamingIt) {
  EXPECT_EXIT(
      {
        fwbench::Watchdog dog("bench_x", {"BM_First", "BM_Second/iterations:1", "BM_Third"},
                              std::chrono::milliseconds(200));
        dog.Finished("BM_First");
        for (;;) std::this_thread::sleep_for(std::chrono::seconds(1));
      },
      ::testing::ExitedWithCode(fwbench::kHungStatus),
      "bench_x: BM_Second/iterations:1 did not finish within 0.2 s");
}

TEST(BenchWatchdog, TheFirstBenchmarkIsWatchedFromTheStart) {
  EXPECT_EXIT(
      {
        fwbench::Watchdog dog("bench_y", {"BM_Only"}, std::chrono::milliseconds(100));
        for (;;) std::this_thread::sleep_for(std::chrono::seconds(1));
      },
      ::testing::ExitedWithCode(fwbench::kHungStatus), "bench_y: BM_Only did not finish");
}

}  // namespace
