// Four peers over real ENet on 127.0.0.1, the joiners reaching the host
// through the relay at 5% loss each way with jitter: after 20 s of wall
// time (the battle's game clock fixed and moved 30 ms a frame, the
// sessions on the real clock), every machine holds the same scores, kills
// and team totals. Loopback only, free ports, every wait with a deadline.
#include <chrono>
#include <map>
#include <thread>

#include "multiplayer/battle/game_modes.hpp"
#include "multiplayer/session/session_engine.hpp"
#include "platform/net/enet_transport.hpp"
#include "tests/multiplayer/engine_link.hpp"
#include "tests/multiplayer/net_battle_support.hpp"
#include "tests/multiplayer/net_env.hpp"

namespace fw::nettest {
namespace {

using WallClock = std::chrono::steady_clock;

class RelayBattle : public NetBattleTest {
 protected:
  NetLink& NewLink(const std::string& name) override {
    std::string error;
    auto engine = std::make_unique<SessionEngine>(std::make_unique<plat::EnetTransport>());
    if (links.empty()) {
      EXPECT_TRUE(engine->Host({"127.0.0.1:0"}, name, name, 0, &error)) << error;
      const SessionSnapshot s = engine->Snapshot();
      session = s.sessionId;
      relay = std::make_unique<fwtest::UdpRelay>(plat::ParseHostPort(s.members.at(0).address)->port, 5);
      const fwtest::LineFaults poor{0.05, 0.0, 5, 5, false};
      relay->SetFaults(poor, poor);
    } else {
      EXPECT_TRUE(engine->StartJoin({"127.0.0.1:0"}, "127.0.0.1:" + std::to_string(relay->Port()), session, name,
                                    &error))
          << error;
      EXPECT_EQ(engine->WaitJoin(5000), JoinResult::Ok) << name;
    }
    links.push_back(std::make_unique<EngineLink>(std::move(engine)));
    return *links.back();
  }
  void Breathe() override { std::this_thread::sleep_for(std::chrono::milliseconds(2)); }
  void TearDown() override {
    machines.clear();
    links.clear();
    relay.reset();
    NetBattleTest::TearDown();
  }
  fwtest::LoopbackNetwork loopback;
  uint64_t session = 0;
  std::unique_ptr<fwtest::UdpRelay> relay;
  std::vector<std::unique_ptr<EngineLink>> links;
};

TEST_F(RelayBattle, FourPeersThroughALossyRelayAgreeOnScoresKillsAndTeamTotals) {
  const auto start = WallClock::now();
  Host(kModeGroupBattle);
  for (const char* n : {"P2", "P3", "P4"}) Joiner(n);
  int32_t kills = 0, event = 0;
  const auto scriptEnd = start + std::chrono::seconds(16), end = start + std::chrono::seconds(22);
  uint32_t t = 0;
  while (WallClock::now() < end) {
    Step(30);
    t += 30;
    if (t % 1500 < 30 && WallClock::now() < scriptEnd) {
      ++event;
      Machine& victim = *machines[static_cast<size_t>((event * 3 + 1) % 4)];
      Machine& killer = *machines[static_cast<size_t>((event * 5 + 2) % 4)];
      const int32_t i = victim.battle.Table.GetPlayerIndex(killer.link.MyId(), true);
      if (&victim != &killer && victim.battle.OwnTank() >= 0 && i >= 0 &&
          victim.battle.Table.Players[static_cast<size_t>(i)].TankID >= 0) {
        Kill(victim, killer.link.MyId());
        ++kills;
      }
    }
  }
  EXPECT_GT(relay->Dropped(), 0u) << "the relay lost datagrams";
  // A scripted shot can meet another tank standing over the victim; what
  // counts is every tank that was destroyed.
  int32_t counted = 0, died = 0;
  for (auto& m : machines) {
    counted += m->battle.KillCount;
    died += m->profile.deaths - 1;
  }
  ASSERT_GT(died, 3);
  EXPECT_LE(died, kills);
  EXPECT_EQ(counted, died);
  std::map<int32_t, int32_t> scores;
  for (const PlayerRecord& p : machines.front()->battle.Table.Players) scores[p.PlayerID] = p.Score;
  ASSERT_EQ(scores.size(), 4u);
  for (auto& m : machines) {
    m->battle.Table.SortPlayer();
    std::map<int32_t, int32_t> seen;
    for (const PlayerRecord& p : m->battle.Table.Players) seen[p.PlayerID] = p.Score;
    EXPECT_EQ(seen, scores) << "on " << m->link.MyId();
    EXPECT_EQ(m->battle.Table.TeamScore[0], machines.front()->battle.Table.TeamScore[0]);
    EXPECT_EQ(m->battle.Table.TeamScore[1], machines.front()->battle.Table.TeamScore[1]);
  }
}

}  // namespace
}  // namespace fw::nettest
