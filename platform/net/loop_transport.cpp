#include "platform/net/loop_transport.hpp"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <random>
#include <set>
#include <utility>

namespace plat {

namespace {

struct Link;

struct Node {
  std::string name;
  std::string listenAddress;
  bool crashed = false;
  bool paused = false;
  bool alive = true;  // false once its transport is destroyed
  bool woken = false;
  LinkId nextLink = 1;
  std::map<LinkId, std::shared_ptr<Link>> links;
  // Events on their way here, by (due time, order sent): a link's events are
  // due in the order they were sent, so each link stays FIFO.
  std::map<std::pair<uint64_t, uint64_t>, std::pair<std::weak_ptr<Link>, TransportEvent>> incoming;
};

struct Link {
  Node* end[2] = {nullptr, nullptr};
  LinkId id[2] = {0, 0};
  uint64_t lastDue[2] = {0, 0};  // latest due time of events towards end[i]
  bool closed = false;      // either end closed it: nothing more is sent
  bool endClosed[2] = {false, false};  // that end let go and hears nothing more of it
  bool refused = false;     // nobody listened at the address
};

}  // namespace

struct LoopNetwork::State {
  explicit State(const Options& o) : options(o), rng(o.seed) {}
  Options options;
  mutable std::mutex mutex;
  std::condition_variable cv;
  std::mt19937_64 rng;
  uint64_t manualNow = 0;
  std::chrono::steady_clock::time_point start = std::chrono::steady_clock::now();
  uint64_t order = 0;
  uint64_t dropped = 0;
  std::vector<std::unique_ptr<Node>> nodes;
  std::set<std::string> isolated;
  std::set<std::pair<std::string, std::string>> cuts;
  std::optional<std::set<std::string>> partition;

  uint64_t Now() const {
    if (!options.realClock) return manualNow;
    return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                     std::chrono::steady_clock::now() - start)
                                     .count());
  }

  Node* FindNode(const std::string& name) {
    for (auto& n : nodes) {
      if (n->alive && (n->name == name || n->listenAddress == name)) return n.get();
    }
    return nullptr;
  }

  bool Severed(const Node* a, const Node* b) const {
    if (a->crashed || b->crashed) return true;
    if (isolated.empty() && cuts.empty() && !partition) return false;
    if (isolated.count(a->name) || isolated.count(b->name)) return true;
    if (cuts.count({a->name, b->name}) || cuts.count({b->name, a->name})) return true;
    if (partition) {
      bool ina = partition->count(a->name) > 0, inb = partition->count(b->name) > 0;
      if (ina != inb) return true;
    }
    return false;
  }

  uint32_t Latency() {
    uint32_t lo = options.minLatencyMs, hi = std::max(options.minLatencyMs, options.maxLatencyMs);
    return lo + static_cast<uint32_t>(rng() % (hi - lo + 1));
  }

  // Puts an event on its way along link towards end[to].
  void Enqueue(const std::shared_ptr<Link>& link, int to, TransportEvent ev) {
    Node* dst = link->end[to];
    if (!dst || !dst->alive) return;
    uint64_t due = std::max(link->lastDue[to], Now() + Latency());
    link->lastDue[to] = due;
    ev.link = link->id[to];
    dst->incoming.emplace(std::make_pair(due, order++), std::make_pair(std::weak_ptr<Link>(link), std::move(ev)));
    cv.notify_all();
  }

  // The earliest due event of the node, if due now.
  std::optional<TransportEvent> Take(Node* n) {
    if (n->crashed || n->paused) return std::nullopt;
    uint64_t now = Now();
    while (!n->incoming.empty()) {
      auto it = n->incoming.begin();
      if (it->first.first > now) return std::nullopt;
      std::shared_ptr<Link> link = it->second.first.lock();
      TransportEvent ev = std::move(it->second.second);
      n->incoming.erase(it);
      if (!link) continue;
      int me = link->end[0] == n ? 0 : 1;
      if (link->endClosed[me]) continue;
      if (link->refused) {
        n->links.erase(link->id[0]);
        ev.link = link->id[0];
        return ev;
      }
      Node* other = link->end[1 - me];
      if (other == nullptr || Severed(n, other)) {
        ++dropped;
        continue;
      }
      if (link->id[me] == 0) {
        // A peer's connection attempt reaching us: the link gets its id here.
        link->id[me] = n->nextLink++;
        n->links[link->id[me]] = link;
      }
      ev.link = link->id[me];
      if (ev.kind == TransportEvent::Kind::Disconnected) n->links.erase(link->id[me]);
      return ev;
    }
    return std::nullopt;
  }

  bool HasDue(Node* n) const {
    if (n->crashed || n->paused || n->incoming.empty()) return false;
    return n->incoming.begin()->first.first <= Now();
  }
};

