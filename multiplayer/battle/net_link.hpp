#pragma once
// What the network battle needs of a session: its own id, whether it is the
// host and who is, the members, guaranteed messages in arrival order (the
// session's system messages among them, sender 0), the removal of a silent
// member, and leaving. The game hands the battle the session object; tests
// hand it a link of their own, so several battles run in one process.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "multiplayer/session/direct_play.hpp"

namespace fw {

class NetLink {
 public:
  virtual ~NetLink() = default;
  virtual int32_t MyId() const = 0;
  // Asked of the session, never of a name text.
  virtual bool IsHost() const = 0;
  // The host's id; 0 while unknown.
  virtual int32_t HostId() const = 0;
  // The members as the session lists them now (ourselves included).
  virtual std::vector<PlayerEntry> Members() = 0;
  // to 0 is every member but ourselves; false when nothing could be queued.
  virtual bool Send(int32_t to, std::vector<uint8_t> bytes) = 0;
  virtual std::optional<ReceivedMessage> Receive() = 0;
  // Only the host may remove a member; false elsewhere.
  virtual bool DestroyPlayer(int32_t id) = 0;
  // Leaves the session at once; the others learn of it.
  virtual void Leave() = 0;
};

// The game's session object as a link.
class DirectPlayLink final : public NetLink {
 public:
  explicit DirectPlayLink(qelDirectPlay& dp) : dp_(dp) {}
  int32_t MyId() const override { return dp_.MyPlayID; }
  bool IsHost() const override { return dp_.IsHost(); }
  // After a host change the new host's long name still reads "Player": the
  // session knows who hosts, the names do not.
  int32_t HostId() const override { return dp_.HostId(); }
  std::vector<PlayerEntry> Members() override {
    dp_.UpdatePlayers();
    return dp_.DPEnumPlayers;
  }
  bool Send(int32_t to, std::vector<uint8_t> bytes) override { return dp_.Send(to, std::move(bytes)); }
  std::optional<ReceivedMessage> Receive() override { return dp_.Receive(); }
  bool DestroyPlayer(int32_t id) override { return dp_.DestroyPlayer(id); }
  void Leave() override { dp_.CloseDownDPlay(); }

 private:
  qelDirectPlay& dp_;
};

}  // namespace fw
