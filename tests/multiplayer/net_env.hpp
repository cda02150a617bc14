#pragma once
// Every real-socket test of the network runs on this machine only: discovery
// on 127.255.255.255, and game and discovery ports free for this run, so
// parallel runs never meet.
#include <cstdlib>
#include <optional>
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

// Sets a variable for a test's life, and puts back what was there.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const std::string& value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    ::setenv(name, value.c_str(), 1);
  }
  ~ScopedEnv() {
    if (old_) ::setenv(name_, old_->c_str(), 1);
    else ::unsetenv(name_);
  }
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  const char* name_;
  std::optional<std::string> old_;
};

}  // namespace fwtest
