// Strangers on the LAN: a machine that answers every query a thousand times
// with made-up games does not hide a real one, and a query too short to pay
// for its answer gets none, so a forged source draws no more than it sent.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <thread>

#include "multiplayer/session/discovery_search.hpp"
#include "platform/net/wake_event.hpp"
#include "tests/multiplayer/net_env.hpp"

namespace {

using Clock = std::chrono::steady_clock;

constexpr plat::Ipv4 kSecondLoopback{0x7F000002u};

fw::DiscoveryAnswer AnswerTo(const fw::DiscoveryQuery& q, const std::string& name, uint16_t gamePort) {
  fw::DiscoveryAnswer a;
  a.protocol = fw::kSessionProtocol;
  a.build = fw::kSessionBuild;
  a.nonce = q.nonce;
  a.sessionId = gamePort;
  a.name = name;
  a.players = 1;
  a.maximum = 8;
  a.gamePort = gamePort;
  a.accepting = true;
  return a;
}

// A socket of its own address that answers queries from a thread; `answer`
// runs for each query, `idle` whenever 20 ms pass without one.
class Responder {
 public:
  using OnQuery = std::function<void(const plat::UdpSocket&, const plat::Datagram&, const fw::DiscoveryQuery&)>;
  Responder(plat::Ipv4 address, OnQuery answer, std::function<void(const plat::UdpSocket&)> idle = {})
      : answer_(std::move(answer)), idle_(std::move(idle)) {
    EXPECT_TRUE(socket_.Open(address, 0, false));
    thread_ = std::thread([this] {
      while (!stop_) {
        const int fd = socket_.Fd();
        plat::WaitReadable(&fd, 1, nullptr, 20);
        bool any = false;
        while (auto d = socket_.Receive())
          if (auto q = fw::DecodeQuery(d->bytes)) {
            answer_(socket_, *d, *q);
            any = true;
          }
        if (!any && idle_) idle_(socket_);
      }
    });
  }
  ~Responder() {
    stop_ = true;
    thread_.join();
  }
  uint16_t Port() const { return socket_.LocalPort(); }

 private:
  plat::UdpSocket socket_;
  OnQuery answer_;
  std::function<void(const plat::UdpSocket&)> idle_;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

size_t Named(const std::vector<fw::SessionAdvert>& list, const std::string& name) {
  return static_cast<size_t>(std::count_if(list.begin(), list.end(), [&](const auto& a) { return a.name == name; }));
}

TEST(DiscoveryHostile, AThousandFakeAnswersPerQueryDoNotHideARealGame) {
  // The spoofer answers each query with a thousand games on made-up ports.
  std::atomic<int> bursts{0};
  Responder spoofer(plat::kLoopback, [&](const plat::UdpSocket& s, const plat::Datagram& d, const fw::DiscoveryQuery& q) {
    for (uint16_t port = 1; port <= 1000; ++port) s.SendTo(d.from, d.port, fw::EncodeAnswer(AnswerTo(q, "Fake", port)));
    ++bursts;
  });
  // The real game answers after the spoofer's burst, and again every idle
  // moment until the next query, so a datagram lost to the burst's full
  // buffer cannot decide the outcome: only the search's table can.
  std::mutex mutex;
  std::vector<uint8_t> latest;
  plat::Ipv4 searchAddress{};
  uint16_t searchPort = 0;
  int queries = 0;
  Responder real(
      kSecondLoopback,
      [&](const plat::UdpSocket& s, const plat::Datagram& d, const fw::DiscoveryQuery& q) {
        ++queries;
        const auto deadline = Clock::now() + std::chrono::seconds(5);
        while (bursts < queries && Clock::now() < deadline) std::this_thread::yield();
        std::lock_guard lock(mutex);
        latest = fw::EncodeAnswer(AnswerTo(q, "Real", 4000));
        searchAddress = d.from;
        searchPort = d.port;
        s.SendTo(searchAddress, searchPort, latest);
      },
      [&](const plat::UdpSocket& s) {
        std::lock_guard lock(mutex);
        if (!latest.empty()) s.SendTo(searchAddress, searchPort, latest);
      });

  fw::UdpSessionSearch search({{plat::kLoopback, spoofer.Port()}, {kSecondLoopback, real.Port()}},
                              fw::kSessionProtocol, fw::kSessionBuild);
  std::string error;
  ASSERT_TRUE(search.Start(&error)) << error;
  // Once the real game has been heard, it stays listed at every refresh.
  const auto deadline = Clock::now() + std::chrono::seconds(10);
  bool heard = false;
  while (!heard && Clock::now() < deadline) heard = Named(search.Refresh(), "Real") == 1;
  ASSERT_TRUE(heard) << "the spoofer's answers hid the real game";
  for (int i = 0; i < 6; ++i) {
    const auto list = search.Refresh();
    EXPECT_EQ(Named(list, "Real"), 1u) << "refresh " << i;
    EXPECT_LE(Named(list, "Fake"), static_cast<size_t>(fw::kGamePortsPerMachine));
    EXPECT_GT(Named(list, "Fake"), 0u);
  }
}

TEST(DiscoveryHostile, AShortQueryGetsNoAnswerAndNoAnswerOutgrowsItsQuery) {
  fwtest::LoopbackNetwork net;
  auto providers = fw::MakeNetworkProviders(fw::kSessionProtocol, fw::kSessionBuild);
  auto game = providers->MakeTransport(fw::PlayAddress{}, nullptr);
  ASSERT_TRUE(game);
  // The longest name a host can have.
  fw::SessionAdvert advert{fw::kSessionProtocol, fw::kSessionBuild, 7, std::string(fw::kDiscoveryNameMax, 'N'), 1, 8,
                           true, "127.0.0.1:" + std::to_string(net.gamePort)};
  fw::HostAdvertiser host(*game, advert);
  std::string error;
  ASSERT_TRUE(host.StartLan(net.discoveryPort, &error)) << error;

  plat::UdpSocket asker;
  ASSERT_TRUE(asker.Open(plat::kLoopback, 0, false));
  const auto full = fw::EncodeQuery({fw::kSessionProtocol, fw::kSessionBuild, 2});
  // The query of the first protocol: the head alone, fourteen bytes.
  const auto head = fw::EncodeQuery({fw::kSessionProtocol, fw::kSessionBuild, 1});
  const std::vector<uint8_t> shortQuery(head.begin(), head.begin() + 14);
  asker.SendTo(plat::kLoopback, net.discoveryPort, shortQuery);
  asker.SendTo(plat::kLoopback, net.discoveryPort, full);

  // The host reads in order: the first answer that comes is the full query's.
  const auto deadline = Clock::now() + std::chrono::seconds(5);
  std::optional<plat::Datagram> got;
  while (!got && Clock::now() < deadline) {
    const int fd = asker.Fd();
    plat::WaitReadable(&fd, 1, nullptr, 50);
    got = asker.Receive();
  }
  ASSERT_TRUE(got) << "no answer to the full query";
  auto answer = fw::DecodeAnswer(got->bytes);
  ASSERT_TRUE(answer);
  EXPECT_EQ(answer->nonce, 2u);
  EXPECT_EQ(answer->name, advert.name);
  EXPECT_LE(got->bytes.size(), full.size());
  EXPECT_EQ(fw::EncodeAnswer(*answer).size(), fw::kDiscoveryAnswerMaxBytes);
}

}  // namespace
