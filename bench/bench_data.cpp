// libs: fw_data
// The scrolling tile map: a refresh within a tile should cost one copy of
// the window, and crossing a tile a small part of drawing the whole buffer.
// Baselines: the window copy alone, and MakeMap.
#include <benchmark/benchmark.h>

#include "bench/bench_main.hpp"
#include "data/scroll_map.hpp"
#include "tests/data/data_diamond_sheet.hpp"

namespace {

constexpr int kW = datatest::kTileW, kH = datatest::kTileH, kFrames = datatest::kSheetFrames;

struct Scene {
  Scene() {
    map.Init(buffer, target, kW, kH, 80, 60, 200, 400);
    map.srcClips->Add("GR", datatest::DiamondSheet(), 1, kFrames);
    map.SetKeyIndex(1, "GR");
    fw::CellMap cells(200, 400);
    for (int y = 0; y <= 400; ++y)
      for (int x = 0; x <= 200; ++x) cells.Set(x, y, static_cast<int16_t>(256 + 1 + (x + y) % kFrames - 32768));
    map.MapPosX(50);
    map.MapPosY(100);
    map.SetMap(cells);
  }
  plat::SurfacePtr buffer = std::make_shared<plat::Surface>(800, 600);
  plat::SurfacePtr target = std::make_shared<plat::Surface>(640, 480);
  fw::ScrollMapObj map;
};

void BM_WindowCopy(benchmark::State& state) {
  Scene s;
  const plat::RECT window{80, 60, 720, 540};
  for (auto _ : state) {
    s.target->BltFast(0, 0, s.buffer.get(), &window, plat::DDBLTFAST_WAIT);
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_WindowCopy);

void BM_RefreshWithinTile(benchmark::State& state) {
  Scene s;
  int step = 1;
  for (auto _ : state) {
    s.map.OffsetX(step);
    step = -step;
    s.map.Refresh();
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_RefreshWithinTile);

void BM_RefreshCrossingTile(benchmark::State& state) {
  Scene s;
  bool right = true;
  for (auto _ : state) {
    // Alternately just short of the right and the left tile edge, one step
    // over it.
    s.map.SmallMoveX(right ? 78 : -78);
    s.map.OffsetX(right ? 4 : -4);
    right = !right;
    s.map.Refresh();
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_RefreshCrossingTile);

void BM_RefreshCrossingRows(benchmark::State& state) {
  Scene s;
  bool down = true;
  for (auto _ : state) {
    s.map.SmallMoveY(down ? 38 : -38);
    s.map.OffsetY(down ? 4 : -4);
    down = !down;
    s.map.Refresh();
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_RefreshCrossingRows);

void BM_MakeMap(benchmark::State& state) {
  Scene s;
  for (auto _ : state) {
    s.map.MakeMap();
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_MakeMap);

}  // namespace

FW_BENCHMARK_MAIN()
