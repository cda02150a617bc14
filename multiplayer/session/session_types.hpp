#pragma once
// What the session engine, the session object and its providers share with
// the game: an address, a received message, the outcome of a join, one
// member, and the state the game thread reads without waiting.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace fw {

// The wire protocol of sessions; a session of another protocol is not listed.
// 2: queries padded to the longest answer.
inline constexpr uint16_t kSessionProtocol = 2;
// This build of the game; joining a host of another build is refused with
// "version".
inline constexpr uint32_t kSessionBuild = 1;

// What the game thread does while a session call waits for the network (a
// join, a search): the lobby draws a frame and pumps the window's events. It
// runs on the calling thread between short slices of the wait and must not
// touch the session object that is waiting.
using WaitPump = std::function<void()>;
// The longest slice of such a wait between two calls of its pump.
inline constexpr uint32_t kPumpSliceMs = 10;

// What an address names: a LAN search, a typed IPv4 address, or a COM port.
struct PlayAddress {
  enum class Kind { Lan, TcpIp, Serial } kind = Kind::Lan;
  std::string ip;        // TcpIp: dotted text, may be empty (the search then has nothing to ask)
  int comPort = 0;       // Serial: 1 to 4
  int baud = 57600;
  int stopBits = 1;
  int parity = 0;
  int flowControl = 0;
};

// Session system message types (sender id 0).
inline constexpr int32_t kSysPlayerCreated = 3;
inline constexpr int32_t kSysPlayerDestroyed = 5;
inline constexpr int32_t kSysBecameHost = 257;

// One received message: from 0 is a session system message whose bytes are
// its type as a little-endian Long, then the id it concerns as another (the
// player created or destroyed; for 257 our own).
struct ReceivedMessage {
  int32_t from = 0;
  int32_t to = 0;
  std::vector<uint8_t> bytes;
};

enum class JoinResult {
  Ok,
  RefusedVersion,
  RefusedFull,
  RefusedUnknownSession,
  RefusedNotAccepting,
  RefusedBadName,
  Unreachable,
  TimedOut,
  NoSuchRow,
};
const char* JoinResultText(JoinResult r);

struct SessionMember {
  int32_t id = 0;
  std::string name;      // the profile name it joined with
  std::string longName;  // "Host" or "Player"
  std::string address;   // where it listens, for a new host to be reached
};

struct SessionSnapshot {
  enum class State {
    Idle,     // neither hosting nor joined
    Joining,  // a join is under way
    Member,   // in a session, someone else hosts it
    Host,     // in a session we host
    Ended,    // left, refused, dropped or lost; endReason says why
  };
  State state = State::Idle;
  int32_t myId = 0;
  int32_t hostId = 0;
  uint64_t sessionId = 0;
  std::string sessionName;
  int maxPlayers = 0;  // 0: no limit
  bool accepting = true;
  std::vector<SessionMember> members;  // in id order, ourselves included
  JoinResult joinResult = JoinResult::Ok;
  std::string endReason;  // "left", "overflow", "flooding", "removed", "host lost", ...
  // Moves on with every change, so a reader can tell a new roster cheaply.
  uint64_t version = 0;
};

}  // namespace fw
