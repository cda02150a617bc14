// libs: fw_multiplayer
// A frame of an eight-player network battle (the simulation and the
// handling of the messages the seven others sent since the last frame) is
// to cost at most 1.2 times a campaign frame with the same eight units.
// Baseline: the campaign's frame on a copy of the same world, stepped with
// the campaign's rules, in the same run.
#include <benchmark/benchmark.h>

#include <cstdlib>

#include "battle/battle_sim.hpp"
#include "bench/sample_data.hpp"
#include "bench/bench_main.hpp"
#include "tests/multiplayer/test_hub.hpp"

namespace {

using fw::nettest::Machine;
using fw::nettest::TestHub;

constexpr int32_t kPlayers = 8;
constexpr uint32_t kFrameMs = 15;

fw::GameSettingRecord Setting(bool host) {
  fw::GameSettingRecord s;
  s.Role = host ? "New" : "Join";
  s.MapName = "MapA";
  s.ModeName = "Group Life-and-Death Battle";
  s.LimTime = 999;
  s.LimTank = 999;
  return s;
}

// Eight machines in one battle on map A, every tank driving, turning and
// firing at the map's middle, and none destroyed (as in the baseline).
struct EightPlayers {
  TestHub hub{3, 30};
  std::vector<std::unique_ptr<Machine>> m;
  EightPlayers() {
    fwbench::OpenSampleData();
    plat::FixClock(5000000, 3600.0f);
    fw::NullLoadProgress progress;
    for (int32_t k = 0; k < kPlayers; ++k) {
      m.push_back(std::make_unique<Machine>(hub, "P" + std::to_string(k + 1), Setting(k == 0)));
      fw::NetBattle& b = m.back()->battle;
      if (k > 0) {
        b.BeginJoinWait();
        while (b.PollJoinWait() == fw::NetBattle::Wait::Waiting) Frame(m.back().get());
      }
      if (!b.LoadMap(progress)) std::abort();
      b.UserTK = *b.World.Templates.Item(1);
      b.Start();
    }
    for (int f = 0; f < 300; ++f) Frame(nullptr);
  }
  void Drive() {
    for (auto& x : m) {
      fw::NetBattle& b = x->battle;
      if (b.OwnTank() < 0) continue;
      fw::BattleUnit& u = b.World.Units[static_cast<size_t>(b.OwnTank())];
      u.MoveFB = 1;
      u.TurnR = (plat::timeGetTime() / 700 + x->link.MyId()) % 2;
      u.Fire = 1;
      u.AimX = 2560;
      u.AimY = 1920;
      // The same crowd frame after frame, as in the campaign's baseline.
      for (fw::BattleUnit& any : b.World.Units)
        if (any.HP < 50) any.HP = 100;
    }
  }
  // Every machine but `only`'s frame, or all with nullptr... the clock moves once.
  void Frame(Machine* skip) {
    plat::AdvanceClock(kFrameMs);
    Drive();
    for (auto& x : m)
      if (x.get() != skip) x->battle.Frame();
  }
};

EightPlayers& Battle() {
  static EightPlayers b;
  return b;
}

// One machine's frame; the seven others run theirs untimed, so its frame
// finds their messages waiting.
void BM_NetworkFrameEightPlayers(benchmark::State& state) {
  EightPlayers& b = Battle();
  Machine& me = *b.m[0];
  for (auto _ : state) {
    state.PauseTiming();
    plat::AdvanceClock(kFrameMs);
    b.Drive();
    for (size_t k = 1; k < b.m.size(); ++k) b.m[k]->battle.Frame();
    state.ResumeTiming();
    me.battle.Frame();
  }
  state.counters["units"] = static_cast<double>(me.battle.World.Units.size());
  state.counters["shots"] = static_cast<double>(me.battle.World.Shots.size());
}
BENCHMARK(BM_NetworkFrameEightPlayers)->Unit(benchmark::kMicrosecond);

// The campaign's frame on the same eight units, driven the same way.
void BM_CampaignFrameSameUnits(benchmark::State& state) {
  EightPlayers& b = Battle();
  fw::BattleState w = b.m[0]->battle.World;
  w.ShotSwitch = true;
  w.PlayerUnit = 0;
  fw::NullBattleOutput out;
  fw::BattleRules rules;
  fw::BattleEnv env{out, rules};
  uint32_t clock = 0;
  for (auto _ : state) {
    state.PauseTiming();
    // The seven other machines run as in the network frame above, so both
    // frames find the cache as disturbed.
    plat::AdvanceClock(kFrameMs);
    b.Drive();
    for (size_t k = 1; k < b.m.size(); ++k) b.m[k]->battle.Frame();
    clock += kFrameMs;
    w.FrameFactor = kFrameMs / 15.0f;
    for (size_t i = 0; i < w.Units.size(); ++i) {
      fw::BattleUnit& u = w.Units[i];
      u.Style = 0;
      u.MoveFB = 1;
      u.TurnR = (clock / 700 + i) % 2;
      u.Fire = 1;
      if (u.HP < 50) u.HP = 100;  // the same crowd frame after frame
    }
    state.ResumeTiming();
    fw::StepWorld(w, env);
    fw::StepEffects(w);
  }
  state.counters["units"] = static_cast<double>(w.Units.size());
  state.counters["shots"] = static_cast<double>(w.Shots.size());
}
BENCHMARK(BM_CampaignFrameSameUnits)->Unit(benchmark::kMicrosecond);

}  // namespace

FW_BENCHMARK_MAIN()
