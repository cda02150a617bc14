#pragma once
// A few session engines over one in-memory network, stepped by the test on
// the test's clock: the same protocol code the network thread runs.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <functional>
#include <memory>
#include <thread>
#include <string>
#include <vector>

#include "multiplayer/session/session_engine.hpp"
#include "multiplayer/session/session_frames.hpp"
#include "platform/net/loop_transport.hpp"

namespace fwtest {

inline int32_t Le32(const std::vector<uint8_t>& b, size_t at) {
  if (b.size() < at + 4) return -1;
  uint32_t v = 0;
  for (int i = 0; i < 4; ++i) v |= static_cast<uint32_t>(b[at + static_cast<size_t>(i)]) << (8 * i);
  return static_cast<int32_t>(v);
}
inline int32_t SysType(const fw::ReceivedMessage& m) { return m.from == 0 ? Le32(m.bytes, 0) : 0; }
inline int32_t SysId(const fw::ReceivedMessage& m) { return m.from == 0 ? Le32(m.bytes, 4) : 0; }

// A game message that says who sent it and its number in that sender's run.
inline std::vector<uint8_t> Tagged(int32_t sender, uint32_t n, size_t size = 8) {
  std::vector<uint8_t> b(std::max<size_t>(size, 8), 0xAB);
  std::memcpy(b.data(), &sender, 4);
  std::memcpy(b.data() + 4, &n, 4);
  return b;
}
inline uint32_t TagNumber(const fw::ReceivedMessage& m) { return static_cast<uint32_t>(Le32(m.bytes, 4)); }

inline bool InSession(const fw::SessionEngine& e) {
  auto st = e.Snapshot().state;
  return st == fw::SessionSnapshot::State::Member || st == fw::SessionSnapshot::State::Host;
}
inline std::vector<int32_t> RosterIds(const fw::SessionEngine& e) {
  std::vector<int32_t> ids;
  for (const auto& m : e.Snapshot().members) ids.push_back(m.id);
  return ids;
}

// A hand-driven node speaking the session's frames directly.
struct RawNode {
  std::unique_ptr<plat::Transport> t;
  plat::LinkId link = 0;
  std::vector<fw::SessionFrame> heard;
  bool closed = false;
  void Pump() {
    while (auto ev = t->Poll()) {
      if (ev->kind == plat::TransportEvent::Kind::Disconnected) closed = true;
      if (ev->kind != plat::TransportEvent::Kind::Received) continue;
      if (auto f = fw::DecodeFrame(ev->data)) heard.push_back(*f);
    }
  }
  void Send(const std::vector<uint8_t>& b) { t->Send(link, b); }
};

struct MeshNode {
  std::string name;
  std::unique_ptr<fw::SessionEngine> engine;
  std::vector<fw::ReceivedMessage> got;
  bool reading = true;   // false: a game loop that does not poll
  bool stepping = true;  // false: the node's process is gone or frozen
  uint32_t sent = 0;
};

class Mesh {
 public:
  explicit Mesh(uint64_t seed = 1, fw::SessionOptions options = {}, uint32_t minLatency = 1, uint32_t maxLatency = 20)
      : net_(plat::LoopNetwork::Options{seed, minLatency, maxLatency, false}), options_(options) {
    options_.threaded = false;
  }

  MeshNode& Host(const std::string& name, int maxPlayers = 0) {
    MeshNode& n = Add(name);
    std::string error;
    EXPECT_TRUE(n.engine->Host({name}, name, name, maxPlayers, &error)) << error;
    sessionId_ = n.engine->Snapshot().sessionId;
    hostName_ = name;
    return n;
  }
  MeshNode& Join(const std::string& name, fw::SessionOptions* own = nullptr, uint64_t sessionId = 0) {
    MeshNode& n = Add(name, own);
    std::string error;
    EXPECT_TRUE(n.engine->StartJoin({name}, hostName_, sessionId ? sessionId : sessionId_, name, &error)) << error;
    return n;
  }
  // Joins and runs until the join has a result.
  fw::JoinResult JoinNow(const std::string& name, fw::SessionOptions* own = nullptr) {
    MeshNode& n = Join(name, own);
    for (int i = 0; i < 2000 && n.engine->Snapshot().state == fw::SessionSnapshot::State::Joining; ++i) Run(5);
    return n.engine->WaitJoin(0);
  }

  // Moves the clock ms in steps, each node handling what is due.
  void Run(uint32_t ms, uint32_t step = 5) {
    for (uint32_t t = 0; t < ms; t += step) {
      net_.Advance(step);
      for (auto& n : nodes_) {
        if (!n->stepping) continue;
        n->engine->Step();
        if (n->reading) Drain(*n);
      }
      if (onStep) onStep();
    }
  }
  void Drain(MeshNode& n) {
    while (auto m = n.engine->Receive()) n.got.push_back(std::move(*m));
  }

  MeshNode& operator[](size_t i) { return *nodes_[i]; }
  MeshNode& Node(const std::string& name) {
    for (auto& n : nodes_)
      if (n->name == name) return *n;
    throw std::runtime_error("no node " + name);
  }
  // The node's program ends: its engine goes (leaving, if still in).
  void Drop(const std::string& name) {
    std::erase_if(nodes_, [&](const std::unique_ptr<MeshNode>& n) { return n->name == name; });
  }
  size_t size() const { return nodes_.size(); }
  plat::LoopNetwork& net() { return net_; }
  uint64_t sessionId() const { return sessionId_; }
  std::function<void()> onStep;

 private:
  MeshNode& Add(const std::string& name, fw::SessionOptions* own = nullptr) {
    auto n = std::make_unique<MeshNode>();
    n->name = name;
    fw::SessionOptions o = own ? *own : options_;
    o.threaded = false;
    n->engine = std::make_unique<fw::SessionEngine>(net_.MakeNode(name), o);
    nodes_.push_back(std::move(n));
    return *nodes_.back();
  }

  plat::LoopNetwork net_;
  fw::SessionOptions options_;
  std::vector<std::unique_ptr<MeshNode>> nodes_;
  uint64_t sessionId_ = 0;
  std::string hostName_;
};

// Runs seeds 1 to count of a property, a few threads sharing them out (each
// seed is a world of its own); run says what broke, or nothing. Reports the
// first few seeds that broke.
inline void CheckSeeds(uint64_t count, const std::function<std::string(uint64_t)>& run) {
  std::vector<std::string> why(count + 1);
  std::atomic<uint64_t> next{1};
  std::vector<std::thread> workers;
  for (int w = 0; w < 4; ++w)
    workers.emplace_back([&] {
      for (uint64_t seed = next++; seed <= count; seed = next++) why[seed] = run(seed);
    });
  for (auto& t : workers) t.join();
  int failures = 0;
  for (uint64_t seed = 1; seed <= count && failures < 5; ++seed) {
    if (why[seed].empty()) continue;
    ADD_FAILURE() << "seed " << seed << ": " << why[seed];
    ++failures;
  }
}

}  // namespace fwtest
