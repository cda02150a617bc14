#pragma once
// Serial cables for tests: pseudo-terminal pairs whose masters a relay joins,
// changing bytes with a given chance as a noisy line does.
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <unistd.h>

#include <atomic>
#include <random>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace fwtest {

struct Pty {
  int master = -1;
  std::string slave;  // the device path a link opens
  Pty() {
    master = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) throw std::runtime_error("no pty");
    slave = ptsname(master);
  }
  ~Pty() { close(master); }
  Pty(const Pty&) = delete;
  Pty& operator=(const Pty&) = delete;
};

class CorruptingRelay {
 public:
  CorruptingRelay(int a, int b, double chance, uint32_t seed) : a_(a), b_(b), chance_(chance), rng_(seed) {
    thread_ = std::thread([this] { Run(); });
  }
  ~CorruptingRelay() {
    stop_ = true;
    thread_.join();
  }
  uint64_t Corrupted() const { return corrupted_; }

 private:
  void Pump(int from, int to, std::vector<uint8_t>& backlog) {
    uint8_t buf[4096];
    ssize_t n = read(from, buf, sizeof buf);
    for (ssize_t i = 0; i < n; ++i) {
      if (std::uniform_real_distribution<double>(0, 1)(rng_) < chance_) {
        buf[i] ^= static_cast<uint8_t>(1 + rng_() % 255);
        ++corrupted_;
      }
      if (backlog.size() < (1 << 16)) backlog.push_back(buf[i]);
    }
    if (!backlog.empty()) {
      ssize_t w = write(to, backlog.data(), backlog.size());
      if (w > 0) backlog.erase(backlog.begin(), backlog.begin() + w);
    }
  }
  void Run() {
    std::vector<uint8_t> toB, toA;
    while (!stop_) {
      pollfd p[2] = {{a_, POLLIN, 0}, {b_, POLLIN, 0}};
      poll(p, 2, 5);
      Pump(a_, b_, toB);
      Pump(b_, a_, toA);
    }
  }
  int a_, b_;
  double chance_;
  std::mt19937 rng_;
  std::atomic<bool> stop_{false};
  std::atomic<uint64_t> corrupted_{0};
  std::thread thread_;
};

}  // namespace fwtest
