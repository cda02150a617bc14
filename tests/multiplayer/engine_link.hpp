#pragma once
// A session engine as the network battle's link, for battles over the
// session protocol itself (real ENet through a relay, or LoopTransport).
#include <algorithm>
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
  std::optional<ReceivedMessage> Receive() override {
    auto m = e_->Receive();
    if (m) {
      drained += m->bytes.size();
      ++drainedMessages;
    } else {
      // Everything the inbox held has been read: what it held at most.
      peakDrained = std::max(peakDrained, drained);
      peakDrainedMessages = std::max(peakDrainedMessages, drainedMessages);
      drained = drainedMessages = 0;
    }
    return m;
  }
  bool DestroyPlayer(int32_t id) override { return e_->Remove(id); }
  void Leave() override { e_->Leave(); }
  SessionEngine& Engine() { return *e_; }

  size_t drained = 0;      // bytes read since the inbox was last empty
  size_t peakDrained = 0;  // the most read in one go: the inbox's peak in bytes
  size_t drainedMessages = 0;
  size_t peakDrainedMessages = 0;  // and in messages

 private:
  std::unique_ptr<SessionEngine> e_;
};

}  // namespace fw::nettest
