// libs: fw_multiplayer
// A network battle fed by a hostile member: arbitrary bytes and arbitrary
// well-formed messages from members and strangers, to a running host and
// to a joiner still waiting for its settings, with frames between them.
// Nothing crashes, the own records stay as they were, no record is made for
// an id the session does not list, no player has two tanks, and the
// buildings never grow.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "multiplayer/battle/game_messages.hpp"
#include "battle/roster.hpp"
#include "platform/runtime/clock.hpp"
#include "tests/multiplayer/test_hub.hpp"

namespace {

using fw::nettest::Machine;
using fw::nettest::TestHub;

void Check(bool ok) {
  if (!ok) std::abort();
}

// Every picture loads, whatever its path: the fuzzer looks at the rules,
// not at image files.
class AnyPictures : public fw::BattlePictures {
 public:
  std::optional<Size> Load(fw::PictureList, int32_t, const std::string&, fw::PictureArchive) override {
    return Size{320, 240};
  }
};

// A small world by hand: one unit picture, four spawn areas, three buildings.
void SmallWorld(fw::NetBattle& b) {
  fw::BattleState& w = b.World;
  w.Catalogue.Add("TK01", fw::kUnitPictures, 4, 4, "", "\\pic\\tk01.bmp", 320, 240);
  for (int k = 0; k < 4; ++k) fw::AddTerrain(w, fw::RECT{400 + 1000 * k, 400, 600 + 1000 * k, 600}, 9, 0.0f);
  for (int k = 0; k < 3; ++k) {
    fw::BuildingInstance bi;
    bi.TypeKey = std::to_string(510 + k);
    bi.X = 1000 + 700 * k;
    bi.Y = 2000;
    bi.HP = bi.HPFull = 300;
    bi.Footprint = fw::RECT{0, 0, 100, 80};
    bi.DrawX = bi.X - 50;
    bi.DrawY = bi.Y - 60;
    w.Builds.push_back(bi);
  }
  fw::Tank t;
  t.ClipID = "TK01";
  t.TopSpeed = 3;
  t.Agile = 2;
  t.Accelerate = 0.1f;
  t.ShieldFull = 50;
  t.EnergyFull = 100;
  b.UserTK = t;
}

float Single(FuzzedDataProvider& in) {
  switch (in.ConsumeIntegralInRange(0, 2)) {
    case 0: return in.ConsumeFloatingPointInRange<float>(-10.0f, 6000.0f);
    case 1: return static_cast<float>(in.ConsumeIntegralInRange<int32_t>(-3, 5200));
    default: return in.ConsumeFloatingPoint<float>();
  }
}

std::string Text(FuzzedDataProvider& in) {
  switch (in.ConsumeIntegralInRange(0, 3)) {
    case 0: return "TK01";
    case 1: return "MapA";
    case 2: return "510";
    default: return in.ConsumeRandomLengthString(24);
  }
}

fw::GameMessage Structured(FuzzedDataProvider& in, const std::vector<int32_t>& ids) {
  const auto id = [&] { return in.ConsumeBool() ? ids[in.ConsumeIntegralInRange<size_t>(0, ids.size() - 1)] : in.ConsumeIntegral<int32_t>(); };
  switch (in.ConsumeIntegralInRange(0, 9)) {
    case 0: {
      fw::MsgTankInfo m;
      m.Accelerate = Single(in);
      m.Agile = Single(in);
      m.HeadAngle = Single(in);
      m.Picture = Text(in);
      m.EnergyFull = Single(in);
      m.ShieldFull = Single(in);
      m.TopSpeed = Single(in);
      m.PosX = Single(in);
      m.PosY = Single(in);
      for (int k = in.ConsumeIntegralInRange(0, 3); k > 0; --k) {
        fw::WireWeapon w;
        w.Key = Text(in);
        w.Range = in.ConsumeIntegral<int32_t>();
        w.ClipID = in.ConsumeIntegralInRange(-1, 50);
        w.FirePower = in.ConsumeIntegralInRange(-40000, 40000);
        w.Path = in.ConsumeIntegralInRange<uint8_t>(0, 5);
        w.Speed = Single(in);
        m.Weapons.push_back(w);
      }
      return m;
    }
    case 1: return fw::MsgTankState{Single(in), Single(in), Single(in), Single(in), Single(in), Single(in), Single(in),
                                    in.ConsumeIntegralInRange<uint8_t>(0, 1), in.ConsumeIntegralInRange<uint8_t>(0, 1)};
    case 2: return fw::MsgJoin{in.ConsumeIntegralInRange<uint8_t>(0, 1)};
    case 3: return fw::MsgQuit{};
    case 4: {
      fw::MsgControl m;
      m.MoveFB = in.ConsumeIntegralInRange<uint8_t>(0, 2);
      m.TurnR = in.ConsumeIntegralInRange<uint8_t>(0, 1);
      m.PerSpeed = in.ConsumeIntegralInRange(-50, 100);
      m.Fire = in.ConsumeIntegralInRange<uint8_t>(0, 1);
      m.AimX = Single(in);
      m.AimY = Single(in);
      m.TargetOwner = id();
      m.Enabled.assign(in.ConsumeIntegralInRange<size_t>(0, 6), 1);
      return m;
    }
    case 5: return fw::MsgKilledBy{id()};
    case 6: return fw::MsgScore{id(), in.ConsumeIntegralInRange(0, 100), Single(in), in.ConsumeIntegralInRange<uint8_t>(0, 1)};
    case 7: return fw::MsgSettingRequest{id()};
    case 8: {
      fw::MsgSetting m;
      m.ModeName = in.ConsumeBool() ? "Base Defensing" : Text(in);
      m.LimTank = m.LimTime = in.ConsumeIntegralInRange(1, 5);
      m.MapName = Text(in);
      m.SenderID = id();
      m.RequesterTeam = in.ConsumeIntegralInRange<uint8_t>(0, 1);
      for (int k = in.ConsumeIntegralInRange(0, 4); k > 0; --k)
        m.Buildings.push_back({Text(in), in.ConsumeIntegralInRange(-5, 400), in.ConsumeIntegralInRange(-10, 6000),
                               in.ConsumeIntegralInRange(-10, 4000), Single(in)});
      return m;
    }
    default: {
      fw::MsgBuildState m;
      m.SenderID = id();
      for (int k = in.ConsumeIntegralInRange(0, 4); k > 0; --k)
        m.Buildings.push_back({Text(in), in.ConsumeIntegralInRange(-5, 400), in.ConsumeIntegralInRange(-10, 6000),
                               in.ConsumeIntegralInRange(-10, 4000), Single(in)});
      return m;
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider in(data, size);
  plat::FixClock(1000000, 100.0f);
  TestHub hub;
  AnyPictures pictures;
  fw::GameSettingRecord hostSetting;
  hostSetting.Role = "New";
  hostSetting.ModeName = "Death Battle";
  hostSetting.MapName = "MapA";
  hostSetting.LimTime = hostSetting.LimTank = 5;
  fw::GameSettingRecord joinSetting;
  joinSetting.Role = "Join";
  Machine host(hub, "Host", hostSetting);
  SmallWorld(host.battle);
  host.battle.Start();
  Machine joiner(hub, "Jo", joinSetting);
  joiner.battle.BeginJoinWait();
  TestHub::Link& eve = hub.Join("Eve");
  const std::vector<int32_t> ids{host.link.MyId(), joiner.link.MyId(), eve.MyId(), 0, -1, 99};
  const fw::PlayerRecord hostOwn = host.battle.Table.Players[0];
  const size_t builds = host.battle.World.Builds.size();

  while (in.remaining_bytes() > 0) {
    const int32_t from = in.ConsumeBool() ? eve.MyId() : ids[in.ConsumeIntegralInRange<size_t>(0, ids.size() - 1)];
    const int32_t to = in.ConsumeBool() ? 0 : ids[in.ConsumeIntegralInRange<size_t>(0, 2)];
    if (in.ConsumeBool()) {
      hub.Inject(from, to, in.ConsumeBytes<uint8_t>(in.ConsumeIntegralInRange<size_t>(0, 200)));
    } else if (auto bytes = fw::EncodeGameMessage(Structured(in, ids))) {
      hub.Inject(from, to, *bytes);
    }
    for (int f = in.ConsumeIntegralInRange(0, 3); f > 0; --f) {
      plat::AdvanceClock(in.ConsumeIntegralInRange<uint32_t>(1, 1200));
      host.battle.Frame();
      if (joiner.battle.RunState.empty()) joiner.battle.PollJoinWait();
    }
  }

  // What is already in the host's inbox is read first: a departure the
  // session announced and the host has not read yet is no phantom.
  host.battle.GetMessage();
  const fw::PlayerTable& t = host.battle.Table;
  Check(t.Players[0].PlayerID == hostOwn.PlayerID && t.Players[0].Name == hostOwn.Name &&
        t.Players[0].Team == hostOwn.Team);
  for (const fw::PlayerRecord& p : t.Players) Check(hub.Member(p.PlayerID));
  for (size_t i = 0; i < t.Players.size(); ++i)
    for (size_t j = i + 1; j < t.Players.size(); ++j)
      Check(t.Players[i].PlayerID != t.Players[j].PlayerID &&
            (t.Players[i].TankID < 0 || t.Players[i].TankID != t.Players[j].TankID));
  for (const fw::PlayerRecord& p : t.Players) Check(p.TankID < static_cast<int32_t>(host.battle.World.Units.size()));
  Check(host.battle.World.Builds.size() <= builds);
  Check(host.settings.MapName == "MapA" && host.settings.ModeName == "Death Battle");
  plat::UnfixClock();
  return 0;
}
