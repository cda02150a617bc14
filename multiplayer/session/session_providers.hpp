#pragma once
// Seams between the session object and the real ways of finding and reaching
// a game (LAN search, typed address, serial cable). The session object only
// names these interfaces; the providers of the product and the in-memory
// providers of the tests implement them.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "multiplayer/session/session_types.hpp"
#include "platform/net/transport.hpp"

namespace fw {

// What a host tells a search, and what a search found.
struct SessionAdvert {
  uint16_t protocol = kSessionProtocol;
  uint32_t build = kSessionBuild;
  uint64_t sessionId = 0;
  std::string name;  // the session's name: the host's profile name, code page 936 bytes
  int players = 0;
  int maxPlayers = 0;  // 0: no limit
  bool accepting = true;
  std::string gameAddress;  // where to join, in the provider's transport's address form
};

// A running search for sessions. Refresh asks at once and returns within
// 300 ms the answers that are still fresh; answers of another protocol are
// never returned. Given a pump, it calls it every few milliseconds while it
// waits for answers.
class SessionSearch {
 public:
  virtual ~SessionSearch() = default;
  std::vector<SessionAdvert> Refresh() { return Refresh(WaitPump{}); }
  virtual std::vector<SessionAdvert> Refresh(const WaitPump& pump) = 0;
};

// Answers searches for one hosted session until destroyed. Update is called
// from the game thread whenever the advert changes.
class SessionAdvertiser {
 public:
  virtual ~SessionAdvertiser() = default;
  virtual void Update(const SessionAdvert& advert) = 0;
};

// The service providers of one program.
class NetworkProviders {
 public:
  virtual ~NetworkProviders() = default;

  // In the order the lobby lists them; the names carry the lobby's slot
  // words: "IPX" (LAN search), "TCP" (typed address), "SERIAL".
  virtual std::vector<std::string> Names() const = 0;
  // The address a provider uses when none was set (the lobby's IPX button
  // clears it): index 1-based into Names.
  virtual PlayAddress DefaultAddress(int providerIndex) const = 0;

  // A search over address; nullptr with a reason in *error when it cannot
  // start (no socket, an invalid address, no such device).
  virtual std::unique_ptr<SessionSearch> StartSearch(const PlayAddress& address, std::string* error) = 0;

  // A transport for a session reached through address (hosting or joining).
  virtual std::unique_ptr<plat::Transport> MakeTransport(const PlayAddress& address, std::string* error) = 0;
  // Where to listen, tried in order until one binds: a host's game ports
  // P to P+7, a joiner's any free port on the same kind of link.
  virtual std::vector<std::string> ListenAddresses(const PlayAddress& address, bool hosting) const = 0;

  // Starts answering searches for a hosted session. game is the session's
  // own transport (a typed-address search is answered on the game port,
  // from inside the network thread's Poll, so Update must be safe against
  // that); the advertiser must not outlive it. nullptr when it cannot start: the
  // session then runs unlisted.
  virtual std::unique_ptr<SessionAdvertiser> StartAdvertiser(const PlayAddress& address, plat::Transport& game,
                                                             const SessionAdvert& advert, std::string* error) = 0;
};

// The usual order of providers: 1 LAN search, 2 typed address, 3 serial
// cable on COM1; what DefaultAddress of most providers answers.
PlayAddress StandardProviderAddress(int providerIndex);

// The product's providers (ENet, UDP discovery, serial link).
std::unique_ptr<NetworkProviders> MakeDefaultProviders();

}  // namespace fw
