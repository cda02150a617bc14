// The session object over the product's providers on this machine: the
// lobby's road (open a connection, list, create, join, exchange, leave) by
// LAN search, typed address and serial cable; another build is refused with
// "version".
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "multiplayer/session/direct_play.hpp"
#include "multiplayer/session/discovery_search.hpp"
#include "multiplayer/session/session_engine.hpp"
#include "tests/multiplayer/net_env.hpp"
#include "tests/multiplayer/pty_pair.hpp"

namespace {

using fw::JoinResult;
using fw::PlayAddress;
using fw::qelDirectPlay;

// Asks pred until it holds (it may consume what it looks at, so it is
// asked once per turn).
template <class Pred>
bool Within(int seconds, Pred pred) {
  auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  for (;;) {
    if (pred()) return true;
    if (std::chrono::steady_clock::now() >= end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

int32_t Le32(const std::vector<uint8_t>& b) {
  return b.size() < 4 ? -1 : static_cast<int32_t>(b[0] | b[1] << 8 | b[2] << 16 | uint32_t{b[3]} << 24);
}

// Sets the address a road's lobby would, before OpenConnection.
void Address(qelDirectPlay& dp, int provider, int comPort) {
  if (provider == 2) dp.CreateIP("127.0.0.1");
  if (provider == 3) dp.DPAddress = dp.DPLobby.ComPortAddress(comPort, 57600, 1, 0, 0);
}

TEST(RealDirectPlay, LobbyRoadsOverEveryProvider) {
  fwtest::LoopbackNetwork env;
  fwtest::Pty com1, com2;
  fwtest::CorruptingRelay cable(com1.master, com2.master, 0.0, 3);
  fwtest::ScopedEnv c1("FERROWIND_COM1", com1.slave), c2("FERROWIND_COM2", com2.slave);
  struct Road {
    const char* what;
    int provider;
  } roads[] = {{"LAN", 1}, {"TCP/IP", 2}, {"serial", 3}};
  for (const Road& r : roads) {
    qelDirectPlay host, guest;
    ASSERT_TRUE(host.Init());
    ASSERT_EQ(host.EnumConnections.size(), 3u);
    EXPECT_NE(host.EnumConnections[static_cast<size_t>(r.provider - 1)].Name.find(r.what[0] == 's' ? "SERIAL" : r.what[0] == 'L' ? "IPX" : "TCP"),
              std::string::npos);
    Address(host, r.provider, 1);
    ASSERT_TRUE(host.OpenConnection(r.provider)) << r.what;
    EXPECT_TRUE(host.ConnectMade);
    ASSERT_TRUE(host.CreateNew("Ann", 0)) << r.what;
    EXPECT_TRUE(host.IsHost());

    ASSERT_TRUE(guest.Init());
    Address(guest, r.provider, 2);
    ASSERT_TRUE(guest.OpenConnection(r.provider)) << r.what;
    ASSERT_EQ(guest.DPEnumSessions.size(), 1u) << r.what;
    EXPECT_EQ(guest.GetSessionData(1).SessionName, "Ann");
    ASSERT_TRUE(guest.Join(1, "Bob")) << r.what << ": " << fw::JoinResultText(guest.LastJoinResult());
    EXPECT_EQ(guest.PlayerHandle, "Player");
    EXPECT_FALSE(guest.IsHost());

    ASSERT_TRUE(guest.Send(0, {7, 7, 7}));
    ASSERT_TRUE(host.Send(guest.MyPlayID, {8}));
    std::optional<fw::ReceivedMessage> atHost, atGuest;
    ASSERT_TRUE(Within(10, [&] {
      while (!atHost || atHost->from == 0) {
        atHost = host.Receive();
        if (!atHost) break;
      }
      while (!atGuest || atGuest->from == 0) {
        atGuest = guest.Receive();
        if (!atGuest) break;
      }
      return atHost && atGuest;
    })) << r.what;
    EXPECT_EQ(atHost->from, guest.MyPlayID);
    EXPECT_EQ(atHost->bytes, (std::vector<uint8_t>{7, 7, 7}));
    EXPECT_EQ(atGuest->from, host.MyPlayID);

    // Leaving tells the host at once, not after a time-out.
    int32_t gone = guest.MyPlayID;
    guest.CloseDownDPlay();
    bool destroyed = Within(3, [&] {
      while (auto m = host.Receive())
        if (m->from == 0 && Le32(m->bytes) == fw::kSysPlayerDestroyed) return true;
      return false;
    });
    EXPECT_TRUE(destroyed) << r.what << " player " << gone;
    host.CloseDownDPlay();
  }
}

TEST(RealDirectPlay, AnotherBuildIsListedButRefusedWithVersion) {
  fwtest::LoopbackNetwork env;
  fw::SessionOptions other;
  other.build = fw::kSessionBuild + 1;
  qelDirectPlay host(fw::MakeNetworkProviders(fw::kSessionProtocol, other.build), other);
  qelDirectPlay guest;
  ASSERT_TRUE(host.Init() && host.OpenConnection(1) && host.CreateNew("Ann", 0));
  ASSERT_TRUE(guest.Init() && guest.OpenConnection(1));
  ASSERT_EQ(guest.DPEnumSessions.size(), 1u);
  EXPECT_FALSE(guest.Join(1, "Bob"));
  EXPECT_EQ(guest.LastJoinResult(), JoinResult::RefusedVersion);
  EXPECT_STREQ(fw::JoinResultText(guest.LastJoinResult()), "version");
}

TEST(RealDirectPlay, AHostThatWentIsAJoinResultWithinFiveSeconds) {
  fwtest::LoopbackNetwork env;
  auto host = std::make_unique<qelDirectPlay>();
  qelDirectPlay guest;
  ASSERT_TRUE(host->Init() && host->OpenConnection(1) && host->CreateNew("Ann", 0));
  ASSERT_TRUE(guest.Init() && guest.OpenConnection(1));
  ASSERT_EQ(guest.DPEnumSessions.size(), 1u);
  host.reset();  // listed, then gone before the join
  auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(guest.Join(1, "Bob"));
  EXPECT_TRUE(guest.LastJoinResult() == JoinResult::TimedOut || guest.LastJoinResult() == JoinResult::Unreachable)
      << fw::JoinResultText(guest.LastJoinResult());
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(6000));
  EXPECT_FALSE(guest.InSession());
}

TEST(RealDirectPlay, OpenConnectionFailsOnlyWhenTheSearchCannotStart) {
  fwtest::LoopbackNetwork env;
  qelDirectPlay dp;
  ASSERT_TRUE(dp.Init());
  dp.CreateIP("192.168.0.");  // Enter with an octet still pending
  EXPECT_FALSE(dp.OpenConnection(2));
  dp.CreateIP("127.0.0.1");
  EXPECT_TRUE(dp.OpenConnection(2));
  EXPECT_TRUE(dp.ConnectMade);
  EXPECT_TRUE(dp.DPEnumSessions.empty());
}

}  // namespace
