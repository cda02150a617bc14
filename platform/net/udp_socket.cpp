#include "platform/net/udp_socket.hpp"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <utility>

namespace plat {

namespace {
sockaddr_in SocketAddress(Ipv4 a, uint16_t port) {
  sockaddr_in s{};
  s.sin_family = AF_INET;
  s.sin_port = htons(port);
  s.sin_addr.s_addr = htonl(a.value);
  return s;
}
}  // namespace

UdpSocket::~UdpSocket() { Close(); }
UdpSocket::UdpSocket(UdpSocket&& o) noexcept : fd_(std::exchange(o.fd_, -1)) {}
UdpSocket& UdpSocket::operator=(UdpSocket&& o) noexcept {
  if (this != &o) {
    Close();
    fd_ = std::exchange(o.fd_, -1);
  }
  return *this;
}

void UdpSocket::Close() {
  if (fd_ >= 0) close(fd_);
  fd_ = -1;
}

bool UdpSocket::Open(Ipv4 address, uint16_t port, bool shared) {
  Close();
  int fd = socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  int one = 1;
  setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &one, sizeof one);
  if (shared) setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  sockaddr_in s = SocketAddress(address, port);
  if (bind(fd, reinterpret_cast<sockaddr*>(&s), sizeof s) != 0) {
    close(fd);
    return false;
  }
  fd_ = fd;
  return true;
}

uint16_t UdpSocket::LocalPort() const {
  sockaddr_in s{};
  socklen_t len = sizeof s;
  if (fd_ < 0 || getsockname(fd_, reinterpret_cast<sockaddr*>(&s), &len) != 0) return 0;
  return ntohs(s.sin_port);
}

bool UdpSocket::SendTo(Ipv4 to, uint16_t port, const uint8_t* data, size_t size) const {
  if (fd_ < 0) return false;
  sockaddr_in s = SocketAddress(to, port);
  return sendto(fd_, data, size, MSG_NOSIGNAL, reinterpret_cast<sockaddr*>(&s), sizeof s) ==
         static_cast<ssize_t>(size);
}

std::optional<Datagram> UdpSocket::Receive() const {
  if (fd_ < 0) return std::nullopt;
  uint8_t buf[65536];
  sockaddr_in s{};
  socklen_t len = sizeof s;
  ssize_t n = recvfrom(fd_, buf, sizeof buf, 0, reinterpret_cast<sockaddr*>(&s), &len);
  if (n < 0) return std::nullopt;
  return Datagram{Ipv4{ntohl(s.sin_addr.s_addr)}, ntohs(s.sin_port), std::vector<uint8_t>(buf, buf + n)};
}

}  // namespace plat
