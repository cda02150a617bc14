#pragma once
// An in-memory network for tests: nodes and FIFO links in one process, with
// seeded latencies, a clock the test owns (or the real monotonic clock), and
// faults the test injects. Safe to use from several threads (each session's
// network thread polls its own node while the test moves the clock).
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/net/transport.hpp"

namespace plat {

class LoopNetwork {
 public:
  struct Options {
    uint64_t seed = 1;
    uint32_t minLatencyMs = 1;  // each message's delay is drawn from [min, max]; a link stays FIFO
    uint32_t maxLatencyMs = 5;
    bool realClock = false;     // false: the clock stands until Advance moves it
  };
  LoopNetwork();
  explicit LoopNetwork(Options options);
  ~LoopNetwork();
  LoopNetwork(const LoopNetwork&) = delete;
  LoopNetwork& operator=(const LoopNetwork&) = delete;

  uint64_t NowMs() const;
  // Moves the test's clock and wakes every waiting node.
  void Advance(uint32_t ms);

  // A new node named name (also how faults name it). Its Listen address may
  // be any text; other nodes Connect to that text. The node must not outlive
  // the network.
  std::unique_ptr<Transport> MakeNode(const std::string& name);

  // Faults. A cut is silent, as a pulled cable: what is in flight and what is
  // sent later between the two is lost and nobody is told.
  void Cut(const std::string& a, const std::string& b);
  // Cuts every link of the node, now and later.
  void Isolate(const std::string& node);
  // The node stops dead, as a killed process: it sends and hears nothing more.
  void Crash(const std::string& node);
  // While paused, nothing reaches the node (it waits in its links, in
  // order) and the node's Poll finds nothing, as a stalled process.
  void Pause(const std::string& node, bool paused);
  // Splits the nodes into the named side and everyone else: links across
  // are cut silently until Heal.
  void Partition(const std::vector<std::string>& side);
  void Heal();

  // Messages sent and dropped by faults so far, for tests that check a fault
  // really bit.
  uint64_t Dropped() const;

  struct State;

 private:
  std::shared_ptr<State> state_;
};

}  // namespace plat
