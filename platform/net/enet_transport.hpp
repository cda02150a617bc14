#pragma once
// The session's transport over ENet: one host per session member that both
// accepts links (its game port) and opens them, one reliable ordered channel
// per link. Addresses are "a.b.c.d:port".
#include <chrono>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/net/query_hook.hpp"
#include "platform/net/transport.hpp"
#include "platform/net/wake_event.hpp"

struct _ENetHost;
struct _ENetPeer;
struct _ENetEvent;

namespace plat {

class EnetTransport final : public Transport, public AnswersQueries {
 public:
  // Far more slots than a session has members: strangers that connect and
  // never finish, or never speak, must not fill them before a real joiner.
  static constexpr size_t kMaxPeers = 1024;
  // Connects we have answered and the far end never finished, and links we
  // closed whose far end never confirmed, give their slot back after this.
  // A real connect on this machine or a LAN finishes in milliseconds; ENet
  // resends a lost answer well inside it.
  static constexpr uint32_t kHalfOpenMs = 2000;
  static constexpr uint32_t kClosingMs = 2000;
  // Free slots kept at all times, oldest half-open connects (then closing
  // links) going first: one service of the socket takes in at most 256
  // datagrams, each of which may be a connect.
  static constexpr size_t kSpareSlots = 320;
  static constexpr size_t kMaxPacket = 64 * 1024;
  static constexpr size_t kMaxWaitingData = 1024 * 1024;
  // ENet gives up on a silent peer only after the session's own 10 s
  // heartbeat would have: under loss ENet backs off hard, and the session,
  // not ENet, decides who has gone.
  static constexpr uint32_t kTimeoutMinimumMs = 15000;
  static constexpr uint32_t kTimeoutMaximumMs = 30000;
  // ENet doubles a message's resend wait at every try that goes unanswered,
  // without bound, and looks at a link's resends only when the oldest message
  // in flight is due: under heavy loss one unlucky message, or a run of lost
  // acknowledgements, held everything after it back for many seconds, long
  // enough for the session to take a live player for gone. No resend waits
  // longer than this, or than twice the link's first resend wait if longer.
  static constexpr uint32_t kMaxResendWaitMs = 1000;

  EnetTransport();
  ~EnetTransport() override;

  bool Listen(const std::string& address, std::string* error) override;
  std::string LocalAddress() const override;
  LinkId Connect(const std::string& address) override;
  bool Send(LinkId link, std::span<const uint8_t> data) override;
  void Close(LinkId link) override;
  std::optional<TransportEvent> Poll() override;
  void Wait(uint32_t maxMs) override;
  void Wake() override { wake_.Raise(); }
  uint64_t NowMs() const override;
  size_t MaxMessageSize() const override { return kMaxPacket; }

  void SetQueryHandler(QueryHandler handler) override;

  // The address a link's far end sends from ("a.b.c.d:port"); empty for an
  // unknown link.
  std::string PeerAddress(LinkId link) const override;

 private:
  bool MakeHost(const std::string* bindAddress, std::string* error);
  static int Intercept(_ENetHost* host, _ENetEvent* event);
  void SetUpPeer(_ENetPeer* peer, LinkId id);
  void FreeStaleSlots(uint64_t now);
  void BoundResendWaits();

  // Per peer slot: when it was first seen half-open or closing, and the
  // connect it was then (a slot freed and taken again starts afresh).
  struct SlotAge {
    uint64_t since = 0;
    uint32_t connectId = 0;
  };

  _ENetHost* host_ = nullptr;
  WakeEvent wake_;
  LinkId nextId_ = 1;
  std::unordered_map<LinkId, _ENetPeer*> links_;
  std::vector<SlotAge> ages_;
  uint64_t lastSweep_ = 0;
  std::mutex queryMutex_;
  QueryHandler query_;
};

}  // namespace plat
