#pragma once
// Providers over the in-memory LoopNetwork, for tests of the lobby, the
// network battle and the session object: searches find every session hosted
// in the same LoopWorld, and sessions run on their own threads as in the game.
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "multiplayer/session/session_providers.hpp"
#include "platform/net/loop_transport.hpp"

namespace fw {

struct LoopWorld {
  LoopWorld();
  explicit LoopWorld(plat::LoopNetwork::Options options);
  plat::LoopNetwork net;

  // Sessions currently advertised, in the order they were opened.
  std::mutex mutex;
  struct Entry {
    uint64_t key = 0;
    SessionAdvert advert;
  };
  std::vector<Entry> adverts;
  uint64_t nextKey = 1;
  // A search that cannot start (as a machine without a network would).
  bool searchFails = false;
};

// nodeName names this program's node in world.net (and so in its faults).
// Options reach the sessions this program opens; clocks come from the world.
std::unique_ptr<NetworkProviders> MakeLoopProviders(LoopWorld& world, const std::string& nodeName);

}  // namespace fw
