// One machine's frame in a network battle: the control state resent by
// time, tank requests one per player, buildings felled only by the host,
// an empty roster and the respawn on the clock, the hold, the idle drop
// and the way out. Every test moves only the game's fixed clock.
#include <cstring>

#include "tests/multiplayer/net_battle_support.hpp"

namespace fw::nettest {
namespace {

int32_t UnitOf(Machine& on, int32_t playerId) {
  const int32_t i = on.battle.Table.GetPlayerIndex(playerId, true);
  return i < 0 ? -1 : on.battle.Table.Players[static_cast<size_t>(i)].TankID;
}

TEST_F(NetBattleTest, ControlsGoOutWithinFiftyMillisecondsAtMostTwentyTimesASecond) {
  Machine& a = Host();
  Machine& b = Joiner("Bob");
  Run(2000);
  auto& sent = hub.LinkOf(a.link.MyId()).sentTypes;
  struct Case {
    uint32_t frameMs;
    int32_t most;  // control messages in one second of changes every frame
  };
  for (const Case& c : {Case{5, 20}, Case{15, 20}, Case{100, 10}}) {
    const int32_t before = sent[5];
    for (uint32_t t = 0; t < 1000; t += c.frameMs) {
      BattleUnit& own = a.battle.World.Units[static_cast<size_t>(a.battle.OwnTank())];
      own.TurnR = static_cast<uint8_t>(1 - own.TurnR);
      Step(c.frameMs);
    }
    const int32_t n = sent[5] - before;
    EXPECT_LE(n, c.most + 1) << c.frameMs;
    EXPECT_GE(n, c.most - 1) << c.frameMs;
    // The latest state is never dropped: within 50 ms the copy has it.
    BattleUnit& own = a.battle.World.Units[static_cast<size_t>(a.battle.OwnTank())];
    own.TurnR = 1;
    own.Fire = 0;
    for (uint32_t t = 0; t < 60; t += 5) Step(5);
    const BattleUnit& copy = b.battle.World.Units[static_cast<size_t>(UnitOf(b, a.link.MyId()))];
    EXPECT_EQ(copy.TurnR, 1) << c.frameMs;
  }
}

TEST_F(NetBattleTest, TanksAreAskedOfEachPlayerWithoutOneOnceASecondNeverOfOneself) {
  Machine& a = Host();
  TestHub::Link& x = hub.Join("X");
  TestHub::Link& y = hub.Join("Y");
  Run(3000);
  for (TestHub::Link* l : {&x, &y}) {
    int32_t requests = 0;
    while (auto m = l->Receive())
      if (m->from == a.link.MyId() && m->bytes == std::vector<uint8_t>{6, 0, 0, 0}) ++requests;
    EXPECT_NEAR(requests, 3, 1) << l->MyId();
  }
  EXPECT_EQ(a.battle.Table.Players.size(), 3u);
}

TEST_F(NetBattleTest, OnlyTheHostFellsBuildingsAndTheOthersFollowItsTable) {
  Machine& host = Host();
  Machine& b = Joiner("Bob");
  Run(1000);
  const size_t n = host.battle.World.Builds.size();
  ASSERT_GE(n, 3u);
  // B's own shots break building 1: it stands at 1 hull point until the host says otherwise.
  b.battle.World.Builds[1].HP = -40;
  Run(500);
  ASSERT_EQ(b.battle.World.Builds.size(), n);
  EXPECT_EQ(b.battle.World.Builds[1].HP, 1);
  // The host fells building 2; B takes its table and loses the same building.
  host.battle.World.Builds[1].HP = 33;
  host.battle.World.Builds[2].HP = -1;
  Run(500);
  ASSERT_EQ(host.battle.World.Builds.size(), n - 1);
  ASSERT_EQ(b.battle.World.Builds.size(), n - 1);
  for (size_t k = 0; k < n - 1; ++k) {
    EXPECT_EQ(b.battle.World.Builds[k].TypeKey, host.battle.World.Builds[k].TypeKey) << k;
    EXPECT_EQ(b.battle.World.Builds[k].X, host.battle.World.Builds[k].X) << k;
  }
  EXPECT_EQ(b.battle.World.Builds[1].HP, 33) << "hull taken in place";
}

TEST_F(NetBattleTest, ALonePlayersTankComesBackOneAndAHalfSecondsAfterItsEnd) {
  Machine& a = Host();
  Step(15);
  ASSERT_EQ(a.battle.World.Units.size(), 1u);
  a.battle.World.Units[0].HP = -5;
  Step(15);
  EXPECT_TRUE(a.battle.World.Units.empty());
  EXPECT_EQ(a.battle.OwnTank(), -1);
  struct Case {
    uint32_t afterMs;
    bool back;
  };
  uint32_t at = 0;
  for (const Case& c : {Case{700, false}, Case{1485, false}, Case{1500, true}}) {
    while (at < c.afterMs) {
      const uint32_t step = std::min<uint32_t>(15, c.afterMs - at);
      plat::AdvanceClock(step);
      at += step;
      a.battle.Frame();
    }
    EXPECT_EQ(a.battle.OwnTank() >= 0, c.back) << c.afterMs;
  }
  EXPECT_EQ(a.profile.deaths, 2);
}

TEST_F(NetBattleTest, AHeldLoopDrainsMessagesWithoutSteppingOrCountingIdle) {
  Machine& a = Host();
  Machine& b = Joiner("Bob");
  Run(2000);
  BattleUnit& own = a.battle.World.Units[static_cast<size_t>(a.battle.OwnTank())];
  own.PerSpeed = 100;
  own.MoveFB = 1;
  const float x = own.PosX, y = own.PosY;
  a.battle.SetHold(true);
  paused.insert(&b);  // B falls silent while A is held
  Run(70000, 50);
  EXPECT_EQ(own.PosX, x);
  EXPECT_EQ(own.PosY, y);
  EXPECT_EQ(a.battle.Table.Players.size(), 2u) << "idle time is not counted while held";
  a.battle.SetHold(false);
  Run(61000, 50);
  EXPECT_EQ(a.battle.Table.Players.size(), 1u) << "after 60 s of silence in play";
  EXPECT_FALSE(hub.Member(b.link.MyId())) << "the host removed it from the session";
}

TEST_F(NetBattleTest, LeavingAnnouncesItLeavesTheSessionAndSaves) {
  Machine& a = Host();
  Machine& b = Joiner("Bob");
  Run(2000);
  struct Case {
    bool saveOk;
  };
  const int32_t quit = static_cast<int32_t>(GameMessageType::Quit);
  for (const Case& c : {Case{false}}) {
    b.profile.saveOk = c.saveOk;
    EXPECT_EQ(b.battle.Leave(), c.saveOk);
    // Sent while still a member: the others hear it before the session's word.
    EXPECT_EQ(hub.LinkOf(b.link.MyId()).sentTypes[quit], 1);
    EXPECT_EQ(b.profile.saves, 1);
    EXPECT_EQ(b.battle.GameState, 1);
    EXPECT_EQ(b.battle.RunState, "EXIT");
  }
  paused.insert(&b);
  Run(100);
  EXPECT_EQ(a.battle.Table.Players.size(), 1u);
  Run(100);
  EXPECT_EQ(a.battle.World.Units.size(), 1u) << "the leaver's tank is gone";
}

}  // namespace
}  // namespace fw::nettest
