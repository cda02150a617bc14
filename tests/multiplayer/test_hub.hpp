#pragma once
// Network battles in one process: a star of links through an in-memory host
// (ids from 1 in join order, the sender stamped, 0 meaning everyone else,
// the session's system messages with the player's id), per-link FIFO
// delivery after a seeded latency on the game's clock, a member that
// vanishes reported as destroyed 10 s later, and a machine that is one
// NetBattle with its own profile. For tests and benchmarks.
#include <cstring>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "battle/surface_pictures.hpp"
#include "engine/globals.hpp"
#include "multiplayer/battle/net_battle.hpp"
#include "platform/runtime/clock.hpp"

namespace fw::nettest {

class TestHub {
 public:
  explicit TestHub(uint32_t seed = 1, uint32_t maxLatencyMs = 0) : rng_(seed), maxLatency_(maxLatencyMs) {}

  class Link final : public NetLink {
   public:
    Link(TestHub& hub, int32_t id) : hub_(hub), id_(id) {}
    int32_t MyId() const override { return id_; }
    bool IsHost() const override { return hub_.hostId_ == id_; }
    int32_t HostId() const override { return hub_.hostId_; }
    std::vector<PlayerEntry> Members() override {
      std::vector<PlayerEntry> out;
      if (!hub_.members_.count(id_)) return out;
      for (const auto& [id, name] : hub_.members_)
        out.push_back({id, name, id == hub_.hostId_ ? "Host" : "Player"});
      return out;
    }
    bool Send(int32_t to, std::vector<uint8_t> bytes) override {
      if (!hub_.members_.count(id_)) return false;
      ++sent;
      if (bytes.size() >= 4) {
        int32_t type = 0;
        std::memcpy(&type, bytes.data(), 4);
        ++sentTypes[type];
      }
      hub_.Route(id_, to, std::move(bytes));
      return true;
    }
    std::optional<ReceivedMessage> Receive() override {
      hub_.Tick();
      auto& q = inbox;
      if (q.empty() || q.front().first > plat::timeGetTime()) return std::nullopt;
      ReceivedMessage m = std::move(q.front().second);
      q.pop_front();
      return m;
    }
    bool DestroyPlayer(int32_t id) override {
      if (!IsHost()) return false;
      hub_.Remove(id);
      return true;
    }
    void Leave() override { hub_.Remove(id_); }

    std::deque<std::pair<uint32_t, ReceivedMessage>> inbox;
    int32_t sent = 0;
    std::map<int32_t, int32_t> sentTypes;  // messages sent, by game message type

   private:
    TestHub& hub_;
    int32_t id_;
  };

  // A new member; the first one hosts.
  Link& Join(const std::string& name) {
    const int32_t id = nextId_++;
    if (hostId_ == 0) hostId_ = id;
    links_[id] = std::make_unique<Link>(*this, id);
    for (const auto& [other, n] : members_) {
      System(other, kSysPlayerCreated, id);
      System(id, kSysPlayerCreated, other);
    }
    members_[id] = name;
    return *links_[id];
  }
  Link& LinkOf(int32_t id) { return *links_.at(id); }
  // Stops answering; the others learn it 10 s later, as from the session's
  // heartbeat.
  void Vanish(int32_t id) { vanished_[id] = plat::timeGetTime() + 10000; }
  // A message as a member sends it, bytes as they are.
  void Inject(int32_t from, int32_t to, std::vector<uint8_t> bytes) { Route(from, to, std::move(bytes)); }
  void Tick() {
    const uint32_t now = plat::timeGetTime();
    for (auto it = vanished_.begin(); it != vanished_.end();) {
      if (static_cast<int32_t>(now - it->second) >= 0) {
        const int32_t id = it->first;
        it = vanished_.erase(it);
        Remove(id);
      } else {
        ++it;
      }
    }
  }
  bool Member(int32_t id) const { return members_.count(id) > 0; }

