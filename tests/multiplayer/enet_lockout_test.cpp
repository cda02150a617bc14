// Strangers cannot lock a session's joiners out: connects that never finish
// and links that never say Hello take no slot a joiner needs, and the members
// already in play on. Real ENet on 127.0.0.1 only, free ports, every wait
// with a deadline; under 20 s of wall time.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "multiplayer/session/session_engine.hpp"
#include "platform/net/enet_transport.hpp"
#include "platform/net/udp_socket.hpp"
#include "session_mesh.hpp"

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

// An ENet connect request as a client's first datagram, that nobody will
// ever finish: header with a send time, then CONNECT (acknowledge wanted)
// for one channel. Big-endian throughout.
std::vector<uint8_t> HalfOpenConnect(uint32_t connectId) {
  std::vector<uint8_t> b;
  auto u8 = [&](uint32_t v) { b.push_back(static_cast<uint8_t>(v)); };
  auto u16 = [&](uint32_t v) { u8(v >> 8); u8(v); };
  auto u32 = [&](uint32_t v) { u16(v >> 16); u16(v); };
  u16(0x8000 | 0x0FFF);  // sent time follows; no peer yet
  u16(0);
  u8(0x80 | 2);  // CONNECT, acknowledge
  u8(0xFF);
  u16(1);
  u16(0);        // the id it would have us use
  u8(0xFF);
  u8(0xFF);
  u32(1400);     // mtu
  u32(32768);    // window
  u32(1);        // channels
  u32(0);
  u32(0);
  u32(5000);
  u32(2);
  u32(2);
  u32(connectId);
  u32(0);
  return b;
}

// Keeps n links to address open that never say a word, opening another
// whenever the far end drops one.
class SilentCrowd {
 public:
  SilentCrowd(std::string address, int n) : address_(std::move(address)) {
    for (int i = 0; i < n; ++i) t_.Connect(address_);
  }
  void Pump() {
    while (auto ev = t_.Poll())
      if (ev->kind == plat::TransportEvent::Kind::Disconnected) {
        t_.Connect(address_);
        ++dropped;
      }
    t_.Wait(2);
  }
  int dropped = 0;

 private:
  std::string address_;
  plat::EnetTransport t_;
};

bool JoinWithin(fw::SessionEngine& e, const fw::SessionSnapshot& host, const std::string& name, uint32_t ms) {
  std::string error;
  if (!e.StartJoin({"127.0.0.1:0"}, host.members.at(0).address, host.sessionId, name, &error)) return false;
  return e.WaitJoin(ms) == fw::JoinResult::Ok;
}

TEST(EnetLockout, HalfOpenConnectsAndSilentLinksKeepNoJoinerOut) {
  fw::SessionEngine host(std::make_unique<plat::EnetTransport>());
  std::string error;
  ASSERT_TRUE(host.Host({"127.0.0.1:0"}, "Ann", "Ann", 0, &error)) << error;
  const fw::SessionSnapshot snap = host.Snapshot();
  const auto hostPort = plat::ParseHostPort(snap.members.at(0).address)->port;
  fw::SessionEngine bob(std::make_unique<plat::EnetTransport>());
  ASSERT_TRUE(JoinWithin(bob, snap, "Bob", 5000));

  // 1,000 half-open connects a second for 10 s, and 100 links that never
  // say Hello, from the start.
  std::atomic<bool> stop{false};
  std::atomic<int> crowdDropped{0};
  const auto floodStart = Clock::now();
  const auto floodEnd = floodStart + 10s;
  std::thread flood([&] {
    plat::UdpSocket s;
    ASSERT_TRUE(s.Open(plat::Ipv4{0x7F000001}, 0, false));
    for (uint32_t i = 0; Clock::now() < floodEnd; ++i) {
      s.SendTo(plat::Ipv4{0x7F000001}, hostPort, HalfOpenConnect(0x5EED0000u + i));
      while (s.Receive()) {
      }
      std::this_thread::sleep_until(floodStart + 1ms * (i + 1));
    }
  });
  std::thread crowd([&] {
    SilentCrowd c(snap.members.at(0).address, 100);
    while (!stop) c.Pump();
    crowdDropped = c.dropped;
  });
  // Bob and Ann keep talking through it all.
  uint32_t sent = 0, heard = 0;
  auto talk = [&] {
    if (bob.Send(1, fwtest::Tagged(2, sent))) ++sent;
    while (auto m = host.Receive()) heard += m->from == 2;
    while (bob.Receive()) {
    }
  };

  std::this_thread::sleep_until(floodStart + 2s);
  talk();
  fw::SessionEngine carol(std::make_unique<plat::EnetTransport>());
  const auto carolStart = Clock::now();
  EXPECT_TRUE(JoinWithin(carol, snap, "Carol", 5000)) << "a joiner during the flood";
  const auto carolMs = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - carolStart).count();
  EXPECT_LE(carolMs, 5000);
  while (Clock::now() < floodEnd) {
    talk();
    std::this_thread::sleep_for(20ms);
  }
  flood.join();
  stop = true;
  crowd.join();

  fw::SessionEngine dave(std::make_unique<plat::EnetTransport>());
  EXPECT_TRUE(JoinWithin(dave, snap, "Dave", 5000)) << "a joiner after the flood";
  const auto daveMs = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - floodEnd).count();
  EXPECT_LE(daveMs, 1000);
  std::printf("joined during the flood in %lld ms, after it in %lld ms; %d silent links shown the door\n",
              static_cast<long long>(carolMs), static_cast<long long>(daveMs), crowdDropped.load());

  // Everything Bob sent arrives; nothing more is sent while waiting for it.
  for (auto deadline = Clock::now() + 3s; heard < sent && Clock::now() < deadline; std::this_thread::sleep_for(5ms))
    while (auto m = host.Receive()) heard += m->from == 2;
  EXPECT_GT(sent, 100u);
  EXPECT_EQ(heard, sent);
  EXPECT_TRUE(fwtest::InSession(bob));
  std::vector<int32_t> roster = fwtest::RosterIds(host);
  EXPECT_EQ(roster.size(), 4u);
  EXPECT_EQ(roster.at(1), 2);
}

}  // namespace
