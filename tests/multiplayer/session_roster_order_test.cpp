// The game never reads "player created" or "player destroyed" while the
// roster it can read still says otherwise: battles over real session engines
// read their messages between any two events the network thread handles, and
// after 2,000 seeded joins and leaves no machine keeps a record of a member
// that is gone. In-memory network, the test's clock.
#include <algorithm>
#include <functional>
#include <map>
#include <random>

#include "platform/net/loop_transport.hpp"
#include "tests/multiplayer/net_battle_support.hpp"
#include "tests/multiplayer/engine_link.hpp"
#include "tests/multiplayer/session_mesh.hpp"

namespace fw::nettest {
namespace {

// A transport that lets the game read in the middle of a network step: just
// before each event is taken, as a game thread may at any moment.
class ReadBetweenEvents final : public plat::Transport {
 public:
  explicit ReadBetweenEvents(std::unique_ptr<plat::Transport> t) : t_(std::move(t)) {}
  bool Listen(const std::string& a, std::string* e) override { return t_->Listen(a, e); }
  std::string LocalAddress() const override { return t_->LocalAddress(); }
  plat::LinkId Connect(const std::string& a) override { return t_->Connect(a); }
  bool Send(plat::LinkId l, std::span<const uint8_t> d) override { return t_->Send(l, d); }
  void Close(plat::LinkId l) override { t_->Close(l); }
  std::optional<plat::TransportEvent> Poll() override {
    if (read && !reading_) {
      reading_ = true;
      read();
      reading_ = false;
    }
    return t_->Poll();
  }
  void Wait(uint32_t ms) override { t_->Wait(ms); }
  void Wake() override { t_->Wake(); }
  uint64_t NowMs() const override { return t_->NowMs(); }
  std::function<void()> read;

 private:
  std::unique_ptr<plat::Transport> t_;
  bool reading_ = false;
};

class RosterOrder : public NetBattleTest {
 protected:
  NetLink& NewLink(const std::string& name) override {
    links.push_back(std::make_unique<EngineLink>(Engine(name, links.empty())));
    return *links.back();
  }
  std::unique_ptr<SessionEngine> Engine(const std::string& name, bool hosts) {
    auto t = std::make_unique<ReadBetweenEvents>(net.MakeNode(name));
    hooks[name] = t.get();
    SessionOptions o;
    o.threaded = false;
    auto e = std::make_unique<SessionEngine>(std::move(t), o);
    std::string error;
    if (hosts) {
      EXPECT_TRUE(e->Host({name}, name, name, 0, &error)) << error;
      session = e->Snapshot().sessionId;
    } else {
      EXPECT_TRUE(e->StartJoin({name}, "Host", session, name, &error)) << error;
    }
    return e;
  }
  void Breathe() override { Network(15); }
  // Moves the session clock, each engine handling what is due; the battles
  // read whenever an engine is about to take an event.
  void Network(uint32_t ms) {
    for (uint32_t t = 0; t < ms; t += 5) {
      net.Advance(5);
      for (auto& l : links) l->Engine().Step();
      for (auto& e : guests) e->Step();
    }
  }
  // Every record of a player in each battle names a member its session lists.
  std::string Phantoms() {
    std::string out;
    for (size_t i = 0; i < machines.size(); ++i) {
      std::vector<PlayerEntry> members = machines[i]->link.Members();
      for (const auto& p : machines[i]->battle.Table.Players) {
        bool listed = std::any_of(members.begin(), members.end(), [&](const PlayerEntry& m) { return m.Id == p.PlayerID; });
        if (!listed) out += " machine " + std::to_string(i) + " keeps " + std::to_string(p.PlayerID);
      }
    }
    return out;
  }
  void TearDown() override {
    guests.clear();
    machines.clear();
    links.clear();
    NetBattleTest::TearDown();
  }

  plat::LoopNetwork net{plat::LoopNetwork::Options{3, 1, 20, false}};
  uint64_t session = 0;
  std::map<std::string, ReadBetweenEvents*> hooks;
  std::vector<std::unique_ptr<EngineLink>> links;
  std::vector<std::unique_ptr<SessionEngine>> guests;  // sessions without a battle, joining and leaving
};

TEST_F(RosterOrder, TwoThousandJoinsAndLeavesLeaveNoRecordOfAnAbsentMember) {
  Machine& host = Host();
  Machine& member = Joiner("Member");
  hooks["Host"]->read = [&] { host.battle.GetMessage(); };
  hooks["Member"]->read = [&] { member.battle.GetMessage(); };
  std::mt19937 rng(2026);
  int phantoms = 0, welcomed = 0;
  for (int cycle = 0; cycle < 2000 && phantoms < 5; ++cycle) {
    // One or two come in; each goes by leaving, by being removed, or at
    // once, before its welcome can have arrived.
    const int count = 1 + static_cast<int>(rng() % 2);
    std::vector<int> how;
    for (int k = 0; k < count; ++k) {
      guests.push_back(Engine("g" + std::to_string(cycle) + "_" + std::to_string(k), false));
      how.push_back(static_cast<int>(rng() % 3));
    }
    Network(5 + rng() % 60);
    for (int k = 0; k < count; ++k) {
      SessionEngine& g = *guests[guests.size() - static_cast<size_t>(count - k)];
      const int32_t id = g.Snapshot().myId;
      welcomed += id != 0;
      if (how[static_cast<size_t>(k)] == 1 && id != 0) links[0]->Engine().Remove(id);
      else g.Leave();
      Network(rng() % 10);
    }
    Network(200);
    Step(15);
    guests.clear();
    Network(50);
    const std::string p = Phantoms();
    if (!p.empty()) {
      ADD_FAILURE() << "cycle " << cycle << ":" << p;
      ++phantoms;
    }
  }
  EXPECT_GT(welcomed, 1500);  // most were in play before they went
  EXPECT_TRUE(fwtest::InSession(links[0]->Engine()));
  EXPECT_TRUE(fwtest::InSession(links[1]->Engine()));
  EXPECT_EQ(host.battle.Table.Players.size(), 2u);
  EXPECT_EQ(member.battle.Table.Players.size(), 2u);
}

}  // namespace
}  // namespace fw::nettest
