// libs: fw_factory
// The maintenance hall on the sample data, against copying one full 640x480
// frame in the same run:
// - a hall frame while walking (hall, the tank turning on its platform,
//   four robots, no page over it) must reach 200 frames per second;
// - entering the factory (the loading screen to the first hall frame) must
//   take under a second.
// Each reports its cost in full-frame copies ("copies") beside its own
// figures.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <memory>

#include "bench/factory_player.hpp"
#include "bench/frame_copy.hpp"
#include "bench/sample_data.hpp"
#include "bench/bench_main.hpp"
#include "data/users.hpp"
#include "engine/globals.hpp"
#include "factory/factory_screen.hpp"
#include "platform/display/surface.hpp"
#include "platform/runtime/clock.hpp"

namespace {

void Prepare() {
  static const bool ready = [] {
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    fwbench::OpenSampleData();
    fw::Users->File = fw::AppPath + "\\User.INI";
    fw::Users->EQUFile = fw::AppPath + "\\user1.DAT";
    fwbench::GiveFactoryPlayer(5000);
    return true;
  }();
  (void)ready;
}

// Nanoseconds of one full-frame copy, measured here and now.
double CopyNanoseconds() {
  plat::Surface from(640, 480), to(640, 480);
  const plat::RECT whole{0, 0, 640, 480};
  constexpr int kCopies = 2000;
  const auto t0 = std::chrono::steady_clock::now();
  for (int i = 0; i < kCopies; ++i) {
    to.BltFast(0, 0, &from, &whole, plat::DDBLTFAST_WAIT);
    benchmark::ClobberMemory();
  }
  return std::chrono::duration<double, std::nano>(std::chrono::steady_clock::now() - t0).count() / kCopies;
}

std::unique_ptr<fw::FrmFactoryClass> NewFactory() {
  auto factory = std::make_unique<fw::FrmFactoryClass>();
  factory->Present = std::make_shared<plat::Surface>(640, 480);
  factory->ShowMessage = [](const std::string&) {};
  return factory;
}

void Report(benchmark::State& state, double nanosecondsEach, double copy) {
  state.counters["copies"] = nanosecondsEach / copy;
  state.counters["ms"] = nanosecondsEach / 1e6;
}

using fwbench::BM_FullFrameCopy;
BENCHMARK(BM_FullFrameCopy);

void BM_HallFrame(benchmark::State& state) {
  Prepare();
  auto factory = NewFactory();
  if (!factory->Enter()) {
    state.SkipWithError("the hall cannot be entered");
    return;
  }
  // The scene's clock runs as it would: the platform turns with real time.
  plat::UnfixClock();
  for (int i = 0; i < 20; ++i) factory->RenderFrame();
  const double copy = CopyNanoseconds();
  const auto t0 = std::chrono::steady_clock::now();
  for (auto _ : state) factory->RenderFrame();
  const double each = std::chrono::duration<double, std::nano>(std::chrono::steady_clock::now() - t0).count() /
                      static_cast<double>(state.iterations());
  Report(state, each, copy);
  state.counters["fps"] = 1e9 / each;
}
BENCHMARK(BM_HallFrame)->Unit(benchmark::kMillisecond)->MinTime(fwbench::MinSeconds(2.0));

void BM_EnterFactory(benchmark::State& state) {
  Prepare();
  const double copy = CopyNanoseconds();
  double total = 0;
  for (auto _ : state) {
    const auto t0 = std::chrono::steady_clock::now();
    auto factory = NewFactory();
    if (!factory->Enter()) {
      state.SkipWithError("the hall cannot be entered");
      return;
    }
    factory->RenderFrame();
    const double ns = std::chrono::duration<double, std::nano>(std::chrono::steady_clock::now() - t0).count();
    state.SetIterationTime(ns / 1e9);
    total += ns;
    state.PauseTiming();
    factory.reset();
    state.ResumeTiming();
  }
  Report(state, total / static_cast<double>(state.iterations()), copy);
}
BENCHMARK(BM_EnterFactory)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(fwbench::Times(10));

}  // namespace

FW_BENCHMARK_MAIN()
