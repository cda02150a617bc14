// The ENet transport on 127.0.0.1, through the lossy relay: what one end
// sends arrives at the other once and in order; closing and silence end
// links; a search's datagram on the game port is answered, not taken for
// ENet's own.
#include <gtest/gtest.h>

#include <chrono>
#include <map>

#include "platform/net/enet_transport.hpp"
#include "platform/net/udp_socket.hpp"
#include "tests/multiplayer/net_env.hpp"

namespace {

using Clock = std::chrono::steady_clock;
using plat::EnetTransport;
using plat::TransportEvent;

std::string Loop(uint16_t port) { return "127.0.0.1:" + std::to_string(port); }

struct Pair {
  EnetTransport server, client;
  plat::LinkId serverLink = 0, clientLink = 0;
  std::vector<std::vector<uint8_t>> atServer, atClient;
  int serverDown = 0, clientDown = 0;
  uint16_t port = 0;

  Pair() {
    std::string error;
    EXPECT_TRUE(server.Listen("127.0.0.1:0", &error)) << error;
    port = plat::ParseHostPort(server.LocalAddress())->port;
  }
  void Pump(int ms = 2) {
    server.Wait(static_cast<uint32_t>(ms));
    while (auto e = server.Poll()) Take(*e, serverLink, atServer, serverDown);
    client.Wait(static_cast<uint32_t>(ms));
    while (auto e = client.Poll()) Take(*e, clientLink, atClient, clientDown);
  }
  static void Take(TransportEvent& e, plat::LinkId& link, std::vector<std::vector<uint8_t>>& got, int& down) {
    if (e.kind == TransportEvent::Kind::Connected) link = e.link;
    if (e.kind == TransportEvent::Kind::Received) got.push_back(std::move(e.data));
    if (e.kind == TransportEvent::Kind::Disconnected) ++down;
  }
  template <class Pred>
  bool PumpUntil(Pred done, int seconds) {
    auto end = Clock::now() + std::chrono::seconds(seconds);
    while (!done() && Clock::now() < end) Pump();
    return done();
  }
};

std::vector<uint8_t> Numbered(uint32_t i, size_t size) {
  std::vector<uint8_t> m(size, static_cast<uint8_t>(i * 13));
  for (int k = 0; k < 4 && k < static_cast<int>(size); ++k) m[k] = static_cast<uint8_t>(i >> (8 * k));
  return m;
}

TEST(EnetTransport, DeliversOnceInOrderThroughALossyRelay) {
  struct Case {
    const char* what;
    fwtest::LineFaults faults;
    int messages;
  } cases[] = {
      {"clean", {}, 300},
      {"5% loss, 50+-30 ms, doubles", {0.05, 0.02, 50, 30, false}, 300},
  };
  for (const Case& c : cases) {
    Pair p;
    fwtest::UdpRelay relay(p.port, 7);
    relay.SetFaults(c.faults, c.faults);
    plat::LinkId asked = p.client.Connect(Loop(relay.Port()));
    ASSERT_NE(asked, 0u);
    ASSERT_TRUE(p.PumpUntil([&] { return p.clientLink != 0 && p.serverLink != 0; }, 10)) << c.what;
    EXPECT_EQ(p.clientLink, asked);
    for (int i = 0; i < c.messages; ++i) {
      ASSERT_TRUE(p.client.Send(asked, Numbered(i, 100 + i % 400)));
      ASSERT_TRUE(p.server.Send(p.serverLink, Numbered(i, 20)));
      if (i % 10 == 0) p.Pump(0);
    }
    ASSERT_TRUE(p.PumpUntil([&] { return p.atServer.size() >= size_t(c.messages) && p.atClient.size() >= size_t(c.messages); }, 20))
        << c.what << ": " << p.atServer.size() << " / " << p.atClient.size();
    p.Pump(50);
    ASSERT_EQ(p.atServer.size(), size_t(c.messages)) << c.what;
    ASSERT_EQ(p.atClient.size(), size_t(c.messages)) << c.what;
    for (int i = 0; i < c.messages; ++i) {
      ASSERT_EQ(p.atServer[i], Numbered(i, 100 + i % 400)) << c.what << " " << i;
      ASSERT_EQ(p.atClient[i], Numbered(i, 20)) << c.what << " " << i;
    }
    // Closing tells the far end; no event comes back for our own close.
    p.client.Close(asked);
    ASSERT_TRUE(p.PumpUntil([&] { return p.serverDown == 1; }, 10)) << c.what;
    EXPECT_EQ(p.clientDown, 0) << c.what;
    EXPECT_FALSE(p.client.Send(asked, Numbered(1, 1)));
  }
}

TEST(EnetTransport, MessagesSentIntoABlackHoleArriveInOrderOnceItClears) {
  Pair p;
  fwtest::UdpRelay relay(p.port, 9);
  plat::LinkId asked = p.client.Connect(Loop(relay.Port()));
  ASSERT_TRUE(p.PumpUntil([&] { return p.clientLink != 0 && p.serverLink != 0; }, 10));
  fwtest::LineFaults hole{0, 0, 0, 0, true};
  relay.SetFaults(hole, hole);
  for (uint32_t i = 0; i < 50; ++i) ASSERT_TRUE(p.client.Send(asked, Numbered(i, 64)));
  auto end = Clock::now() + std::chrono::seconds(1);
  while (Clock::now() < end) p.Pump();
  EXPECT_TRUE(p.atServer.empty());
  relay.SetFaults({}, {});
  ASSERT_TRUE(p.PumpUntil([&] { return p.atServer.size() >= 50; }, 15)) << p.atServer.size();
  for (uint32_t i = 0; i < 50; ++i) EXPECT_EQ(p.atServer[i], Numbered(i, 64)) << i;
  EXPECT_EQ(p.serverDown + p.clientDown, 0);
}

// ENet alone backs a resend off without bound and wakes for resends only
// when the oldest message in flight is due: a message whose answers had been
// lost for seconds held back a later one, lost once, for as long again.
TEST(EnetTransport, AMessageLostOnceIsNotHeldBackByAnOlderOnesLongBackOff) {
  Pair p;
  fwtest::UdpRelay relay(p.port, 5);
  plat::LinkId asked = p.client.Connect(Loop(relay.Port()));
  ASSERT_TRUE(p.PumpUntil([&] { return p.clientLink != 0 && p.serverLink != 0; }, 10));
  const fwtest::LineFaults clear{}, hole{0, 0, 0, 0, true};

  // The first message arrives; its acknowledgements never come back, so
  // every datagram passing the relay from now on is a resend of it. Wait for
  // one four seconds or more into the cut: the wait before the next has
  // grown as long, unless something bounds it.
  relay.SetFaults(clear, hole);
  ASSERT_TRUE(p.client.Send(asked, Numbered(1, 32)));
  ASSERT_TRUE(p.PumpUntil([&] { return p.atServer.size() == 1; }, 5));
  const auto cut = Clock::now();
  uint64_t passed = relay.Forwarded();
  bool late = false;
  ASSERT_TRUE(p.PumpUntil(
      [&] {
        if (!late && relay.Forwarded() != passed) {
          passed = relay.Forwarded();
          late = Clock::now() - cut >= std::chrono::seconds(4);
        }
        return late;
      },
      12));

  // The answers come back; the second message is lost on its way once.
  relay.SetFaults(hole, clear);
  ASSERT_TRUE(p.client.Send(asked, Numbered(2, 32)));
  const auto end = Clock::now() + std::chrono::milliseconds(100);
  while (Clock::now() < end) p.Pump();
  relay.SetFaults(clear, clear);
  const auto cleared = Clock::now();
  ASSERT_TRUE(p.PumpUntil([&] { return p.atServer.size() == 2; }, 20));
  EXPECT_LT(Clock::now() - cleared, std::chrono::seconds(2));
  EXPECT_EQ(p.atServer[1], Numbered(2, 32));
  EXPECT_EQ(p.serverDown + p.clientDown, 0);
}

TEST(EnetTransport, RefusesWhatItCannotCarry) {
  Pair p;
  std::string error;
  EXPECT_FALSE(p.server.Listen("127.0.0.1:0", &error));  // one listening address
  EnetTransport other;
  EXPECT_FALSE(other.Listen("127.0.0.1:" + std::to_string(p.port), &error));  // in use
  EXPECT_FALSE(other.Listen("nowhere:1", &error));
  EXPECT_FALSE(error.empty());
  for (const char* bad : {"", "127.0.0.1", "127.0.0.1:0", "/dev/ttyS0", "1.2.3:4"}) EXPECT_EQ(other.Connect(bad), 0u) << bad;
  plat::LinkId asked = p.client.Connect(Loop(p.port));
  ASSERT_TRUE(p.PumpUntil([&] { return p.serverLink != 0 && p.clientLink != 0; }, 10));
  EXPECT_FALSE(p.client.Send(asked, std::vector<uint8_t>(EnetTransport::kMaxPacket + 1)));
  EXPECT_TRUE(p.client.Send(asked, std::vector<uint8_t>(EnetTransport::kMaxPacket)));
  EXPECT_FALSE(p.client.Send(asked + 50, std::vector<uint8_t>(1)));
  ASSERT_TRUE(p.PumpUntil([&] { return p.atServer.size() == 1; }, 10));
  EXPECT_EQ(p.atServer[0].size(), EnetTransport::kMaxPacket);
}

TEST(EnetTransport, AnswersQueriesOnTheGamePortAndStillCarriesLinks) {
  Pair p;
  p.server.SetQueryHandler([](std::span<const uint8_t> d) -> std::optional<std::vector<uint8_t>> {
    if (d.size() == 4 && d[0] == 'Q') return std::vector<uint8_t>{'A', d[1], d[2], d[3]};
    return std::nullopt;
  });
  plat::UdpSocket asker;
  ASSERT_TRUE(asker.Open(plat::kLoopback, 0, false));
  ASSERT_TRUE(asker.SendTo(plat::kLoopback, p.port, std::vector<uint8_t>{'Q', 1, 2, 3}));
  std::optional<plat::Datagram> answer;
  auto end = Clock::now() + std::chrono::seconds(5);
  while (!answer && Clock::now() < end) {
    p.Pump();
    answer = asker.Receive();
  }
  ASSERT_TRUE(answer);
  EXPECT_EQ(answer->bytes, (std::vector<uint8_t>{'A', 1, 2, 3}));
  EXPECT_EQ(answer->port, p.port);

  // ENet's own traffic passes the handler untouched.
  plat::LinkId asked = p.client.Connect(Loop(p.port));
  ASSERT_TRUE(p.PumpUntil([&] { return p.serverLink != 0; }, 10));
  ASSERT_TRUE(p.client.Send(asked, Numbered(5, 10)));
  ASSERT_TRUE(p.PumpUntil([&] { return p.atServer.size() == 1; }, 10));
  p.server.SetQueryHandler({});
  ASSERT_TRUE(asker.SendTo(plat::kLoopback, p.port, std::vector<uint8_t>{'Q', 1, 2, 3}));
  for (int i = 0; i < 20; ++i) p.Pump(5);
  EXPECT_FALSE(asker.Receive());
}

TEST(EnetTransport, WakeCutsAWaitShort) {
  EnetTransport t;
  std::string error;
  ASSERT_TRUE(t.Listen("127.0.0.1:0", &error));
  std::thread waker([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    t.Wake();
  });
  auto start = Clock::now();
  t.Wait(5000);  // nothing of ENet's is due with no peers: only the wake ends it
  waker.join();
  EXPECT_LT(Clock::now() - start, std::chrono::seconds(2));
}

}  // namespace
