// libs: fw_battle
// Loading the campaign's map with the most buildings, with its tables and
// pictures, against reading the same members' bytes and against map A
// loaded the same way, all in the same run: the extra buildings should cost
// little beside the pictures both share, and the whole load must stay well
// under a second.
#include <benchmark/benchmark.h>

#include <string>

#include "bench/map_load_members.hpp"
#include "bench/bench_main.hpp"

namespace {

// Found among the twenty sample maps, so the figure follows the data.
const std::string& LargestMap() {
  static const std::string largest = [] {
    fwbench::OpenSampleData();
    std::string best = "MapA";
    size_t most = 0;
    for (char letter = 'A'; letter <= 'T'; ++letter) {
      const std::string map = std::string("Map") + letter;
      fw::BattleState w;
      if (fw::LoadHeadlessWorld(w, map) && w.Builds.size() > most) {
        most = w.Builds.size();
        best = map;
      }
    }
    return best;
  }();
  return largest;
}

void BM_ReadLargestMapsMembersFromArchives(benchmark::State& state) {
  fwbench::ReadMembersByCopies(state, LargestMap());
  state.SetLabel(LargestMap());
}
BENCHMARK(BM_ReadLargestMapsMembersFromArchives)->Unit(benchmark::kMillisecond);

void BM_LoadMapA(benchmark::State& state) { fwbench::LoadMapWithPictures(state, "MapA"); }
BENCHMARK(BM_LoadMapA)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_LoadLargestMap(benchmark::State& state) {
  fwbench::LoadMapWithPictures(state, LargestMap());
  state.SetLabel(LargestMap());
}
BENCHMARK(BM_LoadLargestMap)->Unit(benchmark::kMillisecond)->UseRealTime();

// The same with the loading screen shown as it is drawn: a line and a bar
// for each building. Under an X server (DISPLAY set) this includes the
// display server's side; without one SDL's dummy driver stands in.
void BM_LoadLargestMapOnScreen(benchmark::State& state) {
  fwbench::LoadMapWithPictures<fwbench::PrimaryProgress>(state, LargestMap());
  state.SetLabel(LargestMap());
}
BENCHMARK(BM_LoadLargestMapOnScreen)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

FW_BENCHMARK_MAIN()
