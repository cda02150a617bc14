// A game loop that stalls for minutes keeps its player: eight machines on
// the session protocol over LoopTransport (the test's clock moves the
// network and the game together), seven driving and firing while the
// eighth shops in its factory visit, or waits at the exit question, for ten
// minutes. Nobody is dropped, and what arrived meanwhile is applied.
#include <cstdio>
#include <map>

#include "multiplayer/session/session_engine.hpp"
#include "platform/input/window.hpp"
#include "platform/net/loop_transport.hpp"
#include "tests/multiplayer/engine_link.hpp"
#include "tests/multiplayer/net_battle_support.hpp"

namespace fw::nettest {
namespace {

constexpr uint32_t kFrameMs = 100;
constexpr uint32_t kStallMs = 10 * 60 * 1000;

class StallBattle : public NetBattleTest {
 protected:
  NetLink& NewLink(const std::string& name) override {
    SessionOptions o;
    o.threaded = false;
    auto engine = std::make_unique<SessionEngine>(net.MakeNode(name), o);
    std::string error;
    if (links.empty()) {
      EXPECT_TRUE(engine->Host({name}, name, name, 0, &error)) << error;
      hostName = name;
      session = engine->Snapshot().sessionId;
    } else {
      EXPECT_TRUE(engine->StartJoin({name}, hostName, session, name, &error)) << error;
    }
    links.push_back(std::make_unique<EngineLink>(std::move(engine)));
    EngineLink& l = *links.back();
    for (int i = 0; i < 400 && l.Engine().Snapshot().state == SessionSnapshot::State::Joining; ++i) Network(5);
    EXPECT_TRUE(InSession(l)) << name;
    return l;
  }
  void Network(uint32_t ms) {
    net.Advance(ms);
    for (auto& l : links) l->Engine().Step();
  }
  void Breathe() override { Network(15); }  // the fixture's frames are 15 ms
  void TearDown() override {
    machines.clear();
    links.clear();
    NetBattleTest::TearDown();
  }
  static bool InSession(EngineLink& l) {
    const auto st = l.Engine().Snapshot().state;
    return st == SessionSnapshot::State::Member || st == SessionSnapshot::State::Host;
  }

  // One frame of everyone but the stalled machine: the drivers steer, fire
  // and now and then one destroys another's tank.
  void DriveFrame(Machine* stalled) {
    Network(kFrameMs);
    plat::AdvanceClock(kFrameMs);
    clock += kFrameMs;
    for (size_t i = 0; i < machines.size(); ++i) {
      Machine& m = *machines[i];
      if (&m == stalled || m.battle.RunState != "Loop") continue;
      if (m.battle.Held()) {
        m.battle.Frame();  // the exit question's pass
        continue;
      }
      const int32_t own = m.battle.OwnTank();
      if (own >= 0) {
        BattleUnit& u = m.battle.World.Units[static_cast<size_t>(own)];
        const uint32_t t = clock + static_cast<uint32_t>(i) * 97;
        u.MoveFB = static_cast<uint8_t>((t / 1300) % 3);
        u.TurnL = (t / 700) % 3 == 0 ? 1 : 0;
        u.TurnR = (t / 700) % 3 == 1 ? 1 : 0;
        u.Fire = (t / 200) % 2;
        u.AimX = static_cast<float>(t % 5000);
        u.AimY = static_cast<float>((t / 7) % 3800);
      }
      m.battle.Frame();
    }
    if (clock % 60000 == 0 && machines.front()->battle.World.Builds.size() > 1) {
      // Now and then a building falls at the host, as to the shots.
      machines.front()->battle.World.Builds.back().HP = -1;
    }
    if (clock % 4000 == 0) {
      // A kill every 4 s, between two of the drivers.
      const size_t v = (clock / 4000) % machines.size(), k = (clock / 4000 * 3 + 1) % machines.size();
      Machine& victim = *machines[v];
      Machine& killer = *machines[k];
      const int32_t i = victim.battle.Table.GetPlayerIndex(killer.link.MyId(), true);
      if (&victim != stalled && &killer != stalled && v != k && !victim.battle.Held() && victim.battle.OwnTank() >= 0 &&
          i >= 0 && victim.battle.Table.Players[static_cast<size_t>(i)].TankID >= 0) {
        Kill(victim, killer.link.MyId());
        ++kills;
      }
    }
  }

