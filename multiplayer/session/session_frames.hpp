#pragma once
// The frames members of a session exchange over a Transport link. Encoding:
// one type byte, then the fields, little-endian, no padding; a string is a
// length byte and its bytes. Decoding refuses a frame whole: short, trailing
// bytes, a count above its cap, a value out of range.
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "multiplayer/session/session_types.hpp"

namespace fw {

enum class FrameType : uint8_t {
  Hello = 1,         // joiner (or a member coming back after the host went) -> host
  Welcome = 2,       // host -> joiner: ids and roster
  Refuse = 3,        // host -> joiner
  Data = 4,          // a game message; the host stamps from
  RecvAck = 5,       // member -> host: what it has of each sender, cumulative
  SendAck = 6,       // host -> sender: its frames up to seq reached every addressee
  MemberJoined = 7,  // host -> members
  MemberLeft = 8,    // host -> members
  Leave = 9,         // member -> host
  Heartbeat = 10,
  Removed = 11,      // host -> member, just before the host closes the link
  History = 12,      // member -> new host: a message of the old host it holds
};

enum class RefuseReason : uint8_t {
  Version = 1,
  UnknownSession = 2,
  Full = 3,
  NotAccepting = 4,
  BadName = 5,
  Retry = 6,  // "I do not know yet that the host is gone: ask again shortly"
};

enum class RemoveReason : uint8_t {
  Removed = 1,
  Flooding = 2,
  TimedOut = 3,
};

inline constexpr size_t kMaxFrameNameBytes = 32;   // a player's name, code page 936 bytes
inline constexpr size_t kMaxFrameStringBytes = 255;
inline constexpr size_t kMaxRosterMembers = 64;
inline constexpr size_t kMaxAckEntries = 64;
inline constexpr size_t kMaxPayloadBytes = 64 * 1024 - 32;

struct AckEntry {
  int32_t sender = 0;
  uint64_t seq = 0;
  bool operator==(const AckEntry&) const = default;
};

// One frame; which fields matter depends on type.
struct SessionFrame {
  FrameType type = FrameType::Heartbeat;
  // Hello
  uint16_t protocol = 0;
  uint32_t build = 0;
  uint64_t sessionId = 0;
  std::string name;
  std::string address;
  int32_t rejoinId = 0;    // 0: a new joiner
  int32_t oldHostId = 0;   // rejoin: the host that went
  uint64_t lastFromOldHost = 0;
  // Welcome
  int32_t yourId = 0;
  int32_t hostId = 0;
  std::string sessionName;
  int32_t maxPlayers = 0;
  std::vector<SessionMember> roster;
  // Refuse, Removed
  uint8_t reason = 0;
  // Data, History
  int32_t from = 0;
  int32_t to = 0;
  uint64_t seq = 0;
  std::vector<uint8_t> payload;
  // RecvAck
  std::vector<AckEntry> acks;
  // MemberJoined (name, address, longName), MemberLeft (memberId)
  int32_t memberId = 0;
  std::string longName;
};

std::vector<uint8_t> EncodeFrame(const SessionFrame& frame);
std::optional<SessionFrame> DecodeFrame(std::span<const uint8_t> bytes);

// The text every name on the wire keeps to (a joiner's, the roster's, a
// found session's), so that a name shows the same on every machine: whole
// code page 936 characters and no control byte (below 0x20, or 0x7f).
bool ValidNameText(std::string_view text);
// A name a joiner may use: 1 to kMaxFrameNameBytes bytes of such text.
bool ValidPlayerName(const std::string& name);

}  // namespace fw
