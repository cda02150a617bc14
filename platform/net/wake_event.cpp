#include "platform/net/wake_event.hpp"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <stdexcept>

namespace plat {

WakeEvent::WakeEvent() {
  fd_ = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
  if (fd_ < 0) throw std::runtime_error("cannot create a wake event");
}

WakeEvent::~WakeEvent() { close(fd_); }

void WakeEvent::Raise() {
  uint64_t one = 1;
  [[maybe_unused]] ssize_t n = write(fd_, &one, sizeof one);
}

void WakeEvent::Clear() {
  uint64_t v;
  [[maybe_unused]] ssize_t n = read(fd_, &v, sizeof v);
}

uint32_t WaitReadable(const int* fds, int count, const WakeEvent* wake, int timeoutMs) {
  pollfd p[9];
  int n = 0;
  for (int i = 0; i < count && n < 8; ++i) p[n++] = {fds[i], POLLIN, 0};
  if (wake) p[n++] = {wake->Fd(), POLLIN, 0};
  using Clock = std::chrono::steady_clock;
  auto end = Clock::now() + std::chrono::milliseconds(timeoutMs < 0 ? 0 : timeoutMs);
  while (true) {
    int left = static_cast<int>(std::chrono::ceil<std::chrono::milliseconds>(end - Clock::now()).count());
    int r = poll(p, n, left < 0 ? 0 : left);
    if (r < 0 && errno == EINTR) continue;
    if (r <= 0) return 0;
    uint32_t bits = 0;
    for (int i = 0; i < count && i < 8; ++i)
      if (p[i].revents & (POLLIN | POLLERR | POLLHUP)) bits |= 1u << i;
    return bits;
  }
}

uint64_t MonotonicMs() {
  return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                   std::chrono::steady_clock::now().time_since_epoch())
                                   .count());
}

}  // namespace plat
