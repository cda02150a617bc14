// libs: fw_battle
// Loading the campaign's map with the most buildings, with its tables and
// pictures, against map A loaded the same way in the same run: the extra
// buildings should cost little beside the pictures both share, and the
// whole load must stay well under a second.
#include <benchmark/benchmark.h>

#include <cstdlib>

#include "battle/loaders.hpp"
#include "battle/surface_pictures.hpp"
#include "bench/sample_data.hpp"

namespace {

void LoadMap(benchmark::State& state, const char* map) {
  fwbench::OpenSampleData();
  size_t buildings = 0;
  for (auto _ : state) {
    fw::BattleState w;
    fw::SurfacePictures pictures;
    fw::NullLoadProgress progress;
    if (!fw::LoadBattleWorld(w, pictures, progress, map)) std::abort();
    buildings = w.Builds.size();
    benchmark::DoNotOptimize(buildings);
  }
  state.counters["buildings"] = static_cast<double>(buildings);
}

void BM_LoadMapA(benchmark::State& state) { LoadMap(state, "MapA"); }
BENCHMARK(BM_LoadMapA)->Unit(benchmark::kMillisecond);

// The hostage's town: 440 buildings, as many as the rebels' base of map C.
void BM_LoadMapO(benchmark::State& state) { LoadMap(state, "MapO"); }
BENCHMARK(BM_LoadMapO)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
