#include "tests/multiplayer/udp_relay.hpp"

#include <algorithm>
#include <stdexcept>

namespace fwtest {

struct UdpRelay::Client {
  uint16_t port = 0;  // the far end's, on 127.0.0.1
  plat::UdpSocket back;
};

struct UdpRelay::Pending {
  uint64_t due = 0;
  int fd = -1;  // the socket to send from
  uint16_t toPort = 0;
  std::vector<uint8_t> bytes;
};

UdpRelay::UdpRelay(uint16_t targetPort, uint32_t seed) : target_(targetPort), rng_(seed) {
  if (!front_.Open(plat::kLoopback, 0, false)) throw std::runtime_error("relay: no socket");
  port_ = front_.LocalPort();
  thread_ = std::thread([this] { Run(); });
}

UdpRelay::~UdpRelay() {
  stop_ = true;
  wake_.Raise();
  thread_.join();
}

void UdpRelay::SetFaults(const LineFaults& toTarget, const LineFaults& fromTarget) {
  std::lock_guard lock(mutex_);
  toTarget_ = toTarget;
  fromTarget_ = fromTarget;
}

void UdpRelay::Schedule(const LineFaults& f, int fd, uint16_t toPort, std::vector<uint8_t> bytes, uint64_t now) {
  std::uniform_real_distribution<double> u(0, 1);
  if (f.blackHole || u(rng_) < f.loss) {
    ++dropped_;
    return;
  }
  int copies = u(rng_) < f.duplicate ? 2 : 1;
  for (int i = 0; i < copies; ++i) {
    int64_t d = f.delayMs;
    if (f.jitterMs) d += std::uniform_int_distribution<int64_t>(-int64_t{f.jitterMs}, f.jitterMs)(rng_);
    pending_.push_back({now + static_cast<uint64_t>(std::max<int64_t>(d, 0)), fd, toPort, bytes});
  }
}

void UdpRelay::Run() {
  std::vector<int> fds;
  while (!stop_) {
    uint64_t now = plat::MonotonicMs();
    // Send what is due, in due order (the jitter reorders).
    std::stable_sort(pending_.begin(), pending_.end(), [](const Pending& a, const Pending& b) { return a.due < b.due; });
    size_t sent = 0;
    for (; sent < pending_.size() && pending_[sent].due <= now; ++sent) {
      const Pending& p = pending_[sent];
      plat::UdpSocket* from = p.fd == front_.Fd() ? &front_ : nullptr;
      for (auto& c : clients_)
        if (c->back.Fd() == p.fd) from = &c->back;
      if (from) from->SendTo(plat::kLoopback, p.toPort, p.bytes);
      ++forwarded_;
    }
    pending_.erase(pending_.begin(), pending_.begin() + static_cast<ptrdiff_t>(sent));
    int wait = pending_.empty() ? 50 : static_cast<int>(std::min<uint64_t>(pending_.front().due - std::min(pending_.front().due, now), 50));

    fds.clear();
    fds.push_back(front_.Fd());
    for (size_t i = 0; i < clients_.size() && i < 7; ++i) fds.push_back(clients_[i]->back.Fd());
    uint32_t ready = plat::WaitReadable(fds.data(), static_cast<int>(fds.size()), &wake_, wait);
    now = plat::MonotonicMs();
    LineFaults to, back;
    {
      std::lock_guard lock(mutex_);
      to = toTarget_;
      back = fromTarget_;
    }
    if (ready & 1) {
      while (auto d = front_.Receive()) {
        if (d->from != plat::kLoopback) continue;
        auto it = std::find_if(clients_.begin(), clients_.end(), [&](auto& c) { return c->port == d->port; });
        if (it == clients_.end()) {
          if (clients_.size() >= 7) continue;
          auto c = std::make_unique<Client>();
          c->port = d->port;
          if (!c->back.Open(plat::kLoopback, 0, false)) continue;
          it = clients_.insert(clients_.end(), std::move(c));
        }
        Schedule(to, (*it)->back.Fd(), target_, std::move(d->bytes), now);
      }
    }
    for (size_t i = 0; i < clients_.size() && i < 7; ++i) {
      if (!(ready & (1u << (i + 1)))) continue;
      while (auto d = clients_[i]->back.Receive()) Schedule(back, front_.Fd(), clients_[i]->port, std::move(d->bytes), now);
    }
  }
}

uint16_t FreeUdpPort(int count) {
  std::mt19937 rng(std::random_device{}());
  for (int attempt = 0; attempt < 200; ++attempt) {
    uint16_t base = static_cast<uint16_t>(std::uniform_int_distribution<int>(20000, 32000)(rng));
    std::vector<plat::UdpSocket> held(static_cast<size_t>(count));
    bool ok = true;
    for (int i = 0; i < count && ok; ++i) ok = held[static_cast<size_t>(i)].Open(plat::Ipv4{0}, static_cast<uint16_t>(base + i), false);
    if (ok) return base;
  }
  throw std::runtime_error("no free ports");
}

}  // namespace fwtest
