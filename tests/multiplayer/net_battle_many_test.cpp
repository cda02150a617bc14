// Many machines, one battle: eight peers with messages delayed at random
// (each link first in, first out) play three minutes of a team battle with
// kills scripted until five seconds before the end, and every machine ends
// it with the same scores, kills, team totals and results. Once over the
// test hub, once over the session object on the in-memory network (its
// threads on the real clock). The battle moves the game's fixed clock.
#include <chrono>
#include <map>
#include <thread>

#include "multiplayer/battle/game_modes.hpp"
#include "multiplayer/session/session_loop_providers.hpp"
#include "tests/multiplayer/net_battle_support.hpp"

namespace fw::nettest {
namespace {

class ManyPeers : public NetBattleTest {
 protected:
  bool settling = false;  // the scripted events are over
  void PlayAndAgree(int32_t peers) {
    GameSettingRecord s = HostSetting(kModeGroupBattle);
    s.LimTime = 3;
    machines.push_back(std::make_unique<Machine>(NewLink("P1"), "P1", s));
    Machine& host = *machines.back();
    NullLoadProgress progress;
    ASSERT_TRUE(host.battle.LoadMap(progress));
    host.battle.UserTK = SampleTank(host.battle);
    host.battle.Start();
    for (int32_t k = 2; k <= peers; ++k) Joiner("P" + std::to_string(k));
    const uint32_t frame = 30;
    uint32_t t = 0;
    int32_t event = 0, kills = 0;
    while (t < 182000) {
      Step(frame);
      t += frame;
      settling = t >= 170000;
      // A kill every four seconds, none in the last five of the battle.
      if (t % 4000 < frame && !settling) {
        ++event;
        Machine& victim = *machines[static_cast<size_t>((event * 3 + 1) % peers)];
        Machine& killer = *machines[static_cast<size_t>((event * 5 + 2) % peers)];
        const int32_t i = victim.battle.Table.GetPlayerIndex(killer.link.MyId(), true);
        if (&victim != &killer && victim.battle.OwnTank() >= 0 && i >= 0 &&
            victim.battle.Table.Players[static_cast<size_t>(i)].TankID >= 0) {
          Kill(victim, killer.link.MyId());
          ++kills;
        }
      }
      bool all = true;
      for (auto& m : machines) all = all && m->battle.Ended();
      if (all) break;
    }
    // A scripted shot can meet another tank standing over the victim; what
    // counts is every tank that was destroyed (each machine's deaths past
    // its first appearance).
    int32_t counted = 0, died = 0;
    for (auto& m : machines) {
      counted += m->battle.KillCount;
      died += m->profile.deaths - 1;
    }
    ASSERT_GT(died, 10);
    EXPECT_LE(died, kills);
    EXPECT_EQ(counted, died) << "every kill reached its killer once";
    for (auto& m : machines)
      for (const auto& [why, n] : m->battle.Refused()) ADD_FAILURE() << m->link.MyId() << " refused " << n << " x " << why;
    const Machine& first = *machines.front();
    std::map<int32_t, int32_t> scores;
    for (const PlayerRecord& p : first.battle.Mode.Frozen.Players) scores[p.PlayerID] = p.Score;
    ASSERT_EQ(scores.size(), static_cast<size_t>(peers));
    for (auto& m : machines) {
      const NetBattle& n = m->battle;
      ASSERT_TRUE(n.Ended()) << m->link.MyId();
      std::map<int32_t, int32_t> seen;
      for (const PlayerRecord& p : n.Mode.Frozen.Players) seen[p.PlayerID] = p.Score;
      EXPECT_EQ(seen, scores) << "on " << m->link.MyId();
      EXPECT_EQ(scores[m->link.MyId()], n.KillCount);
      EXPECT_EQ(n.Mode.Frozen.TeamScore, first.battle.Mode.Frozen.TeamScore) << "on " << m->link.MyId();
      const auto& ts = first.battle.Mode.Frozen.TeamScore;
      const int32_t mine = ts[n.Table.Players[0].Team], theirs = ts[1 - n.Table.Players[0].Team];
      EXPECT_EQ(m->profile.won, mine > theirs ? 1 : 0) << "on " << m->link.MyId();
      EXPECT_EQ(m->profile.won + m->profile.lost, 1);
    }
  }
};

class ManyOverHub : public ManyPeers {};

TEST_F(ManyOverHub, EightPeersWithRandomDelaysAgreeOnEveryResult) {
  hub.~TestHub();
  new (&hub) TestHub(20261207, 40);
  PlayAndAgree(8);
}

// The session object over the in-memory network, its threads on the real
// clock; the battle's frames give them a moment between frames.
class ManyOverSessions : public ManyPeers {
 protected:
  ManyOverSessions() : world(plat::LoopNetwork::Options{7, 1, 8, true}) {}
  NetLink& NewLink(const std::string& name) override {
    sessions.push_back(std::make_unique<qelDirectPlay>(MakeLoopProviders(world, name)));
    qelDirectPlay& dp = *sessions.back();
    EXPECT_TRUE(dp.Init());
    EXPECT_TRUE(dp.OpenConnection(1));
    if (sessions.size() == 1) {
      EXPECT_TRUE(dp.CreateNew(name, 0));
    } else {
      EXPECT_TRUE(dp.UpdateSession());
      EXPECT_TRUE(dp.Join(1, name)) << JoinResultText(dp.LastJoinResult());
    }
    links.push_back(std::make_unique<DirectPlayLink>(dp));
    return *links.back();
  }
  // Sessions on threads get a moment each frame, and more once the events
  // are over, so a loaded machine still delivers everything before the end.
  void Breathe() override { std::this_thread::sleep_for(std::chrono::microseconds(settling ? 3000 : 300)); }
  void TearDown() override {
    machines.clear();
    links.clear();
    sessions.clear();
    ManyPeers::TearDown();
  }
  LoopWorld world;
  std::vector<std::unique_ptr<qelDirectPlay>> sessions;
  std::vector<std::unique_ptr<DirectPlayLink>> links;
};

TEST_F(ManyOverSessions, EightPeersOverTheSessionLayerAgreeOnEveryResult) { PlayAndAgree(8); }

// A profile name is code page text: "Eve" and the euro sign (0x80, a
// character of its own there) joins, and both machines show it as typed.
TEST_F(ManyOverSessions, AJoinerNamedWithTheEuroSignShowsTheSameNameOnBothMachines) {
  Machine& host = Host();
  Machine& eve = Joiner("Eve\x80");
  Run(300);
  const int32_t i = host.battle.Table.GetPlayerIndex(eve.link.MyId(), true);
  ASSERT_GE(i, 0);
  EXPECT_EQ(host.battle.Table.Players[static_cast<size_t>(i)].Name, "Eve\x80");
  EXPECT_EQ(eve.battle.Table.Players[0].Name, "Eve\x80");
  EXPECT_EQ(eve.battle.Table.GetPlayerName(host.link.MyId()), host.battle.Table.Players[0].Name);
}

}  // namespace
}  // namespace fw::nettest
