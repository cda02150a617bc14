// libs: fw_battle
// Loading the campaign's map with the most buildings, with its tables and
// pictures, against reading the same members' bytes and against map A
// loaded the same way, all in the same run: the extra buildings should cost
// little beside the pictures both share, and the whole load must stay well
// under a second.
#include <benchmark/benchmark.h>

#include "bench/map_load_members.hpp"

namespace {

// The hostage's town: 440 buildings, as many as the rebels' base of map C.
void BM_ReadMapOMembersFromArchives(benchmark::State& state) { fwbench::ReadMembersByCopies(state, "MapO"); }
BENCHMARK(BM_ReadMapOMembersFromArchives)->Unit(benchmark::kMillisecond);

void BM_LoadMapA(benchmark::State& state) { fwbench::LoadMapWithPictures(state, "MapA"); }
BENCHMARK(BM_LoadMapA)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_LoadMapO(benchmark::State& state) { fwbench::LoadMapWithPictures(state, "MapO"); }
BENCHMARK(BM_LoadMapO)->Unit(benchmark::kMillisecond)->UseRealTime();

// The same with the loading screen shown as it is drawn: a line and a bar
// for each of the 440 buildings. Under an X server (DISPLAY set) this
// includes the display server's side; without one SDL's dummy driver
// stands in.
void BM_LoadMapOOnScreen(benchmark::State& state) {
  fwbench::LoadMapWithPictures<fwbench::PrimaryProgress>(state, "MapO");
}
BENCHMARK(BM_LoadMapOOnScreen)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
