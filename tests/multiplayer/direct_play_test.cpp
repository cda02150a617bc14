#include "multiplayer/session/direct_play.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <thread>

#include "multiplayer/battle/net_link.hpp"
#include "multiplayer/session/session_engine.hpp"
#include "multiplayer/session/session_frames.hpp"
#include "multiplayer/session/session_loop_providers.hpp"
#include "session_mesh.hpp"

namespace {

using fw::JoinResult;
using fw::qelDirectPlay;
using fwtest::SysType;

// Polls until pred holds, for at most five seconds of real time.
template <class Pred>
bool Eventually(Pred pred) {
  auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (std::chrono::steady_clock::now() < end) {
    if (pred()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return pred();
}

struct Pair : ::testing::Test {
  fw::LoopWorld world;
  qelDirectPlay host{fw::MakeLoopProviders(world, "host")};
  qelDirectPlay guest{fw::MakeLoopProviders(world, "guest")};

  void Open() {
    ASSERT_TRUE(host.Init());
    ASSERT_TRUE(host.OpenConnection(1));
    ASSERT_TRUE(host.CreateNew("Ann", 0));
    ASSERT_TRUE(guest.Init());
    ASSERT_TRUE(guest.OpenConnection(1));
    ASSERT_EQ(guest.DPEnumSessions.size(), 1u);
  }
};

TEST_F(Pair, JoinSendReceiveOnTheNetworkThread) {
  Open();
  EXPECT_EQ(guest.GetSessionData(1).SessionName, "Ann");
  EXPECT_EQ(guest.GetSessionData(1).CurrentPlayers, 1);
  ASSERT_TRUE(guest.Join(1, "Bob")) << fw::JoinResultText(guest.LastJoinResult());
  EXPECT_EQ(host.PlayerHandle, "Host");
  EXPECT_EQ(guest.PlayerHandle, "Player");
  EXPECT_EQ(host.MyPlayID, 1);
  EXPECT_EQ(guest.MyPlayID, 2);
  EXPECT_TRUE(host.IsHost());
  EXPECT_FALSE(guest.IsHost());

  ASSERT_TRUE(guest.Send(0, {9, 8, 7}));
  std::vector<fw::ReceivedMessage> got;
  ASSERT_TRUE(Eventually([&] {
    while (host.RefreshMsg() > 0) got.push_back(*host.Receive());
    return got.size() >= 2;
  }));
  EXPECT_EQ(SysType(got[0]), fw::kSysPlayerCreated);
  EXPECT_EQ(got[1].from, 2);
  EXPECT_EQ(got[1].bytes, (std::vector<uint8_t>{9, 8, 7}));

  ASSERT_TRUE(host.UpdatePlayers());
  ASSERT_EQ(host.DPEnumPlayers.size(), 2u);
  EXPECT_EQ(host.DPEnumPlayers[1].ShortName, "Bob");
  EXPECT_EQ(host.DPEnumPlayers[1].LongName, "Player");

  // Leaving tells the host at once, not after a time-out.
  guest.CloseDownDPlay();
  got.clear();
  ASSERT_TRUE(Eventually([&] {
    while (host.RefreshMsg() > 0) got.push_back(*host.Receive());
    return !got.empty();
  }));
  EXPECT_EQ(SysType(got[0]), fw::kSysPlayerDestroyed);
  EXPECT_EQ(guest.RefreshMsg(), 0);
}

TEST_F(Pair, JoinGivesTheRefusalAndItsReason) {
  Open();
  struct Case {
    const char* what;
    std::string name;
    JoinResult want;
  } cases[] = {
      {"empty name", "", JoinResult::RefusedBadName},
      {"control byte in the name", std::string("Bo\x01", 3), JoinResult::RefusedBadName},
      {"name too long", std::string(40, 'x'), JoinResult::RefusedBadName},
  };
  for (const Case& c : cases) {
    EXPECT_FALSE(guest.Join(1, c.name)) << c.what;
    EXPECT_EQ(guest.LastJoinResult(), c.want) << c.what;
    EXPECT_FALSE(guest.InSession()) << c.what;
  }
  EXPECT_FALSE(guest.Join(2, "Bob"));
  EXPECT_EQ(guest.LastJoinResult(), JoinResult::NoSuchRow);

  host.SetAccepting(false);
  ASSERT_TRUE(Eventually([&] {
    host.RefreshMsg();  // the advert follows the session's state
    std::lock_guard<std::mutex> lock(world.mutex);
    return !world.adverts.empty() && !world.adverts[0].advert.accepting;
  }));
  EXPECT_FALSE(guest.Join(1, "Bob"));
  EXPECT_EQ(guest.LastJoinResult(), JoinResult::RefusedNotAccepting);
}

TEST(DirectPlay, OtherBuildIsRefusedWithVersion) {
  fw::LoopWorld world;
  fw::SessionOptions other;
  other.build = fw::kSessionBuild + 1;
  qelDirectPlay host(fw::MakeLoopProviders(world, "host"), other);
  qelDirectPlay guest(fw::MakeLoopProviders(world, "guest"));
  ASSERT_TRUE(host.Init() && host.OpenConnection(1) && host.CreateNew("Ann", 0));
  ASSERT_TRUE(guest.Init() && guest.OpenConnection(1));
  EXPECT_FALSE(guest.Join(1, "Bob"));
  EXPECT_EQ(guest.LastJoinResult(), JoinResult::RefusedVersion);
  EXPECT_STREQ(fw::JoinResultText(guest.LastJoinResult()), "version");
}

// Only sessions that can take a player are listed, and a session is listed
// again once it can: the host's answer follows its session as the battle
// reads its messages. A seeker that found it earlier is refused as "full".
TEST(DirectPlay, OnlySessionsThatCanTakeAPlayerAreListed) {
  fw::LoopWorld world;
  qelDirectPlay host(fw::MakeLoopProviders(world, "host"));
  qelDirectPlay b(fw::MakeLoopProviders(world, "b"));
  qelDirectPlay seeker(fw::MakeLoopProviders(world, "seeker"));
  ASSERT_TRUE(host.Init() && host.OpenConnection(1) && host.CreateNew("Ann", 2));
  ASSERT_TRUE(b.Init() && b.OpenConnection(1));
  ASSERT_TRUE(seeker.Init() && seeker.OpenConnection(1));
  // A session of another program's size: no limit of its own, but as many
  // members as a roster holds, or one fewer.
  const auto crowd = [&world](int players) {
    fw::SessionAdvert a;
    a.name = "Crowd";
    a.players = players;
    std::lock_guard<std::mutex> lock(world.mutex);
    std::erase_if(world.adverts, [](const fw::LoopWorld::Entry& e) { return e.advert.name == "Crowd"; });
    world.adverts.push_back(fw::LoopWorld::Entry{world.nextKey++, a});
  };
  const auto listed = [&] {
    host.RefreshMsg();
    std::vector<std::string> names;
    if (seeker.UpdateSession())
      for (const fw::SessionEntry& e : seeker.DPEnumSessions) names.push_back(e.SessionName);
    return names;
  };
  using Names = std::vector<std::string>;
  struct Case {
    const char* what;
    std::function<void()> act;
    Names want;
  };
  const Case cases[] = {
      {"room for one more", [] {}, {"Ann"}},
      {"full",
       [&] {
         ASSERT_TRUE(b.Join(1, "Bob"));
         // The seeker found the game while it still had room: the host refuses.
         EXPECT_FALSE(seeker.Join(1, "Cy"));
         EXPECT_EQ(seeker.LastJoinResult(), JoinResult::RefusedFull);
       },
       {}},
      {"a player left", [&] { b.CloseDownDPlay(); }, {"Ann"}},
      {"not accepting", [&] { host.SetAccepting(false); }, {}},
      {"accepting again", [&] { host.SetAccepting(true); }, {"Ann"}},
      {"one fewer than a roster holds", [&] { crowd(static_cast<int>(fw::kMaxRosterMembers) - 1); }, {"Ann", "Crowd"}},
      {"as many as a roster holds", [&] { crowd(static_cast<int>(fw::kMaxRosterMembers)); }, {"Ann"}},
  };
  for (const Case& c : cases) {
    c.act();
    EXPECT_TRUE(Eventually([&] { return listed() == c.want; })) << c.what;
  }
}

TEST(DirectPlay, UnreachableHostIsAResultNotAWait) {
  fw::LoopWorld world;
  qelDirectPlay host(fw::MakeLoopProviders(world, "host"));
  qelDirectPlay guest(fw::MakeLoopProviders(world, "guest"));
  ASSERT_TRUE(host.Init() && host.OpenConnection(1) && host.CreateNew("Ann", 0));
  ASSERT_TRUE(guest.Init() && guest.OpenConnection(1));
  world.net.Crash("host");  // listed, but gone: the join must end on its own
  auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(guest.Join(1, "Bob"));
  EXPECT_EQ(guest.LastJoinResult(), JoinResult::TimedOut);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(6000));
}

TEST(DirectPlay, ConnectionStates) {
  fw::LoopWorld world;
  qelDirectPlay dp(fw::MakeLoopProviders(world, "me"));
  // Before Init nothing is waiting and nothing changes.
  EXPECT_EQ(dp.RefreshMsg(), 0);
  EXPECT_EQ(dp.MessageCount, 0);
  EXPECT_FALSE(dp.OpenConnection(1));
  ASSERT_TRUE(dp.Init());
  ASSERT_EQ(dp.EnumConnections.size(), 3u);
  EXPECT_NE(dp.EnumConnections[0].Name.find("IPX"), std::string::npos);
  EXPECT_NE(dp.EnumConnections[1].Name.find("TCP"), std::string::npos);
  EXPECT_NE(dp.EnumConnections[2].Name.find("SERIAL"), std::string::npos);
  for (const auto& p : dp.EnumConnections) EXPECT_EQ(p.Name.find("MODEM"), std::string::npos);

  // A typed address stays what CreateIP made, even an empty one.
  dp.CreateIP("");
  ASSERT_TRUE(dp.OpenConnection(1));
  ASSERT_TRUE(dp.DPAddress.has_value());
  EXPECT_EQ(dp.DPAddress->kind, fw::PlayAddress::Kind::TcpIp);
  // An empty search is still a made connection.
  EXPECT_TRUE(dp.ConnectMade);
  EXPECT_TRUE(dp.DPEnumSessions.empty());
  EXPECT_TRUE(dp.GetSessionData(1).SessionName.empty());

  // Without providers there is nothing to offer.
  qelDirectPlay none{std::unique_ptr<fw::NetworkProviders>()};
  EXPECT_FALSE(none.Init());
  EXPECT_FALSE(none.OpenConnection(1));

  // A search that cannot start is False, and leaves ConnectMade alone.
  world.searchFails = true;
  EXPECT_FALSE(dp.OpenConnection(1));
  EXPECT_TRUE(dp.ConnectMade);
}

TEST(DirectPlay, GlobalIsMadeOnFirstUseWithTheGivenProviders) {
  fw::LoopWorld world;
  fw::ReleaseDPlay();
  EXPECT_FALSE(fw::DPlayExists());
  fw::SetDPlayProviders(fw::MakeLoopProviders(world, "g"));
  ASSERT_TRUE(fw::DPlay().Init());
  EXPECT_TRUE(fw::DPlayExists());
  EXPECT_NE(fw::DPlay().EnumConnections[0].Name.find("in memory"), std::string::npos);
  fw::ReleaseDPlay();
  EXPECT_FALSE(fw::DPlayExists());
}

}  // namespace

namespace {

TEST(DirectPlay, HostThatLeavesHandsTheSessionToTheLowestId) {
  fw::LoopWorld world;
  qelDirectPlay a(fw::MakeLoopProviders(world, "a"));
  qelDirectPlay b(fw::MakeLoopProviders(world, "b"));
  qelDirectPlay c(fw::MakeLoopProviders(world, "c"));
  ASSERT_TRUE(a.Init() && a.OpenConnection(1) && a.CreateNew("Ann", 0));
  ASSERT_TRUE(b.Init() && b.OpenConnection(1) && b.Join(1, "Bob"));
  ASSERT_TRUE(c.Init() && c.OpenConnection(1) && c.Join(1, "Cy"));
  ASSERT_TRUE(Eventually([&] { return c.UpdatePlayers() && c.DPEnumPlayers.size() == 3; }));

  std::vector<int32_t> sysB, sysC;
  auto pump = [](qelDirectPlay& dp, std::vector<int32_t>& sys) {
    while (dp.RefreshMsg() > 0) {
      auto m = dp.Receive();
      if (m && m->from == 0) sys.push_back(fwtest::Le32(m->bytes, 0));
    }
  };
  ASSERT_TRUE(Eventually([&] {
    pump(b, sysB);
    pump(c, sysC);
    return sysB.size() == 2 && sysC.size() == 2;  // each heard of the two others
  }));
  sysB.clear();
  sysC.clear();

  a.CloseDownDPlay();
  ASSERT_TRUE(Eventually([&] {
    pump(b, sysB);
    pump(c, sysC);
    return b.PlayerHandle == "HOST" && !sysC.empty();
  }));
  EXPECT_TRUE(b.IsHost());
  EXPECT_FALSE(c.IsHost());
  EXPECT_EQ(c.HostId(), 2);
  // The battle asks its link who hosts: the new host's long name still reads
  // "Player", so only the session can say.
  EXPECT_EQ(fw::DirectPlayLink(c).HostId(), 2);
  EXPECT_EQ(c.PlayerHandle, "Player");
  EXPECT_EQ(sysB, (std::vector<int32_t>{fw::kSysPlayerDestroyed, fw::kSysBecameHost}));
  EXPECT_EQ(sysC, (std::vector<int32_t>{fw::kSysPlayerDestroyed}));
  ASSERT_TRUE(c.UpdatePlayers());
  ASSERT_EQ(c.DPEnumPlayers.size(), 2u);
  EXPECT_EQ(c.DPEnumPlayers[0].Id, 2);

  // The new host keeps the game listed under its session.
  qelDirectPlay d(fw::MakeLoopProviders(world, "d"));
  ASSERT_TRUE(d.Init() && d.OpenConnection(1));
  ASSERT_EQ(d.DPEnumSessions.size(), 1u);
  EXPECT_EQ(d.GetSessionData(1).CurrentPlayers, 2);
  ASSERT_TRUE(d.Join(1, "Di")) << fw::JoinResultText(d.LastJoinResult());
  EXPECT_EQ(d.MyPlayID, 4);  // ids are never reused in a session
}

// A join that waits for the network gives the game thread back to the
// caller's pump between short slices of the wait, on the caller's own
// thread, until the real result or the deadline; nothing else changes.
TEST(DirectPlay, AWaitingJoinCallsThePumpOnTheCallersThread) {
  struct Case {
    const char* what;
    uint32_t latencyMs;  // each way
    bool hostGone;
    JoinResult want;
  } cases[] = {
      {"slow link, welcomed", 150, false, JoinResult::Ok},
      {"host gone, the deadline ends it", 1, true, JoinResult::TimedOut},
  };
  for (const Case& c : cases) {
    fw::LoopWorld world(plat::LoopNetwork::Options{1, c.latencyMs, c.latencyMs, true});
    qelDirectPlay host(fw::MakeLoopProviders(world, "host"));
    qelDirectPlay guest(fw::MakeLoopProviders(world, "guest"));
    ASSERT_TRUE(host.Init() && host.OpenConnection(1) && host.CreateNew("Ann", 0)) << c.what;
    ASSERT_TRUE(guest.Init() && guest.OpenConnection(1)) << c.what;
    if (c.hostGone) world.net.Crash("host");
    const std::thread::id caller = std::this_thread::get_id();
    int pumps = 0;
    bool elsewhere = false;
    const bool joined = guest.Join(1, "Bob", [&] {
      ++pumps;
      elsewhere |= std::this_thread::get_id() != caller;
    });
    EXPECT_EQ(joined, c.want == JoinResult::Ok) << c.what;
    EXPECT_EQ(guest.LastJoinResult(), c.want) << c.what;
    EXPECT_EQ(guest.InSession(), c.want == JoinResult::Ok) << c.what;
    // Hundreds of milliseconds of waiting in slices of a few.
    EXPECT_GE(pumps, 5) << c.what;
    EXPECT_FALSE(elsewhere) << c.what;
    if (c.want == JoinResult::Ok) {
      EXPECT_EQ(guest.MyPlayID, 2) << c.what;
    }
  }
}

}  // namespace
