#pragma once
// The yardstick the frame benchmarks are read against: one 640x480 frame
// copied whole onto another, as the present does.
#include <benchmark/benchmark.h>

#include "platform/display/surface.hpp"

namespace fwbench {

inline void BM_FullFrameCopy(benchmark::State& state) {
  plat::Surface from(640, 480), to(640, 480);
  const plat::RECT whole{0, 0, 640, 480};
  for (auto _ : state) {
    to.BltFast(0, 0, &from, &whole, plat::DDBLTFAST_WAIT);
    benchmark::ClobberMemory();
  }
}

}  // namespace fwbench
