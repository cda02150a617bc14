#pragma once
// An event another thread raises to end a blocking wait at once: a queued
// send leaves now rather than at the next tick, and a closing link stops its
// thread without waiting out a time-out.
#include <cstdint>

namespace plat {

class WakeEvent {
 public:
  WakeEvent();
  ~WakeEvent();
  WakeEvent(const WakeEvent&) = delete;
  WakeEvent& operator=(const WakeEvent&) = delete;

  // Any thread; raising twice before a wait wakes it once.
  void Raise();
  // Clears a raised event; called by the waiting thread after it woke.
  void Clear();
  // The descriptor to poll for reading.
  int Fd() const { return fd_; }

 private:
  int fd_ = -1;
};

// Waits until one of the descriptors is readable, the wake event is raised or
// timeoutMs passes. Returns a bit per descriptor that is readable (bit i for
// fds[i]); 0 on a time-out or a wake. Interrupted waits are resumed.
uint32_t WaitReadable(const int* fds, int count, const WakeEvent* wake, int timeoutMs);

// The real transports' clock: milliseconds of the monotonic clock.
uint64_t MonotonicMs();

}  // namespace plat
