#include "multiplayer/session_providers.hpp"

namespace fw {

namespace {

// Until the real links are built in, every provider is listed (so the lobby
// shows its buttons) and none can start: the lobby then says the connection
// failed, as for any provider the machine lacks.
class UnavailableProviders final : public NetworkProviders {
 public:
  std::vector<std::string> Names() const override {
    return {"IPX slot: LAN search", "TCP/IP: typed address", "SERIAL cable"};
  }
  PlayAddress DefaultAddress(int providerIndex) const override { return StandardProviderAddress(providerIndex); }
  std::unique_ptr<SessionSearch> StartSearch(const PlayAddress&, std::string* error) override {
    if (error) *error = "network play is not available in this build";
    return nullptr;
  }
  std::unique_ptr<plat::Transport> MakeTransport(const PlayAddress&, std::string* error) override {
    if (error) *error = "network play is not available in this build";
    return nullptr;
  }
  std::vector<std::string> ListenAddresses(const PlayAddress&, bool) const override { return {}; }
  std::unique_ptr<SessionAdvertiser> StartAdvertiser(const PlayAddress&, plat::Transport&, const SessionAdvert&,
                                                     std::string*) override {
    return nullptr;
  }
};

}  // namespace

std::unique_ptr<NetworkProviders> MakeDefaultProviders() { return std::make_unique<UnavailableProviders>(); }

}  // namespace fw
