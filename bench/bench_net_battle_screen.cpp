// libs: fw_multiplayer fw_battle
// The network battle's whole frame against the campaign's, in one run: the
// network screen with eight players (its world's frame with the messages,
// the simulation and every layer, names, score board and time, copied onto
// the screen) may cost at most 1.2 campaign frames with eight units on the
// same map. Both keep every unit inside the view.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <memory>

#include "battle/battle_screen.hpp"
#include "bench/sample_data.hpp"
#include "bench/bench_main.hpp"
#include "data/users.hpp"
#include "engine/surfaces.hpp"
#include "multiplayer/battle/net_battle_screen.hpp"
#include "platform/runtime/clock.hpp"
#include "platform/runtime/random.hpp"
#include "tests/battle/screen_support.hpp"
#include "tests/multiplayer/net_battle_support.hpp"

namespace {

constexpr size_t kPlayers = 8;

void Display() {
  static const bool done = [] {
    fwbench::OpenSampleData();
    fw::DDraw = std::make_shared<plat::DirectDraw>();
    fw::DDraw->SetDisplayMode(640, 480, 16, 0, 0);
    if (!fw::CreatePrimaryAndBackBuffer(fw::Primary, fw::BackBuffer, fw::DDraw)) std::abort();
    fw::Users->File = fw::AppPath + "\\User.INI";
    fw::Users->NowUser = 1;
    plat::FixClock(1000000, 3600.0f);
    return true;
  }();
  (void)done;
}

// Every unit in a ring round the player's, inside the view.
void Gather(fw::BattleState& w) {
  if (w.PlayerUnit < 0) return;
  const fw::BattleUnit& me = w.Units[static_cast<size_t>(w.PlayerUnit)];
  w.ScrollX = std::max(0, static_cast<int32_t>(me.PosX) - 320);
  w.ScrollY = std::max(0, static_cast<int32_t>(me.PosY) - 200);
  for (size_t i = 0; i < w.Units.size(); ++i) {
    if (static_cast<int32_t>(i) == w.PlayerUnit) continue;
    w.Units[i].PosX = static_cast<float>(w.ScrollX + 60 + 70 * static_cast<int32_t>(i));
    w.Units[i].PosY = static_cast<float>(w.ScrollY + 100 + 30 * static_cast<int32_t>(i % 3));
  }
}

struct Campaign {
  std::unique_ptr<fw::FrmMainClass> screen;
  fw::BattleState start;
};

Campaign& LoadedCampaign() {
  static Campaign c = [] {
    Display();
    fw::SetMissionScriptMaker([] { return std::make_unique<fw::screentest::TestScript>(); });
    Campaign out;
    out.screen = std::make_unique<fw::FrmMainClass>();
    if (!out.screen->Prepare()) std::abort();
    out.screen->SetPaced(false);
    fw::BattleState& w = out.screen->World();
    const fw::BattleUnit model = w.Units.at(1);
    w.Units.resize(std::min(w.Units.size(), kPlayers));
    while (w.Units.size() < kPlayers) w.Units.push_back(model);
    for (auto& u : w.Units) u.Style = 0;  // standing as the remote tanks do
    Gather(w);
    out.start = w;
    return out;
  }();
  return c;
}

// The screen hosts; seven headless machines join it.
struct Network {
  fw::nettest::TestHub hub;
  std::unique_ptr<fw::nettest::TestProfile> profile;
  fw::GameSettingRecord setting;
  std::unique_ptr<fw::FrmMultiClass> screen;
  std::vector<std::unique_ptr<fw::nettest::Machine>> others;
  void RunOthers() {
    for (auto& m : others) m->battle.Frame();
  }
};

Network& LoadedNetwork() {
  static Network& n = *[] {
    Display();
    auto* out = new Network;
    out->setting.Role = "New";
    out->setting.MapName = "MapA";
    out->setting.ModeName = "Death Battle";
    out->setting.LimTime = 999;
    out->setting.LimTank = 999;
    out->setting.Money = 5000;
    auto& link = out->hub.Join("Host");
    out->profile = std::make_unique<fw::nettest::TestProfile>("Host");
    out->screen = std::make_unique<fw::FrmMultiClass>(link, *out->profile, out->setting);
    out->screen->SetPaced(false);
    if (!out->screen->JoinWait() || !out->screen->Prepare()) std::abort();
    const fw::Tank tank = *out->screen->World().Templates.Item(1);
    out->screen->Battle().UserTK = tank;
    fw::GameSettingRecord join;
    join.Role = "Join";
    for (size_t i = 1; i < kPlayers; ++i) {
      out->others.push_back(std::make_unique<fw::nettest::Machine>(out->hub, "P" + std::to_string(i), join));
      fw::NetBattle& b = out->others.back()->battle;
      b.BeginJoinWait();
      for (int pass = 0; pass < 400 && b.PollJoinWait() == fw::NetBattle::Wait::Waiting; ++pass) {
        plat::AdvanceClock(15);
        out->screen->Battle().Frame();
      }
      fw::NullLoadProgress quiet;
      if (!b.LoadMap(quiet)) std::abort();
      out->others.back()->profile.armWith = tank;
      b.EquTank();
      b.Start();
    }
    for (int f = 0; f < 300; ++f) {
      plat::AdvanceClock(15);
      out->RunOthers();
      out->screen->Battle().Frame();
    }
    if (out->screen->World().Units.size() != kPlayers) std::abort();
    out->screen->ShowInfo = true;  // the score board up: the frame at its dearest
    Gather(out->screen->World());
    return out;
  }();
  return n;
}

// The campaign's frame with eight units, as the campaign's own benchmark
// measures it: the simulation and the drawing.
void BM_CampaignFrame8(benchmark::State& state) {
  Campaign& c = LoadedCampaign();
  fw::BattleState& w = c.screen->World();
  w = c.start;
  plat::FixRandom(7);
  int frames = 0;
  for (auto _ : state) {
    w.FrameFactor = 1.0f;
    c.screen->Paint();
    if (++frames % 200 == 0) {
      state.PauseTiming();
      w = c.start;
      state.ResumeTiming();
    }
  }
}
BENCHMARK(BM_CampaignFrame8);

// The network screen's frame with eight players: the world's frame
// (messages, once-a-second duties, mode, simulation) and the drawing.
void BM_NetworkFrame8(benchmark::State& state) {
  Network& n = LoadedNetwork();
  fw::FrmMultiClass& s = *n.screen;
  plat::FixRandom(7);
  int frames = 0;
  for (auto _ : state) {
    plat::AdvanceClock(15);
    s.Battle().Frame();
    s.Paint();
    if (++frames % 200 == 0) {
      // The others keep talking (nobody is dropped) and the tanks come back
      // into view.
      state.PauseTiming();
      n.RunOthers();
      Gather(s.World());
      state.ResumeTiming();
    }
  }
  state.counters["units"] = static_cast<double>(s.World().Units.size());
}
BENCHMARK(BM_NetworkFrame8);

}  // namespace

int main(int argc, char** argv) {
  setenv("SDL_VIDEODRIVER", "dummy", 1);
  setenv("SDL_AUDIODRIVER", "dummy", 1);
  const int status = fwbench::RunWithDeadline(argc, argv);
  return status;
}
