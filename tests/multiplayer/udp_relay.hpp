#pragma once
// A UDP forwarder on 127.0.0.1 that stands between real sockets as a poor
// network would: it loses, delays, reorders (by jitter), duplicates and
// black-holes datagrams, each direction on its own settings. Every far end
// that sends to the relay's port gets a socket of its own towards the target,
// so up to seven clients can share one relay.
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <random>
#include <thread>
#include <vector>

#include "platform/net/udp_socket.hpp"
#include "platform/net/wake_event.hpp"

namespace fwtest {

struct LineFaults {
  double loss = 0;         // share of datagrams dropped
  double duplicate = 0;    // share sent twice
  uint32_t delayMs = 0;    // mean delay
  uint32_t jitterMs = 0;   // delay varies by up to this either way
  bool blackHole = false;  // drop everything
};

class UdpRelay {
 public:
  // Forwards datagrams sent to Port() on 127.0.0.1 to targetPort there.
  UdpRelay(uint16_t targetPort, uint32_t seed);
  ~UdpRelay();
  UdpRelay(const UdpRelay&) = delete;
  UdpRelay& operator=(const UdpRelay&) = delete;

  uint16_t Port() const { return port_; }
  // Settings for datagrams towards the target and back from it.
  void SetFaults(const LineFaults& toTarget, const LineFaults& fromTarget);
  uint64_t Forwarded() const { return forwarded_; }
  uint64_t Dropped() const { return dropped_; }

 private:
  struct Client;
  struct Pending;
  void Run();
  void Schedule(const LineFaults& f, int fd, uint16_t toPort, std::vector<uint8_t> bytes, uint64_t now);

  uint16_t target_;
  uint16_t port_ = 0;
  plat::UdpSocket front_;
  std::vector<std::unique_ptr<Client>> clients_;
  std::vector<Pending> pending_;
  std::mutex mutex_;
  LineFaults toTarget_, fromTarget_;
  std::mt19937 rng_;
  plat::WakeEvent wake_;
  std::atomic<bool> stop_{false};
  std::atomic<uint64_t> forwarded_{0}, dropped_{0};
  std::thread thread_;
};

// A port on 127.0.0.1 that was free a moment ago, for UDP; count ports in a
// row when count > 1.
uint16_t FreeUdpPort(int count = 1);

}  // namespace fwtest
