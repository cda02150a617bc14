#pragma once
// A deadline for each benchmark of a program: one that hangs (a screen
// waiting for a press that never comes, a peer that never answers) ends the
// program with a message naming it and a failing status. The game turns
// SIGTERM into a quit that a waiting screen may never look at, so the
// deadline cannot rely on a signal from outside.
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace fwbench {

// The status of a program whose benchmark ran past its deadline.
constexpr int kHungStatus = 3;

// Watches the benchmarks `names`, in the order they run, from its making.
class Watchdog {
 public:
  Watchdog(std::string program, std::vector<std::string> names, std::chrono::milliseconds limit)
      : program_(std::move(program)), names_(std::move(names)), limit_(limit), thread_([this] { Watch(); }) {}
  ~Watchdog() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      done_ = true;
    }
    wake_.notify_one();
    thread_.join();
  }
  Watchdog(const Watchdog&) = delete;
  Watchdog& operator=(const Watchdog&) = delete;

  // A benchmark has reported: the next in the list runs from now.
  void Finished(const std::string& name) {
    std::lock_guard<std::mutex> lock(mutex_);
    for (size_t i = 0; i < names_.size(); ++i)
      if (names_[i] == name) next_ = i + 1;
    started_ = Clock::now();
    wake_.notify_one();
  }

 private:
  using Clock = std::chrono::steady_clock;

  void Watch() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
      const Clock::time_point deadline = started_ + limit_;
      if (wake_.wait_until(lock, deadline, [&] { return done_ || started_ + limit_ != deadline; })) {
        if (done_) return;
        continue;
      }
      const std::string name = next_ < names_.size() ? names_[next_] : "the program's end";
      std::fprintf(stderr, "%s: %s did not finish within %g s: it hangs\n", program_.c_str(), name.c_str(),
                   static_cast<double>(limit_.count()) / 1000.0);
      std::fflush(stderr);
      std::_Exit(kHungStatus);
    }
  }

  const std::string program_;
  const std::vector<std::string> names_;
  const std::chrono::milliseconds limit_;
  std::mutex mutex_;
  std::condition_variable wake_;
  Clock::time_point started_ = Clock::now();
  size_t next_ = 0;
  bool done_ = false;
  std::thread thread_;  // last: starts once the rest is set
};

}  // namespace fwbench
