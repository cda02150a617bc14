#pragma once
// The network game's settings: written by the new-game page, read by the
// network battle and sent to joiners.
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

// The one record, empty strings and zeros at program start.
extern GameSettingRecord GameSetting;

// A notice the next lobby shows before anything else: "CFail" when the
// network battle gave up waiting for a host's settings and came back.
extern std::string PendingLobbyNotice;

}  // namespace fw
