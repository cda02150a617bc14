#pragma once
// A wait of the game thread that keeps the game alive: the condition is
// waited for in short slices, and between two slices the caller's pump runs
// with the lock released (the lobby draws its frame and pumps the window, as
// the game's modal loops call DoEvents). Without a pump it is a plain wait.
#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>

#include "multiplayer/session/session_types.hpp"

namespace fw {

// True when pred holds, false when until passed first. The pump is never
// called once pred holds or the deadline has passed.
template <class Pred>
bool WaitPumping(std::condition_variable& cv, std::unique_lock<std::mutex>& lock,
                 std::chrono::steady_clock::time_point until, const WaitPump& pump, Pred pred) {
  using Clock = std::chrono::steady_clock;
  while (!pred()) {
    const Clock::time_point now = Clock::now();
    if (now >= until) return false;
    const Clock::time_point sliceEnd = pump ? std::min(until, now + std::chrono::milliseconds(kPumpSliceMs)) : until;
    if (cv.wait_until(lock, sliceEnd, pred)) return true;
    if (pump && Clock::now() < until) {
      lock.unlock();
      pump();
      lock.lock();
    }
  }
  return true;
}

}  // namespace fw