  // Each machine's score board: player id to score, for every listed player.
  static std::map<int32_t, int32_t> Board(Machine& m) {
    std::map<int32_t, int32_t> b;
    for (const PlayerRecord& p : m.battle.Table.Players) b[p.PlayerID] = p.Score;
    return b;
  }
  // The score boards, and the buildings the host has felled.
  void ExpectBoardsAgree() {
    const auto first = Board(*machines.front());
    EXPECT_EQ(first.size(), machines.size());
    const size_t builds = machines.front()->battle.World.Builds.size();
    for (auto& m : machines) {
      EXPECT_EQ(Board(*m), first) << "on " << m->link.MyId();
      EXPECT_EQ(m->battle.World.Builds.size(), builds) << "on " << m->link.MyId();
    }
  }
  void Report(const char* where, EngineLink& l, size_t peakMessages) {
    std::printf("stall %s: %u s held, inbox peak %zu messages, %zu bytes; %d kills, %zu buildings felled meanwhile\n",
                where, kStallMs / 1000, std::max(peakMessages, l.peakDrainedMessages), l.peakDrained, kills,
                buildsAtStart - machines.front()->battle.World.Builds.size());
  }

  plat::LoopNetwork net{plat::LoopNetwork::Options{7, 1, 20, false}};
  std::vector<std::unique_ptr<EngineLink>> links;
  std::string hostName;
  uint64_t session = 0;
  uint32_t clock = 0;
  int32_t kills = 0;
  size_t buildsAtStart = 0;
};

TEST_F(StallBattle, AJoinerTenMinutesInItsFactoryKeepsItsSessionAndTheScores) {
  buildsAtStart = Host().battle.World.Builds.size();
  for (int i = 2; i <= 7; ++i) Joiner("P" + std::to_string(i));
  machines.push_back(std::make_unique<Machine>(NewLink("Late"), "Late", JoinSetting()));
  Machine& late = *machines.back();
  EngineLink& lateLink = *links.back();
  late.battle.BeginJoinWait();
  for (int pass = 0; pass < 1000 && late.battle.PollJoinWait() == NetBattle::Wait::Waiting; ++pass) DriveFrame(&late);
  ASSERT_EQ(late.settings.Role, "Go");
  size_t peak = 0;
  late.profile.armWith = SampleTank(machines.front()->battle);
  late.profile.duringVisit = [&] {
    // The factory's own loop: a pass a frame, each with the window's events.
    for (uint32_t t = 0; t < kStallMs; t += kFrameMs) {
      DriveFrame(&late);
      peak = std::max(peak, lateLink.Engine().Waiting());
      plat::DoEvents();
    }
  };
  ASSERT_EQ(late.battle.EquTank(), NetBattle::Armed::Yes);
  NullLoadProgress progress;
  ASSERT_TRUE(late.battle.LoadMap(progress)) << late.battle.LastError;
  late.battle.Start();
  EXPECT_TRUE(InSession(lateLink)) << lateLink.Engine().Snapshot().endReason;
  Report("in the factory visit", lateLink, peak);
  EXPECT_GT(kills, 100);
  for (uint32_t t = 0; t < 2000; t += kFrameMs) DriveFrame(nullptr);
  for (auto& l : links) EXPECT_TRUE(InSession(*l)) << l->Engine().Snapshot().endReason;
  ExpectBoardsAgree();
}

TEST_F(StallBattle, APlayerTenMinutesAtTheExitQuestionStaysListedEverywhere) {
  buildsAtStart = Host().battle.World.Builds.size();
  for (int i = 2; i <= 8; ++i) Joiner("P" + std::to_string(i));
  Machine& asking = *machines.back();
  EngineLink& askingLink = *links.back();
  for (uint32_t t = 0; t < 3000; t += kFrameMs) DriveFrame(nullptr);
  asking.battle.SetHold(true);
  size_t peak = 0;
  for (uint32_t t = 0; t < kStallMs; t += kFrameMs) {
    DriveFrame(nullptr);
    peak = std::max(peak, askingLink.Engine().Waiting());
  }
  asking.battle.SetHold(false);
  Report("at the exit question", askingLink, peak);
  for (uint32_t t = 0; t < 2000; t += kFrameMs) DriveFrame(nullptr);
  const int32_t id = asking.link.MyId();
  for (auto& m : machines) EXPECT_GE(m->battle.Table.GetPlayerIndex(id, true), 0) << "on " << m->link.MyId();
  for (auto& l : links) EXPECT_TRUE(InSession(*l)) << l->Engine().Snapshot().endReason;
  ExpectBoardsAgree();
}

}  // namespace
}  // namespace fw::nettest
