// libs: fw_multiplayer
// One frame of the network lobby's connection page (its loop's pass:
// events, clicks, the buttons and the page flip, the display's wait left
// out), against copying one full 640x480 frame in the
// same run.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <string>

#include "bench/frame_copy.hpp"
#include "bench/sample_data.hpp"
#include "bench/bench_main.hpp"
#include "data/users.hpp"
#include "engine/globals.hpp"
#include "engine/screen.hpp"
#include "engine/surfaces.hpp"
#include "multiplayer/session/direct_play.hpp"
#include "multiplayer/lobby/game_setting.hpp"
#include "multiplayer/lobby/lobby.hpp"
#include "platform/input/window.hpp"
#include "platform/runtime/clock.hpp"
#include "tests/multiplayer/net_env.hpp"

namespace {

void OpenDisplay() {
  fwbench::OpenSampleData();
  fw::DDraw = std::make_shared<plat::DirectDraw>();
  fw::DDraw->SetDisplayMode(640, 480, 16, 0, 0);
  if (!fw::CreatePrimaryAndBackBuffer(fw::Primary, fw::BackBuffer, fw::DDraw)) std::abort();
  fw::Users->NowUser = 1;
}

void BM_LobbyFrame(benchmark::State& state) {
  OpenDisplay();
  // The display's refresh wait is not the lobby's cost.
  plat::FixClock(1000);
  fw::FrmMultiMenuClass lobby;
  lobby.Open();
  for (auto _ : state) {
    plat::DoEvents();
    lobby.ChkClick();
    lobby.PaintIT();
  }
  fw::ReleaseDPlay();
  plat::UnfixClock();
}
BENCHMARK(BM_LobbyFrame);

// Time per iteration: one Refresh until the game hosted here is listed.
// Counters: the longest gap between two lobby frames during the Refresh,
// and the rows listed.
void BM_RefreshListsAGameOnThisMachine(benchmark::State& state) {
  OpenDisplay();
  fwtest::LoopbackNetwork net;
  fw::qelDirectPlay host;
  if (!host.Init() || !host.OpenConnection(1) || !host.CreateNew("Ann", 0)) {
    state.SkipWithError("no game could be hosted");
    return;
  }
  fw::FrmMultiMenuClass lobby;
  lobby.Open();
  fw::DPlay().OpenConnection(1);
  using Clock = std::chrono::steady_clock;
  Clock::time_point last{};
  double longest = 0;
  // Every frame of the lobby begins with a pump of the window's events.
  plat::SetTestDriver([&] {
    const Clock::time_point now = Clock::now();
    if (last != Clock::time_point{})
      longest = std::max(longest, std::chrono::duration<double, std::milli>(now - last).count());
    last = now;
  });
  int64_t rows = 0;
  for (auto _ : state) {
    last = Clock::now();
    lobby.UpdateSession();
    longest = std::max(longest, std::chrono::duration<double, std::milli>(Clock::now() - last).count());
    rows = lobby.SessionList().Count();
    if (rows != 1) state.SkipWithError("the game was not listed");
  }
  plat::SetTestDriver(nullptr);
  state.counters["longest_gap_ms"] = longest;
  state.counters["rows"] = static_cast<double>(rows);
  fw::ReleaseDPlay();
}
BENCHMARK(BM_RefreshListsAGameOnThisMachine)->Unit(benchmark::kMillisecond)->Iterations(fwbench::Times(10));

// Time per iteration: the map list of a fresh lobby's new-game page, every
// map of the sample data read once to see that a network game can be
// played on it. Counter: the maps offered.
void BM_MapListOfAFreshLobby(benchmark::State& state) {
  fwbench::OpenSampleData();
  fw::GameSetting.ModeName = "Death Battle";
  int64_t rows = 0;
  for (auto _ : state) {
    fw::FrmMultiMenuClass lobby;
    fw::qelListBox list;
    lobby.LoadMapList(list);
    rows = list.Count();
  }
  state.counters["maps"] = static_cast<double>(rows);
}
BENCHMARK(BM_MapListOfAFreshLobby)->Unit(benchmark::kMillisecond);

using fwbench::BM_FullFrameCopy;
BENCHMARK(BM_FullFrameCopy);

}  // namespace

FW_BENCHMARK_MAIN()
