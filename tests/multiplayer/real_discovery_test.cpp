// Finding games on this machine with the product's providers: two hosts on
// free ports appear in a LAN search on 127.255.255.255 and in a typed search
// of 127.0.0.1; a host of another protocol version does not; answers of a
// host that went expire.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <thread>

#include "multiplayer/session/discovery_search.hpp"
#include "tests/multiplayer/net_env.hpp"

namespace {

using fw::PlayAddress;
using fw::SessionAdvert;

struct Host {
  std::unique_ptr<fw::NetworkProviders> providers;
  std::unique_ptr<plat::Transport> transport;
  std::unique_ptr<fw::SessionAdvertiser> advertiser;
  SessionAdvert advert;

  Host(const std::string& name, uint16_t protocol, uint32_t build) {
    providers = fw::MakeNetworkProviders(protocol, build);
    PlayAddress lan;
    transport = providers->MakeTransport(lan, nullptr);
    std::string error;
    for (const auto& a : providers->ListenAddresses(lan, true))
      if (transport->Listen(a, &error)) break;
    EXPECT_FALSE(transport->LocalAddress().empty()) << error;
    advert = SessionAdvert{protocol, build, 0x1000u + name.size(), name, 1, 4, true, transport->LocalAddress()};
    advertiser = providers->StartAdvertiser(lan, *transport, advert, &error);
    EXPECT_TRUE(advertiser) << error;
  }
  uint16_t Port() const { return plat::ParseHostPort(advert.gameAddress)->port; }
};

// Services the hosts' transports as their network threads would.
class Pump {
 public:
  explicit Pump(std::vector<Host*> hosts) : hosts_(std::move(hosts)) {
    thread_ = std::thread([this] {
      while (!stop_)
        for (Host* h : hosts_) {
          h->transport->Wait(2);
          while (h->transport->Poll()) {
          }
        }
    });
  }
  ~Pump() {
    stop_ = true;
    thread_.join();
  }

 private:
  std::vector<Host*> hosts_;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

std::vector<std::string> Found(const std::vector<SessionAdvert>& list) {
  std::vector<std::string> out;
  for (const auto& a : list) out.push_back(a.name + "@" + a.gameAddress);
  std::sort(out.begin(), out.end());
  return out;
}

TEST(RealDiscovery, TwoHostsFoundByLanAndTypedSearchOtherProtocolNot) {
  fwtest::LoopbackNetwork net;
  Host ann("Ann", fw::kSessionProtocol, fw::kSessionBuild);
  Host bob("Bob", fw::kSessionProtocol, fw::kSessionBuild + 1);  // another build is still listed
  Host old("Old", fw::kSessionProtocol + 1, fw::kSessionBuild);
  EXPECT_EQ(ann.Port(), net.gamePort);
  EXPECT_EQ(bob.Port(), net.gamePort + 1);
  Pump pump({&ann, &bob, &old});

  auto seeker = fw::MakeDefaultProviders();
  const std::vector<std::string> want = {"Ann@127.0.0.1:" + std::to_string(ann.Port()),
                                         "Bob@127.0.0.1:" + std::to_string(bob.Port())};
  struct Case {
    const char* what;
    PlayAddress address;
  } cases[] = {
      {"LAN", PlayAddress{}},
      {"typed", PlayAddress{PlayAddress::Kind::TcpIp, "127.0.0.1"}},
  };
  for (const Case& c : cases) {
    std::string error;
    auto search = seeker->StartSearch(c.address, &error);
    ASSERT_TRUE(search) << c.what << ": " << error;
    auto list = search->Refresh();
    EXPECT_EQ(Found(list), want) << c.what;
    for (const auto& a : list) {
      EXPECT_EQ(a.players, 1);
      EXPECT_EQ(a.maxPlayers, 4);
      EXPECT_TRUE(a.accepting);
      EXPECT_EQ(a.sessionId, a.name == "Ann" ? ann.advert.sessionId : bob.advert.sessionId);
    }
  }

  // What a host changes shows at the next look; a host that stops answering
  // leaves the list once its answer is older than three seconds.
  std::string error;
  auto search = seeker->StartSearch(PlayAddress{}, &error);
  ann.advert.players = 3;
  ann.advert.accepting = false;
  ann.advertiser->Update(ann.advert);
  auto list = search->Refresh();
  ASSERT_EQ(list.size(), 2u);
  auto annFound = std::find_if(list.begin(), list.end(), [](auto& a) { return a.name == "Ann"; });
  EXPECT_EQ(annFound->players, 3);
  EXPECT_FALSE(annFound->accepting);
  bob.advertiser.reset();
  std::this_thread::sleep_for(std::chrono::milliseconds(3300));
  EXPECT_EQ(Found(search->Refresh()), std::vector<std::string>{want[0]});
}

// A search that waits for answers calls its pump on the caller's thread
// meanwhile, nobody answering: the whole window, in slices of a few ms.
TEST(RealDiscovery, ASearchCallsThePumpWhileItWaits) {
  fwtest::LoopbackNetwork net;
  std::string error;
  auto search = fw::MakeDefaultProviders()->StartSearch(PlayAddress{}, &error);
  ASSERT_TRUE(search) << error;
  const std::thread::id caller = std::this_thread::get_id();
  int pumps = 0;
  bool elsewhere = false;
  const fw::WaitPump pump = [&] {
    ++pumps;
    elsewhere |= std::this_thread::get_id() != caller;
  };
  EXPECT_TRUE(search->Refresh(pump).empty());
  EXPECT_GE(pumps, 5);
  EXPECT_FALSE(elsewhere);
}

TEST(RealDiscovery, SearchesThatCannotStart) {
  fwtest::LoopbackNetwork net;
  auto providers = fw::MakeDefaultProviders();
  struct Case {
    const char* what;
    PlayAddress address;
  } cases[] = {
      {"pending octet", PlayAddress{PlayAddress::Kind::TcpIp, "192.168.0."}},
      {"empty address", PlayAddress{PlayAddress::Kind::TcpIp, ""}},
      {"no such COM port", PlayAddress{PlayAddress::Kind::Serial, "", 5}},
      {"COM port without a device", PlayAddress{PlayAddress::Kind::Serial, "", 3}},
  };
  fwtest::ScopedEnv com3("FERROWIND_COM3", "/nonexistent/tty");
  for (const Case& c : cases) {
    std::string error;
    EXPECT_FALSE(providers->StartSearch(c.address, &error)) << c.what;
    EXPECT_FALSE(error.empty()) << c.what;
  }
}

}  // namespace
