// libs: fw_multiplayer
// One frame of the network lobby's connection page (its loop's pass:
// events, clicks, the buttons and the page flip, the display's wait left
// out), against copying one full 640x480 frame in the
// same run.
#include <benchmark/benchmark.h>

#include <memory>

#include "bench/frame_copy.hpp"
#include "bench/sample_data.hpp"
#include "data/users.hpp"
#include "engine/globals.hpp"
#include "engine/screen.hpp"
#include "engine/surfaces.hpp"
#include "multiplayer/direct_play.hpp"
#include "multiplayer/lobby.hpp"
#include "platform/input/window.hpp"
#include "platform/runtime/clock.hpp"

namespace {

struct Done {};

void BM_LobbyFrame(benchmark::State& state) {
  fwbench::OpenSampleData();
  plat::FixClock(1000);
  fw::DDraw = std::make_shared<plat::DirectDraw>();
  fw::DDraw->SetDisplayMode(640, 480, 16, 0, 0);
  if (!fw::CreatePrimaryAndBackBuffer(fw::Primary, fw::BackBuffer, fw::DDraw)) std::abort();
  fw::Users->NowUser = 1;
  fw::FrmMultiMenuClass lobby;
  lobby.Open();
  for (auto _ : state) {
    plat::DoEvents();
    lobby.ChkClick();
    lobby.PaintIT();
  }
  fw::ReleaseDPlay();
}
BENCHMARK(BM_LobbyFrame);

using fwbench::BM_FullFrameCopy;
BENCHMARK(BM_FullFrameCopy);

}  // namespace

BENCHMARK_MAIN();
