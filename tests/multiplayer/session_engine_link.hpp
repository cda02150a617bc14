#pragma once
// A session engine as the network battle's link, so tests can run battles
// over the real session protocol.
#include <memory>

#include "multiplayer/battle/net_link.hpp"
#include "multiplayer/session/session_engine.hpp"

namespace fw::nettest {

class EngineLink final : public NetLink {
 public:
  explicit EngineLink(std::unique_ptr<SessionEngine> e) : e_(std::move(e)) {}
  int32_t MyId() const override { return e_->Snapshot().myId; }
  bool IsHost() const override { return e_->Snapshot().state == SessionSnapshot::State::Host; }
  int32_t HostId() const override { return e_->Snapshot().hostId; }
  std::vector<PlayerEntry> Members() override {
    std::vector<PlayerEntry> out;
    for (const SessionMember& m : e_->Snapshot().members) out.push_back({m.id, m.name, m.longName});
    return out;
  }
  bool Send(int32_t to, std::vector<uint8_t> bytes) override { return e_->Send(to, std::move(bytes)); }
  std::optional<ReceivedMessage> Receive() override { return e_->Receive(); }
  bool DestroyPlayer(int32_t id) override { return e_->Remove(id); }
  void Leave() override { e_->Leave(); }
  SessionEngine& Engine() { return *e_; }

 private:
  std::unique_ptr<SessionEngine> e_;
};

}  // namespace fw::nettest
