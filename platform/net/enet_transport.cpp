#include "platform/net/enet_transport.hpp"

#include <enet/enet.h>
#include <enet/time.h>
#include <poll.h>

#include <algorithm>
#include <cerrno>
#include <mutex>

#include "platform/net/ipv4.hpp"

namespace plat {

namespace {
std::once_flag gEnetStarted;
bool gEnetOk = false;

// The transport whose host is being serviced on this thread: ENet's
// intercept hook names the host only, and a host has no user field.
thread_local EnetTransport* tServicing = nullptr;

LinkId IdOf(ENetPeer* p) { return static_cast<LinkId>(reinterpret_cast<uintptr_t>(p->data)); }

// How long the socket may sleep before ENet's own timers (resends,
// acknowledgements, pings) want servicing.
uint32_t EnetNap(ENetHost* h) {
  uint32_t nap = UINT32_MAX;  // no peer: nothing of ENet's is due
  for (size_t i = 0; i < h->peerCount; ++i) {
    ENetPeer* p = &h->peers[i];
    if (p->state == ENET_PEER_STATE_DISCONNECTED) continue;
    if (!enet_list_empty(&p->sentReliableCommands) || !enet_list_empty(&p->outgoingCommands) ||
        !enet_list_empty(&p->acknowledgements))
      return 5;
    nap = 100;
  }
  return nap;
}
}  // namespace

EnetTransport::EnetTransport() {
  std::call_once(gEnetStarted, [] { gEnetOk = enet_initialize() == 0; });
}

EnetTransport::~EnetTransport() {
  if (host_) {
    // What was queued last (a leave) goes out once, then every far end,
    // closed links included, is told at once rather than left to time out.
    enet_host_flush(host_);
    for (size_t i = 0; i < host_->peerCount; ++i)
      if (host_->peers[i].state != ENET_PEER_STATE_DISCONNECTED) enet_peer_disconnect_now(&host_->peers[i], 0);
    enet_host_destroy(host_);
  }
}

bool EnetTransport::MakeHost(const std::string* bindAddress, std::string* error) {
  auto fail = [&](const std::string& why) {
    if (error) *error = why;
    return false;
  };
  if (!gEnetOk) return fail("the network library did not start");
  ENetAddress a{};
  if (bindAddress) {
    auto hp = ParseHostPort(*bindAddress);
    if (!hp) return fail("not an address: " + *bindAddress);
    a.host = htonl(hp->address.value);
    a.port = hp->port;
  }
  ENetHost* h = enet_host_create(bindAddress ? &a : nullptr, kMaxPeers, 1, 0, 0);
  if (!h) return fail(bindAddress ? "cannot listen on " + *bindAddress : "no socket");
  h->maximumPacketSize = kMaxPacket;
  h->maximumWaitingData = kMaxWaitingData;
  h->intercept = &EnetTransport::Intercept;
  host_ = h;
  ages_.assign(h->peerCount, SlotAge{});
  return true;
}

void EnetTransport::FreeStaleSlots(uint64_t now) {
  enum class Kind { Other, HalfOpen, Closing };
  // Our own links carry their id; a slot without one is a stranger's connect
  // ENet has answered, or a link we have closed.
  auto kindOf = [](const ENetPeer& p) {
    if (p.data != nullptr) return Kind::Other;
    switch (p.state) {
      case ENET_PEER_STATE_ACKNOWLEDGING_CONNECT: return Kind::HalfOpen;
      case ENET_PEER_STATE_DISCONNECT_LATER:
      case ENET_PEER_STATE_DISCONNECTING:
      case ENET_PEER_STATE_ACKNOWLEDGING_DISCONNECT: return Kind::Closing;
      default: return Kind::Other;
    }
  };
  size_t free = 0;
  std::vector<size_t> halfOpen, closing;
  for (size_t i = 0; i < host_->peerCount; ++i) {
    ENetPeer& p = host_->peers[i];
    SlotAge& age = ages_[i];
    const Kind kind = kindOf(p);
    if (kind == Kind::Other) {
      age = SlotAge{};
      free += p.state == ENET_PEER_STATE_DISCONNECTED;
      continue;
    }
    if (age.since == 0 || age.connectId != p.connectID) age = SlotAge{now, p.connectID};
    if (now - age.since >= (kind == Kind::HalfOpen ? kHalfOpenMs : kClosingMs)) {
      enet_peer_reset(&p);
      age = SlotAge{};
      ++free;
      continue;
    }
    (kind == Kind::HalfOpen ? halfOpen : closing).push_back(i);
  }
  if (free >= kSpareSlots) return;
  auto oldestFirst = [&](size_t a, size_t b) { return ages_[a].since < ages_[b].since; };
  std::sort(halfOpen.begin(), halfOpen.end(), oldestFirst);
  std::sort(closing.begin(), closing.end(), oldestFirst);
  for (const std::vector<size_t>* group : {&halfOpen, &closing})
    for (size_t i : *group) {
      if (free >= kSpareSlots) return;
      enet_peer_reset(&host_->peers[i]);
      ages_[i] = SlotAge{};
      ++free;
    }
}

bool EnetTransport::Listen(const std::string& address, std::string* error) {
  if (host_) {
    if (error) *error = "already listening";
    return false;
  }
  return MakeHost(&address, error);
}

std::string EnetTransport::LocalAddress() const {
  if (!host_) return {};
  ENetAddress a{};
  if (enet_socket_get_address(host_->socket, &a) != 0 || a.port == 0) return {};
  return FormatHostPort(Ipv4{ntohl(a.host)}, a.port);
}

std::string EnetTransport::PeerAddress(LinkId link) const {
  auto it = links_.find(link);
  if (it == links_.end()) return {};
  return FormatHostPort(Ipv4{ntohl(it->second->address.host)}, it->second->address.port);
}

void EnetTransport::SetUpPeer(ENetPeer* peer, LinkId id) {
  peer->data = reinterpret_cast<void*>(static_cast<uintptr_t>(id));
  enet_peer_timeout(peer, 0, kTimeoutMinimumMs, kTimeoutMaximumMs);
  links_[id] = peer;
}

void EnetTransport::BoundResendWaits() {
  for (size_t i = 0; i < host_->peerCount; ++i) {
    ENetPeer& p = host_->peers[i];
    if (p.state != ENET_PEER_STATE_CONNECTED || enet_list_empty(&p.sentReliableCommands)) continue;
    const uint32_t most = std::max(kMaxResendWaitMs, 2 * (p.roundTripTime + 4 * p.roundTripTimeVariance));
    bool first = true;
    enet_uint32 due = 0;
    for (ENetListIterator c = enet_list_begin(&p.sentReliableCommands); c != enet_list_end(&p.sentReliableCommands);
         c = enet_list_next(c)) {
      auto* sent = reinterpret_cast<ENetOutgoingCommand*>(c);
      if (sent->roundTripTimeout > most) {
        sent->roundTripTimeout = most;
        // ENet still gives up on a link once a message has backed off this
        // far and nothing has been acknowledged for kTimeoutMinimumMs.
        sent->roundTripTimeoutLimit = std::min(sent->roundTripTimeoutLimit, most);
      }
      const enet_uint32 at = sent->sentTime + sent->roundTripTimeout;
      if (first || ENET_TIME_LESS(at, due)) due = at;
      first = false;
    }
    // The earliest resend due, not the oldest message's, wakes the check.
    p.nextTimeout = due;
  }
}

LinkId EnetTransport::Connect(const std::string& address) {
  auto hp = ParseHostPort(address);
  if (!hp || hp->port == 0) return 0;
  if (!host_ && !MakeHost(nullptr, nullptr)) return 0;
  ENetAddress a{};
  a.host = htonl(hp->address.value);
  a.port = hp->port;
  ENetPeer* peer = enet_host_connect(host_, &a, 1, 0);
  if (!peer) return 0;
  LinkId id = nextId_++;
  SetUpPeer(peer, id);
  return id;
}

bool EnetTransport::Send(LinkId link, std::span<const uint8_t> data) {
  auto it = links_.find(link);
  if (it == links_.end() || data.size() > kMaxPacket) return false;
  if (it->second->state != ENET_PEER_STATE_CONNECTED && it->second->state != ENET_PEER_STATE_CONNECTING &&
      it->second->state != ENET_PEER_STATE_ACKNOWLEDGING_CONNECT &&
      it->second->state != ENET_PEER_STATE_CONNECTION_PENDING &&
      it->second->state != ENET_PEER_STATE_CONNECTION_SUCCEEDED)
    return false;
  ENetPacket* p = enet_packet_create(data.data(), data.size(), ENET_PACKET_FLAG_RELIABLE);
  if (!p) return false;
  if (enet_peer_send(it->second, 0, p) != 0) {
    enet_packet_destroy(p);
    return false;
  }
  return true;
}

void EnetTransport::Close(LinkId link) {
  auto it = links_.find(link);
  if (it == links_.end()) return;
  ENetPeer* peer = it->second;
  peer->data = nullptr;  // no event comes back for a link we closed
  // A link still being made ends at once, so no late Connected can bring it
  // back as a link the far end opened; one that is up first sends what waits.
  if (peer->state == ENET_PEER_STATE_CONNECTED)
    enet_peer_disconnect_later(peer, 0);
  else
    enet_peer_disconnect_now(peer, 0);
  links_.erase(it);
}

std::optional<TransportEvent> EnetTransport::Poll() {
  if (!host_) return std::nullopt;
  // The slots are looked over at most once a millisecond, not at every
  // event taken.
  const uint64_t now = MonotonicMs() + 1;  // 0 marks a slot not being timed
  if (now != lastSweep_) {
    lastSweep_ = now;
    FreeStaleSlots(now);
    BoundResendWaits();
  }
  ENetEvent ev;
  tServicing = this;
  while (true) {
    int r = enet_host_service(host_, &ev, 0);
    if (r <= 0) break;
    switch (ev.type) {
      case ENET_EVENT_TYPE_CONNECT: {
        LinkId id = IdOf(ev.peer);
        if (id == 0) {  // a far end that connected to us
          id = nextId_++;
          SetUpPeer(ev.peer, id);
        }
        tServicing = nullptr;
        return TransportEvent{TransportEvent::Kind::Connected, id, {}};
      }
      case ENET_EVENT_TYPE_DISCONNECT: {
        LinkId id = IdOf(ev.peer);
        ev.peer->data = nullptr;
        if (id == 0) continue;
        links_.erase(id);
        tServicing = nullptr;
        return TransportEvent{TransportEvent::Kind::Disconnected, id, {}};
      }
      case ENET_EVENT_TYPE_RECEIVE: {
        LinkId id = IdOf(ev.peer);
        std::vector<uint8_t> bytes(ev.packet->data, ev.packet->data + ev.packet->dataLength);
        enet_packet_destroy(ev.packet);
        if (id == 0) continue;  // a link we closed: what it still sends is not wanted
        tServicing = nullptr;
        return TransportEvent{TransportEvent::Kind::Received, id, std::move(bytes)};
      }
      case ENET_EVENT_TYPE_NONE:
        break;
    }
  }
  tServicing = nullptr;
  return std::nullopt;
}

void EnetTransport::Wait(uint32_t maxMs) {
  // What was sent since the last Poll leaves before we sleep, not at the
  // next wake.
  if (host_) enet_host_flush(host_);
  int wait = static_cast<int>(std::min<uint32_t>({maxMs, host_ ? EnetNap(host_) : maxMs, 60000u}));
  pollfd p[2];
  int n = 0;
  p[n++] = {wake_.Fd(), POLLIN, 0};
  if (host_) p[n++] = {host_->socket, POLLIN, 0};
  while (poll(p, n, wait) < 0 && errno == EINTR) {
  }
  wake_.Clear();
}

uint64_t EnetTransport::NowMs() const { return MonotonicMs(); }

void EnetTransport::SetQueryHandler(QueryHandler handler) {
  std::lock_guard lock(queryMutex_);
  query_ = std::move(handler);
}

int EnetTransport::Intercept(_ENetHost* host, _ENetEvent*) {
  EnetTransport* self = tServicing;
  if (!self || self->host_ != host) return 0;
  std::lock_guard lock(self->queryMutex_);
  if (!self->query_) return 0;
  auto answer = self->query_(std::span<const uint8_t>(host->receivedData, host->receivedDataLength));
  if (!answer) return 0;
  ENetBuffer b{answer->data(), answer->size()};
  enet_socket_send(host->socket, &host->receivedAddress, &b, 1);
  return 1;
}

}  // namespace plat
