#pragma once
// The game messages of a network battle, as they travel between copies of
// the game: a little-endian Long type, then the fields in a fixed order.
// Integers are fixed-width little-endian, Singles IEEE float32, texts a
// length byte and code page 936 bytes, lists a count and their entries.
//
// Decoding is pure and strict: a message that is short, has bytes left over,
// carries a count or text above its cap, a non-finite Single or a value
// outside its range is refused whole, so a handler only ever sees fields it
// can use as they stand. Encoding applies the same limits, so what a sender
// cannot make is never put on the wire, and whatever decodes encodes back to
// the same bytes.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <variant>
#include <vector>

#include "multiplayer/lobby/game_setting.hpp"

namespace fw {

using MessageBytes = std::vector<uint8_t>;

// The game's own type numbers. 9 and 12 have no sender in this game, and
// 10001 (end the battle) and 10002 (take over a tank) would let any peer do
// what only the battle itself decides: none of them is made or accepted.
enum class GameMessageType : int32_t {
  TankInfo = 1,
  TankState = 2,
  Join = 3,
  Quit = 4,
  Control = 5,
  InfoRequest = 6,
  KilledBy = 7,
  Score = 8,
  SettingRequest = 10,
  Setting = 11,
  BuildState = 13,
};

// The last Long of a tank description: a description without it is cut.
inline constexpr int32_t kTankInfoEndMarker = 55555;

// Caps. A hull has at most nine weapon slots and a map a few hundred
// buildings; the caps leave room and keep the largest message well under
// the session's 64 KiB.
inline constexpr size_t kMaxWireWeapons = 32;
inline constexpr size_t kMaxWireBuildings = kMaxSettingBuildings;
inline constexpr size_t kMaxPictureNameBytes = 64;
inline constexpr size_t kMaxWeaponKeyBytes = 64;
inline constexpr size_t kMaxBuildingKeyBytes = kMaxSettingBuildingKeyBytes;
inline constexpr size_t kMaxModeNameBytes = 64;
inline constexpr size_t kMaxMapNameBytes = kMaxSettingMapNameBytes;
// The ranges the new-game page keeps its settings in (with room below).
inline constexpr int32_t kMaxLimit = 999;  // LimTime minutes, LimTank kills
inline constexpr int32_t kMaxMoney = 30000;
// Scores and territory times far beyond any battle: team totals of them
// still fit a Long.
inline constexpr int32_t kMaxScore = 1000000;
inline constexpr float kMaxHeldTime = 1.0e7f;
inline constexpr uint8_t kMaxModeIndex = 3;  // 1-based in the page's list; 0 before a choice

// One weapon of a tank description, in wire order. The Longs that the
// battle keeps as Integers stay within 16 bits.
struct WireWeapon {
  float Agile = 0.0f;
  int32_t Ammo = 0;
  int32_t ClipID = 0;
  float Energy = 0.0f;
  int32_t FireAngle = 0;
  float FireSpeed = 0.0f;
  std::string Key;  // the weapon's name
  uint8_t Path = 0;
  int32_t FirePower = 0;
  int32_t Range = 0;
  float Speed = 0.0f;
  int32_t OffsetX = 0;
  bool operator==(const WireWeapon&) const = default;
};

// 1: enough of a tank to create it; closed by kTankInfoEndMarker.
struct MsgTankInfo {
  float Accelerate = 0.0f;
  float Agile = 0.0f;
  float HeadAngle = 0.0f;
  std::string Picture;  // the Name of the tank's picture record
  float EnergyFull = 0.0f;  // whole numbers within 16 bits
  float EnergySpeed = 0.0f;
  float ShieldFull = 0.0f;
  float ShieldSpeed = 0.0f;
  float TopSpeed = 0.0f;
  float PosX = 0.0f;
  float PosY = 0.0f;
  std::vector<WireWeapon> Weapons;  // may be empty
  bool operator==(const MsgTankInfo&) const = default;
};

// 2: the sender's tank, once a second.
struct MsgTankState {
  float PosX = 0.0f;
  float PosY = 0.0f;
  float Speed = 0.0f;
  float HeadAngle = 0.0f;
  float Energy = 0.0f;
  float Shield = 0.0f;
  float HP = 0.0f;  // within 16 bits
  uint8_t Team = 0;    // 0 or 1
  uint8_t Active = 0;  // 0 or 1
  bool operator==(const MsgTankState&) const = default;
};

// 3
struct MsgJoin {
  uint8_t Team = 0;
  bool operator==(const MsgJoin&) const = default;
};

// 4
struct MsgQuit {
  bool operator==(const MsgQuit&) const = default;
};

// 5: the sender's controls, whenever they change.
struct MsgControl {
  uint8_t MoveFB = 0;  // 0 stop, 1 forward, 2 back
  uint8_t TurnR = 0;
  uint8_t TurnL = 0;
  int32_t PerSpeed = 0;  // throttle -50..100
  uint8_t Fire = 0;
  float AimX = 0.0f;
  float AimY = 0.0f;
  int32_t TargetOwner = -1;  // player id owning the picked unit; -1 none
  std::vector<uint8_t> Enabled;  // one 0/1 flag per weapon
  bool operator==(const MsgControl&) const = default;
};

// 6
struct MsgInfoRequest {
  bool operator==(const MsgInfoRequest&) const = default;
};

// 7: to the killer, naming the victim (the sender).
struct MsgKilledBy {
  int32_t PlayerID = 0;
  bool operator==(const MsgKilledBy&) const = default;
};

// 8: one player's score line; the held time is the sender's own.
struct MsgScore {
  int32_t PlayerID = 0;
  int32_t Score = 0;
  float HeldTime = 0.0f;
  uint8_t Team = 0;
  bool operator==(const MsgScore&) const = default;
};

// 10
struct MsgSettingRequest {
  int32_t PlayerID = 0;
  bool operator==(const MsgSettingRequest&) const = default;
};

// One building of the building table; an empty key marks a removed one.
struct WireBuilding {
  std::string Key;
  int32_t HP = 0;  // within 16 bits
  int32_t MapX = 0;
  int32_t MapY = 0;
  float Shield = 0.0f;
  bool operator==(const WireBuilding&) const = default;
};

// 11: the settings and the building table, to one requester. The sender's
// id travels twice (before and after the table); both must agree.
struct MsgSetting {
  uint8_t ModeIndex = 0;
  std::string ModeName;
  uint8_t WinRule = 0;  // 0 time limit, 1 score limit
  int32_t LimTank = 0;
  int32_t LimTime = 0;
  std::string MapName;
  int32_t Money = 0;
  int32_t BattleTime = 0;  // whole seconds of the sender's battle clock
  uint8_t RequesterTeam = 0;
  int32_t SenderID = 0;
  std::vector<WireBuilding> Buildings;  // may be empty
  bool operator==(const MsgSetting&) const = default;
};

// 13: the building table alone, to one requester.
struct MsgBuildState {
  std::vector<WireBuilding> Buildings;
  int32_t SenderID = 0;
  bool operator==(const MsgBuildState&) const = default;
};

using GameMessage = std::variant<MsgTankInfo, MsgTankState, MsgJoin, MsgQuit, MsgControl, MsgInfoRequest,
                                 MsgKilledBy, MsgScore, MsgSettingRequest, MsgSetting, MsgBuildState>;

GameMessageType TypeOf(const GameMessage& m);

// Nothing when the message is refused (see above), or of a type this game
// does not take.
std::optional<GameMessage> DecodeGameMessage(std::span<const uint8_t> bytes);
// Nothing when a field lies outside what a receiver accepts.
std::optional<MessageBytes> EncodeGameMessage(const GameMessage& m);

}  // namespace fw
