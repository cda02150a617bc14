// The network battle's rules between machines: who answers for the
// settings and which team a joiner gets, the join wait and the joiner's
// factory, free-mode teams for homing shots, a held loop, a vanished peer,
// and a hostile member. Every test moves only the game's fixed clock.
#include <cmath>
#include <cstring>
#include <limits>
#include <stdexcept>

#include "battle/battle_sim.hpp"
#include "tests/battle/sim_world.hpp"
#include "tests/multiplayer/net_battle_support.hpp"

namespace fw::nettest {
namespace {

std::vector<uint8_t> Bytes(const GameMessage& m) {
  auto b = EncodeGameMessage(m);
  if (!b) throw std::runtime_error("the test made a message the codec refuses");
  return *b;
}

int32_t UnitOf(Machine& on, int32_t playerId) {
  const int32_t i = on.battle.Table.GetPlayerIndex(playerId, true);
  return i < 0 ? -1 : on.battle.Table.Players[static_cast<size_t>(i)].TankID;
}

TEST_F(NetBattleTest, TeamsAlternateInTeamModesAndStayZeroInFreeModes) {
  struct Case {
    const char* mode;
    std::vector<uint8_t> teams;  // host first, then the joiners in order
  };
  for (const Case& c : {Case{"Group Life-and-Death Battle", {0, 1, 0, 1}}, Case{"Base Defensing", {0, 1, 0, 1}},
                        Case{"Death Battle", {0, 0, 0, 0}}, Case{"Territy Hegemonist", {0, 0, 0, 0}}}) {
    machines.clear();
    paused.clear();
    hub.~TestHub();
    new (&hub) TestHub();
    Host(c.mode);
    for (const char* n : {"B", "C", "D"}) {
      Joiner(n);
      Run(300);
    }
    Run(2000);
    for (size_t k = 0; k < machines.size(); ++k) {
      EXPECT_EQ(machines[k]->battle.Table.Players[0].Team, c.teams[k]) << c.mode << " player " << k;
      for (auto& m : machines) {  // every machine agrees on everyone's team
        const int32_t i = m->battle.Table.GetPlayerIndex(machines[k]->link.MyId(), true);
        ASSERT_GE(i, 0);
        EXPECT_EQ(m->battle.Table.Players[static_cast<size_t>(i)].Team, c.teams[k]) << c.mode;
      }
    }
  }
}

TEST_F(NetBattleTest, OnlyTheHostAnswersForTheSettingsAndOnlyWhileAJoinerWaits) {
  Machine& host = Host();
  Machine& b = Joiner("Bob");
  Run(1000);
  // A second joiner waits; Bob, a plain member, does not answer it.
  machines.push_back(std::make_unique<Machine>(hub, "Cid", JoinSetting()));
  Machine& c = *machines.back();
  c.battle.BeginJoinWait();
  Step(15, &c);
  Step(15, &c);
  ASSERT_EQ(c.battle.PollJoinWait(), NetBattle::Wait::Go);
  EXPECT_EQ(c.settings.MapName, "MapA");
  // Settings from Bob, or any settings once the battle runs, change nothing.
  MsgSetting rogue;
  rogue.ModeName = "Base Defensing";
  rogue.LimTank = rogue.LimTime = 1;
  rogue.MapName = "MapB";
  rogue.SenderID = b.link.MyId();
  hub.Inject(b.link.MyId(), host.link.MyId(), Bytes(rogue));
  rogue.SenderID = host.link.MyId();
  hub.Inject(host.link.MyId(), b.link.MyId(), Bytes(rogue));
  Step(15, &c);
  EXPECT_EQ(host.settings.ModeName, "Death Battle");
  EXPECT_EQ(b.settings.ModeName, "Death Battle");
  EXPECT_EQ(host.settings.MapName, "MapA");
  EXPECT_GE(host.battle.Refused().size() + b.battle.Refused().size(), 2u);
}

// The host answers the setting requests of one frame once: a joiner that
// asks again before the answer came gets a single copy, and the next frame
// answers anew.
TEST_F(NetBattleTest, SettingRequestsOfOneFrameGetOneAnswer) {
  Machine& host = Host();
  Machine& b = Joiner("Bob");
  Run(1000);
  const int32_t setting = static_cast<int32_t>(GameMessageType::Setting);
  auto& sent = hub.LinkOf(host.link.MyId()).sentTypes;
  for (int requests : {1, 2, 3}) {
    const int32_t before = sent[setting];
    for (int k = 0; k < requests; ++k)
      hub.Inject(b.link.MyId(), host.link.MyId(), Bytes(MsgSettingRequest{b.link.MyId()}));
    Step(15);
    EXPECT_EQ(sent[setting] - before, 1) << requests << " requests";
  }
}

TEST_F(NetBattleTest, SettingsForAMapThisMachineLacksAreRefusedAndTheWaitGoesOn) {
  Machine& host = Host();
  paused.insert(&host);  // its own answer comes later
  machines.push_back(std::make_unique<Machine>(hub, "Bob", JoinSetting()));
  Machine& b = *machines.back();
  b.battle.BeginJoinWait();
  for (const char* map : {"NoSuchMap", "", "..\\MapA"}) {
    MsgSetting bad;
    bad.ModeName = "Death Battle";
    bad.LimTank = bad.LimTime = 1;
    bad.MapName = map;
    bad.SenderID = host.link.MyId();
    hub.Inject(host.link.MyId(), b.link.MyId(), Bytes(bad));
    plat::AdvanceClock(15);
    EXPECT_EQ(b.battle.PollJoinWait(), NetBattle::Wait::Waiting) << map;
  }
  paused.clear();
  Step(15, &b);
  EXPECT_EQ(b.battle.PollJoinWait(), NetBattle::Wait::Go);
  EXPECT_EQ(b.settings.MapName, "MapA");
}

TEST_F(NetBattleTest, AJoinerWithoutAnswerGivesUpAfterFifteenSecondsAskingOnceASecond) {
  // A host that never runs its loop.
  machines.push_back(std::make_unique<Machine>(hub, "Silent", HostSetting()));
  paused.insert(machines.back().get());
  machines.push_back(std::make_unique<Machine>(hub, "Bob", JoinSetting()));
  Machine& b = *machines.back();
  b.battle.BeginJoinWait();
  NetBattle::Wait w = NetBattle::Wait::Waiting;
  for (int t = 0; t < 15000 / 15 + 2 && w == NetBattle::Wait::Waiting; ++t) {
    EXPECT_EQ(b.battle.WaitSeconds(), t * 15 / 1000);
    plat::AdvanceClock(15);
    w = b.battle.PollJoinWait();
  }
  EXPECT_EQ(w, NetBattle::Wait::GaveUp);
  EXPECT_EQ(b.battle.ExitNotice, "CFail");
  EXPECT_EQ(fw::PendingLobbyNotice, "CFail") << "the lobby shows it next";
  fw::PendingLobbyNotice.clear();
  EXPECT_EQ(b.battle.GameState, 3);
  EXPECT_NEAR(hub.LinkOf(b.link.MyId()).sent, 15, 1) << "requests once a second";
  EXPECT_FALSE(hub.Member(b.link.MyId()));
}

TEST_F(NetBattleTest, EarlyMessagesWaitForGoInOrder) {
  Machine& host = Host();
  Run(500);
  machines.push_back(std::make_unique<Machine>(hub, "Bob", JoinSetting()));
  Machine& b = *machines.back();
  b.battle.BeginJoinWait();
  Step(15, &b);  // the host's tank info arrives with the settings
  ASSERT_EQ(b.battle.PollJoinWait(), NetBattle::Wait::Go);
  EXPECT_TRUE(b.battle.World.Units.empty()) << "nothing but the settings is handled while waiting";
  NullLoadProgress progress;
  ASSERT_TRUE(b.battle.LoadMap(progress));
  b.profile.armWith = SampleTank(b.battle);
  ASSERT_EQ(b.battle.EquTank(), NetBattle::Armed::Yes);
  b.battle.Start();
  Step(15);
  EXPECT_GE(UnitOf(b, host.link.MyId()), 0) << "the host's tank is seen after Go";
}

TEST_F(NetBattleTest, ATanklessJoinerIsSentBackToTheFactoryAndEscLeaves) {
  Host();
  machines.push_back(std::make_unique<Machine>(hub, "Bob", JoinSetting()));
  Machine& b = *machines.back();
  b.profile.visitScript = {{false, std::nullopt}, {false, std::nullopt}, {true, std::nullopt}};
  EXPECT_EQ(b.battle.EquTank(), NetBattle::Armed::Left);
  EXPECT_EQ(b.profile.visits, 3);
  EXPECT_EQ(b.profile.notices, (std::vector<std::string>{"Please arm your tank first.", "Please arm your tank first."}));
  EXPECT_EQ(b.battle.GameState, 3);
  EXPECT_FALSE(hub.Member(b.link.MyId()));
}

TEST_F(NetBattleTest, FreeModeHomingShotsOfARemotePlayerSeekTheNearestOtherPlayer) {
  Machine& a = Host("Death Battle");
  Machine& b = Joiner("Bob");
  Machine& c = Joiner("Cid");
  Run(2500);  // tank states have come and gone
  const int32_t bCopy = UnitOf(a, b.link.MyId()), cCopy = UnitOf(a, c.link.MyId());
  ASSERT_GE(bCopy, 0);
  ASSERT_GE(cCopy, 0);
  auto& units = a.battle.World.Units;
  EXPECT_NE(units[bCopy].Team, units[cCopy].Team);
  EXPECT_NE(units[bCopy].Team, 0);
  EXPECT_NE(units[cCopy].Team, 0);
  const auto place = [&](int32_t u, float x, float y) {
    units[static_cast<size_t>(u)].PosX = x;
    units[static_cast<size_t>(u)].PosY = y;
  };
  place(bCopy, 2000, 2000);
  place(cCopy, 2000, 2250);
  place(a.battle.OwnTank(), 2000, 1500);
  NetBattleRules rules(a.battle);
  NullBattleOutput quiet;
  BattleEnv env{quiet, rules};
  LaunchAmmo(a.battle.World, env, bCopy, simtest::MakeWeapon(1, 5000, 1.0f, 4));
  a.battle.World.FrameFactor = 1.0f;
  UpdateAmmo(a.battle.World, env);
  EXPECT_EQ(a.battle.World.Shots.back().TargetTank, cCopy);
}

TEST_F(NetBattleTest, AHeldLoopDropsNobodyAndAVanishedPeerLeavesEveryTable) {
  Machine& a = Host();
  Machine& b = Joiner("Bob");
  Machine& c = Joiner("Cid");
  Run(2000);
  a.battle.SetHold(true);  // the exit question stays up for 90 s
  Run(90000, 30);
  a.battle.SetHold(false);
  Run(1000);
  for (auto& m : machines) EXPECT_EQ(m->battle.Table.Players.size(), 3u) << m->link.MyId();
  paused.insert(&c);
  hub.Vanish(c.link.MyId());
  Run(12000, 30);
  for (Machine* m : {&a, &b}) {
    EXPECT_EQ(m->battle.Table.Players.size(), 2u);
    EXPECT_LT(m->battle.Table.GetPlayerIndex(c.link.MyId(), true), 0);
    EXPECT_EQ(m->battle.World.Units.size(), 2u);
  }
}

TEST_F(NetBattleTest, AHostileMemberMakesNoPhantomsAndTheOthersPlayOn) {
  Machine& a = Host();
  Machine& b = Joiner("Bob");
  TestHub::Link& eve = hub.Join("Eve");
  Run(2000);
  const PlayerRecord ownA = a.battle.Table.Players[0], ownB = b.battle.Table.Players[0];
  const int32_t e = eve.MyId();
  std::vector<std::vector<uint8_t>> junk;
  auto state = Bytes(MsgTankState{100, 100, 0, 0, 0, 0, 100, 0, 1});
  junk.push_back({state.begin(), state.begin() + 3});  // short
  auto longer = state;
  longer.push_back(0);
  junk.push_back(longer);  // trailing byte
  auto nan = state;
  const float q = std::numeric_limits<float>::quiet_NaN();
  std::memcpy(nan.data() + 4, &q, 4);
  junk.push_back(nan);
  junk.push_back({13, 0, 0, 0, 0xff, 0xff, 0xff, 0x7f});  // a building table of 2^31 entries
  for (int32_t type : {9, 12, 99, 10001, 10002}) {
    std::vector<uint8_t> t(4);
    std::memcpy(t.data(), &type, 4);
    junk.push_back(t);
  }
  MsgTankInfo offMap;
  offMap.Picture = "no such picture";
  offMap.PosX = 100000;
  junk.push_back(Bytes(offMap));
  MsgControl ghost;
  ghost.TargetOwner = 999;
  junk.push_back(Bytes(ghost));
  junk.push_back(Bytes(MsgScore{a.link.MyId(), 50, 0, 0}));
  junk.push_back(Bytes(MsgKilledBy{b.link.MyId()}));
  junk.push_back(Bytes(MsgSettingRequest{b.link.MyId()}));
  MsgSetting rogue;
  rogue.SenderID = e;
  rogue.MapName = "MapB";
  rogue.LimTank = rogue.LimTime = 1;
  junk.push_back(Bytes(rogue));
  junk.push_back(Bytes(MsgBuildState{{}, e}));
  for (int k = 0; k < 200; ++k) junk.push_back(Bytes(MsgJoin{1}));
  for (auto& bytes : junk) hub.Inject(e, 0, bytes);
  hub.Inject(999, 0, Bytes(MsgJoin{0}));  // an id the session does not list
  Run(3000);
  for (Machine* m : {&a, &b}) {
    for (const PlayerRecord& p : m->battle.Table.Players) EXPECT_TRUE(hub.Member(p.PlayerID)) << p.PlayerID;
    EXPECT_LE(m->battle.Table.Players.size(), 3u);
    EXPECT_GE(m->battle.OwnTank(), 0) << "the battle goes on";
    EXPECT_EQ(m->battle.World.Builds.size(), a.battle.World.Builds.size());
  }
  for (auto [m, own] : {std::pair{&a, ownA}, std::pair{&b, ownB}}) {
    const PlayerRecord& now = m->battle.Table.Players[0];
    EXPECT_EQ(now.PlayerID, own.PlayerID);
    EXPECT_EQ(now.Name, own.Name);
    EXPECT_EQ(now.Team, own.Team);
    EXPECT_EQ(now.Score, 0);
  }
  EXPECT_EQ(a.settings.MapName, "MapA");
  EXPECT_EQ(b.settings.MapName, "MapA");
  EXPECT_GE(UnitOf(a, b.link.MyId()), 0);
  EXPECT_GE(UnitOf(b, a.link.MyId()), 0);
}

}  // namespace
}  // namespace fw::nettest
