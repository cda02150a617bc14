// libs: fw_battle
// Loading mission map A with its tables and pictures, against floors of
// that work measured in the same run: reading the same members' bytes from
// the archives (copied out as the archives hand members to their readers,
// and straight from the data files), and decoding the same pictures one
// after another. The load should stay within three times the first.
#include <benchmark/benchmark.h>

#include "bench/map_load_members.hpp"
#include "bench/bench_main.hpp"

namespace {

void BM_ReadMembersFromArchives(benchmark::State& state) { fwbench::ReadMembersByCopies(state, "MapA"); }
BENCHMARK(BM_ReadMembersFromArchives)->Unit(benchmark::kMillisecond);

void BM_ReadMembersInPlace(benchmark::State& state) { fwbench::ReadMembersInPlace(state, "MapA"); }
BENCHMARK(BM_ReadMembersInPlace)->Unit(benchmark::kMillisecond);

void BM_DecodePicturesInTurn(benchmark::State& state) { fwbench::DecodePicturesInTurn(state, "MapA"); }
BENCHMARK(BM_DecodePicturesInTurn)->Unit(benchmark::kMillisecond);

// Wall-clock time: the ground decodes on worker threads while this one
// places the pictures.
void BM_LoadMapAWithPictures(benchmark::State& state) { fwbench::LoadMapWithPictures(state, "MapA"); }
BENCHMARK(BM_LoadMapAWithPictures)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

FW_BENCHMARK_MAIN()