namespace {

class LoopTransport final : public Transport {
 public:
  LoopTransport(std::shared_ptr<LoopNetwork::State> s, Node* n) : s_(std::move(s)), n_(n) {}
  ~LoopTransport() override {
    std::lock_guard<std::mutex> lock(s_->mutex);
    for (auto& [id, link] : n_->links) CloseLocked(link);
    n_->links.clear();
    n_->incoming.clear();
    n_->alive = false;
  }

  bool Listen(const std::string& address, std::string* error) override {
    std::lock_guard<std::mutex> lock(s_->mutex);
    if (address.empty() || !n_->listenAddress.empty()) {
      if (error) *error = "cannot listen on \"" + address + "\"";
      return false;
    }
    Node* other = s_->FindNode(address);
    if (other != nullptr && other != n_) {
      if (error) *error = "address in use: " + address;
      return false;
    }
    n_->listenAddress = address;
    return true;
  }
  std::string LocalAddress() const override {
    std::lock_guard<std::mutex> lock(s_->mutex);
    return n_->listenAddress;
  }

  LinkId Connect(const std::string& address) override {
    std::lock_guard<std::mutex> lock(s_->mutex);
    if (address.empty()) return 0;
    auto link = std::make_shared<Link>();
    link->end[0] = n_;
    link->id[0] = n_->nextLink++;
    n_->links[link->id[0]] = link;
    Node* dst = nullptr;
    for (auto& n : s_->nodes) {
      if (n->alive && !n->listenAddress.empty() && n->listenAddress == address) dst = n.get();
    }
    if (dst == nullptr || dst == n_) {
      // Nobody listens there: the attempt fails after a trip, as a refused connection does.
      link->refused = true;
      link->closed = true;
      uint64_t due = s_->Now() + s_->Latency();
      n_->incoming.emplace(std::make_pair(due, s_->order++),
                           std::make_pair(std::weak_ptr<Link>(link),
                                          TransportEvent{TransportEvent::Kind::Disconnected, link->id[0], {}}));
      s_->cv.notify_all();
      return link->id[0];
    }
    link->end[1] = dst;
    if (!s_->Severed(n_, dst)) {
      s_->Enqueue(link, 1, TransportEvent{TransportEvent::Kind::Connected, 0, {}});
      s_->Enqueue(link, 0, TransportEvent{TransportEvent::Kind::Connected, 0, {}});
    } else {
      ++s_->dropped;
    }
    return link->id[0];
  }

  bool Send(LinkId id, std::span<const uint8_t> data) override {
    std::lock_guard<std::mutex> lock(s_->mutex);
    auto it = n_->links.find(id);
    if (it == n_->links.end() || it->second->closed || data.size() > MaxMessageSize()) return false;
    std::shared_ptr<Link> link = it->second;
    int me = link->end[0] == n_ ? 0 : 1;
    Node* other = link->end[1 - me];
    if (n_->crashed || other == nullptr || s_->Severed(n_, other)) {
      ++s_->dropped;
      return true;  // silently lost, as on a cut cable
    }
    s_->Enqueue(link, 1 - me, TransportEvent{TransportEvent::Kind::Received, 0, {data.begin(), data.end()}});
    return true;
  }

  void Close(LinkId id) override {
    std::lock_guard<std::mutex> lock(s_->mutex);
    auto it = n_->links.find(id);
    if (it == n_->links.end()) return;
    CloseLocked(it->second);
    n_->links.erase(it);
  }

  std::optional<TransportEvent> Poll() override {
    std::lock_guard<std::mutex> lock(s_->mutex);
    return s_->Take(n_);
  }

