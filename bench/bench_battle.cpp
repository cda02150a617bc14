// libs: fw_battle
// The battle simulation. One frame of a crowded battle (200 units fighting,
// 1,000 shots, 300 debris particles, 300 buildings) must take under 1 ms on
// one core, and its cost must grow less than quadratically with the number
// of units; a 20,000-frame battle must run headless in under 2 s.
// Baseline: one plain pass that reads every record the frame works on.
#include <benchmark/benchmark.h>

#include "battle/loaders.hpp"
#include "bench/sample_data.hpp"
#include "bench/bench_main.hpp"
#include "tests/battle/sim_world.hpp"

namespace {

using fw::BattleState;

struct Quiet {
  fw::NullBattleOutput out;
  fw::BattleRules rules;
  fw::BattleEnv env{out, rules};
};

// What it costs merely to touch the world: the floor under any frame.
void BM_TouchRecords(benchmark::State& state) {
  fw::simtest::FixedChance chance(1);
  const BattleState w = fw::simtest::CrowdedBattle(200, 1000, 300, 300);
  for (auto _ : state) {
    double sum = 0;
    for (const auto& u : w.Units) sum += u.PosX + u.PosY + u.HeadAngle + u.Speed;
    for (const auto& s : w.Shots) sum += s.PosX + s.PosY + s.PastRange;
    for (const auto& p : w.Debris) sum += p.PosX + p.FireCharge;
    for (const auto& b : w.Builds) sum += b.Shield + b.Frame;
    benchmark::DoNotOptimize(sum);
  }
}
BENCHMARK(BM_TouchRecords);

// One simulation frame; the crowd is restored before each so every frame
// sees the same battle.
void BM_CrowdedFrame(benchmark::State& state) {
  fw::simtest::FixedChance chance(1);
  const int32_t units = static_cast<int32_t>(state.range(0));
  const BattleState start = fw::simtest::CrowdedBattle(units, 1000, 300, 300);
  Quiet q;
  BattleState w = start;
  for (auto _ : state) {
    state.PauseTiming();
    w = start;
    state.ResumeTiming();
    fw::StepWorld(w, q.env);
    benchmark::DoNotOptimize(w.Shots.data());
  }
  state.counters["units"] = units;
}
BENCHMARK(BM_CrowdedFrame)->Arg(50)->Arg(100)->Arg(200)->Arg(400)->Unit(benchmark::kMicrosecond);

// The sample map A as loaded headless, once.
const BattleState& MapA() {
  static const BattleState map = [] {
    fwbench::OpenSampleData();
    BattleState w;
    if (!fw::LoadHeadlessWorld(w, "MapA")) std::abort();
    return w;
  }();
  return map;
}

// A five-minute battle on map A: 20,000 frames of factor 1, the effects
// aged as the screen would. Reported per battle; the frames' counter gives
// the cost of one frame against the crowded frame above.
void BM_MapABattle20000Frames(benchmark::State& state) {
  const BattleState& map = MapA();
  const int32_t units = static_cast<int32_t>(state.range(0));
  int32_t left = 0;
  for (auto _ : state) {
    fw::simtest::FixedChance chance(5);
    BattleState w = fw::simtest::MapBattle(map, 5, units);
    Quiet q;
    fw::RunHeadless(w, q.env, 20000, [](int32_t) { return 1.0f; });
    left = static_cast<int32_t>(w.Units.size());
    benchmark::DoNotOptimize(w.Units.data());
  }
  state.counters["units_left"] = left;
  state.counters["frames"] = benchmark::Counter(20000.0 * static_cast<double>(state.iterations()),
                                                benchmark::Counter::kIsRate);
}
BENCHMARK(BM_MapABattle20000Frames)->Arg(24)->Arg(60)->Unit(benchmark::kMillisecond)->Iterations(fwbench::Times(3));

}  // namespace

FW_BENCHMARK_MAIN()