 private:
  void Remove(int32_t id) {
    if (!members_.erase(id)) return;
    vanished_.erase(id);
    if (hostId_ == id) hostId_ = members_.empty() ? 0 : members_.begin()->first;
    for (const auto& [other, n] : members_) System(other, kSysPlayerDestroyed, id);
  }
  void System(int32_t to, int32_t type, int32_t who) {
    std::vector<uint8_t> b(8);
    std::memcpy(b.data(), &type, 4);
    std::memcpy(b.data() + 4, &who, 4);
    Deliver(0, to, std::move(b));
  }
  void Route(int32_t from, int32_t to, std::vector<uint8_t> bytes) {
    if (vanished_.count(from)) return;
    if (to == 0) {
      for (const auto& [other, n] : members_)
        if (other != from) Deliver(from, other, bytes);
    } else if (to != from && members_.count(to)) {
      Deliver(from, to, std::move(bytes));
    }
  }
  void Deliver(int32_t from, int32_t to, std::vector<uint8_t> bytes) {
    if (vanished_.count(to)) return;
    uint32_t due = plat::timeGetTime();
    if (maxLatency_ > 0) due += std::uniform_int_distribution<uint32_t>(0, maxLatency_)(rng_);
    // Each link stays first in, first out.
    uint32_t& last = lastDue_[{from, to}];
    if (static_cast<int32_t>(due - last) < 0) due = last;
    last = due;
    auto& q = links_.at(to)->inbox;
    // Later messages of other senders may overtake a slow one, never one of
    // the same link.
    auto at = q.end();
    while (at != q.begin() && static_cast<int32_t>(std::prev(at)->first - due) > 0) --at;
    q.insert(at, {due, ReceivedMessage{from, to, std::move(bytes)}});
  }

  std::mt19937 rng_;
  uint32_t maxLatency_;
  int32_t nextId_ = 1;
  int32_t hostId_ = 0;
  std::map<int32_t, std::string> members_;
  std::map<int32_t, std::unique_ptr<Link>> links_;
  std::map<int32_t, uint32_t> vanished_;
  std::map<std::pair<int32_t, int32_t>, uint32_t> lastDue_;
};

// One player's profile and factory, counted.
class TestProfile final : public NetBattleProfile, public NetResultBook {
 public:
  explicit TestProfile(std::string name) : name_(std::move(name)) {}
  std::string Name() override { return name_; }
  void AddKill() override { ++kills; }
  void AddDeath() override { ++deaths; }
  bool Save() override {
    ++saves;
    if (!saveOk && !failure.empty()) LastError = failure;
    return saveOk;
  }
  NetResultBook& Results() override { return *this; }
  void Book(bool w) override { (w ? won : lost) += 1; }
  Visit VisitFactory() override {
    ++visits;
    if (duringVisit) duringVisit();  // the time the player spends shopping
    if (visitScript.empty()) return Visit{false, armWith};
    Visit v = visitScript.front();
    visitScript.pop_front();
    return v;
  }
  void Notice(const std::string& text) override { notices.push_back(text); }

  int32_t kills = 0, deaths = 0, won = 0, lost = 0, saves = 0, visits = 0;
  bool saveOk = true;
  std::string failure;  // what a failed save says, in LastError
  std::optional<Tank> armWith;
  std::deque<Visit> visitScript;
  std::vector<std::string> notices;
  std::function<void()> duringVisit;

 private:
  std::string name_;
};

// One machine of a test battle.
struct Machine {
  Machine(NetLink& l, const std::string& name, GameSettingRecord setting)
      : link(l), profile(name), settings(std::move(setting)), battle(link, profile, pictures, out, settings) {}
  Machine(TestHub& hub, const std::string& name, GameSettingRecord setting) : Machine(hub.Join(name), name, setting) {}
  NetLink& link;
  TestProfile profile;
  SurfacePictures pictures{false};
  NullBattleOutput out;
  GameSettingRecord settings;
  NetBattle battle;
};

}  // namespace fw::nettest
