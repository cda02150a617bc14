#pragma once
// One member's side of a session: the protocol of a star through the host
// (ids from the host, relay with the sender stamped by the host, join
// handshake, heartbeat and time-out, removal, host migration to the lowest id
// with numbered and acknowledged frames, per-member limits) over a Transport.
//
// The product runs it on a network thread of its own that owns the transport
// and meets the game thread only through two bounded queues and a snapshot.
// Tests of many seeds may instead build it unthreaded and call Step
// themselves: the same protocol code runs, on the transport's clock.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "multiplayer/session/session_types.hpp"
#include "platform/net/transport.hpp"

namespace fw {

struct SessionOptions {
  uint16_t protocol = kSessionProtocol;
  uint32_t build = kSessionBuild;
  bool threaded = true;  // false: the caller drives Step

  uint32_t heartbeatMs = 500;
  uint32_t timeoutMs = 10000;       // silence after which a member (or the host) is gone
  uint32_t joinTimeoutMs = 5000;    // Join's real result comes within this
  uint32_t rejoinWindowMs = 1500;   // a new host waits this long for the others to come back
  uint32_t rejoinGiveUpMs = 4000;   // a member trying to reach a new host gives up after this

  // The game thread's inbox: a loop that lets it fill leaves with "overflow".
  size_t inboxMessages = 8192;
  size_t inboxBytes = 2u << 20;
  // Messages queued by the game thread and not yet acknowledged by the host.
  size_t outboxMessages = 8192;
  size_t outboxBytes = 4u << 20;

  // Per member, enforced by the host: beyond these (bursts of twice) the
  // member is dropped with "flooding".
  double framesPerSecond = 200;
  double bytesPerSecond = 64 * 1024;
  // Every frame of a link counts here, whatever its kind: a member at the
  // data limit adds at most 20 acknowledgements and 2 heartbeats a second,
  // so this leaves it room and still stops a flood of small frames.
  double allFramesPerSecond = 300;
};

class SessionEngine {
 public:
  SessionEngine(std::unique_ptr<plat::Transport> transport, SessionOptions options = {});
  ~SessionEngine();  // leaves the session (the others learn of it at once) and stops the thread
  SessionEngine(const SessionEngine&) = delete;
  SessionEngine& operator=(const SessionEngine&) = delete;

  // Opens a session on the first of listenAddresses that binds, with us as
  // member 1. False with a reason when none binds.
  bool Host(const std::vector<std::string>& listenAddresses, const std::string& sessionName,
            const std::string& playerName, int maxPlayers, std::string* error);
  // Begins joining the session sessionId at hostAddress, listening on the
  // first of listenAddresses that binds (a new host must be able to reach
  // us). The result comes through WaitJoin or the snapshot.
  bool StartJoin(const std::vector<std::string>& listenAddresses, const std::string& hostAddress,
                 uint64_t sessionId, const std::string& playerName, std::string* error);
  // Waits at most maxMs of real time for the join's result (threaded), or
  // returns what is known (stepping). TimedOut while it is still under way.
  JoinResult WaitJoin(uint32_t maxMs);
  // The same, calling pump every few milliseconds of the wait (threaded).
  JoinResult WaitJoin(uint32_t maxMs, const WaitPump& pump);

  // Game thread: queue a message to one member, or to all others with to = 0.
  // False without a session or when the outbox is full.
  bool Send(int32_t to, std::vector<uint8_t> bytes);
  std::optional<ReceivedMessage> Receive();
  size_t Waiting() const;

  SessionSnapshot Snapshot() const;
  // The host removes a member; False for anyone else or an unknown id.
  bool Remove(int32_t id);
  void SetAccepting(bool accepting);
  // Leaves at once; the snapshot then reads Ended with "left".
  void Leave();

  // Stepping mode: handle every waiting event and due timer once.
  void Step();
  // Stepping mode: the senders whose frame numbers the engine keeps, for
  // tests that it keeps them only for members still present.
  std::vector<int32_t> TrackedSenders() const;
  // The transport, for the caller that owns the thread (stepping mode) or an
  // advertiser that answers on it.
  plat::Transport& transport();

  struct Core;  // the protocol state, shared with the network thread

 private:
  std::unique_ptr<Core> core_;
};

}  // namespace fw
