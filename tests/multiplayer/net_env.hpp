#pragma once
// Every real-socket test of the network runs on this machine only: discovery
// on 127.255.255.255, and game and discovery ports free for this run, so
// parallel runs never meet.
#include <cstdlib>
#include <string>

#include "tests/multiplayer/udp_relay.hpp"

namespace fwtest {

struct LoopbackNetwork {
  uint16_t gamePort = 0;
  uint16_t discoveryPort = 0;
  LoopbackNetwork() {
    ::setenv("FERROWIND_BROADCAST", "127.255.255.255", 1);
    gamePort = FreeUdpPort(8);
    discoveryPort = FreeUdpPort();
    ::setenv("FERROWIND_PORT", std::to_string(gamePort).c_str(), 1);
    ::setenv("FERROWIND_DISCOVERY_PORT", std::to_string(discoveryPort).c_str(), 1);
  }
};

}  // namespace fwtest