  void Wait(uint32_t maxMs) override {
    std::unique_lock<std::mutex> lock(s_->mutex);
    uint64_t until = s_->Now() + maxMs;
    // A real-time bound keeps a forgotten test clock from hanging a thread.
    auto realDeadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(std::min<uint32_t>(maxMs, 50));
    while (!n_->woken && !s_->HasDue(n_) && s_->Now() < until) {
      auto wakeAt = realDeadline;
      if (s_->options.realClock && !n_->incoming.empty() && !n_->paused && !n_->crashed) {
        uint64_t due = n_->incoming.begin()->first.first;
        auto dueReal = s_->start + std::chrono::milliseconds(due);
        if (dueReal < wakeAt) wakeAt = dueReal;
      }
      if (s_->cv.wait_until(lock, wakeAt) == std::cv_status::timeout &&
          std::chrono::steady_clock::now() >= realDeadline)
        break;
    }
    n_->woken = false;
  }

  void Wake() override {
    std::lock_guard<std::mutex> lock(s_->mutex);
    n_->woken = true;
    s_->cv.notify_all();
  }

  uint64_t NowMs() const override {
    std::lock_guard<std::mutex> lock(s_->mutex);
    return s_->Now();
  }

 private:
  void CloseLocked(const std::shared_ptr<Link>& link) {
    int me = link->end[0] == n_ ? 0 : 1;
    link->endClosed[me] = true;
    if (link->closed) return;
    link->closed = true;
    Node* other = link->end[1 - me];
    if (other != nullptr && other != n_ && !s_->Severed(n_, other))
      s_->Enqueue(link, 1 - me, TransportEvent{TransportEvent::Kind::Disconnected, 0, {}});
  }
  std::shared_ptr<LoopNetwork::State> s_;
  Node* n_;
};

}  // namespace

LoopNetwork::LoopNetwork() : LoopNetwork(Options{}) {}
LoopNetwork::LoopNetwork(Options options) : state_(std::make_shared<State>(options)) {}
LoopNetwork::~LoopNetwork() = default;

uint64_t LoopNetwork::NowMs() const {
  std::lock_guard<std::mutex> lock(state_->mutex);
  return state_->Now();
}

void LoopNetwork::Advance(uint32_t ms) {
  std::lock_guard<std::mutex> lock(state_->mutex);
  state_->manualNow += ms;
  state_->cv.notify_all();
}

std::unique_ptr<Transport> LoopNetwork::MakeNode(const std::string& name) {
  std::lock_guard<std::mutex> lock(state_->mutex);
  auto node = std::make_unique<Node>();
  node->name = name;
  Node* raw = node.get();
  state_->nodes.push_back(std::move(node));
  return std::make_unique<LoopTransport>(state_, raw);
}

void LoopNetwork::Cut(const std::string& a, const std::string& b) {
  std::lock_guard<std::mutex> lock(state_->mutex);
  state_->cuts.insert({a, b});
}

void LoopNetwork::Isolate(const std::string& node) {
  std::lock_guard<std::mutex> lock(state_->mutex);
  state_->isolated.insert(node);
}

void LoopNetwork::Crash(const std::string& node) {
  std::lock_guard<std::mutex> lock(state_->mutex);
  for (auto& n : state_->nodes) {
    if (n->alive && n->name == node) {
      n->crashed = true;
      n->incoming.clear();
    }
  }
}

void LoopNetwork::Pause(const std::string& node, bool paused) {
  std::lock_guard<std::mutex> lock(state_->mutex);
  for (auto& n : state_->nodes) {
    if (n->alive && n->name == node) n->paused = paused;
  }
  state_->cv.notify_all();
}

void LoopNetwork::Partition(const std::vector<std::string>& side) {
  std::lock_guard<std::mutex> lock(state_->mutex);
  state_->partition = std::set<std::string>(side.begin(), side.end());
}

void LoopNetwork::Heal() {
  std::lock_guard<std::mutex> lock(state_->mutex);
  state_->partition.reset();
  state_->cuts.clear();
  state_->isolated.clear();
}

uint64_t LoopNetwork::Dropped() const {
  std::lock_guard<std::mutex> lock(state_->mutex);
  return state_->dropped;
}

}  // namespace plat
