#pragma once
// The real searches and responders behind the lobby's session list.
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "multiplayer/session/discovery.hpp"
#include "multiplayer/session/session_providers.hpp"
#include "platform/net/ipv4.hpp"
#include "platform/net/udp_socket.hpp"
#include "platform/net/wake_event.hpp"

namespace fw {

// The answers a search holds: one per game address, each dropped
// kAnswerLifeMs after it last came; never more than kMaxEntries, and never
// more from one source than one machine can host (kGamePortsPerMachine), so
// a machine that answers with made-up game ports cannot crowd out the others.
class AnswerTable {
 public:
  static constexpr size_t kMaxEntries = 64;
  // source: where the answer came from (the sender's address, the line).
  void Take(const DiscoveryAnswer& a, const std::string& source, const std::string& gameAddress, uint64_t nowMs);
  // The fresh answers of this protocol, in the order first seen.
  std::vector<SessionAdvert> Fresh(uint64_t nowMs, uint16_t protocol);

 private:
  struct Entry {
    SessionAdvert advert;
    std::string source;
    uint64_t seenMs = 0;
  };
  void Expire(uint64_t nowMs);
  std::vector<Entry> entries_;
};

struct SearchTarget {
  plat::Ipv4 address;
  uint16_t port = 0;
};

// Asks every target once a second from a thread of its own and keeps the
// answers; Refresh asks at once and returns when the answers have gone quiet
// for a moment, or at the end of the wait window when none came.
class UdpSessionSearch final : public SessionSearch {
 public:
  UdpSessionSearch(std::vector<SearchTarget> targets, uint16_t protocol, uint32_t build,
                   uint32_t waitMs = kRefreshWaitMs);
  ~UdpSessionSearch() override;
  // False when no socket can be had.
  bool Start(std::string* error);
  using SessionSearch::Refresh;
  std::vector<SessionAdvert> Refresh(const WaitPump& pump) override;

 private:
  void Run();
  void Ask();
  void Drain();

  std::vector<SearchTarget> targets_;
  DiscoveryQuery query_;
  uint32_t waitMs_;
  plat::UdpSocket socket_;
  plat::WakeEvent wake_;
  std::thread thread_;
  std::mutex mutex_;
  bool stop_ = false;
  bool askNow_ = false;
  uint64_t answersTaken_ = 0;
  std::condition_variable answered_;
  AnswerTable table_;
};

// The targets of a LAN search: the discovery port on every broadcast address
// of the machine and on 127.255.255.255. Of a typed search: the game ports
// P to P+7 of that address.
std::vector<SearchTarget> LanTargets(uint16_t discoveryPort);
std::vector<SearchTarget> TypedTargets(plat::Ipv4 address, uint16_t gamePort);

// A search over the serial cable: each Refresh opens the line quietly, asks
// once and listens for the wait window, then lets the line go again so the
// join that follows can open it.
class SerialSessionSearch final : public SessionSearch {
 public:
  SerialSessionSearch(std::string device, int baud, uint16_t protocol, uint32_t build,
                      uint32_t waitMs = kRefreshWaitMs);
  using SessionSearch::Refresh;
  std::vector<SessionAdvert> Refresh(const WaitPump& pump) override;

 private:
  std::string device_;
  int baud_;
  DiscoveryQuery query_;
  uint32_t waitMs_;
  AnswerTable table_;
};

// Answers searches for one hosted session: on the game transport itself
// (typed searches, the serial cable) and, when lan is set, on the shared
// discovery port from a thread of its own.
class HostAdvertiser final : public SessionAdvertiser {
 public:
  HostAdvertiser(plat::Transport& game, const SessionAdvert& advert);
  ~HostAdvertiser() override;
  // False when the discovery port cannot be bound.
  bool StartLan(uint16_t discoveryPort, std::string* error);
  void Update(const SessionAdvert& advert) override;
  // The answer to a datagram, when it is a query.
  std::optional<std::vector<uint8_t>> Answer(std::span<const uint8_t> datagram);

 private:
  void RunLan();

  plat::Transport& game_;
  std::mutex mutex_;
  SessionAdvert advert_;
  plat::UdpSocket socket_;
  plat::WakeEvent wake_;
  std::thread thread_;
  bool stop_ = false;
};

// The product's providers with the protocol and build a search asks with
// (another version's, in tests).
std::unique_ptr<NetworkProviders> MakeNetworkProviders(uint16_t protocol, uint32_t build);

}  // namespace fw
