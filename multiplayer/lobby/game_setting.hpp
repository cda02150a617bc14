#pragma once
// The network game's settings: written by the new-game page, read by the
// network battle and sent to joiners.
#include <cstddef>
#include <cstdint>
#include <string>

namespace fw {

struct GameSettingRecord {
  std::string Role;      // "", "New", "Join", "GotSetting", "Go"
  std::string MapName;
  uint8_t TeamPlay = 0;  // 0 single play, 1 team play
  uint8_t ModeIndex = 0;
  std::string ModeName;  // "Death Battle", "Territy Hegemonist", "Group Life-and-Death Battle",
                         // "Group Territy Hegemonist", "Base Defensing"
  uint8_t WinRule = 0;   // 0 time limit, 1 score limit
  int32_t LimTime = 0;
  int32_t LimTank = 0;
  int32_t Money = 0;
};

// The buildings one settings message carries to a joiner: a map with more
// cannot be offered.
inline constexpr size_t kMaxSettingBuildings = 1024;
// The longest map name and building type key, in bytes, it carries.
inline constexpr size_t kMaxSettingMapNameBytes = 128;
inline constexpr size_t kMaxSettingBuildingKeyBytes = 32;
// The bases of "Base Defensing", by building number: team 0 defends 587,
// team 1 defends 580.
inline constexpr int32_t kTeam0Base = 587;
inline constexpr int32_t kTeam1Base = 580;

// The one record, empty strings and zeros at program start.
extern GameSettingRecord GameSetting;

// A notice the next lobby shows before anything else: "CFail" when the
// network battle gave up waiting for a host's settings and came back.
extern std::string PendingLobbyNotice;

}  // namespace fw
