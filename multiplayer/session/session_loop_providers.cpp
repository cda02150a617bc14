#include "multiplayer/session/session_loop_providers.hpp"

#include <algorithm>

namespace fw {

namespace {

class LoopSearch final : public SessionSearch {
 public:
  explicit LoopSearch(LoopWorld& w) : w_(w) {}
  using SessionSearch::Refresh;
  // The world's adverts are at hand: nothing to wait for.
  std::vector<SessionAdvert> Refresh(const WaitPump&) override {
    std::lock_guard<std::mutex> lock(w_.mutex);
    std::vector<SessionAdvert> out;
    for (const LoopWorld::Entry& e : w_.adverts)
      if (e.advert.protocol == kSessionProtocol) out.push_back(e.advert);
    return out;
  }

 private:
  LoopWorld& w_;
};

class LoopAdvertiser final : public SessionAdvertiser {
 public:
  LoopAdvertiser(LoopWorld& w, const SessionAdvert& a) : w_(w) {
    std::lock_guard<std::mutex> lock(w_.mutex);
    key_ = w_.nextKey++;
    w_.adverts.push_back(LoopWorld::Entry{key_, a});
  }
  ~LoopAdvertiser() override {
    std::lock_guard<std::mutex> lock(w_.mutex);
    std::erase_if(w_.adverts, [&](const LoopWorld::Entry& e) { return e.key == key_; });
  }
  void Update(const SessionAdvert& a) override {
    std::lock_guard<std::mutex> lock(w_.mutex);
    for (LoopWorld::Entry& e : w_.adverts)
      if (e.key == key_) e.advert = a;
  }

 private:
  LoopWorld& w_;
  uint64_t key_ = 0;
};

class LoopProviders final : public NetworkProviders {
 public:
  LoopProviders(LoopWorld& w, std::string node) : w_(w), node_(std::move(node)) {}
  std::vector<std::string> Names() const override {
    return {"IPX slot: LAN search (in memory)", "TCP/IP: typed address (in memory)", "SERIAL cable (in memory)"};
  }
  PlayAddress DefaultAddress(int providerIndex) const override { return StandardProviderAddress(providerIndex); }
  std::unique_ptr<SessionSearch> StartSearch(const PlayAddress&, std::string* error) override {
    if (w_.searchFails) {
      if (error) *error = "no network";
      return nullptr;
    }
    return std::make_unique<LoopSearch>(w_);
  }
  std::unique_ptr<plat::Transport> MakeTransport(const PlayAddress&, std::string*) override {
    return w_.net.MakeNode(node_);
  }
  std::vector<std::string> ListenAddresses(const PlayAddress&, bool) const override { return {node_}; }
  std::unique_ptr<SessionAdvertiser> StartAdvertiser(const PlayAddress&, plat::Transport&, const SessionAdvert& advert,
                                                     std::string*) override {
    return std::make_unique<LoopAdvertiser>(w_, advert);
  }

 private:
  LoopWorld& w_;
  std::string node_;
};

}  // namespace

LoopWorld::LoopWorld() : LoopWorld(plat::LoopNetwork::Options{1, 1, 5, true}) {}
LoopWorld::LoopWorld(plat::LoopNetwork::Options options) : net(options) {}

std::unique_ptr<NetworkProviders> MakeLoopProviders(LoopWorld& world, const std::string& nodeName) {
  return std::make_unique<LoopProviders>(world, nodeName);
}

}  // namespace fw
