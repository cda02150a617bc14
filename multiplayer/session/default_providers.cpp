// The product's ways of finding and reaching a game: a LAN search by UDP
// broadcast, a typed IPv4 address, and a serial cable, all over the real
// transports of platform/net.
#include <memory>

#include "multiplayer/session/discovery.hpp"
#include "multiplayer/session/discovery_search.hpp"
#include "multiplayer/session/session_providers.hpp"
#include "platform/net/enet_transport.hpp"
#include "platform/net/ipv4.hpp"
#include "platform/net/serial_link.hpp"
#include "platform/net/serial_transport.hpp"

namespace fw {

namespace {

class DefaultProviders final : public NetworkProviders {
 public:
  DefaultProviders(uint16_t protocol, uint32_t build) : protocol_(protocol), build_(build) {}

  std::vector<std::string> Names() const override {
    return {"IPX: games on the local network", "TCP/IP: a game at a typed address",
            "SERIAL: a cable on a COM port"};
  }

  PlayAddress DefaultAddress(int providerIndex) const override { return StandardProviderAddress(providerIndex); }

  std::unique_ptr<SessionSearch> StartSearch(const PlayAddress& address, std::string* error) override {
    switch (address.kind) {
      case PlayAddress::Kind::Lan:
        return StartUdp(LanTargets(DiscoveryPort()), error);
      case PlayAddress::Kind::TcpIp: {
        auto ip = plat::ParseIpv4(address.ip);
        if (!ip) {
          if (error) *error = "not an IP address: \"" + address.ip + "\"";
          return nullptr;
        }
        return StartUdp(TypedTargets(*ip, GamePort()), error);
      }
      case PlayAddress::Kind::Serial: {
        std::string device = plat::ComPortDevice(address.comPort);
        // Only see that the line opens: the search holds it for a Refresh
        // only, so that the join can have it.
        plat::SerialLink probe;
        if (device.empty() || !probe.Open(device, address.baud, false)) {
          if (error) *error = device.empty() ? "no such COM port" : probe.Error();
          return nullptr;
        }
        return std::make_unique<SerialSessionSearch>(device, address.baud, protocol_, build_);
      }
    }
    return nullptr;
  }

  std::unique_ptr<plat::Transport> MakeTransport(const PlayAddress& address, std::string*) override {
    if (address.kind == PlayAddress::Kind::Serial) return std::make_unique<plat::SerialTransport>(address.baud);
    return std::make_unique<plat::EnetTransport>();
  }

  std::vector<std::string> ListenAddresses(const PlayAddress& address, bool hosting) const override {
    if (address.kind == PlayAddress::Kind::Serial) {
      std::string device = plat::ComPortDevice(address.comPort);
      return device.empty() ? std::vector<std::string>{} : std::vector<std::string>{device};
    }
    // Every member listens, so that a new host can be reached after the old
    // one went; hosts on the machine's game ports so a typed search finds them.
    if (!hosting) return {plat::FormatHostPort(plat::Ipv4{0}, 0)};
    std::vector<std::string> out;
    for (const SearchTarget& t : TypedTargets(plat::Ipv4{0}, GamePort()))
      out.push_back(plat::FormatHostPort(t.address, t.port));
    return out;
  }

  std::unique_ptr<SessionAdvertiser> StartAdvertiser(const PlayAddress& address, plat::Transport& game,
                                                     const SessionAdvert& advert, std::string* error) override {
    auto a = std::make_unique<HostAdvertiser>(game, advert);
    // A host on the network answers LAN searches too, whichever button
    // opened it; a failed discovery port still leaves typed searches.
    if (address.kind != PlayAddress::Kind::Serial) a->StartLan(DiscoveryPort(), error);
    return a;
  }

 private:
  std::unique_ptr<SessionSearch> StartUdp(std::vector<SearchTarget> targets, std::string* error) {
    auto s = std::make_unique<UdpSessionSearch>(std::move(targets), protocol_, build_);
    if (!s->Start(error)) return nullptr;
    return s;
  }

  uint16_t protocol_;
  uint32_t build_;
};

}  // namespace

std::unique_ptr<NetworkProviders> MakeDefaultProviders() {
  return MakeNetworkProviders(kSessionProtocol, kSessionBuild);
}

std::unique_ptr<NetworkProviders> MakeNetworkProviders(uint16_t protocol, uint32_t build) {
  return std::make_unique<DefaultProviders>(protocol, build);
}

}  // namespace fw
