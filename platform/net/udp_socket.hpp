#pragma once
// A plain UDP datagram socket for finding games: queries broadcast to the
// discovery port and answers sent back to the asker.
#include <cstdint>
#include <optional>
#include <vector>

#include "platform/net/ipv4.hpp"

namespace plat {

struct Datagram {
  Ipv4 from;
  uint16_t port = 0;
  std::vector<uint8_t> bytes;
};

class UdpSocket {
 public:
  UdpSocket() = default;
  ~UdpSocket();
  UdpSocket(UdpSocket&& o) noexcept;
  UdpSocket& operator=(UdpSocket&& o) noexcept;

  // Binds to address:port (port 0: any free one). shared: SO_REUSEADDR, so
  // every host on this machine can listen on the one discovery port and each
  // receives the broadcast queries. Broadcast sending is always allowed.
  // False when the socket cannot be made or bound.
  bool Open(Ipv4 address, uint16_t port, bool shared);
  bool IsOpen() const { return fd_ >= 0; }
  void Close();
  uint16_t LocalPort() const;
  int Fd() const { return fd_; }

  bool SendTo(Ipv4 to, uint16_t port, const uint8_t* data, size_t size) const;
  bool SendTo(Ipv4 to, uint16_t port, const std::vector<uint8_t>& bytes) const {
    return SendTo(to, port, bytes.data(), bytes.size());
  }
  // The next waiting datagram, or nothing when none waits (never blocks).
  std::optional<Datagram> Receive() const;

 private:
  int fd_ = -1;
};

}  // namespace plat
