// libs: fw_battle
// The battle screen's whole frame: the simulation and every drawing layer,
// panel and radar included, copied onto the screen. A typical frame of the
// first mission must cost at most 25 full-frame 640x480 copies, a crowded
// frame (200 units, 1,000 shots, 200 effects on screen) at most 80.
// Baseline: one 640x480 copy between two surfaces. Paced frames report the
// share of a core the battle takes while it waits for the display.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <memory>

#include "battle/battle_screen.hpp"
#include "battle/battle_sim.hpp"
#include "bench/frame_copy.hpp"
#include "bench/sample_data.hpp"
#include "bench/bench_main.hpp"
#include "data/users.hpp"
#include "engine/surfaces.hpp"
#include "platform/runtime/clock.hpp"
#include "platform/runtime/random.hpp"
#include "tests/battle/screen_support.hpp"

namespace {

struct Battle {
  std::unique_ptr<fw::FrmMainClass> screen;
  fw::BattleState start;
};

// The first mission's stand-in on map A, loaded once behind a display.
Battle& Loaded() {
  static Battle b = [] {
    fwbench::OpenSampleData();
    fw::DDraw = std::make_shared<plat::DirectDraw>();
    fw::DDraw->SetDisplayMode(640, 480, 16, 0, 0);
    if (!fw::CreatePrimaryAndBackBuffer(fw::Primary, fw::BackBuffer, fw::DDraw)) std::abort();
    fw::Users->File = fw::AppPath + "\\User.INI";
    fw::Users->NowUser = 1;
    fw::SetMissionScriptMaker([] { return std::make_unique<fw::screentest::TestScript>(); });
    Battle out;
    out.screen = std::make_unique<fw::FrmMainClass>();
    if (!out.screen->Prepare()) std::abort();
    out.screen->SetPaced(false);
    out.start = out.screen->World();
    return out;
  }();
  return b;
}

using fwbench::BM_FullFrameCopy;
BENCHMARK(BM_FullFrameCopy);

// Frames of the mission as it plays, at the factor of a 15 ms frame.
void BM_TypicalFrame(benchmark::State& state) {
  Battle& b = Loaded();
  fw::BattleState& w = b.screen->World();
  w = b.start;
  plat::FixRandom(7);
  int frames = 0;
  for (auto _ : state) {
    w.FrameFactor = 1.0f;
    b.screen->Paint();
    if (++frames % 1000 == 0) w = b.start;  // a long run would end the battle
  }
}
BENCHMARK(BM_TypicalFrame);

// Everything on screen at once; the crowd is restored before each frame.
fw::BattleState Crowd(const fw::BattleState& start) {
  fw::BattleState w = start;
  std::srand(3);
  auto rnd = [](int lo, int hi) { return lo + std::rand() % (hi - lo); };
  const fw::BattleUnit model = w.Units.at(1);
  w.Units.resize(1);
  while (w.Units.size() < 200) {
    fw::BattleUnit u = model;
    u.PosX = static_cast<float>(w.ScrollX + rnd(0, 600));
    u.PosY = static_cast<float>(w.ScrollY + rnd(0, 440));
    u.Team = static_cast<uint8_t>(w.Units.size() % 2);
    u.HP = 30000;
    u.HPVisible = 100;
    w.Units.push_back(u);
  }
  const int16_t kinds[] = {1, 5, 11, 12, 21, 22, 31, 33, 41};
  w.Shots.resize(1);
  while (w.Shots.size() < 1001) {
    fw::WeaponSlot s;
    s.ClipID = kinds[w.Shots.size() % std::size(kinds)];
    s.PosX = static_cast<float>(w.ScrollX + rnd(20, 620));
    s.PosY = static_cast<float>(w.ScrollY + rnd(20, 460));
    s.HeadAngle = static_cast<float>(rnd(0, 360));
    s.Speed = 0.5f;
    s.Range = 100000;
    s.FirePower = 1;
    s.TargetTank = -1;
    s.FireTank = -1;
    w.Shots.push_back(s);
  }
  w.Effects.resize(1);
  while (w.Effects.size() < 201)
    fw::SpawnExplosion(w, w.ScrollX + rnd(0, 640), w.ScrollY + rnd(0, 480), 0, 0, 0.2f, 48, 0,
                       static_cast<uint8_t>(w.Effects.size() % 3));
  for (auto& e : w.Effects) e.FramePos = 1.0f;
  return w;
}

// Times `part` on the crowd, which is restored before each frame.
template <typename Part>
void OnCrowd(benchmark::State& state, Part&& part) {
  Battle& b = Loaded();
  const fw::BattleState crowd = Crowd(b.start);
  fw::BattleState& w = b.screen->World();
  plat::FixRandom(7);
  for (auto _ : state) {
    state.PauseTiming();
    w = crowd;
    w.FrameFactor = 1.0f;
    state.ResumeTiming();
    part(*b.screen);
  }
  state.counters["units"] = static_cast<double>(crowd.Units.size());
  state.counters["effects"] = static_cast<double>(crowd.Effects.size() - 1);
}

void BM_CrowdedFrame(benchmark::State& state) {
  OnCrowd(state, [](fw::FrmMainClass& screen) { screen.Paint(); });
}
BENCHMARK(BM_CrowdedFrame);

// The crowded frame's simulation alone: units pushing apart, shots flying.
void BM_CrowdedSimulation(benchmark::State& state) {
  OnCrowd(state, [](fw::FrmMainClass& screen) { fw::StepWorld(screen.World(), screen.Env()); });
}
BENCHMARK(BM_CrowdedSimulation);

// The crowded frame's drawing alone, every layer and the copy.
void BM_CrowdedDrawing(benchmark::State& state) {
  OnCrowd(state, [](fw::FrmMainClass& screen) {
    const auto back = screen.Device().BackSurface;
    const fw::RECT whole{0, 0, 640, 480};
    screen.Device().ClearBackSurface();
    screen.MakeBackMap(back);
    screen.DrawOBJ(back);
    screen.DrawEffects();
    screen.DrawPanel(back);
    fw::Primary->BltFast(0, 0, back.get(), &whole, plat::DDBLTFAST_WAIT);
  });
}
BENCHMARK(BM_CrowdedDrawing);

// Paced to the display as the game runs: wall time is the refresh, CPU
// time over wall time is the share of a core the battle takes.
void BM_PacedFrame(benchmark::State& state) {
  Battle& b = Loaded();
  fw::BattleState& w = b.screen->World();
  w = b.start;
  b.screen->SetPaced(true);
  for (auto _ : state) {
    w.FrameFactor = 1.0f;
    b.screen->Paint();
  }
  b.screen->SetPaced(false);
}
BENCHMARK(BM_PacedFrame)->UseRealTime()->Iterations(fwbench::Times(120));

}  // namespace

int main(int argc, char** argv) {
  setenv("SDL_VIDEODRIVER", "dummy", 1);
  setenv("SDL_AUDIODRIVER", "dummy", 1);
  const int status = fwbench::RunWithDeadline(argc, argv);
  return status;
}
