#pragma once
// Finding games: the datagrams a search sends and a host answers, the
// searches (LAN broadcast, a typed address's game ports, the serial cable)
// and the responders of a running host.
//
// Query  "FWDQ" protocol u16, build u32, nonce u32, zero bytes up to
//        kDiscoveryQueryBytes
// Answer "FWDA" protocol u16, build u32, nonce u32, session id u64,
//        name (length u8, code page 936 bytes, at most kDiscoveryNameMax),
//        players u8, maximum u8, game port u16, accepting u8
// Little-endian; a datagram is refused whole when anything is off.
//
// A query is never shorter than the longest answer, and a shorter one gets
// no answer: a forged source address then draws no more bytes at its victim
// than the forger sent.
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace fw {

inline constexpr size_t kDiscoveryNameMax = 64;
// The longest answer (the longest name) and so the size of every query.
inline constexpr size_t kDiscoveryAnswerMaxBytes = 4 + 2 + 4 + 4 + 8 + 1 + kDiscoveryNameMax + 1 + 1 + 2 + 1;
inline constexpr size_t kDiscoveryQueryBytes = kDiscoveryAnswerMaxBytes;
// The game's own ports, unless FERROWIND_PORT / FERROWIND_DISCOVERY_PORT say
// otherwise. A host takes the first free of the eight game ports from the
// base, so one machine can hold eight sessions and a typed search asks them all.
inline constexpr uint16_t kDefaultGamePort = 47624;
inline constexpr uint16_t kDefaultDiscoveryPort = 47620;
inline constexpr int kGamePortsPerMachine = 8;
// How long a search waits for answers, and how long an answer stays listed.
inline constexpr uint32_t kRefreshWaitMs = 300;
inline constexpr uint32_t kQueryEveryMs = 1000;
inline constexpr uint32_t kAnswerLifeMs = 3000;

struct DiscoveryQuery {
  uint16_t protocol = 0;
  uint32_t build = 0;
  uint32_t nonce = 0;
  friend bool operator==(const DiscoveryQuery&, const DiscoveryQuery&) = default;
};

struct DiscoveryAnswer {
  uint16_t protocol = 0;
  uint32_t build = 0;
  uint32_t nonce = 0;  // the query's, so a search knows its own answers
  uint64_t sessionId = 0;
  std::string name;
  uint8_t players = 0;
  uint8_t maximum = 0;  // 0: no limit
  uint16_t gamePort = 0;
  bool accepting = false;
  friend bool operator==(const DiscoveryAnswer&, const DiscoveryAnswer&) = default;
};

std::vector<uint8_t> EncodeQuery(const DiscoveryQuery& q);
// A name longer than kDiscoveryNameMax is cut on a character boundary.
std::vector<uint8_t> EncodeAnswer(const DiscoveryAnswer& a);
std::optional<DiscoveryQuery> DecodeQuery(std::span<const uint8_t> bytes);
std::optional<DiscoveryAnswer> DecodeAnswer(std::span<const uint8_t> bytes);

uint16_t GamePort();       // FERROWIND_PORT or the default
uint16_t DiscoveryPort();  // FERROWIND_DISCOVERY_PORT or the default

}  // namespace fw
